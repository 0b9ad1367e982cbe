#pragma once
// The newer AI controller of a character. It sits under the Character it
// drives and spies on the body and on the body's "Vision" and "Hearing"
// sensor actors: what the sensors touch becomes a seen or heard actor, an
// enemy of its fight group starts a fight, walls the body runs into turn it
// aside. Each frame it turns the body, picks the motion the body plays at
// the end of its current loop, aims the upper body by scrubbing two aim
// layers of the body's skin and turns the "Head" bone. A 14-value state
// machine (idle, go to, pre fight, fight, follow, shelter and hide among
// them) decides what it does; scripts command it with the state messages
// and hear back through its events.
//
// The handler is split by topic: AIPlayer2.cpp holds the table, the states,
// the per-frame order and the file record; AIPlayer2Perception.cpp the
// sensors, sight, target upkeep, aiming, turning and the shelter search;
// AIPlayer2Steps.cpp the steps of the states and the leader's trail.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct Bone;
class CQVSkinObject;

enum AIPlayer2State : uint32_t {
    AI2_STATE_IDLE = 0,
    AI2_STATE_GOTO = 1,
    AI2_STATE_PRE_FIGHT = 2,
    AI2_STATE_FIGHT = 3,
    AI2_STATE_FOLLOW = 4,
    AI2_STATE_SCARED = 5,
    AI2_STATE_HIDE = 6,
    AI2_STATE_HOSTAGE_VICTIM = 7,
    AI2_STATE_HOSTAGE_TAKER = 8,
    AI2_STATE_INACTIVE = 9,
    AI2_STATE_DEAD = 10,
    AI2_STATE_GOTO_SHELTER = 11,
    AI2_STATE_SHELTER = 12,
    AI2_STATE_RELEASE = 13,
    AI2_STATE_COUNT = 14,
};

// The names of the states, filled at class registration; the last is empty.
extern std::vector<std::string> g_AIPlayer2StateNames;

// One aim layer of the body's skin: the layer, and the place in its motion
// (0 to 1) that points the upper body where the aim wants it.
struct AimLayerEntry {
    uint32_t layer = 0;
    float time = 0.5f;
    uint32_t reserved[2] = {0, 0};
};

class CQVAIPlayer2 : public CQVActor {
public:
    CQVAIPlayer2();
    ~CQVAIPlayer2() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    void SetState(uint32_t state);

    // AIPlayer2Perception.cpp: sight, aiming, turning and shelters.
    bool CanSee(CQVActor* target);
    void AimAt(const Vector3& point, float rate);
    void LookAt(const Vector3& point, float rate);
    void TurnTowards(const Vector3& point, float speed);
    bool FindShelter(const Vector3& threat, float radius);
    void CollectHelpers(uint32_t group);
    // The upkeep steps of the frame.
    void TargetUpkeep(float dt);
    void NewEnemyUpkeep(float dt);
    void AvoidanceExpiry(float dt);
    void TrailUpkeep(float dt);

    // The bound actors, or null when there is none (or it is gone).
    CQVActor* Body() const { return m_BodyLink.target; }
    CQVSkinObject* Skin() const;
    CQVActor* Target() const { return m_TargetLink.target; }
    CQVActor* GoToGoal() const { return m_GoToLink.target; }
    CQVActor* NewEnemy() const { return m_NewEnemyLink.target; }
    // The skin's "Head" bone, looked up in the skeleton the skin has now.
    Bone* HeadBone() const;
    static CQVActor* ById(uint32_t id);

