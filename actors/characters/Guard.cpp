#include "actors/characters/Guard.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

constexpr const char* kMovementNames[GUARD_MOVE_COUNT] = {
    "R_Forward",   "R_Forward1", "N_Neutral", "N_Forward",  "N_Guarding", "N_Exhausted",
    "N_Dead",      "M_Neutral",  "M_Forward", "M_Attack",   "S_Neutral",
};

// The start and stop events of the states, 0 where a state has none.
struct StateEvents {
    uint32_t start, stop;
};
constexpr StateEvents kStateEvents[GUARD_STATE_COUNT] = {
    {MSG_ON_GUARD_START_SLEEP, MSG_ON_GUARD_STOP_SLEEP},
    {MSG_ON_GUARD_START_PATROL, MSG_ON_GUARD_STOP_PATROL},
    {MSG_ON_GUARD_START_HUNT, MSG_ON_GUARD_STOP_HUNT},
    {MSG_ON_GUARD_START_RETURN_TO_PATROL, MSG_ON_GUARD_STOP_RETURN_TO_PATROL},
    {MSG_ON_GUARD_START_HIT, MSG_ON_GUARD_STOP_HIT},
    {MSG_ON_GUARD_START_PAUSE_IN_HUNT, MSG_ON_GUARD_STOP_PAUSE_IN_HUNT},
    {MSG_ON_GUARD_START_FIGHT, MSG_ON_GUARD_STOP_FIGHT},
    {MSG_ON_GUARD_START_HUNTED, MSG_ON_GUARD_STOP_HUNTED},
    {0, 0},
    {MSG_ON_GUARD_START_DEAD, MSG_ON_GUARD_STOP_DEAD},
    {MSG_ON_GUARD_START_PAUSE_IN_PATROL, MSG_ON_GUARD_STOP_PAUSE_IN_PATROL},
};

constexpr float kBodyRaise = 40.0f;
constexpr float kHuntTrailInterval = 0.2f;
constexpr float kTrailMinStep = 20.0f;
constexpr float kTrailLoopCut = 100.0f;
constexpr uint32_t kTrailLoopCheckCount = 8;
constexpr uint32_t kTrailLoopSpared = 4;
constexpr float kCatchTime = 5.0f;
constexpr float kStrikeTime = 8.0f;
constexpr uint32_t kCatchesBeforeTransfer = 2;
constexpr float kHitQuiet = 10.0f;
constexpr float kAsleepHearing = 0.8f;
constexpr float kSightReach = 0.8f;
constexpr float kDefaultEvalDelay = 0.25f;
constexpr float kNoHit = 1e38f;
// A sight ray passes only through what is marked for it (group 16).
constexpr RayFilter kSightFilter{0xFFFFFFFF, 0xFFFFFFFF, 0x10000};

constexpr const char* kTypeList = "Type:|Box Guard(Not ready!)|0|Path Guard|1|Path Fighter|2|Path Hunted|3|";
constexpr const char* kStateList = "State:|Sleep|0|Patrol|1|Idle|8|";
constexpr const char* kDeadList = "Type:|Non|0|Delete|1|Spawn On Root|2|Spawn Random|3|Spawn On Place|4|";
constexpr const char* kGethitList =
    "Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit 6|7|Gethit 7|8|"
    "Gethit 8|9|Gethit 9|10|";
constexpr const char* kDamageList =
    "Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage 6|7|Damage 7|8|"
    "Damage 8|9|Damage 9|10|";
constexpr const char* kEffectList =
    "Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|Vision|7|Fov|8|"
    "Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|Unused|14|";

