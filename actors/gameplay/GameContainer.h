#pragma once
// A place the player searches or uses: a cupboard, chest or desk that may
// hold one item, a door-like container that opens a Door child, or a trap
// wire. While the player keeps acting on it, it hands its item over after a
// search time, takes an item put in, or lets a trap be set in it, the better
// the longer it is held.

#include "kernel/actors/Actor.h"

constexpr uint32_t CONTAINER_OBJECT = 0;
constexpr uint32_t CONTAINER_DOOR = 1;
constexpr uint32_t CONTAINER_TRAP_WIRE = 2;
constexpr uint32_t CONTAINER_TRIGGER = 3; // a trigger without a wire

constexpr uint32_t CONTAINER_TRIGGER_ON_COLLISION = 1;

enum ContainerSound : uint32_t {
    CONTAINER_SOUND_EMPTY,
    CONTAINER_SOUND_ITEM,
    CONTAINER_SOUND_TRAP,
    CONTAINER_SOUND_COUNT
};

// A trap being set into the container, held by "Action" frame after frame.
struct ContainerTrapSetup {
    uint32_t recorded = 0;
    uint32_t running = 0;
    float elapsed = 0.0f;
    float minTime = 0.0f; // the trap's least and greatest setup times
    float maxTime = 0.0f;
    uint32_t setter = 0;  // actor ids
    uint32_t item = 0;
};

class CQVGameContainer : public CQVActor {
public:
    CQVGameContainer();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // Rebuilds the children and the "Event" box for the container type.
    void BuildParts();
    // The first Game Object below the container, or null.
    CQVActor* Content();

    uint32_t m_ContainerType = CONTAINER_OBJECT;
    uint32_t m_Reserved[2] = {0, 0xFFFFFFFF}; // saved and copied only
    float m_SearchTime = 1.0f;      // seconds of use before the content is handed over
    uint32_t m_Searching = 0;
    float m_SearchElapsed = 0.0f;
    uint32_t m_Searcher = ACTOR_ID_NONE; // none: the container was empty at the start
    uint32_t m_TriggerType = 0;
    float m_TriggerTime = 0.0f;     // kept only
    ActorLink m_FingerPrints;       // not owned; found again on "Precalculate"
    ActorLink m_SpawnPoint;         // items put in become its children
    ActorLink m_Sounds[CONTAINER_SOUND_COUNT];
    uint32_t m_DeleteAfterActivation = 0;
    float m_TouchDelay = 0.0f;      // counts down; touches count below 0
    float m_ActionDelay = 1.0f;     // counts down; "Action" counts below 0
    float m_TrapDelay = 1.0f;       // counts down; a trap may be set below 0
    uint32_t m_PositionReplicatePending = 0;
    ContainerTrapSetup m_Trap;
    uint32_t m_ActionThisFrame = 0;

private:
    void FindParts();
    void Listen();
    void ActivateContent(uint32_t activatorId);
    void InsertContent(uint32_t holderId, uint32_t itemId);
    void CalculateEventBox();
    void Collide(const ColObj* partner);
    // 0 where the use ends without the base handler.
    int Action(uint32_t userId, uint32_t itemId);
    void StartSearch(CQVActor* user, uint32_t searcher);
    void StepTrapSetup(float dt);
    void CompleteTrapSetup();
    void StepSearch(float dt);
    void Play(ContainerSound sound);
    void ShowFingerPrints(bool shown);
    void OpenDoors();
    void Replicate(uint32_t message, MessageArgs args);
};
