#pragma once
// The engine lights' state: every light the engine created, the local
// (point and spot) lights that are switched on, and the per-draw cache of
// their positions and ranges. The engine object holds a reference to it.

#include <cstdint>
#include <vector>

class CQVLightItem;

// Position and range of one local light, as the device holds it.
struct LightCacheEntry {
    float x, y, z, range;
};

struct LightState {
    std::vector<CQVLightItem*> lights;       // in creation order
    uint32_t nextLightIndex = 0;             // device light index of the next light; never reused
    std::vector<CQVLightItem*> localLights;  // in order of switching on
    std::vector<LightCacheEntry> lightCache; // refilled at the start of every bucket draw
};

extern LightState g_LightState;

// Back to the state after start-up: no lights, index 0. The lights
// themselves belong to their owners, who destroy them through the engine.
void Lights_Reset();
