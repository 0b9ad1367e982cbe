#include "kernel/base/Clock.h"

#include "platform/Time.h"

#include <new>

CQVClock* g_Clock = nullptr;

bool CQVClock::Create() {
    if (g_Clock == nullptr) g_Clock = new (std::nothrow) CQVClock();
    return g_Clock != nullptr;
}

CQVClock* CQVClock::GetInstance() { return g_Clock; }

void CQVClock::EnsureInitialized() {
    if (!initialized) Initialize();
}

void CQVClock::Initialize() {
    hasCounter = Platform_QueryPerformanceFrequency(&frequency) && frequency > 0 ? 1 : 0;
    initialized = 1;
    Reset();
}

void CQVClock::UseMillisecondTimer() {
    hasCounter = 0;
    initialized = 1;
    Reset();
}

void CQVClock::Sample() {
    EnsureInitialized();
    if (hasCounter) {
        Platform_QueryPerformanceCounter(&currentCount);
    } else {
        currentSeconds = static_cast<double>(Platform_GetTickCount()) * 0.001;
    }
}

void CQVClock::Reset() {
    Sample();
    startCount = lastCount = currentCount;
    startSeconds = lastSeconds = currentSeconds;
}

double CQVClock::GetElapsed() {
    Sample();
    if (hasCounter) return static_cast<double>(currentCount - startCount) / static_cast<double>(frequency);
    return currentSeconds - startSeconds;
}

double CQVClock::GetDelta() {
    Sample();
    double delta;
    if (hasCounter) {
        delta = static_cast<double>(currentCount - lastCount) / static_cast<double>(frequency);
        lastCount = currentCount;
    } else {
        delta = currentSeconds - lastSeconds;
        lastSeconds = currentSeconds;
    }
    return delta;
}
