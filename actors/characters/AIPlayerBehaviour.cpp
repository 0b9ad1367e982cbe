// The AI Player behind its states: steering the body, perception through
// the body's sensor volumes and line of sight, following a leader along its
// trail, the fight with its moves and hits, the climb over helper nodes to a
// target at another height, and the memory of the connectors used.

#include "actors/characters/AIHelper.h"
#include "actors/characters/AIPlayer.h"

#include "actors/scene/DrawGroup.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTurn = 2.0f * kPi;

constexpr float kCooldown = 5.0f;
constexpr float kFollowTrailReached = 100.0f;
constexpr float kFollowGiveUp = 8000.0f;
constexpr float kFollowStuckRadius = 40.0f;
constexpr float kFightTrailReached = 140.0f;
constexpr float kFightTrailPrune = 100.0f;
constexpr float kGoToReached = 200.0f;
constexpr float kConnectorNear = 200.0f;
constexpr float kNodeLeave = 250.0f;
constexpr float kNodeReach = 100.0f;
constexpr float kHeightTolerance = 50.0f;
constexpr float kHeightTimeLimit = 5.0f;
constexpr float kSightInterval = 0.5f;
constexpr float kLostLimit = 6.0f;
constexpr float kSeenLimit = 4.0f;
constexpr float kTargetKeep = 10.0f;
constexpr float kScareTime = 2.0f;
constexpr float kDefaultEvalDelay = 0.25f;
constexpr float kNoTargetDistance = 1000.0f;
constexpr float kLongFight = 1000.0f;
// The moves after an attack, by a random number 0 to 5.
constexpr const char* kFightMoves[6][2] = {
    {"M_Forward", nullptr}, {"M_Back", "M_Forward"}, {"M_Back", nullptr},
    {"M_Right", nullptr},   {"M_Left", "M_Left"},    {"M_Right", "M_Right"},
};
// A ray of sight passes through triggers and sensors (derived group 18) and
// groups 5 and 16.
constexpr RayFilter kSightFilter{0xFFFFFFFF, 0xFFFFFFFF, 0x48010};

float Distance(const Vector3& a, const Vector3& b) { return Vec3_Length(a - b); }

float HorizontalDistance(const Vector3& a, const Vector3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

float Distance(CQVActor* a, CQVActor* b) { return Distance(a->GetWorldPosition(), b->GetWorldPosition()); }

// a's world height above b's; 0 within the tolerance.
float HeightDifference(CQVActor* a, CQVActor* b, float tolerance) {
    const float difference = a->GetWorldPosition().y - b->GetWorldPosition().y;
    return std::fabs(difference) < tolerance ? 0.0f : difference;
}

CQVCharacter* AsCharacter(CQVActor* actor) {
    return actor && actor->m_ClassType == CLASS_CHARACTER ? static_cast<CQVCharacter*>(actor) : nullptr;
}

uint32_t GroupsOf(CQVActor* actor) {
    const CQVCharacter* character = AsCharacter(actor);
    return character ? character->m_CharacterGroups : 0;
}

// Only a body has health: anything else counts as dead.
float HealthOf(CQVActor* actor) {
    const CQVCharacter* character = AsCharacter(actor);
    return character ? character->m_Health : 0.0f;
}

float HoldTimeOf(CQVActor* actor) {
    float hold = 0.0f;
    actor->HandleMessage(MSG_GET_HOLD_TIME, Args_Of(&hold));
    return hold;
}

void SendText(CQVActor* actor, uint32_t id, const char* text) { actor->HandleMessage(id, Args_Of(text)); }

float WrapSteer(float d) {
    if (d >= kPi) d -= kTurn * std::trunc((d + kPi) / kTurn);
    if (d < -kPi) d -= kTurn * std::trunc((d - kPi) / kTurn);
    return d;
}

// The index of the first connector of the group within reach of the point, or -1.
int32_t NearConnector(const CQVDrawGroupBase* group, const Vector3& point) {
    for (size_t j = 0; j < group->m_Connectors.size(); ++j) {
        CQVActor* connector = CQVActorSystem::GetActorById(group->m_Connectors[j]);
        if (connector && Distance(connector->GetWorldPosition(), point) < kConnectorNear)
            return static_cast<int32_t>(j);
    }
    return -1;
}

void CountVisit(RouteMemory& memory, int32_t connector) {
    // A record made for another group, or before the group gained connectors, has fewer entries.
    if (connector >= 0 && static_cast<size_t>(connector) < memory.visits.size()) ++memory.visits[connector];
}

}  // namespace

