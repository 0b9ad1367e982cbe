#include "actors/scene/Object.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/MeshAccess.h"
#include "services/render/Lights.h"
#include "services/render/Material.h"
#include "services/render/RenderQueue.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The animation runs in seconds; every mesh reports 30 frames a second.
constexpr float kFrameRate = 30.0f;
constexpr float kFrameTime = 1.0f / 30.0f;
// Just below the end: the stored time stays below the length.
constexpr float kEndEpsilon = 1e-9f;
constexpr float kTurnEpsilon = 2e-9f;

constexpr MessageRow kObjectRows[] = {
    SheetRow("Mesh Object Properties", PROP_TITLE),
    SheetRow("Mesh:", PROP_MESH, MSG_SET_MESH, MSG_GET_MESH),
    SheetRow("Sub Mesh Material", PROP_SEPARATOR),
    SheetRow("Material:", PROP_MATERIAL, MSG_SET_MATERIAL_1C0, MSG_GET_MATERIAL),
    FieldRow<&CQVObject::ActiveEntry, &SubMeshEntry::zOffset>(MSG_SET_ZOFFSET, MSG_GET_ZOFFSET, "Z-Offset:|cm|",
                                                              PROP_REAL)
        .Then<&CQVObject::ReleaseRenderItems>(),
    FlagRow<&CQVObject::m_Activity>(MSG_SET_VISIBLE, MSG_GET_VISIBLE_1C9, ACTIVITY_ENABLED, "Visible:", PROP_CHECK),
    FlagRow<&CQVObject::m_ObjectFlags>(MSG_SET_SYNC_COLLISION, MSG_GET_SYNC_COLLISION, OBJECT_SYNC_COLLISION,
                                       "MeshSync Collision:", PROP_CHECK),
    FlagRow<&CQVObject::m_ObjectFlags>(MSG_SET_SYNC_MATERIAL, MSG_GET_SYNC_MATERIAL, OBJECT_SYNC_MATERIAL,
                                       "MeshSync Material:", PROP_CHECK),
    SheetRow("Animated Mesh Object Properties", PROP_TITLE),
    SheetRow("Animation Style", PROP_SEPARATOR),
    FieldRow<&CQVObject::m_Style>(MSG_SET_MESH_ANIMATION_STYLE_1C4, MSG_SET_MESH_ANIMATION_STYLE_1C5,
                                  "Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward Loop|3|"
                                  "Backward Loop|4|Forward<->Backward Loop|5|",
                                  PROP_CHOICE)
        .Then<&CQVObject::ResetAnimation>(),
    FieldRow<&CQVObject::m_Speed>(MSG_SET_ANIMATION_SPEED, MSG_GET_ANIMATION_SPEED, "Speed:|%|", PROP_REAL),
    SheetRow("Initial Animation State", PROP_SEPARATOR),
    FlagRow<&CQVObject::m_ObjectFlags>(MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C6,
                                       MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C7, OBJECT_INITIAL_PLAYING,
                                       "Playing:", PROP_CHECK),
    SheetRow("Play Animation|Play|", PROP_BUTTON, MSG_ANIMATION_PLAY),
    SheetRow("Stop Animation|Stop|", PROP_BUTTON, MSG_ANIMATION_STOP),
    SheetRow("Reset Animation|Reset|", PROP_BUTTON, MSG_ANIMATION_RESET),
    // The time stays below the length.
    FieldRow<&CQVObject::m_Time>(MSG_SET_CURRENT_TIME, MSG_GET_CURRENT_TIME).Then<&CQVObject::KeepTimeInside>(),
    MemberRow<&CQVObject::NormalizedTime, &CQVObject::SetNormalizedTime>(MSG_SET_CURRENT_NORMALIZED_TIME,
                                                                         MSG_GET_CURRENT_NORMALIZED_TIME)
        .Returns(1),
    FieldRow<&CQVObject::m_Length>(0, MSG_GET_TOTAL_TIME),
    MemberRow<&CQVObject::SubsetCount>(0, MSG_GET_SUBSET_COUNT),
    // An index past the entries would leave the Z-offset rows pointing at no entry: it is refused.
    FieldRow<&CQVObject::m_ActiveSubset>(MSG_SET_ACTIVE_SUBSET, MSG_GET_ACTIVE_SUBSET)
        .StoredBy<&CQVObject::SetActiveSubset>(),
};

