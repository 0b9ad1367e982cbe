#pragma once
// The root of the actor tree and the owner of every actor: the id table, the
// factory, deletion, moving and copying within the tree, lookups by id, name
// and path, message sending, timed-message scheduling and the replication
// hook. Exactly one instance exists, reached through g_ActorSystem.

#include "kernel/actors/Actor.h"
#include "kernel/actors/ClassTypes.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

class CQVLibraryItem;
struct Contact;
struct RayFilter;
struct TimedMessage;

constexpr uint32_t ACTOR_ID_GLOBAL = 1;
constexpr uint32_t ACTOR_ID_SCENERY = 2;
constexpr uint32_t ACTOR_ID_CLIPBOARD = 3;
constexpr uint32_t ACTOR_ID_ENVIRONMENT = 14;
constexpr uint32_t ACTOR_ID_INVENTORY = 16;
constexpr uint32_t ACTOR_ID_SYSTEM_LIMIT = 10;   // ids below it cannot be deleted
constexpr uint32_t ACTOR_ID_FIRST_FREE = 8000;   // run-time ids start here
constexpr uint32_t ACTOR_ID_MAX = 500000;        // higher ids are refused
constexpr uint32_t ACTOR_TABLE_INITIAL = 8000;
constexpr uint32_t ACTOR_ID_ANY = 0xFFFFFFFF;    // CreateActor: take a free id

// One actor class as the program supplies it: the kernel knows the classes
// of the scene, character and gameplay libraries (and its own file actors)
// only through this table.
struct ActorClassInfo {
    uint32_t type;
    CQVActor* (*create)();        // an actor with the class's defaults and its class type set
    void (*registerProperties)(); // fills the class's record in g_ClassRecords
};

// Installs the class table; RegisterActorClasses registers the classes in
// the table's order and the factory creates each type through it. The table
// must outlive the actor system.
// setFileRange gives a FileIO system actor its id range and file name.
void ActorClasses_SetTable(const ActorClassInfo* classes, size_t count,
                           void (*setFileRange)(CQVActor* fileIO, uint32_t firstId, uint32_t lastId,
                                                const char* fileName));

// Registers every class, then creates the actor system and its system
// actors; 1, or 0 when the actor system cannot be made.
int RegisterActorClasses();

// One message recorded for replay.
struct ReplayLogEntry {
    uint32_t frame;
    uint32_t targetId;
    uint32_t messageId;
    uint8_t* args; // heap copy of the packed argument block
};

class CQVActorSystem : public CQVActor {
public:
    CQVActorSystem();
    ~CQVActorSystem() override;

    static CQVActorSystem* Get();

    CQVActor* CreateActor(uint32_t type, const char* name, CQVActor* source, CQVActor* parent, uint32_t id,
                          int init, uint32_t flags);
    int DeleteActor(CQVActor* actor);
    int QueueDelete(CQVActor* actor);
    // Deletes the queued actors, the last queued first (the start of the
    // actor system's per-frame step).
    void RunPendingDeletes();
    // The actor system's own per-frame step, first in every frame: the
    // deletes queued since the last one, then a requested level change
    // (ActorSystemProcess.cpp).
    void Process() override;
    int MoveActor(CQVActor* actor, CQVActor* newParent);
    CQVActor* CloneActor(CQVActor* source, CQVActor* parent, uint32_t flags);
    CQVActor* CopyActorTree(CQVActor* source, CQVActor* parent, uint32_t flags);

    static CQVActor* GetActorById(uint32_t id);
    static int32_t GetActorClassById(uint32_t id);
    static CQVActor* FindActorByName(const char* name, uint32_t type);
    static CQVActor* FindActorByPath(const char* path, CQVActor* from);
    static const char* GetActorPath(CQVActor* actor, CQVActor* from);
    uint32_t FindFreeActorId(uint32_t count);

    static int SendMessage(uint32_t id, uint32_t message, MessageArgs args);
    static int BroadcastMessage(uint32_t message, MessageArgs args);
    static int SendMessageToChildren(CQVActor* actor, uint32_t message, MessageArgs args);
    void PrecalculateAll();
    static uint32_t CountSavedActors(uint32_t first, uint32_t last);
    static uint32_t GetIdSpan(uint32_t first, uint32_t last);
    int SetError(const char* format, ...);
    // The error of a load past g_ActorLoadLimits; 0.
    int OverBudget();
    const char* GetError() const { return m_ErrorText; }

