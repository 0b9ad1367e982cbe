#pragma once
// Plays a motion on a skinned mesh.

#include "kernel/actors/Actor.h"

class CQVAnimation : public CQVActor {
public:
    CQVAnimation();
    static void RegisterProperties();
};