// OnCreate copies the entries and the flags by hand.
constexpr MessageTable kObjectMessages{
    kObjectRows, CopiedFields<&CQVObject::m_MeshId, &CQVObject::m_Direction, &CQVObject::m_Alpha,
                              &CQVObject::m_WorldScale>()};

CQVMeshItem* AcquireMesh(uint32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return nullptr;
    return static_cast<CQVMeshItem*>(engine->AcquireItem(id, LIBRARY_MESH, 0, 0));
}

CQVMaterialItem* AcquireMaterial(uint32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return nullptr;
    return static_cast<CQVMaterialItem*>(engine->AcquireItem(id, LIBRARY_MATERIAL, 0, 0));
}

// A mesh without frames (none, or a record that stores no count) has no
// animation: length 0, never below.
float LengthOf(CQVMeshItem* mesh) {
    const uint32_t frames = Mesh_GetFrameCount(mesh);
    return frames > 1 ? static_cast<float>(frames - 1) * kFrameTime : 0.0f;
}

// A stored Bool word.
void SerializeFlag(CQVActorArchive* archive, uint32_t& word, uint32_t mask) {
    uint32_t value = (word & mask) ? 1 : 0;
    archive->SerializeDword(&value);
    if (archive->direction == ARCHIVE_READING) word = value ? (word | mask) : (word & ~mask);
}

}  // namespace

// ---------------------------------------------------------------------------
// SubMeshEntry

SubMeshEntry::SubMeshEntry(SubMeshEntry&& other) noexcept
    : material(std::exchange(other.material, nullptr)),
      materialId(other.materialId),
      zOffset(other.zOffset),
      renderItem(std::exchange(other.renderItem, nullptr)) {}

SubMeshEntry& SubMeshEntry::operator=(SubMeshEntry&& other) noexcept {
    if (this != &other) {
        ReleaseMaterial();
        ReleaseRenderItem();
        material = std::exchange(other.material, nullptr);
        materialId = other.materialId;
        zOffset = other.zOffset;
        renderItem = std::exchange(other.renderItem, nullptr);
    }
    return *this;
}

SubMeshEntry::~SubMeshEntry() {
    ReleaseMaterial();
    ReleaseRenderItem();
}

void SubMeshEntry::ReleaseMaterial() {
    if (material != nullptr) LibraryItem_DeleteIfUnused(material);
    material = nullptr;
}

void SubMeshEntry::ReleaseRenderItem() {
    if (renderItem != nullptr) {
        if (CQVEngine* engine = CQVEngine::GetInstance()) engine->DestroyRenderItem(renderItem);
    }
    renderItem = nullptr;
}

// ---------------------------------------------------------------------------
// CQVObject

CQVObject::CQVObject() {
    m_ClassType = CLASS_OBJECT;
    m_Activity |= ACTIVITY_ENABLED;
}

CQVObject::~CQVObject() {
    // The render items hold the world matrix by reference: they go first.
    m_Entries.clear();
    if (CQVEngine* engine = CQVEngine::GetInstance(); engine && m_Mesh) engine->ReleaseMesh(m_Mesh);
    m_Mesh = nullptr;
}

void CQVObject::ResetAnimation() {
    switch (m_Style) {
    case OBJECT_STYLE_FORWARD_ONCE:
    case OBJECT_STYLE_PING_PONG_ONCE:
    case OBJECT_STYLE_FORWARD_LOOP:
    case OBJECT_STYLE_PING_PONG_LOOP:
        m_Direction = 0;
        m_Time = 0.0f;
        break;
    case OBJECT_STYLE_BACKWARD_ONCE:
    case OBJECT_STYLE_BACKWARD_LOOP:
        m_Direction = 1;
        m_Time = m_Length - kEndEpsilon;
        break;
    default:
        break;
    }
}

