// The Character's orientation: look angles and matrices, the body's yaw and
// its tilt on walls, the head of the third-person types, the layers of the
// shooter, the first-person camera with recoil, landing shake and
// exhaustion sway, the actors hung on bones, and the sync record.

#include "actors/characters/Character.h"

#include "actors/characters/SkinObject.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Random.h"
#include "services/mesh/Skeleton.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.1415927f;
// Just under pi: a target almost exactly opposite is reached across the seam.
constexpr float kSeamGap = 3.1414928f;
constexpr float kSyncPeriod = 0.033333335f;
constexpr float kHeadFold = 1.8f;
constexpr float kHeadFoldSlope = 1.3416888f;
constexpr float kShooterHeadBias = 0.3926991f;  // pi / 8
constexpr uint32_t BONE_NECK = 4;
constexpr uint32_t BONE_HEAD = 5;

#pragma pack(push, 1)
// "Get Bone": the name, and the bone the skin answers.
struct BoneQuery {
    const char* name;
    Bone* bone;
};
// "CharacterSync": the eleven values a peer applies.
struct SyncRecord {
    Vector3 position;
    Vector3 velocity;
    float rotY;
    float pitch;
    float lookRotY;
    float rotYOld;
    float headYaw;
    uint32_t reserved[2];
    float speed;
    float health;
};
#pragma pack(pop)
static_assert(sizeof(SyncRecord) == 60);

float PitchLimit(int32_t type) {
    if (type == CHARACTER_FIRST_PERSON) return 1.55f;
    if (type == CHARACTER_THIRD_PERSON_SHOOTER) return 1.35f;
    return 1.0f;
}

// Moves a value linearly toward a target by at most step.
float MoveToward(float value, float target, float step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

// Toward 0 by step, stopping there.
float Settle(float value, float step) { return value > 0.0f ? std::max(value - step, 0.0f) : std::min(value + step, 0.0f); }

float Clamp01(float value) { return std::clamp(value, 0.0001f, 0.9999f); }

Vector3 Normalized(const Vector3& v) {
    Vector3 out;
    Vec3_Normalize(&out, v);
    return out;
}

void Tell(CQVActor* actor, uint32_t id, uint32_t value) { actor->HandleMessage(id, Args_Of(&value)); }
void TellReal(CQVActor* actor, uint32_t id, float value) { actor->HandleMessage(id, Args_Of(&value)); }

}  // namespace

float Character_ApproachAngle(float current, float target, float step) {
    if (!(step > 0.0f)) return current;
    const float c = Character_WrapAngle(current);
    const float t = Character_WrapAngle(target);
    float next;
    if (c <= t) {
        if (t - c <= kSeamGap) {
            next = c + step >= t ? t : c + step;
        } else {
            next = c - step <= t - 2.0f * kPi ? t : c - step;
        }
    } else if (c - t <= kSeamGap) {
        next = c - step <= t ? t : c - step;
    } else {
        next = t <= c - 2.0f * kPi + step ? t : c + step;
    }
    return Character_WrapAngle(next);
}

// ---------------------------------------------------------------------------
// Messages

int CQVCharacter::HandleLook(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_SET_RELATIVE_LOOK_ROT_Y:
        m_LookRotY += Args_Get<float>(args);
        break;
    case MSG_SET_RELATIVE_LOOK_ROT_X: {
        const float limit = PitchLimit(m_CharacterType);
        m_LookRotX = std::clamp(m_LookRotX + Args_Get<float>(args), -limit, limit);
        break;
    }
    case MSG_GET_LOOKMATRIX:
    case MSG_GET_LOOKDIRECTION:
    case MSG_GET_LOOKMATRIXSM:
    case MSG_GET_LOOKDIRECTIONSM:
    case MSG_CHAR_GET_LOOKMATRIX2_SM:
    case MSG_CHAR_GET_LOOKDIRECTION2_SM: {
        Matrix look;
        if (id == MSG_GET_LOOKMATRIX || id == MSG_GET_LOOKDIRECTION) {
            LookMatrix(&look, m_LookRotY, m_LookRotX);
        } else if (id == MSG_GET_LOOKMATRIXSM || id == MSG_GET_LOOKDIRECTIONSM) {
            LookMatrix(&look, m_LookRotYSM, m_LookRotXSM);
        } else {
            LookMatrix(&look, m_LookRot2YSM, m_LookRot2XSM);
        }
        if (id == MSG_GET_LOOKMATRIX || id == MSG_GET_LOOKMATRIXSM || id == MSG_CHAR_GET_LOOKMATRIX2_SM) {
            Args_Answer(args, look);
        } else {
            Args_Answer(args, Vector3(look.m[2][0], look.m[2][1], look.m[2][2]));
        }
        break;
    }
    case MSG_CHAR_ADD_LOOK_ROT2_Y:
        m_LookRot2Y += Args_Get<float>(args);
        break;
    case MSG_CHAR_ADD_LOOK_ROT2_X: {
        const float limit = PitchLimit(m_CharacterType);
        m_LookRot2X = std::clamp(m_LookRot2X + Args_Get<float>(args), -limit, limit);
        break;
    }
    case MSG_SET_DESIRED_MOVEMENT:
        SetDesiredMovement(Args_Get<Vector3>(args));
        break;
    case MSG_RECOIL:
        Recoil(Args_Get<float>(args));
        break;
    case MSG_CHARACTERSYNC:
        ApplySync(args);
        break;
    default:
        return ROW_PASS_ON;
    }
    return ROW_PASS_ON;
}

