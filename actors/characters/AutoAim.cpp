#include "actors/characters/AutoAim.h"

#include "actors/characters/Character.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/render/View.h"

#include <algorithm>
#include <cmath>
#include <iterator>

float g_AutoAimLastNotify = 0.0f;

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTwoPi = 6.2831853f;
constexpr float kHalfPi = 1.5707964f;

constexpr MessageRow kAutoAimRows[] = {
    SheetRow("AutoAim Properties", PROP_TITLE),
    FieldRow<&CQVAutoAim::m_AimType>(MSG_SET_AUTOAIM_TYPE, MSG_GET_AUTOAIM_TYPE,
                                     "Type:|2Axis|0|Spherical|1|_test2|2|_test3|3|_test4|4|_test5|5|LockOn|91|",
                                     PROP_CHOICE)
        .StoredBy<&CQVAutoAim::SetType>(),
    FlagRow<&CQVAutoAim::m_AimFlags>(MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BE, MSG_SET_AUTOAIM_AFFECTEDBYPARENT_6BF,
                                     AUTOAIM_AFFECTED_BY_PARENT, "affected by parent", PROP_CHECK),
    MemberRow<&CQVAutoAim::SmoothStyle, &CQVAutoAim::SetSmoothStyle>(
        MSG_SET_AUTOAIM_SMOOTHSTYLE_6BA, MSG_SET_AUTOAIM_SMOOTHSTYLE_6BB,
        "SmoothStyle:|No Smooth|0|Linear|1|Accelerated|2|", PROP_CHOICE),
    SheetRow("", PROP_SEPARATOR),
    FlagRow<&CQVAutoAim::m_AimFlags>(MSG_SET_AUTOAIM_USELIMITS, MSG_GET_AUTOAIM_USELIMITS, AUTOAIM_USE_LIMITS,
                                     "Use Limits,", PROP_CHECK)
        .StoredBy<&CQVAutoAim::SetUseLimits>(),
    FieldRow<&CQVAutoAim::m_LimitHorizontal>(MSG_SET_AUTOAIM_LIMITHORIZONTAL, MSG_GET_AUTOAIM_LIMITHORIZONTAL,
                                             "LimitHorizontal", PROP_ANGLE)
        .AppliesWhen<&CQVAutoAim::UsesLimits>(8),
    FieldRow<&CQVAutoAim::m_LimitVerticalMin>(MSG_SET_AUTOAIM_LIMITVERTICALMIN, MSG_GET_AUTOAIM_LIMITVERTICALMIN,
                                              "LimitVerticalMin", PROP_ANGLE)
        .AppliesWhen<&CQVAutoAim::UsesLimits>(8),
    FieldRow<&CQVAutoAim::m_LimitVerticalMax>(MSG_SET_AUTOAIM_LIMITVERTICALMAX, MSG_GET_AUTOAIM_LIMITVERTICALMAX,
                                              "LimitVerticalMax", PROP_ANGLE)
        .AppliesWhen<&CQVAutoAim::UsesLimits>(8),
    FieldRow<&CQVAutoAim::m_TurnSpeed>(MSG_SET_AUTOAIM_TURNSPEED, MSG_GET_AUTOAIM_TURNSPEED, "Turnspeed|\xB0/s|",
                                       PROP_ANGLE)
        .AppliesWhen<&CQVAutoAim::Smooths>(8),
    FieldRow<&CQVAutoAim::m_Damper>(MSG_SET_AUTOAIM_DAMPER, MSG_GET_AUTOAIM_DAMPER, "Damper", PROP_REAL)
        .AppliesWhen<&CQVAutoAim::Accelerates>(8),
    FieldRow<&CQVAutoAim::m_InsideThresholdAngle>(MSG_JKHJ, MSG_GHGH, "Inside Event Treshold", PROP_ANGLE),
    SheetRow("", PROP_SEPARATOR),
    FlagRow<&CQVAutoAim::m_AimFlags>(MSG_SET_AUTOAIM_AUTORELEASETARGET, MSG_GET_AUTOAIM_AUTORELEASETARGET,
                                     AUTOAIM_AUTO_RELEASE, "Auto Relase Target", PROP_CHECK)
        .StoredBy<&CQVAutoAim::SetAutoRelease>(),
    FieldRow<&CQVAutoAim::m_AutoReleaseTime>(MSG_SET_AUTOAIM_AUTORELEASETARGETTIME,
                                             MSG_GET_AUTOAIM_AUTORELEASETARGETTIME, "Auto Relase Target Time",
                                             PROP_REAL)
        .AppliesWhen<&CQVAutoAim::ReleasesAutomatically>(8),
    // The editor shows the release time a second time under this label.
    SheetRow("Block TresholdExitEvent On RelaseTarget", PROP_REAL, MSG_SET_AUTOAIM_AUTORELEASETARGETTIME,
             MSG_GET_AUTOAIM_AUTORELEASETARGETTIME),
    SheetRow("", PROP_SEPARATOR),
    SheetRow("Target Evaluation:", PROP_SEPARATOR),
    FlagRow<&CQVAutoAim::m_AimFlags>(MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BC, MSG_SET_AUTOAIM_MANUALTARGETSELECT_6BD,
                                     AUTOAIM_MANUAL_TARGET, "Dont use Collision (Manual Target)", PROP_CHECK)
        .StoredBy<&CQVAutoAim::SetManualTarget>(),
    FieldRow<&CQVAutoAim::m_EffectByPenetration>(MSG_SET_AUTOAIM_EFFECTBYPENETRATION,
                                                 MSG_GET_AUTOAIM_EFFECTBYPENETRATION, "Effect By Penetration",
                                                 PROP_REAL),
    SheetRow("Manual AimTarget", PROP_ACTOR, MSG_SET_AIMTARGET, MSG_GET_AIMTARGET),
    SheetRow("OutPutRotation", PROP_ACTOR, MSG_SET_AIMOUTPUT, MSG_GET_AIMOUTPUT),
    // Pairs without a sheet row.
    MemberRow<&CQVAutoAim::OutputSelector, &CQVAutoAim::SetOutputSelector>(MSG_SET_AUTOAIM_OUTPUT,
                                                                           MSG_GET_AUTOAIM_OUTPUT),
    FlagRow<&CQVAutoAim::m_AimFlags>(MSG_SET_AUTOAIM_USEAIMPREDICTION_6C2, MSG_SET_AUTOAIM_USEAIMPREDICTION_6C3,
                                     AUTOAIM_USE_PREDICTION)
        .StoredBy<&CQVAutoAim::SetUsePrediction>(),
    FieldRow<&CQVAutoAim::m_PredictionTimeOffset>(MSG_SET_AUTOAIM_AIMPREDICTIONTIMEOFFSET,
                                                  MSG_GET_AUTOAIM_AIMPREDICTIONTIMEOFFSET),
    FieldRow<&CQVAutoAim::m_PredictionDistanceTime>(MSG_SET_AUTOAIM_AIMPREDICTIONDISTANCETIME,
                                                    MSG_GET_AUTOAIM_AIMPREDICTIONDISTANCETIME),
};

