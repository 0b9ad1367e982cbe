#pragma once
// The class manager actor.

#include "kernel/actors/Actor.h"

class CQVClass : public CQVActor {
public:
    CQVClass();
    static void RegisterProperties();
};
