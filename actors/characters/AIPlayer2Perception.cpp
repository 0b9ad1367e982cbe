// The AI Player 2's senses and aim: what its sensors touch, the line of
// sight from the body's eyes, the upkeep of its target with the attack
// events, the switch to a second enemy, the turn away from walls, the upper
// body's aim through two skin layers, the head, the body's heading and the
// search for a shelter among the AI Helpers of its draw group.

#include "actors/characters/AIHelper.h"
#include "actors/characters/AIPlayer2.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTurn = 2.0f * kPi;

constexpr float kSightSample = 0.4f;
constexpr float kAttackStart = 0.5f;
constexpr float kAttackStop = 1.0f;
constexpr float kSwitchDelay = 4.0f;
constexpr float kMinVisibility = 0.03f;
constexpr float kAvoidTime = 0.3f;
constexpr float kWallNormalY = 0.1f;
constexpr uint32_t kIgnoredByAI = 0x4000000;
constexpr float kShelterBehind = 150.0f;
constexpr int kShelterScatter = 800;

// Brings x into [-pi, pi] by whole turns.
float Wrap(float x) {
    if (x > kPi) return (x + kPi) - kTurn * std::trunc((x + kPi) / kTurn) - kPi;
    if (x < -kPi) return (x - kPi) - kTurn * std::trunc((x - kPi) / kTurn) + kPi;
    return x;
}

// Moves value toward goal by at most step, stopping on it.
float Approach(float value, float goal, float step) {
    if (value < goal) return std::min(value + step, goal);
    if (value > goal) return std::max(value - step, goal);
    return value;
}