constexpr MessageTable kAutoAimMessages{
    kAutoAimRows,
    CopiedFields<&CQVAutoAim::m_CandidateCount, &CQVAutoAim::m_CandidatePositions, &CQVAutoAim::m_CandidateIds,
                 &CQVAutoAim::m_LastNotifyTime, &CQVAutoAim::m_Copied, &CQVAutoAim::m_InsideThreshold,
                 &CQVAutoAim::m_AimFlags, &CQVAutoAim::m_AimPitch, &CQVAutoAim::m_AimYaw,
                 &CQVAutoAim::m_PitchVelocity, &CQVAutoAim::m_YawVelocity, &CQVAutoAim::m_EffectMaterial>()};

// Rows of the sheet whose sliders have a range.
constexpr size_t kLimitHorizontalRow = 6;
constexpr size_t kLimitVerticalMinRow = 7;
constexpr size_t kLimitVerticalMaxRow = 8;

// Timed-message flags: every frame, once, and after the collision pass of the frame.
constexpr uint32_t kEveryFrame = 0x100;
constexpr uint32_t kOnce = 0x200;
constexpr uint32_t kAfterCollisions = 0x700;

// The lock-on.
constexpr uint32_t kLockBit = 1u << 25;    // the character has a locked target
constexpr uint32_t kManualBit = 1u << 26;  // the player aimed by hand lately
constexpr float kLockOnRadius = 2000.0f;
constexpr float kIgnoreAfterNotify = 0.7f;
constexpr float kBlockedShort = 8100.0f;   // a hit more than 90 units short of the point blocks it
constexpr float kFacingDot = 0.88f;
constexpr float kRefillAfterNotify = 0.05f;
constexpr float kManualHold = 2.0f;
constexpr float kRelaxInterval = 1.0f;
constexpr float kUnhookAfter = 1.75f;
constexpr float kLookSpeed = 999.0f;
constexpr float kEffectSpeed = 6000.0f;
constexpr RayFilter kClearLine{0xFFFFFFFFu, 0xFFFFFFFFu, 0x48010};
constexpr uint32_t kLibraryMaterial = 4;

float Wrap(float x) {
    if (x > kPi) return ((x + kPi) - std::trunc((x + kPi) / kTwoPi) * kTwoPi) - kPi;
    if (x < -kPi) return ((x - kPi) - std::trunc((x - kPi) / kTwoPi) * kTwoPi) + kPi;
    return x;
}

float MoveToward(float value, float target, float step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

Vector3 CenterPoint(CQVActor* actor) {
    Vector3 point(0.0f, 0.0f, 0.0f);
    actor->HandleMessage(MSG_GET_CENTER_POINT, Args_Of(&point));
    return point;
}

CQVCharacter* AsCharacter(CQVActor* actor) {
    return actor && actor->m_ClassType == CLASS_CHARACTER ? dynamic_cast<CQVCharacter*>(actor) : nullptr;
}

bool IsDeadCharacter(CQVActor* actor) {
    const CQVCharacter* character = AsCharacter(actor);
    return character && character->m_Health <= 0.0f;
}

Quaternion AimRotation(float pitch, float yaw) {
    Quaternion qx, qy, q;
    Quat_FromAxisAngle(&qx, Vector3(1.0f, 0.0f, 0.0f), pitch);
    Quat_FromAxisAngle(&qy, Vector3(0.0f, 1.0f, 0.0f), yaw);
    Quat_Multiply(&q, qx, qy);
    return q;
}

CQVMaterialItem* AsMaterial(CQVLibraryItem* item) {
    return item && item->kind == LIBRARY_MATERIAL ? static_cast<CQVMaterialItem*>(item) : nullptr;
}

}  // namespace

