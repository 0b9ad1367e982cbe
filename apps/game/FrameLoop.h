#pragma once
// One frame of the game, run by the main loop whenever the message queue is
// empty: input, the global clock, the actor system's step, the timed
// messages, collisions, the camera, the draw pass over the visible draw
// groups, the sound listener, and the scene drawn and presented. A reduced
// frame runs while the game is paused.

#include "kernel/base/FrameTime.h"
#include "kernel/base/Maths.h"

#include <cstdint>

class CQVActorSystem;

// Which clamp a measured frame time fell into.
enum FrameClamp : int {
    FRAME_CLAMP_NONE = 0,  // up to 0.06 s: used as it is
    FRAME_CLAMP_SLOW = 1,  // up to 0.2 s: becomes 0.06 s
    FRAME_CLAMP_STALL = 2, // longer (a load, a breakpoint, a window drag): becomes 1/120 s
};

// Clamps a measured frame time: up to 0.06 s unchanged, up to 0.2 s becomes
// 0.06 s, longer frames advance only 1/120 s.
float FrameTime_Clamp(double measured, int* clampCase);

// One frame; always 1.
int FrameStep(CQVActorSystem* system);

extern uint32_t g_ShowFps;          // the FPS text, toggled by F12

// Frames counted over the last second of clamped frame time.
struct FpsCounter {
    float time = 0.0f;
    float frames = 0.0f;
    float fps = 0.0f;
};
extern FpsCounter g_FpsCounter;

// The sound listener as the frame last placed it.
struct FrameListener {
    Vector3 position = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 velocity = Vector3(0.0f, 0.0f, 0.0f); // previous position minus this one, per frame
    Vector3 previous = Vector3(0.0f, 0.0f, 0.0f);
};
extern FrameListener g_FrameListener;

// The frame loop's globals back to their start: FPS text off and its
// counter empty, the listener at the origin, F12 up, the game clock as the
// frame's time source.
void FrameLoop_Reset();