constexpr MessageRow kGuardRows[] = {
    SheetRow("Guard Properties", PROP_TITLE),
    SheetRow("Set Guard Type.", PROP_SEPARATOR),
    FieldRow<&CQVGuard::m_GuardType>(MSG_SET_GUARD_TYPE, MSG_GET_GUARD_TYPE, kTypeList, PROP_CHOICE)
        .StoredBy<&CQVGuard::OnSetGuardType>(),
    SheetRow("Set Guard Initial State.", PROP_SEPARATOR),
    FieldRow<&CQVGuard::m_State>(MSG_SET_GUARD_STATE, MSG_GET_GUARD_STATE, kStateList, PROP_CHOICE),
    SheetRow("Set Guard Character.", PROP_SEPARATOR),
    FieldRow<&CQVGuard::m_CharacterId>(MSG_SET_GUARD_CHARACTER, MSG_GET_GUARD_CHARACTER, "Set:", PROP_CONTAINER),
    BoolRow<&CQVGuard::m_UseNodeTime>(MSG_SET_GUARD_USE_NODE_TIME, MSG_GET_GUARD_USE_NODE_TIME,
                                      "Use Node Time For Pause:", PROP_CHECK),
    FieldRow<&CQVGuard::m_RootNodeTime>(MSG_SET_PATHNODE_TIME, MSG_GET_PATHNODE_TIME, "Time:", PROP_TIME),
    FieldRow<&CQVGuard::m_NodeTurnDistance>(MSG_SET_GUARD_TURN_DISTANCE, MSG_GET_GUARD_TURN_DISTANCE,
                                            "Node Turn Distance:", PROP_REAL),
    FieldRow<&CQVGuard::m_HitDistance>(MSG_SET_GUARD_HIT_DISTANCE, MSG_GET_GUARD_HIT_DISTANCE, "Hit Distance:",
                                       PROP_REAL),
    FieldRow<&CQVGuard::m_JumpInterval>(MSG_SET_GUARD_JUMP_INTERVAL, MSG_GET_GUARD_JUMP_INTERVAL, "Jump Interval:",
                                        PROP_TIME),
    SheetRow("Fighting Properties", PROP_TITLE),
    SheetRow("Attack", PROP_PICKER, MSG_UNNAMED_52A, MSG_UNNAMED_52B),
    SheetRow("Add Attack|Add|", PROP_BUTTON, MSG_ADD_GUARD_ATTACK_PARAM),
    SheetRow("Delete Attack|Delete|", PROP_BUTTON, MSG_DELETE_GUARD_ATTACK_PARAM),
    SheetRow("Attack Param", PROP_SEPARATOR),
    FieldRow<&CQVGuard::SelectedAttack, &AttackParam::randWeight>(MSG_SET_GUARD_ATTACK_PARAM_RAND_WEIGHT,
                                                                  MSG_GET_GUARD_ATTACK_PARAM_RAND_WEIGHT, "Rand",
                                                                  PROP_UINT),
    FieldRow<&CQVGuard::SelectedAttack, &AttackParam::evalDelay>(MSG_SET_GUARD_ATTACK_PARAM_EVAL_DELAY,
                                                                 MSG_GET_GUARD_ATTACK_PARAM_EVAL_DELAY, "Eval Delay",
                                                                 PROP_TIME),
    FieldRow<&CQVGuard::SelectedAttack, &AttackParam::effectMul>(MSG_SET_GUARD_ATTACK_PARAM_EFFECT_MUL,
                                                                 MSG_GET_GUARD_ATTACK_PARAM_EFFECT_MUL, "Eff Mul",
                                                                 PROP_REAL),
    SheetRow("Start Fight Distance", PROP_SEPARATOR),
    FieldRow<&CQVGuard::m_FightDistance>(MSG_SET_GUARD_FIGHT_DISTANCE, MSG_GET_GUARD_FIGHT_DISTANCE, "Distance",
                                         PROP_REAL),
    SheetRow("Dead Properties", PROP_TITLE),
    FieldRow<&CQVGuard::m_DeadType>(MSG_SET_GUARD_DEAD_TYPE, MSG_GET_GUARD_DEAD_TYPE, kDeadList, PROP_CHOICE),
    FieldRow<&CQVGuard::m_DeadDelay>(MSG_SET_GUARD_DEAD_DELAY, MSG_GET_GUARD_DEAD_DELAY, "Delay", PROP_REAL),
    SheetRow("Hit Effect Management", PROP_TITLE),
    SheetRow("Character Animation Effect", PROP_SEPARATOR),
    FieldRow<&CQVGuard::m_GethitId>(MSG_SET_GUARD_HIT_GETHIT_ID, MSG_GET_GUARD_HIT_GETHIT_ID, kGethitList,
                                    PROP_CHOICE),
    FieldRow<&CQVGuard::m_DamageId>(MSG_SET_GUARD_HIT_DAMAGE_ID, MSG_GET_GUARD_HIT_DAMAGE_ID, kDamageList,
                                    PROP_CHOICE),
    FieldRow<&CQVGuard::m_HoldTime>(MSG_SET_GUARD_HIT_HOLD_TIME, MSG_GET_GUARD_HIT_HOLD_TIME, "Character Hold Time",
                                    PROP_TIME),
    SheetRow("Hit Effect Management", PROP_SEPARATOR),
    SheetRow("Effect", PROP_PICKER, MSG_UNNAMED_522, MSG_UNNAMED_523),
    SheetRow("Add Effect|Add|", PROP_BUTTON, MSG_ADD_GUARD_HIT_EFFECT),
    SheetRow("Delete Effect|Delete|", PROP_BUTTON, MSG_DELETE_GUARD_HIT_EFFECT),
    SheetRow("Hit Effect", PROP_SEPARATOR),
    FieldRow<&CQVGuard::SelectedHitEffect, &HitEffect::type>(MSG_SET_GUARD_HIT_EFFECT_TYPE,
                                                             MSG_GET_GUARD_HIT_EFFECT_TYPE, kEffectList, PROP_CHOICE),
    FieldRow<&CQVGuard::SelectedHitEffect, &HitEffect::value>(MSG_SET_GUARD_HIT_EFFECT_VALUE,
                                                              MSG_GET_GUARD_HIT_EFFECT_VALUE, "Value", PROP_REAL),

};

