#pragma once
// Reacts to actors entering its volume.

#include "kernel/actors/Actor.h"

class CQVTrigger : public CQVActor {
public:
    CQVTrigger();
    static void RegisterProperties();
};
