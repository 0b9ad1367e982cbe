// The Character's per-frame step: it consumes the queued controller
// commands, keeps the parameters and the endurance reserve up to date, reads
// the contacts the collision pass left, chooses the movement state and the
// motion the skin plays, turns the motion's root displacement into the
// body's velocity (the collision pass integrates it and applies gravity),
// and applies jumps, landings, fall damage, air control and wall runs.

#include "actors/characters/Character.h"

#include "actors/characters/SkinObject.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kParamPeriod = 0.1f;
constexpr float kFovToRadians = 1.7453293f;
constexpr float kGammaAddScale = 32.0f;
constexpr float kVisionScale = 256.0f;
constexpr float kCoyoteTime = 0.15f;
constexpr float kJumpCooldown = 0.2f;
constexpr float kGroundJump = 3.3f;
constexpr float kWallJumpUp = 2.5f;
constexpr float kWallJumpAway = 4.0f;
constexpr float kBoostTime1 = 0.04f;
constexpr float kBoostTime2 = 0.08f;
constexpr float kFallDelay = 0.5f;
constexpr float kRelaxTime = 3.0f;
constexpr float kWalkSpeedFactor = 0.6f;
constexpr float kShakeThreshold = 650.0f;
constexpr float kHurtThreshold = 250.0f;
constexpr float kShakeGain = 0.0005f;
constexpr float kHurtScale = 0.1f;
constexpr float kFallFollowSpeed = 1200.0f;
constexpr float kAirControl = -1800.0f;
constexpr float kMoveOnJumpMaxScale = 100.0f;
constexpr float kSideStepSlowdown = 7.0f;
constexpr float kRootMotionSmoothing = 15.0f;
constexpr float kWallRunSpeed = 1.5f;
constexpr float kWallRunTime = 1.25f;
constexpr float kWallPress = 1000.0f;
constexpr float kWallPushOff = 10.0f;
constexpr float kWallRepeatLimit = 0.7f;
constexpr uint32_t kMaxWallClimbs = 2;
constexpr float kShooterLandingTime = 0.1f;
constexpr float kDropInterval = 0.5f;
constexpr uint32_t kDropSeed = 3001;
constexpr uint32_t CONTACT_NOT_WALL = 1u << 10;
constexpr uint32_t RAY_EXCLUDE_TRIGGERS = 1u << 18;
// The knock response the collision pass sends on the action volume's
// contacts: "Listen To Container" {2, 63}.
constexpr uint32_t kKnockResponse[] = {805, 2, 63};
constexpr uint32_t kWeaponReload = 17;

// The wall climbed last, one for every body: the same wall is not climbed twice in a row.
Vector3 g_RememberedWall(0.0f, 0.0f, 0.0f);

Vector3 Normalized(const Vector3& v) {
    Vector3 out;
    Vec3_Normalize(&out, v);
    return out;
}

CQVActor* FirstChild(const ActorLink& link) {
    CQVActor* actor = link.target;
    return actor && !actor->m_Children.empty() ? actor->m_Children.front() : nullptr;
}

bool InOpenRange(float c) { return c > 0.25f && c < 0.5f; }

}  // namespace

