#pragma once
// Draw groups as the kernel keeps them: the table of groups by id, the
// groups being drawn, what the draw pass reads and writes in a Draw Group
// and a Draw Group Connector, the per-group lists of static collision
// objects and the lists of moving colliders. The scene library's Draw Group
// and Draw Group Connector classes derive from the two classes here and add
// their own messages and persistence.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <list>
#include <vector>

constexpr uint32_t DRAWGROUP_NONE = 0xFFFFFFFF;
// Ids 0 and 1 are the built-in groups; a level's groups start at 2.
constexpr uint32_t DRAWGROUP_FIRST_LEVEL = 2;
// One collision list per id: a group id at or above it is refused.
constexpr uint32_t DRAWGROUP_LIST_COUNT = 1024;
constexpr uint32_t CONNECTOR_TYPE_DOOR = 1;

class CQVDrawGroupBase;

// Takes an actor out of its draw group while it lives and puts it back
// after: the group's lists hold the actor's collision objects by address,
// so they may be added or removed only meanwhile.
class DrawGroupLeave {
public:
    explicit DrawGroupLeave(CQVActor* actor);
    ~DrawGroupLeave();
    DrawGroupLeave(const DrawGroupLeave&) = delete;
    DrawGroupLeave& operator=(const DrawGroupLeave&) = delete;

private:
    CQVActor* m_Actor;
};

// A group's place in g_DrawnGroups; the list's head has no group.
struct DrawnGroupLink {
    DrawnGroupLink* next = nullptr;
    DrawnGroupLink* previous = nullptr;
    CQVDrawGroupBase* group = nullptr;
    uint32_t headMarker = 1; // 1 for the head and for a link never linked
};

class CQVDrawGroupBase : public CQVActor {
public:
    // Appends the group to g_DrawGroups; its index is its draw-group id.
    CQVDrawGroupBase();
    ~CQVDrawGroupBase() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    // Reached by the portal traversal: a group that is not being drawn
    // starts drawing, then the base update runs.
    void OnVisible(float dt) override;

    Vector3 m_BoxMin = Vector3(0.0f, 0.0f, 0.0f); // local space
    Vector3 m_BoxMax = Vector3(0.0f, 0.0f, 0.0f);
    std::vector<uint32_t> m_Connectors; // actor ids of the connectors that touch it
    uint32_t m_Drawn = 0;               // reached by this frame's traversal
    uint32_t m_Open = 0;
    uint32_t m_Drawing = 0;             // between "On Draw Start" and "On Draw Stop"
    std::list<CQVActor*> m_Actors;      // the actors entered into the group, in order
    uint32_t m_Slot;                    // own index in g_DrawGroups, kept beside an inherited id
    DrawnGroupLink m_DrawnLink;
};

class CQVDrawGroupConnectorBase : public CQVActor {
public:
    CQVDrawGroupConnectorBase();
    void OnVisible(float dt) override;

    std::vector<uint32_t> m_GroupIds; // the joined groups
    uint32_t m_Visited = 0;           // met by this frame's traversal
    uint32_t m_Open = 0;
    uint32_t m_Type = 0;              // CONNECTOR_TYPE_DOOR: the parent door stands for it
};

extern std::vector<CQVDrawGroupBase*> g_DrawGroups;
extern DrawnGroupLink g_DrawnGroups;
// Where the engine's camera stands this frame: the draw pass finds the
// camera's group from it.
extern Vector3 g_DrawCameraPosition;

// The collision objects of the static colliders of each group.
extern std::vector<ColObj*> g_DrawGroupColObjs[DRAWGROUP_LIST_COUNT];
// Moving colliders: with an enabled solid or trigger volume, and the others.
extern std::list<CQVActor*> g_ActiveMovers;
extern std::list<CQVActor*> g_PassiveMovers;

struct DrawGroupCounters {
    uint32_t calls = 0;          // of Add and Remove
    uint32_t movers = 0;         // moving actors entered
    uint32_t staticColObjs = 0;  // static collision objects entered
};
extern DrawGroupCounters g_DrawGroupCounters;

// The Draw Group actor for an id, or null.
CQVDrawGroupBase* DrawGroups_Get(uint32_t id);
// Empties every collision and mover list and cuts g_DrawGroups back to its
// two built-in groups (a file actor opening or unloading its level).
void DrawGroups_Reset();

// Drops the record of where each actor stands in the group and mover lists
// (kept so that leaving a list does not search it): called when a list is
// emptied other than by the actors leaving it, or a group goes.
void DrawGroups_ForgetPlaces();

// Sends "Recursive Command" {id, block}: the actor and its whole subtree get
// the message with that block.
void Actor_SendRecursive(CQVActor* actor, uint32_t id, MessageArgs block);

// The frame's wall-clock interval: the game clock's delta, or the source a
// test installs so frames step by a fixed time.
double FrameClock_TakeDelta();
void FrameClock_SetSource(double (*source)());
