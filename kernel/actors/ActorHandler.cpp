#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/BaseMessages.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/ScriptMessages.h"
#include "kernel/actors/SimulationMessages.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/TreeMessages.h"

uint32_t g_MessageCount = 0;
void (*g_FastDebugApply)(uint32_t mode, uint32_t red, uint32_t green, uint32_t blue) = nullptr;

namespace {

// Scheduling flags of the chains: tag, mode and whether the record is saved.
constexpr uint32_t FLAGS_DELAYED_STEP = 0x1200;  // one-shot, saved
constexpr uint32_t FLAGS_PENDING_POST = 0x12FE;  // one-shot, saved, tag 0xFE
constexpr uint32_t FLAGS_FADE = 0x1DFF;          // interpolating, saved, tag 0xFF
constexpr uint32_t FLAGS_TIMED_LERP = 0x0D00;    // interpolating, not saved
constexpr uint8_t TAG_FADE = 0xFF;
constexpr uint8_t TAG_PENDING_POST = 0xFE;
constexpr float FADE_PERIOD = 0.033333335f;      // 1/30 s between fade steps

// Init Load clears the action flags of files written before they existed.
constexpr uint32_t ACTION_FLAGS_FILE_VERSION = 57;

float GetFloat(MessageArgs args) { return Args_Get<float>(args); }
uint32_t GetWord(MessageArgs args) { return Args_Get<uint32_t>(args); }
void SetFloat(MessageArgs args, float value) { Args_Answer(args, value); }

float Ask(CQVActor* actor, uint32_t message) {
    float value = 0.0f;
    actor->HandleMessage(message, Args_Of(&value));
    return value;
}

void Tell(CQVActor* actor, uint32_t message, float value) { actor->HandleMessage(message, Args_Of(&value)); }

// The "Action Start" and "Action Stop" steps running now, innermost last.
// An actor whose "Action Start Post" sends "Action Stop Pre" and whose
// "Action Stop Post" sends "Action Start Pre", with no delays and no times,
// would start and stop itself without end inside one call: a step that
// would run again while it still runs for the same actor waits for the next
// pass of the timed messages, so such an actor turns over once a frame.
struct RunningStep {
    const CQVActor* actor;
    uint32_t step;
};
std::vector<RunningStep> g_RunningSteps;

class StepScope {
public:
    StepScope(const CQVActor* actor, uint32_t step) { g_RunningSteps.push_back({actor, step}); }
    ~StepScope() { g_RunningSteps.pop_back(); }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;
};

bool StepRunning(const CQVActor* actor, uint32_t step) {
    for (const RunningStep& running : g_RunningSteps) {
        if (running.actor == actor && running.step == step) return true;
    }
    return false;
}

// Sends a message to every child that does not block it from its parent.
void PassToChildren(CQVActor* actor, uint32_t message, MessageArgs args, uint32_t blockFromParent) {
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        CQVActor* child = actor->m_Children[i];
        if (child && !(child->m_ActionFlags & blockFromParent)) child->HandleMessage(message, args);
    }
}

// The searches answer into the slot after their key: {key, result}.
void AnswerFound(MessageArgs args, size_t keySize, CQVActor* found) { Args_Set(args, keySize, found); }

// A direct child that matches ends the search at this level; otherwise each
// child searches its own subtree, and a later find overwrites an earlier one.
template <typename Match>
void SearchSubtree(CQVActor* actor, uint32_t message, MessageArgs args, size_t keySize, Match matches) {
    for (CQVActor* child : actor->m_Children) {
        if (child && matches(child)) {
            AnswerFound(args, keySize, child);
            return;
        }
    }
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        if (actor->m_Children[i]) actor->m_Children[i]->HandleMessage(message, args);
    }
}

}  // namespace

int CQVActor::HandleSpiedMessage(uint32_t id, MessageArgs args) {
    // A spy's own notice is not spied on: an actor that spies on itself, or
    // two that spy on each other, would otherwise tell each other without end.
    if (id == MSG_COMMAND_SPY) return HandleBaseCase(id, args);
    CommandSpyArgs spied{id, &args, this};
    // A spy may drop spies, so the list is re-read each time.
    for (size_t i = 0; i < m_CommandSpies.size(); ++i) {
        if (CQVActor* spy = m_CommandSpies[i]->target) spy->HandleMessage(MSG_COMMAND_SPY, Args_Of(&spied));
    }
    return HandleBaseCase(id, args);
}