// ---------------------------------------------------------------------------
// Steering and sight

void CQVAIPlayer::SteerTowards(const Vector3& point, float speedFactor) {
    CQVCharacter* character = Character();
    if (character == nullptr) return;
    const Vector3 from = character->GetWorldPosition();
    m_SteerYaw = Vec3_YawBetween(from, point);
    TellReal(MSG_SET_ROT_Y_3D0, m_SteerYaw);
    TellReal(MSG_SET_TURN_SPEED, speedFactor * m_TurnSpeed);
    TellReal(MSG_SET_LOOK_ROT_X, Vec3_PitchBetween(from, point));
    // The farther the look must turn, the faster it turns.
    const float d = WrapSteer(m_SteerYaw - character->m_LookRotYSM);
    const float e = std::clamp(std::fabs(d) - 0.3f, 0.0f, 999.0f);
    const float f = e * 10.0f + 1.0f;
    const float v = 260.0f / Distance(from, point) * f;
    TellReal(MSG_SET_LOOK_ROT_Y_SPEED, v);
    TellReal(MSG_SET_LOOK_ROT_X_SPEED, v * 0.02f);
}

void CQVAIPlayer::SteerTowardsActor(CQVActor* actor, float speedFactor) {
    if (actor == nullptr || Character() == nullptr) return;
    SteerTowards(actor->GetWorldPosition(), speedFactor);
}

bool CQVAIPlayer::CanSee(CQVActor* actor) {
    CQVCharacter* character = Character();
    if (character == nullptr || actor == nullptr || g_ActorSystem == nullptr) return false;
    Vector3 from(0.0f, 0.0f, 0.0f), to(0.0f, 0.0f, 0.0f);
    character->HandleMessage(MSG_GET_CENTER_POINT, Args_Of(&from));
    actor->HandleMessage(MSG_GET_CENTER_POINT, Args_Of(&to));
    const ColObj* hit = g_ActorSystem->RayCast(kSightFilter, from, to, nullptr, nullptr);
    return hit && hit->owner && hit->owner->m_Id == actor->m_Id;
}

float CQVAIPlayer::UpdateStuckTimer(float radius) {
    const Vector3 here = GetWorldPosition();
    if (HorizontalDistance(here, m_StuckAnchor) > radius) {
        m_StuckAnchor = here;
        m_StuckTimer = 0.0f;
        return 0.0f;
    }
    m_StuckTimer += m_FrameDt;
    return m_StuckTimer;
}

// ---------------------------------------------------------------------------
// What the body handled

void CQVAIPlayer::OnBodyMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_ON_ENTER_DRAWGROUP:
        if (m_State != AI_STATE_INACTIVE) TakeDrawGroupRoute(Args_Get<uint32_t>(args));
        break;
    case MSG_ON_EXIT_DRAWGROUP:
        if (m_State != AI_STATE_INACTIVE) CountExitVisit(Args_Get<uint32_t>(args));
        break;
    case MSG_COLLISION_EVENT:
        if (m_State != AI_STATE_INACTIVE) OnCollision(args);
        break;
    case MSG_ON_DRAW_START:
        m_Drawn = 1;
        break;
    case MSG_ON_DRAW_STOP:
        m_Drawn = 0;
        // Out of view, a controller that cannot open doors would walk into them.
        if (m_State != AI_STATE_DEAD && !m_CanOpenDoor) SetState(AI_STATE_IDLE);
        m_NotDrawnTimer = 0.0f;
        break;
    case MSG_CHANGE_CPHEALTH:
        HurtReaction();
        break;
    case MSG_ACTION:
        ToggleFollow(args);
        break;
    case MSG_CHAR_MOTION_QUEUE_EMPTY:
        if (m_State == AI_STATE_FIGHT) ChooseFightMove();
        break;
    case MSG_ON_DIE:
        SetState(AI_STATE_DEAD);
        break;
    case MSG_ON_JUMP_STOP_42B:
        SetCharacterMotion(AI_MOTION_RUN);
        break;
    case MSG_CALLBACK_SKINLOOPING:
        if (m_State != AI_STATE_FIGHT && m_State != AI_STATE_INACTIVE) SetCharacterMotion(m_LoopMotion);
        break;
    case MSG_CALLBACK_MOTION_SET:
        if (m_State == AI_STATE_FIGHT) ArmAttack(Args_Text(args));
        break;
    default:
        break;
    }
}

