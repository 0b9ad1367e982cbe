#pragma once
// A character with its movement and motion controller.

#include "kernel/actors/Actor.h"

class CQVCharacter : public CQVActor {
public:
    CQVCharacter();
    static void RegisterProperties();
};