// What a copy takes besides the fields the rows bind.
constexpr MessageTable kGuardMessages{
    kGuardRows,
    CopiedFields<&CQVGuard::m_BodyId, &CQVGuard::m_HomePosition, &CQVGuard::m_HomeWord, &CQVGuard::m_TargetId,
                 &CQVGuard::m_PathMode, &CQVGuard::m_Forward, &CQVGuard::m_CurrentNodeId,
                 &CQVGuard::m_PreviousNodeId, &CQVGuard::m_Trail, &CQVGuard::m_TrailTimer,
                 &CQVGuard::m_TrailInterval, &CQVGuard::m_TrailMax, &CQVGuard::m_TrailTargetId,
                 &CQVGuard::m_TrailFollow, &CQVGuard::m_PreviousState, &CQVGuard::m_StateTime, &CQVGuard::m_KeptA,
                 &CQVGuard::m_KeptB, &CQVGuard::m_CaughtTimer, &CQVGuard::m_KeptC, &CQVGuard::m_PauseTime,
                 &CQVGuard::m_TimeSinceHit, &CQVGuard::m_VisibilityTimer, &CQVGuard::m_LostTime,
                 &CQVGuard::m_AreaFlagA, &CQVGuard::m_AreaFlagB, &CQVGuard::m_JumpTimer, &CQVGuard::m_Heading,
                 &CQVGuard::m_MovementMode, &CQVGuard::m_FightTimer, &CQVGuard::m_AttackEvalCountdown,
                 &CQVGuard::m_FightMove, &CQVGuard::m_AttackReady, &CQVGuard::m_StartHealth,
                 &CQVGuard::m_Attacks, &CQVGuard::m_CurrentAttack, &CQVGuard::m_AttackBag,
                 &CQVGuard::m_HitEffects, &CQVGuard::m_CurrentHitEffect, &CQVGuard::m_ReturnTrail,
                 &CQVGuard::m_ReturnTrailTimer>()};

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

CQVCharacter* AsCharacter(CQVActor* actor) {
    return actor && actor->m_ClassType == CLASS_CHARACTER ? static_cast<CQVCharacter*>(actor) : nullptr;
}

float HoldTimeOf(CQVActor* actor) {
    float hold = 0.0f;
    if (actor) actor->HandleMessage(MSG_GET_HOLD_TIME, Args_Of(&hold));
    return hold;
}

Vector3 WorldPositionOf(CQVActor* actor) {
    Vector3 p(0.0f, 0.0f, 0.0f);
    actor->HandleMessage(MSG_GET_WSPOSITION, Args_Of(&p));
    return p;
}

// The reach of a sensor volume that noise and sight scale: a sphere's
// radius, or half the widest side of a box.
float SensorRange(const ColObj& volume) {
    if (volume.type == COLOBJ_SPHERE) return volume.boxMax.x;
    const Vector3 size = volume.boxMax - volume.boxMin;
    return 0.5f * std::max({size.x, size.y, size.z});
}

}  // namespace

CQVGuard::CQVGuard() { m_ClassType = CLASS_GUARD; }

CQVGuard::~CQVGuard() {
    m_Trail.clear();
    m_ReturnTrail.clear();
}

uint32_t& CQVGuard::CaughtCount(uint32_t characterId) {
    static std::unordered_map<uint32_t, uint32_t> counts;
    return counts[characterId];
}

CQVCharacter* CQVGuard::Body() const { return AsCharacter(CQVActorSystem::GetActorById(m_BodyId)); }

CQVActor* CQVGuard::Target() const { return CQVActorSystem::GetActorById(m_TargetId); }

// A node is a Path Node or the guard itself; anything else under the id is no node.
CQVActor* CQVGuard::CurrentNode() const {
    if (m_CurrentNodeId == m_Id) return const_cast<CQVGuard*>(this);
    CQVActor* node = CQVActorSystem::GetActorById(m_CurrentNodeId);
    return node && node->m_ClassType == CLASS_PATH_NODE ? node : nullptr;
}

CQVActor* CQVGuard::PreviousNode() const {
    if (m_PreviousNodeId == m_Id) return const_cast<CQVGuard*>(this);
    CQVActor* node = CQVActorSystem::GetActorById(m_PreviousNodeId);
    return node && node->m_ClassType == CLASS_PATH_NODE ? node : nullptr;
}

AttackParam* CQVGuard::SelectedAttack() { return RowAt(m_Attacks, m_CurrentAttack); }

HitEffect* CQVGuard::SelectedHitEffect() { return RowAt(m_HitEffects, m_CurrentHitEffect); }

void CQVGuard::Tell(uint32_t id) const {
    if (CQVCharacter* body = Body()) body->HandleMessage(id, nullptr);
}

void CQVGuard::TellReal(uint32_t id, float value) const {
    if (CQVCharacter* body = Body()) body->HandleMessage(id, Args_Of(&value));
}

void CQVGuard::TellWord(uint32_t id, uint32_t value) const {
    if (CQVCharacter* body = Body()) body->HandleMessage(id, Args_Of(&value));
}

void CQVGuard::TellText(uint32_t id, const char* text) const {
    if (CQVCharacter* body = Body()) body->HandleMessage(id, Args_Of(text));
}

// ---------------------------------------------------------------------------
// Type and areas

