#pragma once
// A sound emitter placed in a level.

#include "kernel/actors/Actor.h"

class CQVSound : public CQVActor {
public:
    CQVSound();
    static void RegisterProperties();
};
