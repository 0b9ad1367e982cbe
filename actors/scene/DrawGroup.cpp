#include "actors/scene/DrawGroup.h"

#include "actors/scene/DrawGroupConnector.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

#include <algorithm>

namespace {

constexpr uint32_t MSG_LOAD_RESOURCE_GROUP_STEP = MSG_I_342;
constexpr uint32_t LOAD_STEP_FLAGS = 0x1200;
constexpr float LOAD_STEP_DELAY = 0.001f;
constexpr float BOX_EMPTY = 1e38f;

constexpr MessageRow kDrawGroupRows[] = {
    SheetRow("Draw Group Properties", PROP_TITLE),
    BoolRow<&CQVDrawGroup::m_ShowBox>(MSG_SET_SHOW_DRAWGROUP_BOX, MSG_GET_SHOW_DRAWGROUP_BOX, "Show Draw Group Box",
                                      PROP_CHECK),
    // The box and the inheritance are the cell's own: the base actor's
    // collision box and draw-group answer never see them.
    FieldRow<&CQVDrawGroup::m_BoxMin>(MSG_SET_BOX_MIN, MSG_GET_BOX_MIN, "Min:", PROP_VECTOR).Returns(1),
    // The maximum's row carries the same label.
    FieldRow<&CQVDrawGroup::m_BoxMax>(MSG_SET_BOX_MAX, MSG_GET_BOX_MAX, "Min:", PROP_VECTOR).Returns(1),
    BoolRow<&CQVDrawGroup::m_Open>(MSG_SET_OPEN_DRAWGROUP, MSG_GET_OPEN_DRAWGROUP, "Open Draw Group", PROP_CHECK),
    BoolRow<&CQVDrawGroup::m_InheritId>(MSG_SET_INHERIT_DRAWGROUPID, MSG_GET_INHERIT_DRAWGROUPID,
                                        "Inherit DrawGroupID", PROP_CHECK)
        .Returns(1),
    SheetRow("Calculate Box:|Run|", PROP_BUTTON, MSG_CALCULATE_AABOX, 0),
};

constexpr MessageTable kDrawGroupMessages{
    kDrawGroupRows, CopiedFields<&CQVDrawGroup::m_Connectors, &CQVDrawGroup::m_Drawn, &CQVDrawGroup::m_Size,
                                 &CQVDrawGroup::m_ResourcesLoaded>()};

// Walks the children of actor: a nested cell with an id of its own is left
// out with its subtree, every other child gets the message, then its own
// children. The child list is read by index, since a handler may change it.
void WalkTree(CQVActor* actor, uint32_t id) {
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        CQVActor* child = actor->m_Children[i];
        if (child == nullptr) continue;
        if (const auto* group = dynamic_cast<const CQVDrawGroup*>(child); group && !group->m_InheritId) continue;
        child->HandleMessage(id, nullptr);
        WalkTree(child, id);
    }
}

// "On Load Resource Group" is an event: no class answers it, so it reaches
// an actor only through a script bound to it or a spy watching the actor.
bool ListensForGroupLoads(const CQVActor* actor) {
    if (!actor->m_CommandSpies.empty()) return true;
    for (const CQVScript& script : actor->m_Scripts) {
        if (script.boundMessage == MSG_ON_LOAD_RESOURCE_GROUP) return true;
    }
    return false;
}

// Tells every listener of the tree below actor, in the order a recursive
// command reaches them (the actor, then each child's subtree), without
// sending the command and the event through every actor's handler: a
// cell coming into view for the first time would otherwise cost a full
// message round through the whole level. Children are read by index, since
// a script may change the list.
void TellGroupLoad(CQVActor* actor) {
    if (ListensForGroupLoads(actor)) actor->HandleMessage(MSG_ON_LOAD_RESOURCE_GROUP, nullptr);
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        if (CQVActor* child = actor->m_Children[i]) TellGroupLoad(child);
    }
}

}  // namespace

void DrawGroup_TellGroupLoad() {
    if (g_ActorSystem) TellGroupLoad(g_ActorSystem);
}

