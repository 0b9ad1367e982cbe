#pragma once
// A time line for level scripts: event keys, each a script at a time on the
// line, run as the line passes them, once or on every loop. The keys become
// timed messages on the Timer's clock when it starts; its current time is
// computed from that clock when asked.

#include "kernel/actors/Actor.h"

#include <vector>

struct TimerKey {
    CQVScript script;
    float time = 0.0f; // seconds on the time line
};

constexpr uint32_t TIMER_FORWARD_ONCE = 0;
constexpr uint32_t TIMER_FORWARD_LOOP = 1;

// Timer flags: bit 0 start-active, bits 1 and 2 the state.
constexpr uint32_t TIMER_START_ACTIVE = 0x1;
constexpr uint32_t TIMER_STATE_SHIFT = 1;
constexpr uint32_t TIMER_STATE_MASK = 0x6;
constexpr uint32_t TIMER_STOPPED = 0;
constexpr uint32_t TIMER_RUNNING = 1;
constexpr uint32_t TIMER_PAUSED = 2;

class CQVTimer : public CQVActor {
public:
    CQVTimer();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    static void RegisterProperties();

    // Stopped or paused: the base time; running: the base time plus the
    // clock time since the start, at the multiplier.
    float CurrentTime();
    // Moves the line to t (at most the total time); a running or paused
    // Timer runs the keys between the old and the new time.
    void SetCurrentTime(float t);
    uint32_t State() const { return (m_TimerFlags & TIMER_STATE_MASK) >> TIMER_STATE_SHIFT; }

    uint32_t m_Type = TIMER_FORWARD_ONCE;
    float m_StartTime = 0.0f;         // where "Reset" and the start at "Start Game" put the line
    float m_TotalTime = 0.0f;         // the line's length, one loop
    float m_Multiplier = 1.0f;        // line seconds per clock second
    float m_SavedCurrentTime = 0.0f;  // the current time when last saved
    float m_StartClock = -1.0f;       // clock time of the last start or loop
    float m_BaseTime = -1.0f;         // line time at the start clock
    uint32_t m_TimerFlags = TIMER_START_ACTIVE;
    std::vector<TimerKey> m_Keys;

private:
    void SetState(uint32_t state);
    void Start();
    void Stop();
    void ExecuteFromTo(float from, float to);
    void RunKey(uint32_t index);
    void CopyKeys(const CQVTimer& source);
    int SerializeKeys(CQVActorArchive* archive);
};
