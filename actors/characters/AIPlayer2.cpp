#include "actors/characters/AIPlayer2.h"

#include "actors/characters/SkinObject.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"

#include <iterator>
#include <memory>
#include <utility>

std::vector<std::string> g_AIPlayer2StateNames;

namespace {

constexpr uint32_t kCharacterTypeGuard = 2;
constexpr uint32_t kDirectionBehaviourAI = 2;
constexpr float kSoundNoticeTime = 3.0f;

constexpr const char* kStateNames[AI2_STATE_COUNT] = {
    "Idle",   "GoTo",     "Pre Fight", "Fight", "Follow",       "Scared",  "Hide",
    "Hostage Victim", "Hostage Taker", "Inactive", "Dead", "GoTo Shelter", "Shelter", "",
};

constexpr MessageRow kAIPlayer2Rows[] = {
    SheetRow("AI Player 2 Properties", PROP_TITLE),
    FieldRow<&CQVAIPlayer2::m_GoToGroup>(MSG_SET_AI_PLAYER2_GOTO_GROUP_60A, MSG_GET_AI_PLAYER2_GOTO_GROUP,
                                         "Go To Group:", PROP_GROUP_MASK),
    FieldRow<&CQVAIPlayer2::m_FightGroup>(MSG_SET_AI_PLAYER2_FIGHT_GROUP_607, MSG_GET_AI_PLAYER2_FIGHT_GROUP,
                                          "Fight Group:", PROP_GROUP_MASK),
    SheetRow("Vision Ray Collision Groups:", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer2::m_RayGroup>(MSG_SET_AI_PLAYER2_RAY_GROUP, MSG_GET_AI_PLAYER2_RAY_GROUP, "Group:",
                                        PROP_GROUP_MASK),
    FieldRow<&CQVAIPlayer2::m_RayReceive>(MSG_SET_AI_PLAYER2_RAY_GROUP_RECIVE, MSG_GET_AI_PLAYER2_RAY_GROUP_RECIVE,
                                          "Recive:", PROP_GROUP_MASK),
    FieldRow<&CQVAIPlayer2::m_RayExclude>(MSG_SET_AI_PLAYER2_RAY_GROUP_EXCLUDE,
                                          MSG_GET_AI_PLAYER2_RAY_GROUP_EXCLUDE, "Exclude:", PROP_GROUP_MASK),

    // Pairs without a sheet row.
    FieldRow<&CQVAIPlayer2::m_PreFightTime>(MSG_SET_AI_PLAYER2_PRE_FIGHT_TIME, MSG_GET_AI_PLAYER2_PRE_FIGHT_TIME),
    BoolRow<&CQVAIPlayer2::m_FindShelterEnable>(MSG_SET_AI_PLAYER2_FIND_SHELTER_ENABLE,
                                                MSG_GET_AI_PLAYER2_FIND_SHELTER_ENABLE),
    FieldRow<&CQVAIPlayer2::m_FindShelterRadius>(MSG_SET_AI_PLAYER2_FIND_SHELTER_RADIUS,
                                                 MSG_GET_AI_PLAYER2_FIND_SHELTER_RADIUS),
    FieldRow<&CQVAIPlayer2::m_IdleMotion>(MSG_SET_AI_PLAYER2_IDLE_MOTION, 0),
};

// What a copy takes besides the fields the rows bind; the links are set by hand.
constexpr MessageTable kAIPlayer2Messages{
    kAIPlayer2Rows,
    CopiedFields<&CQVAIPlayer2::m_State, &CQVAIPlayer2::m_PreviousState, &CQVAIPlayer2::m_AimLayers,
                 &CQVAIPlayer2::m_OwnPosition, &CQVAIPlayer2::m_BodyNeutral, &CQVAIPlayer2::m_HeadTilt,
                 &CQVAIPlayer2::m_HeadTurn, &CQVAIPlayer2::m_HeadRoll, &CQVAIPlayer2::m_SeenId,
                 &CQVAIPlayer2::m_HeardId, &CQVAIPlayer2::m_AimPitch, &CQVAIPlayer2::m_AimYaw,
                 &CQVAIPlayer2::m_TimeInState, &CQVAIPlayer2::m_AimError, &CQVAIPlayer2::m_RunFlag,
                 &CQVAIPlayer2::m_TargetDistance, &CQVAIPlayer2::m_TargetPosition,
                 &CQVAIPlayer2::m_TargetVisionPoint, &CQVAIPlayer2::m_TargetCenterPoint,
                 &CQVAIPlayer2::m_VisibleTime, &CQVAIPlayer2::m_HiddenTime, &CQVAIPlayer2::m_SightTimer,
                 &CQVAIPlayer2::m_SwitchTimer, &CQVAIPlayer2::m_WantedMotion, &CQVAIPlayer2::m_Trail,
                 &CQVAIPlayer2::m_TrailTimer, &CQVAIPlayer2::m_TrailPeriod, &CQVAIPlayer2::m_TrailSpacing,
                 &CQVAIPlayer2::m_Tracking, &CQVAIPlayer2::m_ScanTimer, &CQVAIPlayer2::m_SoundFlag,
                 &CQVAIPlayer2::m_SoundPosition, &CQVAIPlayer2::m_SoundSource, &CQVAIPlayer2::m_SoundTime,
                 &CQVAIPlayer2::m_Helpers, &CQVAIPlayer2::m_ShelterHelper, &CQVAIPlayer2::m_ShelterPoint,
                 &CQVAIPlayer2::m_AvoidDirection, &CQVAIPlayer2::m_AvoidFlag, &CQVAIPlayer2::m_AvoidTime,
                 &CQVAIPlayer2::m_AttackFlag, &CQVAIPlayer2::m_GlanceTimer>()};

// The actor spies on the target unless it does already: a second entry
// would hand it every message twice.
void AddSpy(CQVActor* target, CQVActor* spy) {
    for (const std::unique_ptr<ActorLink>& link : target->m_CommandSpies) {
        if (link && link->target == spy) return;
    }
    const uint32_t id = spy->m_Id;
    target->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&id));
}

}  // namespace

