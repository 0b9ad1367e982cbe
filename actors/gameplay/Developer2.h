#pragma once
// A developer test actor.

#include "kernel/actors/Actor.h"

class CQVDeveloper2 : public CQVActor {
public:
    CQVDeveloper2();
    static void RegisterProperties();
};