void CQVCharacter::Process() {
    if (!IsOperational()) return;
    if (m_Activity & ACTIVITY_KILLED) {
        CQVActor::Process();
        return;
    }
    CQVActor* skin = Skin();
    if (skin == nullptr) return;
    const float dt = ClockDt();
    const float time = m_Clock->time;

    if (InputLocked()) {
        m_HoldTime -= dt;
        if (m_HoldTime <= 0.0f) {
            m_StateFlags &= ~CHAR_INPUT_LOCKED;
            m_HoldTime = 0.0f;
            SendSelf(MSG_ON_UNLOCK_INPUT);
            if (m_StateFlags & CHAR_SHOOTER_IDLE) m_StateFlags |= CHAR_IDLE_ALLOWED;
        }
    }
    if (m_StateFlags & CHAR_LEFT_ACTION) SendToFirstChild(m_LeftHand, MSG_PERFORM_ACTION, m_Id);
    m_StateFlags &= ~CHAR_LEFT_ACTION;
    RefreshParams(dt);
    m_RampedSpeed = StartRamp(time);
    // The bones are looked up again when the skin makes a new skeleton.
    const Skeleton* skeleton =
        skin->m_ClassType == CLASS_SKINOBJECT ? static_cast<CQVSkinObject*>(skin)->GetSkeleton() : nullptr;
    if (m_Bones.empty() || (skeleton && skeleton != m_BonesSkeleton)) FindBones();
    DirectionBehaviour();
    const bool groundedAtStart = m_OnGround != 0;
    ReadContacts();
    EndCrouch();
    if (IsLocal()) Orientation(dt, time);
    if (ColObj* action = VolumeAt(m_ActionCol)) action->flags &= ~COLOBJ_ACTIVE;
    if (m_CommandQueue.empty() && (m_MotionLetter == 'N' || m_MotionLetter == 'R')) {
        m_IdleTime += dt;
    } else {
        m_IdleTime = 0.0f;
    }

    // Every command queued since the last frame, newest first.
    bool moving = false, jumped = false;
    while (!m_CommandQueue.empty()) {
        const uint32_t command = m_CommandQueue.back();
        m_CommandQueue.pop_back();
        RunCommand(command, &moving, &jumped, time);
    }
    if (m_MotionLetter == 'J') {
        const Matrix& world = GetWorldMatrix();
        m_DeltaPosition = m_DeltaPosition - Vector3(world.m[2][0], world.m[2][1], world.m[2][2]);
    }
    if (moving != ((m_StateFlags & CHAR_MOVING) != 0)) {
        m_MoveChangeTime = time;
        m_StateFlags = moving ? (m_StateFlags | CHAR_MOVING) : (m_StateFlags & ~CHAR_MOVING);
    }
    BaseMotionAndKick(moving);
    if (m_StateFlags & CHAR_STRAFING) {
        m_StateFlags &= ~CHAR_STANDING;
    } else {
        m_StateFlags = moving ? (m_StateFlags & ~CHAR_STANDING) : (m_StateFlags | CHAR_STANDING);
    }
    bool hurt = false;
    const bool grounded = m_OnGround || (m_OnWall && m_MotionLetter != 'F');
    GroundedState(&hurt);
    if (m_ShakeAmplitude != 0.0f) {
        m_ShakeAmplitude += m_ShakeVelocity;
        m_ShakeVelocity /= dt * 20.0f + 1.0f;
        m_ShakeAmplitude /= dt + 1.0f;
        if (static_cast<int>(m_ShakeVelocity * 1000.0f) == 0) m_ShakeVelocity = 0.0f;
        if (static_cast<int>(m_ShakeAmplitude * 100.0f) == 0) m_ShakeAmplitude = 0.0f;
    }
    m_JumpCooldown -= dt;
    skin->HandleMessage(MSG_UPDATE, nullptr);
    JumpBoosts(time);
    if (!grounded) {
        AirControl(dt);
    } else if (!jumped) {
        GroundMovement(dt, time);
    }
    ShooterLandingFix(groundedAtStart, jumped, time);
    HeadLayersCamera(dt, time);
    if (IsLocal()) Sync(dt);
    DropItemStep(dt);
    // Every component counts: a push straight along z is a push too.
    if (m_Forceback.x != 0.0f || m_Forceback.y != 0.0f || m_Forceback.z != 0.0f) {
        m_DeltaPosition += m_Forceback;
        m_Forceback = Vector3(0.0f, 0.0f, 0.0f);
    }
    // The draw group follows the body, as it does for every moving actor.
    if ((m_Flags & ACTOR_MOVED) && g_ActorSystem) g_ActorSystem->UpdateDrawGroup(this);
    CQVActor::Process();
}

// ---------------------------------------------------------------------------
// Parameters and the endurance reserve

