#pragma once
// A door that opens, closes and locks.

#include "kernel/actors/Actor.h"

class CQVDoor : public CQVActor {
public:
    CQVDoor();
    static void RegisterProperties();
};
