#pragma once
// The base of every actor: identity, name, place in the actor tree, the
// transform with its cached matrices, collision objects, scripts, action
// timing, simulation state, the links that point at it and its pending timed
// messages. All behaviour is reached through the one message handler.

#include "kernel/actors/ActorLink.h"
#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ColObj.h"
#include "kernel/actors/ArgAccess.h"
#include "kernel/base/Maths.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQVActor;
class CQVActorArchive;
struct ActorClock;
struct SimParams;
struct SimState;
struct TimedMessage;

class CQVMessageTarget {
public:
    virtual int HandleMessage(uint32_t id, MessageArgs args) = 0;
};

// ActorFlags bits.
constexpr uint32_t ACTOR_LOCAL_VALID = 0x1;
constexpr uint32_t ACTOR_WORLD_VALID = 0x2;
constexpr uint32_t ACTOR_INVERSE_VALID = 0x4;
constexpr uint32_t ACTOR_MOVED = 0x10;
constexpr uint32_t ACTOR_MOVED_LAST_STEP = 0x20;
constexpr uint32_t ACTOR_DRAWGROUP_INHERITED = 0x40;
constexpr uint32_t ACTOR_PRECALCULATED = 0x80;
constexpr uint32_t ACTOR_STATIC = 0x100;
constexpr uint32_t ACTOR_IN_DRAWGROUP = 0x400;
constexpr uint32_t ACTOR_DRAWGROUP_OPTION2 = 0x800;
constexpr uint32_t ACTOR_COLLISION_ENABLED = 0x1000;
constexpr uint32_t ACTOR_MASTER = 0x2000;
constexpr uint32_t ACTOR_SIMULATED = 0x4000;
constexpr uint32_t ACTOR_SAVED = 0x8000;
constexpr uint32_t ACTOR_DELETE_PENDING = 0x10000;
constexpr uint32_t ACTOR_HOLDS_GA_SLOT = 0x20000;
constexpr uint32_t ACTOR_PERSISTED_OPTION = 0x40000;
constexpr uint32_t ACTOR_FLAGS_MASK = 0x3FFFF; // the 18 bits of the field
// A new actor is static, collision-enabled and saved.
constexpr uint32_t ACTOR_FLAGS_INITIAL = 0x9900;

// Activity bits.
constexpr uint32_t ACTIVITY_OPERATIONAL = 0x1;
constexpr uint32_t ACTIVITY_ENABLED = 0x2;
constexpr uint32_t ACTIVITY_KILLED = 0x4;

// ActionFlags bits: propagation and chaining of Action Start, Action Stop and Kill.
constexpr uint32_t ACTION_BLOCK_START_FROM_PARENT = 0x1;
constexpr uint32_t ACTION_BLOCK_STOP_FROM_PARENT = 0x2;
constexpr uint32_t ACTION_BLOCK_KILL_FROM_PARENT = 0x4;
constexpr uint32_t ACTION_BLOCK_CMD_FROM_PARENT = 0x8;
constexpr uint32_t ACTION_BLOCK_START_TO_CHILDREN = 0x10;
constexpr uint32_t ACTION_BLOCK_STOP_TO_CHILDREN = 0x20;
constexpr uint32_t ACTION_BLOCK_KILL_TO_CHILDREN = 0x40;
constexpr uint32_t ACTION_BLOCK_CMD_TO_CHILDREN = 0x80;
constexpr uint32_t ACTION_DONT_EXEC_COMMAND = 0x100;
constexpr uint32_t ACTION_STOP_PRE_ON_START_POST = 0x200;
constexpr uint32_t ACTION_START_PRE_ON_STOP_POST = 0x400;
constexpr uint32_t ACTION_KILL_PRE_ON_START_POST = 0x800;
constexpr uint32_t ACTION_FORCE_DELETE_ON_KILL_POST = 0x1000;
constexpr uint32_t ACTION_STOP_LEAVE_DELAYED_START = 0x2000;
constexpr uint32_t ACTION_FLAGS_MASK = 0x3FFF;

constexpr uint32_t ACTOR_ID_NONE = 0xFFFFFFFF;

class CQVActor : public CQVMessageTarget {
public:
    CQVActor();
    CQVActor(const CQVActor&) = delete;
    CQVActor& operator=(const CQVActor&) = delete;

