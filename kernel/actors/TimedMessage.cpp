#include "kernel/actors/TimedMessage.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ArgAccess.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessagePass.h"
#include "kernel/actors/TreeMessages.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

ActorClock g_GlobalClock;

float TimedMessage::Interpolate() const {
    if (!args) return 0.0f;
    // The progress last handed to the target, not that of the next firing
    // (already a step ahead once the fade has fired), so a fade taken over
    // goes on from the value it showed.
    const float progress = Args_Get<float>(args, 0);
    const float from = Args_Get<float>(args, 8);
    const float to = Args_Get<float>(args, 16);
    return from + progress * (to - from);
}

void TimedMessage::Unlink(TimedMessage* node) {
    if (node->previous) node->previous->next = node->next;
    if (node->next) node->next->previous = node->previous;
    node->next = nullptr;
    node->previous = nullptr;
}

TimedMessage* NewTimedMessage() {
    TimedMessage* record = new TimedMessage;
    record->state = TIMED_STATE_SYSTEM_OWNED;
    return record;
}

TimedMessageList::TimedMessageList() {
    head.next = &tail;
    tail.previous = &head;
}

TimedMessageList::~TimedMessageList() {
    delete[] head.args.Data();
    delete[] tail.args.Data();
}

void TimedMessageList::InsertFirst(TimedMessage* record) {
    record->previous = &head;
    record->next = head.next;
    head.next->previous = record;
    head.next = record;
}

namespace {

// The records whose blocks may hold actor pointers (an actor argument, a
// nested command): an actor's destruction clears its pointers in them.
std::unordered_set<TimedMessage*> g_RecordsWithActors;

void FreeArgs(TimedMessage* record) {
    if (!g_RecordsWithActors.empty()) g_RecordsWithActors.erase(record);
    delete[] record->args.Data();
    record->args = nullptr;
}

bool HoldsPointer(MessageArgs block, const CQVActor* actor) {
    uint8_t bytes[sizeof actor];
    std::memcpy(bytes, &actor, sizeof actor);
    const uint8_t* begin = block.Data();
    const uint8_t* end = begin + block.Size();
    return std::search(begin, end, bytes, bytes + sizeof bytes) != end;
}

}  // namespace

void TimedMessage_SetArgs(TimedMessage* record, const void* bytes, uint32_t size, uint32_t room) {
    FreeArgs(record);
    const uint32_t total = room > size ? room : size;
    if (total == 0) return;
    auto* copy = new uint8_t[total]();
    if (bytes && size) std::memcpy(copy, bytes, size);
    record->args = Args_Of(copy, total);
    if (MessageArgs_MayHoldActors(record->messageId)) g_RecordsWithActors.insert(record);
}

void TimedMessages_ForgetActor(const CQVActor* actor) {
    for (TimedMessage* record : g_RecordsWithActors) {
        // A block still in the form a file stores holds paths, not pointers.
        uint32_t storedSize = 0;
        if (!record->args || ActorTree_HasStoredArgs(record, &storedSize)) continue;
        if (HoldsPointer(record->args, actor)) MessageArgs_ForgetActor(record->messageId, record->args, actor);
    }
}

void TimedMessages_ResetActorRecords() { g_RecordsWithActors.clear(); }

TimedMessage* CQVActorSystem::ScheduleMessage(CQVActor* actor, uint32_t messageId, MessageArgs args, uint32_t flags,
                                              float delay, float duration, float period, TimedMessage* record,
                                              uint8_t channel) {
    // Only four channels exist.
    if (actor == nullptr || channel >= TIMED_CHANNEL_COUNT) return nullptr;
    if (record) {
        TimedMessages_NoteRelease(record);
        if (record->state & TIMED_STATE_LINKED) TimedMessage::Unlink(record);
        FreeArgs(record);
        *record = TimedMessage{};
    } else {
        record = NewTimedMessage();
    }
    if (flags & TIMED_SAVED_FLAG) record->state |= TIMED_STATE_SAVED;

    ActorClock* clock = actor->m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) actor->UpdateClock(clock);

    record->actor = actor;
    record->messageId = messageId;
    record->tag = static_cast<uint8_t>(flags & TIMED_TAG_MASK);
    record->mode = static_cast<uint8_t>((flags >> 8) & 15);
    record->fireTime = static_cast<float>(static_cast<double>(clock->time) + static_cast<double>(delay));
    record->endTime = static_cast<float>(static_cast<double>(clock->time) + static_cast<double>(duration));
    record->period = period;
    record->nextFire = record->fireTime;
    record->channel = channel;

    // A message with a fixed size gets a block of that size (zeroed where
    // the given one is shorter or missing), so the handler finds every
    // argument in it.
    const CommandDesc& desc = GetCommandDesc(messageId);
    const uint32_t fixed = desc.argSize > 0 ? static_cast<uint32_t>(desc.argSize) : 0;
    TimedMessage_SetArgs(record, args.Data(), MessageArgs_GetBlockSize(messageId, args), fixed);

    actor->m_TimedMessages.push_back(record);
    LinkTimedMessage(record);
    return record;
}

void CQVActorSystem::LinkTimedMessage(TimedMessage* record) {
    if (record == nullptr || record->actor == nullptr || record->channel >= TIMED_CHANNEL_COUNT) return;
    if (record->mode == TIMED_MODE_UNLINKED || (record->state & TIMED_STATE_LINKED)) return;
    ActorClock* clock = record->actor->m_Clock;
    record->state |= TIMED_STATE_LINKED;
    ActorClock::Channel& lists = clock->channels[record->channel];
    const bool perFrame = record->mode == TIMED_MODE_EVERY_FRAME || record->mode == TIMED_MODE_NEXT_FRAME;
    (perFrame ? lists.perFrame : lists.timed).InsertFirst(record);
    if ((clock->flags & CLOCK_NOTIFY) && clock->owner) {
        clock->owner->HandleMessage(MSG_TIMEINSTANCE_MCMD_CREATE_NOTIFY, Args_Of(&record));
    }
}

void CQVActorSystem::CancelTimedMessage(TimedMessage* record) {
    if (record == nullptr || (record->state & TIMED_STATE_CANCELLED)) return;
    record->state |= TIMED_STATE_CANCELLED;
    m_CancelledTimedMessages.push_back(record);
}

void CQVActorSystem::ReleaseTimedMessage(TimedMessage* record) {
    if (record == nullptr) return;
    TimedMessages_NoteRelease(record);
    ActorTree_ForgetStoredArgs(record);
    if (record->state & TIMED_STATE_LINKED) TimedMessage::Unlink(record);
    if (CQVActor* actor = record->actor) {
        auto& list = actor->m_TimedMessages;
        for (size_t i = list.size(); i-- > 0;) {
            if (list[i] == record) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        // The actor never keeps a record that is gone.
        if (actor->m_BaseProcessRecord == record) actor->m_BaseProcessRecord = nullptr;
    }
    // Searched from the back: the timed-message pass drains the cancelled
    // records from the back, and a search from the front made draining n of
    // them take n * n steps (thousands are cancelled as a large level starts).
    auto& cancelled = m_CancelledTimedMessages;
    auto it = std::find(cancelled.rbegin(), cancelled.rend(), record);
    if (it != cancelled.rend()) cancelled.erase(std::next(it).base());
    record->state &= static_cast<uint8_t>(~(TIMED_STATE_LINKED | TIMED_STATE_CANCELLED));
    FreeArgs(record);
    if (record->state & TIMED_STATE_SYSTEM_OWNED) delete record;
}
