#include "actors/characters/Character.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

const char* const g_BaseMotionNames[kBaseMotionCount] = {
    "Neutral",   "Jump",      "Left",      "Right",     "Forward",   "Back",      "Action",    "Listen",
    "Gethit0",   "Gethit1",   "Gethit2",   "Gethit3",   "Gethit4",   "Gethit5",   "Gethit6",   "Gethit7",
    "Gethit8",   "Gethit9",   "Damage0",   "Damage1",   "Damage2",   "Damage3",   "Damage4",   "Damage5",
    "Damage6",   "Damage7",   "Damage8",   "Damage9",   "Attack0",   "Attack1",   "Attack2",   "Attack3",
    "Defend",    "Forward1",  "Exhausted", "Guarding",  "Die",       "Die0",      "Die1",      "Die2",
    "Die3",      "Die4",      "Die5",      "Dead0",     "Dead1",     "Dead2",     "Throw",     "Special0",
    "Special1",  "Special2",  "Special3",  "Special4",  "Special5",  "Special6",  "Special7",  "Special8",
    "Special9",  "Relax",     "Special10", "Special11", "Special12", "Special13", "Special14", "Special15",
    "?",
};

const char* const g_CharacterBoneNames[kCharacterBoneCount] = {
    "Spine",  "Spine1",  "Spine2",  "Spine3", "Neck",    "Head",   "L_UpperArm", "L_Forearm",
    "L_Hand", "R_Hand",  "L_Thigh", "L_Foot", "R_Thigh", "R_Foot", "TailNub",
};