void CQVCharacter::RefreshParams(float dt) {
    m_CpStepTimer += dt;
    if (m_CpStepTimer <= kParamPeriod) return;
    std::copy(std::begin(m_CpEffective), std::end(m_CpEffective), m_CpAux);
    m_CpStepTimer = 0.0f;
    // A temporary change starts at its target and comes back to the base value.
    for (uint32_t i = 0; i < CP_COUNT; ++i) {
        if (m_CpChangeProgress[i] >= 1.0f) {
            m_CpEffective[i] = m_CpBase[i];
        } else {
            m_CpEffective[i] = (m_CpBase[i] - m_CpChangeTarget[i]) * m_CpChangeProgress[i] + m_CpChangeTarget[i];
            m_CpChangeProgress[i] += m_CpChangeRate[i];
        }
    }
    if (CQVActor* camera = m_NotifyCamera.target) {
        if (m_CpEffective[CP_FOV] != m_CpAux[CP_FOV]) {
            const float fov = m_CpEffective[CP_FOV] * kFovToRadians;
            camera->HandleMessage(MSG_SET_FOV, Args_Of(&fov));
        }
        bool gamma = false;
        for (uint32_t i : {CP_GAMMA_R_ADD, CP_GAMMA_G_ADD, CP_GAMMA_B_ADD, CP_VISION})
            gamma = gamma || m_CpEffective[i] != m_CpAux[i];
        if (gamma) {
            const float vision = (m_CpEffective[CP_VISION] - 1.0f) * kVisionScale;
            const float values[6] = {1.0f, 1.0f, 1.0f, m_CpEffective[CP_GAMMA_R_ADD] * kGammaAddScale + vision,
                                     m_CpEffective[CP_GAMMA_G_ADD] * kGammaAddScale + vision,
                                     m_CpEffective[CP_GAMMA_B_ADD] * kGammaAddScale + vision};
            camera->HandleMessage(MSG_SET_GAMMA, Args_Of(values));
        }
    }
    m_SpeedFactor = 1.0f;
    if (m_StateFlags & CHAR_FIRST_PERSON) {
        const float f = std::max(0.0f, (1.0f - m_Capacity) - 0.5f);
        m_SpeedFactor = std::max(0.0f, 1.0f - f * 1.72f);
    }
    if (m_StateFlags & CHAR_MOVING) {
        float k = 1.0f;
        if (m_MotionLetter == 'R') {
            m_SpeedFactor *= 1.8f;
            k = 0.85f;
        } else if (m_MotionLetter == 'N' && m_Capacity < 0.55f) {
            k = 0.0f;
        } else if (m_MotionLetter == 'C') {
            k = 0.5f;
        }
        ChangeCapacity(k * m_SpeedFactor * -0.013f);
    }
    ChangeCapacity(0.009f);
    const float c = m_Capacity, p = m_CapacityPrevious;
    if (InOpenRange(c) && !InOpenRange(p)) SendSelf(MSG_EXHAUST_50_START);
    if (c < 0.25f && p >= 0.25f) SendSelf(MSG_EXHAUST_75_START);
    if (!InOpenRange(c) && InOpenRange(p)) SendSelf(MSG_EXHAUST_50_STOP);
    if (c >= 0.25f && p < 0.25f) SendSelf(MSG_EXHAUST_75_STOP);
    m_CapacityPrevious = c;
    if ((m_StateFlags & CHAR_FIRST_PERSON) && c < 0.16f) m_SpeedFactor *= 1.0f - (0.16f - c) * 1.6f;
    m_SpeedFactor *= m_CpEffective[CP_SPEED];
}

float CQVCharacter::StartRamp(float time) const {
    const float t = time - m_MoveChangeTime;
    if (t >= 1.1f) return m_SpeedFactor;
    float r = t * 0.5f + 0.45f;
    if (t < 0.3f) r = (t * 1.8333333f + 0.45f) * r;
    return m_SpeedFactor * std::clamp(r, 0.0f, 1.0f);
}

// ---------------------------------------------------------------------------
// Contacts

void CQVCharacter::ReadContacts() {
    // The collision pass leaves this frame's contacts in the record until
    // the body's next move clears them.
    m_ContactActive = m_SimState && !m_SimState->contacts.empty() ? 1 : 0;
    m_OnGround = m_OnWall = m_OnCeiling = 0;
    if (!m_ContactActive) {
        m_StateFlags &= ~CHAR_JUMPED;
        return;
    }
    Vector3 wallSum(0.0f, 0.01f, 0.0f);
    Vector3 groundSum(0.0f, 0.0f, 0.0f);
    m_MaxGroundDot = -1.0f;
    for (const SimContact& contact : m_SimState->contacts) {
        Vector3 normal;
        std::memcpy(&normal, contact.words + 3, sizeof normal);
        const float d = normal.y;
        if (d < -0.1f) {
            m_OnCeiling = 1;
        } else if (d >= 0.4f) {
            m_OnGround = 1;
            m_WallJumpCount = 0;
            m_StateFlags &= ~CHAR_PUSHED_OFF_WALL;
            groundSum += normal;
            m_MaxGroundDot = std::max(m_MaxGroundDot, d);
        } else if (!(contact.words[9] & CONTACT_NOT_WALL)) {
            m_OnWall = 1;
            wallSum += normal;
        }
    }
    m_WallNormal = Normalized(wallSum);
    if (m_OnGround) m_GroundNormal = Normalized(groundSum);
}

