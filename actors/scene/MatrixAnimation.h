#pragma once
// A procedural transform animation.

#include "kernel/actors/Actor.h"

class CQVMatrixAnimation : public CQVActor {
public:
    CQVMatrixAnimation();
    static void RegisterProperties();
};
