#include "actors/scene/DrawGroupConnector.h"

#include "actors/scene/DrawGroup.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

namespace {

constexpr float SIZE_NONE = -1e38f;

constexpr MessageRow kConnectorRows[] = {
    SheetRow("Draw Group Connector Properties", PROP_TITLE),
    FieldRow<&CQVDrawGroupConnector::m_Radius>(MSG_SET_RADIUS, MSG_GET_RADIUS, "Radius:", PROP_REAL),
    FieldRow<&CQVDrawGroupConnector::m_Type>(MSG_SET_CONNACTOR_TYPE, MSG_GET_CONNACTOR_TYPE, "Type:|Free|0|Door|1|",
                                             PROP_CHOICE),
    // The pair's names are the wrong way round: the "Get" id sets the flag.
    BoolRow<&CQVDrawGroupConnector::m_ForceOpen>(MSG_GET_FORCE_OPEN_CONNACTOR, MSG_SET_FORCE_OPEN_CONNACTOR,
                                                 "Force Open Connector", PROP_CHECK)
        .Then<&CQVDrawGroupConnector::OpenAsForced>(),
    BoolRow<&CQVDrawGroupConnector::m_LoadPoint>(MSG_SET_LOAD_RESOURCES_POINT, MSG_GET_LOAD_RESOURCES_POINT,
                                                 "Load Recources Point", PROP_CHECK),
};

constexpr MessageTable kConnectorMessages{
    kConnectorRows, CopiedFields<&CQVDrawGroupConnector::m_GroupIds, &CQVDrawGroupConnector::m_Visited,
                                 &CQVDrawGroupConnector::m_Open, &CQVDrawGroupConnector::m_Drawing>()};

float SizeOf(CQVActor* group) {
    float size = 0.0f;
    if (group) group->HandleMessage(MSG_GET_DRAWGROUP_SIZE, Args_Of(&size));
    return size;
}

}  // namespace

CQVDrawGroupConnector* DrawGroupConnector_Get(uint32_t actorId) {
    return dynamic_cast<CQVDrawGroupConnector*>(CQVActorSystem::GetActorById(actorId));
}

CQVDrawGroupConnector::CQVDrawGroupConnector() {
    m_ClassType = CLASS_DRAW_GROUP_CONNECTOR;
    m_Position = Vector3(0.0f, 30.0f, 0.0f);
}

bool CQVDrawGroupConnector::JoinsTwoCells() const {
    return m_GroupIds.size() >= 2 && m_GroupIds[0] >= DRAWGROUP_FIRST_LEVEL && m_GroupIds[1] >= DRAWGROUP_FIRST_LEVEL;
}

void CQVDrawGroupConnector::ConnectDrawGroups() {
    m_GroupIds.clear();
    Vector3 centre(0.0f, 0.0f, 0.0f);
    HandleMessage(MSG_GET_WSPOSITION, Args_Of(&centre));
    for (size_t slot = DRAWGROUP_FIRST_LEVEL; slot < g_DrawGroups.size(); ++slot) {
        CQVDrawGroupBase* group = g_DrawGroups[slot];
        if (group == nullptr) continue;
        Vector3 box[2] = {Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f)};
        group->HandleMessage(MSG_GET_DRAWGROUP_AABOX, Args_Of(&box));
        const float size = SizeOf(group);
        if (!Box_IntersectSphere(box[0], box[1], centre, m_Radius, nullptr, nullptr)) continue;
        // An inheriting cell answers for the cell it belongs to; one that
        // belongs to none is no cell to join.
        const uint32_t id = group->m_DrawGroupId;
        if (id == DRAWGROUP_NONE) continue;
        if (m_GroupIds.size() < 2) {
            m_GroupIds.push_back(id);
            continue;
        }
        // The smaller cells win: the new one replaces the larger of the two.
        size_t largest = 0;
        float largestSize = SIZE_NONE;
        for (size_t i = 0; i < 2; ++i) {
            const float stored = SizeOf(DrawGroups_Get(m_GroupIds[i]));
            if (stored > largestSize) {
                largestSize = stored;
                largest = i;
            }
        }
        if (size < largestSize) m_GroupIds[largest] = id;
    }
    if (m_GroupIds.size() < 2) {
        // Touching fewer than two cells it joins none: the built-in group.
        m_GroupIds.assign(2, 0);
        return;
    }
    uint32_t self = m_Id;
    for (size_t i = 0; i < 2; ++i) {
        if (CQVDrawGroupBase* group = DrawGroups_Get(m_GroupIds[i])) {
            group->HandleMessage(MSG_ADD_DRAWGROUP_CONNECTOR, Args_Of(&self));
        }
    }
}

