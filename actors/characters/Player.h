#pragma once
// Turns the input into character commands.

#include "kernel/actors/Actor.h"

class CQVPlayer : public CQVActor {
public:
    CQVPlayer();
    static void RegisterProperties();
};
