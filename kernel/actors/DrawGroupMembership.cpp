#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/DrawPassWalk.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>
#include <unordered_map>

namespace {

constexpr uint32_t COLOBJ_SOLID_OR_TRIGGER = 0x30;

// An id the group table and the collision-list table both hold.
CQVDrawGroupBase* GroupForMembership(uint32_t id) {
    return id < DRAWGROUP_LIST_COUNT ? DrawGroups_Get(id) : nullptr;
}

bool HasActiveVolume(const CQVActor* actor) {
    for (const ColObj& object : actor->m_ColObjs) {
        if ((object.flags & COLOBJ_ACTIVE) && (object.flags & COLOBJ_SOLID_OR_TRIGGER)) return true;
    }
    return false;
}

template <typename List, typename T>
bool EraseFirst(List& list, const T& value) {
    auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

// A listed actor that enters a group takes on the group's draw state: drawn
// at its clock's previous time means it was drawn last frame.
void MatchDrawState(CQVActor* actor, const CQVDrawGroupBase* group) {
    ActorClock* clock = actor->m_Clock;
    if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) actor->UpdateClock(clock);
    const bool drawnBefore = actor->m_LastUpdateTime == clock->previousTime;
    if (drawnBefore && !group->m_Drawing) {
        Actor_SendRecursive(actor, MSG_ON_DRAW_STOP, nullptr);
    } else if (!drawnBefore && group->m_Drawing) {
        Actor_SendRecursive(actor, MSG_ON_DRAW_START, nullptr);
    }
}

// Where each entered actor stands in its group's list and in a mover list,
// so taking it out costs the same however many actors the lists hold. A
// place is dropped when the actor leaves, and all of them when a list is
// emptied or a group goes (DrawGroups_ForgetPlaces); an actor without one
// is looked for in the list, as it always could be.
struct ListPlace {
    std::list<CQVActor*>* list = nullptr;
    std::list<CQVActor*>::iterator at;
};
struct ActorPlaces {
    ListPlace group;
    ListPlace mover;
};
std::unordered_map<const CQVActor*, ActorPlaces> g_Places;

void Enter(std::list<CQVActor*>& list, CQVActor* actor, ListPlace ActorPlaces::*which) {
    list.push_back(actor);
    g_Places[actor].*which = ListPlace{&list, std::prev(list.end())};
}

// The actor's node in list: its recorded place, else the first that holds it.
std::list<CQVActor*>::iterator Find(std::list<CQVActor*>& list, CQVActor* actor, ListPlace ActorPlaces::*which) {
    auto found = g_Places.find(actor);
    if (found != g_Places.end()) {
        ListPlace& place = found->second.*which;
        if (place.list == &list && *place.at == actor) return place.at;
    }
    return std::find(list.begin(), list.end(), actor);
}

void Forget(CQVActor* actor, const std::list<CQVActor*>& list, ListPlace ActorPlaces::*which) {
    auto found = g_Places.find(actor);
    if (found == g_Places.end()) return;
    ListPlace& place = found->second.*which;
    if (place.list != &list) return;
    place = ListPlace{};
    if (found->second.group.list == nullptr && found->second.mover.list == nullptr) g_Places.erase(found);
}

bool Leave(std::list<CQVActor*>& list, CQVActor* actor, ListPlace ActorPlaces::*which) {
    auto it = Find(list, actor, which);
    if (it == list.end()) return false;
    Forget(actor, list, which);
    if (g_DrawPassWalk.list == &list && g_DrawPassWalk.next == it) ++g_DrawPassWalk.next;
    list.erase(it);
    return true;
}

}  // namespace

void DrawGroups_ForgetPlaces() { g_Places.clear(); }

DrawGroupLeave::DrawGroupLeave(CQVActor* actor) : m_Actor(actor) {
    if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(actor, 0);
}

DrawGroupLeave::~DrawGroupLeave() {
    if (g_ActorSystem) g_ActorSystem->AddToDrawGroup(m_Actor, 0);
}