__attribute__((noinline)) void CQVActor::RunEventScripts(uint32_t id) {
    // "Set Enabled" and "Get Enabled" never run scripts.
    if (id == MSG_SET_ENABLED || id == MSG_GET_ENABLED) return;
    if (g_ScriptExecute == nullptr || !(GetCommandDesc(id).flags & COMMAND_EVENT)) return;
    // Scripts may add or remove scripts while they run.
    for (size_t i = 0; i < m_Scripts.size(); ++i) {
        if (m_Scripts[i].boundMessage == id) g_ScriptExecute(&m_Scripts[i], nullptr);
    }
}

// The pairs the base's message table binds to fields (timing values,
// action flags, the master flag) are plain stores and are answered first;
// every other base case is one call in HandleOtherCase.
int CQVActor::HandleBaseCase(uint32_t id, MessageArgs args) {
    const RowResult row = kBaseMessages.Apply(*this, id, args);
    if (!row) return HandleOtherCase(id, args);
    const int result = row.Ends() ? row.result : 1;
    if (m_Scripts.empty()) return result;
    return RunEventScriptsAfter(id, result);
}

__attribute__((noinline)) int CQVActor::RunEventScriptsAfter(uint32_t id, int result) {
    RunEventScripts(id);
    return result;
}

int CQVActor::HandleOtherCase(uint32_t id, MessageArgs args) {
    const int result = HandleSwitchCase(id, args);
    if (!m_Scripts.empty()) RunEventScripts(id);
    return result;
}

int CQVActor::HandleSwitchCase(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_PROCESS:
        Process();
        return 1;
    case MSG_BASEPROCESS:
        BaseProcess();
        return 1;
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY:
        return OnInit(id);
    case MSG_CREATE:
        return OnCreate(Args_Pointer<CQVActor>(id, args));
    case MSG_DELETE:
        return OnDelete();
    case MSG_INVALIDATE_MATRIX:
        InvalidateTransform();
        return 1;
    case MSG_INVALIDATE_OLDPOSITION:
        return OnInvalidateOldPosition();
    case MSG_START:
        return OnStartValue(1.0f);
    case MSG_STOP:
        // "Stop" sends the start value, not "Action Stop Value".
        return OnStartValue(0.0f);
    case MSG_FASTDEBUG:
        return OnFastDebug(args);
    case MSG_KILL_PRE:
    case MSG_KILL:
    case MSG_KILL_POST:
    case MSG_CALLBACK_CHILD_REMOVED:
        return OnKillChain(id, args);
    case MSG_ACTION_START_PRE:
    case MSG_ACTION_START:
    case MSG_ACTION_START_POST:
    case MSG_ACTION_STOP_PRE:
    case MSG_ACTION_STOP:
    case MSG_ACTION_STOP_POST:
    case MSG_ACTION_COMMAND:
    case MSG_CALC_ACTION_TIME_CB:
    case MSG_CALC_ACTION_TIME_CC:
        return OnActionChain(id, args);
    case MSG_COMMAND_LERP:
    case MSG_TIMED_COMMAND_LERP:
    case MSG_TIMERCOMMAND:
    case MSG_DELETE_TIMERCOMMANDS_BY_CMD:
    case MSG_MCMD_DELETEBYCOMMAND:
    case MSG_ADD_CURRENT_TIME:
    case MSG_CONNECT_TO_TIMEINSTANCE:
        return OnTimeMessage(id, args);
    case MSG_FIRST_CHILD_OF_CLASS:
    case MSG_FIND_DESCENDANT_BY_CLASS:
    case MSG_FIND_CHILD_BY_NAME:
    case MSG_FIND_DESCENDANT_BY_NAME:
        return OnSearch(id, args);
    default:
        if (Actor_HandleScriptMessage(this, id, args)) return 1;
        if (Actor_HandleCollisionMessage(this, id, args)) return 1;
        return ActorTree_HandleMessage(this, id, args);
    }
}

