#pragma once
// Gives the actors connected to it a clock of its own.

#include "kernel/actors/Actor.h"

class CQVTimeInstance : public CQVActor {
public:
    CQVTimeInstance();
    static void RegisterProperties();
};