CQVAutoAim::CQVAutoAim() {
    m_ClassType = CLASS_AUTOAIM;
    for (Vector3& position : m_CandidatePositions) position = Vector3(0.0f, 0.0f, 0.0f);
    m_Activity |= ACTIVITY_ENABLED;
    g_AutoAimLastNotify = 0.0f;
    OwnLinks();
}

CQVAutoAim::~CQVAutoAim() {
    m_AimTarget.Unlink();
    m_AimOutput.Unlink();
    for (AutoAimLockSlot& slot : m_LockSlots) slot.link.Unlink();
}

void CQVAutoAim::OwnLinks() {
    m_AimTarget.SetOwner(this);
    m_AimOutput.SetOwner(this);
    for (AutoAimLockSlot& slot : m_LockSlots) slot.link.SetOwner(this);
}

// ---------------------------------------------------------------------------
// Rows

int CQVAutoAim::SetType(uint32_t type) {
    m_AimType = type;
    if (type == AUTOAIM_LOCK_ON) {
        BuildLockOnVolumes();
        FindEffect();
    }
    return 2;
}

void CQVAutoAim::SetOutputSelector(uint32_t value) {
    m_AimFlags = (m_AimFlags & ~AUTOAIM_OUTPUT_MASK) | (value & AUTOAIM_OUTPUT_MASK);
}

int CQVAutoAim::SetSmoothStyle(uint32_t style) {
    m_AimFlags = (m_AimFlags & ~AUTOAIM_SMOOTH_MASK) | ((style << AUTOAIM_SMOOTH_SHIFT) & AUTOAIM_SMOOTH_MASK);
    m_PitchVelocity = 0.0f;
    m_YawVelocity = 0.0f;
    return 2;
}

int CQVAutoAim::SetFlagAnswering(uint32_t mask, bool on) {
    m_AimFlags = on ? (m_AimFlags | mask) : (m_AimFlags & ~mask);
    return 2;
}

CQVCharacter* CQVAutoAim::LockOnCharacter() const { return AsCharacter(m_Parent); }

// ---------------------------------------------------------------------------
// Links

void CQVAutoAim::SetLinkFromArgs(ActorLink& link, uint32_t id, MessageArgs args) {
    CQVActor* pointer = Args_Pointer<CQVActor>(id, args);
    const char* name = Args_Text(args, sizeof(CQVActor*));
    if (pointer) {
        link.targetName.clear();
        link.SetTarget(pointer);
    } else if (name && name[0]) {
        link.targetName = name;
        link.Unlink();
        link.Resolve();
    } else {
        link.targetName.clear();
        link.Unlink();
    }
}

void CQVAutoAim::AnswerLink(const ActorLink& link, MessageArgs args) const {
    Args_Set(args, 0, link.target);
    const std::string& name = link.target ? link.target->m_Name : link.targetName;
    Args_AnswerText(args, sizeof(CQVActor*), name);
}

bool CQVAutoAim::IsPending(uint32_t id) const {
    for (const TimedMessage* record : m_TimedMessages) {
        if (record->messageId == id && !(record->state & TIMED_STATE_CANCELLED)) return true;
    }
    return false;
}

void CQVAutoAim::ReleaseTarget() {
    if (m_InsideThreshold) {
        m_InsideThreshold = 0;
        HandleMessage(MSG_ON_AUTOAIM_TRESHOLD_EXIT, nullptr);
    }
    m_AimTarget.targetName.clear();
    m_AimTarget.Unlink();
}

void CQVAutoAim::CopyFromSource(const CQVAutoAim& source) {
    kAutoAimMessages.Copy(*this, source);
    m_AimTarget.targetName = source.m_AimTarget.targetName;
    m_AimTarget.SetTarget(source.m_AimTarget.target);
    m_AimOutput.targetName = source.m_AimOutput.targetName;
    m_AimOutput.SetTarget(source.m_AimOutput.target);
    for (size_t i = 0; i < std::size(m_LockSlots); ++i) {
        const AutoAimLockSlot& from = source.m_LockSlots[i];
        AutoAimLockSlot& to = m_LockSlots[i];
        to.link.SetTarget(from.link.target);
        to.lockTime = from.lockTime;
        to.effectPosition = from.effectPosition;
        to.effectFade = from.effectFade;
        to.effectStrength = from.effectStrength;
        to.spare = from.spare;
    }
    m_LoadedVersion = source.m_LoadedVersion;
    OwnLinks();
}

// ---------------------------------------------------------------------------
// Handler