__attribute__((noinline)) int CQVActor::OnInit(uint32_t id) {
    InitCommon();
    if (id == MSG_INIT_NEW) {
        HandleMessage(MSG_PRECALCULATE, nullptr);
        m_Flags |= ACTOR_PRECALCULATED;
    } else if (id == MSG_INIT_LOAD) {
        InitLoadSteps();
    } else {
        InitCopySteps();
    }
    InvalidateTransform();
    return 1;
}

__attribute__((noinline)) int CQVActor::OnCreate(CQVActor* source) {
    if (source == nullptr) return HandleMessage(MSG_INIT_NEW, nullptr);
    // The copy keeps its own identity and place in the tree while "Init
    // Copy" runs, and owns none of the source's children.
    const uint32_t ownId = m_Id;
    const std::string ownName = m_Name;
    CQVActor* ownParent = m_Parent;
    const uint32_t ownParentId = m_ParentId;
    CopyFrom(*source);
    m_Id = ownId;
    m_Name = ownName;
    m_Parent = ownParent;
    m_ParentId = ownParentId;
    m_Children.clear();
    HandleMessage(MSG_INIT_COPY, nullptr);
    return 1;
}

__attribute__((noinline)) int CQVActor::OnDelete() {
    if (g_ActorSystem) g_ActorSystem->QueueDelete(this);
    ClearGASlot();
    m_Name = "__" + m_Name;
    return 1;
}

__attribute__((noinline)) int CQVActor::OnSetName(const char* name) {
    ClearGASlot();
    m_Name = name;
    const int slot = Script_ParseGAIndex(m_Name.c_str());
    if (slot > 0 && slot < GA_SLOT_COUNT && g_GAVariables[slot] == nullptr) {
        g_GAVariables[slot] = this;
        m_Flags |= ACTOR_HOLDS_GA_SLOT;
    }
    return 1;
}

float CQVActor::AskNormalizedTime() {
    const float total = Ask(this, MSG_GET_TOTAL_TIME);
    // An actor without a length has no position within it.
    return total != 0.0f ? Ask(this, MSG_GET_CURRENT_TIME) / total : 0.0f;
}

void CQVActor::TellNormalizedTime(float t) { Tell(this, MSG_SET_CURRENT_TIME, t * Ask(this, MSG_GET_TOTAL_TIME)); }

__attribute__((noinline)) int CQVActor::OnInvalidateOldPosition() {
    m_PrevPosition = m_Position;
    m_PrevWorldPosition = GetWorldPosition();
    SendToChildren(MSG_INVALIDATE_OLDPOSITION, nullptr);
    return 1;
}

__attribute__((noinline)) int CQVActor::OnStartValue(float value) {
    Tell(this, MSG_ACTION_START_VALUE, value);
    return 1;
}

__attribute__((noinline)) int CQVActor::OnSetEnabled(bool enabled) {
    if (enabled != ((m_Activity & ACTIVITY_ENABLED) != 0)) HandleMessage(enabled ? MSG_START : MSG_STOP, nullptr);
    return 1;
}

__attribute__((noinline)) int CQVActor::OnSetOperational(bool operational) {
    if (operational) {
        // Nearest ancestor first, then the actor itself.
        std::vector<CQVActor*> chain;
        for (CQVActor* walk = m_Parent; walk; walk = walk->m_Parent) chain.push_back(walk);
        chain.push_back(this);
        for (CQVActor* actor : chain) {
            if (actor != this && actor->IsOperational()) continue;
            if (!(actor->m_Flags & ACTOR_PRECALCULATED)) {
                actor->HandleMessage(MSG_PRECALCULATE, nullptr);
                actor->m_Flags |= ACTOR_PRECALCULATED;
            }
            actor->m_Activity |= ACTIVITY_OPERATIONAL;
        }
    } else {
        m_Activity &= ~ACTIVITY_OPERATIONAL;
    }
    uint32_t value = operational ? 1 : 0;
    SendToChildren(MSG_SET_OPERATIONAL, Args_Of(&value));
    return 1;
}

__attribute__((noinline)) int CQVActor::OnFastDebug(MessageArgs args) {
    if (g_FastDebugApply) {
        g_FastDebugApply(Args_Get<uint32_t>(args, 0), Args_Get<uint32_t>(args, 4), Args_Get<uint32_t>(args, 8),
                         Args_Get<uint32_t>(args, 12));
    }
    return 1;
}