CQVAIPlayer2::CQVAIPlayer2() {
    m_ClassType = CLASS_AI_PLAYER_2;
    SetLinkOwners();
}

CQVAIPlayer2::~CQVAIPlayer2() {
    m_Trail.clear();
    m_Helpers.clear();
    m_AimLayers.clear();
}

void CQVAIPlayer2::SetLinkOwners() {
    for (ActorLink* link : {&m_BodyLink, &m_SkinLink, &m_VisionLink, &m_HearingLink, &m_GoToLink, &m_TargetLink,
                            &m_NewEnemyLink})
        link->SetOwner(this);
}

CQVActor* CQVAIPlayer2::ById(uint32_t id) {
    return id == ACTOR_ID_NONE ? nullptr : CQVActorSystem::GetActorById(id);
}

CQVSkinObject* CQVAIPlayer2::Skin() const {
    CQVActor* skin = m_SkinLink.target;
    return skin && skin->m_ClassType == CLASS_SKINOBJECT ? static_cast<CQVSkinObject*>(skin) : nullptr;
}

Bone* CQVAIPlayer2::HeadBone() const {
    // Looked up each time: the skin may have changed its mesh, and with it its skeleton.
    // Asked of the skin, which makes its skeleton when it has none yet.
    CQVSkinObject* skin = Skin();
    if (skin == nullptr) return nullptr;
    struct {
        const char* name;
        Bone* bone;
    } query{"Head", nullptr};
    skin->HandleMessage(MSG_GET_BONE, Args_Of(&query));
    return query.bone;
}

void CQVAIPlayer2::TellBody(uint32_t id, float value) const {
    if (CQVActor* body = Body()) body->SendValue(id, value);
}

void CQVAIPlayer2::TellBodyMotion(const char* name) const {
    if (CQVActor* body = Body()) body->HandleMessage(MSG_SET_MOTION, Args_Of(name));
}

void CQVAIPlayer2::TellSkin(uint32_t id, uint32_t word) const {
    if (CQVSkinObject* skin = Skin()) skin->SendValue(id, word);
}

void CQVAIPlayer2::TellSkinReal(uint32_t id, float value) const {
    if (CQVSkinObject* skin = Skin()) skin->SendValue(id, value);
}