namespace {

template <uint32_t I>
constexpr MessageRow CpRow(uint32_t setId, uint32_t getId, const char* label) {
    return MemberRow<&CQVCharacter::GetCp<I>, &CQVCharacter::SetCp<I>>(setId, getId, label, PROP_REAL);
}

constexpr const char* kTypeList =
    "Type:|Custom|0|FirstPerson|1|Guard|2|ThirdPerson|3|ThirdPersonShooter|4|Console|5|Undef6|6|Undef7|7|Undef8|8|";

constexpr MessageRow kCharacterRows[] = {
    SheetRow("Character Properties", PROP_TITLE),
    FieldRow<&CQVCharacter::m_CharacterType>(MSG_SET_CHARACTER_TYPE, MSG_GET_CHARACTER_TYPE, kTypeList, PROP_CHOICE)
        .Then<&CQVCharacter::ApplyCharacterType>(),
    FieldRow<&CQVCharacter::m_IconLibId>(MSG_SET_CHARACTER_ICON_LIBID, MSG_GET_CHARACTER_ICON_LIBID,
                                         "Pick Character Icon Material:", PROP_ICON),
    SheetRow("Character Health", PROP_SEPARATOR),
    FieldRow<&CQVCharacter::m_Health>(MSG_SET_HEALTH, MSG_GET_HEALTH, "Health:", PROP_REAL),
    FieldRow<&CQVCharacter::m_CharacterGroups>(MSG_SET_CHARACTERGROUP, MSG_GET_CHARACTERGROUP, "Character Group:",
                                               PROP_GROUP_MASK),
    SheetRow("Character Parameters", PROP_TITLE),
    CpRow<CP_SPEED>(MSG_SET_CPSPEED, MSG_GET_CPSPEED, "Speed:"),
    CpRow<CP_ENDURANCE>(MSG_SET_CPENDURANCE, MSG_GET_CPENDURANCE, "Endurance:"),
    CpRow<CP_STRENGTH>(MSG_SET_CPSTRENGTH, MSG_GET_CPSTRENGTH, "Strength:"),
    CpRow<CP_WEIGHT>(MSG_SET_CPWEIGHT, MSG_GET_CPWEIGHT, "Weight:"),
    CpRow<CP_HEARING>(MSG_SET_CPHEARING, MSG_GET_CPHEARING, "Hearing:"),
    CpRow<CP_NOISELEVEL>(MSG_SET_CPNOISELEVEL, MSG_GET_CPNOISELEVEL, "Noise:"),
    CpRow<CP_CONSTITUTION>(MSG_SET_CPCONSTITUTION, MSG_GET_CPCONSTITUTION, "Constitution:"),
    SheetRow("Character Vision Parameters", PROP_TITLE),
    CpRow<CP_VISION>(MSG_SET_CPVISION, MSG_GET_CPVISION, "Vision:"),
    CpRow<CP_FOV>(MSG_SET_CPFOV, MSG_GET_CPFOV, "Fov:"),
    CpRow<CP_JUMP_FORCE>(MSG_SET_CPJUMPFORCE, MSG_GET_CPJUMPFORCE, "JumpForce:"),
    FieldRow<&CQVCharacter::m_KickMul>(MSG_SET_KICKMUL, MSG_GET_KICKMUL, "JumpForce KickMul:", PROP_REAL),
    CpRow<CP_MOVE_ON_JUMP>(MSG_SET_CPMOVEONJUMP, MSG_GET_CPMOVEONJUMP, "MoveOnJump:"),
    CpRow<CP_MOVE_ON_JUMP_MAX>(MSG_SET_CPMOVEONJUMPMAX, MSG_GET_CPMOVEONJUMPMAX, "MoveOnJumpMax:"),
    FieldRow<&CQVCharacter::m_MoveOnFallMul>(MSG_SET_MOVEONFALLMUL, MSG_GET_MOVEONFALLMUL, "MoveOnFallMul:",
                                             PROP_REAL),
    CpRow<CP_GAMMA_R_ADD>(MSG_SET_CPGAMMARADD, MSG_GET_CPGAMMARADD, "Gamma Add R:"),
    CpRow<CP_GAMMA_G_ADD>(MSG_SET_CPGAMMAGADD, MSG_GET_CPGAMMAGADD, "Gamma Add G:"),
    CpRow<CP_GAMMA_B_ADD>(MSG_SET_CPGAMMABADD, MSG_GET_CPGAMMABADD, "Gamma Add B:"),
    CpRow<CP_FALL_DAMAGE1_MUL>(MSG_CHAR_SET_CPFALLDAMAGE1_MUL, MSG_CHAR_GET_CPFALLDAMAGE1_MUL, "FallDamage1 Mul:"),
    FieldRow<&CQVCharacter::m_FallDamageStart>(MSG_SET_FALLDAMAGE_START, MSG_GET_FALLDAMAGE_START,
                                               "FallDamage2 Start:", PROP_REAL),
    FieldRow<&CQVCharacter::m_FallDamageStop>(MSG_SET_FALLDAMAGE_STOP, MSG_GET_FALLDAMAGE_STOP, "FallDamage2 Stop:",
                                              PROP_REAL),
    FieldRow<&CQVCharacter::m_FallDamageValue>(MSG_SET_FALLDAMAGE_VALUE, MSG_GET_FALLDAMAGE_VALUE,
                                               "FallDamage2 Value:", PROP_REAL),
    MemberRow<&CQVCharacter::IsSuspended, &CQVCharacter::SetSuspendMode>(MSG_SET_SUSPENDMODE, MSG_GET_SUSPENDMODE,
                                                                         "Suspend Mode:", PROP_CHECK),

    // Pairs without a sheet row.
    FieldRow<&CQVCharacter::m_NetworkSessionId>(MSG_SET_NETWORK_SESSION_ID, MSG_GET_NETWORK_SESSION_ID),
    FlagRow<&CQVCharacter::m_StateFlags>(MSG_SET_WALLCLIMB_ENABLE, MSG_GET_WALLCLIMB_ENABLE, CHAR_WALL_CLIMB),
    FlagRow<&CQVCharacter::m_StateFlags>(MSG_SET_HOST, MSG_GET_HOST, CHAR_HOST),
    FieldRow<&CQVCharacter::m_DizzyTime>(MSG_SET_DIZZY_TIME, MSG_GET_DIZZY_TIME),
    FieldRow<&CQVCharacter::m_HoldTime>(MSG_SET_HOLD_TIME, MSG_GET_HOLD_TIME).StoredBy<&CQVCharacter::SetHoldTime>(),
    FlagRow<&CQVCharacter::m_StateFlags>(MSG_SET_DEAD_LOCK, MSG_GET_DEAD_LOCK, CHAR_DEAD_LOCK)
        .Then<&CQVCharacter::AfterDeadLock>(),
    FieldRow<&CQVCharacter::m_DieIndex>(MSG_SET_DIE_INDEX, MSG_GET_DIE_INDEX),
    MemberRow<&CQVCharacter::StateText, &CQVCharacter::RequestState>(MSG_SET_STATE_349, MSG_GET_STATE_34A),
    MemberRow<&CQVCharacter::MovementText, &CQVCharacter::RequestMovement>(MSG_SET_MOVEMENT_34D, MSG_GET_MOVEMENT),
    FieldRow<&CQVCharacter::m_RotY>(MSG_SET_ROT_Y_3D0, MSG_SET_ROT_Y_3D1)
        .StoresWhen<&CQVCharacter::CanTurn>(ROW_PASS_ON),
    FieldRow<&CQVCharacter::m_LookRotY>(MSG_SET_LOOK_ROT_Y, MSG_GET_LOOK_ROT_Y),
    FieldRow<&CQVCharacter::m_LookRotX>(MSG_SET_LOOK_ROT_X, MSG_GET_LOOK_ROT_X),
    FieldRow<&CQVCharacter::m_LookRotXSpeed>(MSG_SET_LOOK_ROT_X_SPEED, MSG_GET_LOOK_ROT_X_SPEED),
    FieldRow<&CQVCharacter::m_LookRotYSpeed>(MSG_SET_LOOK_ROT_Y_SPEED, MSG_GET_LOOK_ROT_Y_SPEED),
    FieldRow<&CQVCharacter::m_LookYawDelta>(0, MSG_GET_LOOK_ROT_Y_OFFSET),
    FieldRow<&CQVCharacter::m_LookRot2Y>(MSG_CHAR_SET_LOOK_ROT2_Y, MSG_CHAR_GET_LOOK_ROT2_Y)
        .StoredBy<&CQVCharacter::SetLookRot2Y>(),
    FieldRow<&CQVCharacter::m_LookRot2X>(MSG_CHAR_SET_LOOK_ROT2_X, MSG_CHAR_GET_LOOK_ROT2_X)
        .StoredBy<&CQVCharacter::SetLookRot2X>(),
    FieldRow<&CQVCharacter::m_LookRot2XSpeed>(MSG_CHAR_SET_LOOK_ROT2_X_SPEED, MSG_CHAR_GET_LOOK_ROT2_X_SPEED),
    FieldRow<&CQVCharacter::m_LookRot2YSpeed>(MSG_CHAR_SET_LOOK_ROT2_Y_SPEED, MSG_CHAR_GET_LOOK_ROT2_Y_SPEED),
    FieldRow<&CQVCharacter::m_TurnSpeed>(MSG_SET_TURN_SPEED, MSG_GET_TURN_SPEED),
    FieldRow<&CQVCharacter::m_HeadTurningSpeed>(MSG_SET_HEAD_TURNING_SPEED, MSG_GET_HEAD_TURNING_SPEED),
    FieldRow<&CQVCharacter::m_DirectionBehaviour>(MSG_SET_DIRECTION_BEHAVIOUR, MSG_GET_DIRECTION_BEHAVIOUR),
    FieldRow<&CQVCharacter::m_Money>(MSG_SET_MONEY, MSG_GET_MONEY),
    FieldRow<&CQVCharacter::m_Score>(MSG_SET_SCORE, MSG_GET_SCORE),
    MemberRow<&CQVCharacter::ClampedCapacity>(0, MSG_GET_CAPACITY),
    MemberRow<&CQVCharacter::NoiseLevel>(0, MSG_GET_NOISE_LEVEL),
    MemberRow<&CQVCharacter::IsNeutral>(0, MSG_CHARACTER_IS_NEUTRAL_35F),
    MemberRow<&CQVCharacter::IsForward>(0, MSG_CHARACTER_IS_NEUTRAL_360),
    MemberRow<&CQVCharacter::IsHealthAbove100>(0, MSG_CHARACTER_HEALTH_IS_ABOVE_100),
    MemberRow<&CQVCharacter::IsInAir>(0, MSG_IS_IN_AIR),
    MemberRow<&CQVCharacter::IsOnGround>(0, MSG_IS_ON_GROUND),
    MemberRow<&CQVCharacter::IsOnWall>(0, MSG_IS_ON_WALL),
    MemberRow<&CQVCharacter::IsInCrouch>(0, MSG_IS_IN_CROUCH),
    MemberRow<&CQVCharacter::IsInRun>(0, MSG_IS_IN_RUN),
    MemberRow<&CQVCharacter::IsInMelee>(0, MSG_IS_INMELEE),
};

// The fields a copy takes besides those the rows bind; the links and the
// bones are the copy's own.
constexpr MessageTable kCharacterMessages{
    kCharacterRows,
    CopiedFields<&CQVCharacter::m_CpBase, &CQVCharacter::m_CpChangeTarget, &CQVCharacter::m_CpChangeProgress,
                 &CQVCharacter::m_CpChangeRate, &CQVCharacter::m_CpAux, &CQVCharacter::m_CpEffective,
                 &CQVCharacter::m_CpStepTimer, &CQVCharacter::m_HealthMax, &CQVCharacter::m_CurrentMotionName,
                 &CQVCharacter::m_Capacity, &CQVCharacter::m_CapacityPrevious, &CQVCharacter::m_Reserved0,
                 &CQVCharacter::m_SpeedFactor, &CQVCharacter::m_MotionLetter, &CQVCharacter::m_MotionLetter2,
                 &CQVCharacter::m_RequestedLetter, &CQVCharacter::m_StateLetter, &CQVCharacter::m_MotionIndex,
                 &CQVCharacter::m_Reserved1, &CQVCharacter::m_MotionVelocity, &CQVCharacter::m_CommandQueue,
                 &CQVCharacter::m_SensorColor, &CQVCharacter::m_PreviousSensorColor, &CQVCharacter::m_Reserved2,
                 &CQVCharacter::m_LookRotXSM, &CQVCharacter::m_LookRotYSM, &CQVCharacter::m_LookRot2XSM,
                 &CQVCharacter::m_LookRot2YSM, &CQVCharacter::m_RotYOld,
                 &CQVCharacter::m_HeadYaw, &CQVCharacter::m_HeadYaw2, &CQVCharacter::m_HeadTurningSpeed2,
                 &CQVCharacter::m_DesiredYawOffset, &CQVCharacter::m_PushCount, &CQVCharacter::m_PushFrame,
                 &CQVCharacter::m_SyncTime, &CQVCharacter::m_JumpCooldown, &CQVCharacter::m_Reserved3,
                 &CQVCharacter::m_ActionCol, &CQVCharacter::m_ChestCol, &CQVCharacter::m_BodyCol,
                 &CQVCharacter::m_ControllerId, &CQVCharacter::m_DropCount, &CQVCharacter::m_DropTimer,
                 &CQVCharacter::m_Reserved5, &CQVCharacter::m_IdleTime, &CQVCharacter::m_ShakeAmplitude,
                 &CQVCharacter::m_ShakeVelocity, &CQVCharacter::m_ShakeDirX, &CQVCharacter::m_ShakeDirY,
                 &CQVCharacter::m_PreviousVelocityY, &CQVCharacter::m_MoveChangeTime,
                 &CQVCharacter::m_RecoilYawOffset, &CQVCharacter::m_RecoilPitch, &CQVCharacter::m_RecoilKick,
                 &CQVCharacter::m_RecoilYaw, &CQVCharacter::m_StateFlags, &CQVCharacter::m_HandFlags,
                 &CQVCharacter::m_Reserved6, &CQVCharacter::m_ContactActive, &CQVCharacter::m_OnGround,
                 &CQVCharacter::m_OnWall, &CQVCharacter::m_OnCeiling, &CQVCharacter::m_GroundNormal,
                 &CQVCharacter::m_WallNormal, &CQVCharacter::m_GroundedPrevious, &CQVCharacter::m_GroundChangeTime,
                 &CQVCharacter::m_JumpStartTime, &CQVCharacter::m_LastGroundTime, &CQVCharacter::m_Reserved7,
                 &CQVCharacter::m_MaxGroundDot, &CQVCharacter::m_WallBlend, &CQVCharacter::m_WallUp,
                 &CQVCharacter::m_StartPosition, &CQVCharacter::m_WallJumpCount, &CQVCharacter::m_Ammo,
                 &CQVCharacter::m_HasAmmo, &CQVCharacter::m_MotionQueue, &CQVCharacter::m_DesiredSpeed,
                 &CQVCharacter::m_Forceback, &CQVCharacter::m_RampedSpeed>()};

constexpr float kPi = 3.14159265f;
constexpr float kBodyRadius = 23.0f;
// The flag bits of the body volume: it sends, receives, is pushed out of
// what blocks it and blocks others.
constexpr uint32_t kBodyVolumeFlags = 0x66;

}  // namespace