    // Actor files: SaveActors writes the flagged actors with ids in [first,
    // last); LoadActors creates every record at its stored id; ImportActors
    // reads a file under fresh ids below parent. A damaged file changes
    // nothing and gives 0.
    int SaveActors(const char* fileName, uint32_t first, uint32_t last, uint32_t flags);
    int LoadActors(const char* fileName, uint32_t flags);
    int ImportActors(const char* fileName, CQVActor* parent);
    int ImportActorsFromArchive(CQVActorArchive* archive, CQVActor* parent);

    uint32_t GetLoadVersion() const { return m_LoadVersion; }
    void SetLoadVersion(uint32_t version) { m_LoadVersion = version; }

    // Timed messages: scheduling links a record into the actor's clock;
    // cancelling queues it for release at the next pass.
    TimedMessage* ScheduleMessage(CQVActor* actor, uint32_t messageId, MessageArgs args, uint32_t flags,
                                  float delay, float duration, float period, TimedMessage* record,
                                  uint8_t channel);
    // Links a record into its actor's clock (a loaded record, or step 8 of
    // scheduling); unlinked modes and linked records stay as they are.
    void LinkTimedMessage(TimedMessage* record);
    void CancelTimedMessage(TimedMessage* record);
    void ReleaseTimedMessage(TimedMessage* record);
    // Fires the due records of one channel of a clock; the frame's pass runs
    // the four channels of the global clock.
    void RunTimedMessages(ActorClock* clock, uint8_t channel);
    void RunTimedMessagePass();

    // Pausing, the draw pass and the draw-group lookups of the frame.
    void SetPaused(uint32_t pause, CQVActor* pauseActor, uint32_t pauseOverride);
    void ProcessNetworkInput();
    uint32_t FindDrawGroupAt(const Vector3& point, uint32_t start);
    int UpdateDrawGroup(CQVActor* actor);
    void DrawVisibleGroups(float dt);
    void VisitDrawGroup(uint32_t group, float dt);
    int AreDrawGroupsConnected(int32_t a, int32_t b);
    CQVActor* m_PauseActor = nullptr; // runs while paused
    uint32_t m_PauseOverride = 0;     // not 0: the normal frame runs although paused
    uint32_t m_CursorCentring = 1;

    // Draw-group membership of an actor.
    int AddToDrawGroup(CQVActor* actor, int force);
    int RemoveFromDrawGroup(CQVActor* actor, int force);

    // The replication hook: messages that a networked or recorded game would
    // repeat elsewhere. Nothing here records or sends, so it has no effect.
    void ReplicateMessage(uint32_t targetId, uint32_t messageId, MessageArgs args);
    void ReplicateMessageFromCharacter(uint32_t targetId, uint32_t messageId, MessageArgs args);
    void ReplicateMessageTo(uint32_t peer, uint32_t targetId, uint32_t messageId, MessageArgs args);

    // The game-level commands (ActorSystemHandler.cpp); every message then
    // reaches the base handler.
    int HandleMessage(uint32_t id, MessageArgs args) override;
    // The ids of the actors (from id 1 up) with exactly this name and class type.
    static std::vector<uint32_t> FindActorsByName(const char* name, uint32_t type);
    // The loading screen of a level change (LoadingScreen.cpp).
    void StartLoadingScreen(uint32_t count);
    void UpdateLoadingScreen(const char* text);
    void EndLoadingScreen();
    // The collision and simulation pass of the frame (Collision*.cpp).
    void RunCollisionPass(float dt);
    void SimulateBody(CQVActor* actor, float fraction);
    void UpdateColObjVolumes(CQVActor* actor);
    void FindContacts(const std::list<CQVActor*>& movers, uint32_t mode);
    int TestColObjPair(ColObj* a, ColObj* b, uint32_t mode);
    ColObj* RayCast(const RayFilter& filter, const Vector3& from, const Vector3& to, Vector3* hitPoint,
                    Vector3* hitNormal);

