#pragma once
// Lets the player bind a key to an input action.

#include "kernel/actors/Actor.h"

class CQVUIMapInput : public CQVActor {
public:
    CQVUIMapInput();
    static void RegisterProperties();
};