uint32_t Character_FindBaseMotion(const char* name) {
    if (name == nullptr) return kBaseMotionCount;
    for (uint32_t i = 0; i < kBaseMotionCount; ++i) {
        if (strcasecmp(name, g_BaseMotionNames[i]) == 0) return i;
    }
    return kBaseMotionCount;
}

std::string Character_MotionName(char letter, uint32_t index) {
    if (index >= kBaseMotionCount) return std::string();
    return std::string(1, letter) + "_" + g_BaseMotionNames[index];
}

float Character_WrapAngle(float angle) {
    constexpr float kTurn = 2.0f * kPi;
    if (!std::isfinite(angle)) return 0.0f;
    if (angle > kPi) angle -= kTurn * std::floor((angle + kPi) / kTurn);
    if (angle < -kPi) angle += kTurn * std::floor((kPi - angle) / kTurn);
    return angle;
}

void Character_ApplyHitEffect(CQVActor* character, const HitEffect& effect, float multiplier) {
    if (character == nullptr || effect.type >= kHitEffectTypeCount) return;
    float block[2] = {effect.value * multiplier, effect.time * multiplier};
    character->HandleMessage(MSG_CHANGE_CPSPEED + effect.type, Args_Of(block));
}

// ---------------------------------------------------------------------------
// Life cycle

