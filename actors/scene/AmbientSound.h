#pragma once
// A level's background sound layer.

#include "kernel/actors/Actor.h"

class CQVAmbientSound : public CQVActor {
public:
    CQVAmbientSound();
    static void RegisterProperties();
};