void CQVObject::AdvanceAnimation(float dt) {
    if (!(m_Length > 0.0f) || !(m_ObjectFlags & OBJECT_PLAYING)) return;
    if (m_Direction == 0) {
        m_Time += dt * m_Speed;
    } else {
        m_Time -= dt * m_Speed;
    }
    if (m_Time >= m_Length) {
        switch (m_Style) {
        case OBJECT_STYLE_FORWARD_ONCE:
            m_Time = m_Length - kEndEpsilon;
            m_ObjectFlags &= ~OBJECT_PLAYING;
            HandleMessage(MSG_ON_MESH_ANIMATION_END, nullptr);
            break;
        case OBJECT_STYLE_PING_PONG_ONCE:
        case OBJECT_STYLE_PING_PONG_LOOP:
            m_Direction = 1;
            m_Time = m_Length - kTurnEpsilon;
            break;
        case OBJECT_STYLE_FORWARD_LOOP:
            m_Time -= m_Length;
            // A frame longer than two loops lands at the start.
            if (m_Time >= m_Length) m_Time = 0.0f;
            HandleMessage(MSG_ON_MESH_ANIMATION_LOOP, nullptr);
            break;
        default:
            break;
        }
    } else if (m_Time < 0.0f) {
        switch (m_Style) {
        case OBJECT_STYLE_BACKWARD_ONCE:
            m_Time = 0.0f;
            m_ObjectFlags &= ~OBJECT_PLAYING;
            HandleMessage(MSG_ON_MESH_ANIMATION_END, nullptr);
            break;
        case OBJECT_STYLE_PING_PONG_ONCE:
            m_ObjectFlags &= ~OBJECT_PLAYING;
            m_Direction = 0;
            m_Time = 0.0f;
            HandleMessage(MSG_ON_MESH_ANIMATION_END, nullptr);
            break;
        case OBJECT_STYLE_BACKWARD_LOOP:
            m_Time = m_Length - kEndEpsilon;
            HandleMessage(MSG_ON_MESH_ANIMATION_LOOP, nullptr);
            break;
        case OBJECT_STYLE_PING_PONG_LOOP:
            m_Direction = 0;
            m_Time = kEndEpsilon;
            HandleMessage(MSG_ON_MESH_ANIMATION_LOOP, nullptr);
            break;
        default:
            break;
        }
    }
}

void CQVObject::Update() {
    if ((m_Activity & (ACTIVITY_OPERATIONAL | ACTIVITY_ENABLED)) == (ACTIVITY_OPERATIONAL | ACTIVITY_ENABLED)) {
        ActorClock* clock = m_Clock;
        if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
        AdvanceAnimation(clock->dt);
        if (!(m_Flags & ACTOR_WORLD_VALID)) UpdateWorldMatrix();
        if (m_Mesh && !m_Entries.empty() && m_Entries[0].renderItem == nullptr) UpdateRenderItems();
        if (CQVEngine* engine = CQVEngine::GetInstance()) {
            const float frame = kFrameRate * m_Time;
            // An entry whose render item could not be made is not drawn.
            for (SubMeshEntry& entry : m_Entries) {
                if (entry.renderItem != nullptr) engine->QueueRenderItem(entry.renderItem, frame, m_Alpha);
            }
        }
    }
    CQVActor::Update();
}

void CQVObject::UpdateRenderItems() {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    for (uint32_t i = 0; i < m_Entries.size(); ++i) {
        SubMeshEntry& entry = m_Entries[i];
        if (entry.renderItem == nullptr)
            entry.renderItem = engine->CreateRenderItem(m_Mesh, i, entry.material, &m_World, m_Id, entry.zOffset);
    }
    if (!(m_Flags & ACTOR_WORLD_VALID)) UpdateWorldMatrix();
    if (!(m_Flags & ACTOR_WORLD_SCALE_FIXED)) {
        float largest = 0.0f;
        for (int column = 0; column < 3; ++column) {
            const float length = std::sqrt(m_World.m[0][column] * m_World.m[0][column] +
                                           m_World.m[1][column] * m_World.m[1][column] +
                                           m_World.m[2][column] * m_World.m[2][column]);
            largest = std::max(largest, length);
        }
        m_WorldScale = largest;
    }
    for (SubMeshEntry& entry : m_Entries) RenderItem_SetRadiusScale(entry.renderItem, m_WorldScale);
}

void CQVObject::ReleaseRenderItems() {
    for (SubMeshEntry& entry : m_Entries) entry.ReleaseRenderItem();
}