void CQVAIPlayer::OnCollision(MessageArgs args) {
    CQVCharacter* character = Character();
    if (m_Cooldown > 0.0f || character == nullptr || character->IsSuspended()) return;
    const ColObj* other = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args);
    const ColObj* own = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args, sizeof(ColObj*));
    if (other == nullptr || own == nullptr || other->owner == nullptr || own->owner == nullptr) return;
    CQVActor* partner = other->owner;
    if (m_CanOpenDoor && (own->flags & COLOBJ_MARKED) && partner->m_ClassType == CLASS_DOOR) {
        if (m_State == AI_STATE_FIGHT || m_State == AI_STATE_FOLLOW) {
            const uint32_t block[2] = {character->m_Id, ACTOR_ID_NONE};
            partner->HandleMessage(MSG_ACTION, Args_Of(block));
        }
        return;
    }
    if (!g_ActorSystem || !g_ActorSystem->AreDrawGroupsConnected(static_cast<int32_t>(partner->m_DrawGroupId),
                                                                 static_cast<int32_t>(own->owner->m_DrawGroupId)))
        return;
    CQVCharacter* body = AsCharacter(partner);
    if (body == nullptr || own->name.empty()) return;
    const char sense = own->name[0];
    if (sense == 'H' || sense == 'V') Perceive(body, sense == 'H');
}

void CQVAIPlayer::FightOrFollow(CQVCharacter* other, bool follow) {
    if (follow) {
        SetTarget(other);
        SetState(AI_STATE_FOLLOW);
        m_Cooldown = kCooldown;
    } else {
        SetTarget(other);
        SetState(AI_STATE_FIGHT);
    }
}

void CQVAIPlayer::Perceive(CQVCharacter* other, bool heard) {
    CQVCharacter* character = Character();
    if (character == nullptr || other == nullptr) return;
    const bool follows = (other->m_CharacterGroups & m_FollowGroup) != 0;
    const bool fights = (other->m_CharacterGroups & m_FightGroup) != 0;
    const bool alive = other->m_Health > 0.0f;
    switch (m_State) {
    case AI_STATE_IDLE:
    case AI_STATE_SCARED:
        if (follows && m_StartFollowType == AI_FOLLOW_ON_HEARING_AND_VISION && CanSee(other)) {
            FightOrFollow(other, true);
        } else if (heard && follows && m_StartFollowType == AI_FOLLOW_ON_DISTANCE &&
                   Distance(character, other) < m_FollowDistance && CanSee(other)) {
            FightOrFollow(other, true);
        } else if (fights && alive && CanSee(other)) {
            FightOrFollow(other, false);
        }
        break;
    case AI_STATE_FIGHT:
        if (m_TimeSinceTarget > kTargetKeep && other != Target() && fights && other->m_Health >= 0.0f &&
            CanSee(other)) {
            SetTarget(other);
            m_TimeSinceTarget = 0.0f;
        }
        break;
    case AI_STATE_FOLLOW: {
        if (fights && alive && CanSee(other)) {
            FightOrFollow(other, false);
            break;
        }
        if (m_FightGroup != 0) break;
        // A follower without enemies of its own fears the controllers that fight its kind.
        CQVActor* controller = CQVActorSystem::GetActorById(other->m_ControllerId);
        if (controller == nullptr || controller->m_ClassType != CLASS_AI_PLAYER) break;
        const auto* enemy = static_cast<const CQVAIPlayer*>(controller);
        if ((enemy->m_FightGroup & character->m_CharacterGroups) == 0 || character->m_Health <= 0.0f) break;
        m_ScareTimer += m_FrameDt;
        if (m_ScareTimer > kScareTime && CanSee(other)) {
            SetState(AI_STATE_SCARED);
            m_ScareTimer = 0.0f;
        }
        break;
    }
    case AI_STATE_GO_TO:
        if (m_CanFightInGoTo && fights && alive && CanSee(other)) FightOrFollow(other, false);
        break;
    default:
        break;
    }
}

