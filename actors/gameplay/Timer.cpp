#include "actors/gameplay/Timer.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"

#include <cmath>

namespace {

constexpr MessageRow kTimerRows[] = {
    SheetRow("Timer Properties", PROP_TITLE),
    FieldRow<&CQVTimer::m_Type>(MSG_SET_TIMER_TYPE, MSG_GET_TIMER_TYPE, "Type:|Forward Once|0|Forward Loop|1|",
                                PROP_CHOICE),
    // A running Timer keeps its schedule until it starts again.
    FieldRow<&CQVTimer::m_Multiplier>(MSG_SET_TIMER_MULTIPLIER, MSG_GET_TIMER_MULTIPLIER, "Time Multiplier:|%|",
                                      PROP_REAL),
    MemberRow<&CQVTimer::CurrentTime, &CQVTimer::SetCurrentTime>(MSG_SET_CURRENT_TIME, MSG_GET_CURRENT_TIME,
                                                                 "Current Time:", PROP_PLAY_TIME),
    FieldRow<&CQVTimer::m_StartTime>(MSG_SET_TIMER_START_TIME, MSG_GET_TIMER_START_TIME, "Start Time:",
                                     PROP_PLAY_TIME),
    FieldRow<&CQVTimer::m_TotalTime>(MSG_SET_TOTAL_TIME, MSG_GET_TOTAL_TIME, "Total Time:", PROP_PLAY_TIME),
    FlagRow<&CQVTimer::m_TimerFlags>(MSG_SET_TIMER_START_ACTIVE, MSG_GET_TIMER_START_ACTIVE, TIMER_START_ACTIVE,
                                     "Reset+Start_Timer  ON  Start_Game:", PROP_CHECK),
    SheetRow("Timer Event Keys", PROP_SEPARATOR),
    SheetRow("Event", PROP_EVENT_LIST_2),
    SheetRow("Reset Timer |Reset|", PROP_BUTTON, MSG_RESET),
};

constexpr MessageTable kTimerMessages{kTimerRows, CopiedFields<&CQVTimer::m_SavedCurrentTime, &CQVTimer::m_StartClock,
                                                               &CQVTimer::m_BaseTime, &CQVTimer::m_TimerFlags>()};

// Scheduling flags of the key messages: one firing, or one per loop passed.
constexpr uint32_t FLAGS_ONCE = 0x200;
constexpr uint32_t FLAGS_PERIODIC = 0x300;
constexpr uint8_t KEY_CHANNEL = 1;

// The fewest bytes one stored key takes: its bound id, three string
// lengths and its time.
constexpr uint32_t kStoredKeyMinSize = 20;

}  // namespace

CQVTimer::CQVTimer() { m_ClassType = CLASS_TIMER; }

void CQVTimer::SetState(uint32_t state) {
    m_TimerFlags = (m_TimerFlags & ~TIMER_STATE_MASK) | ((state << TIMER_STATE_SHIFT) & TIMER_STATE_MASK);
}

float CQVTimer::CurrentTime() {
    if (State() != TIMER_RUNNING) return m_BaseTime;
    RefreshClock(this);
    return (m_Clock->time - m_StartClock) * m_Multiplier + m_BaseTime;
}

void CQVTimer::Start() {
    if (State() != TIMER_STOPPED) return;
    m_Activity |= ACTIVITY_ENABLED;
    if (m_Multiplier == 0.0f) {
        SetState(TIMER_PAUSED);
        return;
    }
    const float from = m_BaseTime;
    const float rate = 1.0f / m_Multiplier;
    const float period = rate * m_TotalTime;
    // A loop of no length (or run backwards) would fire for ever in one
    // pass: such a line runs its keys once.
    const bool loop = m_Type == TIMER_FORWARD_LOOP && period > 0.0f;
    if (g_ActorSystem && loop) {
        g_ActorSystem->ScheduleMessage(this, MSG_ON_TIMER_LOOP, nullptr, FLAGS_PERIODIC, period, 0.0f, period, nullptr,
                                       KEY_CHANNEL);
    }
    for (uint32_t i = 0; g_ActorSystem && i < m_Keys.size(); ++i) {
        float delay = (m_Keys[i].time - from) * rate;
        if (delay < 0.0f) {
            if (!loop) continue;
            // The key's next occurrence, in a later loop.
            const float loops = 1.0f - std::trunc(delay / period);
            delay = loops * period + delay;
        }
        g_ActorSystem->ScheduleMessage(this, MSG_TIMER_CALLBACK, Args_Of(&i), loop ? FLAGS_PERIODIC : FLAGS_ONCE, delay,
                                       0.0f, period, nullptr, KEY_CHANNEL);
    }
    SetState(TIMER_RUNNING);
    RefreshClock(this);
    m_StartClock = m_Clock->time;
}

