#pragma once
// A guard's control of its character.

#include "kernel/actors/Actor.h"

class CQVGuard : public CQVActor {
public:
    CQVGuard();
    static void RegisterProperties();
};