void CQVObject::AcquireEntryMaterial(uint32_t i, bool useMeshMaterial) {
    if (i >= m_Entries.size()) return;
    SubMeshEntry& entry = m_Entries[i];
    if (useMeshMaterial) entry.materialId = Mesh_GetShapeParam(m_Mesh, i);
    CQVMaterialItem* material = AcquireMaterial(entry.materialId);
    if (material == nullptr) {
        entry.materialId = kObjectFallbackMaterial;
        material = AcquireMaterial(kObjectFallbackMaterial);
    }
    if (material != entry.material) entry.ReleaseMaterial();
    entry.material = material;
}

void CQVObject::RemoveMeshColObjs() {
    std::erase_if(m_ColObjs, [](const ColObj& object) { return (object.flags & COLOBJ_GENERATED) != 0; });
}

void CQVObject::BuildMeshColObjs() {
    if (!(m_ObjectFlags & OBJECT_SYNC_COLLISION)) return;
    for (uint32_t i = 0; i < m_Entries.size(); ++i) {
        const uint32_t type = Mesh_GetShapeType(m_Mesh, i);
        if (type < COLOBJ_SPHERE || type > COLOBJ_MESH_LAST || type == COLOBJ_RAY_POINT) continue;
        const CQVMaterialItem* material = m_Entries[i].material;
        ColObj object;
        object.name.clear();
        object.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        object.groups = 1;
        object.groupsReceive = 1;
        object.groupsExclude = 0;
        object.reserved1 = 0;
        object.reserved2 = 0;
        object.type = type;
        object.physique = Material_GetCollisionMaterial(material);
        object.fill = 7;
        object.meshItem = m_MeshId;
        if (type == COLOBJ_SPHERE) {
            Sphere sphere{};
            Mesh_GetShapeSphere(m_Mesh, i, &sphere);
            object.boxMin = sphere.centre;
            object.boxMax = Vector3(sphere.radius, sphere.radius, sphere.radius);
            object.meshSubset = COLOBJ_NO_MESH;
        } else if (type == COLOBJ_BOX || type == COLOBJ_BOX_RECOMPUTE) {
            Box box{};
            Mesh_GetShapeBox(m_Mesh, i, &box);
            object.boxMin = box.min;
            object.boxMax = box.max;
            object.meshSubset = i;
        } else {
            object.boxMin = Vector3(0.0f, 0.0f, 0.0f);
            object.boxMax = Vector3(0.0f, 0.0f, 0.0f);
            object.meshSubset = i;
        }
        m_ColObjs.push_back(std::move(object));
        ColObj& stored = m_ColObjs.back();
        stored.hitEffectGroup = Material_GetCollisionFlags(material);
        stored.flags |= COLOBJ_GENERATED;
        stored.owner = this;
        stored.UpdateDerivedGroups(m_ClassType);
    }
}

int CQVObject::SetMesh(CQVMeshItem* mesh) {
    CQVEngine* engine = CQVEngine::GetInstance();
    ReleaseRenderItems();
    if (engine && m_Mesh) engine->ReleaseMesh(m_Mesh);
    m_Mesh = nullptr;
    m_MeshId = Library_GetItemId(mesh);
    m_Mesh = mesh ? AcquireMesh(m_MeshId) : nullptr;
    m_Length = LengthOf(m_Mesh);
    if (m_Mesh == nullptr) return 0;

    for (SubMeshEntry& entry : m_Entries) entry.ReleaseMaterial();
    m_Entries.resize(Mesh_GetShapeCount(m_Mesh));

    // The draw group's collision list points into the collision objects,
    // which are about to change: the actor leaves it and comes back after.
    const bool listed = (m_Flags & ACTOR_IN_DRAWGROUP) != 0;
    if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(this, 0);
    for (uint32_t i = 0; i < m_Entries.size(); ++i) AcquireEntryMaterial(i, true);
    RemoveMeshColObjs();
    HandleMessage(MSG_OBJECT_BUILD_MESH_COLLISION, nullptr);
    if (listed && g_ActorSystem) g_ActorSystem->AddToDrawGroup(this, 0);

    m_ActiveSubset = 0;
    ReleaseRenderItems();
    return 1;
}

