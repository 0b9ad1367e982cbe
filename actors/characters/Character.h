#pragma once
// A controllable body: the player's, a guard's or any other figure's. It
// reads no input and makes no decisions: a controller drives it through its
// messages, above all the queued "CC" commands. The body keeps its character
// parameters, health, look angles, motion state (a prefix letter and a base
// motion) and motion queue, the items in its hands, ammunition, money and
// score, and plays its motions on its SkinObject child "Skin". Its per-frame
// step turns the queued commands and the contacts of the collision pass into
// movement, motions and events.
//
// The handler is split by topic: Character.cpp holds the table, the fields'
// life cycle and the file record; CharacterCommands.cpp the messages with
// behaviour; CharacterMovement.cpp the per-frame step; CharacterLook.cpp the
// orientation, head, camera and sync.

#include "kernel/actors/Actor.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct Bone;
struct Skeleton;

enum CharacterType : int32_t {
    CHARACTER_CUSTOM = 0,
    CHARACTER_FIRST_PERSON = 1,
    CHARACTER_GUARD = 2,
    CHARACTER_THIRD_PERSON = 3,
    CHARACTER_THIRD_PERSON_SHOOTER = 4,
    CHARACTER_CONSOLE = 5,
};

// Indices of the five parameter arrays.
enum CharacterParam : uint32_t {
    CP_SPEED = 0,
    CP_ENDURANCE = 1,
    CP_STRENGTH = 2,
    CP_WEIGHT = 3,
    CP_HEARING = 4,
    CP_NOISELEVEL = 5,
    CP_CONSTITUTION = 6,
    CP_VISION = 7,
    CP_FOV = 8,
    CP_GAMMA_R_ADD = 9,
    CP_GAMMA_G_ADD = 10,
    CP_GAMMA_B_ADD = 11,
    CP_JUMP_FORCE = 12,
    CP_MOVE_ON_JUMP = 13,
    CP_MOVE_ON_JUMP_MAX = 14,
    CP_FALL_DAMAGE1_MUL = 15,
    CP_COUNT = 16,
};

// m_StateFlags bits.
constexpr uint32_t CHAR_HOST = 1u << 0;
constexpr uint32_t CHAR_STANDING = 1u << 2;
constexpr uint32_t CHAR_INPUT_LOCKED = 1u << 3;
constexpr uint32_t CHAR_LEFT_ACTION = 1u << 5;        // "Perform Action" is due for the left hand
constexpr uint32_t CHAR_RIGHT_HAND_WEAPON = 1u << 6;
constexpr uint32_t CHAR_STRAFING = 1u << 7;
constexpr uint32_t CHAR_SHOOTER_IDLE = 1u << 8;       // bit 9 comes back when the input unlocks
constexpr uint32_t CHAR_IDLE_ALLOWED = 1u << 9;
constexpr uint32_t CHAR_WALL_CLIMB = 1u << 10;
constexpr uint32_t CHAR_PUSHED_OFF_WALL = 1u << 11;
constexpr uint32_t CHAR_JUMPED = 1u << 12;
constexpr uint32_t CHAR_DEAD_LOCK = 1u << 13;
constexpr uint32_t CHAR_SHOOTER = 1u << 14;
constexpr uint32_t CHAR_SUSPENDED = 1u << 15;
constexpr uint32_t CHAR_HEAD_BONES = 1u << 16;
constexpr uint32_t CHAR_MOTION_QUEUE_LOCKED = 1u << 17;
constexpr uint32_t CHAR_MOVING = 1u << 18;
constexpr uint32_t CHAR_MOTION_LOCKED = 1u << 19;     // airborne: motion requests are refused
constexpr uint32_t CHAR_PUSH_READY = 1u << 20;
constexpr uint32_t CHAR_JUMP_HELD = 1u << 21;
constexpr uint32_t CHAR_JUMP_BOOST1 = 1u << 22;
constexpr uint32_t CHAR_JUMP_BOOST2 = 1u << 23;
constexpr uint32_t CHAR_HAS_KICK_MOTIONS = 1u << 24;
constexpr uint32_t CHAR_AIR_KICK = 1u << 28;
constexpr uint32_t CHAR_FIRST_PERSON = 1u << 29;
constexpr uint32_t CHAR_LEFT_GRAB_PENDING = 1u << 30;
constexpr uint32_t CHAR_RIGHT_GRAB_PENDING = 1u << 31;
// A new body is input-locked and ready to be pushed; bits 26 and 27 are set too.
constexpr uint32_t CHAR_STATE_INITIAL = CHAR_INPUT_LOCKED | CHAR_PUSH_READY | (1u << 26) | (1u << 27);

