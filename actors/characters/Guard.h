#pragma once
// A guard: an invisible controller that clones a template Character into the
// scenery as its body and drives it along a tree of Path Nodes placed as its
// children. It sleeps, patrols, hunts what it hears or sees, catches or
// fights it, pauses, walks back to its path, and dies and respawns by its
// dead type. Every state change raises the guard's start and stop events.
//
// The body, the target, the nodes and the trail's target are all held by
// actor id and looked up when used, so that deleting any of them leaves the
// guard nothing dangling: a target gone sends the guard back to its patrol,
// a body gone counts as none.
//
// The handler is split by topic: Guard.cpp holds the table, the messages,
// the states, the per-frame order, perception and the file record;
// GuardSteps.cpp the per-state steps and the walk along the node tree.

#include "actors/characters/Character.h"
#include "kernel/actors/Actor.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum GuardType : uint32_t {
    GUARD_BOX = 0,       // becomes a Path Guard at start
    GUARD_PATH = 1,      // catches by hitting
    GUARD_FIGHTER = 2,   // fights with its attack list
    GUARD_HUNTED = 3,    // flees; never dies of health loss
};

enum GuardState : uint32_t {
    GUARD_SLEEP = 0,
    GUARD_PATROL = 1,
    GUARD_HUNT = 2,
    GUARD_RETURN_TO_PATROL = 3,
    GUARD_HIT = 4,
    GUARD_PAUSE_IN_HUNT = 5,
    GUARD_FIGHT = 6,
    GUARD_HUNTED_STATE = 7,
    GUARD_IDLE = 8,
    GUARD_DEAD = 9,
    GUARD_PAUSE_IN_PATROL = 10,
    GUARD_STATE_COUNT = 11,
};

enum GuardDeadType : uint32_t {
    GUARD_DEAD_NON = 0,
    GUARD_DEAD_DELETE = 1,
    GUARD_DEAD_SPAWN_ON_ROOT = 2,
    GUARD_DEAD_SPAWN_RANDOM = 3,
    GUARD_DEAD_SPAWN_ON_PLACE = 4,
};

// The motions the guard asks of its body, by number.
enum GuardMovementMode : int32_t {
    GUARD_MOVE_RUN = 0,        // "R_Forward"
    GUARD_MOVE_RUN1 = 1,       // "R_Forward1"
    GUARD_MOVE_NEUTRAL = 2,    // "N_Neutral"
    GUARD_MOVE_WALK = 3,       // "N_Forward"
    GUARD_MOVE_GUARDING = 4,   // "N_Guarding"
    GUARD_MOVE_EXHAUSTED = 5,  // "N_Exhausted"
    GUARD_MOVE_DEAD = 6,       // "N_Dead"
    GUARD_MOVE_MELEE = 7,      // "M_Neutral"
    GUARD_MOVE_MELEE_WALK = 8, // "M_Forward"
    GUARD_MOVE_ATTACK = 9,     // "M_Attack"
    GUARD_MOVE_SLEEP = 10,     // "S_Neutral"
    GUARD_MOVE_COUNT = 11,
};

class CQVGuard : public CQVActor {
public:
    CQVGuard();
    ~CQVGuard() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // The state machine and the body's motion.
    void SetState(uint32_t state);
    void SetMovementMode(int32_t mode);

    // Steering and sight.
    void SteerTowardsActor(CQVActor* actor, float turnSpeed);
    void SteerTowardsPoint(const Vector3& point, float turnSpeed);
    bool HasClearLine(CQVActor* actor);
    bool CanSee(CQVActor* actor);

    // Hits and the fight.
    void ApplyHit(CQVActor* victim, float multiplier);
    void ChooseAttack(float distance);
    void EvaluateAttackHit();

    void StartTrail(CQVActor* actor, float interval);
    void StopTrail();

    // GuardSteps.cpp: the step of the current state, and the node walk.
    virtual void StepAI(float dt);
    virtual void AdvanceNode();
    virtual int FindNearestNode();
    CQVActor* NextPathNode(CQVActor* node);
    CQVActor* PreviousPathNode(CQVActor* node);

    // The held actors, looked up by id; null once they are gone.
    CQVCharacter* Body() const;
    CQVActor* Target() const;
    CQVActor* CurrentNode() const;
    CQVActor* PreviousNode() const;
    void SetTarget(CQVActor* actor) { m_TargetId = actor ? actor->m_Id : ACTOR_ID_NONE; }
    void SetCurrentNode(CQVActor* node) { m_CurrentNodeId = node ? node->m_Id : ACTOR_ID_NONE; }

