#pragma once
// The newer AI controller of a character.

#include "kernel/actors/Actor.h"

class CQVAIPlayer2 : public CQVActor {
public:
    CQVAIPlayer2();
    static void RegisterProperties();
};
