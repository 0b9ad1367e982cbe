#pragma once
// The AI controller of a character.

#include "kernel/actors/Actor.h"

class CQVAIPlayer : public CQVActor {
public:
    CQVAIPlayer();
    static void RegisterProperties();
};
