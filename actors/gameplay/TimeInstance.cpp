#include "actors/gameplay/TimeInstance.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

#include <bit>
#include <vector>

namespace {

constexpr MessageRow kTimeInstanceRows[] = {
    SheetRow("Time Instance Properties", PROP_TITLE),
    MemberRow<&CQVTimeInstance::Multiplier, &CQVTimeInstance::SetMultiplier>(
        MSG_SET_TIMEINSTANCE_MULTIPLIER, MSG_GET_TIMEINSTANCE_MULTIPLIER, "Time Multiplier:|%|", PROP_REAL),
    MemberRow<&CQVTimeInstance::SimMultiplier, &CQVTimeInstance::SetSimMultiplier>(
        MSG_SET_TIMEINSTANCE_SIMMULTIPLIER, MSG_GET_TIMEINSTANCE_SIMMULTIPLIER, "Time (Sim) Mul:|%|", PROP_REAL),
    MemberRow<&CQVTimeInstance::IsGlobal, &CQVTimeInstance::SetGlobal>(MSG_SET_TIMEINSTANCE_GLOBAL,
                                                                       MSG_GET_TIMEINSTANCE_GLOBAL, "Global",
                                                                       PROP_CHECK),
    MemberRow<&CQVTimeInstance::CalcFromRawTime, &CQVTimeInstance::SetCalcFromRawTime>(
        MSG_SET_TIMEINSTANCE_CALC_FROM_RAW_TIME_B, MSG_GET_TIMEINSTANCE_CALC_FROM_RAW_TIME_B, "CalcFromRawTime",
        PROP_CHECK),
    MemberRow<&CQVTimeInstance::GlobalTime, &CQVTimeInstance::SetGlobalTime>(MSG_SET_GTIME, MSG_GET_GTIME,
                                                                             "GlobalTime", PROP_TIME),
    MemberRow<&CQVTimeInstance::ConnectedCount>(0, MSG_TIMEINSTANCE_GET_CONNECTED_COUNT),
};

constexpr MessageTable kTimeInstanceMessages{kTimeInstanceRows};

// The layer messages fire every frame on their channel.
constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;

}  // namespace

CQVTimeInstance::CQVTimeInstance() : m_Controlled(&m_OwnClock) {
    m_ClassType = CLASS_TIME_INSTANCE;
    m_OwnClock.owner = this;
    m_OwnClock.flags = CLOCK_NOTIFY;
}

CQVTimeInstance::~CQVTimeInstance() {
    // The global clock must not keep an owner that is gone.
    SetGlobal(false);
    while (!m_Connections.empty()) {
        CQVActor* actor = m_Connections.front().target;
        if (actor == nullptr || !Unconnect(actor)) m_Connections.pop_front();
    }
    // What is left on the own clock goes with it.
    if (g_ActorSystem) {
        for (ActorClock::Channel& channel : m_OwnClock.channels) {
            for (TimedMessageList* list : {&channel.perFrame, &channel.timed}) {
                while (!list->IsEmpty()) g_ActorSystem->ReleaseTimedMessage(list->head.next);
            }
        }
    }
}

float CQVTimeInstance::SimMultiplier() const { return std::bit_cast<float>(m_Controlled->unused); }

void CQVTimeInstance::SetSimMultiplier(float value) { m_Controlled->unused = std::bit_cast<uint32_t>(value); }

void CQVTimeInstance::SetCalcFromRawTime(bool raw) {
    // The global clock is advanced by the frame loop; its flags stay.
    if (m_Controlled->flags & CLOCK_MANUAL) return;
    m_Controlled->flags = raw ? (m_Controlled->flags | CLOCK_GLOBAL_SPEED) : (m_Controlled->flags & ~CLOCK_GLOBAL_SPEED);
}

void CQVTimeInstance::SetGlobalTime(float time) {
    m_Controlled->time = time;
    m_Controlled->previousTime = time - 1.0f / 60.0f;
    m_Controlled->olderTime = time - 1.0f / 30.0f;
}

void CQVTimeInstance::SetGlobal(bool global) {
    CQVActor* owner = g_GlobalClock.owner;
    if (!global) {
        if (owner != this) return;
        m_Controlled = &m_OwnClock;
        g_GlobalClock.owner = g_ActorSystem;
        return;
    }
    if (owner == this) return;
    // One Time Instance is global at a time: the last one set wins.
    if (owner && owner != g_ActorSystem) owner->SendValue<uint32_t>(MSG_SET_TIMEINSTANCE_GLOBAL, 0);
    g_GlobalClock.owner = this;
    m_Controlled = &g_GlobalClock;
}

