#pragma once
// Measures the light at its place.

#include "kernel/actors/Actor.h"

class CQVLightSensor : public CQVActor {
public:
    CQVLightSensor();
    static void RegisterProperties();
};