int CQVAutoAim::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kAutoAimMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_SET_AIMTARGET:
        SetLinkFromArgs(m_AimTarget, id, args);
        break;
    case MSG_GET_AIMTARGET:
        AnswerLink(m_AimTarget, args);
        break;
    case MSG_SET_AIMOUTPUT:
        SetLinkFromArgs(m_AimOutput, id, args);
        break;
    case MSG_GET_AIMOUTPUT:
        AnswerLink(m_AimOutput, args);
        break;
    case MSG_AUTOAIM_RELEASE_TARGET:
        ReleaseTarget();
        break;
    case MSG_COLLISION_EVENT: {
        const ColObj* first = Args_Pointer<ColObj>(id, args);
        CQVActor* other = first ? first->owner : nullptr;
        if (other == nullptr || other == this) break;
        if (m_AimType == AUTOAIM_2AXIS || m_AimType == AUTOAIM_TEST2) CollectCandidate(other);
        else if (m_AimType == AUTOAIM_LOCK_ON) CollectLockOnCandidate(other);
        break;
    }
    case MSG_AUTOAIM_POSTCOLLISION:
        if (m_AimType == AUTOAIM_2AXIS || m_AimType == AUTOAIM_TEST2) ChooseTarget();
        else if (m_AimType == AUTOAIM_LOCK_ON) ChooseLockOnTargets();
        else m_CandidateCount = 0;
        break;
    case MSG_START:
    case MSG_ACTION_START:
        m_Activity |= ACTIVITY_ENABLED;
        break;
    case MSG_STOP:
    case MSG_ACTION_STOP_POST:
        m_Activity &= ~ACTIVITY_ENABLED;
        break;
    case MSG_INIT_LOAD: {
        const int result = CQVActor::HandleMessage(id, args);
        // Older files enabled the aim of the two plain types only.
        if (m_LoadedVersion < 64) {
            const bool plain = m_AimType == AUTOAIM_2AXIS || m_AimType == AUTOAIM_SPHERICAL;
            m_Activity = plain ? (m_Activity | ACTIVITY_ENABLED) : (m_Activity & ~ACTIVITY_ENABLED);
        }
        return result;
    }
    case MSG_PRECALCULATE:
        m_Flags &= ~ACTOR_DRAWGROUP_OPTION2;
        OwnLinks();
        m_AimTarget.Resolve();
        m_AimOutput.Resolve();
        if (m_AimType == AUTOAIM_LOCK_ON) FindEffect();
        break;
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source != this && source->m_ClassType == CLASS_AUTOAIM) {
            // The base copies its own fields first, then ours follow.
            const int result = CQVActor::HandleMessage(id, args);
            CopyFromSource(static_cast<const CQVAutoAim&>(*source));
            return result;
        }
        break;
    }
    case MSG_INVALID_ACTORPOINTER: {
        const ActorLink* link = Args_Pointer<ActorLink>(id, args);
        for (AutoAimLockSlot& slot : m_LockSlots) {
            if (link != &slot.link) continue;
            slot.link.Unlink();
            slot.lockTime = m_Clock->time;
            SetCharacterBit(kLockBit, false);
        }
        if (link == &m_AimTarget && m_InsideThreshold) {
            // The aim has nothing left to be inside of.
            m_InsideThreshold = 0;
            HandleMessage(MSG_ON_AUTOAIM_TRESHOLD_EXIT, nullptr);
        }
        break;
    }
    case MSG_AUTOAIM_MANUAL_AIM_NOTIFY:
        ManualAimNotify();
        break;
    case MSG_AUTOAIM_UNHOOK:
        Unhook();
        break;
    case MSG_AUTOAIM_UPDATE:
        LockOnUpdate();
        break;
    case MSG_HK_152:
        SetCharacterBit(kManualBit, false);
        break;
    case MSG_AUTOAIM_TOGGLE_EFFECT:
        if (m_LockSlots[0].link.target == nullptr) {
            CQVCharacter* character = LockOnCharacter();
            CQVActor* camera = character ? character->m_Camera.target : nullptr;
            if (camera && m_Parent) {
                const Matrix& world = m_Parent->GetWorldMatrix();
                Vector3 back(-world.m[2][0], -world.m[2][1], -world.m[2][2]);
                camera->HandleMessage(MSG_SET_DIRECTION, Args_Of(&back));
            }
        } else {
            m_AimFlags ^= AUTOAIM_STEADY_EFFECT;
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Types 0 and 2: candidates, the choice and the aim

void CQVAutoAim::CollectCandidate(CQVActor* actor) {
    if (m_CandidateCount >= AUTOAIM_MAX_CANDIDATES) return;
    const uint32_t* listed = m_CandidateIds + m_CandidateCount;
    if (std::find(static_cast<const uint32_t*>(m_CandidateIds), listed, actor->m_Id) != listed) return;
    if (IsDeadCharacter(actor)) return;
    m_CandidateIds[m_CandidateCount] = actor->m_Id;
    m_CandidatePositions[m_CandidateCount] = CenterPoint(actor);
    ++m_CandidateCount;
    if (!IsPending(MSG_AUTOAIM_POSTCOLLISION)) {
        ScheduleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr, kAfterCollisions, 0.0f, 0.0f, 0.0f);
    }
}