void CQVCharacter::EndCrouch() {
    ColObj* chest = VolumeAt(m_ChestCol);
    if (m_MotionLetter != 'C' || m_MotionLetter2 == 'C' || chest == nullptr || g_ActorSystem == nullptr) return;
    const Vector3 from = GetWorldPosition();
    const Vector3 to = from + Vector3(0.0f, chest->boxMin.y + chest->boxMax.x, 0.0f);
    const RayFilter filter{chest->groups, chest->groupsReceive, chest->groupsExclude | RAY_EXCLUDE_TRIGGERS};
    if (g_ActorSystem->RayCast(filter, from, to, nullptr, nullptr) != nullptr) return;
    chest->flags |= COLOBJ_ACTIVE;
    const char stance[2] = {m_MotionLetter2, 0};
    SendSelfText(MSG_SET_CURRENT_STATE, stance);
}

// ---------------------------------------------------------------------------
// Commands

void CQVCharacter::SendToFirstChild(ActorLink& hand, uint32_t id, uint32_t value) {
    if (CQVActor* item = FirstChild(hand)) item->HandleMessage(id, Args_Of(&value));
}

bool CQVCharacter::InventoryVisible() const {
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    uint32_t visible = 0;
    if (inventory) inventory->HandleMessage(MSG_GET_VISIBLE_223, Args_Of(&visible));
    return visible != 0;
}

void CQVCharacter::RunCommand(uint32_t id, bool* moving, bool* jumped, float time) {
    switch (id) {
    case MSG_CC_JUMP:
        m_StateFlags |= CHAR_JUMP_HELD;
        Jump(jumped, time);
        break;
    case MSG_CC_JUMP_STOP:
        m_StateFlags &= ~CHAR_JUMP_HELD;
        break;
    case MSG_CC_STATE_CROUCH:
        if (m_StateFlags & CHAR_MOTION_LOCKED) break;
        if (ColObj* chest = VolumeAt(m_ChestCol)) chest->flags &= ~COLOBJ_ACTIVE;
        SendSelfText(MSG_SET_CURRENT_STATE, "C");
        m_MotionLetter2 = 'C';
        break;
    case MSG_CC_STATE_NEUTRAL:
    case MSG_CC_STATE_RUN: {
        m_MotionLetter2 = id == MSG_CC_STATE_NEUTRAL ? 'N' : 'R';
        const char stance[2] = {m_MotionLetter2, 0};
        if (m_MotionLetter != 'C') SendSelfText(MSG_SET_CURRENT_STATE, stance);
        break;
    }
    case MSG_CC_LEFT:
    case MSG_CC_RIGHT:
    case MSG_CC_BACK:
    case MSG_CC_FORWARD:
        *moving = true;
        break;
    case MSG_CC_RACTION1_START:
    case MSG_CC_RACTION2_START:
        if (!InventoryVisible() && !(m_StateFlags & CHAR_RIGHT_GRAB_PENDING)) {
            SendToFirstChild(m_RightHand,
                             id == MSG_CC_RACTION1_START ? MSG_PERFORM_ACTION_START_27D : MSG_PERFORM_ACTION_START_27F,
                             m_Id);
        }
        break;
    case MSG_CC_RACTION1_STOP:
        SendToFirstChild(m_RightHand, MSG_PERFORM_ACTION_STOP_27E, m_Id);
        break;
    case MSG_CC_RACTION2_STOP:
        SendToFirstChild(m_RightHand, MSG_PERFORM_ACTION_STOP_280, m_Id);
        break;
    case MSG_CC_LACTION1_START:
        if (!(m_StateFlags & CHAR_LEFT_GRAB_PENDING)) SendToFirstChild(m_LeftHand, MSG_PERFORM_ACTION_START_27D, m_Id);
        break;
    case MSG_CC_LACTION1_STOP:
        SendToFirstChild(m_LeftHand, MSG_PERFORM_ACTION_STOP_27E, m_Id);
        break;
    case MSG_CC_LACTION1:
        InventoryVisible();
        break;
    case MSG_CC_RELOAD:
        SendToFirstChild(m_RightHand, MSG_SET_WEAPON_STATE, kWeaponReload);
        SendToFirstChild(m_LeftHand, MSG_SET_WEAPON_STATE, kWeaponReload);
        break;
    case MSG_CC_RDROP:
        SendToFirstChild(m_RightHand, MSG_SET_STATE_DROP_ON_GROUND, m_Id);
        break;
    case MSG_CC_LDROP:
        SendToFirstChild(m_LeftHand, MSG_SET_STATE_DROP_ON_GROUND, m_Id);
        break;
    case MSG_CC_KNOCK:
        if (ColObj* action = VolumeAt(m_ActionCol)) {
            action->flags |= COLOBJ_ACTIVE;
            action->commandToOther.resize(sizeof kKnockResponse);
            std::memcpy(action->commandToOther.data(), kKnockResponse, sizeof kKnockResponse);
        }
        break;
    default:
        break;
    }
}

