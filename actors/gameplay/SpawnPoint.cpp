#include "actors/gameplay/SpawnPoint.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <numbers>

namespace {

constexpr MessageRow kSpawnPointRows[] = {
    SheetRow("Spawn Point Properties", PROP_TITLE),
    FieldRow<&CQVSpawnPoint::m_Type>(MSG_SET_SPAWNPOINT_TYPE, MSG_GET_SPAWNPOINT_TYPE,
                                     "Type:|Placeholder|0|Player Start Position|1|Spawn|2|Warp|3|", PROP_CHOICE)
        .Then<&CQVSpawnPoint::ApplyType>(),
    BoolRow<&CQVSpawnPoint::m_UseSpawnBox>(MSG_SET_USE_SPAWN_BOX, MSG_GET_USE_SPAWN_BOX, "Use Spawn Box:", PROP_CHECK),
    SheetRow("Set Box Width, Height and Depth.", PROP_SEPARATOR),
    FieldRow<&CQVSpawnPoint::m_SpawnBox>(MSG_SET_SPAWN_BOX, MSG_GET_SPAWN_BOX, "Value:", PROP_VECTOR),
    BoolRow<&CQVSpawnPoint::m_SpawnOnStartGame>(MSG_SET_SPAWN_ON_START_GAME, MSG_GET_SPAWN_ON_START_GAME,
                                                "Spawn On Start Game:", PROP_CHECK),
    FieldRow<&CQVSpawnPoint::m_MinInterval>(MSG_SET_MIN_SPAWN_TIME, MSG_GET_MIN_SPAWN_TIME,
                                            "Min Spawn Time Interval:", PROP_TIME),
    SheetRow("Max total objects to spawn.", PROP_SEPARATOR),
    FieldRow<&CQVSpawnPoint::m_MaxCount>(MSG_SET_SPAWN_MAX_COUNT, MSG_GET_SPAWN_MAX_COUNT, "Count:", PROP_UINT),
    SheetRow("Set Non Spawn Procent", PROP_SEPARATOR),
    FieldRow<&CQVSpawnPoint::m_NonSpawnPercent>(MSG_SET_NON_SPAWN_PERCENT, MSG_GET_NON_SPAWN_PERCENT, "Procent:",
                                                PROP_UINT)
        .StoredBy<&CQVSpawnPoint::SetNonSpawnPercent>(),
    SheetRow("Spawn Objects Properties", PROP_TITLE),
    SheetRow("Add Game Objects To Spawn.", PROP_SEPARATOR),
    SheetRow("Add:", PROP_ACTOR, MSG_SPAWN_ADD_ENTRY, MSG_SPAWN_GET_ENTRY),
    SheetRow("Select:", PROP_PICKER, MSG_SPAWN_SELECT_ENTRY, MSG_SPAWN_ENTRY_NAMES),
    SheetRow("Delete Selected:|Delete|", PROP_BUTTON, MSG_SPAWN_DELETE_ENTRY),
    SheetRow("Set Random Weight, Max Count.", PROP_SEPARATOR),
    FieldRow<&CQVSpawnPoint::SelectedEntry, &SpawnEntry::weight>(MSG_SET_SPAWN_ENTRY_WEIGHT,
                                                                 MSG_GET_SPAWN_ENTRY_WEIGHT, "Weight:", PROP_UINT)
        .StoredBy<&CQVSpawnPoint::SetSelectedWeight>(),
    FieldRow<&CQVSpawnPoint::SelectedEntry, &SpawnEntry::maxCount>(MSG_SET_SPAWN_ENTRY_MAX_COUNT,
                                                                   MSG_GET_SPAWN_ENTRY_MAX_COUNT, "Count:", PROP_UINT),
    FieldRow<&CQVSpawnPoint::SelectedEntry, &SpawnEntry::type>(MSG_SET_SPAWN_ENTRY_TYPE, MSG_GET_SPAWN_ENTRY_TYPE,
                                                               "Type:|Spawn|0|Only Set Position|1|", PROP_CHOICE),
    SheetRow("Use Of Extern Spawn Point Objects", PROP_TITLE),
    BoolRow<&CQVSpawnPoint::m_UseExtern>(MSG_SET_USE_EXTERN_SPAWN_OBJECT, MSG_GET_USE_EXTERN_SPAWN_OBJECT,
                                         "Use Extern Spawn Objects:", PROP_CHECK)
        .Then<&CQVSpawnPoint::ForgetExternUnlessUsed>(),
    SheetRow("Select Extern Spawn Point", PROP_SEPARATOR),
    SheetRow("Pick:", PROP_ACTOR, MSG_SET_EXTERN_SPAWN_ACTOR, MSG_GET_EXTERN_SPAWN_ACTOR),
    FieldRow<&CQVSpawnPoint::m_SpawnCounter>(MSG_SET_SPAWN_COUNTER, MSG_GET_SPAWN_COUNTER),
};

constexpr MessageTable kSpawnPointMessages{
    kSpawnPointRows, CopiedFields<&CQVSpawnPoint::m_LastSpawnTime, &CQVSpawnPoint::m_Entries,
                                  &CQVSpawnPoint::m_Selected, &CQVSpawnPoint::m_Reserved,
                                  &CQVSpawnPoint::m_ExternPath>()};

constexpr uint32_t kMaxWeight = 100;
constexpr float kCharacterLift = 40.0f; // a character stands this far above the marker
constexpr float kWarpHalfSize = 100.0f;
constexpr uint32_t COLOBJ_CHARACTER_BODY = 0x20; // the subtype bit of a character's body

// An actor reference in a block: the actor, then its name.
constexpr size_t kReferenceName = sizeof(CQVActor*);

void AnswerReference(MessageArgs args, const std::string& name) {
    Args_Set<uintptr_t>(args, 0, 0);
    Args_AnswerText(args, kReferenceName, name);
}

void SendRecursive(CQVActor* actor, uint32_t message, MessageArgs block) {
    RecursiveCommandArgs command{message, &block};
    actor->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(&command));
}