void CQVAutoAim::ChooseTarget() {
    const Vector3 own = GetWorldPosition();
    CQVActor* winner = nullptr;
    float best = 1e12f;
    for (uint32_t i = 0; i < m_CandidateCount; ++i) {
        // A candidate deleted since its collision takes no part.
        CQVActor* actor = CQVActorSystem::GetActorById(m_CandidateIds[i]);
        if (actor == nullptr) continue;
        const float distance = Vec3_LengthSq(m_CandidatePositions[i] - own);
        if (distance < best) {
            best = distance;
            winner = actor;
        }
    }
    m_CandidateCount = 0;
    const bool release = ReleasesAutomatically();
    if (winner && winner == m_AimTarget.target) {
        if (release) {
            for (TimedMessage* record : m_TimedMessages) {
                if (record->messageId == MSG_AUTOAIM_RELEASE_TARGET && !(record->state & TIMED_STATE_CANCELLED)) {
                    RescheduleTimedMessage(record, m_AutoReleaseTime);
                    break;
                }
            }
        }
        return;
    }
    m_AimTarget.targetName.clear();
    if (winner) m_AimTarget.SetTarget(winner);
    else m_AimTarget.Unlink();
    if (release && !IsPending(MSG_AUTOAIM_RELEASE_TARGET)) {
        ScheduleMessage(MSG_AUTOAIM_RELEASE_TARGET, nullptr, kOnce, m_AutoReleaseTime, 0.0f, 0.0f);
    }
}

void CQVAutoAim::Smooth(float pitchW, float yawW, float dt) {
    switch (SmoothStyle()) {
    case AUTOAIM_NO_SMOOTH:
        m_AimPitch = pitchW;
        m_AimYaw = yawW;
        break;
    case AUTOAIM_LINEAR: {
        const float step = dt * m_TurnSpeed;
        if (step > 0.0f) {
            m_AimPitch = Wrap(Character_ApproachAngle(m_AimPitch, pitchW, step));
            m_AimYaw = Wrap(Character_ApproachAngle(m_AimYaw, yawW, step));
        }
        break;
    }
    case AUTOAIM_ACCELERATED:
        m_PitchVelocity += dt * m_TurnSpeed * Wrap(pitchW - m_AimPitch);
        m_YawVelocity += dt * m_TurnSpeed * Wrap(yawW - m_AimYaw);
        // A damper of 0 would divide the velocity into infinities: it damps nothing.
        if (m_Damper != 0.0f) {
            m_PitchVelocity /= m_Damper;
            m_YawVelocity /= m_Damper;
        }
        m_AimPitch += m_PitchVelocity;
        m_AimYaw += m_YawVelocity;
        break;
    default:
        break;
    }
}

void CQVAutoAim::Aim() {
    CQVActor* target = m_AimTarget.target;
    CQVActor* output = m_AimOutput.target;
    if (!IsEnabled() || target == nullptr || output == nullptr) return;
    const bool local = (m_AimFlags & AUTOAIM_AFFECTED_BY_PARENT) != 0;
    Vector3 d = CenterPoint(target) - GetWorldPosition();
    if (local) {
        Vector3 turned;
        Vec3_TransformNormal(&turned, d, GetInverseWorldMatrix());
        d = turned;
    }
    const float yawW = Vec3_GetYaw(d);
    const float pitchW = -Vec3_GetPitch(d);
    Smooth(pitchW, yawW, m_Clock->dt);

    if (UsesLimits()) {
        float pitch0 = 0.0f, yaw0 = 0.0f;
        if (!local) {
            const Matrix& world = GetWorldMatrix();
            const Vector3 facing(world.m[2][0], world.m[2][1], world.m[2][2]);
            pitch0 = -Vec3_GetPitch(facing);
            yaw0 = Vec3_GetYaw(facing);
            m_AimPitch = Wrap(m_AimPitch - pitch0);
            m_AimYaw = Wrap(m_AimYaw - yaw0);
        }
        m_AimYaw = std::clamp(m_AimYaw, -m_LimitHorizontal, std::max(m_LimitHorizontal, -m_LimitHorizontal));
        if (m_AimPitch > m_LimitVerticalMax) m_AimPitch = m_LimitVerticalMax;
        if (m_AimPitch < m_LimitVerticalMin) m_AimPitch = m_LimitVerticalMin;
        if (!local) {
            m_AimPitch = Wrap(m_AimPitch + pitch0);
            m_AimYaw = Wrap(m_AimYaw + yaw0);
        }
    }

    const bool inside = std::fabs(Wrap(m_AimPitch - pitchW)) < m_InsideThresholdAngle &&
                        std::fabs(Wrap(m_AimYaw - yawW)) < m_InsideThresholdAngle;
    if (inside) {
        if (!m_InsideThreshold) {
            m_InsideThreshold = 1;
            HandleMessage(MSG_ON_AUTOAIM_TRESHOLD_ENTER, nullptr);
        }
    } else if (m_InsideThreshold) {
        m_InsideThreshold = 0;
        HandleMessage(MSG_ON_AUTOAIM_TRESHOLD_EXIT, nullptr);
    }

    // An event script may have cut the links.
    const Quaternion q = AimRotation(m_AimPitch, m_AimYaw);
    if (local) {
        if (CQVActor* out = m_AimOutput.target) {
            out->m_Rotation = q;
            out->InvalidateTransform();
        }
    } else {
        SetWorldRotation(q);
    }
}

void CQVAutoAim::Update() {
    if (!IsOperational()) return;
    RefreshClock(this);
    if (m_AimType == AUTOAIM_2AXIS || m_AimType == AUTOAIM_TEST2) {
        Aim();
    } else if (m_AimType == AUTOAIM_LOCK_ON) {
        StepEffects(m_Clock->dt);
        DrawEffects();
    }
    CQVActor::Update();
}