void CQVAIPlayer2::SetAimLayerBlend(float value) {
    for (const AimLayerEntry& entry : m_AimLayers) {
        TellSkin(MSG_SET_CURRENT_LAYER, entry.layer);
        TellSkinReal(MSG_SET_LAYER_BLEND_VALUE, value);
    }
    TellSkin(MSG_SET_CURRENT_LAYER, 0);
}

void CQVAIPlayer2::StopAttack() {
    SendSelf(MSG_ON_AI_PLAYER2_STOP_ATTACK);
    m_AttackFlag = 0;
}

// ---------------------------------------------------------------------------
// States

void CQVAIPlayer2::SetState(uint32_t state) {
    if (state == m_State) return;
    const uint32_t old = m_State;
    m_PreviousState = old;
    m_State = state;
    m_TimeInState = 0.0f;
    m_Tracking = 0;
    m_Trail.clear();
    m_VisibleTime = 0.0f;
    m_HiddenTime = 0.0f;
    m_HeardId = ACTOR_ID_NONE;
    LeaveState(old);
    EnterState(state);
}

void CQVAIPlayer2::LeaveState(uint32_t old) {
    switch (old) {
    case AI2_STATE_IDLE: SendSelf(MSG_ON_AI_PLAYER2_STOP_IDLE); break;
    case AI2_STATE_GOTO: SendSelf(MSG_ON_AI_PLAYER2_STOP_GOTO); break;
    case AI2_STATE_PRE_FIGHT: SendSelf(MSG_ON_AI_PLAYER2_STOP_PRE_FIGHT); break;
    case AI2_STATE_FIGHT:
        SendSelf(MSG_ON_AI_PLAYER2_STOP_FIGHT);
        StopAttack();
        break;
    case AI2_STATE_FOLLOW: SendSelf(MSG_ON_AI_PLAYER2_STOP_FOLLOW); break;
    case AI2_STATE_HIDE: SendSelf(MSG_ON_AI_PLAYER2_STOP_HIDE); break;
    case AI2_STATE_HOSTAGE_VICTIM: SendSelf(MSG_ON_AI_PLAYER2_STOP_HOSTAGE_VICTIM); break;
    case AI2_STATE_HOSTAGE_TAKER: SendSelf(MSG_ON_AI_PLAYER2_STOP_HOSTAGE_TAKER); break;
    case AI2_STATE_INACTIVE:
        SendSelf(MSG_ON_AI_PLAYER2_STOP_INACTIVE);
        SetAimLayerBlend(1.0f);
        break;
    case AI2_STATE_DEAD: SendSelf(MSG_ON_AI_PLAYER2_STOP_DEAD); break;
    case AI2_STATE_GOTO_SHELTER: SendSelf(MSG_ON_AI_PLAYER2_STOP_GOTO_SHELTER); break;
    case AI2_STATE_SHELTER: SendSelf(MSG_ON_AI_PLAYER2_STOP_SHELTER); break;
    case AI2_STATE_RELEASE: SendSelf(MSG_ON_AI_PLAYER2_STOP_RELEASE); break;
    default: break;
    }
}

