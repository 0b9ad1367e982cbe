#include "actors/gameplay/Timer.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVTimer::CQVTimer() { m_ClassType = CLASS_TIMER; }

void CQVTimer::RegisterProperties() {
    g_ClassRecords[CLASS_TIMER].Define("Timer", "Time Line, used for timer scripts...", {CLASS_BASE, CLASS_TIMER});
}