void CQVGuard::BuildBoxAreas() {
    m_ColObjs.clear();
    const auto add = [this](const char* name, const Vector3& min, const Vector3& max) {
        ColObj area;
        area.name = name;
        area.flags = (area.flags | COLOBJ_SENDS | COLOBJ_RECEIVES) & ~(COLOBJ_MARKED | COLOBJ_BLOCKS);
        area.boxMin = min;
        area.boxMax = max;
        area.owner = this;
        area.UpdateDerivedGroups(CLASS_GUARD);
        m_ColObjs.push_back(area);
    };
    add("Patrol Area", Vector3(-10.0f, -10.0f, -40.0f), Vector3(10.0f, 40.0f, 40.0f));
    add("Hunt Area", Vector3(-60.0f, -10.0f, -60.0f), Vector3(60.0f, 40.0f, 60.0f));
}

int CQVGuard::OnSetGuardType(uint32_t type) {
    m_GuardType = type;
    if (type == GUARD_BOX) {
        // The children go last first; each delete takes itself out of the list.
        while (!m_Children.empty()) {
            CQVActor* child = m_Children.back();
            if (g_ActorSystem == nullptr || !g_ActorSystem->DeleteActor(child)) {
                m_Children.pop_back();
            }
        }
        BuildBoxAreas();
        return ROW_PASS_ON;
    }
    m_ColObjs.clear();
    if (m_Children.empty() && g_ActorSystem) {
        CQVActor* node = g_ActorSystem->CreateActor(CLASS_PATH_NODE, "Node", nullptr, this, ACTOR_ID_ANY, 1, 0);
        if (node) node->SendValue(MSG_SET_POSITION, Vector3(100.0f, 0.0f, 0.0f));
    }
    return ROW_PASS_ON;
}

// ---------------------------------------------------------------------------
// States

void CQVGuard::SetMovementMode(int32_t mode) {
    m_MovementMode = mode;
    if (mode < 0 || mode >= GUARD_MOVE_COUNT) return;
    TellText(MSG_SET_MOTION, kMovementNames[mode]);
}

void CQVGuard::StartTrail(CQVActor* actor, float interval) {
    m_Trail.clear();
    m_TrailTargetId = actor ? actor->m_Id : ACTOR_ID_NONE;
    m_TrailInterval = interval;
    m_TrailTimer = 0.0f;
}

void CQVGuard::StopTrail() {
    m_TrailInterval = 0.0f;
    m_TrailTimer = 0.0f;
    m_TrailTargetId = ACTOR_ID_NONE;
}

void CQVGuard::SetState(uint32_t state) {
    if (state == m_State) return;
    const uint32_t old = m_State;
    m_PreviousState = static_cast<int32_t>(old);
    m_State = state;
    m_StateTime = 0.0f;
    m_JumpTimer = 0.0f;
    if (old < GUARD_STATE_COUNT && kStateEvents[old].stop) SendSelf(kStateEvents[old].stop);
    EnterState(state, old);
}

void CQVGuard::EnterState(uint32_t state, uint32_t from) {
    const uint32_t start = state < GUARD_STATE_COUNT ? kStateEvents[state].start : 0;
    switch (state) {
    case GUARD_SLEEP:
    case GUARD_RETURN_TO_PATROL:
    case GUARD_PAUSE_IN_HUNT:
    case GUARD_PAUSE_IN_PATROL:
        StopTrail();
        break;
    case GUARD_PATROL:
    case GUARD_FIGHT:
        StopTrail();
        if (from == GUARD_SLEEP) {
            SendSelf(start);
            SetMovementMode(GUARD_MOVE_NEUTRAL);
            return;
        }
        break;
    case GUARD_HUNT:
        StartTrail(Target(), kHuntTrailInterval);
        m_TrailFollow = 1;
        m_VisibilityTimer = m_LostTime = 0.0f;
        m_ReturnTrail.clear();
        m_ReturnTrailTimer = 0.0f;
        if (from == GUARD_SLEEP) SetMovementMode(GUARD_MOVE_NEUTRAL);
        break;
    case GUARD_HIT:
        StopTrail();
        m_CaughtTimer = kCatchTime;
        ApplyHit(Target(), 1.0f);
        m_TimeSinceHit = 0.0f;
        break;
    case GUARD_HUNTED_STATE:
        StopTrail();
        m_VisibilityTimer = m_LostTime = 0.0f;
        m_ReturnTrail.clear();
        m_ReturnTrailTimer = 0.0f;
        if (PreviousNode()) {
            m_CurrentNodeId = m_PreviousNodeId;
            m_Forward = m_Forward ? 0 : 1;
        }
        break;
    case GUARD_DEAD:
        StopTrail();
        TellReal(MSG_SET_HOLD_TIME, -1.0f);
        Tell(MSG_MOTIONQUEUE_CLEAR);
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "N_Die0");
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "N_Dead0");
        m_TimeSinceHit = kNoHit;
        break;
    default:
        break;
    }
    if (start) SendSelf(start);
}

// ---------------------------------------------------------------------------
// Steering and sight

