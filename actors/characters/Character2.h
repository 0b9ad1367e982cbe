#pragma once
// A placeholder kept in the class registry.

#include "kernel/actors/Actor.h"

class CQVCharacter2 : public CQVActor {
public:
    CQVCharacter2();
    static void RegisterProperties();
};
