#pragma once
// Timed messages and actor clocks: a message queued for one actor on a clock
// channel, fired by the frame's timed-message pass; every actor runs on a
// clock whose scale may differ from the global one.

#include <cstdint>

class CQVActor;
#include "kernel/actors/ArgAccess.h"

// Scheduling flags: low byte the caller's tag, bits 8 to 11 the mode, bit 12
// kept with the record (saved with the actor).
constexpr uint32_t TIMED_TAG_MASK = 0xFF;
constexpr uint32_t TIMED_SAVED_FLAG = 0x1000;

constexpr uint8_t TIMED_MODE_EVERY_FRAME = 1;
constexpr uint8_t TIMED_MODE_ONCE = 2;
constexpr uint8_t TIMED_MODE_UNLINKED = 6;
constexpr uint8_t TIMED_MODE_NEXT_FRAME = 7;

// Record state bits.
constexpr uint8_t TIMED_STATE_SYSTEM_OWNED = 0x1;
constexpr uint8_t TIMED_STATE_SAVED = 0x2;
constexpr uint8_t TIMED_STATE_CANCELLED = 0x4;
constexpr uint8_t TIMED_STATE_LINKED = 0x8;

constexpr int TIMED_CHANNEL_COUNT = 4;

// The block of "Command Lerp" that fades one value: {t, Command {id, from},
// Command {id, to}}, both commands the same message of one Real.
struct CommandLerpBlock {
    float t;
    uint32_t fromId;
    float from;
    uint32_t toId;
    float to;
};
static_assert(sizeof(CommandLerpBlock) == 20);

struct TimedMessage {
    TimedMessage* next = nullptr;     // towards the tail of the clock list
    TimedMessage* previous = nullptr; // the record before it, or the head sentinel
    CQVActor* actor = nullptr;        // target; a null target is skipped when fired
    uint32_t messageId = 0xFFFFFFFF;
    MessageArgs args = nullptr;       // heap copy of the argument block, or null
    float fireTime = 0.0f;
    float endTime = 0.0f;
    float period = 0.0f;
    float nextFire = 0.0f;
    uint8_t tag = 0;
    uint8_t mode = 0;
    uint8_t channel = 1;
    uint8_t state = 0;

    // The value a fade has reached: its block holds {t, Command {V, from},
    // Command {V, to}}, so from and to are the third and fifth floats.
    float Interpolate() const;
    // Takes a node out of its intrusive list and clears both links.
    static void Unlink(TimedMessage* node);
};

// A fresh system-owned record: id -1, channel 1, mode 0, times and links 0.
TimedMessage* NewTimedMessage();

// Gives a record a heap copy of size bytes (null bytes: zeros), at least
// room bytes long, in place of its block; no bytes and no room leave it
// without one.
void TimedMessage_SetArgs(TimedMessage* record, const void* bytes, uint32_t size, uint32_t room = 0);

// Clears the pointers to a dying actor in every pending record's block, so
// that a record scheduled with it as an argument fires with a null actor.
void TimedMessages_ForgetActor(const CQVActor* actor);
// Forgets the records of a world that is gone (tests and shutdown).
void TimedMessages_ResetActorRecords();

// Bounds of one list: head.next is the newest record, tail.previous the oldest.
struct TimedMessageList {
    TimedMessage head;
    TimedMessage tail;
    TimedMessageList();
    TimedMessageList(const TimedMessageList&) = delete;
    TimedMessageList& operator=(const TimedMessageList&) = delete;
    ~TimedMessageList();
    bool IsEmpty() const { return head.next == &tail; }
    // Puts a record right after the head sentinel.
    void InsertFirst(TimedMessage* record);
};

constexpr uint32_t CLOCK_MANUAL = 0x1;
constexpr uint32_t CLOCK_GLOBAL_SPEED = 0x4;
constexpr uint32_t CLOCK_NOTIFY = 0x8;

struct ActorClock {
    float dt = 0.0f;           // clock seconds advanced at the last refresh
    float time = 0.0f;
    float previousTime = 0.0f;
    float olderTime = 0.0f;
    float ownScale = 1.0f;
    uint32_t unused = 0x3F800000;
    float effectiveScale = 1.0f; // own scale times the parent's (or the global speed multiplier)
    CQVActor* owner = nullptr;
    uint32_t frameStamp = 0;     // g_FrameNumber at the last refresh
    uint32_t flags = CLOCK_NOTIFY;
    struct Channel {
        TimedMessageList perFrame;
        TimedMessageList timed;
    } channels[TIMED_CHANNEL_COUNT];
};

extern ActorClock g_GlobalClock;
