#pragma once
// The older AI controller of a character. It sits under the Character it
// drives, spies on everything the body handles (collisions with its sensor
// volumes, motion callbacks, draw-group changes, damage, death, "Action")
// and steers it with the body's own messages: heading and look angles,
// motions and the motion queue, jumps and action stops. A state machine
// (idle, follow, fight, go to, scared, dead) decides what it does each
// frame; hits go to the victim as the Change CP messages of its attack's
// effects.
//
// The handler is split by topic: AIPlayer.cpp holds the table, the states,
// the per-frame order and the file record; AIPlayerBehaviour.cpp the
// steering, perception, following, fighting, hits, helper nodes and route
// memory.

#include "actors/characters/Character.h"
#include "kernel/actors/Actor.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum AIPlayerState : int32_t {
    AI_STATE_REMOVED = -1, // the controller has removed its character
    AI_STATE_IDLE = 0,
    AI_STATE_UNUSED = 1,
    AI_STATE_CONNECTOR = 2,
    AI_STATE_FIGHT = 3,
    AI_STATE_FOLLOW = 4,
    AI_STATE_DEAD = 5,
    AI_STATE_GO_TO = 6,
    AI_STATE_SCARED = 7,
    AI_STATE_INACTIVE = 8,
};

enum AIPlayerType : uint32_t {
    AI_TYPE_NORMAL = 0,
    AI_TYPE_STATIC = 1,
};

enum StartFollowType : uint32_t {
    AI_FOLLOW_ON_ACTION = 0,
    AI_FOLLOW_ON_DISTANCE = 1,
    AI_FOLLOW_ON_HEARING_AND_VISION = 2,
};

enum AIDeathType : uint32_t {
    AI_DEATH_NONE = 0,
    AI_DEATH_DELETE = 1,
    AI_DEATH_SPAWN_RANDOM = 2,
    AI_DEATH_SPAWN_ON_PLACE = 3,
};

// The motions the controller plays, by index.
enum AIMotion : uint32_t {
    AI_MOTION_RUN = 0,       // "R_Forward"
    AI_MOTION_RUN1 = 1,      // "R_Forward1"
    AI_MOTION_NEUTRAL = 2,   // "N_Neutral"
    AI_MOTION_WALK = 3,      // "N_Forward"
    AI_MOTION_GUARDING = 4,  // "N_Guarding"
    AI_MOTION_EXHAUSTED = 5, // "N_Exhausted"
    AI_MOTION_DEAD = 6,      // "N_Dead"
    AI_MOTION_MELEE = 7,     // "M_Neutral"
    AI_MOTION_MELEE_WALK = 8, // "M_Forward"
    AI_MOTION_ATTACK = 9,    // "M_Attack0"
    AI_MOTION_COUNT = 10,
};

// The connector visits of one draw group: one entry per connector of the
// group, in the group's connector order.
struct RouteMemory {
    uint32_t group = 0;
    std::vector<uint32_t> visits;
};

class CQVAIPlayer : public CQVActor {
public:
    CQVAIPlayer();
    ~CQVAIPlayer() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // The state machine.
    void SetState(int32_t state);
    void SetCharacterMotion(uint32_t motion);
    void SetLoopMotion(uint32_t motion) { m_LoopMotion = motion; }

    // AIPlayerBehaviour.cpp: steering, perception, fight and navigation.
    void SteerTowards(const Vector3& point, float speedFactor);
    void SteerTowardsActor(CQVActor* actor, float speedFactor);
    bool CanSee(CQVActor* actor);
    float UpdateStuckTimer(float radius);
    uint32_t FindHelperForTarget(CQVActor* target);
    void Perceive(CQVCharacter* other, bool heard);
    void ChooseFightMove();
    void TryHit();
    void ApplyHit(CQVActor* victim, float multiplier);
    void TakeDrawGroupRoute(uint32_t group);
    void CountExitVisit(uint32_t group);
    void SearchAndGoToActor(const char* name);

    CQVCharacter* Character() const;
    CQVActor* Target() const { return m_TargetLink.target; }
    void SetTarget(CQVActor* target) { m_TargetLink.SetTarget(target); }

    // Members the message table calls.
    AttackParam* SelectedAttack();
    HitEffect* SelectedHitEffect();