void CQVCharacter::Jump(bool* jumped, float time) {
    if (m_MotionLetter == 'C') return;
    const bool allowed = m_OnGround || (m_OnWall && m_MotionLetter == 'W') ||
                         time - m_LastGroundTime < kCoyoteTime || m_PushCount != 0;
    if (allowed && m_JumpCooldown <= 0.0f) {
        m_JumpCooldown = kJumpCooldown;
        m_JumpStartTime = time;
        const float s = WorldScale(), j = m_CpEffective[CP_JUMP_FORCE];
        float impulse;
        if (m_MotionLetter == 'W') {
            Vec3_ClipAgainstPlane(&m_DeltaPosition, m_DeltaPosition, m_WallNormal, nullptr);
            m_DeltaPosition += m_WallNormal * (j * kWallJumpAway * s);
            impulse = s * j * kWallJumpUp;
        } else {
            m_StateLetter = m_MotionLetter;
            impulse = s * j * kGroundJump;
        }
        m_DeltaPosition.y += impulse;
        SendSelfText(MSG_SET_STATE_349, "J");
        SendSelf(MSG_ON_JUMP_START_42A);
        *jumped = true;
        m_StateFlags |= CHAR_JUMPED | CHAR_MOTION_LOCKED | CHAR_JUMP_BOOST1 | CHAR_JUMP_BOOST2;
    } else if ((m_StateFlags & CHAR_HAS_KICK_MOTIONS) && m_MotionLetter == 'J') {
        m_StateFlags |= CHAR_AIR_KICK;
    }
}

void CQVCharacter::JumpBoosts(float time) {
    if (!(m_StateFlags & CHAR_JUMP_HELD)) return;
    const float boost = WorldScale() * m_CpEffective[CP_JUMP_FORCE];
    if ((m_StateFlags & CHAR_JUMP_BOOST1) && time > m_LastGroundTime + kBoostTime1) {
        m_StateFlags &= ~CHAR_JUMP_BOOST1;
        m_DeltaPosition.y += boost;
    } else if ((m_StateFlags & CHAR_JUMP_BOOST2) && time > m_LastGroundTime + kBoostTime2) {
        m_StateFlags &= ~(CHAR_JUMP_HELD | CHAR_JUMP_BOOST2);
        m_DeltaPosition.y += boost;
    }
}

// ---------------------------------------------------------------------------
// The motion state

void CQVCharacter::BaseMotionAndKick(bool moving) {
    const bool locked = (m_StateFlags & CHAR_MOTION_LOCKED) != 0;
    if (moving && !locked) {
        if (m_MotionIndex != BASE_MOTION_FORWARD) SendSelfText(MSG_SET_MOVEMENT_34D, "Forward");
        return;
    }
    if (IsLocal() && (m_OnGround || m_OnWall) && !locked && (m_StateFlags & CHAR_IDLE_ALLOWED)) {
        if ((m_HandFlags & HAND_HAS_RELAX) && m_IdleTime > kRelaxTime) {
            if (m_MotionIndex != BASE_MOTION_RELAX) SendSelfText(MSG_SET_MOVEMENT_34D, "Relax");
        } else if (m_MotionIndex != BASE_MOTION_NEUTRAL) {
            SendSelfText(MSG_SET_MOVEMENT_34D, "Neutral");
        }
        return;
    }
    if (m_MotionLetter != 'J' || !(m_StateFlags & CHAR_AIR_KICK) ||
        (m_MotionIndex != BASE_MOTION_NEUTRAL && m_MotionIndex != BASE_MOTION_FORWARD))
        return;
    m_StateFlags &= ~CHAR_MOTION_LOCKED;
    m_DeltaPosition.y += WorldScale() * m_KickMul * m_CpEffective[CP_JUMP_FORCE] * kGroundJump;
    uint32_t transition = 0;
    if (CQVActor* skin = Skin()) skin->HandleMessage(MSG_IS_TRANSITION_PLAYING, Args_Of(&transition));
    if (transition) SendSelfText(MSG_SET_MOTION, m_MotionIndex == BASE_MOTION_FORWARD ? "J_Forward" : "J_Neutral");
    const float offset = std::fabs(m_DesiredYawOffset);
    const char* kick = "K_Back";
    if (!moving || offset < kPi / 4.0f) {
        kick = "K_Forward";
    } else if (offset < 3.0f * kPi / 4.0f) {
        kick = m_DesiredYawOffset >= 0.0f ? "K_Right" : "K_Left";
    }
    SendSelfText(MSG_SET_MOTION, kick);
    m_StateFlags = (m_StateFlags & ~CHAR_AIR_KICK) | CHAR_MOTION_LOCKED;
}