int CQVActorSystem::AddToDrawGroup(CQVActor* actor, int force) {
    ++g_DrawGroupCounters.calls;
    if (actor == nullptr) return 0;
    if (((actor->m_Flags & ACTOR_IN_DRAWGROUP) && !force) || actor->m_DrawGroupId == DRAWGROUP_NONE) return 1;
    CQVDrawGroupBase* group = GroupForMembership(actor->m_DrawGroupId);
    // Never written past the collision-list table, nor into a missing group.
    if (group == nullptr) return 0;
    actor->m_Flags |= ACTOR_IN_DRAWGROUP;

    if (!(actor->m_Flags & ACTOR_DRAWGROUP_INHERITED) && actor->m_Parent &&
        !(actor->m_Parent->m_Flags & ACTOR_IN_DRAWGROUP)) {
        Enter(group->m_Actors, actor, &ActorPlaces::group);
        // The subtree follows its top actor into the group.
        for (size_t i = 0; i < actor->m_Children.size(); ++i) {
            Actor_SendRecursive(actor->m_Children[i], MSG_SET_DRAWGROUP, Args_Of(&actor->m_DrawGroupId));
        }
        MatchDrawState(actor, group);
    }

    if (!(actor->m_Flags & ACTOR_STATIC)) {
        if (actor->m_Flags & ACTOR_COLLISION_ENABLED) {
            if (HasActiveVolume(actor)) {
                if (actor->m_SimState == nullptr) actor->m_SimState = new SimState;
                Enter(g_ActiveMovers, actor, &ActorPlaces::mover);
            } else {
                Enter(g_PassiveMovers, actor, &ActorPlaces::mover);
            }
        }
        actor->HandleMessage(MSG_CALLBACK_START_MOVING, nullptr);
        ++g_DrawGroupCounters.movers;
    } else {
        std::vector<ColObj*>& list = g_DrawGroupColObjs[actor->m_DrawGroupId];
        for (ColObj& object : actor->m_ColObjs) {
            object.owner = actor;
            list.push_back(&object);
            ++g_DrawGroupCounters.staticColObjs;
        }
        // A static collider stays where it is entered: the collision pass
        // refreshes only the movers' volumes.
        UpdateColObjVolumes(actor);
        actor->HandleMessage(MSG_CALLBACK_END_MOVING, nullptr);
    }
    return 1;
}

int CQVActorSystem::RemoveFromDrawGroup(CQVActor* actor, int force) {
    ++g_DrawGroupCounters.calls;
    if (actor == nullptr) return 0;
    if ((!(actor->m_Flags & ACTOR_IN_DRAWGROUP) && !force) || actor->m_DrawGroupId == DRAWGROUP_NONE) return 1;
    CQVDrawGroupBase* group = GroupForMembership(actor->m_DrawGroupId);
    actor->m_Flags &= ~ACTOR_IN_DRAWGROUP;

    if (!(actor->m_Flags & ACTOR_DRAWGROUP_INHERITED) && group) Leave(group->m_Actors, actor, &ActorPlaces::group);
    if (actor->m_Flags & ACTOR_STATIC) {
        if (actor->m_DrawGroupId >= DRAWGROUP_LIST_COUNT) return 1;
        std::vector<ColObj*>& list = g_DrawGroupColObjs[actor->m_DrawGroupId];
        for (ColObj& object : actor->m_ColObjs) {
            if (EraseFirst(list, &object)) --g_DrawGroupCounters.staticColObjs;
        }
    } else if (Leave(g_ActiveMovers, actor, &ActorPlaces::mover)) {
        --g_DrawGroupCounters.movers;
    } else {
        Leave(g_PassiveMovers, actor, &ActorPlaces::mover);
    }
    return 1;
}

int CQVActorSystem::AreDrawGroupsConnected(int32_t a, int32_t b) {
    if (a == b || a == -1 || b == -1) return 1;
    const CQVDrawGroupBase* group = DrawGroups_Get(static_cast<uint32_t>(a));
    if (group == nullptr) return 0;
    for (uint32_t connectorId : group->m_Connectors) {
        const auto* connector = dynamic_cast<const CQVDrawGroupConnectorBase*>(GetActorById(connectorId));
        if (connector == nullptr) continue;
        const std::vector<uint32_t>& ids = connector->m_GroupIds;
        if (ids.size() >= 2 && (ids[0] == static_cast<uint32_t>(b) || ids[1] == static_cast<uint32_t>(b)) &&
            connector->m_Open) {
            return 1;
        }
    }
    return 0;
}
