#pragma once
// An item: valuable, key, light, weapon, ammunition, trap, bomb, power-up or trigger.

#include "kernel/actors/Actor.h"

class CQVGameObject : public CQVActor {
public:
    CQVGameObject();
    static void RegisterProperties();
};