void CQVCharacter::GroundedState(bool* hurt) {
    const bool grounded = m_OnGround || (m_OnWall && m_MotionLetter != 'F');
    if (grounded != (m_GroundedPrevious != 0)) {
        if (!grounded) {
            SendSelf(MSG_ON_GROUND_STOP);
        } else {
            if (m_StateFlags & CHAR_MOTION_LOCKED) {
                char letter = m_StateLetter;
                const char previous = m_MotionLetter;
                bool fell = false;
                m_StateFlags &= ~CHAR_MOTION_LOCKED;
                if (m_StateFlags & CHAR_SHOOTER) {
                    const bool climbs = (m_StateFlags & CHAR_WALL_CLIMB) &&
                                        !(m_StateFlags & (CHAR_PUSHED_OFF_WALL | CHAR_JUMPED)) && previous != 'F' &&
                                        m_OnWall && !m_OnGround && (m_StateFlags & CHAR_MOVING) &&
                                        m_WallJumpCount <= kMaxWallClimbs &&
                                        (m_WallJumpCount == 0 || Vec3_Dot(m_WallNormal, g_RememberedWall) < kWallRepeatLimit);
                    if (climbs) {
                        letter = 'W';
                        g_RememberedWall = m_WallNormal;
                        ++m_WallJumpCount;
                    } else if (!m_OnGround) {
                        // A wall touched in the air.
                        if (previous != 'F') {
                            StartFall();
                            fell = true;
                        }
                    } else if (m_CharacterType == CHARACTER_THIRD_PERSON_SHOOTER) {
                        letter = 'R';
                    }
                }
                if (!fell) {
                    uint32_t request = static_cast<uint8_t>(letter);
                    if (m_StateFlags & CHAR_MOVING) request |= BASE_MOTION_FORWARD << 8;
                    SendSelfWord(MSG_SET_STATEANDMOVEMENT, request);
                    Replicate(MSG_SET_STATEANDMOVEMENT, Args_Of(&request));
                    if (previous == 'J') SendSelf(MSG_ON_JUMP_STOP_42B);
                    if (previous == 'F') SendSelf(MSG_ON_JUMP_STOP_42D);
                }
            }
            SendSelf(MSG_ON_GROUND_START);
            if (m_StateFlags & CHAR_JUMP_HELD) SendSelf(MSG_CC_JUMP);

            const float scale = WorldScale();
            const float impact =
                (m_DeltaPosition.y - m_PreviousVelocityY) * (scale != 0.0f ? 1.0f / scale : 0.0f) * 100.0f -
                kShakeThreshold;
            if (impact > 0.0f) {
                if (m_ShakeAmplitude == 0.0f) {
                    m_ShakeDirX = 0.3f - static_cast<float>(Random_Next() % 10000) * 0.0002f * 0.3f;
                    m_ShakeDirY = 0.3f - static_cast<float>(Random_Next() % 10000) * 0.0002f * 0.3f;
                    m_ShakeAmplitude = 0.00001f;
                }
                m_ShakeVelocity += impact * kShakeGain;
            }
            if (impact - kHurtThreshold > 0.0f) {
                const float damage[2] = {-(impact - kHurtThreshold) * m_CpEffective[CP_FALL_DAMAGE1_MUL] * kHurtScale,
                                         1.0f};
                SendSelf(MSG_CHANGE_CPHEALTH, Args_Of(damage));
                *hurt = true;
            }
            bool measured = false;
            if (m_OnGround) {
                if (std::fabs(m_PreviousVelocityY) < kFallFollowSpeed) m_StartPosition.y = m_Position.y;
                const float drop = m_StartPosition.y - m_Position.y;
                if (drop > m_FallDamageStart) {
                    const float span = m_FallDamageStop - m_FallDamageStart;
                    const float f = drop >= m_FallDamageStop || span <= 0.0f ? 1.0f : (drop - m_FallDamageStart) / span;
                    const float damage[2] = {-f * m_FallDamageValue, 1.0f};
                    SendSelf(MSG_CHANGE_CPHEALTH, Args_Of(damage));
                    SendSelf(MSG_ON_FALLDAMAGE);
                    measured = true;
                }
            }
            if (*hurt && !measured) SendSelf(MSG_ON_FALLDAMAGE);
        }
        m_GroundChangeTime = SystemTime();
        if (m_MaxGroundDot > 0.1f) m_StartPosition = m_Position;
    }
    m_GroundedPrevious = grounded ? 1 : 0;
    m_PreviousVelocityY = m_DeltaPosition.y;
}