// The fewest bytes one stored entry takes at a file version.
uint32_t StoredEntryMinSize(uint32_t version) {
    uint32_t size = 12;  // legacy name length, legacy word, weight
    if (version >= 23) size += 4;
    if (version >= 24) size += 4;
    if (version >= 33) size += 4;
    if (version >= 59) size += 4;
    return size;
}

}  // namespace

CQVSpawnPoint::CQVSpawnPoint() { m_ClassType = CLASS_SPAWN_POINT; }

void CQVSpawnPoint::SetSelectedWeight(uint32_t weight) {
    if (SpawnEntry* entry = SelectedEntry()) entry->weight = std::clamp(weight, 1u, kMaxWeight);
}

void CQVSpawnPoint::SetNonSpawnPercent(uint32_t percent) { m_NonSpawnPercent = std::min(percent, 100u); }

void CQVSpawnPoint::ApplyType() {
    DrawGroupLeave leave(this);
    if (m_Type != SPAWN_POINT_WARP) {
        m_ColObjs.clear();
        return;
    }
    ColObj box;
    box.name = "Player Col";
    box.type = COLOBJ_BOX;
    box.fill = 7;
    box.physique = 0;
    box.boxMin = Vector3(-kWarpHalfSize, -kWarpHalfSize, -kWarpHalfSize);
    box.boxMax = Vector3(kWarpHalfSize, kWarpHalfSize, kWarpHalfSize);
    box.groups = 1;
    box.groupsReceive = 1;
    box.groupsExclude = 0;
    box.hitEffectGroup = 0;
    box.flags = COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_RECEIVES;
    box.owner = this;
    box.UpdateDerivedGroups(m_ClassType);
    m_ColObjs.push_back(box);
}

void CQVSpawnPoint::ForgetExternUnlessUsed() {
    if (!m_UseExtern) m_ExternPath.clear();
}

