#pragma once
// One frame of the game, run by the main loop whenever the message queue is empty.

#include "kernel/base/FrameTime.h"

#include <cstdint>

class CQVActorSystem;

// Clamps a measured frame time: up to 0.06 s unchanged, up to 0.2 s becomes
// 0.06 s, longer frames (loads, a stalled window) advance only 1/120 s.
float FrameTime_Clamp(double measured, int* clampCase);

int FrameStep(CQVActorSystem* system);