void CQVGuard::SteerTowardsActor(CQVActor* actor, float turnSpeed) {
    CQVCharacter* body = Body();
    if (body == nullptr || actor == nullptr) return;
    m_Heading = Vec3_YawBetween(body->GetWorldPosition(), actor->GetWorldPosition());
    TellReal(MSG_SET_ROT_Y_3D0, m_Heading);
    TellReal(MSG_SET_TURN_SPEED, turnSpeed);
}

void CQVGuard::SteerTowardsPoint(const Vector3& point, float turnSpeed) {
    CQVCharacter* body = Body();
    if (body == nullptr) return;
    m_Heading = Vec3_YawBetween(body->GetWorldPosition(), point);
    TellReal(MSG_SET_ROT_Y_3D0, m_Heading);
    TellReal(MSG_SET_TURN_SPEED, turnSpeed);
    TellReal(MSG_SET_LOOK_ROT_Y, m_Heading);
}

bool CQVGuard::HasClearLine(CQVActor* actor) {
    CQVCharacter* body = Body();
    if (body == nullptr || actor == nullptr || g_ActorSystem == nullptr) return false;
    return g_ActorSystem->RayCast(kSightFilter, body->GetWorldPosition(), actor->GetWorldPosition(), nullptr,
                                  nullptr) == nullptr;
}

bool CQVGuard::CanSee(CQVActor* actor) {
    CQVCharacter* body = Body();
    if (body == nullptr || actor == nullptr || g_ActorSystem == nullptr) return false;
    const ColObj* hit =
        g_ActorSystem->RayCast(kSightFilter, body->GetWorldPosition(), actor->GetWorldPosition(), nullptr, nullptr);
    return hit && hit->owner == actor;
}

// ---------------------------------------------------------------------------
// Hits and the fight

void CQVGuard::ApplyHit(CQVActor* victim, float multiplier) {
    if (victim == nullptr) return;
    victim->SendValue(MSG_SET_HOLD_TIME, 0.0f);
    char name[32];
    if (m_GethitId > 0) {
        std::snprintf(name, sizeof name, "Gethit%u", m_GethitId - 1);
        victim->HandleMessage(MSG_SET_MOVEMENT_34D, Args_Of(static_cast<const char*>(name)));
    }
    if (m_DamageId > 0) {
        std::snprintf(name, sizeof name, "Damage%u", m_DamageId - 1);
        victim->HandleMessage(MSG_SET_NEXT_MOVEMENT, Args_Of(static_cast<const char*>(name)));
    }
    victim->SendValue(MSG_SET_HOLD_TIME, m_HoldTime);
    m_TimeSinceHit = 0.0f;
    // A copy: the victim's handlers may reach back into the list.
    const std::vector<HitEffect> effects = m_HitEffects;
    for (const HitEffect& effect : effects) Character_ApplyHitEffect(victim, effect, multiplier);
}

void CQVGuard::ChooseAttack(float distance) {
    m_FightMove = Random_Next() % 6;
    // Weights that are all 0 leave no tickets: the choice of a fighter without rows.
    int32_t attack;
    if (m_AttackBag.empty()) {
        attack = Random_Next() % 4;
    } else {
        m_CurrentAttack = static_cast<int32_t>(m_AttackBag[static_cast<size_t>(Random_Next()) % m_AttackBag.size()]);
        attack = m_CurrentAttack;
    }
    char name[32];
    std::snprintf(name, sizeof name, "M_Attack%d", attack);
    if (distance < m_HitDistance) {
        Tell(MSG_MOTIONQUEUE_CLEAR);
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, name);
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Back");
    }
    static const std::vector<const char*> kMoves[6] = {
        {"M_Forward", nullptr, "M_Forward"},
        {"M_Forward", nullptr, "M_Back", "M_Forward"},
        {"M_Forward", "M_Left", nullptr, "M_Back", "M_Forward"},
        {"M_Forward", "M_Right", nullptr, "M_Back", "M_Forward"},
        {"M_Left", nullptr, "M_Left"},
        {"M_Right", nullptr, "M_Right"},
    };
    for (const char* move : kMoves[m_FightMove]) TellText(MSG_MOTIONQUEUE_PUSH_BACK, move ? move : name);
    m_AttackReady = 0;
}

void CQVGuard::EvaluateAttackHit() {
    CQVCharacter* body = Body();
    CQVActor* target = Target();
    if (body && target && Vec3_Length(body->GetWorldPosition() - target->GetWorldPosition()) < m_HitDistance &&
        CanSee(target) && HoldTimeOf(body) <= 0.0f) {
        m_CaughtTimer = kStrikeTime;
        const AttackParam* row = SelectedAttack();
        ApplyHit(target, m_Attacks.empty() || row == nullptr ? 1.0f : row->effectMul);
        m_TimeSinceHit = 0.0f;
        Tell(MSG_MOTIONQUEUE_CLEAR);
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Back");
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Back");
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Neutral");
    }
    m_AttackEvalCountdown = kNoHit;
}

