#include "services/render/Lights.h"

LightState g_LightState;

void Lights_Reset() { g_LightState = LightState{}; }
