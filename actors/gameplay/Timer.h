#pragma once
// A time line that runs timer scripts.

#include "kernel/actors/Actor.h"

class CQVTimer : public CQVActor {
public:
    CQVTimer();
    static void RegisterProperties();
};