void CQVAIPlayer::ToggleFollow(MessageArgs args) {
    CQVCharacter* character = Character();
    if (m_State == AI_STATE_INACTIVE || m_Cooldown > 0.0f || character == nullptr || character->IsSuspended())
        return;
    // The actor that acted may be gone by now.
    CQVActor* actor = CQVActorSystem::GetActorById(Args_Get<uint32_t>(args));
    if (actor == nullptr || (GroupsOf(actor) & m_FollowGroup) == 0) return;
    if (m_State == AI_STATE_IDLE || m_State == AI_STATE_SCARED) {
        SetTarget(actor);
        SetState(AI_STATE_FOLLOW);
        m_Cooldown = kCooldown;
    } else if (m_State == AI_STATE_FOLLOW) {
        SetState(AI_STATE_IDLE);
        SetTarget(nullptr);
        m_Cooldown = kCooldown;
    }
}

void CQVAIPlayer::HurtReaction() {
    if (m_FightGroup == 0) return;
    if (!(m_State == AI_STATE_IDLE || (m_State == AI_STATE_GO_TO && m_CanFightInGoTo))) return;
    CQVActor* player = CQVActorSystem::FindActorByName("GA1_Player", CLASS_CHARACTER);
    if (player == nullptr || (GroupsOf(player) & m_FightGroup) == 0 || HealthOf(player) < 0.0f) return;
    SetTarget(player);
    SetState(AI_STATE_FIGHT);
}

// ---------------------------------------------------------------------------
// Following

void CQVAIPlayer::FollowStep() {
    CQVCharacter* character = Character();
    CQVActor* target = Target();
    if (character == nullptr || target == nullptr) return;
    const float d = Distance(character, target);
    float factor;
    if (d > 2.0f * m_FollowDistance) {
        SetLoopMotion(AI_MOTION_RUN);
        m_TrailMaxCount = 32;
        factor = 8.0f;
    } else if (d < 0.5f * m_FollowDistance) {
        m_Trail.clear();
        SetLoopMotion(AI_MOTION_NEUTRAL);
        m_TrailMaxCount = 2;
        factor = 1.0f;
    } else {
        SetLoopMotion(AI_MOTION_WALK);
        m_TrailMaxCount = 8;
        factor = 2.0f;
    }
    if (m_StationaryMotion == 0) {
        if (!m_Trail.empty()) {
            const float away = HorizontalDistance(GetWorldPosition(), m_Trail.front());
            if (away > kFollowGiveUp) {
                StopTrail();
                m_FollowTrail = 0;
                SetState(AI_STATE_IDLE);
                return;
            }
            if (away < kFollowTrailReached) m_Trail.pop_front();
            if (!m_Trail.empty()) SteerTowards(m_Trail.front(), factor);
        }
        const float stuck = UpdateStuckTimer(kFollowStuckRadius);
        if (m_CanJump) {
            if (stuck > 1.5f) Tell(MSG_CC_JUMP);
            if (stuck > 3.0f) SetState(AI_STATE_IDLE);
        } else if (stuck > 2.5f) {
            SetState(AI_STATE_IDLE);
        }
    } else {
        m_StuckTimer = 0.0f;
    }
    if (m_FollowMaxTime != 0.0f && m_TimeInState > m_FollowMaxTime) SetState(AI_STATE_IDLE);
}

// ---------------------------------------------------------------------------
// Fighting

void CQVAIPlayer::FightStep() {
    CQVCharacter* character = Character();
    CQVActor* target = Target();
    if (character == nullptr || target == nullptr) return;
    if (m_AIType == AI_TYPE_STATIC) {
        FightStepStatic(character, target);
    } else {
        if (HealthOf(target) <= 0.0f) {
            SetTarget(nullptr);
            SetState(AI_STATE_IDLE);
            return;
        }
        FightStepNormal(character, target);
    }
    m_AttackEvalTimer -= m_FrameDt;
    if (m_AttackEvalTimer < 0.0f) TryHit();
}