void CQVGuard::ArmAttack(const char* motion) {
    if (m_GuardType != GUARD_FIGHTER || motion == nullptr || std::strlen(motion) < 2) return;
    const char* base = motion + 2;
    for (const char* attack : {"Attack0", "Attack1", "Attack2", "Attack3"}) {
        if (std::strcmp(base, attack) != 0) continue;
        const AttackParam* row = SelectedAttack();
        m_AttackEvalCountdown = m_Attacks.empty() || row == nullptr ? kDefaultEvalDelay : row->evalDelay;
        return;
    }
}

// ---------------------------------------------------------------------------
// The per-frame step

void CQVGuard::RecordTrail(float dt) {
    if (m_TrailTargetId == ACTOR_ID_NONE || m_TrailMax == 0) return;
    m_TrailTimer += dt;
    if (m_TrailTimer <= m_TrailInterval) return;
    CQVActor* followed = CQVActorSystem::GetActorById(m_TrailTargetId);
    if (followed == nullptr) {
        StopTrail();
        return;
    }
    const Vector3 p = followed->GetWorldPosition();
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
    if (m_Trail.size() > m_TrailMax) m_Trail.pop_front();
    m_TrailTimer -= m_TrailInterval;
}

void CQVGuard::CatchStep(float dt) {
    if (m_GuardType != GUARD_PATH || m_CaughtTimer <= 0.0f) return;
    m_CaughtTimer -= dt;
    if (m_CaughtTimer > 0.0f) return;
    CQVActor* target = Target();
    CQVCharacter* body = Body();
    if (target == nullptr) return;
    uint32_t& caught = CaughtCount(target->m_Id);
    ++caught;
    uint32_t moved = 0;
    if (caught > kCatchesBeforeTransfer) {
        caught = 0;
        const std::vector<uint32_t> spawns = CQVActorSystem::FindActorsByName("DungeonSpawn", CLASS_SPAWN_POINT);
        if (!spawns.empty()) {
            CQVActor* spawn = CQVActorSystem::GetActorById(spawns[static_cast<size_t>(Random_Next()) % spawns.size()]);
            if (spawn) {
                target->SendValue(MSG_SET_POSITION, WorldPositionOf(spawn));
                moved = 1;
            }
        }
    }
    const uint32_t report[3] = {body ? body->m_Id : ACTOR_ID_NONE, target->m_Id, moved};
    if (CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY))
        inventory->HandleMessage(MSG_GUARD_HIT_CHARACTER, Args_Of(report, sizeof report));
    if (g_ActorSystem) g_ActorSystem->ReplicateMessage(ACTOR_ID_INVENTORY, MSG_GUARD_HIT_CHARACTER,
                                                       Args_Of(report, sizeof report));
}

void CQVGuard::Process() {
    if (!IsOperational()) return;
    RefreshClock(this);
    const float dt = m_Clock ? m_Clock->dt : 0.0f;
    CQVCharacter* body = Body();
    if (body == nullptr || !body->IsSuspended()) {
        RecordTrail(dt);
        if (body) {
            if ((m_GuardType == GUARD_FIGHTER || m_GuardType == GUARD_PATH) && body->m_Health <= 0.0f &&
                m_State != GUARD_DEAD)
                SetState(GUARD_DEAD);
            CatchStep(dt);
            m_StateTime += dt;
            m_TimeSinceHit += dt;
            m_FightTimer += dt;
            m_AttackEvalCountdown -= dt;
            if (m_AttackEvalCountdown < 0.0f) EvaluateAttackHit();
            if (m_PathMode == 1) StepAI(dt);
        }
    }
    CQVActor::Process();
}

// ---------------------------------------------------------------------------
// Reacting to the body

void CQVGuard::OnBodyMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_COLLISION_EVENT:
        OnCollision(args);
        break;
    case MSG_CHANGE_CPHEALTH:
        OnHurt();
        break;
    case MSG_CALLBACK_MOTION_SET:
        ArmAttack(Args_Text(args));
        break;
    case MSG_ON_UNLOCK_INPUT:
    case MSG_CHAR_MOTION_QUEUE_EMPTY:
        m_AttackReady = 1;
        break;
    default:
        break;
    }
}

