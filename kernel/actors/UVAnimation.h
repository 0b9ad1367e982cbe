#pragma once
// Animates the texture coordinates of a material.

#include "kernel/actors/Actor.h"

class CQVUVAnimation : public CQVActor {
public:
    CQVUVAnimation();
    static void RegisterProperties();
};