CQVCharacter::CQVCharacter() {
    m_ClassType = CLASS_CHARACTER;
    for (float* values : {m_CpBase, m_CpChangeTarget, m_CpChangeProgress, m_CpChangeRate, m_CpAux, m_CpEffective})
        std::fill(values, values + CP_COUNT, 1.0f);
    m_Flags &= ~(ACTOR_STATIC | ACTOR_MASTER);
    ColObj body;
    body.name = "Character Col";
    body.type = COLOBJ_SPHERE;
    body.boxMin = Vector3(0.0f, 0.0f, 0.0f);
    body.boxMax = Vector3(kBodyRadius, kBodyRadius, kBodyRadius);
    m_ColObjs.push_back(body);
    m_ColObjs.front().owner = this;
    m_ColObjs.front().flags |= kBodyVolumeFlags;
    SetLinkOwners();
}

CQVCharacter::~CQVCharacter() {
    m_MotionQueue.clear();
    m_CommandQueue.clear();
}

void CQVCharacter::SetLinkOwners() {
    for (ActorLink* link : {&m_NotifyCamera, &m_Camera, &m_LightSensor, &m_Skin, &m_ActivateGroup, &m_ActiveTarget,
                            &m_ItemsGroup, &m_LeftHand, &m_RightHand})
        link->SetOwner(this);
    for (ActorLink& link : m_AttachedActors) link.SetOwner(this);
}