    // Virtual operations in slot order; classes append further slots.
    int HandleMessage(uint32_t id, MessageArgs args) override;
    virtual ~CQVActor();
    virtual int Serialize(CQVActorArchive* archive, uint32_t flags);
    virtual void Process();
    virtual void Update();
    virtual void PrepareRender();
    virtual void OnVisible(float dt); // reached by the draw pass (draw groups, connectors, doors)

    // Member-wise copy of every base field but the class type; "Create" calls it before a class
    // copies its own fields, and "Init Copy" repairs what must not be shared.
    void CopyFrom(const CQVActor& source);

    void UpdateWorldMatrix();
    void UpdateInverseWorldMatrix();
    void InvalidateTransform();
    void BaseProcess();
    void UpdateClock(ActorClock* clock);
    void SetWorldRotation(const Quaternion& q);
    const Matrix& GetWorldMatrix();
    const Matrix& GetInverseWorldMatrix();
    Vector3 GetWorldPosition();

    // The actor's own pending timed messages.
    TimedMessage* FindTimedMessage(uint32_t messageId) const;
    TimedMessage* FindTimedMessageWithArg(uint32_t messageId, uint32_t value) const;
    TimedMessage* FindTimedMessageByTag(uint8_t tag) const;
    void CancelTimedMessages(uint32_t messageId);
    void CancelTimedMessagesByTag(uint8_t tag);
    void CancelTimedMessage(TimedMessage* record);
    TimedMessage* ScheduleMessage(uint32_t messageId, MessageArgs args, uint32_t flags, float delay,
                                  float duration, float period);
    void RescheduleTimedMessage(TimedMessage* record, float delay);
    float GetTimedMessageRemaining(TimedMessage* record);

    void EnableMarkedColObjs(bool on);
    void EnableUnmarkedColObjs(bool on);

    // Packs C-style arguments by the message's argument types into the shared
    // argument buffer and sends the message to this actor.
    int SendMessageArgs(uint32_t id, ...);
    CQVActor* FindChild(const char* name);
    static CQVActor* FindDescendantByName(CQVActor* actor, const char* name);
    static CQVActor* FindChildByName(CQVActor* actor, const char* name);
    static CQVActor* FindDescendantByClass(CQVActor* actor, uint32_t type);
    // The actor a name gives from this actor: a GA slot name (with an
    // optional path below the slot's actor) or a path.
    CQVActor* ResolveActorName(const char* name);
    // Makes m the world matrix: the local transform is recomputed against
    // the parent's world matrix; the scale is kept.
    void SetWorldMatrix(const Matrix& m);

    // Sends a message to every child, in child-list order; the list is
    // re-read after each send, since a handler may change it.
    void SendToChildren(uint32_t id, MessageArgs args);

    uint32_t IsOperational() const { return m_Activity & ACTIVITY_OPERATIONAL; }

    // The base pairs' members, called by the rows of the base's tables.
    bool IsEnabled() const { return (m_Activity & ACTIVITY_ENABLED) != 0; }
    bool IsOperationalBool() const { return IsOperational() != 0; }
    int OnSetEnabled(bool enabled);
    int OnSetOperational(bool operational);
    int OnSetName(const char* name);
    // "Current Normalized Time" through the class's own time messages.
    float AskNormalizedTime();
    void TellNormalizedTime(float t);
    // An ordinary actor takes the draw group of its ancestors.
    bool InheritsDrawGroupId() const { return true; }
    // The collision object the collision rows edit; null when none is selected.
    ColObj* SelectedColObj();
    // "Set Collision Enable": the flag and every object's active bit.
    void SetCollisionEnabled(bool on);
    // The simulation parameter block, made when it is first asked for.
    SimParams* SimParamsBlock();
    // The per-frame and update slots of many classes: the base step, only
    // while the actor is operational.
    void ProcessDefault();
    void UpdateDefault();

    static void RegisterProperties();