// ---------------------------------------------------------------------------
// Type 91: the dual lock-on

void CQVAutoAim::SetCharacterBit(uint32_t bit, bool on) {
    // Only a Character under the AutoAim has state bits to touch.
    CQVCharacter* character = LockOnCharacter();
    if (character == nullptr) return;
    character->m_StateFlags = on ? (character->m_StateFlags | bit) : (character->m_StateFlags & ~bit);
}

void CQVAutoAim::BuildLockOnVolumes() {
    if (m_AimFlags & AUTOAIM_MANUAL_TARGET) return;
    if (!m_ColObjs.empty()) {
        m_ColObjs.front().groupsReceive |= 1u << 8;
        return;
    }
    ColObj sensor;
    sensor.name = "_";
    sensor.type = COLOBJ_SPHERE;
    sensor.boxMin = Vector3(0.0f, 0.0f, 0.0f);
    sensor.boxMax = Vector3(kLockOnRadius, kLockOnRadius, kLockOnRadius);
    // It hears of what enters it, and pushes and blocks nothing.
    sensor.flags = (ColObj{}.flags & ~(COLOBJ_SENDS | COLOBJ_SOLID | COLOBJ_BLOCKS)) | COLOBJ_RECEIVES | COLOBJ_TRIGGERED;
    sensor.groups = 0x40000;
    sensor.groupsReceive = 0x4000001;
    sensor.groupsExclude = 0xc0010;
    sensor.owner = this;
    ColObj dynamic = sensor;
    dynamic.name = "DynamicHACK";
    // Keeps the AutoAim among the movers, so the sensor follows its parent.
    dynamic.flags = ColObj{}.flags | COLOBJ_SENDS | COLOBJ_RECEIVES | COLOBJ_SOLID | COLOBJ_BLOCKS;
    dynamic.groups = dynamic.groupsReceive = dynamic.groupsExclude = 0;
    m_ColObjs.push_back(sensor);
    m_ColObjs.push_back(dynamic);
    if (g_ActorSystem) {
        g_ActorSystem->RemoveFromDrawGroup(this, 0);
        g_ActorSystem->AddToDrawGroup(this, 0);
    }
}

void CQVAutoAim::FindEffect() {
    if (m_EffectMaterial) return;
    CQVEngine* engine = CQVEngine::GetInstance();
    m_EffectMaterial = engine ? AsMaterial(engine->FindItem("AimEffect01", kLibraryMaterial)) : nullptr;
    // Its textures are made now, not on the frame that first draws it.
    if (m_EffectMaterial) Library_LoadItem(m_EffectMaterial);
}

void CQVAutoAim::CollectLockOnCandidate(CQVActor* actor) {
    const float now = m_Clock->time;
    if ((m_AimFlags & AUTOAIM_STEADY_EFFECT) && now - m_LastNotifyTime > kIgnoreAfterNotify) return;
    if (m_CandidateCount >= AUTOAIM_MAX_CANDIDATES) return;
    const uint32_t* listed = m_CandidateIds + m_CandidateCount;
    if (std::find(static_cast<const uint32_t*>(m_CandidateIds), listed, actor->m_Id) != listed) return;
    if (g_ActorSystem && !g_ActorSystem->AreDrawGroupsConnected(static_cast<int32_t>(actor->m_DrawGroupId),
                                                                 static_cast<int32_t>(m_DrawGroupId)))
        return;
    if (actor->m_Activity & ACTIVITY_KILLED) return;
    if (actor->m_ClassType != CLASS_CHARACTER && actor->m_ClassType != CLASS_AIM_TARGET) return;
    if (IsDeadCharacter(actor)) return;
    const Vector3 point = CenterPoint(actor);
    if (g_ActorSystem) {
        Vector3 hit(0.0f, 0.0f, 0.0f);
        const ColObj* blocker = g_ActorSystem->RayCast(kClearLine, GetWorldPosition(), point, &hit, nullptr);
        const CQVActor* owner = blocker ? blocker->owner : nullptr;
        if (blocker && owner != actor && owner != this && owner != m_Parent &&
            Vec3_LengthSq(point - hit) > kBlockedShort)
            return;
    }
    m_CandidateIds[m_CandidateCount] = actor->m_Id;
    m_CandidatePositions[m_CandidateCount] = point;
    ++m_CandidateCount;
    if (!IsPending(MSG_AUTOAIM_POSTCOLLISION)) {
        ScheduleMessage(MSG_AUTOAIM_POSTCOLLISION, nullptr, kAfterCollisions, 0.0f, 0.0f, 0.0f);
    }
}

void CQVAutoAim::FillSlot(int slot, CQVActor* target, float now) {
    m_LockSlots[slot].link.SetTarget(target);
    m_LockSlots[slot].lockTime = now;
    SetCharacterBit(kLockBit, true);
}