CQVActor* CQVAIPlayer::Node(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_NodeList.size()) return nullptr;
    CQVActor* node = CQVActorSystem::GetActorById(m_NodeList[static_cast<size_t>(index)]);
    return node && node->m_ClassType == CLASS_AI_HELPER ? node : nullptr;
}

void CQVAIPlayer::FightStepNormal(CQVCharacter* character, CQVActor* target) {
    const float dt = m_FrameDt;
    CQVActor* node = Node(m_NodeIndex);
    if (node) {
        SteerTowardsActor(node, 4.0f);
        SetLoopMotion(AI_MOTION_WALK);
        if (Distance(this, target) < kNodeLeave) {
            m_NodeIndex = -1;
            m_Seen = 1;
            ChooseFightMove();
        } else if (Distance(this, node) < static_cast<CQVAIHelper*>(node)->m_Radius + kNodeReach) {
            m_NodeIndex += m_NodeStep;
            if (m_NodeIndex < 0 || static_cast<size_t>(m_NodeIndex) >= m_NodeList.size()) {
                m_NodeIndex = -1;
                if (!FindHelperForTarget(target)) ChooseFightMove();
            }
        }
        return;
    }
    // A node that is gone leaves the walk straight at the target.
    m_NodeIndex = -1;
    if (HeightDifference(this, target, kHeightTolerance) != 0.0f) {
        m_HeightTimer += dt;
        if (m_HeightTimer > kHeightTimeLimit) {
            FindHelperForTarget(target);
            m_HeightTimer = 0.0f;
        }
    } else {
        m_HeightTimer = 0.0f;
    }
    m_TrailMaxCount = 65;
    if (m_FollowTrail && !m_Trail.empty() &&
        HorizontalDistance(m_Trail.front(), character->GetWorldPosition()) < kFightTrailReached)
        m_Trail.pop_front();
    const float d = Distance(character, target);
    if (m_StationaryMotion) m_StuckTimer = 0.0f;
    m_SightTick += dt;
    if (m_SightTick > kSightInterval) {
        m_SightTick = 0.0f;
        m_LostTime += kSightInterval;
        m_SeenTime += kSightInterval;
        const bool s = CanSee(target);
        if (s && !m_Seen) m_SeenTime = 0.0f;
        if (!s && m_Seen) m_LostTime = 0.0f;
        // The lost time also grows while the target stays in sight: a long fight ends in Idle,
        // and perception may start it again.
        if (m_LostTime > kLostLimit) {
            m_LostTime = 0.0f;
            SetState(AI_STATE_IDLE);
        }
        if (m_SeenTime > kSeenLimit) {
            if (!s && !m_FollowTrail) {
                m_SeenTime = 0.0f;
                const Vector3 here = character->GetWorldPosition();
                for (size_t i = 0; i < m_Trail.size(); ++i) {
                    const Vector3 point = m_Trail[i];
                    m_Trail.pop_front();
                    if (Distance(point, here) < kFightTrailPrune) break;
                }
                m_FollowTrail = 1;
            }
            if (s && d > 2.0f * m_HitDistance) {
                m_SeenTime = 0.0f;
                m_FollowTrail = 0;
            }
        }
        m_Seen = s ? 1 : 0;
    }
    if (d < m_HitDistance && m_Seen && character->m_MotionQueue.size() > 1) {
        Tell(MSG_MOTIONQUEUE_CLEAR);
        m_FollowTrail = 0;
        m_Trail.clear();
        ChooseFightMove();
    }
    if (d < m_FightDistance && m_Seen) {
        SteerTowardsActor(target, 6.0f);
    } else if (m_FollowTrail && !m_Trail.empty()) {
        SteerTowards(m_Trail.front(), 6.0f);
    } else {
        SteerTowardsActor(target, 6.0f);
    }
}

void CQVAIPlayer::FightStepStatic(CQVCharacter* character, CQVActor* target) {
    m_SightTick += m_FrameDt;
    if (m_SightTick > kSightInterval) {
        m_SightTick = 0.0f;
        m_LostTime += kSightInterval;
        const bool s = CanSee(target);
        if (s && !m_Seen) m_LostTime = 0.0f;
        if (m_LostTime > kLostLimit) {
            m_LostTime = 0.0f;
            SetState(AI_STATE_IDLE);
        }
        m_Seen = s ? 1 : 0;
    }
    const float d = Distance(character, target);
    if (d < m_FightDistance) SteerTowardsActor(target, 6.0f);
    if (d < m_HitDistance && character->m_MotionQueue.size() >= 2) {
        Tell(MSG_MOTIONQUEUE_CLEAR);
        ChooseFightMove();
    }
}