CQVActor* CQVSpawnPoint::SpawnOne() {
    RefreshClock(this);
    if (m_Clock->time < m_LastSpawnTime + m_MinInterval || m_SpawnCounter >= m_MaxCount || m_Entries.empty()) {
        return nullptr;
    }
    SpawnEntry* drawn = nullptr;
    if (m_Entries.size() == 1 && m_NonSpawnPercent == 0) {
        // One entry and no chance to give up: no draw.
        if (m_Entries[0].spawnedCount >= m_Entries[0].maxCount) return nullptr;
        drawn = &m_Entries[0];
    } else {
        // Each entry that may still spawn holds its weight in tickets.
        uint32_t tickets = 0;
        for (const SpawnEntry& entry : m_Entries) {
            if (entry.spawnedCount < entry.maxCount) tickets += entry.weight;
        }
        if (tickets == 0) return nullptr;
        uint32_t ticket = static_cast<uint32_t>(Random_Next()) % tickets;
        if (m_NonSpawnPercent > 0 && static_cast<uint32_t>(Random_Next()) % 100 < m_NonSpawnPercent) return nullptr;
        for (SpawnEntry& entry : m_Entries) {
            if (entry.spawnedCount >= entry.maxCount) continue;
            if (ticket < entry.weight) {
                drawn = &entry;
                break;
            }
            ticket -= entry.weight;
        }
    }
    // The entry counts the attempt even when its path finds nothing.
    ++drawn->spawnedCount;
    CQVActor* chosen = CQVActorSystem::FindActorByPath(drawn->name.c_str(), nullptr);
    if (chosen) ++m_SpawnCounter;
    return chosen;
}

CQVActor* CQVSpawnPoint::PlacementReference(const CQVActor* chosen) {
    if (m_Children.empty() || m_Name == chosen->m_Name) return this;
    for (CQVActor* child : m_Children) {
        if (child && child->m_Name == chosen->m_Name) return child;
    }
    const size_t r = static_cast<size_t>(Random_Next()) % (m_Children.size() + 1);
    return r < m_Children.size() && m_Children[r] ? m_Children[r] : this;
}