// m_HandFlags bits.
constexpr uint32_t HAND_HAS_RELAX = 1u << 0;
constexpr uint32_t HAND_LOCKED = 1u << 1;

// The 65 base motions; an index of 65 or more names none.
constexpr uint32_t kBaseMotionCount = 65;
extern const char* const g_BaseMotionNames[kBaseMotionCount];
enum : uint32_t {
    BASE_MOTION_NEUTRAL = 0,
    BASE_MOTION_FORWARD = 4,
    BASE_MOTION_RELAX = 57,
};
// The 15 bones a body turns and hangs actors on; [4] is "Neck", [5] "Head".
constexpr uint32_t kCharacterBoneCount = 15;
extern const char* const g_CharacterBoneNames[kCharacterBoneCount];

// The index of a base-motion name (any case), or kBaseMotionCount for none.
uint32_t Character_FindBaseMotion(const char* name);
// The motion a request names: letter, '_' and the base name ("R_Forward");
// "" for an index past the table.
std::string Character_MotionName(char letter, uint32_t index);

// Moves current toward target by at most step along the shorter way across
// the -pi/pi seam; nothing when step <= 0. The result is wrapped.
float Character_ApproachAngle(float current, float target, float step);
// An angle brought into [-pi, pi] by whole turns.
float Character_WrapAngle(float angle);

// One effect a hit applies to a character: {type, value, time}, sent as
// message 940 + type with {value x multiplier, time x multiplier}.
struct HitEffect {
    uint32_t type = 0;
    float value = 100.0f;
    float time = 5.0f;
};
constexpr uint32_t kHitEffectTypeCount = 15;
// Sends the effect to the character; a type above 14 sends nothing.
void Character_ApplyHitEffect(CQVActor* character, const HitEffect& effect, float multiplier);

// One attack of a fighter: how often it is chosen against the others, the
// factor its hit applies to the hit effects, and the seconds from the start
// of its motion to the hit. Attack i plays "M_Attack%d" with i.
struct AttackParam {
    uint32_t randWeight = 1;
    float effectMul = 1.0f;
    float evalDelay = 0.0f;
};

// The maximum ammunition of each of the 32 types.
constexpr uint32_t kAmmoTypeCount = 32;
constexpr uint32_t kMaxAmmo = 999999999;

class CQVCharacter : public CQVActor {
public:
    CQVCharacter();
    ~CQVCharacter() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    // The movement and motion controller (CharacterMovement.cpp).
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // Takes the amount off the endurance reserve (a negative amount
    // divided by Endurance, a positive one multiplied by it) and keeps it
    // within 0.05 and 1.0; below 0.05 it sends "Exhaust 100".
    void ChangeCapacity(float amount);
    // Every field of the source, the links to the same actors; the bones
    // and bone actors are looked up again for the copy's own skin.
    void CopyCharacter(const CQVCharacter& source);