void CQVCharacter::StartFall() {
    m_MotionIndex = BASE_MOTION_NEUTRAL;
    if (m_MotionLetter != 'W' && m_MotionLetter != 'J' && m_MotionLetter != 'K') m_StateLetter = m_MotionLetter;
    m_StateFlags &= ~CHAR_MOTION_LOCKED;
    SendSelfText(MSG_SET_MOTION, "F_Neutral");
    m_StateFlags |= CHAR_MOTION_LOCKED;
    SendSelf(MSG_ON_JUMP_START_42C);
}

// ---------------------------------------------------------------------------
// Movement

Vector3 CQVCharacter::TurnByYaw(const Vector3& v, float yaw) const {
    Matrix turn;
    Mat4_RotationY(&turn, yaw);
    Vector3 out;
    Vec3_TransformNormal(&out, v, turn);
    return out;
}

// The body's frame, tilted toward the wall it runs on.
Vector3 CQVCharacter::WallFrame(const Vector3& v) const {
    const float yaw = m_MotionLetter == 'W' ? m_RotYOld : m_RotY;
    const Vector3 up = Normalized(m_WallUp * m_WallBlend + Vector3(0.0f, 0.23f, 0.0f));
    const Vector3 forward0(std::sin(yaw), 0.0f, std::cos(yaw));
    Vector3 side, forward, right;
    Vec3_Cross(&side, forward0, up);
    Vec3_Cross(&forward, up, side);
    forward = Normalized(forward);
    Vec3_Cross(&right, up, forward);
    return Normalized(right) * v.x + up * v.y + forward * v.z;
}

void CQVCharacter::AirControl(float dt) {
    if (!(m_StateFlags & (CHAR_MOTION_LOCKED | CHAR_SUSPENDED)) && SystemTime() - m_GroundChangeTime > kFallDelay &&
        !(m_StateFlags & CHAR_DEAD_LOCK) && IsLocal())
        StartFall();
    const float moveOnJump = m_CpEffective[CP_MOVE_ON_JUMP];
    if (!(m_StateFlags & CHAR_MOVING) || moveOnJump == 0.0f) return;
    float push = dt * moveOnJump * kAirControl;
    if (m_MotionLetter == 'F') push *= m_MoveOnFallMul;
    const float yaw = m_RotY + ((m_StateFlags & CHAR_STRAFING) ? m_DesiredYawOffset : 0.0f);
    const Vector3 turned = TurnByYaw(Vector3(0.0f, 0.0f, push), yaw);
    const float hx = m_DeltaPosition.x, hz = m_DeltaPosition.z;
    const float nx = hx + turned.x, nz = hz + turned.z;
    const float h = std::sqrt(hx * hx + hz * hz), n = std::sqrt(nx * nx + nz * nz);
    const float most = m_CpEffective[CP_MOVE_ON_JUMP_MAX] * kMoveOnJumpMaxScale;
    if (n < h || n < most) {
        m_DeltaPosition.x = nx;
        m_DeltaPosition.z = nz;
    } else if (n > most && h < most) {
        m_DeltaPosition.x = nx * most / n;
        m_DeltaPosition.z = nz * most / n;
    }
}

