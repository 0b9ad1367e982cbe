#pragma once
// The frame's time and number, set once per frame by the frame loop and read
// by every clock.

#include <cstdint>

extern float g_FrameTime;      // this frame's clamped time in seconds
extern uint32_t g_FrameNumber; // normal frames counted