SubMeshEntry* CQVObject::ActiveEntry() {
    return m_ActiveSubset < m_Entries.size() ? &m_Entries[m_ActiveSubset] : nullptr;
}

bool CQVObject::SetActiveSubset(uint32_t index) {
    if (index >= m_Entries.size()) return false;
    m_ActiveSubset = index;
    return true;
}

void CQVObject::KeepTimeInside() {
    if (m_Time >= m_Length) m_Time = m_Length - kEndEpsilon;
}

// A mesh without frames is at its start.
float CQVObject::NormalizedTime() const { return m_Length > 0.0f ? m_Time / m_Length : 0.0f; }

void CQVObject::SetNormalizedTime(float t) {
    m_Time = m_Length * t;
    KeepTimeInside();
}

int CQVObject::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kObjectMessages.Apply(*this, id, args); row.Ends()) return row.result;
    CQVEngine* engine = CQVEngine::GetInstance();
    switch (id) {
    case MSG_START:
    case MSG_ACTION_START: {
        uint32_t on = 1;
        HandleMessage(MSG_SET_VISIBLE, Args_Of(&on));
        ActorClock* clock = m_Clock;
        if (!(clock->flags & CLOCK_MANUAL) && clock->frameStamp != g_FrameNumber) UpdateClock(clock);
        // Restarted only when it was drawn in the frame before.
        if (clock->previousTime == m_LastUpdateTime) {
            HandleMessage(MSG_ANIMATION_RESET, nullptr);
            HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        }
        break;
    }
    case MSG_STOP:
    case MSG_ACTION_STOP_POST:
    case MSG_KILL_POST:
        if (IsVisible()) {
            uint32_t off = 0;
            HandleMessage(MSG_SET_VISIBLE, Args_Of(&off));
        }
        break;
    case MSG_INIT_LOAD:
        OnInitLoad();
        break;
    case MSG_SET_RESOURCE: {
        const char* name = Args_Text(args);
        CQVLibraryItem* item = (engine && name) ? engine->FindItem(name, LIBRARY_MESH) : nullptr;
        if (item == nullptr) return 0;
        CQVMeshItem* mesh = static_cast<CQVMeshItem*>(item);
        HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
        return 1;
    }
    case MSG_CALCULATE_AABOX: {
        Box box = Args_Get<Box>(args);
        if (!(m_Flags & ACTOR_WORLD_VALID)) UpdateWorldMatrix();
        for (uint32_t i = 0; i < m_Entries.size(); ++i) {
            const Box bounds = Mesh_ComputeBounds(m_Mesh, i, nullptr);
            Vector3 min, max;
            Box_Transform(&min, &max, bounds.min, bounds.max, m_World);
            box.min = Vector3(std::min(box.min.x, min.x), std::min(box.min.y, min.y), std::min(box.min.z, min.z));
            box.max = Vector3(std::max(box.max.x, max.x), std::max(box.max.y, max.y), std::max(box.max.z, max.z));
        }
        Args_Set(args, 0, box);
        break;
    }
    case MSG_PRECALCULATE:
        m_Length = LengthOf(m_Mesh);
        break;
    case MSG_START_GAME:
        if (m_ObjectFlags & OBJECT_INITIAL_PLAYING) HandleMessage(MSG_ANIMATION_PLAY, nullptr);
        break;
    case MSG_CREATE: {
        const int made = OnCreate(Args_Pointer<CQVActor>(id, args));
        if (!made) return 0;
        break;
    }
    case MSG_CALC_ACTION_TIME_CB: {
        // A stopped animation (speed 0) never ends and adds no time.
        if (m_Speed != 0.0f) {
            const float own = m_Length / m_Speed;
            if (own > Args_Get<float>(args)) Args_Set(args, 0, own);
        }
        break;
    }
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        m_Alpha = Args_Get<float>(args);
        break;
    case MSG_ACTION_STOP:
    case MSG_KILL:
        if (!m_ColObjs.empty() && (m_Flags & ACTOR_COLLISION_ENABLED)) {
            uint32_t off = 0;
            HandleMessage(MSG_SET_COLLISION_ENABLE, Args_Of(&off));
        }
        break;
    case MSG_LOAD_RESOURCES:
        if (!(m_ObjectFlags & OBJECT_LOADED)) {
            if (m_Mesh) Library_LoadItem(m_Mesh);
            for (SubMeshEntry& entry : m_Entries) {
                if (entry.material) Library_LoadItem(entry.material);
            }
            m_ObjectFlags |= OBJECT_LOADED;
        }
        // A mesh object makes its render items with its resources, not at
        // its first draw: the load prepares the draws of the items there
        // are, so the level's first frames build nothing in the driver. (The
        // classes built on it make theirs, and what goes with them, when
        // first drawn.)
        if (m_ClassType == CLASS_OBJECT && m_Mesh && !m_Entries.empty() && m_Entries[0].renderItem == nullptr)
            UpdateRenderItems();
        break;
    case MSG_UNLOAD_RESOURCES:
        if (m_ObjectFlags & OBJECT_LOADED) {
            if (m_Mesh) Library_UnloadItem(m_Mesh);
            for (SubMeshEntry& entry : m_Entries) {
                if (entry.material) Library_UnloadItem(entry.material);
            }
            m_ObjectFlags &= ~OBJECT_LOADED;
        }
        break;
    case MSG_ANIMATION_PLAY:
        m_ObjectFlags |= OBJECT_PLAYING;
        break;
    case MSG_ANIMATION_STOP:
        m_ObjectFlags &= ~OBJECT_PLAYING;
        break;
    case MSG_ANIMATION_RESET:
        ResetAnimation();
        break;
    case MSG_SET_MESH:
        if (!SetMesh(Args_Pointer<CQVMeshItem>(id, args))) return 0;
        break;
    case MSG_GET_MESH:
        if (args.Holds(0, sizeof(CQVMeshItem*))) Args_Set(args, 0, m_Mesh);
        break;
    case MSG_SET_MATERIAL_1BF: {
        const char* name = Args_Text(args);
        CQVLibraryItem* item = (engine && name) ? engine->FindItem(name, LIBRARY_MATERIAL) : nullptr;
        if (item == nullptr) break;
        ReleaseRenderItems();
        for (SubMeshEntry& entry : m_Entries) {
            if (entry.material != item) entry.ReleaseMaterial();
            entry.material = static_cast<CQVMaterialItem*>(item);
            entry.materialId = Library_GetItemId(item);
        }
        break;
    }
    case MSG_SET_MATERIAL_1C0: {
        const uint32_t index = Args_Get<uint32_t>(args, sizeof(void*));
        if (index >= m_Entries.size()) return 0;
        SubMeshEntry& entry = m_Entries[index];
        CQVLibraryItem* item = Args_Pointer<CQVLibraryItem>(id, args);
        entry.ReleaseMaterial();
        entry.ReleaseRenderItem();
        entry.materialId = Library_GetItemId(item);
        entry.material = AcquireMaterial(entry.materialId);
        if (entry.material == nullptr) return 0;
        ReleaseRenderItems();
        break;
    }
    case MSG_GET_MATERIAL: {
        const uint32_t index = Args_Get<uint32_t>(args, sizeof(void*));
        if (index < m_Entries.size() && args.Holds(0, sizeof(void*))) Args_Set(args, 0, m_Entries[index].material);
        break;
    }
    case MSG_OBJECT_BUILD_MESH_COLLISION:
        BuildMeshColObjs();
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVObject::OnInitLoad() {
    const uint32_t version = g_ActorSystem ? g_ActorSystem->GetLoadVersion() : 1;
    if (version < 14) {
        m_Speed = 30.0f;
        m_Activity |= ACTIVITY_ENABLED;
    }
    if (version < 44) {
        m_ObjectFlags |= OBJECT_SYNC_COLLISION;
        m_ColObjs.clear();
    }
    if (version < 47) m_Speed *= kFrameTime;

    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine && m_Mesh) engine->ReleaseMesh(m_Mesh);
    m_Mesh = AcquireMesh(m_MeshId);
    if (m_Mesh == nullptr) {
        m_MeshId = kObjectFallbackMesh;
        m_Mesh = AcquireMesh(kObjectFallbackMesh);
    }
    m_Length = LengthOf(m_Mesh);
    if (m_Mesh && Mesh_GetShapeCount(m_Mesh) != m_Entries.size()) {
        CQVMeshItem* mesh = m_Mesh;
        HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
    }
    if (version < 58) {
        for (uint32_t i = 0; i < m_Entries.size(); ++i) {
            if (m_Entries[i].materialId != Mesh_GetShapeParam(m_Mesh, i)) m_ObjectFlags &= ~OBJECT_SYNC_MATERIAL;
        }
    }
    const bool sync = (m_ObjectFlags & OBJECT_SYNC_MATERIAL) != 0;
    for (uint32_t i = 0; i < m_Entries.size(); ++i) AcquireEntryMaterial(i, sync);
    HandleMessage(MSG_OBJECT_BUILD_MESH_COLLISION, nullptr);
}