    uint32_t m_State = AI2_STATE_IDLE;
    uint32_t m_PreviousState = 0xFFFFFFFF;
    // The body, its skin and its sensors are held by links, so that none of
    // them can be left dangling when it is deleted.
    ActorLink m_BodyLink;
    ActorLink m_SkinLink;
    std::vector<AimLayerEntry> m_AimLayers;
    Vector3 m_OwnPosition = Vector3(0.0f, 0.0f, 0.0f);
    uint32_t m_BodyNeutral = 0;
    float m_HeadTilt = 0.0f;
    float m_HeadTurn = 0.0f;
    float m_HeadRoll = 0.0f;
    ActorLink m_VisionLink;
    ActorLink m_HearingLink;
    uint32_t m_SeenId = ACTOR_ID_NONE;   // touched by the vision sensor this frame
    uint32_t m_HeardId = ACTOR_ID_NONE;  // touched by the hearing sensor this frame
    uint32_t m_FightGroup = 0;
    float m_AimPitch = 0.0f;
    float m_AimYaw = 0.0f;
    float m_TimeInState = 0.0f;
    float m_AimError = 0.0f;
    uint32_t m_FindShelterEnable = 1;
    float m_FindShelterRadius = 1200.0f;
    ActorLink m_GoToLink;
    uint32_t m_GoToGroup = 0;
    uint32_t m_RunFlag = 0;
    ActorLink m_TargetLink;
    ActorLink m_NewEnemyLink;
    float m_TargetDistance = 0.0f;
    Vector3 m_TargetPosition = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_TargetVisionPoint = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_TargetCenterPoint = Vector3(0.0f, 0.0f, 0.0f);
    float m_VisibleTime = 0.0f;
    float m_HiddenTime = 0.0f;
    float m_SightTimer = 0.0f;
    float m_SwitchTimer = 0.0f;
    std::string m_WantedMotion;
    std::deque<Vector3> m_Trail;  // oldest first
    float m_TrailTimer = 0.0f;
    float m_TrailPeriod = 2.0f;
    float m_TrailSpacing = 10.0f;
    uint32_t m_Tracking = 0;
    float m_ScanTimer = 0.0f;
    std::string m_IdleMotion = "N_Neutral";
    uint32_t m_SoundFlag = 0;
    Vector3 m_SoundPosition = Vector3(0.0f, 0.0f, 0.0f);
    std::string m_SoundSource;
    float m_SoundTime = 0.0f;
    std::vector<uint32_t> m_Helpers;  // ids of the AI Helpers of the group the body entered last
    uint32_t m_RayGroup = 0;
    uint32_t m_RayReceive = 0;
    uint32_t m_RayExclude = 0;
    uint32_t m_ShelterHelper = ACTOR_ID_NONE;
    Vector3 m_ShelterPoint = Vector3(0.0f, 0.0f, 0.0f);
    Vector3 m_AvoidDirection = Vector3(0.0f, 1.0f, 0.0f);
    uint32_t m_AvoidFlag = 0;
    float m_AvoidTime = 0.0f;
    uint32_t m_AttackFlag = 0;
    float m_PreFightTime = 0.0f;
    float m_GlanceTimer = 0.0f;

    // The frame time of the step that runs.
    float m_FrameDt = 0.0f;

private:
    void SetLinkOwners();
    void SendSelf(uint32_t id) { HandleMessage(id, nullptr); }
    void TellBody(uint32_t id, float value) const;
    void TellBodyMotion(const char* name) const;
    void TellSkin(uint32_t id, uint32_t word) const;
    void TellSkinReal(uint32_t id, float value) const;
    void SetAimLayerBlend(float value);
    void LeaveState(uint32_t old);
    void EnterState(uint32_t state);
    int Precalculate();
    void CopyAIPlayer2(const CQVAIPlayer2& source);
    void SetGroupBit(uint32_t* mask, MessageArgs args);
    void GoToActor(uint32_t id, MessageArgs args, uint32_t run);
    void VoiceCommand(uint32_t id, MessageArgs args);
    void SoundNotify(uint32_t id, MessageArgs args);
    void TargetCommand(uint32_t id, MessageArgs args);
    void StopAttack();

    // AIPlayer2Perception.cpp.
    void OnBodyMessage(uint32_t id, MessageArgs args);
    void OnSensorMessage(uint32_t id, MessageArgs args, CQVActor* sender);
    void AvoidWalls(MessageArgs args);

    // AIPlayer2Steps.cpp.
    void StepIdle(float dt);
    void StepGoTo(float dt);
    void StepPreFight();
    void StepFight(float dt);
    void StepFollow(float dt);
    void StepGoToShelter();
    void StepShelter();
    void StepHide(float dt);
    void StepHostageVictim();
    void ApplyAimLayersAndHead();
    bool AskNeutral() const;
};
