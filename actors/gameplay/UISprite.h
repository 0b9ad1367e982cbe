#pragma once
// A picture of a user interface.

#include "kernel/actors/Actor.h"

class CQVUISprite : public CQVActor {
public:
    CQVUISprite();
    static void RegisterProperties();
};