void CQVTimeInstance::Connect(CQVActor* actor) {
    if (actor == nullptr || actor == this || actor->m_Clock == m_Controlled) return;
    CQVActor* owner = actor->m_Clock->owner;
    if (owner && owner != g_ActorSystem) owner->SendValue(MSG_TIMEINSTANCE_UNCONNECT, actor);
    actor->m_Clock = m_Controlled;
    ActorLink& link = m_Connections.emplace_back();
    link.SetOwner(this);
    link.SetTarget(actor);
}

int CQVTimeInstance::Unconnect(CQVActor* actor) {
    if (actor == nullptr) return 0;
    auto it = m_Connections.begin();
    while (it != m_Connections.end() && it->target != actor) ++it;
    if (it == m_Connections.end()) return 0;
    m_Connections.erase(it);
    actor->m_Clock = &g_GlobalClock;
    // Its timed messages belong to the clock it left: it schedules them again.
    while (!actor->m_TimedMessages.empty() && g_ActorSystem) {
        g_ActorSystem->ReleaseTimedMessage(actor->m_TimedMessages.front());
    }
    return 1;
}

int CQVTimeInstance::Forget(const ActorLink* link) {
    for (auto it = m_Connections.begin(); it != m_Connections.end(); ++it) {
        if (&*it == link) {
            m_Connections.erase(it);
            return 1;
        }
    }
    return 0;
}

void CQVTimeInstance::Notify(const TimedMessage* record) {
    if (record == nullptr || record->channel >= TIMED_CHANNEL_COUNT || g_ActorSystem == nullptr) return;
    const uint32_t channel = record->channel;
    if (m_ChannelMarks[channel]) return;
    // Marked first: the layer's own message may land on a clock that notifies.
    m_ChannelMarks[channel] = 1;
    g_ActorSystem->ScheduleMessage(this, MSG_TIMEINSTANCE_PROCESS_LAYER, Args_Of(&channel), FLAGS_EVERY_FRAME, 0.0f,
                                   0.0f, 0.0f, nullptr, static_cast<uint8_t>(channel));
}

void CQVTimeInstance::ProcessLayer(uint32_t channel) {
    if (channel >= TIMED_CHANNEL_COUNT || g_ActorSystem == nullptr) return;
    // The own clock, whose queuing scheduled this layer: while global, the
    // controlled clock is the global one, which the frame runs itself.
    g_ActorSystem->RunTimedMessages(&m_OwnClock, static_cast<uint8_t>(channel));
    const ActorClock::Channel& lists = m_OwnClock.channels[channel];
    if (!lists.perFrame.IsEmpty() || !lists.timed.IsEmpty()) return;
    for (TimedMessage* layer : m_TimedMessages) {
        if (layer->messageId == MSG_TIMEINSTANCE_PROCESS_LAYER && Args_Get<uint32_t>(layer->args) == channel) {
            CancelTimedMessage(layer);
        }
    }
    m_ChannelMarks[channel] = 0;
}

int CQVTimeInstance::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kTimeInstanceMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_TIMEINSTANCE_CONNECT_ACTOR:
        Connect(Args_Pointer<CQVActor>(id, args));
        break;
    case MSG_TIMEINSTANCE_UNCONNECT:
        if (Unconnect(Args_Pointer<CQVActor>(id, args))) return 1;
        break;
    case MSG_TIMEINSTANCE_MCMD_CREATE_NOTIFY:
        Notify(Args_Pointer<TimedMessage>(id, args));
        break;
    case MSG_TIMEINSTANCE_PROCESS_LAYER:
        ProcessLayer(Args_Get<uint32_t>(args));
        break;
    case MSG_COMMANDSELECTION: {
        const uint32_t message = Args_Get<uint32_t>(args);
        const MessageArgs block = args.At(sizeof(uint32_t));
        // By id: a handler may kill any of them.
        std::vector<uint32_t> ids;
        for (const ActorLink& link : m_Connections) {
            if (link.target) ids.push_back(link.target->m_Id);
        }
        for (uint32_t actor : ids) {
            if (CQVActor* target = CQVActorSystem::GetActorById(actor)) target->HandleMessage(message, block);
        }
        break;
    }
    case MSG_PRECALCULATE:
        m_OwnClock.flags |= CLOCK_GLOBAL_SPEED;
        break;
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY:
        CQVActor::HandleMessage(id, args);
        m_Controlled = &m_OwnClock;
        m_OwnClock.owner = this;
        return 1;
    case MSG_INVALID_ACTORPOINTER:
        if (Forget(Args_Pointer<ActorLink>(id, args))) return 1;
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVTimeInstance::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_TIME_INSTANCE];
    record.Define("Time Instance", "", {CLASS_BASE, CLASS_TIME_INSTANCE});
    kTimeInstanceMessages.AddSheet(record);
    for (PropertyDesc& row : record.properties) {
        if (row.setMessage == MSG_SET_TIMEINSTANCE_MULTIPLIER || row.setMessage == MSG_SET_TIMEINSTANCE_SIMMULTIPLIER) {
            row.scale = 100.0f;
        }
    }
}
