#pragma once
// A free physics body.

#include "kernel/actors/Actor.h"

class CQVSimulation : public CQVActor {
public:
    CQVSimulation();
    static void RegisterProperties();
};
