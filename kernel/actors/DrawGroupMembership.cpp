#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/DrawPassWalk.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>

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

}  // namespace

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
        group->m_Actors.push_back(actor);
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
                g_ActiveMovers.push_back(actor);
            } else {
                g_PassiveMovers.push_back(actor);
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

    if (!(actor->m_Flags & ACTOR_DRAWGROUP_INHERITED) && group) {
        auto it = std::find(group->m_Actors.begin(), group->m_Actors.end(), actor);
        if (it != group->m_Actors.end()) {
            if (g_DrawPassWalk.list == &group->m_Actors && g_DrawPassWalk.next == it) ++g_DrawPassWalk.next;
            group->m_Actors.erase(it);
        }
    }
    if (actor->m_Flags & ACTOR_STATIC) {
        if (actor->m_DrawGroupId >= DRAWGROUP_LIST_COUNT) return 1;
        std::vector<ColObj*>& list = g_DrawGroupColObjs[actor->m_DrawGroupId];
        for (ColObj& object : actor->m_ColObjs) {
            if (EraseFirst(list, &object)) --g_DrawGroupCounters.staticColObjs;
        }
    } else if (EraseFirst(g_ActiveMovers, actor)) {
        --g_DrawGroupCounters.movers;
    } else {
        EraseFirst(g_PassiveMovers, actor);
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