void CQVCharacter::LookMatrix(Matrix* out, float yaw, float pitch) {
    CQVActor* camera = m_Camera.target;
    if (camera && m_CharacterType == CHARACTER_FIRST_PERSON) {
        *out = camera->GetWorldMatrix();
        return;
    }
    Mat4_RotationYawPitchRoll(out, yaw + kPi, pitch, 0.0f);
}

void CQVCharacter::SetDesiredMovement(const Vector3& v) {
    if (!(std::fabs(v.x) > 0.001f) && !(std::fabs(v.z) > 0.001f)) return;
    m_DesiredSpeed = Vec3_Length(v);
    float heading = std::acos(std::clamp(v.z / std::sqrt(v.x * v.x + v.z * v.z), -1.0f, 1.0f));
    if (v.x < 0.0f) heading = -heading;
    if (m_DirectionBehaviour == 2) {
        m_RotY = Character_WrapAngle(heading);
    } else {
        m_DesiredYawOffset = Character_WrapAngle(heading - m_LookRotYSM);
    }
    SendSelf(MSG_CC_FORWARD);
}

void CQVCharacter::Recoil(float value) {
    if (m_CharacterType != CHARACTER_FIRST_PERSON || !(m_StateFlags & CHAR_SHOOTER)) return;
    m_LookRotX -= m_RecoilPitch;
    m_RecoilPitch = 0.0f;
    m_RecoilKick += value * 0.4f;
    const float r = static_cast<float>(Random_Next() % 10000);
    m_RecoilYaw += (r * 0.0002f - 1.0f) * value * 0.1f;
}

void CQVCharacter::ApplySync(MessageArgs args) {
    if (!args.Holds(0, sizeof(SyncRecord))) return;
    const SyncRecord record = Args_Get<SyncRecord>(args);
    m_Position = record.position;
    m_DeltaPosition = record.velocity;
    m_RotY = record.rotY;
    m_LookRotX = m_LookRotXSM = record.pitch;
    m_LookRotY = record.lookRotY;
    m_RotYOld = record.rotYOld;
    m_HeadYaw = record.headYaw;
    m_SpeedFactor = record.speed;
    m_Health = record.health;
    Quat_FromYawPitchRoll(&m_Rotation, m_RotYOld, 0.0f, 0.0f);
    m_LookYawDelta = m_LookRotY - m_RotYOld;
    InvalidateTransform();
}

// ---------------------------------------------------------------------------
// Bones

void CQVCharacter::FindBones() {
    ClearBones();
    CQVActor* skin = Skin();
    if (skin == nullptr) return;
    for (const char* name : g_CharacterBoneNames) {
        BoneQuery query{name, nullptr};
        skin->HandleMessage(MSG_GET_BONE, Args_Of(&query));
        m_Bones.push_back(query.bone);
    }
    if (skin->m_ClassType == CLASS_SKINOBJECT) m_BonesSkeleton = static_cast<CQVSkinObject*>(skin)->GetSkeleton();
    for (uint32_t i = 0; i < kCharacterBoneCount; ++i) {
        CQVActor* actor = FindChildByName(this, g_CharacterBoneNames[i]);
        m_AttachedActors[i].SetTarget(actor);
        if (actor == nullptr) continue;
        actor->m_Position = Vector3(0.0f, 0.0f, 0.0f);
        actor->m_Rotation = Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
        actor->InvalidateTransform();
    }
}

void CQVCharacter::ClearBones() {
    m_Bones.clear();
    m_BonesSkeleton = nullptr;
    for (ActorLink& link : m_AttachedActors) link.Unlink();
}

// ---------------------------------------------------------------------------
// The steps of the frame

void CQVCharacter::DirectionBehaviour() {
    switch (m_DirectionBehaviour) {
    case 1:
        if (m_StateFlags & CHAR_STRAFING) {
            m_RotY = m_LookRotY;
        } else if (!(m_StateFlags & CHAR_STANDING)) {
            m_RotY = m_DesiredYawOffset + m_LookRotY;
        }
        break;
    case 0:
        m_LookRotY = m_RotY;
        break;
    default:
        break;
    }
}

