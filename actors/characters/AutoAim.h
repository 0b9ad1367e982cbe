#pragma once
// Turns an actor toward a target.

#include "kernel/actors/Actor.h"

class CQVAutoAim : public CQVActor {
public:
    CQVAutoAim();
    static void RegisterProperties();
};