    // Members the message table calls.
    template <uint32_t I>
    float GetCp() const {
        return m_CpBase[I] * 100.0f;
    }
    template <uint32_t I>
    void SetCp(float percent) {
        m_CpBase[I] = percent * 0.01f;
    }
    void ApplyCharacterType();
    int SetHoldTime(float time);
    void AfterDeadLock();
    bool IsSuspended() const { return (m_StateFlags & CHAR_SUSPENDED) != 0; }
    void SetLookRot2Y(float angle) { m_LookRot2Y = Character_WrapAngle(angle); }
    void SetLookRot2X(float angle) { m_LookRot2X = Character_WrapAngle(angle); }
    void SetSuspendMode(bool on);
    std::string StateText() const { return std::string(1, m_MotionLetter); }
    void RequestState(std::string text);
    std::string MovementText() const;
    void RequestMovement(std::string name);
    bool CanTurn() const { return !(m_StateFlags & (CHAR_INPUT_LOCKED | CHAR_MOTION_LOCKED)); }
    bool IsNeutral() const { return m_MotionIndex == BASE_MOTION_NEUTRAL; }
    bool IsForward() const { return m_MotionIndex == BASE_MOTION_FORWARD; }
    bool IsInAir() const { return m_MotionLetter == 'J' || m_MotionLetter == 'F' || m_MotionLetter == 'K'; }
    bool IsOnGround() const { return m_OnGround != 0; }
    bool IsOnWall() const { return m_MotionLetter == 'W'; }
    bool IsInCrouch() const { return m_MotionLetter == 'C'; }
    bool IsInRun() const { return m_MotionLetter == 'R'; }
    bool IsInMelee() const { return m_MotionLetter == 'M'; }
    bool IsHealthAbove100() const { return m_Health > m_HealthMax; }
    float ClampedCapacity() const;
    float NoiseLevel() const;

    bool InputLocked() const { return (m_StateFlags & CHAR_INPUT_LOCKED) != 0; }
    bool IsLocal() const { return (m_Flags & ACTOR_MASTER) != 0; }
    CQVActor* Skin() const { return m_Skin.target; }
    // The collision volume of a binding, or null.
    ColObj* VolumeAt(int32_t index);