    uint32_t m_StationaryMotion = 1;  // a standing motion plays
    uint32_t m_LoopMotion = AI_MOTION_NEUTRAL;  // re-sent when the body's motion loops
    uint32_t m_NeverRunInFight = 0;
    int32_t m_State = AI_STATE_IDLE;
    int32_t m_PreviousState = -1;
    float m_TimeInState = 0.0f;
    float m_InitialHealth = 0.0f;     // the body's health at "Precalculate", given back on revival
    ActorLink m_CharacterLink;        // the body: the parent Character
    ActorLink m_TargetLink;           // the actor followed or fought
    uint32_t m_Drawn = 0;             // between the body's "On Draw Start" and "On Draw Stop"
    float m_SteerYaw = 0.0f;
    float m_Cooldown = 0.0f;          // seconds "Action" and collisions are ignored
    float m_AttackEvalTimer = 1e38f;  // counts down to the current attack's hit
    uint32_t m_SpawnNotify = 0xFFFFFFFF;
    uint32_t m_CanOpenDoor = 1;
    float m_HeightTimer = 0.0f;       // Fight: time at another height than the target
    Vector3 m_StuckAnchor = Vector3(0.0f, 0.0f, 0.0f);
    float m_StuckTimer = 0.0f;
    uint32_t m_DeleteIfNotDrawn = 0;
    float m_DeleteDelay = 0.0f;
    float m_TurnSpeed = 1.0f;
    float m_NotDrawnEventTime = 0.0f; // 0: no event
    float m_NotDrawnTimer = 0.0f;
    std::deque<Vector3> m_Trail;      // the leader's positions, oldest first
    float m_TrailAccumulator = 0.0f;
    float m_TrailPeriod = 0.0f;
    uint32_t m_TrailMaxCount = 8;
    uint32_t m_TrailLeader = ACTOR_ID_NONE;    // by id: the leader may go while the trail lives
    uint32_t m_FollowTrail = 0;
    uint32_t m_RouteConnector = ACTOR_ID_NONE; // by id, like the nodes
    std::vector<uint32_t> m_NodeList;          // ids of the AI Helpers of the last group entered
    int32_t m_NodeIndex = -1;
    int32_t m_NodeStep = -1;
    uint32_t m_CanJump = 0;
    std::vector<Vector3> m_GoToPoints;         // the next first
    uint32_t m_GoToMotion = AI_MOTION_RUN;
    uint32_t m_CanFightInGoTo = 0;
    float m_SightTick = 0.0f;
    float m_LostTime = 0.0f;
    float m_SeenTime = 0.0f;
    uint32_t m_Seen = 0;
    float m_ScareTimer = 0.0f;
    std::vector<RouteMemory> m_RouteMemories;
    int32_t m_RouteIndex = -1;
    uint32_t m_AIType = AI_TYPE_NORMAL;
    uint32_t m_UseMemory = 0;
    float m_TimeSinceTarget = 0.0f;
    float m_DeathDelay = 60.0f;
    uint32_t m_DeathType = AI_DEATH_NONE;
    float m_FollowDistance = 300.0f;
    float m_FollowMinTime = 0.0f;     // kept and saved; nothing reads it
    float m_FollowMaxTime = 0.0f;     // 0: no limit
    uint32_t m_StartFollowType = AI_FOLLOW_ON_ACTION;
    uint32_t m_FollowGroup = 1;
    std::vector<AttackParam> m_Attacks;
    int32_t m_SelectedAttack = -1;
    float m_FightDistance = 600.0f;
    float m_HitDistance = 200.0f;
    std::vector<uint32_t> m_AttackTickets; // attack i, rand weight times
    uint32_t m_FightGroup = 1;
    std::vector<HitEffect> m_HitEffects;
    int32_t m_SelectedHitEffect = -1;
    uint32_t m_GethitId = 0;          // 0 none, n: "Gethit%d" of n - 1
    uint32_t m_DamageId = 0;          // 0 none, n: "Damage%d" of n - 1
    float m_HoldTime = 0.0f;          // given to the victim of a hit

    // The frame time of the step that runs.
    float m_FrameDt = 0.0f;

private:
    void SetLinkOwners();
    void SendSelf(uint32_t id) { HandleMessage(id, nullptr); }
    void Tell(uint32_t id) const;
    void TellReal(uint32_t id, float value) const;
    void TellText(uint32_t id, const char* text) const;
    void StartTrail(CQVActor* leader, float period);
    void StopTrail();
    int Precalculate();
    void CopyAIPlayer(const CQVAIPlayer& source);
    int SelectRow(bool attacks, const char* text);
    void RowTexts(bool attacks, std::vector<std::string>* out) const;
    void SetGroupBit(uint32_t* mask, MessageArgs args);
    void GoTo(const Vector3& point, uint32_t motion);
    void Obstacle();
    void ExitState(int32_t old, int32_t next);
    void EnterState(int32_t state);
    void RecordTrail(float dt);
    void NotDrawnStep(float dt, bool* stop);

    // The steps of the states.
    void IdleStep();
    void ScaredStep();
    void DeadStep();
    void FollowStep();
    void FightStep();
    void FightStepNormal(CQVCharacter* character, CQVActor* target);
    void FightStepStatic(CQVCharacter* character, CQVActor* target);
    void GoToStep();
    void ConnectorStep();

    // What the body handled, through the spy.
    void OnBodyMessage(uint32_t id, MessageArgs args);
    void OnCollision(MessageArgs args);
    void ToggleFollow(MessageArgs args);
    void HurtReaction();
    void ArmAttack(const char* motion);
    void FightOrFollow(CQVCharacter* other, bool follow);
    CQVActor* Node(int32_t index) const;
};