void CQVTimer::Stop() {
    if (State() == TIMER_RUNNING) {
        SendValue<uint32_t>(MSG_DELETE_TIMERCOMMANDS_BY_CMD, MSG_TIMER_CALLBACK);
        // The loop belongs to this run: left pending, every later start
        // would add another one.
        CancelTimedMessages(MSG_ON_TIMER_LOOP);
        m_BaseTime = CurrentTime();
    }
    m_Activity &= ~ACTIVITY_ENABLED;
    SetState(TIMER_STOPPED);
}

void CQVTimer::SetCurrentTime(float t) {
    // A time that is no number moves nothing.
    if (std::isnan(t)) return;
    if (t > m_TotalTime) t = m_TotalTime;
    const float old = CurrentTime();
    if (t == old) return;
    switch (State()) {
    case TIMER_STOPPED:
        m_StartClock = -1.0f;
        m_BaseTime = t;
        break;
    case TIMER_RUNNING: {
        HandleMessage(MSG_STOP_TIMER, nullptr);
        m_BaseTime = t;
        m_StartClock = -1.0f;
        HandleMessage(MSG_PAUSE_TIMER, nullptr);
        const float span[2] = {old, t};
        HandleMessage(MSG_TIMER_EXECUTE_FROM_TO, Args_Of(span));
        break;
    }
    default: {
        m_BaseTime = t;
        m_StartClock = -1.0f;
        const float span[2] = {old, t};
        HandleMessage(MSG_TIMER_EXECUTE_FROM_TO, Args_Of(span));
        break;
    }
    }
    if (m_Flags & ACTOR_PRECALCULATED) HandleMessage(MSG_ON_VALUE_CHANGED, nullptr);
}

void CQVTimer::ExecuteFromTo(float from, float to) {
    // In list order forwards, backwards in reverse; the keys are not sorted.
    if (to > from) {
        for (uint32_t i = 0; i < m_Keys.size(); ++i) {
            if (from <= m_Keys[i].time && m_Keys[i].time < to) SendValue(MSG_TIMER_CALLBACK, i);
        }
        return;
    }
    for (uint32_t i = static_cast<uint32_t>(m_Keys.size()); i-- > 0;) {
        if (i < m_Keys.size() && to < m_Keys[i].time && m_Keys[i].time <= from) SendValue(MSG_TIMER_CALLBACK, i);
    }
}

void CQVTimer::RunKey(uint32_t index) {
    if (index >= m_Keys.size() || g_ScriptExecute == nullptr) return;
    CQVScript& script = m_Keys[index].script;
    if (script.owner == nullptr) script.owner = this;
    g_ScriptExecute(&script, nullptr);
}

void CQVTimer::CopyKeys(const CQVTimer& source) {
    m_Keys.clear();
    for (const TimerKey& from : source.m_Keys) {
        TimerKey& key = m_Keys.emplace_back();
        key.script.name = from.script.name;
        key.script.boundMessage = from.script.boundMessage;
        key.script.source = from.script.source;
        key.time = from.time;
    }
}