uint32_t CQVAIPlayer::FindHelperForTarget(CQVActor* target) {
    m_NodeIndex = -1;
    m_NodeStep = -1;
    if (m_NodeList.empty() || target == nullptr) return 0;
    const float height = HeightDifference(this, target, kHeightTolerance);
    if (height != 0.0f) {
        for (size_t i = 0; i < m_NodeList.size(); ++i) {
            CQVActor* node = Node(static_cast<int32_t>(i));
            if (node && HeightDifference(this, node, kHeightTolerance) == 0.0f) {
                m_NodeIndex = static_cast<int32_t>(i);
                break;
            }
        }
        // The target is higher: up the list.
        if (height < 0.0f) m_NodeStep = 1;
    }
    return 1;
}

void CQVAIPlayer::ChooseFightMove() {
    CQVCharacter* character = Character();
    const int r = Random_Next() % 6;
    int32_t attack;
    // Rows whose weights are all 0 give no tickets: they choose as no rows do.
    if (m_AttackTickets.empty()) {
        attack = Random_Next() % 4;
    } else {
        attack = static_cast<int32_t>(m_AttackTickets[static_cast<size_t>(Random_Next()) % m_AttackTickets.size()]);
        m_SelectedAttack = attack;
    }
    if (character == nullptr) return;
    char name[32];
    std::snprintf(name, sizeof name, "M_Attack%d", attack);
    CQVActor* target = Target();
    const float d = target ? Distance(character, target) : kNoTargetDistance;
    const auto push = [character](const char* motion) { SendText(character, MSG_MOTIONQUEUE_PUSH_BACK, motion); };
    if (!m_NeverRunInFight && d > m_FightDistance) {
        push("R_Forward");
        return;
    }
    if (d < 0.5f * m_HitDistance && m_Seen && m_FightDistance > kLongFight) {
        push(name);
        return;
    }
    if (!m_NeverRunInFight && !m_Seen) {
        push("R_Forward");
        return;
    }
    push(name);
    for (const char* move : kFightMoves[r]) {
        if (move) push(move);
    }
}

void CQVAIPlayer::ArmAttack(const char* motion) {
    if (motion == nullptr || std::strlen(motion) < 2) return;
    const char* base = motion + 2;
    for (const char* attack : {"Attack0", "Attack1", "Attack2", "Attack3"}) {
        if (std::strcmp(base, attack) != 0) continue;
        // No rows, or a choice that no longer names one: the evaluation of a row-less fighter.
        const AttackParam* row = SelectedAttack();
        m_AttackEvalTimer = row ? row->evalDelay : kDefaultEvalDelay;
        return;
    }
}

void CQVAIPlayer::TryHit() {
    CQVCharacter* character = Character();
    CQVActor* target = Target();
    if (character && target && Distance(character, target) < m_HitDistance && HoldTimeOf(target) <= 0.0f) {
        const AttackParam* row = SelectedAttack();
        ApplyHit(target, row ? row->effectMul : 1.0f);
        Tell(MSG_MOTIONQUEUE_CLEAR);
        TellText(MSG_MOTIONQUEUE_PUSH_BACK, "M_Back");
    }
    m_AttackEvalTimer = 1e38f;
}

void CQVAIPlayer::ApplyHit(CQVActor* victim, float multiplier) {
    if (victim == nullptr || HoldTimeOf(victim) > 0.0f) return;
    char name[32];
    if (m_GethitId != 0) {
        std::snprintf(name, sizeof name, "Gethit%u", m_GethitId - 1);
        SendText(victim, MSG_SET_MOVEMENT_34D, name);
    }
    if (m_DamageId != 0) {
        std::snprintf(name, sizeof name, "Damage%u", m_DamageId - 1);
        SendText(victim, MSG_SET_NEXT_MOVEMENT, name);
    }
    float hold = m_HoldTime;
    victim->HandleMessage(MSG_SET_HOLD_TIME, Args_Of(&hold));
    // A copy: the victim's handlers may change the list.
    const std::vector<HitEffect> effects = m_HitEffects;
    for (const HitEffect& effect : effects) Character_ApplyHitEffect(victim, effect, multiplier);
}