void CQVGuard::OnCollision(MessageArgs args) {
    CQVCharacter* body = Body();
    const ColObj* first = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args);
    const ColObj* second = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args, sizeof(ColObj*));
    if (body == nullptr || first == nullptr || second == nullptr || first->owner == nullptr ||
        second->owner == nullptr)
        return;
    CQVActor* other = first->owner;
    CQVCharacter* character = AsCharacter(other);
    if (character && other->m_DrawGroupId == second->owner->m_DrawGroupId && m_TimeSinceHit > kHitQuiet &&
        (m_State == GUARD_SLEEP || m_State == GUARD_PATROL || m_State == GUARD_IDLE)) {
        SetTarget(character);
        if (HoldTimeOf(body) > 0.0f) return;
        const float range = SensorRange(*second);
        const float d = Vec3_Length(WorldPositionOf(character) - WorldPositionOf(body));
        const bool asleep = m_State == GUARD_SLEEP;
        const char sense = second->name.empty() ? '\0' : second->name[0];
        bool heard = false;
        if (sense == 'H') {
            float noise = 0.0f;
            character->HandleMessage(MSG_GET_NOISE_LEVEL, Args_Of(&noise));
            if (asleep) noise *= kAsleepHearing;
            heard = d < noise * range;
        }
        bool noticed = heard;
        if (!asleep && sense == 'V') {
            CQVActor* hand = FindChildByName(character, "LeftHand");
            const bool unseen = hand && hand->m_Children.empty() && d > kSightReach * range;
            noticed = !unseen;
        }
        if (noticed && CanSee(character)) {
            if (m_GuardType == GUARD_HUNTED) {
                SetState(GUARD_HUNTED_STATE);
            } else if (m_GuardType == GUARD_FIGHTER) {
                SetState(GUARD_FIGHT);
            } else {
                SetState(GUARD_HUNT);
            }
        }
    }
    // Guards open the doors they touch.
    if ((second->flags & COLOBJ_MARKED) && other->m_ClassType == CLASS_DOOR) {
        const uint32_t opener = second->owner->m_Id;
        other->HandleMessage(MSG_OPEN_DOOR_302, Args_Of(&opener));
    }
}

void CQVGuard::OnHurt() {
    CQVCharacter* body = Body();
    if (m_GuardType == GUARD_PATH && m_State != GUARD_HUNT) {
        if (CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY)) {
            uint32_t master = ACTOR_ID_NONE;
            inventory->HandleMessage(MSG_GET_MASTER_CHARACTER, Args_Of(&master));
            if (CQVActor* player = CQVActorSystem::GetActorById(master)) {
                SetTarget(player);
                SetState(GUARD_HUNT);
            }
        }
    }
    const float hold = HoldTimeOf(body);
    m_StateTime = hold != 0.0f ? -hold : 0.0f;
}

// ---------------------------------------------------------------------------
// Set-up

int CQVGuard::Precalculate() {
    int result = ROW_PASS_ON;
    if (m_CharacterId != ACTOR_ID_NONE) {
        if (m_GuardType == GUARD_BOX) m_GuardType = GUARD_PATH;
        for (CQVActor* child : m_Children) {
            if (child->m_ClassType == CLASS_PATH_NODE) {
                m_PathMode = 1;
                m_CurrentNodeId = m_Id;
                AdvanceNode();
                break;
            }
        }
        CQVActor* body = nullptr;
        if (CurrentNode() != nullptr && g_ActorSystem) {
            CQVActor* source = CQVActorSystem::GetActorById(m_CharacterId);
            if (source) body = g_ActorSystem->CloneActor(source, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), 1);
        }
        CQVCharacter* character = AsCharacter(body);
        if (character == nullptr) {
            // A clone of anything but a Character is no body either.
            if (body && g_ActorSystem) g_ActorSystem->QueueDelete(body);
            m_Activity &= ~ACTIVITY_OPERATIONAL;
            return 0;
        }
        m_BodyId = character->m_Id;
        character->m_ControllerId = m_Id;
        Matrix world = GetWorldMatrix();
        world.m[3][1] += kBodyRaise;
        character->SendValue(MSG_SET_MATRIX, world);
        m_HomePosition = character->GetWorldPosition();
        character->SendValue<uint32_t>(MSG_SET_MASTER, 1);
        character->SendValue(MSG_SET_HOLD_TIME, 0.0f);
        character->SendValue<uint32_t>(MSG_ADD_COMMANDSPY, m_Id);
        character->SendValue<uint32_t>(MSG_SET_DIRECTION_BEHAVIOUR, 0);
        m_StartHealth = character->AskValue<float>(MSG_GET_HEALTH);
        m_CurrentAttack = 0;
        m_AttackBag.clear();
        for (uint32_t i = 0; i < m_Attacks.size(); ++i) {
            for (uint32_t n = 0; n < m_Attacks[i].randWeight; ++n) m_AttackBag.push_back(i);
        }
    }
    if (!HasProcess()) ScheduleProcess();
    return result;
}

void CQVGuard::CopyGuard(const CQVGuard& source) {
    if (&source == this) return;
    kGuardMessages.Copy(*this, source);
}

// ---------------------------------------------------------------------------
// Messages

void CQVGuard::SelectRow(bool attacks, const char* text) {
    const size_t count = attacks ? m_Attacks.size() : m_HitEffects.size();
    for (size_t i = 0; i < count; ++i) {
        if (RowText(attacks, i) == text) {
            (attacks ? m_CurrentAttack : m_CurrentHitEffect) = static_cast<int32_t>(i);
            return;
        }
    }
}

void CQVGuard::RowTexts(bool attacks, std::vector<std::string>* out) const {
    std::vector<std::string>& texts = SharedRowTexts();
    texts.clear();
    const size_t count = attacks ? m_Attacks.size() : m_HitEffects.size();
    for (size_t i = 0; i < count; ++i) texts.push_back(RowText(attacks, i));
    *out = texts;
}

