#pragma once
// A helper node for the AI.

#include "kernel/actors/Actor.h"

class CQVAIHelper : public CQVActor {
public:
    CQVAIHelper();
    static void RegisterProperties();
};