__attribute__((noinline)) int CQVActor::OnKillChain(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_KILL_PRE:
        if (m_KillDelay == 0.0f) {
            HandleMessage(MSG_KILL, args);
        } else {
            ScheduleMessage(MSG_KILL, args, FLAGS_DELAYED_STEP, m_KillDelay, 0.0f, 0.0f);
        }
        break;
    case MSG_KILL:
        if (!(m_ActionFlags & ACTION_BLOCK_KILL_TO_CHILDREN)) {
            PassToChildren(this, MSG_KILL_PRE, args, ACTION_BLOCK_KILL_FROM_PARENT);
        }
        if (m_KillTime == 0.0f) {
            HandleMessage(MSG_KILL_POST, nullptr);
        } else {
            StartFade(MSG_KILL_VALUE, 1.0f, 0.0f, m_KillTime);
            ScheduleMessage(MSG_KILL_POST, nullptr, FLAGS_DELAYED_STEP, m_KillTime, 0.0f, 0.0f);
        }
        break;
    case MSG_KILL_POST:
        if (m_Children.empty() || (m_ActionFlags & ACTION_FORCE_DELETE_ON_KILL_POST)) {
            HandleMessage(MSG_DELETE, nullptr);
        }
        m_Activity |= ACTIVITY_KILLED;
        break;
    default:
        // A killed parent goes with its last child.
        if ((m_Activity & ACTIVITY_KILLED) && m_Children.size() == 1) HandleMessage(MSG_DELETE, nullptr);
        break;
    }
    return 1;
}

__attribute__((noinline)) int CQVActor::OnActionChain(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_ACTION_START_PRE:
        if (m_ActionStartDelay == 0.0f) {
            HandleMessage(MSG_ACTION_START, args);
        } else {
            ScheduleMessage(MSG_ACTION_START, args, FLAGS_DELAYED_STEP, m_ActionStartDelay, 0.0f, 0.0f);
        }
        break;
    case MSG_ACTION_START: {
        if (m_Activity & ACTIVITY_KILLED) break;
        const StepScope running(this, MSG_ACTION_START);
        CancelTimedMessages(MSG_ACTION_STOP);
        if (!(m_ActionFlags & ACTION_BLOCK_START_TO_CHILDREN)) {
            PassToChildren(this, MSG_ACTION_START_PRE, args, ACTION_BLOCK_START_FROM_PARENT);
        }
        if (m_ActionStartTime == 0.0f) {
            HandleMessage(MSG_ACTION_START_POST, nullptr);
        } else {
            StartFade(MSG_ACTION_START_VALUE, 0.0f, 1.0f, m_ActionStartTime);
            ScheduleMessage(MSG_ACTION_START_POST, nullptr, FLAGS_PENDING_POST, m_ActionStartTime, 0.0f, 0.0f);
        }
        break;
    }
    case MSG_ACTION_START_POST:
        if (!m_ColObjs.empty() && !(m_Flags & ACTOR_COLLISION_ENABLED)) {
            uint32_t on = 1;
            HandleMessage(MSG_SET_COLLISION_ENABLE, Args_Of(&on));
        }
        if (m_ActionFlags & ACTION_KILL_PRE_ON_START_POST) HandleMessage(MSG_KILL_PRE, nullptr);
        if (m_ActionFlags & ACTION_STOP_PRE_ON_START_POST) SendFollowingStep(MSG_ACTION_STOP_PRE, MSG_ACTION_STOP);
        break;
    case MSG_ACTION_STOP_PRE:
        if (m_ActionStopDelay == 0.0f) {
            HandleMessage(MSG_ACTION_STOP, args);
        } else {
            ScheduleMessage(MSG_ACTION_STOP, args, FLAGS_DELAYED_STEP, m_ActionStopDelay, 0.0f, 0.0f);
        }
        break;
    case MSG_ACTION_STOP: {
        const StepScope running(this, MSG_ACTION_STOP);
        CancelTimedMessages(MSG_ACTION_START);
        if (!(m_ActionFlags & ACTION_BLOCK_STOP_TO_CHILDREN)) {
            PassToChildren(this, MSG_ACTION_STOP_PRE, args, ACTION_BLOCK_STOP_FROM_PARENT);
        }
        if (m_ActionStopTime == 0.0f) {
            HandleMessage(MSG_ACTION_STOP_POST, nullptr);
        } else {
            StartFade(MSG_ACTION_STOP_VALUE, 1.0f, 0.0f, m_ActionStopTime);
            ScheduleMessage(MSG_ACTION_STOP_POST, nullptr, FLAGS_PENDING_POST, m_ActionStopTime, 0.0f, 0.0f);
        }
        break;
    }
    case MSG_ACTION_STOP_POST:
        if (!m_ColObjs.empty() && (m_Flags & ACTOR_COLLISION_ENABLED)) {
            uint32_t off = 0;
            HandleMessage(MSG_SET_COLLISION_ENABLE, Args_Of(&off));
        }
        if (m_ActionFlags & ACTION_START_PRE_ON_STOP_POST) SendFollowingStep(MSG_ACTION_START_PRE, MSG_ACTION_START);
        break;
    case MSG_ACTION_COMMAND:
        if (!args) break;
        if (!(m_ActionFlags & ACTION_DONT_EXEC_COMMAND)) HandleMessage(Args_Get<uint32_t>(args), args.At(4));
        if (!(m_ActionFlags & ACTION_BLOCK_CMD_TO_CHILDREN)) {
            PassToChildren(this, MSG_ACTION_COMMAND, args, ACTION_BLOCK_CMD_FROM_PARENT);
        }
        break;
    case MSG_CALC_ACTION_TIME_CB:
        if (!args) break;
        if (m_ActionTime > GetFloat(args)) SetFloat(args, m_ActionTime);
        SendToChildren(MSG_CALC_ACTION_TIME_CB, args);
        break;
    default: {
        float longest = m_ActionTime;
        HandleMessage(MSG_CALC_ACTION_TIME_CB, Args_Of(&longest));
        m_ActionTime = longest;
        break;
    }
    }
    return 1;
}

