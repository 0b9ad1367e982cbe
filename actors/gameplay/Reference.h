#pragma once
// Stands for another actor, which it names by a path.

#include "kernel/actors/Actor.h"

class CQVReference : public CQVActor {
public:
    CQVReference();
    static void RegisterProperties();
};
