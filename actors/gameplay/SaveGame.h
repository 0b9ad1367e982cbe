#pragma once
// The save-game menu.

#include "kernel/actors/Actor.h"

class CQVSaveGame : public CQVActor {
public:
    CQVSaveGame();
    static void RegisterProperties();
};