CQVDrawGroup* DrawGroup_Get(uint32_t id) { return dynamic_cast<CQVDrawGroup*>(DrawGroups_Get(id)); }

void DrawGroup_SendToSubtree(CQVActor* actor, uint32_t id) {
    if (actor) WalkTree(actor, id);
}

CQVDrawGroup::CQVDrawGroup() {
    m_ClassType = CLASS_DRAW_GROUP;
    // A cell is never listed among the actors of a cell, its own least of
    // all: its walk would reach it again.
    m_Flags |= ACTOR_DRAWGROUP_INHERITED;
}

CQVDrawGroup* CQVDrawGroup::MergedInto() const {
    if (!m_InheritId || m_DrawGroupId == DRAWGROUP_NONE || m_DrawGroupId == m_Slot) return nullptr;
    CQVDrawGroup* target = DrawGroup_Get(m_DrawGroupId);
    return target != this ? target : nullptr;
}

CQVDrawGroup* CQVDrawGroup::FarSide(const CQVDrawGroupConnector* connector) const {
    if (connector == nullptr || connector->m_GroupIds.size() < 2) return nullptr;
    const std::vector<uint32_t>& ids = connector->m_GroupIds;
    return DrawGroup_Get(ids[0] == m_DrawGroupId ? ids[1] : ids[0]);
}

void CQVDrawGroup::SendToTree(uint32_t id) {
    WalkTree(this, id);
    // Handlers may enter or take out actors: the list is read from a copy.
    const std::vector<CQVActor*> listed(m_Actors.begin(), m_Actors.end());
    for (CQVActor* actor : listed) {
        if (actor != this) Actor_SendRecursive(actor, id, nullptr);
    }
}

void CQVDrawGroup::OnVisible(float dt) {
    if (!IsOperational()) return;
    if (!m_ResourcesLoaded) HandleMessage(MSG_LOAD_RESOURCE_GROUP, nullptr);
    if (!m_Drawing) HandleMessage(MSG_ON_DRAW_START, nullptr);
    CQVActor::Update();
}

void CQVDrawGroup::OnDrawStart() {
    SendToTree(MSG_ON_DRAW_START);
    m_Drawing = 1;
    for (size_t i = 0; i < m_Connectors.size(); ++i) {
        CQVDrawGroupConnector* connector = DrawGroupConnector_Get(m_Connectors[i]);
        if (connector == nullptr || connector->m_Drawing) continue;
        WalkTree(connector, MSG_ON_DRAW_START);
        connector->m_Drawing = 1;
    }
}

void CQVDrawGroup::OnDrawStop() {
    SendToTree(MSG_ON_DRAW_STOP);
    for (size_t i = 0; i < m_Connectors.size(); ++i) {
        CQVDrawGroupConnector* connector = DrawGroupConnector_Get(m_Connectors[i]);
        // A connector still reached this frame through another cell stays drawing.
        if (connector == nullptr || connector->m_Visited || !connector->m_Drawing) continue;
        WalkTree(connector, MSG_ON_DRAW_STOP);
        connector->m_Drawing = 0;
    }
}

void CQVDrawGroup::CalculateBox() {
    Vector3 box[2] = {Vector3(BOX_EMPTY, BOX_EMPTY, BOX_EMPTY), Vector3(-BOX_EMPTY, -BOX_EMPTY, -BOX_EMPTY)};
    for (size_t i = 0; i < m_Children.size(); ++i) {
        if (m_Children[i]) m_Children[i]->HandleMessage(MSG_CALCULATE_AABOX, Args_Of(&box));
    }
    // Children that add no bounds leave the box it had, rather than one that
    // holds no point.
    if (box[0].x > box[1].x || box[0].y > box[1].y || box[0].z > box[1].z) return;
    Box_Transform(&m_BoxMin, &m_BoxMax, box[0], box[1], GetInverseWorldMatrix());
}

