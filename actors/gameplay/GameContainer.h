#pragma once
// An object the player searches for its content.

#include "kernel/actors/Actor.h"

class CQVGameContainer : public CQVActor {
public:
    CQVGameContainer();
    static void RegisterProperties();
};