void CQVActor::SendFollowingStep(uint32_t pre, uint32_t step) {
    if (StepRunning(this, step)) {
        ScheduleMessage(pre, nullptr, FLAGS_DELAYED_STEP, 0.0f, 0.0f, 0.0f);
    } else {
        HandleMessage(pre, nullptr);
    }
}

__attribute__((noinline)) int CQVActor::OnTimeMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_COMMAND_LERP: {
        if (!args.Holds(0, 8)) break;
        const float t = Args_Get<float>(args);
        const uint32_t firstId = Args_Get<uint32_t>(args, 4);
        MessageArgs first = args.At(8);
        const uint32_t firstSize = MessageArgs_GetBlockSize(firstId, first);
        if (!args.Holds(8 + firstSize, 4)) break;
        const uint32_t secondId = Args_Get<uint32_t>(args, 8 + firstSize);
        MessageArgs second = args.At(12 + firstSize);
        if (firstId != secondId) break;
        if (MessageArgs mixed = MessageArgs_Lerp(t, firstId, first, second)) HandleMessage(firstId, mixed);
        break;
    }
    case MSG_TIMED_COMMAND_LERP: {
        if (!args.Holds(0, 8)) break;
        const float delay = Args_Get<float>(args);
        const float length = Args_Get<float>(args, 4);
        ScheduleMessage(MSG_COMMAND_LERP, args.At(4), FLAGS_TIMED_LERP, delay, delay + length, 0.0f);
        break;
    }
    case MSG_TIMERCOMMAND:
        if (!args.Holds(0, 8)) break;
        ScheduleMessage(Args_Get<uint32_t>(args, 4), args.At(8), FLAGS_DELAYED_STEP, Args_Get<float>(args), 0.0f,
                        0.0f);
        break;
    case MSG_DELETE_TIMERCOMMANDS_BY_CMD:
    case MSG_MCMD_DELETEBYCOMMAND:
        CancelTimedMessages(GetWord(args));
        break;
    case MSG_ADD_CURRENT_TIME:
        Tell(this, MSG_SET_CURRENT_TIME, Ask(this, MSG_GET_CURRENT_TIME) + GetFloat(args));
        break;
    default:
        if (CQVActor* timeInstance = Args_Pointer<CQVActor>(id, args)) {
            CQVActor* self = this;
            timeInstance->HandleMessage(MSG_TIMEINSTANCE_CONNECT_ACTOR, Args_Of(&self));
        }
        break;
    }
    return 1;
}

