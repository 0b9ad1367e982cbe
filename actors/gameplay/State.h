#pragma once
// A node of the actor tree with no behaviour of its own: only the base
// actor's fields, messages and scripts.

#include "kernel/actors/Actor.h"

class CQVState : public CQVActor {
public:
    CQVState();
    static void RegisterProperties();
};
