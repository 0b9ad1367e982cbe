#pragma once
// A target for aiming.

#include "kernel/actors/Actor.h"

class CQVAimTarget : public CQVActor {
public:
    CQVAimTarget();
    static void RegisterProperties();
};
