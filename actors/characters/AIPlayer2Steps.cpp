// The AI Player 2's steps of its states: the motion each wants the body to
// play next, where it turns the body, aims the upper body and turns the
// head, and the state changes a step makes itself; then the aim layers and
// the head bone brought to the skin, and the trail of the target's
// positions that Follow walks along.

#include "actors/characters/AIPlayer2.h"

#include "actors/characters/SkinObject.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "services/mesh/Skeleton.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTurn = 2.0f * kPi;

constexpr float kHeardNear = 400.0f;
constexpr float kAvoidReach = 200.0f;
constexpr float kFollowRun = 600.0f;
constexpr float kFollowWalk = 220.0f;
constexpr float kFollowTrailReached = 120.0f;
constexpr float kFollowTrailReachedUnseen = 300.0f;
constexpr float kFollowClose = 150.0f;
constexpr float kFollowShortcut = 800.0f;
constexpr float kFollowGiveUp = 20.0f;
constexpr float kShelterReached = 100.0f;
constexpr float kShelterNear = 140.0f;
constexpr float kShelterWalk = 400.0f;
constexpr float kTrailPeriod = 0.25f;
constexpr size_t kTrailMax = 40;

float HorizontalDistance(const Vector3& a, const Vector3& b) {
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

}  // namespace

bool CQVAIPlayer2::AskNeutral() const {
    CQVActor* body = Body();
    return body && body->AskValue<uint32_t>(MSG_CHARACTER_IS_NEUTRAL_35F, 0) != 0;
}

void CQVAIPlayer2::StepIdle(float dt) {
    m_WantedMotion = m_IdleMotion;
    const bool neutral = AskNeutral();
    m_GlanceTimer += dt;
    if (m_SoundFlag) {
        AimAt(m_SoundPosition, 1.5f);
        LookAt(m_SoundPosition, 0.01f);
        return;
    }
    CQVActor* heard = ById(m_HeardId);
    CQVActor* body = Body();
    if (heard == nullptr || body == nullptr ||
        Vec3_Length(heard->GetWorldPosition() - body->GetWorldPosition()) >= kHeardNear)
        return;
    Vector3 look = heard->AskValue<Vector3>(MSG_GET_VISION_POINT, heard->GetWorldPosition());
    look.y += 30.0f;
    // Far to the side: a neutral body steps forward now and then, and the moving body is turned.
    if (std::fabs(std::trunc(m_AimYaw)) > 1.2f && AskNeutral() && m_GlanceTimer > 1.0f) {
        m_WantedMotion = "N_Forward";
        if (m_GlanceTimer > 2.0f) m_GlanceTimer = 0.0f;
    }
    if (!neutral) TurnTowards(look, 16.0f);
    AimAt(look, 1.5f);
    LookAt(look, 0.1f);
}

void CQVAIPlayer2::StepGoTo(float dt) {
    CQVActor* goal = GoToGoal();
    if (goal == nullptr) return;
    const Vector3 at = goal->GetWorldPosition();
    if (!m_SoundFlag) {
        // No sound to attend to: the upper body and head sweep the way ahead.
        m_ScanTimer += dt;
        const float s = m_ScanTimer;
        m_HeadTilt = -0.3f;
        m_AimYaw = std::sin(1.5f * s);
        m_AimPitch = std::sin(0.6f * s) + 0.5f;
        m_HeadTurn = -std::sin(0.2f * s);
        if (m_AimLayers.size() >= 2) {
            m_AimLayers[0].time = std::clamp(m_AimPitch / kTurn + 0.5f, 0.0001f, 0.9999f);
            m_AimLayers[1].time = 1.0f - std::clamp(m_AimYaw / kTurn + 0.5f, 0.0001f, 0.9999f);
        }
    } else {
        AimAt(m_SoundPosition, 20.0f);
        LookAt(m_SoundPosition, 20.0f);
    }
    if (m_RunFlag) {
        TurnTowards(at, 8.0f);
        m_WantedMotion = "R_Forward";
    } else {
        TurnTowards(at, 2.0f);
        m_WantedMotion = "S_Forward";
    }
}

void CQVAIPlayer2::StepPreFight() {
    if (Target() == nullptr) return;
    AimAt(m_TargetCenterPoint, 4.0f);
    LookAt(m_TargetVisionPoint, 0.1f);
    m_WantedMotion = "N_Special6";
    if (m_TimeInState > m_PreFightTime) SetState(AI2_STATE_FIGHT);
}