__attribute__((noinline)) int CQVActor::OnSearch(uint32_t id, MessageArgs args) {
    if (id == MSG_FIRST_CHILD_OF_CLASS || id == MSG_FIND_DESCENDANT_BY_CLASS) {
        constexpr size_t keySize = sizeof(uint32_t);
        const uint32_t type = Args_Get<uint32_t>(args);
        if (!args.Holds(keySize, sizeof(CQVActor*))) return 1;
        if (id == MSG_FIND_DESCENDANT_BY_CLASS) {
            SearchSubtree(this, id, args, keySize, [type](CQVActor* child) { return child->m_ClassType == type; });
            return 1;
        }
        for (CQVActor* child : m_Children) {
            if (child && child->m_ClassType == type) {
                AnswerFound(args, keySize, child);
                break;
            }
        }
        return 1;
    }
    constexpr size_t keySize = sizeof(const char*);
    const char* name = Args_Pointer<const char>(id, args);
    if (name == nullptr || !args.Holds(keySize, sizeof(CQVActor*))) return 1;
    if (id == MSG_FIND_DESCENDANT_BY_NAME) {
        SearchSubtree(this, id, args, keySize, [name](CQVActor* child) { return child->m_Name == name; });
        return 1;
    }
    for (CQVActor* child : m_Children) {
        if (child && child->m_Name == name) {
            AnswerFound(args, keySize, child);
            break;
        }
    }
    return 1;
}

void CQVActor::InitCommon() {
    m_Flags &= ~(ACTOR_PRECALCULATED | ACTOR_IN_DRAWGROUP);
    m_DrawGroupId = ACTOR_ID_NONE;
    m_BaseProcessRecord = nullptr;
    for (ColObj& object : m_ColObjs) {
        object.owner = this;
        object.scaleFactor = 1.0f;
    }
    for (CQVScript& script : m_Scripts) script.owner = this;
}

void CQVActor::InitLoadSteps() {
    // Naming through the message registers the name.
    const std::string loaded = m_Name;
    m_Name.clear();
    HandleMessage(MSG_SET_NAME, Args_Of(loaded.c_str()));
    if (g_ActorSystem) {
        for (size_t i = 0; i < m_TimedMessages.size(); ++i) g_ActorSystem->LinkTimedMessage(m_TimedMessages[i]);
        if (g_ActorSystem->GetLoadVersion() < ACTION_FLAGS_FILE_VERSION) m_ActionFlags = 0;
    }
    if (m_ColObjs.empty()) m_Flags &= ~ACTOR_COLLISION_ENABLED;
    for (ColObj& object : m_ColObjs) object.UpdateDerivedGroups(m_ClassType);
}

void CQVActor::InitCopySteps() {
    if (m_Flags & ACTOR_HOLDS_GA_SLOT) {
        // The slot stays with the source actor.
        m_Name = "O" + m_Name;
        m_Flags &= ~ACTOR_HOLDS_GA_SLOT;
    }
    // The copy's timed-message and back-link lists start empty: CopyFrom
    // never takes them from the source.
    CQVActor* owner = m_Clock ? m_Clock->owner : nullptr;
    if (owner && owner != g_ActorSystem) {
        m_Clock = &g_GlobalClock;
        CQVActor* self = this;
        owner->HandleMessage(MSG_TIMEINSTANCE_CONNECT_ACTOR, Args_Of(&self));
    }
}

void CQVActor::StartFade(uint32_t valueMessage, float start, float end, float time) {
    for (TimedMessage* record : m_TimedMessages) {
        // A fade already cancelled this frame is no longer running.
        if (record->tag != TAG_FADE || (record->state & TIMED_STATE_CANCELLED)) continue;
        start = record->Interpolate();
        CancelTimedMessage(record);
        CancelTimedMessagesByTag(TAG_PENDING_POST);
        break;
    }
    Tell(this, valueMessage, start);
    const CommandLerpBlock block{0.0f, valueMessage, start, valueMessage, end};
    ScheduleMessage(MSG_COMMAND_LERP, Args_Of(&block), FLAGS_FADE, 0.0f, time, FADE_PERIOD);
}
