#pragma once
// The game's one wall clock: elapsed seconds since the last reset and the
// delta since the previous delta, from the high-resolution counter, or from
// the millisecond timer where there is none.

#include <cstdint>

class CQVClock {
public:
    static bool Create();
    static CQVClock* GetInstance();

    void EnsureInitialized();
    void Initialize();
    void Sample();
    void Reset();
    double GetElapsed();
    // Consumes the interval since the previous call (or the reset).
    double GetDelta();

    // Runs this clock on the millisecond timer, as on a machine without a
    // high-resolution counter.
    void UseMillisecondTimer();

    uint32_t initialized = 0;
    uint32_t hasCounter = 0;
    int64_t frequency = 0;
    int64_t startCount = 0;
    int64_t currentCount = 0;
    int64_t lastCount = 0;
    double startSeconds = 0.0;
    double currentSeconds = 0.0;
    double lastSeconds = 0.0;
};

extern CQVClock* g_Clock;
