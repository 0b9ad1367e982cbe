#pragma once
// The HUD, the in-game menus, options and mission start.

#include "kernel/actors/Actor.h"

class CQVInventory : public CQVActor {
public:
    CQVInventory();
    static void RegisterProperties();
};
