#pragma once
// Turns an actor toward a target: every frame the pitch and yaw from the
// AutoAim to its target's centre point, smoothed and optionally limited,
// become its own world rotation or the local rotation of an output actor.
// Targets come from a manual link or from the actors that touch its
// collision volume. Type 91 is a dual lock-on for the Character it sits
// under: it steers the character's look angles toward up to two locked
// targets and marks them on screen.

#include "kernel/actors/Actor.h"

#include <cstdint>

class CQVCharacter;
class CQVMaterialItem;

// The aim types of the "Type:" list; 1 and 3 to 5 are kept but do nothing.
constexpr uint32_t AUTOAIM_2AXIS = 0;
constexpr uint32_t AUTOAIM_SPHERICAL = 1;
constexpr uint32_t AUTOAIM_TEST2 = 2;
constexpr uint32_t AUTOAIM_LOCK_ON = 91;

// The flag word.
constexpr uint32_t AUTOAIM_OUTPUT_MASK = 0xF;
constexpr uint32_t AUTOAIM_SMOOTH_SHIFT = 4;
constexpr uint32_t AUTOAIM_SMOOTH_MASK = 0x30;
constexpr uint32_t AUTOAIM_MANUAL_TARGET = 1u << 6;
constexpr uint32_t AUTOAIM_AFFECTED_BY_PARENT = 1u << 7;
constexpr uint32_t AUTOAIM_USE_LIMITS = 1u << 8;
constexpr uint32_t AUTOAIM_USE_PREDICTION = 1u << 9;
constexpr uint32_t AUTOAIM_AUTO_RELEASE = 1u << 10;
constexpr uint32_t AUTOAIM_STEADY_EFFECT = 1u << 12;

constexpr uint32_t AUTOAIM_NO_SMOOTH = 0;
constexpr uint32_t AUTOAIM_LINEAR = 1;
constexpr uint32_t AUTOAIM_ACCELERATED = 2;

constexpr uint32_t AUTOAIM_MAX_CANDIDATES = 32;

// One of the two targets of the lock-on, with its screen marker.
struct AutoAimLockSlot {
    ActorLink link;
    float lockTime = 0.0f;  // clock time of the last change
    Vector3 effectPosition = Vector3(0.0f, 0.0f, 0.0f);
    float effectFade = 0.0f;
    float effectStrength = 0.0f;
    uint32_t spare = 0;
};

class CQVAutoAim : public CQVActor {
public:
    CQVAutoAim();
    ~CQVAutoAim() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // Members the message rows call.
    int SetType(uint32_t type);
    uint32_t OutputSelector() const { return m_AimFlags & AUTOAIM_OUTPUT_MASK; }
    void SetOutputSelector(uint32_t value);
    uint32_t SmoothStyle() const { return (m_AimFlags & AUTOAIM_SMOOTH_MASK) >> AUTOAIM_SMOOTH_SHIFT; }
    int SetSmoothStyle(uint32_t style);
    int SetManualTarget(bool on) { return SetFlagAnswering(AUTOAIM_MANUAL_TARGET, on); }
    int SetUseLimits(bool on) { return SetFlagAnswering(AUTOAIM_USE_LIMITS, on); }
    int SetUsePrediction(bool on) { return SetFlagAnswering(AUTOAIM_USE_PREDICTION, on); }
    int SetAutoRelease(bool on) { return SetFlagAnswering(AUTOAIM_AUTO_RELEASE, on); }
    bool UsesLimits() const { return (m_AimFlags & AUTOAIM_USE_LIMITS) != 0; }
    bool Smooths() const { return SmoothStyle() != AUTOAIM_NO_SMOOTH; }
    bool Accelerates() const { return SmoothStyle() == AUTOAIM_ACCELERATED; }
    bool ReleasesAutomatically() const { return (m_AimFlags & AUTOAIM_AUTO_RELEASE) != 0; }

    // The character the lock-on steers: the parent, when it is a Character.
    CQVCharacter* LockOnCharacter() const;

    uint32_t m_CandidateCount = 0;
    Vector3 m_CandidatePositions[AUTOAIM_MAX_CANDIDATES];
    // The candidates by id: one may die between its collision and the choice.
    uint32_t m_CandidateIds[AUTOAIM_MAX_CANDIDATES] = {};
    AutoAimLockSlot m_LockSlots[2];
    float m_LastNotifyTime = 0.0f;
    uint32_t m_Copied[2] = {0, 0};
    uint32_t m_InsideThreshold = 0;
    uint32_t m_AimType = AUTOAIM_2AXIS;
    uint32_t m_AimFlags = 0;
    float m_LimitHorizontal = 6.2831855f;
    float m_LimitVerticalMin = 1.5707964f;
    float m_LimitVerticalMax = 1.5707964f;
    float m_TurnSpeed = 0.5f;
    float m_Damper = 1.0f;
    float m_EffectByPenetration = 0.0f;
    float m_PredictionTimeOffset = 0.0f;
    float m_PredictionDistanceTime = 10.0f;
    float m_AutoReleaseTime = 1.0f;
    float m_InsideThresholdAngle = 0.1f;
    ActorLink m_AimTarget;
    ActorLink m_AimOutput;
    float m_AimPitch = 0.0f;
    float m_AimYaw = 0.0f;
    float m_PitchVelocity = 0.0f;
    float m_YawVelocity = 0.0f;
    // The file version the record was read at, for "Init Load".
    uint32_t m_LoadedVersion = 0;
    // The lock-on marker, found once when the type is chosen or the actor bound.
    CQVMaterialItem* m_EffectMaterial = nullptr;

private:
    int SetFlagAnswering(uint32_t mask, bool on);
    void OwnLinks();
    void SetLinkFromArgs(ActorLink& link, uint32_t id, MessageArgs args);
    void AnswerLink(const ActorLink& link, MessageArgs args) const;
    bool IsPending(uint32_t id) const;
    void ReleaseTarget();
    void CopyFromSource(const CQVAutoAim& source);

    // Types 0 and 2.
    void CollectCandidate(CQVActor* actor);
    void ChooseTarget();
    void Aim();
    void Smooth(float pitchW, float yawW, float dt);

    // Type 91.
    void BuildLockOnVolumes();
    void FindEffect();
    void CollectLockOnCandidate(CQVActor* actor);
    void ChooseLockOnTargets();
    void FillSlot(int slot, CQVActor* target, float now);
    void ManualAimNotify();
    void Unhook();
    void LockOnUpdate();
    void StepEffects(float dt);
    void DrawEffects();
    float LockOnBlend() const;
    void SetCharacterBit(uint32_t bit, bool on);
};

// The global time of the last manual-aim notify of any AutoAim.
extern float g_AutoAimLastNotify;
