#pragma once
// A button of a user interface window.

#include "kernel/actors/Actor.h"

class CQVUIButton : public CQVActor {
public:
    CQVUIButton();
    static void RegisterProperties();
};