// The body's forward axis: the third column of its world matrix.
Vector3 ForwardAxis(CQVActor* body) {
    const Matrix& m = body->GetWorldMatrix();
    return Vector3(m.m[0][2], m.m[1][2], m.m[2][2]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Sight

bool CQVAIPlayer2::CanSee(CQVActor* target) {
    CQVActor* body = Body();
    if (body == nullptr || target == nullptr || g_ActorSystem == nullptr) return false;
    const uint32_t targetId = target->m_Id;
    Vector3 from = body->AskValue<Vector3>(MSG_GET_VISION_POINT, body->GetWorldPosition());
    from.y += 20.0f;
    const Vector3 to = target->AskValue<Vector3>(MSG_GET_CENTER_POINT, target->GetWorldPosition());
    const ColObj* hit =
        g_ActorSystem->RayCast(RayFilter{m_RayGroup, m_RayReceive, m_RayExclude}, from, to, nullptr, nullptr);
    return hit && hit->owner && hit->owner->m_Id == targetId;
}

// ---------------------------------------------------------------------------
// What the sensors and the body handled

void CQVAIPlayer2::OnSensorMessage(uint32_t id, MessageArgs args, CQVActor* sender) {
    switch (m_State) {
    case AI2_STATE_HOSTAGE_TAKER:
    case AI2_STATE_INACTIVE:
    case AI2_STATE_DEAD:
    case AI2_STATE_GOTO_SHELTER:
    case AI2_STATE_SHELTER:
        return;
    default:
        break;
    }
    if (id != MSG_COLLISION_EVENT || g_ActorSystem == nullptr) return;
    const ColObj* a = Args_Pointer<ColObj>(id, args);
    const ColObj* b = Args_Pointer<ColObj>(id, args, sizeof(ColObj*));
    if (a == nullptr || b == nullptr || a->owner == nullptr || b->owner == nullptr) return;
    CQVActor* body = Body();
    CQVActor* other = a->owner;
    if (other == body) return;
    if (!g_ActorSystem->AreDrawGroupsConnected(static_cast<int32_t>(other->m_DrawGroupId),
                                               static_cast<int32_t>(b->owner->m_DrawGroupId)))
        return;
    if (sender == m_VisionLink.target) m_SeenId = other->m_Id;
    if (sender == m_HearingLink.target) {
        m_HeardId = other->m_Id;
        const float noise = other->AskValue<float>(MSG_GET_NOISE_LEVEL, 0.0f);
        const Vector3 here = body ? body->GetWorldPosition() : m_OwnPosition;
        if (Vec3_Length(here - other->GetWorldPosition()) > noise * b->boxMax.x) return;
    }
    if (m_FightGroup == 0) return;
    CQVActor* seen = ById(m_SeenId);
    CQVActor* heard = ById(m_HeardId);
    if (m_State == AI2_STATE_FIGHT && (seen || heard)) {
        CQVActor* target = Target();
        CQVActor* candidate = heard && heard != target ? heard : (seen && seen != target ? seen : nullptr);
        if (candidate) {
            const uint32_t groups = candidate->AskValue<uint32_t>(MSG_GET_CHARACTERGROUP, 0);
            const float health = candidate->AskValue<float>(MSG_GET_HEALTH, 0.0f);
            if ((groups & m_FightGroup) && health > 0.0f) m_NewEnemyLink.SetTarget(ById(candidate->m_Id));
        }
        seen = ById(m_SeenId);
        heard = ById(m_HeardId);
    }
    if ((seen == nullptr && heard == nullptr) || m_State == AI2_STATE_FIGHT || m_State == AI2_STATE_PRE_FIGHT) return;
    body = Body();
    const uint32_t own = body ? body->AskValue<uint32_t>(MSG_GET_CHARACTERGROUP, 0) : 0;
    CQVActor* enemy = nullptr;
    for (CQVActor* candidate : {heard, seen}) {
        if (candidate == nullptr) continue;
        const uint32_t groups = candidate->AskValue<uint32_t>(MSG_GET_CHARACTERGROUP, 0);
        if ((groups & m_FightGroup) && !(groups & own)) {
            enemy = candidate;
            break;
        }
    }
    if (enemy == nullptr) return;
    const uint32_t enemyId = enemy->m_Id;
    if (enemy->AskValue<float>(MSG_CHAR_VISIBILITY, 0.0f) < kMinVisibility) return;
    if ((enemy = ById(enemyId)) == nullptr || enemy->AskValue<float>(MSG_GET_HEALTH, 0.0f) <= 0.0f) return;
    if ((enemy = ById(enemyId)) == nullptr || !CanSee(enemy)) return;
    SetState(m_PreFightTime <= 0.0f ? AI2_STATE_FIGHT : AI2_STATE_PRE_FIGHT);
    // A target already held, such as a followed leader, stays.
    if (Target() == nullptr) m_TargetLink.SetTarget(ById(enemyId));
}

void CQVAIPlayer2::OnBodyMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_COLLISION_EVENT:
        AvoidWalls(args);
        break;
    case MSG_ON_ENTER_DRAWGROUP:
        CollectHelpers(Args_Get<uint32_t>(args));
        break;
    case MSG_ON_DIE:
        SetState(AI2_STATE_DEAD);
        break;
    case MSG_CALLBACK_SKINLOOPING:
        if (Args_Get<uint32_t>(args) == 0 && m_State != AI2_STATE_INACTIVE && !m_WantedMotion.empty()) {
            // A copy: the body's handlers may change the wanted motion while they run.
            const std::string motion = m_WantedMotion;
            if (CQVActor* body = Body()) body->HandleMessage(MSG_SET_MOTION, Args_Of(motion.c_str()));
        }
        break;
    default:
        break;
    }
}

void CQVAIPlayer2::AvoidWalls(MessageArgs args) {
    const ColObj* a = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args);
    const ColObj* b = Args_Pointer<ColObj>(MSG_COLLISION_EVENT, args, sizeof(ColObj*));
    if (a == nullptr || b == nullptr || b->owner == nullptr || (a->flags & kIgnoredByAI)) return;
    const SimState* state = b->owner->m_SimState;
    if (state == nullptr) return;
    for (const SimContact& contact : state->contacts) {
        Vector3 normal;
        std::memcpy(&normal, contact.words + 3, sizeof normal);
        if (normal.y >= kWallNormalY) continue;
        m_AvoidFlag = 1;
        m_AvoidTime = kAvoidTime;
        m_AvoidDirection += normal;
    }
    if (m_AvoidFlag) Vec3_Normalize(&m_AvoidDirection, m_AvoidDirection);
}

void CQVAIPlayer2::CollectHelpers(uint32_t group) {
    CQVDrawGroupBase* cell = group < DRAWGROUP_LIST_COUNT ? DrawGroups_Get(group) : nullptr;
    if (cell == nullptr) return;
    m_Helpers.clear();
    std::vector<CQVActor*> helpers;
    CollectDescendantsArgs collect{CLASS_AI_HELPER, 0xFFFFFFFF, &helpers};
    cell->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&collect));
    for (const CQVActor* helper : helpers) m_Helpers.push_back(helper->m_Id);
}

