#pragma once
// The particle emitter, drawn as a mesh actor.

#include "actors/scene/Object.h"

class CQVParticle : public CQVObject {
public:
    CQVParticle();
    static void RegisterProperties();
};