void CQVAutoAim::ChooseLockOnTargets() {
    const uint32_t count = m_CandidateCount;
    m_CandidateCount = 0;
    CQVCharacter* character = LockOnCharacter();
    CQVActor* camera = character ? character->m_Camera.target : nullptr;
    if (camera == nullptr) return;
    Vector3 direction(0.0f, 0.0f, 1.0f);
    camera->HandleMessage(MSG_GET_DIRECTION, Args_Of(&direction));
    const Vector3 eye = camera->GetWorldPosition();
    const Vector3 own = GetWorldPosition();

    struct Kept {
        CQVActor* actor;
        float distance;
    };
    std::vector<Kept> kept;
    for (uint32_t i = 0; i < count; ++i) {
        CQVActor* actor = CQVActorSystem::GetActorById(m_CandidateIds[i]);
        if (actor == nullptr) continue;
        if (Vec3_Dot(Vec3_Normalized(m_CandidatePositions[i] - eye), direction) < kFacingDot) continue;
        kept.push_back({actor, Vec3_LengthSq(m_CandidatePositions[i] - own)});
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.distance < b.distance; });
    if (kept.size() > 2) kept.resize(2);

    const float now = m_Clock->time;
    if (now - m_LastNotifyTime >= kRefillAfterNotify) {
        for (const Kept& k : kept) {
            const bool held = m_LockSlots[0].link.target == k.actor || m_LockSlots[1].link.target == k.actor;
            if (held) continue;
            bool filled = false;
            for (int slot = 0; slot < 2; ++slot) {
                if (m_LockSlots[slot].link.target) continue;
                FillSlot(slot, k.actor, now);
                filled = true;
            }
            if (!filled && m_LockSlots[0].link.target == m_LockSlots[1].link.target) {
                FillSlot(0, k.actor, now);
                filled = true;
            }
            if (filled) CancelTimedMessages(MSG_AUTOAIM_UNHOOK);
        }
    } else {
        for (size_t i = 0; i < kept.size(); ++i) {
            if (m_LockSlots[i].link.target != kept[i].actor) FillSlot(static_cast<int>(i), kept[i].actor, now);
        }
    }
    if (kept.empty() && (m_LockSlots[0].link.target || m_LockSlots[1].link.target) && !IsPending(MSG_AUTOAIM_UNHOOK)) {
        ScheduleMessage(MSG_AUTOAIM_UNHOOK, nullptr, kOnce, kUnhookAfter, 0.0f, 0.0f);
    }
    if (m_LockSlots[0].link.target && !IsPending(MSG_AUTOAIM_UPDATE)) {
        ScheduleMessage(MSG_AUTOAIM_UPDATE, nullptr, kEveryFrame, 0.0f, 0.0f, 0.0f);
    }
}

void CQVAutoAim::ManualAimNotify() {
    const float now = m_Clock->time;
    SetCharacterBit(kManualBit, true);
    ScheduleMessage(MSG_HK_152, nullptr, kOnce, kManualHold, 0.0f, 0.0f);
    if (now - g_AutoAimLastNotify > kRelaxInterval) {
        if (CQVCharacter* character = LockOnCharacter()) {
            for (const char* hand : {"LeftHand", "RightHand"}) {
                if (CQVActor* actor = CQVActor::FindDescendantByName(character, hand)) {
                    actor->HandleMessage(MSG_SAFE_SCRIPT_EXECUTE, Args_Of("RelaxReset"));
                }
            }
        }
        g_AutoAimLastNotify = now;
    }
    m_LastNotifyTime = now;
}

void CQVAutoAim::Unhook() {
    const float now = m_Clock->time;
    if (now - m_LockSlots[0].lockTime <= kUnhookAfter || now - m_LockSlots[1].lockTime <= kUnhookAfter) return;
    for (AutoAimLockSlot& slot : m_LockSlots) {
        slot.link.Unlink();
        slot.lockTime = now;
    }
    SetCharacterBit(kLockBit, false);
    CancelTimedMessages(MSG_AUTOAIM_UPDATE);
}

float CQVAutoAim::LockOnBlend() const {
    return std::clamp((m_Clock->time - m_LastNotifyTime) * 3.0f - 1.0f, 0.0f, 1.0f);
}

void CQVAutoAim::LockOnUpdate() {
    CQVCharacter* character = LockOnCharacter();
    if (character == nullptr) return;
    const float b = LockOnBlend();
    if (b <= 0.0f) {
        SetCharacterBit(kLockBit, false);
        return;
    }
    character->SendValue<float>(MSG_SET_LOOK_ROT_Y_SPEED, kLookSpeed);
    Vector3 eye(0.0f, 0.0f, 0.0f);
    character->HandleMessage(MSG_GET_VISION_POINT, Args_Of(&eye));
    const struct {
        uint32_t yaw, pitch;
        float currentYaw, currentPitch;
    } looks[2] = {{MSG_SET_LOOK_ROT_Y, MSG_SET_LOOK_ROT_X, character->m_LookRotY, character->m_LookRotX},
                  {MSG_CHAR_SET_LOOK_ROT2_Y, MSG_CHAR_SET_LOOK_ROT2_X, character->m_LookRot2Y, character->m_LookRot2X}};
    for (int i = 0; i < 2; ++i) {
        CQVActor* target = m_LockSlots[i].link.target;
        if (target == nullptr) continue;
        const Vector3 d = CenterPoint(target) - eye;
        // The look matrices face the body's back at yaw 0: a half turn points them at d.
        const float yaw = Wrap(Vec3_GetYaw(d) - kPi);
        const float pitch = -Vec3_GetPitch(d);
        const float blendedYaw = looks[i].currentYaw + Wrap(yaw - looks[i].currentYaw) * b;
        const float blendedPitch = looks[i].currentPitch + (pitch - looks[i].currentPitch) * b;
        character->SendValue<float>(looks[i].yaw, blendedYaw);
        character->SendValue<float>(looks[i].pitch, blendedPitch);
        if (LockOnCharacter() != character) return;  // a script moved the AutoAim
    }
}