CQVActor* CQVSpawnPoint::PlaceSpawned() {
    RefreshClock(this);
    if (m_Clock->time < m_LastSpawnTime + m_MinInterval || m_SpawnCounter >= m_MaxCount) return nullptr;
    CQVActor* chosen = nullptr;
    if (!m_UseExtern) {
        chosen = SpawnOne();
    } else {
        CQVActor* source = CQVActorSystem::FindActorByPath(m_ExternPath.c_str(), nullptr);
        if (source == nullptr || source->m_ClassType != CLASS_SPAWN_POINT) return nullptr;
        chosen = static_cast<CQVSpawnPoint*>(source)->SpawnOne();
        if (m_NonSpawnPercent > 0 && static_cast<uint32_t>(Random_Next()) % 100 < m_NonSpawnPercent) return nullptr;
    }
    if (chosen == nullptr || g_ActorSystem == nullptr) return nullptr;

    CQVActor* reference = PlacementReference(chosen);
    Vector3 offset(0.0f, 0.0f, 0.0f);
    if (m_UseSpawnBox) {
        offset.x = Random_SignedUnit() * m_SpawnBox.x * 0.5f;
        offset.y = Random_SignedUnit() * m_SpawnBox.y * 0.5f;
        offset.z = Random_SignedUnit() * m_SpawnBox.z * 0.5f;
    }

    CQVActor* clone = nullptr;
    if (chosen->m_ClassType == CLASS_CHARACTER) {
        clone = g_ActorSystem->CloneActor(chosen, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), 1);
        if (clone == nullptr) return nullptr;
        SendRecursive(clone, MSG_LOAD_RESOURCES, nullptr);
        // A character stands above the marker and faces back along its z axis.
        const Matrix& world = reference->GetWorldMatrix();
        Vector3 position = reference->GetWorldPosition() + Vector3(0.0f, kCharacterLift, 0.0f);
        if (m_UseSpawnBox) {
            Vector3 turned;
            Vec3_TransformNormal(&turned, offset, world);
            position = position + turned;
        }
        clone->SendValue(MSG_SET_POSITION, position);
        const Vector3 axisZ(world.m[2][0], world.m[2][1], world.m[2][2]);
        clone->SendValue(MSG_SET_ROT_Y_3D0, Vec3_GetHeading(axisZ) + std::numbers::pi_v<float>);
    } else {
        clone = g_ActorSystem->CloneActor(chosen, reference, 1);
        if (clone == nullptr) return nullptr;
        SendRecursive(clone, MSG_LOAD_RESOURCES, nullptr);
        if (m_UseSpawnBox) clone->SendValue(MSG_POSITION_ADD, offset);
        clone->InvalidateTransform();
        clone->UpdateWorldMatrix();
    }

    // The scripts may delete the clone: it is looked up again after them.
    const uint32_t cloneId = clone->m_Id;
    clone->HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    RunScriptsBoundTo(MSG_ON_SPAWN_ACTOR, clone);
    if ((clone = CQVActorSystem::GetActorById(cloneId))) clone->HandleMessage(MSG_ON_SPAWNED, nullptr);
    if ((clone = CQVActorSystem::GetActorById(cloneId))) SendRecursive(clone, MSG_SPAWN_NOTIFY, Args_Of(&m_Id));
    if ((clone = CQVActorSystem::GetActorById(cloneId))) SendRecursive(clone, MSG_LOAD_RESOURCES, nullptr);

    RefreshClock(this);
    m_LastSpawnTime = m_Clock->time;
    if (m_UseExtern) ++m_SpawnCounter;
    return CQVActorSystem::GetActorById(cloneId);
}

void CQVSpawnPoint::Warp(CQVActor* character) {
    character->SendValue(MSG_SET_DELTA_POSITION, Vector3(0.0f, 0.0f, 0.0f));
    character->HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    character->SendValue(MSG_SET_POSITION, GetWorldPosition());
    character->HandleMessage(MSG_SET_MOVEMENT_34D, Args_Of("Gethit0"));
    character->HandleMessage(MSG_SET_NEXT_MOVEMENT, Args_Of("Neutral"));
    const float gamma[2] = {300.0f, 1.0f};
    character->HandleMessage(MSG_CHANGE_CPGAMMARADD, Args_Of(gamma));
    const float health[2] = {-10.0f, 0.0f};
    character->HandleMessage(MSG_CHANGE_CPHEALTH, Args_Of(health));
}

