#pragma once
// A developer test actor.

#include "kernel/actors/Actor.h"

class CQVDeveloper : public CQVActor {
public:
    CQVDeveloper();
    static void RegisterProperties();
};
