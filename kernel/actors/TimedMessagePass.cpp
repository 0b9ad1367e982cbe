#include "kernel/actors/TimedMessagePass.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ArgAccess.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/TreeMessages.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <unordered_map>
#include <vector>

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
    size_t Depth() const {
        size_t depth = 0;
        for (const TimedWalk* walk = m_Walk.outer; walk; walk = walk->outer) ++depth;
        return depth;
    }

private:
    TimedWalk m_Walk;
};

// The records of a timed list by their next firing, so a run visits the due
// records only, not every pending one. Records are discovered from the head
// of the list, where linking puts them; each gets a stamp in link order, and
// the due ones fire oldest first, as a walk from the oldest record would.
struct DueEntry {
    float key;       // the next firing when the entry was made
    uint64_t stamp;  // the record's place in link order
    uint64_t ticket; // which of the record's entries this is: only the latest counts
    TimedMessage* record;
};

struct DueLater {
    bool operator()(const DueEntry& a, const DueEntry& b) const { return a.key > b.key; }
};

struct TimedIndex {
    TimedMessageList* list = nullptr;
    TimedMessage* newestKnown = nullptr; // null: nothing in the list is known yet
    std::vector<DueEntry> heap;          // min-heap on key
    size_t live = 0;                     // records indexed and not released
};

struct IndexedRecord {
    uint64_t stamp;
    uint64_t ticket; // of the record's one current entry
    TimedIndex* index;
};

std::unordered_map<const TimedMessageList*, TimedIndex> g_TimedIndexes;
std::unordered_map<const TimedMessage*, IndexedRecord> g_IndexedRecords;
uint64_t g_NextStamp = 1;
uint64_t g_NextTicket = 1;

bool CanFire(const TimedMessage* record) { return TIMED_FIRE_RULES[record->mode & 15] != TimedFireRule::Never; }

void Push(TimedIndex& index, const DueEntry& entry) {
    index.heap.push_back(entry);
    std::push_heap(index.heap.begin(), index.heap.end(), DueLater());
}

// The entry still stands for its record: released records, records linked
// again since then (a new stamp) and records filed again under a new time
// (a new ticket) are not. So a record has one current entry and fires once
// per due time, however often it was moved.
bool IsCurrent(const DueEntry& entry) {
    auto found = g_IndexedRecords.find(entry.record);
    return found != g_IndexedRecords.end() && found->second.stamp == entry.stamp &&
           found->second.ticket == entry.ticket;
}

// Files a record under its present next firing as its only current entry.
void FileRecord(TimedIndex& index, IndexedRecord& indexed, TimedMessage* record) {
    indexed.ticket = g_NextTicket++;
    Push(index, DueEntry{record->nextFire, indexed.stamp, indexed.ticket, record});
}

// Stale entries of released records are dropped once they outnumber the live ones.
void Compact(TimedIndex& index) {
    if (index.heap.size() < 64 || index.heap.size() < 2 * index.live) return;
    std::erase_if(index.heap, [](const DueEntry& entry) { return !IsCurrent(entry); });
    std::make_heap(index.heap.begin(), index.heap.end(), DueLater());
}

// Indexes the records linked since the last look, oldest first.
void DiscoverNew(TimedIndex& index) {
    TimedMessageList& list = *index.list;
    // A newest-known record that is no longer indexed in this list means
    // the list must be read again from its oldest record.
    if (index.newestKnown) {
        auto known = g_IndexedRecords.find(index.newestKnown);
        if (known == g_IndexedRecords.end() || known->second.index != &index) index.newestKnown = nullptr;
    }
    TimedMessage* stop = index.newestKnown ? index.newestKnown : &list.tail;
    TimedMessage* oldestNew = stop->previous;
    if (oldestNew == nullptr || oldestNew == &list.head) return;
    for (TimedMessage* record = oldestNew; record && record != &list.head; record = record->previous) {
        auto [slot, added] = g_IndexedRecords.try_emplace(record, IndexedRecord{0, 0, &index});
        if (added || slot->second.index != &index) {
            if (!added && slot->second.index->live) --slot->second.index->live;
            slot->second.index = &index;
            ++index.live;
        }
        slot->second.stamp = g_NextStamp++;
        if (CanFire(record)) FileRecord(index, slot->second, record);
    }
    index.newestKnown = list.head.next;
    Compact(index);
}

struct DueBuffers {
    std::vector<DueEntry> due;
    std::vector<DueEntry> later;
};