int CQVGuard::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kGuardMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_COMMAND_SPY: {
        // What the body handled; it never reaches the base handler here.
        const MessageArgs* block = Args_Pointer<const MessageArgs>(id, args, 4);
        const CQVActor* from = Args_Pointer<const CQVActor>(id, args, 4 + sizeof(void*));
        if (IsOperational() && block && from && from->m_Id == m_BodyId && Body())
            OnBodyMessage(Args_Get<uint32_t>(args), *block);
        return 1;
    }
    case MSG_PRECALCULATE:
        if (Precalculate() == 0) return 0;
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVGuard*>(Args_Pointer<CQVActor>(id, args))) {
            CopyGuard(*source);
        } else if (Args_Pointer<CQVActor>(id, args) == nullptr) {
            BuildBoxAreas();
        }
        break;
    case MSG_GUARD_NETWORKHUNT: {
        // Only a Character can be hunted; anything else under the id changes nothing.
        CQVCharacter* hunted = AsCharacter(CQVActorSystem::GetActorById(Args_Get<uint32_t>(args)));
        if (hunted == nullptr) break;
        SetTarget(hunted);
        m_Activity |= ACTIVITY_OPERATIONAL;
        TellWord(MSG_SET_MASTER, 1);
        SetState(m_GuardType == GUARD_HUNTED ? GUARD_HUNTED_STATE : GUARD_HUNT);
        break;
    }
    case MSG_ADD_GUARD_HIT_EFFECT:
        m_HitEffects.push_back(HitEffect{});
        m_CurrentHitEffect = static_cast<int32_t>(m_HitEffects.size()) - 1;
        break;
    case MSG_DELETE_GUARD_HIT_EFFECT:
        if (SelectedHitEffect()) m_HitEffects.erase(m_HitEffects.begin() + m_CurrentHitEffect);
        m_CurrentHitEffect = -1;
        break;
    case MSG_ADD_GUARD_ATTACK_PARAM:
        m_Attacks.push_back(AttackParam{});
        m_CurrentAttack = static_cast<int32_t>(m_Attacks.size()) - 1;
        break;
    case MSG_DELETE_GUARD_ATTACK_PARAM:
        if (SelectedAttack()) m_Attacks.erase(m_Attacks.begin() + m_CurrentAttack);
        m_CurrentAttack = -1;
        break;
    // A pair without a sheet row, whose argument the vocabulary leaves untyped: a Real.
    case MSG_SET_GUARD_HIT_EFFECT_TIME:
        if (HitEffect* effect = SelectedHitEffect(); effect && args.Holds(0, sizeof(float)))
            effect->time = Args_Get<float>(args);
        break;
    case MSG_GET_GUARD_HIT_EFFECT_TIME:
        if (const HitEffect* effect = SelectedHitEffect()) Args_Set(args, 0, effect->time);
        break;
    case MSG_UNNAMED_522:
    case MSG_UNNAMED_52A:
        SelectRow(id == MSG_UNNAMED_52A, Args_TextOr(args));
        break;
    case MSG_UNNAMED_523:
    case MSG_UNNAMED_52B:
        if (auto* out = Args_Pointer<std::vector<std::string>>(id, args)) RowTexts(id == MSG_UNNAMED_52B, out);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Actor files

int CQVGuard::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        WordBlock block;
        block.Word(&m_CharacterId);
        block.Word(&m_NodeTurnDistance);
        block.Word(&m_UseNodeTime);
        block.Word(&m_GuardType);
        block.Word(&m_RootNodeTime);
        block.Word(&m_HitDistance);
        block.Word(&m_JumpInterval);
        block.Reserved();
        block.Transfer(archive);
    }
    if (version >= 12) {
        // Each row takes four words: a count that the rest of the file cannot hold is a damaged record.
        uint32_t count = static_cast<uint32_t>(m_HitEffects.size());
        if (!archive->SerializeCount(&count, 16)) return 0;
        if (reading) m_HitEffects.resize(count);
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
        if (reading) m_CurrentHitEffect = -1;
    }
    if (version >= 13) {
        uint32_t count = static_cast<uint32_t>(m_Attacks.size());
        if (!archive->SerializeCount(&count, 16)) return 0;
        if (reading) m_Attacks.resize(count);
        for (AttackParam& attack : m_Attacks) {
            WordBlock block;
            block.Word(&attack.randWeight);
            block.Word(&attack.effectMul);
            block.Word(&attack.evalDelay);
            block.Reserved();
            block.Transfer(archive);
        }
        if (reading) m_CurrentAttack = -1;
    }
    if (version >= 16) {
        WordBlock block;
        block.Word(&m_DeadType);
        block.Word(&m_DeadDelay);
        block.Transfer(archive);
    }
    if (version >= 18) archive->SerializeDword(&m_FightDistance);
    if (version >= 53) archive->SerializeDword(&m_State);
    return archive->HasFailed() ? 0 : 1;
}

void CQVGuard::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_GUARD];
    record.Define("Guard", "Guard Character Control", {CLASS_BASE, CLASS_GUARD});
    kGuardMessages.AddSheet(record);
}