void CQVAIPlayer2::StepFight(float dt) {
    if (Target() == nullptr) return;
    if (m_AvoidFlag) {
        TurnTowards(m_OwnPosition + m_AvoidDirection * kAvoidReach, 4.0f);
    } else if (!m_BodyNeutral) {
        TurnTowards(m_TargetPosition, 10.0f);
    }
    if (m_FindShelterEnable) {
        m_GlanceTimer += dt;
        if (m_GlanceTimer > 1.0f) {
            m_GlanceTimer = 0.0f;
            if (FindShelter(m_TargetPosition, m_FindShelterRadius)) SetState(AI2_STATE_GOTO_SHELTER);
        }
    }
    AimAt(m_TargetCenterPoint, 1.0f);
    LookAt(m_TargetVisionPoint, 6.0f);
    m_WantedMotion = "M_Forward";
}

void CQVAIPlayer2::StepFollow(float dt) {
    CQVActor* leader = Target();
    if (leader == nullptr) return;
    char state[16] = {};
    leader->HandleMessage(MSG_GET_STATE_34A, Args_Of(state));
    const char letter = state[0];
    m_GlanceTimer += dt;
    const float d = m_TargetDistance;
    const bool neutral = m_BodyNeutral != 0;
    if (letter == 'C') {
        m_WantedMotion = d >= kFollowWalk ? "C_Forward" : "C_Neutral";
    } else if (d >= kFollowRun) {
        m_WantedMotion = "R_Forward";
    } else if (d >= kFollowWalk) {
        m_WantedMotion = "N_Forward";
    } else {
        m_WantedMotion = "N_Neutral";
        if (std::fabs(std::trunc(m_AimYaw)) > 0.6f && neutral && m_GlanceTimer > 1.0f) {
            m_WantedMotion = "N_Forward";
            if (m_GlanceTimer > 2.0f) m_GlanceTimer = 0.0f;
        }
    }
    AimAt(m_TargetVisionPoint, 0.5f);
    LookAt(m_TargetVisionPoint, 1.0f);
    bool turned = false;
    if (m_AvoidFlag && !neutral) {
        TurnTowards(m_OwnPosition + m_AvoidDirection * kAvoidReach, 4.0f);
        turned = true;
    }
    if (m_Trail.empty()) {
        if (!neutral && !turned) TurnTowards(m_TargetVisionPoint, 14.0f);
    } else {
        const Vector3 here = GetWorldPosition();
        const float reached = m_VisibleTime < 0.5f ? kFollowTrailReachedUnseen : kFollowTrailReached;
        if (HorizontalDistance(m_Trail.front(), here) < reached) m_Trail.pop_front();
        if (!neutral && !turned) {
            if (!m_Trail.empty() && m_VisibleTime < 0.5f) {
                TurnTowards(m_Trail.front(), 8.0f);
            } else {
                TurnTowards(m_TargetVisionPoint, 14.0f);
            }
        }
        if (d < kFollowClose) {
            m_Trail.clear();
        } else if (d < kFollowShortcut && m_VisibleTime > 1.0f && m_Trail.size() > 2) {
            CQVActor* body = Body();
            leader = Target();
            if (body && leader &&
                std::fabs(std::trunc(leader->GetWorldPosition().y - body->GetWorldPosition().y)) < 50.0f)
                m_Trail.pop_front();
        }
    }
    if (m_HiddenTime > kFollowGiveUp) SetState(AI2_STATE_IDLE);
}

void CQVAIPlayer2::StepGoToShelter() {
    if (m_AvoidFlag) {
        TurnTowards(m_OwnPosition + m_AvoidDirection * kAvoidReach, 4.0f);
    } else {
        TurnTowards(m_ShelterPoint, 10.0f);
    }
    const float d = Vec3_Length(m_ShelterPoint - m_OwnPosition);
    AimAt(m_TargetCenterPoint, 1.0f);
    LookAt(m_TimeInState >= 2.0f ? m_TargetVisionPoint : m_ShelterPoint, 6.0f);
    if (d < kShelterReached) {
        SetState(AI2_STATE_SHELTER);
    } else if (d < kShelterNear) {
        m_WantedMotion = "N_Special7";
    } else if (d < kShelterWalk) {
        m_WantedMotion = "N_Forward";
    } else {
        m_WantedMotion = "R_Forward";
    }
    // Long on the way: another shelter may serve better; the state stays.
    if (m_State == AI2_STATE_GOTO_SHELTER && m_TimeInState > 5.0f)
        FindShelter(m_TargetPosition, m_FindShelterRadius);
}

