#pragma once
// The camera that places the engine's view.

#include "kernel/actors/Actor.h"

class CQVCamera : public CQVActor {
public:
    CQVCamera();
    static void RegisterProperties();
};