// ---------------------------------------------------------------------------
// The target

void CQVAIPlayer2::TargetUpkeep(float dt) {
    CQVActor* target = Target();
    if (target == nullptr) return;
    if (target->AskValue<float>(MSG_GET_HEALTH, -1.0f) <= 0.0f) {
        m_TargetLink.Unlink();
        if (m_AttackFlag) StopAttack();
        return;
    }
    if ((target = Target()) == nullptr) return;
    m_TargetPosition = target->GetWorldPosition();
    m_TargetDistance = Vec3_Length(m_TargetPosition - m_OwnPosition);
    m_TargetVisionPoint = target->AskValue<Vector3>(MSG_GET_VISION_POINT, m_TargetPosition);
    if ((target = Target()) == nullptr) return;
    m_TargetCenterPoint = target->AskValue<Vector3>(MSG_GET_CENTER_POINT, m_TargetPosition);
    m_SightTimer += dt;
    if (m_SightTimer > kSightSample) {
        if (CanSee(Target())) {
            m_VisibleTime += m_SightTimer;
            m_HiddenTime = 0.0f;
        } else {
            m_HiddenTime += m_SightTimer;
            m_VisibleTime = 0.0f;
        }
        m_SightTimer = 0.0f;
    }
    if (m_FightGroup == 0 ||
        !(m_State == AI2_STATE_FIGHT || m_State == AI2_STATE_GOTO_SHELTER || m_State == AI2_STATE_SHELTER))
        return;
    if (m_VisibleTime > 0.0f && !m_AttackFlag && std::fabs(m_AimError) < kAttackStart) {
        SendSelf(MSG_ON_AI_PLAYER2_START_ATTACK);
        m_AttackFlag = 1;
    }
    if (m_AttackFlag && (m_HiddenTime > 0.0f || std::fabs(m_AimError) > kAttackStop)) StopAttack();
}

void CQVAIPlayer2::NewEnemyUpkeep(float dt) {
    m_SwitchTimer += dt;
    CQVActor* enemy = NewEnemy();
    if (enemy == nullptr || m_TimeInState <= kSwitchDelay || m_SwitchTimer <= kSwitchDelay) return;
    if (enemy->AskValue<float>(MSG_GET_HEALTH, -1.0f) <= 0.0f) {
        m_NewEnemyLink.Unlink();
        return;
    }
    m_TargetLink.SetTarget(NewEnemy());
    m_WantedMotion = "M_Forward";
    m_SwitchTimer = 0.0f;
    m_VisibleTime = 0.0f;
    m_HiddenTime = 0.0f;
    if (m_AttackFlag) StopAttack();
    if (m_FightGroup != 0 && (m_State == AI2_STATE_FIGHT || m_State == AI2_STATE_GOTO_SHELTER))
        SetState(AI2_STATE_FIGHT);
}

void CQVAIPlayer2::AvoidanceExpiry(float dt) {
    if (m_AvoidTime > 0.0f) m_AvoidTime -= dt;
    if (CQVActor* body = Body()) {
        char state[16] = {};
        body->HandleMessage(MSG_GET_STATE_34A, Args_Of(state));
        if (state[0] == 'R') m_AvoidTime = -1.0f;
    }
    if (m_AvoidTime < 0.0f) {
        m_AvoidDirection = Vector3(0.0f, 0.0f, 0.0f);
        m_AvoidFlag = 0;
    }
}

// ---------------------------------------------------------------------------
// Aim, head and heading

void CQVAIPlayer2::AimAt(const Vector3& point, float rate) {
    CQVActor* body = Body();
    if (body == nullptr) return;
    const Vector3 c = body->AskValue<Vector3>(MSG_GET_CENTER_POINT, body->GetWorldPosition());
    if ((body = Body()) == nullptr) return;
    const float bodyYaw = Vec3_GetYaw(ForwardAxis(body));
    const float yawTo = Vec3_YawBetween(c, point);
    const float pitchTo = Vec3_PitchBetween(c, point);
    float yawError = Wrap(bodyYaw + yawTo - 0.1f);
    float pitchError = Wrap(pitchTo);
    float lookSpeed = 100.0f;
    // A point behind the body: the aim goes back to the middle, the look turns slowly.
    if (std::fabs(yawError) > 2.6f) {
        yawError = 0.0f;
        pitchError = 0.0f;
        lookSpeed = 20.0f;
    }
    TellBody(MSG_SET_LOOK_ROT_X_SPEED, lookSpeed);
    TellBody(MSG_SET_LOOK_ROT_Y_SPEED, lookSpeed);
    TellBody(MSG_SET_LOOK_ROT_X, pitchTo);
    TellBody(MSG_SET_LOOK_ROT_Y, yawTo);
    const float step = m_FrameDt * rate * kTurn;
    m_AimPitch = Approach(m_AimPitch, pitchError, step);
    m_AimYaw = Approach(m_AimYaw, yawError, step);
    if (m_AimLayers.size() >= 2) {
        m_AimLayers[0].time = std::clamp(m_AimPitch / (kPi * 0.5f) + 0.5f, 0.01f, 0.99f);
        m_AimLayers[1].time = 1.0f - std::clamp(m_AimYaw / kTurn + 0.5f, 0.01f, 0.99f);
    }
    m_AimError = Wrap(yawTo - m_AimYaw + bodyYaw);
}