int CQVObject::OnCreate(CQVActor* source) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine && m_Mesh) engine->ReleaseMesh(m_Mesh);
    m_Mesh = nullptr;
    if (auto* from = dynamic_cast<CQVObject*>(source)) {
        m_Mesh = AcquireMesh(from->m_MeshId);
        m_Entries.clear();
        m_Entries.resize(from->m_Entries.size());
        for (size_t i = 0; i < m_Entries.size(); ++i) {
            // The render items stay the source's; this copy makes its own.
            m_Entries[i].material = from->m_Entries[i].material;
            m_Entries[i].materialId = from->m_Entries[i].materialId;
            m_Entries[i].zOffset = from->m_Entries[i].zOffset;
        }
        kObjectMessages.Copy(*this, *from);
        m_ObjectFlags = from->m_ObjectFlags & ~OBJECT_LOADED;
        HandleMessage(MSG_LOAD_RESOURCES, nullptr);
        return 1;
    }
    if (source != nullptr) return 1;
    m_MeshId = kObjectFallbackMesh;
    m_Mesh = AcquireMesh(kObjectFallbackMesh);
    m_Length = LengthOf(m_Mesh);
    m_Entries.clear();
    m_Entries.resize(1);
    m_Entries[0].materialId = kObjectFallbackMaterial;
    m_Entries[0].material = AcquireMaterial(kObjectFallbackMaterial);
    return m_Mesh != nullptr && m_Entries[0].material != nullptr ? 1 : 0;
}

