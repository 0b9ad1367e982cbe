#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/DrawPassWalk.h"
#include "kernel/actors/MessageIds.h"

namespace {

CQVDrawGroupConnectorBase* GetConnector(uint32_t id) {
    return dynamic_cast<CQVDrawGroupConnectorBase*>(CQVActorSystem::GetActorById(id));
}

}  // namespace

DrawPassWalk g_DrawPassWalk;

void CQVActor::OnVisible(float dt) {}

void CQVActorSystem::SetPaused(uint32_t pause, CQVActor* pauseActor, uint32_t pauseOverride) {
    m_PauseWord = pause;
    m_PauseActor = pauseActor;
    m_PauseOverride = pauseOverride;
    // The first frame after a pause must not count the time spent paused.
    if (pause == 0) FrameClock_TakeDelta();
}

// Network input acts only on a network object, and this game never makes one.
void CQVActorSystem::ProcessNetworkInput() {}

uint32_t CQVActorSystem::FindDrawGroupAt(const Vector3& point, uint32_t start) {
    for (size_t slot = start; slot < g_DrawGroups.size(); ++slot) {
        CQVDrawGroupBase* group = g_DrawGroups[slot];
        if (group == nullptr) continue;
        Vector3 box[2] = {Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f)};
        group->HandleMessage(MSG_GET_DRAWGROUP_AABOX, Args_Of(box));
        if (Box_ContainsPoint(box[0], box[1], point)) return group->m_DrawGroupId;
    }
    return DRAWGROUP_NONE;
}

int CQVActorSystem::UpdateDrawGroup(CQVActor* actor) {
    if (actor == nullptr) return 1;
    Vector3 position(0.0f, 0.0f, 0.0f);
    actor->HandleMessage(MSG_GET_WSPOSITION, Args_Of(&position));
    uint32_t id = FindDrawGroupAt(position, DRAWGROUP_FIRST_LEVEL);
    if (id == actor->m_DrawGroupId) return 1;
    uint32_t old = actor->m_DrawGroupId;
    if (old != DRAWGROUP_NONE) actor->HandleMessage(MSG_ON_EXIT_DRAWGROUP, Args_Of(&old));
    RemoveFromDrawGroup(actor, 0);
    actor->m_DrawGroupId = id;
    AddToDrawGroup(actor, 0);
    if (id != DRAWGROUP_NONE) {
        actor->HandleMessage(MSG_ON_ENTER_DRAWGROUP, Args_Of(&id));
    } else {
        actor->HandleMessage(MSG_ON_INVALID_DRAWGROUP, nullptr);
    }
    return 1;
}

void CQVActorSystem::VisitDrawGroup(uint32_t id, float dt) {
    CQVDrawGroupBase* group = DrawGroups_Get(id);
    if (group == nullptr) return;
    group->OnVisible(dt);
    group->m_Drawn = 1;

    if (group->m_Open) {
        // Only groups after this one: an inheriting group, which answers with
        // an earlier id, must not lead back here. Several open groups may
        // lead to the same one (a large cell around rooms that all hold the
        // camera's cell): it is visited once, or its tree would update once
        // per way in and its animations run that many times too fast.
        const uint32_t next = FindDrawGroupAt(g_DrawCameraPosition, id + 1);
        const CQVDrawGroupBase* nextGroup = next != DRAWGROUP_NONE && next > id ? DrawGroups_Get(next) : nullptr;
        if (nextGroup && !nextGroup->m_Drawn) VisitDrawGroup(next, dt);
    }

    // Handlers may add connectors: the vectors are read by index.
    for (size_t i = 0; i < group->m_Connectors.size(); ++i) {
        CQVDrawGroupConnectorBase* connector = GetConnector(group->m_Connectors[i]);
        if (connector == nullptr) continue;
        if (!connector->m_Visited) {
            CQVActor* visible = connector;
            if (connector->m_Type == CONNECTOR_TYPE_DOOR && connector->m_Parent) visible = connector->m_Parent;
            visible->OnVisible(dt);
            connector->m_Visited = 1;
        }
        if (!connector->m_Open) continue;
        for (size_t j = 0; j < connector->m_GroupIds.size(); ++j) {
            const CQVDrawGroupBase* far = DrawGroups_Get(connector->m_GroupIds[j]);
            if (far && !far->m_Drawn) VisitDrawGroup(connector->m_GroupIds[j], dt);
        }
    }
}

void CQVActorSystem::DrawVisibleGroups(float dt) {
    CQVActor* inventory = GetActorById(ACTOR_ID_INVENTORY);
    const uint32_t found = FindDrawGroupAt(g_DrawCameraPosition, DRAWGROUP_FIRST_LEVEL);
    if (found == DRAWGROUP_NONE) {
        if (inventory) inventory->Update();
        return;
    }

    for (CQVDrawGroupBase* group : g_DrawGroups) {
        if (group == nullptr) continue;
        group->m_Drawn = 0;
        for (uint32_t connectorId : group->m_Connectors) {
            if (CQVDrawGroupConnectorBase* connector = GetConnector(connectorId)) connector->m_Visited = 0;
        }
    }

    VisitDrawGroup(found, dt);

    // The updates queue the meshes. An update may take actors out of the
    // list being walked; the walk is told and steps past them.
    for (size_t slot = 0; slot < g_DrawGroups.size(); ++slot) {
        CQVDrawGroupBase* group = g_DrawGroups[slot];
        if (group == nullptr || !group->m_Drawn) continue;
        g_DrawPassWalk.list = &group->m_Actors;
        g_DrawPassWalk.next = group->m_Actors.begin();
        while (g_DrawPassWalk.list && g_DrawPassWalk.next != g_DrawPassWalk.list->end()) {
            CQVActor* actor = *g_DrawPassWalk.next;
            ++g_DrawPassWalk.next;
            actor->Update();
        }
        g_DrawPassWalk.list = nullptr;
    }

    if (inventory) inventory->Update();

    for (DrawnGroupLink* link = g_DrawnGroups.next; link != &g_DrawnGroups;) {
        DrawnGroupLink* next = link->next;
        // "On Draw Stop" unlinks the group it is sent to.
        if (link->group && !link->group->m_Drawn) link->group->HandleMessage(MSG_ON_DRAW_STOP, nullptr);
        link = next;
    }
}
