#pragma once
// The level's environment: gravity, air resistance, wind and fog.

#include "kernel/actors/Actor.h"

class CQVEnvironment : public CQVActor {
public:
    CQVEnvironment();
    static void RegisterProperties();
};