    // How often a character has been caught by the Path Guards, by its id.
    static uint32_t& CaughtCount(uint32_t characterId);

    // Members the message table calls.
    AttackParam* SelectedAttack();
    HitEffect* SelectedHitEffect();
    int OnSetGuardType(uint32_t type);

    uint32_t m_CharacterId = ACTOR_ID_NONE;  // the template Character
    uint32_t m_BodyId = ACTOR_ID_NONE;       // the clone made at start
    Vector3 m_HomePosition = Vector3(0.0f, 0.0f, 0.0f);
    uint32_t m_HomeWord = 0;
    uint32_t m_TargetId = ACTOR_ID_NONE;
    uint32_t m_PathMode = 0;
    uint32_t m_Forward = 1;                  // 1 down the tree, 0 up
    uint32_t m_CurrentNodeId = ACTOR_ID_NONE;
    uint32_t m_PreviousNodeId = ACTOR_ID_NONE;
    uint32_t m_GuardType = GUARD_BOX;
    std::deque<Vector3> m_Trail;
    float m_TrailTimer = 0.0f;
    float m_TrailInterval = 0.0f;
    uint32_t m_TrailMax = 0;
    uint32_t m_TrailTargetId = ACTOR_ID_NONE;
    uint32_t m_TrailFollow = 0;
    uint32_t m_State = GUARD_PATROL;
    int32_t m_PreviousState = -1;
    float m_StateTime = 0.0f;
    float m_KeptA = 0.5f;
    float m_KeptB = 2.6f;
    float m_CaughtTimer = 0.0f;
    float m_KeptC = 0.0f;
    float m_PauseTime = 0.0f;
    float m_TimeSinceHit = 0.0f;
    float m_VisibilityTimer = 0.0f;
    float m_LostTime = 0.0f;
    uint32_t m_AreaFlagA = 1;
    uint32_t m_AreaFlagB = 1;
    float m_JumpTimer = 0.0f;
    float m_NodeTurnDistance = 40.0f;
    uint32_t m_UseNodeTime = 0;
    float m_RootNodeTime = 0.0f;
    float m_HitDistance = 60.0f;
    float m_JumpInterval = 3.0f;
    float m_Heading = 0.0f;
    int32_t m_MovementMode = -1;
    float m_FightTimer = 0.0f;
    float m_AttackEvalCountdown = 1e38f;
    int32_t m_FightMove = -1;
    uint32_t m_AttackReady = 1;
    float m_StartHealth = 0.0f;
    float m_DeadDelay = 0.0f;
    uint32_t m_DeadType = GUARD_DEAD_NON;
    std::vector<AttackParam> m_Attacks;
    int32_t m_CurrentAttack = -1;
    std::vector<uint32_t> m_AttackBag;
    float m_FightDistance = 500.0f;
    std::vector<HitEffect> m_HitEffects;
    int32_t m_CurrentHitEffect = -1;
    uint32_t m_GethitId = 0;
    uint32_t m_DamageId = 0;
    float m_HoldTime = 0.0f;
    std::vector<Vector3> m_ReturnTrail;
    float m_ReturnTrailTimer = 0.0f;

private:
    void SendSelf(uint32_t id) { HandleMessage(id, nullptr); }
    void Tell(uint32_t id) const;
    void TellReal(uint32_t id, float value) const;
    void TellWord(uint32_t id, uint32_t value) const;
    void TellText(uint32_t id, const char* text) const;
    int Precalculate();
    void CopyGuard(const CQVGuard& source);
    void BuildBoxAreas();
    void EnterState(uint32_t state, uint32_t from);
    void RecordTrail(float dt);
    void CatchStep(float dt);
    void OnBodyMessage(uint32_t id, MessageArgs args);
    void OnCollision(MessageArgs args);
    void OnHurt();
    void ArmAttack(const char* motion);
    void SelectRow(bool attacks, const char* text);
    void RowTexts(bool attacks, std::vector<std::string>* out) const;

    // GuardSteps.cpp.
    bool Reached(CQVActor* actor);
    bool Reached(const Vector3& point);
    void JumpStep(float dt);
    void PlaceBody(CQVActor* at);
    void HuntStep(float dt);
    void ReturnStep(float dt);
    void FightStep();
    void DeadStep();
};