void CQVCharacter::CopyCharacter(const CQVCharacter& source) {
    if (&source == this) return;
    kCharacterMessages.Copy(*this, source);
    for (auto [to, from] : {std::pair{&m_NotifyCamera, &source.m_NotifyCamera}, {&m_Camera, &source.m_Camera},
                            {&m_LightSensor, &source.m_LightSensor}, {&m_Skin, &source.m_Skin},
                            {&m_ActivateGroup, &source.m_ActivateGroup}, {&m_ActiveTarget, &source.m_ActiveTarget},
                            {&m_ItemsGroup, &source.m_ItemsGroup}, {&m_LeftHand, &source.m_LeftHand},
                            {&m_RightHand, &source.m_RightHand}})
        to->SetTarget(from->target);
    // The source's bones lie in its own skin's skeleton.
    ClearBones();
}

ColObj* CQVCharacter::VolumeAt(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= m_ColObjs.size()) return nullptr;
    return &m_ColObjs[static_cast<size_t>(index)];
}

void CQVCharacter::Replicate(uint32_t id, MessageArgs args) {
    if (IsLocal() && g_ActorSystem) g_ActorSystem->ReplicateMessageFromCharacter(m_Id, id, args);
}

float CQVCharacter::ClockDt() {
    ActorClock* clock = m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
    return clock->dt;
}

float CQVCharacter::SystemTime() { return g_ActorSystem ? g_ActorSystem->m_Clock->time : g_GlobalClock.time; }

float CQVCharacter::WorldScale() {
    const CQVEngine* engine = CQVEngine::GetInstance();
    return engine ? engine->worldScale : 100.0f;
}

// ---------------------------------------------------------------------------
// Parameters