void CQVAIPlayer2::StepShelter() {
    AimAt(m_TargetCenterPoint, 0.5f);
    LookAt(m_TargetVisionPoint, 6.0f);
    m_WantedMotion = "C_Neutral";
    if (m_FightGroup == 0) {
        if (m_TimeInState > 4.0f) SetState(AI2_STATE_HIDE);
    } else if (m_VisibleTime > 0.5f) {
        SetState(AI2_STATE_FIGHT);
    } else if (m_HiddenTime > 3.0f && FindShelter(m_TargetPosition, m_FindShelterRadius)) {
        SetState(AI2_STATE_GOTO_SHELTER);
    }
}

void CQVAIPlayer2::StepHide(float dt) {
    m_WantedMotion = "C_Neutral";
    m_GlanceTimer += dt;
    if (m_SoundFlag) {
        AimAt(m_SoundPosition, 1.5f);
        LookAt(m_SoundPosition, 0.01f);
        return;
    }
    if (CQVActor* heard = ById(m_HeardId)) {
        const Vector3 at = heard->GetWorldPosition();
        AimAt(at, 1.5f);
        LookAt(at, 0.01f);
        return;
    }
    CQVActor* body = Body();
    if (body == nullptr) return;
    m_ScanTimer += dt;
    const float s = m_ScanTimer;
    const Matrix& m = body->GetWorldMatrix();
    const Vector3 r(m.m[2][0], m.m[2][1], m.m[2][2]);
    const Vector3 look = m_OwnPosition + Vector3(-200.0f * r.x + 40.0f * std::sin(1.5f * s), -200.0f * r.y + 100.0f,
                                                 -200.0f * r.z + 20.0f * std::sin(0.5f * s));
    AimAt(look, 0.1f);
    LookAt(look, 2.1f);
}

void CQVAIPlayer2::StepHostageVictim() {
    m_WantedMotion = "N_Neutral";
    if (m_SoundFlag) {
        AimAt(m_SoundPosition, 1.5f);
        LookAt(m_SoundPosition, 0.01f);
        return;
    }
    CQVActor* heard = ById(m_HeardId);
    CQVActor* body = Body();
    if (heard == nullptr || body == nullptr ||
        Vec3_Length(heard->GetWorldPosition() - body->GetWorldPosition()) >= kHeardNear)
        return;
    const Vector3 look = heard->AskValue<Vector3>(MSG_GET_VISION_POINT, heard->GetWorldPosition());
    AimAt(look, 1.5f);
    LookAt(look, 0.01f);
}

// ---------------------------------------------------------------------------
// After the step

void CQVAIPlayer2::ApplyAimLayersAndHead() {
    if (CQVSkinObject* skin = Skin()) {
        for (const AimLayerEntry& entry : m_AimLayers) {
            skin->SendValue(MSG_SET_CURRENT_LAYER, entry.layer);
            skin->SendValue(MSG_SET_CURRENT_NORMALIZED_TIME, entry.time);
        }
        if ((skin = Skin()) != nullptr) skin->SendValue<uint32_t>(MSG_SET_CURRENT_LAYER, 0);
    }
    // A skin without a "Head" bone keeps its head as the motion poses it.
    if (Bone* head = HeadBone()) {
        Quaternion q;
        Quat_FromYawPitchRoll(&q, m_HeadTilt + 0.15f, m_HeadTurn, m_HeadRoll);
        Bone_SetLayerRotation(head, q, 2);
        Bone_SetLayerWeight(head, 1.0f, 2);
    }
}

void CQVAIPlayer2::TrailUpkeep(float dt) {
    CQVActor* target = Target();
    if (m_Tracking && target) {
        m_TrailPeriod = kTrailPeriod;
        m_TrailTimer += dt;
        if (m_TrailTimer > m_TrailPeriod) {
            const Vector3 at = target->GetWorldPosition();
            if (m_Trail.empty() || Vec3_Length(at - m_Trail.back()) > m_TrailSpacing) m_Trail.push_back(at);
            m_TrailTimer = 0.0f;
        }
    }
    while (m_Trail.size() > kTrailMax) m_Trail.pop_front();
}
