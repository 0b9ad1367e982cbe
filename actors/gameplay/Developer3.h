#pragma once
// A developer test actor.

#include "kernel/actors/Actor.h"

class CQVDeveloper3 : public CQVActor {
public:
    CQVDeveloper3();
    static void RegisterProperties();
};