int CQVSpawnPoint::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kSpawnPointMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_SPAWN_SELECT_ENTRY: {
        const std::string name = Args_TextOr(args);
        for (size_t i = 0; i < m_Entries.size(); ++i) {
            if (m_Entries[i].name == name) {
                m_Selected = static_cast<uint32_t>(i);
                break;
            }
        }
        break;
    }
    case MSG_SPAWN_ENTRY_NAMES:
        if (auto* names = Args_Pointer<std::vector<std::string>>(id, args)) {
            names->clear();
            for (const SpawnEntry& entry : m_Entries) names->push_back(entry.name);
        }
        break;
    case MSG_SPAWN_ADD_ENTRY: {
        SpawnEntry& entry = m_Entries.emplace_back();
        entry.name = Args_TextOr(args, kReferenceName);
        m_Selected = static_cast<uint32_t>(m_Entries.size() - 1);
        break;
    }
    case MSG_SPAWN_GET_ENTRY:
        if (const SpawnEntry* entry = SelectedEntry()) AnswerReference(args, entry->name);
        break;
    case MSG_SPAWN_DELETE_ENTRY:
        if (SelectedEntry()) m_Entries.erase(m_Entries.begin() + m_Selected);
        break;
    case MSG_SET_EXTERN_SPAWN_ACTOR:
        m_ExternPath = Args_TextOr(args, kReferenceName);
        break;
    case MSG_GET_EXTERN_SPAWN_ACTOR:
        AnswerReference(args, m_ExternPath);
        break;
    case MSG_SPAWN:
    case MSG_ACTION_START:
        PlaceSpawned();
        break;
    case MSG_START_GAME:
        if (m_Type == SPAWN_POINT_SPAWN && m_SpawnOnStartGame) HandleMessage(MSG_SPAWN, nullptr);
        break;
    case MSG_PRECALCULATE:
        // The first request after the level starts spawns at once.
        RefreshClock(this);
        m_LastSpawnTime = m_Clock->time - m_MinInterval;
        break;
    case MSG_CREATE: {
        const CQVActor* source = Args_Pointer<CQVActor>(id, args);
        if (source && source->m_ClassType == CLASS_SPAWN_POINT) kSpawnPointMessages.Copy(*this, *source);
        break;
    }
    case MSG_COLLISION_EVENT: {
        const ColObj* partner = Args_Pointer<ColObj>(id, args);
        CQVActor* character = partner ? partner->owner : nullptr;
        if (m_Type == SPAWN_POINT_WARP && character && character->m_ClassType == CLASS_CHARACTER &&
            (character->m_Flags & ACTOR_MASTER) && (partner->flags & COLOBJ_CHARACTER_BODY)) {
            Warp(character);
        }
        break;
    }
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVSpawnPoint::SerializeEntries(CQVActorArchive* archive) {
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    uint32_t count = static_cast<uint32_t>(m_Entries.size());
    if (!archive->SerializeCount(&count, StoredEntryMinSize(version))) return 0;
    if (reading) {
        m_Entries.clear();
        m_Entries.resize(count);
    }
    for (SpawnEntry& entry : m_Entries) {
        archive->SerializeString(entry.legacyName);
        archive->SerializeDword(&entry.legacyWord);
        archive->SerializeDword(&entry.weight);
        if (version >= 23) archive->SerializeDword(&entry.maxCount);
        if (version >= 24) archive->SerializeDword(&entry.type);
        if (version >= 33) archive->SerializeDword(&entry.spawnedCount);
        if (version >= 59) archive->SerializeString(entry.name);
        // A weight beyond the sheet's range would outweigh every other entry.
        if (reading) entry.weight = std::min(entry.weight, kMaxWeight);
        if (archive->HasFailed()) return 0;
    }
    return 1;
}

int CQVSpawnPoint::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_Type);
        archive->SerializeDword(&m_UseSpawnBox);
        archive->SerializeDwords(&m_SpawnBox, 3);
    }
    if (version >= 8) {
        if (!SerializeEntries(archive)) return 0;
        archive->SerializeDword(&m_NonSpawnPercent);
        uint32_t reserved[2] = {0, 0};
        archive->SerializeDwords(reserved, 2);
    }
    if (version >= 19) {
        archive->SerializeDword(&m_SpawnOnStartGame);
    } else if (reading) {
        m_SpawnOnStartGame = 1;
    }
    if (version >= 20) archive->SerializeDword(&m_MinInterval);
    if (version >= 23) archive->SerializeDword(&m_Reserved);
    if (version >= 34) archive->SerializeDword(&m_UseExtern);
    if (version >= 59) archive->SerializeString(m_ExternPath);
    if (version >= 33) archive->SerializeDword(&m_MaxCount);
    if (version >= 32) archive->SerializeDword(&m_LastSpawnTime);
    if (version >= 33) archive->SerializeDword(&m_SpawnCounter);
    return archive->HasFailed() ? 0 : 1;
}

void CQVSpawnPoint::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_SPAWN_POINT];
    record.Define("Spawn Point", "Spawn Point", {CLASS_BASE, CLASS_SPAWN_POINT});
    kSpawnPointMessages.AddSheet(record);
}