void CQVCharacter::ChangeCapacity(float amount) {
    const float endurance = m_CpEffective[CP_ENDURANCE];
    // An endurance of 0 leaves the amount as it is rather than dividing by it.
    if (endurance != 0.0f) amount = amount <= 0.0f ? amount / endurance : amount * endurance;
    m_Capacity += amount;
    if (m_Capacity < 0.05f) {
        m_Capacity = 0.05f;
        SendSelf(MSG_EXHAUST_100);
    } else if (m_Capacity > 1.0f) {
        m_Capacity = 1.0f;
    }
}

float CQVCharacter::ClampedCapacity() const { return std::clamp(m_Capacity, 0.0f, 1.0f); }

float CQVCharacter::NoiseLevel() const {
    float factor = 1.0f;
    if (m_MotionIndex == BASE_MOTION_NEUTRAL) {
        factor = 0.1f;
    } else if (m_MotionLetter == 'C') {
        factor = 0.2f;
    } else if (m_MotionLetter == 'N') {
        factor = 0.5f;
    }
    return m_CpEffective[CP_NOISELEVEL] * factor;
}

std::string CQVCharacter::MovementText() const {
    return m_MotionIndex < kBaseMotionCount ? g_BaseMotionNames[m_MotionIndex] : "";
}

// ---------------------------------------------------------------------------
// Messages

int CQVCharacter::HandleMessage(uint32_t id, MessageArgs args) {
    // "Set Rot Y" under its second id answers only while the input is free.
    if (id == MSG_SET_ROT_Y_3D1 && InputLocked()) return CQVActor::HandleMessage(id, args);
    if (const RowResult row = kCharacterMessages.Apply(*this, id, args); row.Ends()) return row.result;
    int result = HandleCommand(id, args);
    if (result == ROW_PASS_ON) result = HandleLook(id, args);
    if (result != ROW_PASS_ON) return result;
    return CQVActor::HandleMessage(id, args);
}

// ---------------------------------------------------------------------------
// Actor files

int CQVCharacter::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    if (version >= 1) {
        WordBlock block;
        block.Word(&m_CharacterType);
        block.Word(&m_IconLibId);
        block.Word(&m_Health);
        block.Word(&m_Reserved6);
        block.Transfer(archive);
    }
    if (version >= 4) {
        WordBlock block;
        block.Words(m_CpBase, 9);
        block.Reserved();
        block.Reserved();
        block.Reserved();
        block.Words(&m_CpBase[CP_GAMMA_R_ADD], 3);
        block.Transfer(archive);
    }
    if (version >= 14) {
        WordBlock block;
        block.Word(&m_CpBase[CP_JUMP_FORCE]);
        block.Word(&m_CpBase[CP_MOVE_ON_JUMP_MAX]);
        block.Transfer(archive);
    }
    if (version >= 25) {
        WordBlock block;
        block.Word(&m_CpBase[CP_FALL_DAMAGE1_MUL]);
        block.Word(&m_FallDamageStart);
        block.Word(&m_FallDamageStop);
        block.Word(&m_FallDamageValue);
        block.Bit(&m_StateFlags, CHAR_SUSPENDED);
        block.Transfer(archive);
    }
    if (version >= 29) archive->SerializeDword(&m_CharacterGroups);
    if (version >= 41) {
        WordBlock ammo;
        ammo.Words(m_Ammo, kAmmoTypeCount);
        ammo.Transfer(archive);
        WordBlock look;
        for (float* field : {&m_LookRotX, &m_LookRotXSM, &m_LookRotXSpeed, &m_LookRotY, &m_LookRotYSM,
                             &m_LookRotYSpeed, &m_RotY, &m_RotYOld, &m_TurnSpeed})
            look.Word(field);
        look.Transfer(archive);
    }
    if (version >= 42) {
        WordBlock block;
        block.Word(&m_HoldTime);
        block.Bit(&m_StateFlags, CHAR_DEAD_LOCK);
        block.Bit(&m_StateFlags, CHAR_INPUT_LOCKED);
        block.Transfer(archive);
    }
    if (version >= 49) {
        WordBlock block;
        block.Word(&m_Capacity);
        block.Word(&m_CapacityPrevious);
        block.Transfer(archive);
    }
    if (version >= 62) {
        WordBlock block;
        block.Word(&m_CpBase[CP_MOVE_ON_JUMP]);
        block.Word(&m_MoveOnFallMul);
        block.Word(&m_KickMul);
        block.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVCharacter::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_CHARACTER];
    record.Define("Character", "Character", {CLASS_BASE, CLASS_CHARACTER});
    kCharacterMessages.AddSheet(record);
}