int CQVObject::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) archive->SerializeDword(&m_MeshId);
    if (version >= 58) {
        std::string note;
        if (!reading) note = Library_GetItemName(m_Mesh) ? Library_GetItemName(m_Mesh) : "";
        archive->SerializeString(note);
    }
    if (version >= 1) {
        // The count is the number of records that follow, whatever the mesh
        // holds now; a read count is held to what the file can hold.
        uint32_t count = static_cast<uint32_t>(m_Entries.size());
        if (!archive->SerializeCount(&count, 8) || count > kObjectMaxEntries) return 0;
        if (reading) m_Entries.resize(count);
        for (SubMeshEntry& entry : m_Entries) {
            archive->SerializeDword(&entry.materialId);
            archive->SerializeDword(&entry.zOffset);
        }
    }
    if (version >= 5) {
        archive->SerializeDword(&m_Style);
        SerializeFlag(archive, m_ObjectFlags, OBJECT_INITIAL_PLAYING);
        archive->SerializeDword(&m_Speed);
        if (version < 64) SerializeFlag(archive, m_Activity, ACTIVITY_ENABLED);
        SerializeFlag(archive, m_ObjectFlags, OBJECT_SYNC_COLLISION);
        SerializeFlag(archive, m_ObjectFlags, OBJECT_PLAYING);
    }
    if (version >= 47) {
        archive->SerializeDword(&m_Time);
        archive->SerializeDword(&m_Direction);
    }
    if (version >= 58) SerializeFlag(archive, m_ObjectFlags, OBJECT_SYNC_MATERIAL);
    return archive->HasFailed() ? 0 : 1;
}

void CQVObject::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_OBJECT];
    record.Define("Object", "Object", {CLASS_BASE, CLASS_OBJECT});
    kObjectMessages.AddSheet(record);
    // The speed is shown in percent.
    for (PropertyDesc& row : record.properties) {
        if (row.setMessage == MSG_SET_ANIMATION_SPEED) row.scale = 100.0f;
    }
}
