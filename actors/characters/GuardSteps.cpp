// The guard's step for each state and its walk along the node tree: the
// guard is the root of its path, its Path Node children the first nodes,
// each node's Path Node children its possible successors.

#include "actors/characters/Guard.h"
#include "actors/characters/PathNode.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/Random.h"

#include <cmath>

namespace {

constexpr float kWakeTime = 4.0f;
constexpr float kHuntTrailMax = 64;
constexpr float kTrailReached = 100.0f;
constexpr float kReturnSample = 0.333f;
constexpr float kSightInterval = 0.5f;
constexpr float kLostLimit = 5.0f;
constexpr float kTrailStopDistance = 200.0f;
constexpr float kHitWait = 3.0f;
constexpr float kHuntLimit = 15.0f;
constexpr float kReturnJumpWait = 3.0f;
constexpr float kStuckLimit = 30.0f;
constexpr float kHitStateTime = 2.0f;
constexpr float kPauseInHunt = 10.0f;
constexpr float kFightRestart = 2.0f;
constexpr float kHuntedLimit = 30.0f;
constexpr float kRespawnRaise = 60.0f;
constexpr float kQueryLowering = 20.0f;

float HorizontalDistance(const Vector3& a, const Vector3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

float HoldTimeOf(CQVActor* actor) {
    float hold = 0.0f;
    if (actor) actor->HandleMessage(MSG_GET_HOLD_TIME, Args_Of(&hold));
    return hold;
}

}  // namespace

bool CQVGuard::Reached(const Vector3& point) {
    CQVCharacter* body = Body();
    return body && HorizontalDistance(body->GetWorldPosition(), point) < m_NodeTurnDistance;
}

bool CQVGuard::Reached(CQVActor* actor) { return actor && Reached(actor->GetWorldPosition()); }

void CQVGuard::JumpStep(float dt) {
    m_JumpTimer += dt;
    if (m_JumpTimer > m_JumpInterval) {
        m_JumpTimer = 0.0f;
        Tell(MSG_CC_JUMP);
    }
}

// The body goes to the actor, raised, turned as the actor is turned.
void CQVGuard::PlaceBody(CQVActor* at) {
    CQVCharacter* body = Body();
    if (body == nullptr || at == nullptr) return;
    Vector3 position = at->GetWorldPosition();
    position.y += kRespawnRaise;
    body->SendValue(MSG_SET_POSITION, position);
    body->SendValue(MSG_SET_QUATERNION, at->AskValue<Quaternion>(MSG_GET_WSQUATERNION, Quaternion{0, 0, 0, 1}));
}

void CQVGuard::StepAI(float dt) {
    switch (m_State) {
    case GUARD_SLEEP:
        SetMovementMode(GUARD_MOVE_SLEEP);
        break;
    case GUARD_PATROL: {
        CQVActor* node = CurrentNode();
        SteerTowardsActor(node, 2.0f);
        SetMovementMode(GUARD_MOVE_WALK);
        if (Reached(node)) AdvanceNode();
        break;
    }
    case GUARD_HUNT:
        HuntStep(dt);
        break;
    case GUARD_RETURN_TO_PATROL:
        ReturnStep(dt);
        break;
    case GUARD_HIT:
        SteerTowardsActor(Target(), 10.0f);
        SetMovementMode(GUARD_MOVE_GUARDING);
        if (m_StateTime > kHitStateTime) SetState(GUARD_RETURN_TO_PATROL);
        break;
    case GUARD_PAUSE_IN_HUNT:
        SetMovementMode(GUARD_MOVE_EXHAUSTED);
        if (m_StateTime > kPauseInHunt) SetState(GUARD_RETURN_TO_PATROL);
        break;
    case GUARD_FIGHT:
        FightStep();
        break;
    case GUARD_HUNTED_STATE: {
        CQVActor* node = CurrentNode();
        SteerTowardsActor(node, 2.0f);
        SetMovementMode(GUARD_MOVE_RUN);
        if (Reached(node)) {
            AdvanceNode();
            break;
        }
        if (m_StateTime > kHuntedLimit) SetState(GUARD_PATROL);
        break;
    }
    case GUARD_IDLE:
        SetMovementMode(GUARD_MOVE_NEUTRAL);
        break;
    case GUARD_DEAD:
        DeadStep();
        break;
    case GUARD_PAUSE_IN_PATROL:
        SetMovementMode(GUARD_MOVE_NEUTRAL);
        if (m_StateTime > m_PauseTime) SetState(GUARD_PATROL);
        break;
    default:
        break;
    }
}

void CQVGuard::HuntStep(float dt) {
    if (m_PreviousState == GUARD_SLEEP && m_StateTime < kWakeTime) {
        SetMovementMode(GUARD_MOVE_NEUTRAL);
        return;
    }
    CQVActor* target = Target();
    CQVCharacter* body = Body();
    if (target == nullptr || body == nullptr) {
        // The hunted actor is gone: nothing left to hunt.
        SetState(GUARD_RETURN_TO_PATROL);
        return;
    }
    m_TrailMax = static_cast<uint32_t>(kHuntTrailMax);
    // Along the trail while points remain, else straight at the target (the
    // trail stops once the target is near).
    bool onTrail = false;
    if (m_TrailTargetId != ACTOR_ID_NONE && m_TrailFollow == 1 && !m_Trail.empty()) {
        if (HorizontalDistance(m_Trail.front(), body->GetWorldPosition()) < kTrailReached) m_Trail.pop_front();
        onTrail = !m_Trail.empty();
    }
    if (onTrail) {
        SteerTowardsPoint(m_Trail.front(), 6.0f);
    } else {
        SteerTowardsActor(target, 6.0f);
    }
    m_ReturnTrailTimer += dt;
    if (m_ReturnTrailTimer > kReturnSample) {
        m_ReturnTrail.push_back(body->GetWorldPosition());
        m_ReturnTrailTimer = 0.0f;
    }
    m_VisibilityTimer += dt;
    if (m_VisibilityTimer > kSightInterval) {
        if (CanSee(target)) {
            m_LostTime = 0.0f;
        } else {
            m_LostTime += m_VisibilityTimer;
        }
        if (m_LostTime > kLostLimit) {
            SetState(GUARD_RETURN_TO_PATROL);
            return;
        }
        m_VisibilityTimer = 0.0f;
    }
    const float d = Vec3_Length(body->GetWorldPosition() - target->GetWorldPosition());
    if (m_TrailTargetId != ACTOR_ID_NONE && d < kTrailStopDistance) StopTrail();
    if (m_StateTime > kHitWait && d < m_HitDistance && CanSee(target) && HoldTimeOf(body) <= 0.0f) {
        SetState(GUARD_HIT);
        return;
    }
    SetMovementMode(GUARD_MOVE_RUN);
    JumpStep(dt);
    if (m_StateTime > kHuntLimit) SetState(GUARD_PAUSE_IN_HUNT);
}

void CQVGuard::ReturnStep(float dt) {
    CQVCharacter* body = Body();
    if (!m_ReturnTrail.empty()) {
        const Vector3 point = m_ReturnTrail.back();
        SteerTowardsPoint(point, 4.0f);
        if (Reached(point)) {
            m_ReturnTrail.pop_back();
            if (FindNearestNode() == 1) {
                SetState(GUARD_PATROL);
                return;
            }
        }
    } else {
        SteerTowardsActor(PreviousNode(), 4.0f);
    }
    if (Reached(PreviousNode())) {
        SetState(GUARD_PATROL);
        return;
    }
    if (m_StateTime >= kReturnJumpWait) JumpStep(dt);
    SetMovementMode(GUARD_MOVE_WALK);
    if (m_StateTime > kStuckLimit && body) {
        PlaceBody(this);
        SetState(GUARD_PATROL);
        m_CurrentNodeId = m_Id;
        AdvanceNode();
        m_StateTime = 0.0f;
    }
}

void CQVGuard::FightStep() {
    CQVActor* target = Target();
    CQVCharacter* body = Body();
    if (target == nullptr || body == nullptr) {
        // The fought actor is gone.
        SetState(GUARD_RETURN_TO_PATROL);
        return;
    }
    SteerTowardsActor(target, 10.0f);
    const float d = Vec3_Length(body->GetWorldPosition() - target->GetWorldPosition());
    if (d > m_FightDistance && m_FightTimer > kFightRestart) {
        SetMovementMode(GUARD_MOVE_RUN);
        m_FightTimer = 0.0f;
        return;
    }
    if (m_AttackReady) ChooseAttack(d);
}

void CQVGuard::DeadStep() {
    if (m_StateTime <= m_DeadDelay) return;
    CQVCharacter* body = Body();
    switch (m_DeadType) {
    case GUARD_DEAD_DELETE:
        if (g_ActorSystem) {
            if (body) g_ActorSystem->QueueDelete(body);
            m_BodyId = ACTOR_ID_NONE;
            g_ActorSystem->QueueDelete(this);
        }
        break;
    case GUARD_DEAD_SPAWN_ON_ROOT:
        PlaceBody(this);
        TellReal(MSG_SET_HEALTH, m_StartHealth);
        TellWord(MSG_SET_DEAD_LOCK, 0);
        m_TimeSinceHit = 0.0f;
        m_CurrentNodeId = m_Id;
        AdvanceNode();
        SetState(GUARD_PATROL);
        break;
    case GUARD_DEAD_SPAWN_RANDOM:
        if (FindNearestNode() == 1) {
            PlaceBody(CurrentNode());
        } else {
            PlaceBody(this);
            m_CurrentNodeId = m_Id;
        }
        TellWord(MSG_SET_DEAD_LOCK, 0);
        TellReal(MSG_SET_HEALTH, m_StartHealth);
        m_TimeSinceHit = 0.0f;
        AdvanceNode();
        SetState(GUARD_PATROL);
        break;
    case GUARD_DEAD_SPAWN_ON_PLACE:
        TellReal(MSG_SET_HEALTH, m_StartHealth);
        TellWord(MSG_SET_DEAD_LOCK, 0);
        m_TimeSinceHit = 0.0f;
        SetState(GUARD_RETURN_TO_PATROL);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// The node walk

void CQVGuard::AdvanceNode() {
    CQVActor* node = CurrentNode();
    m_PreviousNodeId = m_CurrentNodeId;
    if (m_UseNodeTime && node) {
        m_PauseTime = node->AskValue<float>(MSG_GET_PATHNODE_TIME);
        if (m_PauseTime != 0.0f) SetState(GUARD_PAUSE_IN_PATROL);
    }
    // A node gone from under the walk starts it again from the root.
    if (node == nullptr) node = this;
    node = m_Forward == 1 ? NextPathNode(node) : PreviousPathNode(node);
    SetCurrentNode(node);
}

CQVActor* CQVGuard::NextPathNode(CQVActor* node) {
    std::vector<CQVActor*> bag;
    for (CQVActor* child : node->m_Children) {
        if (child->m_ClassType != CLASS_PATH_NODE) continue;
        const uint32_t weight = static_cast<CQVPathNode*>(child)->m_RandWeight;
        for (uint32_t i = 0; i < weight; ++i) bag.push_back(child);
    }
    if (!bag.empty()) return bag[static_cast<size_t>(Random_Next()) % bag.size()];
    m_Forward = 0;
    const bool loops = node->m_ClassType == CLASS_PATH_NODE &&
                       static_cast<CQVPathNode*>(node)->m_EndType == PATHNODE_END_LOOP;
    if (loops || node == this || node->m_Parent == nullptr) return this;
    return node->m_Parent;
}

CQVActor* CQVGuard::PreviousPathNode(CQVActor* node) {
    if (node->m_Parent && node->m_Parent->m_ClassType == CLASS_PATH_NODE) return node->m_Parent;
    m_Forward = 1;
    return this;
}

int CQVGuard::FindNearestNode() {
    CQVCharacter* body = Body();
    if (body == nullptr) return 0;
    PathNodeQuery query;
    query.point = body->GetWorldPosition();
    query.point.y -= kQueryLowering;
    query.bestDistance = Vec3_Length(query.point - GetWorldPosition());
    query.bestId = m_Id;
    // The children list may change under a handler: a copy is walked.
    const std::vector<CQVActor*> children = m_Children;
    for (CQVActor* child : children) child->HandleMessage(MSG_PATHNODE_FIND_NEAREST, Args_Of(&query));
    CQVActor* winner = query.bestId == m_Id ? this : CQVActorSystem::GetActorById(query.bestId);
    if (winner == nullptr || !HasClearLine(winner)) return 0;
    m_CurrentNodeId = winner->m_Id;
    m_Forward = 0;
    return 1;
}
