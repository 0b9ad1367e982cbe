#include "kernel/app/FrameLoop.h"

#include "kernel/base/Clock.h"

float FrameTime_Clamp(double measured, int* clampCase) {
    int which = 0;
    float dt = static_cast<float>(measured);
    if (measured > 0.2) {
        dt = 1.0f / 120.0f;
        which = 2;
    } else if (measured > 0.06) {
        dt = 0.06f;
        which = 1;
    }
    if (clampCase) *clampCase = which;
    return dt;
}

int FrameStep(CQVActorSystem* system) {
    (void)system;
    CQVClock::Create();
    g_FrameTime = FrameTime_Clamp(g_Clock->GetDelta(), nullptr);
    g_FrameNumber += 1;
    return 1;
}