int CQVTimer::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kTimerMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_START_TIMER:
    case MSG_PAUSE_TIMER:
    case MSG_START:
    case MSG_ACTION_START:
        Start();
        break;
    case MSG_STOP_TIMER:
    case MSG_STOP:
    case MSG_ACTION_STOP:
        Stop();
        break;
    case MSG_TIMER_EXECUTE_FROM_TO:
        ExecuteFromTo(Args_Get<float>(args, 0), Args_Get<float>(args, 4));
        break;
    case MSG_TIMER_CALLBACK:
        RunKey(Args_Get<uint32_t>(args));
        break;
    case MSG_ON_TIMER_LOOP:
        if (State() == TIMER_RUNNING) {
            RefreshClock(this);
            m_StartClock = m_Clock->time;
        }
        break;
    case MSG_RESET:
        SendValue(MSG_SET_CURRENT_TIME, m_StartTime);
        return 4;
    case MSG_START_GAME:
        if (m_TimerFlags & TIMER_START_ACTIVE) {
            SendValue(MSG_SET_CURRENT_TIME, m_StartTime);
            HandleMessage(MSG_START, nullptr);
        }
        break;
    case MSG_PRECALCULATE:
        for (TimerKey& key : m_Keys) {
            key.script.owner = this;
            key.script.boundMessage = MSG_TIMER_CALLBACK;
        }
        break;
    case MSG_INIT_LOAD: {
        const int result = CQVActor::HandleMessage(id, args);
        // A Timer saved running runs on from where it was.
        const bool running = State() == TIMER_RUNNING;
        if (running) SetState(TIMER_STOPPED);
        SendValue(MSG_SET_CURRENT_TIME, m_SavedCurrentTime);
        if (running) HandleMessage(MSG_PAUSE_TIMER, nullptr);
        return result;
    }
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source->m_ClassType == CLASS_TIMER) {
            kTimerMessages.Copy(*this, *source);
            CopyKeys(static_cast<const CQVTimer&>(*source));
        }
        break;
    }
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVTimer::SerializeKeys(CQVActorArchive* archive) {
    const bool reading = archive->direction == ARCHIVE_READING;
    uint32_t count = static_cast<uint32_t>(m_Keys.size());
    if (!archive->SerializeCount(&count, kStoredKeyMinSize)) return 0;
    if (reading) {
        // Fresh keys: a stored empty text leaves a string as it was.
        m_Keys.clear();
        m_Keys.resize(count);
    }
    for (TimerKey& key : m_Keys) {
        std::string boundName = reading ? std::string() : GetCommandDesc(key.script.boundMessage).name;
        archive->SerializeDword(&key.script.boundMessage);
        archive->SerializeString(boundName);
        archive->SerializeString(key.script.name);
        archive->SerializeString(key.script.source);
        archive->SerializeDword(&key.time);
        // Ids move between versions; the name finds the event again.
        if (reading) key.script.boundMessage = FindEventCommand(boundName.c_str());
        if (archive->HasFailed()) return 0;
    }
    return 1;
}

int CQVTimer::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_Type);
        archive->SerializeDword(&m_StartTime);
        archive->SerializeDword(&m_TotalTime);
        uint32_t startActive = m_TimerFlags & TIMER_START_ACTIVE;
        archive->SerializeDword(&startActive);
        if (reading) m_TimerFlags = (m_TimerFlags & ~TIMER_START_ACTIVE) | (startActive ? TIMER_START_ACTIVE : 0);
        if (!SerializeKeys(archive)) return 0;
    }
    if (archive->version >= 48) {
        if (!reading) m_SavedCurrentTime = CurrentTime();
        uint32_t state = State();
        archive->SerializeDword(&m_SavedCurrentTime);
        archive->SerializeDword(&state);
        // A state no Timer has reads as stopped.
        if (reading) SetState(state <= TIMER_PAUSED ? state : TIMER_STOPPED);
    }
    if (archive->version >= 58) archive->SerializeDword(&m_Multiplier);
    return archive->HasFailed() ? 0 : 1;
}

void CQVTimer::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_TIMER];
    record.Define("Timer", "Time Line, used for timer scripts...", {CLASS_BASE, CLASS_TIMER});
    kTimerMessages.AddSheet(record);
    for (PropertyDesc& row : record.properties) {
        if (row.setMessage == MSG_SET_TIMER_MULTIPLIER) row.scale = 100.0f;
    }
}
