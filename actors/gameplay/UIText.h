#pragma once
// A text of a user interface.

#include "kernel/actors/Actor.h"

class CQVUIText : public CQVActor {
public:
    CQVUIText();
    static void RegisterProperties();
};