void CQVAIPlayer2::EnterState(uint32_t state) {
    switch (state) {
    case AI2_STATE_IDLE:
        m_WantedMotion = "N_Neutral";
        SendSelf(MSG_ON_AI_PLAYER2_START_IDLE);
        break;
    case AI2_STATE_GOTO:
        SendSelf(MSG_ON_AI_PLAYER2_START_GOTO);
        m_WantedMotion.clear();
        break;
    case AI2_STATE_PRE_FIGHT: SendSelf(MSG_ON_AI_PLAYER2_START_PRE_FIGHT); break;
    case AI2_STATE_FIGHT:
        m_NewEnemyLink.Unlink();
        m_GlanceTimer = 0.0f;
        SendSelf(MSG_ON_AI_PLAYER2_START_FIGHT);
        TellBodyMotion("M_Forward");
        m_WantedMotion = "M_Forward";
        m_Tracking = 1;
        break;
    case AI2_STATE_FOLLOW:
        SendSelf(MSG_ON_AI_PLAYER2_START_FOLLOW);
        TellBodyMotion("N_Forward");
        m_WantedMotion = "N_Forward";
        m_Tracking = 1;
        break;
    case AI2_STATE_HIDE:
        SendSelf(MSG_ON_AI_PLAYER2_START_HIDE);
        m_WantedMotion = "C_Neutral";
        break;
    case AI2_STATE_HOSTAGE_VICTIM: SendSelf(MSG_ON_AI_PLAYER2_START_HOSTAGE_VICTIM); break;
    case AI2_STATE_HOSTAGE_TAKER: SendSelf(MSG_ON_AI_PLAYER2_START_HOSTAGE_TAKER); break;
    case AI2_STATE_INACTIVE:
        SendSelf(MSG_ON_AI_PLAYER2_START_INACTIVE);
        SetAimLayerBlend(0.0f);
        break;
    case AI2_STATE_DEAD:
        SendSelf(MSG_ON_AI_PLAYER2_START_DEAD);
        SetAimLayerBlend(0.0f);
        break;
    case AI2_STATE_GOTO_SHELTER: SendSelf(MSG_ON_AI_PLAYER2_START_GOTO_SHELTER); break;
    case AI2_STATE_SHELTER: SendSelf(MSG_ON_AI_PLAYER2_START_SHELTER); break;
    case AI2_STATE_RELEASE:
        SendSelf(MSG_ON_AI_PLAYER2_START_RELEASE);
        m_WantedMotion.clear();
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// The per-frame step

void CQVAIPlayer2::Process() {
    if (!IsOperational()) return;
    RefreshClock(this);
    const float dt = m_Clock->dt;
    m_FrameDt = dt;
    if (CQVActor* body = Body()) {
        if (body->AskValue<float>(MSG_GET_HEALTH, 0.0f) <= 0.0f && m_State != AI2_STATE_DEAD)
            SetState(AI2_STATE_DEAD);
    }
    if (CQVActor* body = Body()) {
        m_OwnPosition = body->GetWorldPosition();
        m_BodyNeutral = AskNeutral() ? 1 : 0;
    }
    TargetUpkeep(dt);
    NewEnemyUpkeep(dt);
    m_TimeInState += dt;
    switch (m_State) {
    case AI2_STATE_IDLE: StepIdle(dt); break;
    case AI2_STATE_GOTO: StepGoTo(dt); break;
    case AI2_STATE_PRE_FIGHT: StepPreFight(); break;
    case AI2_STATE_FIGHT: StepFight(dt); break;
    case AI2_STATE_FOLLOW: StepFollow(dt); break;
    case AI2_STATE_HIDE: StepHide(dt); break;
    case AI2_STATE_HOSTAGE_VICTIM: StepHostageVictim(); break;
    case AI2_STATE_GOTO_SHELTER: StepGoToShelter(); break;
    case AI2_STATE_SHELTER: StepShelter(); break;
    default: break;
    }
    if (m_State != AI2_STATE_INACTIVE && m_State != AI2_STATE_DEAD) {
        ApplyAimLayersAndHead();
        TrailUpkeep(dt);
        m_SeenId = ACTOR_ID_NONE;
        m_HeardId = ACTOR_ID_NONE;
        m_SoundTime -= dt;
        if (m_SoundTime < 0.0f) m_SoundFlag = 0;
        AvoidanceExpiry(dt);
    }
    CQVActor::Process();
}

// ---------------------------------------------------------------------------
// Set-up

int CQVAIPlayer2::Precalculate() {
    CQVActor* body = m_Parent;
    if (body == nullptr) return ROW_PASS_ON;
    body->SendValue<uint32_t>(MSG_SET_MASTER, 1);
    body->SendValue(MSG_SET_HOLD_TIME, 0.0f);
    body->SendValue(MSG_SET_DIRECTION_BEHAVIOUR, kDirectionBehaviourAI);
    body->SendValue(MSG_SET_CHARACTER_TYPE, kCharacterTypeGuard);
    m_BodyLink.SetTarget(body);
    AddSpy(body, this);
    CQVActor* skin = FindDescendantByClass(body, CLASS_SKINOBJECT);
    m_SkinLink.SetTarget(skin);
    if (skin == nullptr) return ROW_PASS_ON;
    m_AimLayers.assign(2, AimLayerEntry{});
    m_AimLayers[0].layer = 2;
    m_AimLayers[1].layer = 3;
    m_VisionLink.SetTarget(FindDescendantByName(body, "Vision"));
    m_HearingLink.SetTarget(FindDescendantByName(body, "Hearing"));
    for (ActorLink* sensor : {&m_VisionLink, &m_HearingLink}) {
        if (sensor->target) AddSpy(sensor->target, this);
    }
    ScheduleProcess();
    return ROW_PASS_ON;
}

void CQVAIPlayer2::CopyAIPlayer2(const CQVAIPlayer2& source) {
    if (&source == this) return;
    kAIPlayer2Messages.Copy(*this, source);
    const std::pair<ActorLink*, const ActorLink*> links[] = {
        {&m_BodyLink, &source.m_BodyLink},       {&m_SkinLink, &source.m_SkinLink},
        {&m_VisionLink, &source.m_VisionLink},   {&m_HearingLink, &source.m_HearingLink},
        {&m_GoToLink, &source.m_GoToLink},       {&m_TargetLink, &source.m_TargetLink},
        {&m_NewEnemyLink, &source.m_NewEnemyLink},
    };
    for (const auto& [to, from] : links) {
        *to = *from;
        to->SetOwner(this);
    }
}

// ---------------------------------------------------------------------------
// Messages

void CQVAIPlayer2::SetGroupBit(uint32_t* mask, MessageArgs args) {
    const uint32_t group = Args_Get<uint32_t>(args);
    const bool on = Args_Get<uint32_t>(args, 4) != 0;
    // Groups are numbered 1 to 32.
    if (group < 1 || group > 32) return;
    const uint32_t bit = 1u << (group - 1);
    *mask = on ? (*mask | bit) : (*mask & ~bit);
}

void CQVAIPlayer2::GoToActor(uint32_t id, MessageArgs args, uint32_t run) {
    if (m_State != AI2_STATE_IDLE && m_State != AI2_STATE_GOTO) return;
    m_GoToLink.SetTarget(Args_Pointer<CQVActor>(id, args));
    m_RunFlag = run;
    const uint32_t group = Args_Get<uint32_t>(args, sizeof(CQVActor*));
    // Group numbers run from 1 to 32: any other obeys no group.
    const bool obeys = group >= 1 && group <= 32 && (m_GoToGroup & (1u << (group - 1))) != 0;
    if (m_GoToLink.target && m_GoToGroup != 0 && obeys) SetState(AI2_STATE_GOTO);
}

void CQVAIPlayer2::VoiceCommand(uint32_t id, MessageArgs args) {
    CQVActor* speaker = Args_Pointer<CQVActor>(id, args);
    switch (Args_Get<uint32_t>(args, sizeof(CQVActor*))) {
    case 0:
        SetState(AI2_STATE_IDLE);
        break;
    case 1:
        SetState(AI2_STATE_FOLLOW);
        m_TargetLink.SetTarget(speaker);
        break;
    case 3:
        if (FindShelter(m_TargetPosition, m_FindShelterRadius)) {
            SetState(AI2_STATE_GOTO_SHELTER);
        } else {
            SetState(AI2_STATE_HIDE);
            m_TargetLink.Unlink();
        }
        break;
    default:
        break;
    }
}

void CQVAIPlayer2::SoundNotify(uint32_t id, MessageArgs args) {
    CQVActor* source = Args_Pointer<CQVActor>(id, args);
    if (source == nullptr || source == Body()) return;
    m_SoundPosition = source->GetWorldPosition();
    m_SoundSource = source->m_Name;
    m_SoundFlag = 1;
    m_SoundTime = kSoundNoticeTime;
    SendSelf(MSG_ON_AI_PLAYER2_SOUND_NOTIFY);
}

void CQVAIPlayer2::TargetCommand(uint32_t id, MessageArgs args) {
    CQVActor* target = Args_Pointer<CQVActor>(id, args);
    if (target == nullptr) return;
    m_TargetLink.SetTarget(target);
    switch (id) {
    case MSG_SET_AI_PLAYER2_STATE_FOLLOW: SetState(AI2_STATE_FOLLOW); break;
    case MSG_SET_AI_PLAYER2_STATE_PRE_FIGHT:
        SetState(m_PreFightTime <= 0.0f ? AI2_STATE_FIGHT : AI2_STATE_PRE_FIGHT);
        break;
    default: SetState(AI2_STATE_FIGHT); break;
    }
}

int CQVAIPlayer2::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kAIPlayer2Messages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_COMMAND_SPY: {
        const auto* block = Args_Pointer<const MessageArgs>(id, args, 4);
        CQVActor* from = Args_Pointer<CQVActor>(id, args, 4 + sizeof(void*));
        if (block == nullptr || from == nullptr) break;
        if (from == Body()) {
            OnBodyMessage(Args_Get<uint32_t>(args), *block);
        } else {
            OnSensorMessage(Args_Get<uint32_t>(args), *block, from);
        }
        break;
    }
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY:
        SetLinkOwners();
        break;
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_CREATE: {
        // The base copies its own fields first, then the controller's.
        const int result = CQVActor::HandleMessage(id, args);
        if (auto* source = dynamic_cast<CQVAIPlayer2*>(Args_Pointer<CQVActor>(id, args))) CopyAIPlayer2(*source);
        return result;
    }
    case MSG_AI_PLAYER2_GO_TO_ACTOR:
    case MSG_AI_PLAYER2_RUN_TO_ACTOR:
        GoToActor(id, args, id == MSG_AI_PLAYER2_RUN_TO_ACTOR ? 1 : 0);
        break;
    case MSG_AI_PLAYER2_VOICE_COMMAND:
        VoiceCommand(id, args);
        break;
    case MSG_AI_PLAYER2_SOUND_NOTIFY:
        SoundNotify(id, args);
        break;
    case MSG_SET_AI_PLAYER2_FIGHT_GROUP_609:
        SetGroupBit(&m_FightGroup, args);
        break;
    case MSG_SET_AI_PLAYER2_GOTO_GROUP_60C:
        SetGroupBit(&m_GoToGroup, args);
        break;
    case MSG_SET_AI_PLAYER2_STATE_IDLE:
        SetState(AI2_STATE_IDLE);
        break;
    case MSG_SET_AI_PLAYER2_STATE_SCARED:
        SetState(AI2_STATE_SCARED);
        break;
    case MSG_SET_AI_PLAYER2_STATE_RELEASE:
        SetState(AI2_STATE_RELEASE);
        break;
    case MSG_SET_AI_PLAYER2_STATE_INACTIVE:
        SetState(AI2_STATE_INACTIVE);
        break;
    case MSG_SET_AI_PLAYER2_STATE_HIDE:
        SetState(AI2_STATE_HIDE);
        break;
    case MSG_SET_AI_PLAYER2_STATE_FOLLOW:
    case MSG_SET_AI_PLAYER2_STATE_PRE_FIGHT:
    case MSG_SET_AI_PLAYER2_STATE_FIGHT:
        TargetCommand(id, args);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Actor files

int CQVAIPlayer2::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version >= 1) {
        WordBlock block;
        block.Word(&m_GoToGroup);
        block.Word(&m_FightGroup);
        block.Word(&m_PreFightTime);
        block.Reserved();
        block.Transfer(archive);
    }
    if (version >= 69) {
        WordBlock block;
        block.Word(&m_RayGroup);
        block.Word(&m_RayReceive);
        block.Word(&m_RayExclude);
        for (int i = 0; i < 3; ++i) block.Reserved();
        block.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVAIPlayer2::RegisterProperties() {
    g_AIPlayer2StateNames.assign(std::begin(kStateNames), std::end(kStateNames));
    ClassRecord& record = g_ClassRecords[CLASS_AI_PLAYER_2];
    record.Define("AI Player 2", "Do Not Use This!!!", {CLASS_BASE, CLASS_AI_PLAYER_2});
    kAIPlayer2Messages.AddSheet(record);
}
