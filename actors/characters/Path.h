#pragma once
// A path that characters follow.

#include "kernel/actors/Actor.h"

class CQVPath : public CQVActor {
public:
    CQVPath();
    static void RegisterProperties();
};