    uint32_t m_ClassType = 0;
    uint32_t m_Id = ACTOR_ID_NONE;
    std::string m_Name;
    Vector3 m_Scale;
    Vector3 m_Position;
    Quaternion m_Rotation;
    Vector3 m_PrevPosition;
    Quaternion m_PrevRotation;
    Matrix m_World;
    Matrix m_InvWorld;
    Matrix m_Local;
    Vector3 m_PrevWorldPosition;
    Vector3 m_DeltaPosition; // change of the world position over the last moving step
    CQVActor* m_Parent = nullptr;
    uint32_t m_ParentId = ACTOR_ID_NONE;
    std::vector<CQVActor*> m_Children;
    ActorClock* m_Clock;
    std::vector<ColObj> m_ColObjs;
    SimState* m_SimState = nullptr;
    SimParams* m_SimParams = nullptr;
    uint32_t m_ActionFlags = 0;
    float m_KillDelay = 0.0f;        // seconds between "Kill Pre" and "Kill"
    float m_KillTime = 0.0f;         // seconds between "Kill" and "Kill Post"
    float m_ActionStartDelay = 0.0f; // seconds between "Action Start Pre" and "Action Start"
    float m_ActionStartTime = 0.0f;  // seconds between "Action Start" and "Action Start Post"
    float m_ActionStopDelay = 0.0f;
    float m_ActionStopTime = 0.0f;
    float m_ActionTime = 0.0f;
    uint32_t m_UserWord = 0;
    // Command spies are held through links, so a spy that dies drops out of
    // the list instead of leaving a dangling pointer.
    std::vector<std::unique_ptr<ActorLink>> m_CommandSpies;
    float m_LastUpdateTime = 0.0f;
    std::vector<CQVScript> m_Scripts;
    uint32_t m_DrawGroupId = ACTOR_ID_NONE;
    uint32_t m_Flags = ACTOR_FLAGS_INITIAL;
    uint32_t m_Activity = ACTIVITY_OPERATIONAL | ACTIVITY_ENABLED;
    std::vector<ActorLink*> m_BackLinks;          // links bound to this actor as target
    std::vector<TimedMessage*> m_TimedMessages;   // this actor's pending timed messages
    TimedMessage* m_BaseProcessRecord = nullptr;  // pending "BaseProcess" while the actor moves
    int32_t m_SelectedColObj = -1;

private:
    void ClearGASlot();
    void InitCommon();
    void InitLoadSteps();
    void InitCopySteps();
    void StartFade(uint32_t valueMessage, float start, float end, float time);
    // The base cases of the handler, after the spies and before the scripts.
    int HandleBaseCase(uint32_t id, MessageArgs args);
    int HandleOtherCase(uint32_t id, MessageArgs args);
    int HandleSwitchCase(uint32_t id, MessageArgs args);
    int OnInit(uint32_t id);
    int OnCreate(CQVActor* source);
    int OnDelete();
    int OnInvalidateOldPosition();
    int OnStartValue(float value);
    int OnFastDebug(MessageArgs args);
    int OnKillChain(uint32_t id, MessageArgs args);
    int OnActionChain(uint32_t id, MessageArgs args);
    // Sends pre at once, or schedules it for the next pass when the step it
    // leads to is running for this actor already.
    void SendFollowingStep(uint32_t pre, uint32_t step);
    int OnTimeMessage(uint32_t id, MessageArgs args);
    int OnSearch(uint32_t id, MessageArgs args);
    // The spies see the message, then the base case runs.
    int HandleSpiedMessage(uint32_t id, MessageArgs args);
    // Runs the scripts bound to an event.
    void RunEventScripts(uint32_t id);
    int RunEventScriptsAfter(uint32_t id, int result);
};

// The block CQVActor::SendMessageArgs packs into; every send through it
// reuses the buffer, so a handler reads its arguments before sending on.
constexpr size_t MESSAGE_ARG_BUFFER_SIZE = 4096;
extern uint8_t g_MessageArgBuffer[MESSAGE_ARG_BUFFER_SIZE];

// Messages handled by any actor since start-up.
extern uint32_t g_MessageCount;
// The developer gamma switch behind "FastDebug" {mode, red, green, blue};
// installed by the program, which knows the current camera.
extern void (*g_FastDebugApply)(uint32_t mode, uint32_t red, uint32_t green, uint32_t blue);

// Dispatch: the command spies see the message first, then the base case
// runs, then (HandleBaseCase) the actor's scripts bound to the message when
// it is an event.
// Kept in the header so that each class's handler reaches the base case
// with one call.
inline int CQVActor::HandleMessage(uint32_t id, MessageArgs args) {
    ++g_MessageCount;
    // Spies are rare: the common path falls straight through to the base case.
    if (!m_CommandSpies.empty()) [[unlikely]]
        return HandleSpiedMessage(id, args);
    return HandleBaseCase(id, args);
}

// (rand() mod 10000) x 0.0002 - 1, in [-1, 0.9998].
float Random_SignedUnit();
// (rand() mod 10000) x 0.0001, in [0, 0.9999].
float Random_Unit();
