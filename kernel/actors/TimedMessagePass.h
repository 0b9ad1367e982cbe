#pragma once
// The walks of the timed-message pass over a clock's lists. Handlers fired by
// a walk may release records (an actor destroyed by a handler releases all of
// its own at once); the release tells the walks, so no walk steps onto a
// freed record.

struct TimedMessage;

// Called by the release of a record before it is unlinked and freed (and
// when a linked record is reset to be scheduled again).
void TimedMessages_NoteRelease(TimedMessage* record);
// Called when a record's next firing was moved from outside the pass.
void TimedMessages_NoteReschedule(TimedMessage* record);

// How a record of each mode fires in a timed list.
enum class TimedFireRule : unsigned char {
    Never,          // linked but never fired
    Once,           // fires when due, then is cancelled
    CatchUp,        // one firing per elapsed period
    UntilEnd,       // one firing per elapsed period until the end time
    LerpCatchUp,    // as CatchUp, the progress written into the first float
    Periodic,       // one firing when due, the next a period from now
    Lerp,           // as Periodic, the progress written into the first float
};

// Indexed by the mode (bits 8 to 11 of the scheduling flags). Modes 1 and 7
// go to the per-frame list and mode 6 to no list, so they have no rule here.
constexpr TimedFireRule TIMED_FIRE_RULES[16] = {
    TimedFireRule::Never,    TimedFireRule::Never,       TimedFireRule::Once,  TimedFireRule::CatchUp,
    TimedFireRule::UntilEnd, TimedFireRule::LerpCatchUp, TimedFireRule::Never, TimedFireRule::Never,
    TimedFireRule::Never,    TimedFireRule::Never,       TimedFireRule::Never, TimedFireRule::Periodic,
    TimedFireRule::Never,    TimedFireRule::Lerp,        TimedFireRule::Never, TimedFireRule::Never,
};