// ---------------------------------------------------------------------------
// Going to places

void CQVAIPlayer::GoToStep() {
    SetLoopMotion(m_GoToMotion);
    CQVCharacter* character = Character();
    if (m_GoToPoints.empty() || character == nullptr) return;
    const Vector3 next = m_GoToPoints.front();
    SteerTowards(next, 8.0f);
    if (Distance(character->GetWorldPosition(), next) < kGoToReached) m_GoToPoints.erase(m_GoToPoints.begin());
}

void CQVAIPlayer::ConnectorStep() {
    CQVActor* connector = CQVActorSystem::GetActorById(m_RouteConnector);
    if (connector == nullptr) return;
    SteerTowardsActor(connector, 4.0f);
    SetLoopMotion(AI_MOTION_WALK);
}

void CQVAIPlayer::SearchAndGoToActor(const char* name) {
    CQVActor* found = CQVActorSystem::FindActorByName(name, 0xFFFFFFFF);
    if (found == nullptr || g_ActorSystem == nullptr) return;
    CQVActor* from = m_Parent ? m_Parent : this;
    CQVDrawGroup* start = DrawGroup_Get(g_ActorSystem->FindDrawGroupAt(from->GetWorldPosition(), DRAWGROUP_FIRST_LEVEL));
    std::vector<Vector3> route;
    if (start && start->FindRoute(found->m_DrawGroupId, route)) {
        route.push_back(found->GetWorldPosition());
        m_GoToPoints = route;
        SetState(AI_STATE_GO_TO);
    } else {
        m_GoToPoints.clear();
    }
}

// ---------------------------------------------------------------------------
// Route memory

void CQVAIPlayer::TakeDrawGroupRoute(uint32_t group) {
    CQVDrawGroupBase* cell = group < DRAWGROUP_LIST_COUNT ? DrawGroups_Get(group) : nullptr;
    if (cell == nullptr) return;
    m_NodeIndex = -1;
    m_NodeList.clear();
    std::vector<CQVActor*> helpers;
    CollectDescendantsArgs collect{CLASS_AI_HELPER, 0xFFFFFFFF, &helpers};
    cell->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&collect));
    for (const CQVActor* helper : helpers) m_NodeList.push_back(helper->m_Id);
    if (!m_UseMemory) return;
    m_RouteIndex = -1;
    for (size_t i = m_RouteMemories.size(); i-- > 0;) {
        if (m_RouteMemories[i].group == group) {
            m_RouteIndex = static_cast<int32_t>(i);
            break;
        }
    }
    if (m_RouteIndex == -1) {
        m_RouteMemories.push_back(RouteMemory{group, std::vector<uint32_t>(cell->m_Connectors.size(), 0)});
        m_RouteIndex = static_cast<int32_t>(m_RouteMemories.size()) - 1;
    }
    RouteMemory& memory = m_RouteMemories[static_cast<size_t>(m_RouteIndex)];
    CountVisit(memory, NearConnector(cell, GetWorldPosition()));
    if (m_State != AI_STATE_CONNECTOR) return;
    m_RouteConnector = ACTOR_ID_NONE;
    for (size_t j = 0; j < cell->m_Connectors.size() && j < memory.visits.size(); ++j) {
        if (memory.visits[j] == 0) {
            m_RouteConnector = cell->m_Connectors[j];
            break;
        }
    }
}

void CQVAIPlayer::CountExitVisit(uint32_t group) {
    CQVDrawGroupBase* cell = group < DRAWGROUP_LIST_COUNT ? DrawGroups_Get(group) : nullptr;
    if (!m_UseMemory || cell == nullptr || m_RouteIndex < 0 ||
        static_cast<size_t>(m_RouteIndex) >= m_RouteMemories.size())
        return;
    CountVisit(m_RouteMemories[static_cast<size_t>(m_RouteIndex)], NearConnector(cell, GetWorldPosition()));
}
