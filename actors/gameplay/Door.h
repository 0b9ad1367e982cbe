#pragma once
// A door, double door, sliding door, chest lid or drawer: one or two leaves
// (Object children) turning about an axis or sliding along it between a
// closed and an open pose. It locks by lock groups that keys match, opens by
// itself when the player's character walks into it if so set, closes after a
// time, plays its fixed-name Sound children, and opens and closes a portal
// through its "Door Connector" child together with its leaves.

#include "kernel/actors/Actor.h"

constexpr uint32_t DOOR_SINGLE = 0;      // one turning leaf
constexpr uint32_t DOOR_SINGLE_SIDE = 1; // one sliding leaf
constexpr uint32_t DOOR_DOUBLE = 2;      // two leaves turning in opposite senses
constexpr uint32_t DOOR_DOUBLE_SIDE = 3; // two leaves sliding apart

constexpr uint32_t DOOR_CLOSED = 0;
constexpr uint32_t DOOR_OPEN = 1;
constexpr uint32_t DOOR_CLOSING = 2;
constexpr uint32_t DOOR_OPENING = 3;

// The Sound children, by their fixed names.
enum DoorSound : uint32_t { DOOR_SOUND_OPEN, DOOR_SOUND_CLOSE, DOOR_SOUND_OPENING, DOOR_SOUND_CLOSING, DOOR_SOUND_COUNT };

// Working a locked door open by hand while "Action" keeps arriving.
struct DoorLockAttempt {
    uint32_t active = 0;
    uint32_t continued = 0; // an "Action" arrived since the last step
    float elapsed = 0.0f;
    float duration = 0.0f;
    uint32_t opener = 0;    // actor id
};

class CQVDoor : public CQVActor {
public:
    CQVDoor();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override;
    // Reached when the draw pass visits the door's connector.
    void OnVisible(float dt) override;
    static void RegisterProperties();

    // The update through the connector: the clock and the action readiness,
    // then the frame and leaves.
    void AccumulateTime();
    void BeginOpen(Vector3 opener);
    void BeginClose();
    void CloseConnectors();
    void EndOpen();
    void NotifyOpen();
    void EndClose();

    // Called by the message table's rows.
    void BuildParts();
    void ApplyAxisCode();
    void ApplyUseConnector();
    void SetOpenTime(float seconds);
    void SetCloseTime(float seconds);
    void SetAutoCloseTime(float seconds);
    void SetOpenLength(float length);
    float OpenAngleDegrees() const;
    void SetOpenAngleDegrees(float degrees);
    void SetLocked(bool locked);

    // The base running-time word holds the seconds of the current movement.
    float RunningTime() const;
    void SetRunningTime(float seconds);

    uint32_t m_DoorType = DOOR_SINGLE;
    uint32_t m_State = DOOR_CLOSED;
    uint32_t m_AnimationType = 0;    // kept only
    float m_OpenTime = 1.0f;         // seconds, at least 0.01
    float m_CloseTime = 1.0f;
    float m_AutoCloseTime = 1.0f;
    uint32_t m_AutoClose = 1;
    uint32_t m_NeverAutoCloseOnCollision = 1;
    uint32_t m_AutoOpen = 0;
    uint32_t m_OpenAway = 0;         // turn the leaves away from the opener
    uint32_t m_AxisCode = 0;
    Vector3 m_Axis = Vector3(0.0f, 1.0f, 0.0f); // in the leaves' parent's frame
    uint32_t m_UseConnector = 0;
    float m_OpenLength = 20.0f;      // sliding distance, at least 1
    float m_OpenAngle = 1.5707964f;  // radians
    Vector3 m_SlideVelocity = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_ClosedPosition[2] = {Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f)};
    float m_AngularSpeed = 0.0f;     // radians per second, signed
    Quaternion m_ClosedRotation[2] = {{0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}};
    uint32_t m_LockGroups = 0;       // bit g-1: lock group g
    uint32_t m_Locked = 0;
    float m_LockTime = 0.0f;         // seconds to work the lock open by hand
    float m_ActionReadyTime = 1.0f;  // "Action" counts from 1.0 on
    uint32_t m_SoundSwitch = 0;
    ActorLink m_Sounds[DOOR_SOUND_COUNT]; // not owned
    ActorLink m_Leaves[2];                // not owned
    DoorLockAttempt m_Attempt;
    uint32_t m_OpenNotifyPending = 0;
    uint32_t m_CloseFinishPending = 0;
    uint32_t m_Obstructed = 0;       // the player's character touched the open door

private:
    void FindParts();
    void Move(float dt);
    void Play(DoorSound sound);
    void Silence(DoorSound sound);
    void Collide(const ColObj* partner);
    void Action(uint32_t opener, uint32_t item);
    void StepAttempt(float dt);
    void OpenFor(uint32_t opener);
    void Replicate(uint32_t message, MessageArgs args);
    // The per-frame step runs while something moves, waits or counts.
    bool NeedsProcess() const;
    void CancelProcessUnlessNeeded();
};