void CQVAIPlayer2::LookAt(const Vector3& point, float rate) {
    CQVActor* body = Body();
    if (body == nullptr) return;
    Vector3 v = body->AskValue<Vector3>(MSG_GET_VISION_POINT, body->GetWorldPosition());
    if ((body = Body()) == nullptr) return;
    v.y += 10.0f;
    const Vector3 f = ForwardAxis(body);
    const float bodyYaw = Vec3_GetYaw(f);
    const float bodyPitch = Vec3_GetPitch(f);
    const float yawTo = Vec3_YawBetween(v, point);
    const float pitchTo = Vec3_PitchBetween(v, point);
    const float yawGoal = std::clamp(Wrap(bodyYaw + yawTo - m_AimYaw), -kPi * 0.25f, kPi * 0.25f);
    const float pitchGoal = std::clamp(Wrap(bodyPitch + pitchTo + 0.5f), -kPi * 0.25f, kPi * 0.25f);
    const float step = m_FrameDt * rate * kTurn;
    m_HeadTurn = Approach(m_HeadTurn, yawGoal, step);
    m_HeadTilt = Approach(m_HeadTilt, -pitchGoal, step);
}

void CQVAIPlayer2::TurnTowards(const Vector3& point, float speed) {
    CQVActor* body = Body();
    if (body == nullptr) return;
    const Vector3 from = body->GetWorldPosition();
    body->SendValue(MSG_SET_TURN_SPEED, speed * 0.4f);
    TellBody(MSG_SET_ROT_Y_3D0, Vec3_YawBetween(from, point));
}

// ---------------------------------------------------------------------------
// Shelters

bool CQVAIPlayer2::FindShelter(const Vector3& threat, float radius) {
    if (m_Helpers.empty()) return false;
    struct Candidate {
        float score;
        uint32_t id;
    };
    std::vector<Candidate> candidates;
    for (uint32_t id : m_Helpers) {
        CQVActor* actor = ById(id);
        // A helper deleted since the body entered its group is passed over.
        if (actor == nullptr || actor->m_ClassType != CLASS_AI_HELPER || id == m_ShelterHelper) continue;
        if (static_cast<CQVAIHelper*>(actor)->m_HelperType != AI_HELPER_SHELTER) continue;
        const float d = Vec3_Length(actor->GetWorldPosition() - m_OwnPosition);
        if (d >= radius) continue;
        // Near helpers trade places by up to the scatter, so the choice varies.
        candidates.push_back({static_cast<float>(Random_Next() % kShelterScatter) + d, id});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score < y.score; });
    if (g_ActorSystem == nullptr) return false;
    for (const Candidate& candidate : candidates) {
        auto* helper = static_cast<CQVAIHelper*>(ById(candidate.id));
        if (helper == nullptr) continue;
        const Vector3 at = helper->GetWorldPosition();
        const Vector3 behind = at + Vec3_Normalized(at - threat) * kShelterBehind;
        Vector3 hit(0.0f, 0.0f, 0.0f);
        const ColObj* blocker =
            g_ActorSystem->RayCast(RayFilter{m_RayGroup, m_RayReceive, m_RayExclude}, threat, behind, &hit, nullptr);
        if (blocker == nullptr || Vec3_Length(hit - threat) >= Vec3_Length(behind - threat)) continue;
        m_ShelterPoint = Vector3(behind.x, behind.y - 0.5f * helper->m_Box.y, behind.z);
        m_ShelterHelper = candidate.id;
        return true;
    }
    return false;
}