void CQVDrawGroup::LoadResources() {
    // A cell loads once, and so spreads once: two neighbours stop at each other.
    if (m_ResourcesLoaded) return;
    HandleMessage(MSG_LOAD_RESOURCES, nullptr);
    SendToTree(MSG_LOAD_RESOURCES);
    m_ResourcesLoaded = 1;
    for (size_t i = 0; i < m_Connectors.size(); ++i) {
        CQVDrawGroupConnector* connector = DrawGroupConnector_Get(m_Connectors[i]);
        if (connector == nullptr || !connector->JoinsTwoCells()) continue;
        if (connector->m_Type == CONNECTOR_TYPE_DOOR && connector->m_Parent) {
            CQVActor* door = connector->m_Parent;
            door->HandleMessage(MSG_LOAD_RESOURCES, nullptr);
            WalkTree(door, MSG_LOAD_RESOURCES);
        }
        if (connector->m_LoadPoint) continue;
        if (CQVDrawGroup* far = FarSide(connector)) far->LoadResources();
    }
}

void CQVDrawGroup::CommandNear(MessageArgs command) {
    if (!command.Holds(0, sizeof(uint32_t))) return;
    const uint32_t id = Args_Get<uint32_t>(command);
    std::vector<CQVDrawGroup*> reached;
    for (size_t i = 0; i < m_Connectors.size(); ++i) {
        CQVDrawGroup* far = FarSide(DrawGroupConnector_Get(m_Connectors[i]));
        if (far == nullptr || far == this) continue;
        if (std::find(reached.begin(), reached.end(), far) != reached.end()) continue;
        reached.push_back(far);
        far->HandleMessage(id, command.At(sizeof(uint32_t)));
    }
}

uint32_t CQVDrawGroup::FindRoute(uint32_t target, std::vector<Vector3>& route) {
    for (CQVDrawGroupBase* slot : g_DrawGroups) {
        if (auto* group = dynamic_cast<CQVDrawGroup*>(slot)) group->m_RouteVisited = 0;
    }
    uint32_t found = 0;
    FindRouteStep(target, &found, route);
    return found;
}

uint32_t CQVDrawGroup::FindRouteStep(uint32_t target, uint32_t* found, std::vector<Vector3>& route) {
    m_RouteVisited = 1;
    if (*found) return 1;
    if (m_DrawGroupId == target) {
        *found = 1;
        return 1;
    }
    for (size_t i = 0; i < m_Connectors.size(); ++i) {
        CQVDrawGroupConnector* connector = DrawGroupConnector_Get(m_Connectors[i]);
        if (connector == nullptr) continue;
        for (size_t j = 0; j < connector->m_GroupIds.size(); ++j) {
            CQVDrawGroup* next = DrawGroup_Get(connector->m_GroupIds[j]);
            if (next == nullptr || next->m_RouteVisited) continue;
            const size_t length = route.size();
            route.push_back(connector->GetWorldPosition());
            next->FindRouteStep(target, found, route);
            if (*found) return 1;
            route.resize(length);
        }
    }
    return 1;
}

void CQVDrawGroup::CopyFields(const CQVDrawGroup& source) {
    kDrawGroupMessages.Copy(*this, source);
    // The copy lists no actors of its own yet and is not in g_DrawnGroups,
    // so it is not drawing either: the draw pass starts it when it reaches it.
    if (!m_Actors.empty()) DrawGroups_ForgetPlaces();
    m_Actors.clear();
    m_Drawing = 0;
}