void CQVCharacter::Orientation(float dt, float time) {
    m_LookRotY = Character_WrapAngle(m_LookRotY);
    if (m_CharacterType == CHARACTER_THIRD_PERSON_SHOOTER && m_ContactActive == 0 && m_CommandQueue.empty() &&
        std::fabs(m_LookRotY - m_RotY) > 0.8f && m_DirectionBehaviour != 2) {
        // The body keeps within 0.8 of the look direction.
        m_RotY = Character_WrapAngle(m_RotY);
        m_RotY = Character_ApproachAngle(m_RotY, m_LookRotY, std::fabs(m_LookRotY - m_RotY) - 0.8f);
    }
    m_LookRotXSM = Character_ApproachAngle(m_LookRotXSM, m_LookRotX, dt * m_LookRotXSpeed);
    m_LookRotYSM = Character_ApproachAngle(m_LookRotYSM, m_LookRotY, dt * m_LookRotYSpeed);
    m_LookRot2XSM = Character_ApproachAngle(m_LookRot2XSM, m_LookRot2X, dt * m_LookRot2XSpeed);
    m_LookRot2YSM = Character_ApproachAngle(m_LookRot2YSM, m_LookRot2Y, dt * m_LookRot2YSpeed);

    const float target = m_RotY + 0.001f * m_LookRotY;
    if (m_MotionLetter == 'W' || m_WallBlend > 0.0f) {
        m_RotYOld = Character_ApproachAngle(m_RotYOld, target, dt * m_TurnSpeed * 0.75f);
        if (m_WallBlend <= 0.0f) m_WallUp = m_WallNormal;
        if (m_MotionLetter == 'W') {
            m_WallBlend += dt * 1.8f;
            const float k = std::clamp(dt * 4.0f, 0.0f, 1.0f);
            m_WallUp = m_WallUp * (1.0f - k) + m_WallNormal * k;
        } else {
            const float k = std::clamp(dt * 2.4f, 0.0f, 1.0f);
            m_WallUp = m_WallUp * (1.0f - k) + Vector3(0.0f, 1.0f, 0.0f) * k;
        }
        m_WallUp = Normalized(m_WallUp);
        m_WallBlend = std::clamp(m_WallBlend - dt * 0.67f, 0.0f, 1.0f);
        const Vector3 up = Normalized(m_WallUp * m_WallBlend + Vector3(0.0f, 0.23f, 0.0f));
        const Vector3 forward0(std::sin(m_RotYOld), 0.0f, std::cos(m_RotYOld));
        Vector3 side, forward;
        Vec3_Cross(&side, forward0, up);
        Vec3_Cross(&forward, up, side);
        Quat_FromDirection(&m_Rotation, Normalized(forward), up);
    } else {
        m_RotYOld = Character_ApproachAngle(m_RotYOld, target, dt * m_TurnSpeed);
        Quat_FromYawPitchRoll(&m_Rotation, m_RotYOld, 0.0f, 0.0f);
    }
    InvalidateTransform();
    m_LookYawDelta = Character_WrapAngle(m_LookRotY - m_RotYOld);

    if (m_CharacterType == CHARACTER_THIRD_PERSON) {
        // Past 1.8 the head turns back: the look has gone behind the shoulder.
        float v = m_LookYawDelta;
        if (v > kHeadFold) {
            v = kHeadFold - (v - kHeadFold) * kHeadFoldSlope;
        } else if (v < -kHeadFold) {
            v = (-v - kHeadFold) * kHeadFoldSlope - kHeadFold;
        }
        v += std::sin(time * 0.5f) * std::clamp(std::fabs(m_LookYawDelta) - kHeadFold, 0.11f, 0.5f) *
             std::sin(time * 0.69129f);
        m_HeadYaw = MoveToward(m_HeadYaw, v, dt * m_HeadTurningSpeed);
    } else if (m_CharacterType == CHARACTER_THIRD_PERSON_SHOOTER) {
        const float q = kShooterHeadBias;
        m_HeadYaw = MoveToward(m_HeadYaw + q, Character_WrapAngle(m_LookRotY - m_RotYOld - q) + q,
                               dt * m_HeadTurningSpeed) - q;
        m_HeadYaw2 = MoveToward(m_HeadYaw2 + q, Character_WrapAngle(m_LookRot2Y - m_RotYOld - q) + q,
                                dt * m_HeadTurningSpeed2) - q;
    }
}

