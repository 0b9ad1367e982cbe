#pragma once
// The frame's time and number, set once per frame by the frame loop and read
// by every clock.

#include <cstdint>

extern float g_FrameTime;      // this frame's clamped time in seconds
extern uint32_t g_FrameNumber; // normal frames counted
// Set by the Player while its developer keys are held; shows the frame
// loop's FPS text and clamped-frame marker.
extern uint32_t g_DebugKeysEnabled;

