#include "kernel/actors/TimedMessagePass.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ArgAccess.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"

namespace {

// One walk in progress over a list, from its oldest record towards its head.
// Walks nest when a handler runs the channels of another clock.
struct TimedWalk {
    TimedMessage* current; // being fired; null once released
    TimedMessage* next;    // the record the walk visits after the current one
    TimedWalk* outer;
};

TimedWalk* g_InnermostWalk = nullptr;

class WalkScope {
public:
    explicit WalkScope(TimedMessage* first) : m_Walk{nullptr, first, g_InnermostWalk} { g_InnermostWalk = &m_Walk; }
    ~WalkScope() { g_InnermostWalk = m_Walk.outer; }
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;
    TimedWalk& walk() { return m_Walk; }

private:
    TimedWalk m_Walk;
};

// Fires a record at its target; true while the record still exists.
bool Fire(TimedWalk& walk, TimedMessage* record) {
    if (record->actor) record->actor->HandleMessage(record->messageId, record->args);
    return walk.current == record;
}

// A period that cannot advance the next firing (0, negative, or lost in the
// precision of the time) would repeat the firing for ever inside one run.
bool PeriodAdvances(const TimedMessage* record) {
    return record->period > 0.0f && record->nextFire + record->period > record->nextFire;
}

void WriteProgress(TimedMessage* record, float value) {
    if (record->args) Args_Set(record->args, 0, value);
}

float Progress(const TimedMessage* record) {
    const float span = record->endTime - record->fireTime;
    return span > 0.0f ? (record->nextFire - record->fireTime) / span : 1.0f;
}

void ApplyRule(CQVActorSystem* system, TimedWalk& walk, TimedMessage* record, float now) {
    const TimedFireRule rule = TIMED_FIRE_RULES[record->mode & 15];
    switch (rule) {
    case TimedFireRule::Never:
        return;
    case TimedFireRule::Once:
        if (record->nextFire < now && Fire(walk, record)) system->CancelTimedMessage(record);
        return;
    case TimedFireRule::CatchUp:
        while (record->nextFire < now) {
            if (!PeriodAdvances(record)) {
                if (Fire(walk, record)) system->CancelTimedMessage(record);
                return;
            }
            record->nextFire += record->period;
            if (!Fire(walk, record)) return;
        }
        return;
    case TimedFireRule::UntilEnd:
        while (record->nextFire < now) {
            if (now > record->endTime) {
                system->CancelTimedMessage(record);
                return;
            }
            const bool advances = PeriodAdvances(record);
            if (!Fire(walk, record)) return;
            if (!advances) {
                system->CancelTimedMessage(record);
                return;
            }
            record->nextFire += record->period;
        }
        return;
    case TimedFireRule::LerpCatchUp:
        while (record->nextFire < now) {
            if (record->endTime < now || !PeriodAdvances(record)) {
                WriteProgress(record, record->endTime < now ? 1.0f : Progress(record));
                if (Fire(walk, record)) system->CancelTimedMessage(record);
                return;
            }
            WriteProgress(record, Progress(record));
            if (!Fire(walk, record)) return;
            record->nextFire += record->period;
        }
        return;
    case TimedFireRule::Periodic:
        if (record->nextFire < now) {
            record->nextFire = now + record->period;
            Fire(walk, record);
        }
        return;
    case TimedFireRule::Lerp:
        if (record->nextFire < now) {
            if (record->endTime < now) {
                WriteProgress(record, 1.0f);
                if (Fire(walk, record)) system->CancelTimedMessage(record);
                return;
            }
            WriteProgress(record, Progress(record));
            if (Fire(walk, record)) record->nextFire = now + record->period;
        }
        return;
    }
}

}  // namespace

void TimedMessages_NoteRelease(TimedMessage* record) {
    for (TimedWalk* walk = g_InnermostWalk; walk; walk = walk->outer) {
        if (walk->current == record) walk->current = nullptr;
        if (walk->next == record) walk->next = record->previous;
    }
}

void CQVActorSystem::RunTimedMessages(ActorClock* clock, uint8_t channel) {
    if (clock == nullptr || channel >= TIMED_CHANNEL_COUNT) return;
    if (clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    const float now = clock->time;
    ActorClock::Channel& lists = clock->channels[channel];

    {
        TimedMessageList& list = lists.perFrame;
        WalkScope scope(list.tail.previous);
        TimedWalk& walk = scope.walk();
        while (walk.next && walk.next != &list.head) {
            TimedMessage* record = walk.next;
            walk.current = record;
            walk.next = record->previous;
            const bool once = record->mode == TIMED_MODE_NEXT_FRAME;
            if (!Fire(walk, record)) continue;
            // The next record is taken once the handler has returned.
            walk.next = record->previous;
            walk.current = nullptr;
            if (once) ReleaseTimedMessage(record);
        }
    }

    TimedMessageList& list = lists.timed;
    WalkScope scope(list.tail.previous);
    TimedWalk& walk = scope.walk();
    while (walk.next && walk.next != &list.head) {
        TimedMessage* record = walk.next;
        walk.current = record;
        walk.next = record->previous;
        ApplyRule(this, walk, record, now);
        if (walk.current == record) walk.next = record->previous;
        walk.current = nullptr;
    }
}

void CQVActorSystem::RunTimedMessagePass() {
    m_InTimedMessagePass = 1;
    while (!m_CancelledTimedMessages.empty()) {
        TimedMessage* record = m_CancelledTimedMessages.back();
        record->state &= static_cast<uint8_t>(~TIMED_STATE_CANCELLED);
        ReleaseTimedMessage(record);
        // A release that did not take the record off the vector must not stall the loop.
        if (!m_CancelledTimedMessages.empty() && m_CancelledTimedMessages.back() == record) {
            m_CancelledTimedMessages.pop_back();
        }
    }
    for (uint8_t channel = 0; channel < TIMED_CHANNEL_COUNT; ++channel) RunTimedMessages(&g_GlobalClock, channel);
    m_InTimedMessagePass = 0;
}