void CQVCharacter::GroundMovement(float dt, float time) {
    CQVActor* skin = Skin();
    if (skin == nullptr) return;
    if (m_StateFlags & CHAR_SHOOTER) {
        uint32_t transition = 0;
        skin->HandleMessage(MSG_IS_TRANSITION_PLAYING, Args_Of(&transition));
        const bool walking = !transition && m_MotionIndex == BASE_MOTION_FORWARD &&
                             (m_MotionLetter == 'N' || m_MotionLetter == 'R');
        const float speed = walking ? m_RampedSpeed * kWalkSpeedFactor : 1.0f;
        skin->HandleMessage(MSG_SET_MOTION_SPEED, Args_Of(&speed));
    }
    Vector3 v(0.0f, 0.0f, 0.0f);
    skin->HandleMessage(MSG_GET_MOTION_VECTOR, Args_Of(&v));
    v = v * skin->m_Scale.x;
    if (m_OnGround) m_LastGroundTime = time;
    const float strafe = (m_StateFlags & CHAR_STRAFING) ? m_DesiredYawOffset : 0.0f;
    if (!(m_StateFlags & CHAR_SHOOTER)) {
        v = TurnByYaw(v, m_RotYOld + strafe);
    } else if (m_CharacterType == CHARACTER_FIRST_PERSON) {
        v = TurnByYaw(v * ((kSideStepSlowdown - std::fabs(m_DesiredYawOffset)) / kSideStepSlowdown), m_RotY + strafe);
    } else {
        v = WallFrame(v);
    }
    if (m_MotionLetter == 'W') {
        if (m_JumpCooldown <= 0.0f && (m_StateFlags & CHAR_MOVING)) {
            const float full = 1.0f;
            skin->HandleMessage(MSG_SET_MOTION_SPEED, Args_Of(&full));
            m_DeltaPosition = v * kWallRunSpeed;
        }
    } else if (m_OnGround) {
        if (m_CharacterType == CHARACTER_FIRST_PERSON) {
            m_MotionVelocity += (v - m_MotionVelocity) * std::min(dt * kRootMotionSmoothing, 1.0f);
            m_DeltaPosition = m_MotionVelocity;
        } else {
            m_DeltaPosition = v;
        }
    }
    if (m_MotionLetter != 'W' || m_JumpCooldown > 0.0f) return;
    if (m_OnWall && !m_OnGround && !m_OnCeiling && m_MotionIndex == BASE_MOTION_FORWARD &&
        SystemTime() - m_GroundChangeTime < kWallRunTime) {
        // The body keeps pressing into the wall.
        Vec3_ClipAgainstPlane(&m_DeltaPosition, m_DeltaPosition, m_WallNormal, nullptr);
        m_DeltaPosition = m_DeltaPosition - m_WallNormal * kWallPress;
        return;
    }
    m_StateFlags |= CHAR_PUSHED_OFF_WALL | CHAR_JUMPED;
    Vec3_ClipAgainstPlane(&m_DeltaPosition, m_DeltaPosition, m_WallNormal, nullptr);
    m_DeltaPosition += m_WallNormal * kWallPushOff;
    m_JumpStartTime = time;
    SendSelfText(MSG_SET_MOTION, "F_Neutral");
    m_StateFlags |= CHAR_MOTION_LOCKED;
}

void CQVCharacter::ShooterLandingFix(bool groundedAtStart, bool jumped, float time) {
    if (!(m_StateFlags & CHAR_SHOOTER) || m_CharacterType != CHARACTER_THIRD_PERSON_SHOOTER || !m_OnGround ||
        !groundedAtStart)
        return;
    const char letter = m_MotionLetter;
    const bool inAir = letter == 'J' || letter == 'K' || letter == 'F';
    if (letter == 'N' && m_MotionIndex == BASE_MOTION_NEUTRAL) {
        m_StateLetter = 'R';
    } else if (letter == 'F' && (m_MotionIndex == BASE_MOTION_NEUTRAL || m_MotionIndex == BASE_MOTION_FORWARD)) {
        m_StateLetter = 'R';
        SendSelfText(MSG_SET_STATE_349, "R");
    } else if (inAir && time - m_JumpStartTime > kShooterLandingTime && m_JumpCooldown <= 0.0f && !jumped) {
        m_StateFlags &= ~CHAR_MOTION_LOCKED;
        m_StateLetter = 'R';
        SendSelfText(MSG_SET_STATE_349, "R");
    }
}

void CQVCharacter::DropItemStep(float dt) {
    m_DropTimer += dt;
    CQVActor* items = m_ItemsGroup.target;
    // A count at or below zero drops nothing.
    if (m_DropCount <= 0 || items == nullptr || m_DropTimer <= kDropInterval) return;
    m_DropTimer = 0.0f;
    --m_DropCount;
    if (items->m_Children.empty()) return;
    CQVActor* item = items->m_Children[kDropSeed % items->m_Children.size()];
    const uint32_t holder = m_Id;
    if (item) item->HandleMessage(MSG_SET_STATE_DROP_ON_GROUND, Args_Of(&holder));
}
