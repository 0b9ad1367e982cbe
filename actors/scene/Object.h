#pragma once
// The mesh actor: puts a mesh item of the resource library into the level.

#include "kernel/actors/Actor.h"

class CQVObject : public CQVActor {
public:
    CQVObject();
    static void RegisterProperties();
};