void CQVCharacter::HeadLayersCamera(float dt, float time) {
    CQVActor* skin = Skin();
    if (skin == nullptr) return;
    const bool updated = m_LastUpdateTime == m_Clock->previousTime;
    if (updated) Tell(skin, MSG_UPDATE_BONES, 0);
    auto bone = [this](uint32_t i) { return i < m_Bones.size() ? m_Bones[i] : nullptr; };

    if (m_CharacterType == CHARACTER_FIRST_PERSON) {
        if (m_StateFlags & CHAR_HEAD_BONES) {
            m_RecoilPitch += dt * m_RecoilKick;
            m_RecoilYawOffset += dt * m_RecoilYaw;
            m_RecoilKick = Settle(m_RecoilKick, std::fabs(dt * m_RecoilKick * 16.0f));
            m_RecoilYaw = Settle(m_RecoilYaw, std::fabs(dt * m_RecoilYaw * 16.0f));
            m_RecoilPitch = Settle(m_RecoilPitch, std::fabs(dt * m_RecoilPitch * 3.0f));
            m_RecoilYawOffset = Settle(m_RecoilYawOffset, std::fabs(dt * m_RecoilYawOffset * 3.0f));
            Quaternion neck;
            Quat_FromYawPitchRoll(&neck, m_RecoilPitch - m_LookRotXSM, m_RecoilYawOffset, 0.0f);
            Bone_SetLayerRotation(bone(BONE_NECK), neck, 3);
            Bone_SetLayerWeight(bone(BONE_NECK), 1.0f, 3);
        }
        Tell(skin, MSG_UPDATE_BONES, 0);
        if (CQVActor* camera = m_Camera.target) {
            Quaternion view;
            Quat_FromYawPitchRoll(&view, 0.0f, 0.0f, -kPi / 2.0f);
            const float c = m_Capacity;
            if (m_ShakeAmplitude > 0.0f || c < 0.7f) {
                float a = (0.7f - c) * 0.06f * (std::sin(time * 5.0f) + 1.3f * Noise_Sample1D(time * 2.432f));
                float b = (0.7f - c) * 0.025f * (std::cos(time * 3.0f) + Noise_Sample1D(time * 3.332f + 2.0f));
                if (c > 0.35f) {
                    a *= 1.0f - 2.0f * (c - 0.35f);
                    b *= 1.0f - 2.0f * (c - 0.35f);
                }
                const float s = m_ShakeAmplitude * 0.25f;
                Quaternion sway;
                Quat_FromYawPitchRoll(&sway, s + a, m_ShakeDirX * s + b, m_ShakeDirY * s);
                Quat_Multiply(&view, view, sway);
            }
            camera->HandleMessage(MSG_SET_QUATERNION, Args_Of(&view));
        }
    } else if (m_CharacterType == CHARACTER_THIRD_PERSON_SHOOTER) {
        const float times[4] = {Clamp01(m_LookRotXSM / kPi + 0.5f), Clamp01(m_LookRot2XSM / kPi + 0.5f),
                                1.0f - Clamp01(m_HeadYaw / (2.0f * kPi) + 0.5f),
                                1.0f - Clamp01(m_HeadYaw2 / (2.0f * kPi) + 0.5f)};
        for (uint32_t layer = 2; layer <= 5; ++layer) {
            Tell(skin, MSG_SET_CURRENT_LAYER, layer);
            TellReal(skin, MSG_SET_CURRENT_NORMALIZED_TIME, times[layer - 2]);
        }
        Tell(skin, MSG_SET_CURRENT_LAYER, 0);
    } else if ((m_StateFlags & CHAR_HEAD_BONES) && m_DirectionBehaviour != 0) {
        Quaternion head;
        Quat_FromYawPitchRoll(&head, 0.35f - m_LookRotXSM, m_HeadYaw * 1.4f, 0.0f);
        Bone_SetLayerRotation(bone(BONE_NECK), head, 1);
        Bone_SetLayerRotation(bone(BONE_HEAD), head, 1);
    }

    if (!updated) return;
    skin->UpdateWorldMatrix();
    for (uint32_t i = 0; i < kCharacterBoneCount; ++i) {
        CQVActor* actor = m_AttachedActors[i].target;
        Matrix matrix;
        if (actor == nullptr || !Bone_GetMatrix(bone(i), &matrix)) continue;
        Mat4_Multiply(&matrix, matrix, skin->m_Local);
        actor->HandleMessage(MSG_SET_LOCAL_MATRIX, Args_Of(&matrix));
    }
}

void CQVCharacter::Sync(float dt) {
    m_SyncTime += dt;
    if (m_SyncTime <= kSyncPeriod) return;
    m_SyncTime -= kSyncPeriod;
    if (m_SyncTime > kSyncPeriod) m_SyncTime = 0.0f;
    SyncRecord record{m_Position,   m_DeltaPosition, m_RotY,        m_LookRotXSM, m_LookRotY,
                      m_RotYOld,    m_HeadYaw,       {0u, 0u},      m_RampedSpeed, m_Health};
    if (g_ActorSystem) g_ActorSystem->ReplicateMessageFromCharacter(m_Id, MSG_CHARACTERSYNC, Args_Of(&record));
}