int CQVDrawGroup::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kDrawGroupMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_CALCULATE_AABOX:
        // Sent with a box it comes from an enclosing cell's calculation,
        // which a cell does not add to.
        if (!args) CalculateBox();
        return 1;
    case MSG_GET_DRAWGROUP_AABOX: {
        Vector3 box[2];
        Box_Transform(&box[0], &box[1], m_BoxMin, m_BoxMax, GetWorldMatrix());
        Args_Set(args, 0, box[0]);
        Args_Set(args, sizeof(Vector3), box[1]);
        return 1;
    }
    case MSG_CREATE: {
        const auto* source = dynamic_cast<const CQVDrawGroup*>(Args_Pointer<CQVActor>(id, args));
        const int result = CQVActor::HandleMessage(id, args);
        if (source) CopyFields(*source);
        // A copy is a cell of its own; one that inherits takes its id at the
        // next "Get Assign DrawgroupID".
        m_DrawGroupId = m_InheritId ? DRAWGROUP_NONE : m_Slot;
        return result;
    }
    case MSG_INIT_NEW:
    case MSG_INIT_LOAD:
    case MSG_INIT_COPY: {
        // The base's start clears the draw-group id, which a cell holds from
        // its construction on (its place in g_DrawGroups).
        const int result = CQVActor::HandleMessage(id, args);
        if (!m_InheritId) m_DrawGroupId = m_Slot;
        return result;
    }
    case MSG_ON_DRAW_START:
    case MSG_ON_DRAW_STOP:
        // A cell merged into another is drawn with it: the enclosing cell's
        // walk reaches its subtree, and it never enters g_DrawnGroups itself
        // (the draw pass, which never reaches it, would stop it every frame).
        if (MergedInto()) return CQVActor::HandleMessage(id, args);
        if (id == MSG_ON_DRAW_START) {
            OnDrawStart();
        } else {
            OnDrawStop();
        }
        // Links the cell into g_DrawnGroups or out of it, then the base.
        return CQVDrawGroupBase::HandleMessage(id, args);
    case MSG_ADD_DRAWGROUP_CONNECTOR: {
        if (m_InheritId) {
            if (m_DrawGroupId == DRAWGROUP_NONE) break;
            if (CQVDrawGroup* target = MergedInto()) {
                target->HandleMessage(id, args);
                break;
            }
        }
        const uint32_t connector = Args_Get<uint32_t>(args);
        if (args.Holds(0, sizeof(uint32_t)) &&
            std::find(m_Connectors.begin(), m_Connectors.end(), connector) == m_Connectors.end()) {
            m_Connectors.push_back(connector);
        }
        break;
    }
    case MSG_GET_ASSIGN_DRAWGROUPID: {
        if (m_InheritId) m_DrawGroupId = DRAWGROUP_NONE;
        m_Flags |= ACTOR_DRAWGROUP_INHERITED;
        const int result = CQVActor::HandleMessage(id, args);
        m_Size += Vec3_Length(m_BoxMax - m_BoxMin);
        if (CQVDrawGroup* target = MergedInto()) target->m_Size += m_Size;
        return result;
    }
    case MSG_GET_DRAWGROUP_SIZE:
        if (CQVDrawGroup* target = MergedInto()) {
            target->HandleMessage(id, args);
        } else {
            Args_Answer(args, m_Size);
        }
        break;
    case MSG_LOAD_RESOURCE_GROUP:
        DrawGroup_TellGroupLoad();
        ScheduleMessage(MSG_LOAD_RESOURCE_GROUP_STEP, nullptr, LOAD_STEP_FLAGS, LOAD_STEP_DELAY, 0.0f, 0.0f);
        break;
    case MSG_LOAD_RESOURCE_GROUP_STEP:
        LoadResources();
        if (g_ActorSystem) g_ActorSystem->HandleMessage(MSG_DROP_CLOCK_DELTA, nullptr);
        break;
    case MSG_COMMAND_NEARDG:
        CommandNear(args);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVDrawGroup::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version < 1) return 1;
    uint32_t reserved = 0;
    const bool ok = archive->SerializeDwords(&m_BoxMin, 3) == 3 && archive->SerializeDwords(&m_BoxMax, 3) == 3 &&
                    archive->SerializeDword(&m_Open) == 1 && archive->SerializeDword(&m_ShowBox) == 1 &&
                    archive->SerializeDword(&m_InheritId) == 1 && archive->SerializeDword(&reserved) == 1;
    return ok ? 1 : 0;
}

void CQVDrawGroup::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_DRAW_GROUP];
    record.Define("Draw Group", "", {CLASS_BASE, CLASS_DRAW_GROUP});
    kDrawGroupMessages.AddSheet(record);
}
