#pragma once
// A light source in a level.

#include "kernel/actors/Actor.h"

class CQVLight : public CQVActor {
public:
    CQVLight();
    static void RegisterProperties();
};
