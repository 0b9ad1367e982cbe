#include "actors/characters/AIPlayer.h"

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
#include "kernel/base/FrameTime.h"

#include <cstdio>

namespace {

// The motions by AIMotion, and whether the body stands while one plays.
struct AIMotionEntry {
    const char* name;
    bool standing;
};
constexpr AIMotionEntry kAIMotions[AI_MOTION_COUNT] = {
    {"R_Forward", false},  {"R_Forward1", false}, {"N_Neutral", true}, {"N_Forward", false},
    {"N_Guarding", true},  {"N_Exhausted", true}, {"N_Dead", true},    {"M_Neutral", true},
    {"M_Forward", false},  {"M_Attack0", false},
};

constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t PROCESS_CHANNEL = 2;

constexpr float kTrailPeriod = 0.2f;
constexpr float kTrailMinStep = 20.0f;      // a sample nearer the newest point is not kept
constexpr float kTrailLoopCut = 100.0f;     // a leader back this near an older point skipped its loop
constexpr uint32_t kTrailLoopCheckCount = 8;
constexpr uint32_t kTrailLoopSpared = 4;    // the newest points are never taken for a loop's start
constexpr float kScaredTime = 2.0f;
constexpr float kHiddenHurt = 100000.0f;

constexpr const char* kTypeList = "Type:|Normal|0|Static|1|";
constexpr const char* kStartFollowList =
    "Start Follow:|On Action|0|On Follow Distance|1|On Hearing And Vision|2|";
constexpr const char* kGethitList =
    "Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit 6|7|Gethit 7|8|"
    "Gethit 8|9|Gethit 9|10|";
constexpr const char* kDamageList =
    "Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage 6|7|Damage 7|8|"
    "Damage 8|9|Damage 9|10|";
constexpr const char* kEffectList =
    "Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|Vision|7|Fov|8|"
    "Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|Unused|14|";
constexpr const char* kDeathList = "Type:|Non|0|Delete|1|Spawn Random|2|Spawn On Place|3|";

constexpr MessageRow kAIPlayerRows[] = {
    SheetRow("AI Player Properties", PROP_TITLE),
    SheetRow("Set AI Type.", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer::m_AIType>(MSG_SET_AI_PLAYER_TYPE, MSG_GET_AI_PLAYER_TYPE, kTypeList, PROP_CHOICE),
    BoolRow<&CQVAIPlayer::m_CanOpenDoor>(MSG_SET_AI_PLAYER_CAN_OPEN_DOOR, MSG_GET_AI_PLAYER_CAN_OPEN_DOOR,
                                         "Can Open Door:", PROP_CHECK),
    BoolRow<&CQVAIPlayer::m_NeverRunInFight>(MSG_SET_AI_PLAYER_NEVER_RUN_IN_FIGHT,
                                             MSG_GET_AI_PLAYER_NEVER_RUN_IN_FIGHT, "Never Run In Fight:", PROP_CHECK),
    SheetRow("Delete If Not Drawn:", PROP_SEPARATOR),
    BoolRow<&CQVAIPlayer::m_DeleteIfNotDrawn>(MSG_SET_AI_PLAYER_DELETE_IF_NOT_DRAWN,
                                              MSG_GET_AI_PLAYER_DELETE_IF_NOT_DRAWN, "Use Delete If Not Drawn:",
                                              PROP_CHECK),
    FieldRow<&CQVAIPlayer::m_DeleteDelay>(MSG_SET_AI_PLAYER_DELETE_IF_NOT_DRAWN_TIME,
                                          MSG_GET_AI_PLAYER_DELETE_IF_NOT_DRAWN_TIME, "Delete Delay:", PROP_TIME),
    SheetRow("Not Drawn Event Timer:", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer::m_NotDrawnEventTime>(MSG_SET_AI_PLAYER_NOT_DRAWN_EVENT_TIME,
                                                MSG_GET_AI_PLAYER_NOT_DRAWN_EVENT_TIME, "Time:", PROP_TIME),
    SheetRow("Follow Properties", PROP_TITLE),
    FieldRow<&CQVAIPlayer::m_StartFollowType>(MSG_SET_AI_PLAYER_START_FOLLOW_TYPE,
                                              MSG_GET_AI_PLAYER_START_FOLLOW_TYPE, kStartFollowList, PROP_CHOICE),
    FieldRow<&CQVAIPlayer::m_FollowDistance>(MSG_SET_AI_PLAYER_FOLLOW_DISTANCE, MSG_GET_AI_PLAYER_FOLLOW_DISTANCE,
                                             "Distance:", PROP_REAL),
    FieldRow<&CQVAIPlayer::m_FollowMinTime>(MSG_SET_AI_PLAYER_FOLLOW_MIN_TIME, MSG_GET_AI_PLAYER_FOLLOW_MIN_TIME,
                                            "Min Time:", PROP_TIME),
    FieldRow<&CQVAIPlayer::m_FollowMaxTime>(MSG_SET_AI_PLAYER_FOLLOW_MAX_TIME, MSG_GET_AI_PLAYER_FOLLOW_MAX_TIME,
                                            "Max Time:", PROP_TIME),
    FieldRow<&CQVAIPlayer::m_FollowGroup>(MSG_SET_AI_PLAYER_FOLLOW_GROUP_5B3, MSG_GET_AI_PLAYER_FOLLOW_GROUP,
                                          "Follow Group:", PROP_GROUP_MASK),
    SheetRow("Fight Properties", PROP_TITLE),
    FieldRow<&CQVAIPlayer::m_FightDistance>(MSG_SET_AI_PLAYER_FIGHT_DISTANCE, MSG_GET_AI_PLAYER_FIGHT_DISTANCE,
                                            "Fight Dist:", PROP_REAL),
    FieldRow<&CQVAIPlayer::m_HitDistance>(MSG_SET_AI_PLAYER_FIGHT_HIT_DISTANCE,
                                          MSG_GET_AI_PLAYER_FIGHT_HIT_DISTANCE, "Hit Dist:", PROP_REAL),
    FieldRow<&CQVAIPlayer::m_FightGroup>(MSG_SET_AI_PLAYER_FIGHT_GROUP_5BC, MSG_GET_AI_PLAYER_FIGHT_GROUP,
                                         "Fight Group:", PROP_GROUP_MASK),
    SheetRow("Attack", PROP_PICKER, MSG_SELECT_AI_PLAYER_ATTACK, MSG_AI_PLAYER_ATTACK_NAMES),
    SheetRow("Add Attack|Add|", PROP_BUTTON, MSG_ADD_AI_PLAYER_ATTACK_PARAM),
    SheetRow("Delete Attack|Delete|", PROP_BUTTON, MSG_DELETE_AI_PLAYER_ATTACK_PARAM),
    SheetRow("Attack Param", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer::SelectedAttack, &AttackParam::randWeight>(
        MSG_SET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, MSG_GET_AI_PLAYER_ATTACK_PARAM_RAND_WEIGHT, "Rand", PROP_UINT),
    FieldRow<&CQVAIPlayer::SelectedAttack, &AttackParam::evalDelay>(MSG_SET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY,
                                                                     MSG_GET_AI_PLAYER_ATTACK_PARAM_EVAL_DELAY,
                                                                     "Eval Delay", PROP_TIME),
    FieldRow<&CQVAIPlayer::SelectedAttack, &AttackParam::effectMul>(MSG_SET_AI_PLAYER_ATTACK_PARAM_EFFECT_MUL,
                                                                     MSG_GET_AI_PLAYER_ATTACK_PARAM_EFFECT_MUL,
                                                                     "Eff Mul", PROP_REAL),
    BoolRow<&CQVAIPlayer::m_CanFightInGoTo>(MSG_SET_AI_PLAYER_START_FIGHT_IN_GO_TO_STATE,
                                            MSG_GET_AI_PLAYER_START_FIGHT_IN_GO_TO_STATE, "Can Fight In Go To State:",
                                            PROP_CHECK),
    SheetRow("Hit Effect Properties", PROP_TITLE),
    SheetRow("Character Animation Effect", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer::m_GethitId>(MSG_SET_AI_PLAYER_HIT_GETHIT_ID, MSG_GET_AI_PLAYER_HIT_GETHIT_ID, kGethitList,
                                       PROP_CHOICE),
    FieldRow<&CQVAIPlayer::m_DamageId>(MSG_SET_AI_PLAYER_HIT_DAMAGE_ID, MSG_GET_AI_PLAYER_HIT_DAMAGE_ID, kDamageList,
                                       PROP_CHOICE),
    FieldRow<&CQVAIPlayer::m_HoldTime>(MSG_SET_AI_PLAYER_HIT_HOLD_TIME, MSG_GET_AI_PLAYER_HIT_HOLD_TIME,
                                       "Character Hold Time", PROP_TIME),
    SheetRow("Hit Effect Management", PROP_SEPARATOR),
    SheetRow("Effect", PROP_PICKER, MSG_SELECT_AI_PLAYER_HIT_EFFECT, MSG_AI_PLAYER_HIT_EFFECT_NAMES),
    SheetRow("Add Effect|Add|", PROP_BUTTON, MSG_ADD_AI_PLAYER_HIT_EFFECT),
    SheetRow("Delete Effect|Delete|", PROP_BUTTON, MSG_DELETE_AI_PLAYER_HIT_EFFECT),
    SheetRow("Hit Effect", PROP_SEPARATOR),
    FieldRow<&CQVAIPlayer::SelectedHitEffect, &HitEffect::type>(
        MSG_SET_AI_PLAYER_HIT_EFFECT_TYPE, MSG_GET_AI_PLAYER_HIT_EFFECT_TYPE, kEffectList, PROP_CHOICE),
    FieldRow<&CQVAIPlayer::SelectedHitEffect, &HitEffect::value>(
        MSG_SET_AI_PLAYER_HIT_EFFECT_VALUE, MSG_GET_AI_PLAYER_HIT_EFFECT_VALUE, "Value", PROP_REAL),
    FieldRow<&CQVAIPlayer::SelectedHitEffect, &HitEffect::time>(
        MSG_SET_AI_PLAYER_HIT_EFFECT_TIME, MSG_GET_AI_PLAYER_HIT_EFFECT_TIME, "Time", PROP_TIME),
    SheetRow("Death Properties", PROP_TITLE),
    FieldRow<&CQVAIPlayer::m_DeathType>(MSG_SET_AI_PLAYER_DEATH_TYPE, MSG_GET_AI_PLAYER_DEATH_TYPE, kDeathList,
                                        PROP_CHOICE),
    FieldRow<&CQVAIPlayer::m_DeathDelay>(MSG_SET_AI_PLAYER_DEATH_DELAY, MSG_GET_AI_PLAYER_DEATH_DELAY, "Delay",
                                         PROP_TIME),
    SheetRow("Memory Properties", PROP_TITLE),
    BoolRow<&CQVAIPlayer::m_UseMemory>(MSG_SET_AI_PLAYER_USE_MEMORY, MSG_GET_AI_PLAYER_USE_MEMORY, "Use Memory:",
                                       PROP_CHECK),

    // A pair without a sheet row.
    FieldRow<&CQVAIPlayer::m_TurnSpeed>(MSG_SET_AI_PLAYER_TURN_SPEED, MSG_GET_AI_PLAYER_TURN_SPEED),
};

// What a copy takes besides the fields the rows bind; the links are set by hand.
constexpr MessageTable kAIPlayerMessages{
    kAIPlayerRows,
    CopiedFields<&CQVAIPlayer::m_StationaryMotion, &CQVAIPlayer::m_LoopMotion, &CQVAIPlayer::m_State,
                 &CQVAIPlayer::m_PreviousState, &CQVAIPlayer::m_TimeInState, &CQVAIPlayer::m_InitialHealth,
                 &CQVAIPlayer::m_Drawn, &CQVAIPlayer::m_SteerYaw, &CQVAIPlayer::m_Cooldown,
                 &CQVAIPlayer::m_AttackEvalTimer, &CQVAIPlayer::m_SpawnNotify, &CQVAIPlayer::m_HeightTimer,
                 &CQVAIPlayer::m_StuckAnchor, &CQVAIPlayer::m_StuckTimer, &CQVAIPlayer::m_NotDrawnTimer,
                 &CQVAIPlayer::m_Trail, &CQVAIPlayer::m_TrailAccumulator, &CQVAIPlayer::m_TrailPeriod,
                 &CQVAIPlayer::m_TrailMaxCount, &CQVAIPlayer::m_TrailLeader, &CQVAIPlayer::m_FollowTrail,
                 &CQVAIPlayer::m_RouteConnector, &CQVAIPlayer::m_NodeList, &CQVAIPlayer::m_NodeIndex,
                 &CQVAIPlayer::m_NodeStep, &CQVAIPlayer::m_CanJump, &CQVAIPlayer::m_GoToPoints,
                 &CQVAIPlayer::m_GoToMotion, &CQVAIPlayer::m_SightTick, &CQVAIPlayer::m_LostTime,
                 &CQVAIPlayer::m_SeenTime, &CQVAIPlayer::m_Seen, &CQVAIPlayer::m_ScareTimer,
                 &CQVAIPlayer::m_RouteMemories, &CQVAIPlayer::m_RouteIndex, &CQVAIPlayer::m_TimeSinceTarget,
                 &CQVAIPlayer::m_Attacks, &CQVAIPlayer::m_SelectedAttack, &CQVAIPlayer::m_AttackTickets,
                 &CQVAIPlayer::m_HitEffects, &CQVAIPlayer::m_SelectedHitEffect>()};

// The texts of the sheet's row pickers: one list for the program's run,
// copied out to the sheet.
std::vector<std::string>& SharedRowTexts() {
    static std::vector<std::string> texts;
    return texts;
}

std::string RowText(bool attacks, size_t index) {
    char text[32];
    std::snprintf(text, sizeof text, attacks ? "Attack%zu" : "Hit Effect %zu", index);
    return text;
}

template <typename T>
T* RowAt(std::vector<T>& rows, int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < rows.size() ? &rows[static_cast<size_t>(index)] : nullptr;
}

// A new row with the defaults, chosen.
template <typename T>
void AddRow(std::vector<T>& rows, int32_t* selected) {
    rows.push_back(T{});
    *selected = static_cast<int32_t>(rows.size()) - 1;
}

// The chosen row goes, when there is one; nothing is chosen afterwards.
template <typename T>
void DeleteRow(std::vector<T>& rows, int32_t* selected) {
    if (RowAt(rows, *selected)) rows.erase(rows.begin() + *selected);
    *selected = -1;
}

}  // namespace

CQVAIPlayer::CQVAIPlayer() {
    m_ClassType = CLASS_AI_PLAYER;
    SetLinkOwners();
}

CQVAIPlayer::~CQVAIPlayer() {
    m_Trail.clear();
    m_TargetLink.Unlink();
}

void CQVAIPlayer::SetLinkOwners() {
    m_CharacterLink.SetOwner(this);
    m_TargetLink.SetOwner(this);
}

CQVCharacter* CQVAIPlayer::Character() const {
    CQVActor* body = m_CharacterLink.target;
    return body && body->m_ClassType == CLASS_CHARACTER ? static_cast<CQVCharacter*>(body) : nullptr;
}

AttackParam* CQVAIPlayer::SelectedAttack() { return RowAt(m_Attacks, m_SelectedAttack); }

HitEffect* CQVAIPlayer::SelectedHitEffect() { return RowAt(m_HitEffects, m_SelectedHitEffect); }

void CQVAIPlayer::Tell(uint32_t id) const {
    if (CQVCharacter* character = Character()) character->HandleMessage(id, nullptr);
}

void CQVAIPlayer::TellReal(uint32_t id, float value) const {
    if (CQVCharacter* character = Character()) character->HandleMessage(id, Args_Of(&value));
}

void CQVAIPlayer::TellText(uint32_t id, const char* text) const {
    if (CQVCharacter* character = Character()) character->HandleMessage(id, Args_Of(text));
}

// ---------------------------------------------------------------------------
// States

void CQVAIPlayer::SetCharacterMotion(uint32_t motion) {
    CQVCharacter* character = Character();
    if (character == nullptr || motion >= AI_MOTION_COUNT) return;
    m_StationaryMotion = 0;
    character->HandleMessage(MSG_SET_MOTION, Args_Of(kAIMotions[motion].name));
    if (kAIMotions[motion].standing) m_StationaryMotion = 1;
}

void CQVAIPlayer::StartTrail(CQVActor* leader, float period) {
    m_Trail.clear();
    m_TrailLeader = leader ? leader->m_Id : ACTOR_ID_NONE;
    m_TrailPeriod = period;
    m_TrailAccumulator = 0.0f;
}

void CQVAIPlayer::StopTrail() {
    m_TrailPeriod = 0.0f;
    m_TrailAccumulator = 0.0f;
    m_TrailLeader = ACTOR_ID_NONE;
}

void CQVAIPlayer::SetState(int32_t state) {
    if (state == m_State) return;
    const int32_t old = m_State;
    m_PreviousState = old;
    m_State = state;
    m_TimeInState = 0.0f;
    ExitState(old, state);
    EnterState(state);
}

void CQVAIPlayer::ExitState(int32_t old, int32_t next) {
    switch (old) {
    case AI_STATE_IDLE:
        SendSelf(MSG_ON_AI_PLAYER_STOP_IDLE);
        if (next == AI_STATE_FOLLOW) SendSelf(MSG_ON_AI_PLAYER_IDLE_TO_FOLLOW);
        break;
    case AI_STATE_FIGHT:
        StopTrail();
        m_FollowTrail = 0;
        SendSelf(MSG_ON_AI_PLAYER_STOP_FIGHT);
        m_TimeSinceTarget = 0.0f;
        break;
    case AI_STATE_FOLLOW:
        StopTrail();
        m_FollowTrail = 0;
        SendSelf(MSG_ON_AI_PLAYER_STOP_FOLLOW);
        if (next == AI_STATE_IDLE) SendSelf(MSG_ON_AI_PLAYER_FOLLOW_TO_IDLE);
        if (next == AI_STATE_SCARED) SendSelf(MSG_ON_AI_PLAYER_FOLLOW_TO_SCARED);
        if (next == AI_STATE_FIGHT) SendSelf(MSG_ON_AI_PLAYER_FOLLOW_TO_FIGHT);
        m_TimeSinceTarget = 0.0f;
        break;
    case AI_STATE_DEAD:
        SendSelf(MSG_ON_AI_PLAYER_STOP_DEAD);
        break;
    case AI_STATE_GO_TO:
        m_GoToPoints.clear();
        break;
    case AI_STATE_SCARED:
        SendSelf(MSG_ON_AI_PLAYER_STOP_SCARED);
        if (next == AI_STATE_IDLE) SendSelf(MSG_ON_AI_PLAYER_SCARED_TO_IDLE);
        if (next == AI_STATE_FOLLOW) SendSelf(MSG_ON_AI_PLAYER_SCARED_TO_FOLLOW);
        break;
    default:
        break;
    }
}

void CQVAIPlayer::EnterState(int32_t state) {
    switch (state) {
    case AI_STATE_IDLE:
        SetCharacterMotion(AI_MOTION_NEUTRAL);
        m_LoopMotion = AI_MOTION_NEUTRAL;
        SendSelf(MSG_ON_AI_PLAYER_START_IDLE);
        break;
    case AI_STATE_FIGHT:
        SendSelf(MSG_ON_AI_PLAYER_START_FIGHT);
        if (m_AIType == AI_TYPE_NORMAL) {
            StartTrail(Target(), kTrailPeriod);
            m_FollowTrail = 1;
            FindHelperForTarget(Target());
        }
        SetCharacterMotion(AI_MOTION_ATTACK);
        m_Seen = 1;
        ChooseFightMove();
        break;
    case AI_STATE_FOLLOW:
        StartTrail(Target(), kTrailPeriod);
        m_FollowTrail = 1;
        SendSelf(MSG_ON_AI_PLAYER_START_FOLLOW);
        break;
    case AI_STATE_DEAD:
        SendSelf(MSG_ON_AI_PLAYER_START_DEAD);
        break;
    case AI_STATE_GO_TO:
        StopTrail();
        m_FollowTrail = 0;
        break;
    case AI_STATE_SCARED:
        SendSelf(MSG_ON_AI_PLAYER_START_SCARED);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// The per-frame step

void CQVAIPlayer::Process() {
    if (!IsOperational()) return;
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    const float dt = clock->dt;
    m_FrameDt = dt;
    CQVCharacter* character = Character();
    if (character && character->m_Health <= 0.0f && m_State != AI_STATE_DEAD) SetState(AI_STATE_DEAD);
    if (character && character->IsSuspended() && m_State != AI_STATE_DEAD) return;
    m_TimeInState += dt;
    m_TimeSinceTarget += dt;
    m_Cooldown -= dt;
    bool stop = false;
    NotDrawnStep(dt, &stop);
    if (stop) return;
    RecordTrail(dt);
    switch (m_State) {
    case AI_STATE_IDLE:
        IdleStep();
        break;
    case AI_STATE_CONNECTOR:
        ConnectorStep();
        break;
    case AI_STATE_FIGHT:
        FightStep();
        break;
    case AI_STATE_FOLLOW:
        FollowStep();
        break;
    case AI_STATE_DEAD:
        DeadStep();
        break;
    case AI_STATE_GO_TO:
        GoToStep();
        break;
    case AI_STATE_SCARED:
        ScaredStep();
        break;
    default:
        break;
    }
    CQVActor::Process();
}

void CQVAIPlayer::NotDrawnStep(float dt, bool* stop) {
    if (m_Drawn) return;
    m_NotDrawnTimer += dt;
    if (m_DeleteIfNotDrawn && m_NotDrawnTimer > m_DeleteDelay) {
        m_NotDrawnTimer = 0.0f;
        m_DeleteIfNotDrawn = 0;
        SetState(AI_STATE_REMOVED);
        TellReal(MSG_HURT, kHiddenHurt);
        *stop = true;
    } else if (m_NotDrawnEventTime != 0.0f && m_NotDrawnTimer > m_NotDrawnEventTime) {
        m_NotDrawnTimer = 0.0f;
        SendSelf(MSG_ON_AI_PLAYER_NOT_DRAWN_TIMER);
    }
}

void CQVAIPlayer::RecordTrail(float dt) {
    if (m_TrailLeader == ACTOR_ID_NONE || m_TrailMaxCount == 0) return;
    m_TrailAccumulator += dt;
    if (m_TrailAccumulator <= m_TrailPeriod) return;
    CQVActor* leader = CQVActorSystem::GetActorById(m_TrailLeader);
    if (leader == nullptr) {
        // The leader is gone: nothing more to record.
        StopTrail();
        return;
    }
    const Vector3 p = leader->GetWorldPosition();
    if (m_Trail.empty()) {
        m_Trail.push_back(p);
    } else if (Vec3_Length(p - m_Trail.back()) > kTrailMinStep) {
        m_Trail.push_back(p);
        if (m_Trail.size() > kTrailLoopCheckCount) {
            const size_t searched = m_Trail.size() - kTrailLoopSpared;
            for (size_t i = 0; i < searched; ++i) {
                if (Vec3_Length(m_Trail[i] - p) < kTrailLoopCut) {
                    m_Trail.resize(i);
                    break;
                }
            }
        }
    }
    if (m_Trail.size() > m_TrailMaxCount) m_Trail.pop_front();
    m_TrailAccumulator -= m_TrailPeriod;
}

void CQVAIPlayer::IdleStep() {
    Tell(MSG_CC_RACTION1_STOP);
    Tell(MSG_CC_RACTION2_STOP);
    m_LoopMotion = AI_MOTION_NEUTRAL;
}

void CQVAIPlayer::ScaredStep() {
    if (m_TimeInState > kScaredTime) SetState(AI_STATE_IDLE);
    m_LoopMotion = AI_MOTION_NEUTRAL;
}

void CQVAIPlayer::DeadStep() {
    Tell(MSG_CC_RACTION1_STOP);
    Tell(MSG_CC_RACTION2_STOP);
    if (m_TimeInState <= m_DeathDelay || m_Drawn) return;
    switch (m_DeathType) {
    case AI_DEATH_DELETE:
        SetState(AI_STATE_REMOVED);
        Tell(MSG_KILL);
        break;
    case AI_DEATH_SPAWN_RANDOM:
    case AI_DEATH_SPAWN_ON_PLACE: {
        TellReal(MSG_SET_HEALTH, m_InitialHealth);
        const uint32_t off = 0;
        if (CQVCharacter* character = Character()) character->HandleMessage(MSG_SET_DEAD_LOCK, Args_Of(&off));
        SetState(AI_STATE_IDLE);
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Set-up

int CQVAIPlayer::Precalculate() {
    if (m_Parent && m_Parent->m_ClassType == CLASS_CHARACTER) {
        auto* character = static_cast<CQVCharacter*>(m_Parent);
        m_CharacterLink.SetTarget(character);
        character->HandleMessage(MSG_REMOVE_ALL_COMMANDSPY, nullptr);
        const uint32_t self = m_Id;
        character->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&self));
        character->m_ControllerId = m_Id;
        const uint32_t on = 1;
        character->HandleMessage(MSG_SET_MASTER, Args_Of(&on));
        TellReal(MSG_SET_HOLD_TIME, 0.0f);
        float health = 0.0f;
        character->HandleMessage(MSG_GET_HEALTH, Args_Of(&health));
        m_InitialHealth = health;
        const uint32_t direction = 0;
        character->HandleMessage(MSG_SET_DIRECTION_BEHAVIOUR, Args_Of(&direction));
        const uint32_t type = CHARACTER_GUARD;
        character->HandleMessage(MSG_SET_CHARACTER_TYPE, Args_Of(&type));
    }
    for (uint32_t i = 0; i < m_Attacks.size(); ++i) {
        for (uint32_t n = 0; n < m_Attacks[i].randWeight; ++n) m_AttackTickets.push_back(i);
    }
    m_CanJump = 0;
    if (CQVCharacter* character = Character()) {
        if (CQVActor* skin = FindDescendantByClass(character, CLASS_SKINOBJECT)) {
            std::vector<std::string> names;
            std::vector<std::string>* list = &names;
            skin->HandleMessage(MSG_SET_MOTIONSTRINGLIST_448, Args_Of(&list));
            for (const std::string& name : names) {
                if (!name.empty() && (name[0] == 'J' || name[0] == 'j')) m_CanJump = 1;
            }
        }
    }
    if (FindTimedMessage(MSG_PROCESS) == nullptr && g_ActorSystem) {
        g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                       PROCESS_CHANNEL);
    }
    // A fight or a follow saved with a level has lost its target: start idle, quietly.
    if (m_State == AI_STATE_FIGHT || m_State == AI_STATE_FOLLOW) {
        m_State = AI_STATE_IDLE;
        m_PreviousState = -1;
    }
    if (CQVCharacter* character = Character()) {
        character->m_MotionIndex = 0xFFFFFFFF;
        character->HandleMessage(MSG_SET_MOTION, Args_Of("N_Neutral"));
    }
    return ROW_PASS_ON;
}

void CQVAIPlayer::CopyAIPlayer(const CQVAIPlayer& source) {
    if (&source == this) return;
    kAIPlayerMessages.Copy(*this, source);
    m_CharacterLink.SetTarget(source.m_CharacterLink.target);
    m_TargetLink.SetTarget(source.Target());
}

// ---------------------------------------------------------------------------
// Messages

int CQVAIPlayer::SelectRow(bool attacks, const char* text) {
    const size_t count = attacks ? m_Attacks.size() : m_HitEffects.size();
    for (size_t i = 0; i < count; ++i) {
        if (RowText(attacks, i) == text) {
            (attacks ? m_SelectedAttack : m_SelectedHitEffect) = static_cast<int32_t>(i);
            break;
        }
    }
    return ROW_PASS_ON;
}

void CQVAIPlayer::RowTexts(bool attacks, std::vector<std::string>* out) const {
    std::vector<std::string>& texts = SharedRowTexts();
    texts.clear();
    const size_t count = attacks ? m_Attacks.size() : m_HitEffects.size();
    for (size_t i = 0; i < count; ++i) texts.push_back(RowText(attacks, i));
    *out = texts;
}

void CQVAIPlayer::SetGroupBit(uint32_t* mask, MessageArgs args) {
    const uint32_t group = Args_Get<uint32_t>(args);
    const bool on = Args_Get<uint32_t>(args, 4) != 0;
    // Groups are numbered 1 to 32.
    if (group < 1 || group > 32) return;
    const uint32_t bit = 1u << (group - 1);
    *mask = on ? (*mask | bit) : (*mask & ~bit);
}

void CQVAIPlayer::GoTo(const Vector3& point, uint32_t motion) {
    m_GoToPoints.assign(1, point);
    m_GoToMotion = motion;
    SetState(AI_STATE_GO_TO);
}

void CQVAIPlayer::Obstacle() {
    m_Cooldown = 5.0f;
    Tell(MSG_MOTIONQUEUE_CLEAR);
    TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Back");
    SetState(AI_STATE_IDLE);
}

int CQVAIPlayer::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kAIPlayerMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_COMMAND_SPY: {
        // What the body handled; it never reaches the base handler here.
        const MessageArgs* block = Args_Pointer<const MessageArgs>(id, args, 4);
        const CQVActor* from = Args_Pointer<const CQVActor>(id, args, 4 + sizeof(void*));
        if (block && from && from == Character()) OnBodyMessage(Args_Get<uint32_t>(args), *block);
        return 1;
    }
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY:
        SetLinkOwners();
        break;
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVAIPlayer*>(Args_Pointer<CQVActor>(id, args))) CopyAIPlayer(*source);
        break;
    case MSG_KILL:
        Tell(MSG_REMOVE_ALL_COMMANDSPY);
        break;
    case MSG_INVALID_ACTORPOINTER:
        m_TargetLink.Unlink();
        SetState(AI_STATE_INACTIVE);
        break;
    case MSG_SPAWN_NOTIFY:
        m_SpawnNotify = Args_Get<uint32_t>(args);
        break;
    case MSG_SET_AI_PLAYER_STATE_IDLE:
        SetState(AI_STATE_IDLE);
        break;
    case MSG_SET_AI_PLAYER_STATE_SCARED:
        SetState(AI_STATE_SCARED);
        break;
    case MSG_SET_AI_PLAYER_STATE_INACTIVE:
        SetState(AI_STATE_INACTIVE);
        break;
    case MSG_SELECT_AI_PLAYER_ATTACK:
    case MSG_SELECT_AI_PLAYER_HIT_EFFECT:
        SelectRow(id == MSG_SELECT_AI_PLAYER_ATTACK, Args_TextOr(args));
        break;
    case MSG_AI_PLAYER_ATTACK_NAMES:
    case MSG_AI_PLAYER_HIT_EFFECT_NAMES:
        if (auto* out = Args_Pointer<std::vector<std::string>>(id, args)) RowTexts(id == MSG_AI_PLAYER_ATTACK_NAMES, out);
        break;
    case MSG_ADD_AI_PLAYER_ATTACK_PARAM:
        AddRow(m_Attacks, &m_SelectedAttack);
        break;
    case MSG_DELETE_AI_PLAYER_ATTACK_PARAM:
        DeleteRow(m_Attacks, &m_SelectedAttack);
        break;
    case MSG_ADD_AI_PLAYER_HIT_EFFECT:
        AddRow(m_HitEffects, &m_SelectedHitEffect);
        break;
    case MSG_DELETE_AI_PLAYER_HIT_EFFECT:
        DeleteRow(m_HitEffects, &m_SelectedHitEffect);
        break;
    case MSG_SET_AI_PLAYER_FOLLOW_GROUP_5B5:
        SetGroupBit(&m_FollowGroup, args);
        break;
    case MSG_SET_AI_PLAYER_FIGHT_GROUP_5BE:
        SetGroupBit(&m_FightGroup, args);
        break;
    case MSG_AI_PLAYER_SEARCH_AND_GO_TO_ACTOR:
        SearchAndGoToActor(Args_TextOr(args));
        break;
    case MSG_AI_PLAYER_GO_TO_POSITION:
        GoTo(Args_Get<Vector3>(args), AI_MOTION_RUN);
        break;
    case MSG_AI_PLAYER_GO_TO_ACTOR:
    case MSG_AI_PLAYER_WALK_TO_ACTOR:
    case MSG_AI_PLAYER_RUN_TO_ACTOR:
        // No actor, no walk: the state stays as it is.
        if (CQVActor* goal = Args_Pointer<CQVActor>(id, args))
            GoTo(goal->GetWorldPosition(), id == MSG_AI_PLAYER_WALK_TO_ACTOR ? AI_MOTION_WALK : AI_MOTION_RUN);
        break;
    case MSG_AI_PLAYER_OBSTACLE:
    case MSG_AI_PLAYER_SHAFT:
        Obstacle();
        break;
    case MSG_AI_PLAYER_OBSTACLE_JUMP:
        if (m_CanJump) Tell(MSG_CC_JUMP);
        break;
    case MSG_AI_PLAYER_SHAFT_JUMP:
        if (m_CanJump) {
            Tell(MSG_CC_JUMP);
        } else {
            Obstacle();
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Actor files

int CQVAIPlayer::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        WordBlock block;
        block.Word(&m_AIType);
        block.Word(&m_UseMemory);
        block.Word(&m_CanOpenDoor);
        block.Word(&m_CanFightInGoTo);
        block.Word(&m_DeleteIfNotDrawn);
        block.Word(&m_DeleteDelay);
        block.Word(&m_NotDrawnEventTime);
        block.Word(&m_NeverRunInFight);
        block.Transfer(archive);
    }
    if (version >= 19) {
        WordBlock block;
        block.Word(&m_FollowDistance);
        block.Word(&m_FollowMinTime);
        block.Word(&m_FollowMaxTime);
        block.Transfer(archive);
    }
    if (version >= 27) {
        WordBlock block;
        block.Word(&m_StartFollowType);
        block.Word(&m_FollowGroup);
        block.Transfer(archive);
    }
    if (version >= 19) {
        WordBlock block;
        block.Word(&m_FightDistance);
        block.Word(&m_HitDistance);
        block.Transfer(archive);
    }
    if (version >= 27) archive->SerializeDword(&m_FightGroup);
    if (version >= 19) {
        // Each row takes four words: a count that the rest of the file cannot hold is a damaged record.
        uint32_t count = static_cast<uint32_t>(m_HitEffects.size());
        if (!archive->SerializeCount(&count, 16)) return 0;
        if (reading) m_HitEffects.assign(count, HitEffect{});
        for (HitEffect& effect : m_HitEffects) {
            WordBlock block;
            block.Word(&effect.type);
            block.Word(&effect.value);
            block.Word(&effect.time);
            block.Reserved();
            block.Transfer(archive);
        }
        WordBlock hit;
        hit.Word(&m_GethitId);
        hit.Word(&m_DamageId);
        hit.Word(&m_HoldTime);
        hit.Transfer(archive);
        count = static_cast<uint32_t>(m_Attacks.size());
        if (!archive->SerializeCount(&count, 16)) return 0;
        if (reading) m_Attacks.assign(count, AttackParam{});
        for (AttackParam& attack : m_Attacks) {
            WordBlock block;
            block.Word(&attack.randWeight);
            block.Word(&attack.effectMul);
            block.Word(&attack.evalDelay);
            block.Reserved();
            block.Transfer(archive);
        }
        // The selections pointed into the lists the file replaced.
        if (reading) m_SelectedAttack = m_SelectedHitEffect = -1;
    }
    if (version >= 21) {
        WordBlock block;
        block.Word(&m_DeathType);
        block.Word(&m_DeathDelay);
        block.Transfer(archive);
    }
    if (version >= 41) archive->SerializeDword(&m_TurnSpeed);
    if (version >= 45) {
        WordBlock block;
        block.Word(&m_TimeInState);
        block.Word(&m_State);
        block.Word(&m_PreviousState);
        block.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVAIPlayer::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_AI_PLAYER];
    record.Define("AI Player", "AI Player", {CLASS_BASE, CLASS_AI_PLAYER});
    kAIPlayerMessages.AddSheet(record);
}