// Buffers of nested runs; a deque keeps outer buffers in place while it grows.
std::deque<DueBuffers> g_DueBuffers;

DueBuffers& BuffersAt(size_t depth) {
    while (g_DueBuffers.size() <= depth) g_DueBuffers.emplace_back();
    return g_DueBuffers[depth];
}

TimedIndex& IndexOf(TimedMessageList& list) {
    TimedIndex& index = g_TimedIndexes[&list];
    index.list = &list;
    return index;
}

// Fires a record at its target; true while the record still exists.
bool Fire(TimedWalk& walk, TimedMessage* record) {
    // A record read from a level holds its arguments in their stored form (an
    // actor named by path, say) until the level is precalculated; those bytes
    // are no block a handler may read, so such a record waits.
    uint32_t storedSize = 0;
    const bool stored = record->args && ActorTree_HasStoredArgs(record, &storedSize);
    if (record->actor && !stored) record->actor->HandleMessage(record->messageId, record->args);
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

// The next step of a lerp, one period after this one. The clock's time is a
// float sum of frame times, so the step due after whole frames can come out a
// hair later than that frame's time and would wait a frame more (a 1/30 s
// fade at 60 frames a second would step every third frame, not every
// second): the next firing is set a few rounding steps of the time earlier.
float NextLerpStep(float now, float period) {
    if (!(period > 0.0f)) return now + period;  // every frame: due once the clock moves on
    const float rounding = (std::fabs(now) + period) * 1.0e-6f;
    return now + period - rounding;
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
            if (Fire(walk, record)) record->nextFire = NextLerpStep(now, record->period);
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
    auto indexed = g_IndexedRecords.find(record);
    if (indexed == g_IndexedRecords.end()) return;
    TimedIndex* index = indexed->second.index;
    // The next older record is the newest one still known.
    if (index->newestKnown == record) {
        index->newestKnown = record->next != &index->list->tail ? record->next : nullptr;
    }
    if (index->live) --index->live;
    g_IndexedRecords.erase(indexed);
}

void TimedMessages_NoteReschedule(TimedMessage* record) {
    auto indexed = g_IndexedRecords.find(record);
    if (indexed == g_IndexedRecords.end() || !CanFire(record)) return;
    FileRecord(*indexed->second.index, indexed->second, record);
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

    TimedIndex& index = IndexOf(lists.timed);
    WalkScope scope(nullptr);
    TimedWalk& walk = scope.walk();
    // Each nesting depth keeps its own buffers from frame to frame.
    DueBuffers& buffers = BuffersAt(scope.Depth());
    std::vector<DueEntry>& due = buffers.due;
    std::vector<DueEntry>& later = buffers.later;
    // Records linked by the handlers while the run goes on fire in the same
    // run when due, after the older ones; older records are not taken twice.
    uint64_t firstNew = 0;
    for (;;) {
        DiscoverNew(index);
        due.clear();
        later.clear();
        while (!index.heap.empty() && index.heap.front().key < now) {
            std::pop_heap(index.heap.begin(), index.heap.end(), DueLater());
            const DueEntry entry = index.heap.back();
            index.heap.pop_back();
            if (!IsCurrent(entry)) continue;
            if (entry.record->nextFire != entry.key) {
                // Moved since: filed again under its present time.
                later.push_back(DueEntry{entry.record->nextFire, entry.stamp, entry.ticket, entry.record});
            } else if (entry.stamp < firstNew) {
                later.push_back(entry);
            } else {
                due.push_back(entry);
            }
        }
        for (const DueEntry& entry : later) {
            if (entry.key < now && entry.stamp >= firstNew && entry.record->nextFire == entry.key) {
                due.push_back(entry);
            } else {
                Push(index, entry);
            }
        }
        if (due.empty()) break;
        std::sort(due.begin(), due.end(), [](const DueEntry& a, const DueEntry& b) { return a.stamp < b.stamp; });
        firstNew = g_NextStamp;
        for (const DueEntry& entry : due) {
            // An earlier handler may have released it.
            if (!IsCurrent(entry)) continue;
            TimedMessage* record = entry.record;
            walk.current = record;
            ApplyRule(this, walk, record, now);
            if (walk.current == record && IsCurrent(entry)) {
                Push(index, DueEntry{record->nextFire, entry.stamp, entry.ticket, record});
            }
            walk.current = nullptr;
        }
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
