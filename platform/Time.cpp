#include "platform/Time.h"

#include <ctime>

namespace {

int64_t MonotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

bool Platform_QueryPerformanceFrequency(int64_t* frequency) {
    *frequency = 1000000000LL;
    return true;
}

bool Platform_QueryPerformanceCounter(int64_t* count) {
    *count = MonotonicNanoseconds();
    return true;
}

uint32_t Platform_GetTickCount() {
    return static_cast<uint32_t>(MonotonicNanoseconds() / 1000000LL);
}

void Platform_Sleep(uint32_t milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}