    // Character parameters, as fractions (1.0 shows as 100 in the sheet).
    float m_CpBase[CP_COUNT];
    float m_CpChangeTarget[CP_COUNT];
    float m_CpChangeProgress[CP_COUNT];
    float m_CpChangeRate[CP_COUNT];   // progress per 0.1 s step
    float m_CpAux[CP_COUNT];          // m_CpEffective before the last refresh
    float m_CpEffective[CP_COUNT];
    float m_CpStepTimer = 0.0f;
    float m_HealthMax = 99.0f;        // health above it degenerates back
    std::string m_CurrentMotionName;
    float m_Capacity = 1.0f;          // endurance reserve, 0.05 to 1.0
    float m_CapacityPrevious = 1.0f;
    float m_Reserved0 = 1.0f;
    float m_SpeedFactor = 1.0f;
    float m_Health = 1.0f;
    char m_MotionLetter = 'N';        // the letter of the motion now playing
    char m_MotionLetter2 = 'N';       // the stance the "CC State" commands ask for
    char m_RequestedLetter = 'N';
    char m_StateLetter = 'N';         // the grounded letter to come back to
    uint32_t m_MotionIndex = 0;
    uint32_t m_Reserved1 = 0;
    int32_t m_CharacterType = -1;
    uint32_t m_CharacterGroups = 0;   // bit n - 1: group n
    Vector3 m_MotionVelocity = Vector3(0.0f, 0.0f, 0.0f);
    std::vector<uint32_t> m_CommandQueue;
    ActorLink m_NotifyCamera;
    ActorLink m_Camera;               // the first-person look matrix
    ActorLink m_LightSensor;
    float m_SensorColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float m_PreviousSensorColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float m_Reserved2 = 0.0f;
    // Look angles: the target, its smoothed value and the smoothing rate.
    float m_LookRotX = 0.35f;
    float m_LookRotXSM = 3.1415927f;
    float m_LookRotXSpeed = 100.0f;
    float m_LookRotY = 0.0f;
    float m_LookRotYSM = 0.0f;
    float m_LookRotYSpeed = 1000.0f;
    float m_LookRot2X = 0.35f;
    float m_LookRot2XSM = 3.1415927f;
    float m_LookRot2XSpeed = 100.0f;
    float m_LookRot2Y = 0.0f;
    float m_LookRot2YSM = 0.0f;
    float m_LookRot2YSpeed = 1000.0f;
    float m_RotY = 0.0f;              // body heading asked for
    float m_RotYOld = 0.0f;           // the body's yaw now
    float m_TurnSpeed = 20.0f;
    float m_LookYawDelta = 1.0f;
    float m_HeadYaw = 0.0f;
    float m_HeadTurningSpeed = 10.0f;
    float m_HeadYaw2 = 0.0f;
    float m_HeadTurningSpeed2 = 10.0f;
    float m_DesiredYawOffset = 0.0f;  // heading of the movement from the look yaw
    uint32_t m_IconLibId = 0xFFFFFFFF;
    uint32_t m_PushCount = 0;
    uint32_t m_PushFrame = 0;
    float m_SyncTime = 0.0f;
    float m_HoldTime = 0.0f;          // seconds the input stays locked
    float m_JumpCooldown = 0.0f;
    float m_DizzyTime = 0.0f;
    std::string m_Reserved3;
    // Collision volumes by their place in the actor's list; -1 for none.
    int32_t m_ActionCol = -1;
    int32_t m_ChestCol = -1;
    int32_t m_BodyCol = -1;
    ActorLink m_Skin;
    ActorLink m_ActivateGroup;
    ActorLink m_ActiveTarget;
    ActorLink m_ItemsGroup;
    ActorLink m_LeftHand;
    ActorLink m_RightHand;
    uint32_t m_ControllerId = 0;      // the AI controller that drives the body; 0 for none
    std::vector<Bone*> m_Bones;       // by g_CharacterBoneNames, from the skin's skeleton
    const Skeleton* m_BonesSkeleton = nullptr;  // the skeleton the bones belong to
    std::array<ActorLink, kCharacterBoneCount> m_AttachedActors;
    bool m_AttachedFound = false;
    int32_t m_NetworkSessionId = -1;
    int32_t m_DropCount = 0;
    float m_DropTimer = 0.0f;
    uint32_t m_Reserved5 = 0;
    float m_IdleTime = 0.0f;
    float m_ShakeAmplitude = 0.0f;
    float m_ShakeVelocity = 0.0f;
    float m_ShakeDirX = 0.0f;
    float m_ShakeDirY = 0.0f;
    float m_PreviousVelocityY = 0.0f;
    float m_MoveChangeTime = -1.0f;
    float m_RecoilYawOffset = 0.0f;
    float m_RecoilPitch = 0.0f;
    float m_RecoilKick = 0.0f;
    float m_RecoilYaw = 0.0f;
    uint32_t m_StateFlags = CHAR_STATE_INITIAL;
    uint32_t m_HandFlags = 0;
    uint32_t m_Reserved6 = 0;         // saved, read by nothing
    uint32_t m_DirectionBehaviour = 2;
    uint32_t m_ContactActive = 0;
    uint32_t m_OnGround = 0;
    uint32_t m_OnWall = 0;
    uint32_t m_OnCeiling = 0;
    Vector3 m_GroundNormal = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_WallNormal = Vector3(0.0f, 0.0f, 0.0f);
    uint32_t m_GroundedPrevious = 0;
    float m_GroundChangeTime = 10.0f;
    float m_JumpStartTime = 10.0f;
    float m_LastGroundTime = 10.0f;
    Vector3 m_Reserved7 = Vector3(0.0f, 0.0f, 0.0f);
    float m_MaxGroundDot = -1.0f;
    float m_WallBlend = 0.0f;
    Vector3 m_WallUp = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_StartPosition = Vector3(0.0f, 0.0f, 0.0f);  // where a fall is measured from
    uint32_t m_WallJumpCount = 0;
    uint32_t m_DieIndex = 0;
    uint32_t m_Ammo[kAmmoTypeCount] = {};
    uint32_t m_HasAmmo[kAmmoTypeCount] = {};
    std::deque<uint32_t> m_MotionQueue;
    float m_Money = 0.0f;
    float m_Score = 0.0f;
    float m_DesiredSpeed = 1.0f;
    float m_FallDamageStart = 300.0f;
    float m_FallDamageStop = 1200.0f;
    float m_FallDamageValue = 100.0f;
    float m_MoveOnFallMul = 0.5f;
    float m_KickMul = 1.0f;
    Vector3 m_Forceback = Vector3(0.0f, 0.0f, 0.0f);