void CQVDrawGroupConnector::EnterBothCells(CQVActor* actor) {
    for (size_t i = 0; i < 2; ++i) {
        actor->m_DrawGroupId = m_GroupIds[i];
        if (g_ActorSystem) g_ActorSystem->AddToDrawGroup(actor, 1);
    }
}

void CQVDrawGroupConnector::AddCollisionRecursive(CQVActor* actor) {
    if (actor == nullptr || !JoinsTwoCells()) return;
    for (size_t i = 0; i < actor->m_Children.size(); ++i) {
        CQVActor* child = actor->m_Children[i];
        if (child == nullptr) continue;
        EnterBothCells(child);
        HandleMessage(MSG_ADD_COLLISION_RECURSIVE, Args_Of(&child));
    }
}

int CQVDrawGroupConnector::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kConnectorMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_PRECALCULATE:
        // The door stands in both cells, with its collision.
        if (m_Type == CONNECTOR_TYPE_DOOR && m_Parent && JoinsTwoCells()) {
            CQVActor* door = m_Parent;
            EnterBothCells(door);
            HandleMessage(MSG_ADD_COLLISION_RECURSIVE, Args_Of(&door));
        }
        return 1;
    case MSG_CREATE: {
        const auto* source = dynamic_cast<const CQVDrawGroupConnector*>(Args_Pointer<CQVActor>(id, args));
        const int result = CQVActor::HandleMessage(id, args);
        if (source) kConnectorMessages.Copy(*this, *source);
        return result;
    }
    case MSG_INIT_LOAD:
        // A forced connector is open whatever the file says.
        if (m_ForceOpen) m_Open = 1;
        break;
    case MSG_CONNACTOR_DRAWGROUPS:
        ConnectDrawGroups();
        break;
    case MSG_OPEN_CONNACTOR:
        m_Open = 1;
        break;
    case MSG_CLOSE_CONNACTOR:
        if (!m_ForceOpen) m_Open = 0;
        break;
    case MSG_ADD_COLLISION_RECURSIVE:
        AddCollisionRecursive(Args_Pointer<CQVActor>(id, args));
        return 1;
    case MSG_GET_DRAWGROUP_AABOX: {
        // The ray test asks a connector for its bounds as it asks a cell: the
        // box around the portal sphere.
        const Vector3 centre = GetWorldPosition();
        const Vector3 extent(m_Radius, m_Radius, m_Radius);
        Args_Set(args, 0, centre - extent);
        Args_Set(args, sizeof(Vector3), centre - extent * -1.0f);
        return 1;
    }
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVDrawGroupConnector::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version < 1) return 1;
    const bool ok = archive->SerializeDword(&m_Radius) == 1 && archive->SerializeDword(&m_Type) == 1 &&
                    archive->SerializeDword(&m_Open) == 1 && archive->SerializeDword(&m_ForceOpen) == 1 &&
                    archive->SerializeDword(&m_LoadPoint) == 1;
    return ok ? 1 : 0;
}

void CQVDrawGroupConnector::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_DRAW_GROUP_CONNECTOR];
    record.Define("Draw Group Connector", "Connects Draw Groups", {CLASS_BASE, CLASS_DRAW_GROUP_CONNECTOR});
    kConnectorMessages.AddSheet(record);
}
