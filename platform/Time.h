#pragma once
// Monotonic time sources and sleeping.

#include <cstdint>

// The high-resolution counter: CLOCK_MONOTONIC in nanoseconds.
bool Platform_QueryPerformanceFrequency(int64_t* frequency);
bool Platform_QueryPerformanceCounter(int64_t* count);
// Milliseconds since an arbitrary start, wrapping at 32 bits.
uint32_t Platform_GetTickCount();
void Platform_Sleep(uint32_t milliseconds);
