#pragma once
// A state of the game flow.

#include "kernel/actors/Actor.h"

class CQVState : public CQVActor {
public:
    CQVState();
    static void RegisterProperties();
};