    uint32_t m_DifficultyLevel = 0;
    uint32_t m_PendingLoad = 0;    // 1: the next frame's step changes the level
    uint32_t m_NewGame = 0;        // 1: load files B then A and send "Start Game"; 0: a saved game
    std::string m_LoadFileA;       // the level or save to load
    std::string m_LoadFileB;       // loaded first for a new game
    std::string m_LoadingText;
    uint32_t m_CollectResources = 0;
    std::vector<CQVLibraryItem*> m_CollectedResources;
    std::vector<uint32_t> m_ListenerEffects;
    float m_LoadBarColor[4] = {0.6f, 0.9f, 0.4f, 1.0f};
    Vector3 m_LoadBarPosition = Vector3(0.0f, 0.0f, 0.0f);
    float m_LoadBarTextColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Vector3 m_LoadBarTextPosition = Vector3(0.0f, 0.0f, 0.0f);

    char m_ErrorText[512];
    uint32_t m_LoadVersion = 1;              // version of the actor file being read
    void (*m_LoadCallback)(int) = nullptr;   // called with 0 after every actor read from a file
    uint32_t m_GridSnapSetting = 4;
    uint32_t m_GridSpaceSetting = 2;
    float m_GridUnit = 100.0f;
    uint32_t m_PauseWord = 0;
    float m_GlobalSpeedMultiplier = 1.0f;
    std::string m_BaseDirectory;

    // Where the search for one free id may start (see FindFreeActorId).
    uint32_t m_FreeIdHint = ACTOR_ID_FIRST_FREE;

    std::vector<TimedMessage*> m_CancelledTimedMessages;
    uint32_t m_InTimedMessagePass = 0;

    uint32_t m_ReplayState = 0; // 0 idle, 2 recording; nothing switches recording on
    uint32_t m_ReplayFrame = 0;
    uint32_t m_NetworkSync = 1;
    std::vector<ReplayLogEntry> m_ReplayLog;

    // Table access for the actors' own bookkeeping.
    static CQVActor* GetTableSlot(uint32_t id);
    static void ClearTableSlot(uint32_t id);

private:
    CQVActor* ConstructClass(uint32_t type);
    // The records of an actor file, made and read but not yet in the table.
    struct LoadedRecord {
        CQVActor* actor;
        uint32_t id;
    };
    struct RecordIds;
    int ReadRecords(CQVActorArchive* archive, uint32_t count, uint32_t flags, const RecordIds& ids,
                    std::vector<LoadedRecord>* records);
    void PlaceLoadedActor(CQVActor* actor, uint32_t id);
    void RemoveFromParentList(CQVActor* actor, CQVActor* parent);
    static void RemoveChildEntry(CQVActor* parent, uint32_t id);
    void DestroyInSlot(uint32_t id);
    // "Unload All Fileobjects": the actors made at run time go at once.
    void DestroyRunTimeActors();
    void NotifyRemoved(CQVActor* actor, CQVActor* parent);
    void NotifyAdded(CQVActor* actor, CQVActor* parent);
    void GrowTable(size_t size);
};

extern CQVActorSystem* g_ActorSystem;
// The camera whose motion places the engine's view each frame; set by the
// Camera actor that is active, null while none is.
extern CQVActor* g_CurrentCamera;
extern std::vector<CQVActor*> g_ActorTable;
extern std::vector<CQVActor*> g_PendingDeletes;

// The actors library's globals back to their start, for a fresh run in one
// process (tests): every actor and the actor system go, the global clock
// stands at 0, the draw-group tables are emptied and the GA slots cleared.
// Installed hooks (script runner, network send, developer gamma) stay.
void Actors_Reset();

// The send operation of a network layer, addressed to one peer or to all;
// none is attached in this system, so replicated messages go nowhere.
constexpr uint32_t NETWORK_ALL_PEERS = 0xFFFFFFFF;
extern void (*g_NetworkSend)(uint32_t peer, const uint8_t* packet, uint32_t size);

// A do-nothing actor that stands in where a script names an actor that does
// not exist: every message to it returns 1 and changes nothing.
class NullActor : public CQVActor {
public:
    NullActor();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    void Process() override;
    void Update() override;
    void PrepareRender() override;

    uint32_t m_Word = 0;
};

// The safe instance when the flag is non-zero, else the plain one.
NullActor* GetNullActor(int safe);
