#pragma once
// Level of detail: shows one of its children by distance.

#include "kernel/actors/Actor.h"

class CQVLod : public CQVActor {
public:
    CQVLod();
    static void RegisterProperties();
};
