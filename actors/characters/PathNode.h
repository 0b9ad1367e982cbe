#pragma once
// One node of a path.

#include "kernel/actors/Actor.h"

class CQVPathNode : public CQVActor {
public:
    CQVPathNode();
    static void RegisterProperties();
};
