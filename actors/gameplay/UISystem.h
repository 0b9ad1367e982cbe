#pragma once
// The root of a user interface.

#include "kernel/actors/Actor.h"

class CQVUISystem : public CQVActor {
public:
    CQVUISystem();
    static void RegisterProperties();
};