    // The ramped speed of the frame's start ramp, which the sync sends.
    float m_RampedSpeed = 1.0f;

private:
    void SetLinkOwners();
    int SendSelf(uint32_t id, MessageArgs args = nullptr) { return HandleMessage(id, args); }
    void SendSelfText(uint32_t id, const char* text) { HandleMessage(id, Args_Of(text)); }
    void SendSelfReal(uint32_t id, float value) { HandleMessage(id, Args_Of(&value)); }
    void SendSelfWord(uint32_t id, uint32_t value) { HandleMessage(id, Args_Of(&value)); }
    // Hands the message and its block to replication while the body is driven here.
    void Replicate(uint32_t id, MessageArgs args);
    float ClockDt();
    static float SystemTime();
    static float WorldScale();

    // CharacterCommands.cpp: the messages with behaviour; ROW_PASS_ON for
    // an id it does not handle.
    int HandleCommand(uint32_t id, MessageArgs args);
    int OnControllerCommand(uint32_t id);
    void ApplyMotionRequest(uint32_t request);
    void OnSetMotion(const char* name, MessageArgs args);
    void PushMotion(const char* text, bool front);
    void ForceNextMotion();
    void ChangeHealth(float change);
    void Die();
    void ChangeParam(uint32_t index, MessageArgs args);
    void DropItems(float percent);
    void SetAmmo(MessageArgs args);
    void AddAmmo(MessageArgs args);
    void RequestAmmo(MessageArgs args);
    void Equip(uint32_t grabMove, const char* name);
    void Grab(bool right, CQVActor* item);
    void GrabMove(bool right, CQVActor* item);
    void Activate(const char* name);
    float Visibility();
    void Forceback(float strength, float spread);
    void Push();
    void Sleep();
    void WakeUp();
    void UpdateSensor();
    void AnswerSensorColor(MessageArgs args);
    void ResizeVolumes(float body, float chest);
    int ClimbAssist(uint32_t id, MessageArgs args);
    int ActionContact(uint32_t id, MessageArgs args);
    int Precalculate(uint32_t id, MessageArgs args);
    void OnChildRemoved(CQVActor* child, CQVActor* parent, bool relative);

    // CharacterLook.cpp: orientation, head, camera and sync.
    int HandleLook(uint32_t id, MessageArgs args);
    void SetDesiredMovement(const Vector3& v);
    void Recoil(float value);
    void ApplySync(MessageArgs args);
    void LookMatrix(Matrix* out, float yaw, float pitch);
    void FindBones();
    void ClearBones();
    void DirectionBehaviour();
    void Orientation(float dt, float time);
    void HeadLayersCamera(float dt, float time);
    void Sync(float dt);

    // CharacterMovement.cpp: the steps of Process.
    void RefreshParams(float dt);
    float StartRamp(float time) const;
    void ReadContacts();
    void EndCrouch();
    void RunCommand(uint32_t id, bool* moving, bool* jumped, float time);
    void Jump(bool* jumped, float time);
    void BaseMotionAndKick(bool moving);
    void GroundedState(bool* hurt);
    void StartFall();
    void JumpBoosts(float time);
    void AirControl(float dt);
    void GroundMovement(float dt, float time);
    void ShooterLandingFix(bool groundedAtStart, bool jumped, float time);
    void DropItemStep(float dt);
    Vector3 TurnByYaw(const Vector3& v, float yaw) const;
    Vector3 WallFrame(const Vector3& v) const;
    void SendToFirstChild(ActorLink& hand, uint32_t id, uint32_t value);
    bool InventoryVisible() const;
};
