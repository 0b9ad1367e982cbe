#pragma once
// A window of a user interface.

#include "kernel/actors/Actor.h"

class CQVUIWindow : public CQVActor {
public:
    CQVUIWindow();
    static void RegisterProperties();
};
