#pragma once
// A placeholder kept in the class registry.

#include "kernel/actors/Actor.h"

class CQVPlayer2 : public CQVActor {
public:
    CQVPlayer2();
    static void RegisterProperties();
};