void CQVAutoAim::StepEffects(float dt) {
    const float b = LockOnBlend();
    for (AutoAimLockSlot& slot : m_LockSlots) {
        if (CQVActor* target = slot.link.target) {
            const Vector3 point = CenterPoint(target);
            const Vector3 delta = point - slot.effectPosition;
            const float distance = Vec3_Length(delta);
            const float step = kEffectSpeed * dt;
            slot.effectPosition = distance <= step || distance <= 0.0f ? point : slot.effectPosition + delta * (step / distance);
            if (b > 0.0f) {
                slot.effectFade = std::min(slot.effectFade + dt, 1.0f);
                slot.effectStrength = MoveToward(slot.effectStrength, 1.0f, 5.0f * dt);
            } else {
                slot.effectFade = MoveToward(slot.effectFade, 0.7f, dt);
                slot.effectStrength = MoveToward(slot.effectStrength, 0.166f, 5.0f * dt);
            }
        } else {
            slot.effectFade = std::max(slot.effectFade - dt, 0.0f);
            slot.effectStrength = MoveToward(slot.effectStrength, 1.0f, 5.0f * dt);
        }
    }
}

void CQVAutoAim::DrawEffects() {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || m_EffectMaterial == nullptr) return;
    const float now = m_Clock->time;
    const Vector3 eye = *engine->GetCameraPosition();
    Vector3 forward(0.0f, 0.0f, 1.0f);
    engine->GetCameraDirection(&forward);
    float k = 0.0f;
    if (m_AimFlags & AUTOAIM_STEADY_EFFECT) k = 0.37f;
    else k = (static_cast<int64_t>(std::trunc(now * 6.0f)) % 2 != 0) ? 0.259f : 0.333f;
    const float screen = static_cast<float>(Graphics_GetViewportHeight());
    for (int i = 0; i < 2; ++i) {
        const AutoAimLockSlot& slot = m_LockSlots[i];
        if (slot.effectFade <= 0.0f) continue;
        const Vector3 toward = slot.effectPosition - eye;
        const float distance = Vec3_Length(toward);
        if (distance <= 0.0f || Vec3_Dot(toward, forward) < 0.0f) continue;
        Vector3 projected = slot.effectPosition;
        Camera_ProjectToScreen(&projected);
        if (!(projected.z > 0.0f)) continue;
        const float u = 1.0f - slot.effectFade;
        const float angle = static_cast<float>(i) * 3.1415f + now * 0.6f - 6.0f * u * u;
        const float size = (1.5f * u * u + 0.1f) * screen * 1000.0f / distance;
        const float alpha = slot.effectFade * k * slot.effectStrength * 0.8f;
        // Corners in strip order: top left, top right, bottom left, bottom right.
        const float h = size * 0.5f, c = std::cos(angle), s = std::sin(angle);
        const auto corner = [&](float x, float y, float* outX, float* outY) {
            *outX = projected.x + x * c - y * s;
            *outY = projected.y + x * s + y * c;
        };
        float x[4], y[4];
        corner(-h, -h, &x[0], &y[0]);
        corner(h, -h, &x[1], &y[1]);
        corner(-h, h, &x[2], &y[2]);
        corner(h, h, &x[3], &y[3]);
        engine->AddQuadCorners(x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3], 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f,
                               1.0f, alpha, m_EffectMaterial);
    }
}

// ---------------------------------------------------------------------------
// Record

int CQVAutoAim::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->direction == ARCHIVE_READING) m_LoadedVersion = archive->version;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_AimType);
        archive->SerializeDword(&m_AimFlags);
        archive->SerializeDword(&m_LimitHorizontal);
        archive->SerializeDword(&m_LimitVerticalMin);
        archive->SerializeDword(&m_LimitVerticalMax);
        archive->SerializeDword(&m_TurnSpeed);
        archive->SerializeDword(&m_Damper);
        archive->SerializeDword(&m_EffectByPenetration);
        archive->SerializeDword(&m_PredictionTimeOffset);
        archive->SerializeDword(&m_AutoReleaseTime);
        archive->SerializeDword(&m_InsideThresholdAngle);
        m_AimTarget.Serialize(archive);
        m_AimOutput.Serialize(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVAutoAim::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_AUTOAIM];
    record.Define("AutoAim", "AutoAim", {CLASS_BASE, CLASS_AUTOAIM});
    const size_t first = record.properties.size();
    kAutoAimMessages.AddSheet(record);
    const auto range = [&](size_t row, float min, float max) {
        PropertyDesc& desc = record.properties[first + row];
        desc.ranged = 1;
        desc.min = min;
        desc.max = max;
    };
    range(kLimitHorizontalRow, 0.0f, kPi);
    range(kLimitVerticalMinRow, -kHalfPi, kHalfPi);
    range(kLimitVerticalMaxRow, -kHalfPi, kHalfPi);
}
