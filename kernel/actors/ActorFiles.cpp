#include "kernel/actors/ActorFiles.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/FileSystem.h"
#include "kernel/base/PackFileSystem.h"
#include "kernel/base/Path.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include <unistd.h>

bool (*g_ActorLoadStop)() = nullptr;
ActorLoadLimits g_ActorLoadLimits;

namespace {

// The count of the load under way, from its outermost file down through
// every import inside it.
struct LoadCount {
    uint32_t depth = 0;
    uint32_t actors = 0;
    uint32_t imports = 0;
    bool exceeded = false;
};
LoadCount g_LoadCount;

class LoadScope {
public:
    LoadScope() {
        if (g_LoadCount.depth++ == 0) g_LoadCount = LoadCount{1, 0, 0, false};
    }
    ~LoadScope() { --g_LoadCount.depth; }
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;
    bool Outermost() const { return g_LoadCount.depth == 1; }
};

// Counts one more actor or import; false (for the rest of the load too)
// once the load is past its limits.
bool TakeFromBudget(uint32_t LoadCount::*counter, uint32_t limit) {
    if (g_LoadCount.exceeded) return false;
    if (++(g_LoadCount.*counter) > limit) g_LoadCount.exceeded = true;
    return !g_LoadCount.exceeded;
}

constexpr uint32_t LOAD_VERSION_NONE = 0xFFFFFFFF;

// Old files numbered the id ranges differently: before version 22 the ids
// from 1000 up moved up by 1000, before version 38 those from 2000 up again.
uint32_t ShiftOldId(uint32_t id, uint32_t version) {
    if (version < 22 && id >= 1000) id += 1000;
    if (version < 38 && id >= 2000) id += 1000;
    return id;
}

// Parents that are the FileIO actors "Scenery" and "Clipboard" never moved.
uint32_t ShiftOldParentId(uint32_t parentId, uint32_t id, uint32_t version) {
    const auto fixed = [](uint32_t parent) { return parent == ACTOR_ID_SCENERY || parent == ACTOR_ID_CLIPBOARD; };
    if (version < 22 && id >= 1000 && !fixed(parentId)) parentId += 1000;
    if (version < 38 && id >= 2000 && !fixed(parentId)) parentId += 1000;
    return parentId;
}

// Where each record id's last record lies. The ids of a file lie close
// together, so a flat array over their range serves the lookups without a
// node per record; ids spread wider than that go through a hash map.
class RecordIndex {
public:
    template <typename Records>
    explicit RecordIndex(const Records& records) {
        if (records.empty()) return;
        uint32_t low = records[0].id;
        uint32_t high = low;
        for (const auto& record : records) {
            low = std::min(low, record.id);
            high = std::max(high, record.id);
        }
        m_Low = low;
        if (static_cast<size_t>(high - low) < 4 * records.size() + 1024) {
            m_Slots.assign(static_cast<size_t>(high - low) + 1, NONE);
            for (size_t i = 0; i < records.size(); ++i) m_Slots[records[i].id - low] = static_cast<uint32_t>(i);
        } else {
            m_Spread.reserve(records.size());
            for (size_t i = 0; i < records.size(); ++i) m_Spread[records[i].id] = static_cast<uint32_t>(i);
        }
    }
    // The record's position, or NONE for an id no record has.
    uint32_t Find(uint32_t id) const {
        if (!m_Slots.empty()) return id - m_Low < m_Slots.size() ? m_Slots[id - m_Low] : NONE;
        const auto found = m_Spread.find(id);
        return found == m_Spread.end() ? NONE : found->second;
    }
    static constexpr uint32_t NONE = 0xFFFFFFFF;

private:
    uint32_t m_Low = 0;
    std::vector<uint32_t> m_Slots;
    std::unordered_map<uint32_t, uint32_t> m_Spread;
};

// Parent ids that lead from a record back to itself would make the tree a
// ring, which every recursive message would walk without end: the answer
// is then 0. Otherwise the number of levels the deepest record stands below
// the root, counting the live actors above the file's own (parents outside
// the file are live actors, whose chains end at the root).
template <typename Records>
uint32_t DeepestLevel(const Records& records) {
    const RecordIndex index(records);
    constexpr uint32_t UNKNOWN = 0, ON_WALK = 0xFFFFFFFF;
    std::vector<uint32_t> level(records.size(), UNKNOWN);
    std::unordered_map<uint32_t, uint32_t> liveLevels;
    auto liveLevel = [&](uint32_t id) {
        auto known = liveLevels.find(id);
        if (known != liveLevels.end()) return known->second;
        uint32_t levels = 0;
        for (const CQVActor* actor = CQVActorSystem::GetActorById(id); actor && levels <= g_ActorLoadLimits.depth;
             actor = actor->m_Parent) {
            ++levels;
        }
        liveLevels[id] = levels;
        return levels;
    };
    std::vector<uint32_t> walk;
    uint32_t deepest = 0;
    for (const auto& record : records) {
        walk.clear();
        uint32_t at = index.Find(record.id);
        uint32_t above = 0;
        for (;;) {
            if (level[at] == ON_WALK) return 0;
            if (level[at] != UNKNOWN) {
                above = level[at];
                break;
            }
            level[at] = ON_WALK;
            walk.push_back(at);
            const uint32_t parentId = records[at].actor->m_ParentId;
            const uint32_t parent = index.Find(parentId);
            if (parent == RecordIndex::NONE) {
                above = liveLevel(parentId);
                break;
            }
            at = parent;
        }
        for (size_t k = walk.size(); k-- > 0;) level[walk[k]] = ++above;
        deepest = std::max(deepest, above);
    }
    return deepest;
}

// "Load Fileobject" to the live actors of an id range, in id order. Actors
// that File actors import meanwhile got it from their own import and are
// not sent it again; an actor deleted meanwhile is skipped. Only File
// actors act on it and it runs no scripts, so the others of a level are
// passed over unless a command spy watches them.
void SendLoadFileObject(uint32_t first, uint32_t span) {
    const size_t end = std::min<size_t>(static_cast<size_t>(first) + span, g_ActorTable.size());
    std::vector<std::pair<uint32_t, CQVActor*>> actors;
    for (size_t id = first; id < end; ++id) {
        CQVActor* actor = g_ActorTable[id];
        if (actor && (actor->m_ClassType == CLASS_FILE || !actor->m_CommandSpies.empty())) {
            actors.emplace_back(static_cast<uint32_t>(id), actor);
        }
    }
    for (const auto& [id, actor] : actors) {
        if (CQVActorSystem::GetActorById(id) == actor) actor->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr);
    }
}

// Writes to the disk, directly or passed on by the pack archive (which the
// game opens over the disk), go where a rename can reach them.
bool WritesToDisk(CQVFileSystem* fileSystem) {
    return fileSystem == CQVStdioFileSystem::GetInstance() || dynamic_cast<CQVPackFileSystem*>(fileSystem) != nullptr;
}

}  // namespace

ActorFileWriter::~ActorFileWriter() {
    if (!m_Open) return;
    archive.Close();
    if (m_Renames) std::remove(CQVFilePath(m_TempName).Resolve().c_str());
}

bool ActorFileWriter::Open(const char* fileName, uint32_t count, uint32_t first, uint32_t span) {
    if (fileName == nullptr || *fileName == 0) return false;
    m_FileName = fileName;
    m_Renames = WritesToDisk(archive.fileSystem);
    if (!m_Renames) {
        m_TempName = m_FileName;
        if (!archive.Open(m_TempName.c_str(), "wb")) return false;
    } else if (!Archive_OpenTemporaryBeside(&archive, m_FileName, &m_TempName)) {
        return false;
    }
    m_Open = true;
    archive.version = ACTOR_FILE_VERSION;
    uint32_t header[4] = {ACTOR_FILE_VERSION, count, first, span};
    archive.SerializeDwords(header, 4);
    return true;
}

bool ActorFileWriter::Commit() {
    if (!m_Open) return false;
    // Every byte must be on the disk before the old file goes: the last
    // buffer is written here, so the check comes after it.
    const bool written = archive.Flush();
    const bool closed = archive.Close() == 0;
    m_Open = false;
    const std::string temporary = m_Renames ? CQVFilePath(m_TempName).Resolve() : std::string();
    if (!written || !closed) {
        if (m_Renames) std::remove(temporary.c_str());
        return false;
    }
    if (!m_Renames) return true;
    return File_ReplaceOnDisk(temporary, CQVFilePath(m_FileName).Resolve());
}

// How the stored ids of a file's records become ids in the table.
struct CQVActorSystem::RecordIds {
    uint32_t version = 0;
    bool import = false;
    // Import: the file's id range and the first of the fresh ids.
    uint32_t first = 0;
    uint32_t span = 0;
    uint32_t base = 0;
    CQVActor* parent = nullptr;

    // The id the record gets, or ACTOR_ID_NONE when a record of a sound file
    // cannot carry it: system actors are never replaced, and an imported
    // record outside the file's range would land on a live actor.
    uint32_t MapId(uint32_t stored) const {
        if (import) {
            if (stored < first || stored - first >= span) return ACTOR_ID_NONE;
            return stored - first + base;
        }
        const uint32_t id = ShiftOldId(stored, version);
        return id < ACTOR_ID_SYSTEM_LIMIT || id > ACTOR_ID_MAX ? ACTOR_ID_NONE : id;
    }
    uint32_t MapParentId(uint32_t parentId, uint32_t id) const {
        if (!import) return ShiftOldParentId(parentId, id, version);
        // A parent below the file's own actors is a system actor: the records
        // under it go under the importing parent.
        return parentId >= ACTOR_ID_SYSTEM_LIMIT ? parentId - first + base : parent->m_Id;
    }
};

// 1 when every record was read; 0 for a file that ends early or holds
// counts it cannot, -1 for a record that names no class or no usable id.
// On failure the records made so far are deleted again.
int CQVActorSystem::ReadRecords(CQVActorArchive* archive, uint32_t count, uint32_t flags, const RecordIds& ids,
                                std::vector<LoadedRecord>* records) {
    int result = 1;
    records->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if ((g_ActorLoadStop && g_ActorLoadStop()) || !TakeFromBudget(&LoadCount::actors, g_ActorLoadLimits.actors)) {
            result = 0;
            break;
        }
        uint32_t stored[2] = {0, 0};
        if (archive->SerializeDwords(stored, 2) != 2) {
            result = 0;
            break;
        }
        const uint32_t type = stored[0];
        const uint32_t id = ids.MapId(stored[1]);
        CQVActor* actor = id == ACTOR_ID_NONE ? nullptr : ConstructClass(type);
        if (actor == nullptr) {
            result = -1;
            break;
        }
        actor->m_Id = id;
        records->push_back({actor, id});
        if (!actor->Serialize(archive, flags) || archive->HasFailed()) {
            result = 0;
            break;
        }
        actor->m_ParentId = ids.MapParentId(actor->m_ParentId, id);
    }
    if (result == 1 && !records->empty()) {
        const uint32_t deepest = DeepestLevel(*records);
        if (deepest == 0) result = 0;
        if (deepest > g_ActorLoadLimits.depth) {
            g_LoadCount.exceeded = true;
            result = 0;
        }
    }
    if (result != 1) {
        for (size_t i = records->size(); i-- > 0;) delete (*records)[i].actor;
        records->clear();
    }
    return result;
}

void CQVActorSystem::PlaceLoadedActor(CQVActor* actor, uint32_t id) {
    if (id >= g_ActorTable.size()) GrowTable(static_cast<size_t>(id) + 1);
    DestroyInSlot(id);
    g_ActorTable[id] = actor;
    actor->m_Id = id;
}

int CQVActorSystem::SaveActors(const char* fileName, uint32_t first, uint32_t last, uint32_t flags) {
    const uint32_t count = CountSavedActors(first, last);
    const uint32_t span = GetIdSpan(first, last);
    ActorFileWriter writer;
    if (!writer.Open(fileName, count, first, span)) return SetError("Error - Saving Actors");
    const size_t end = std::min<size_t>(last, g_ActorTable.size());
    for (size_t id = first; id < end; ++id) {
        CQVActor* actor = g_ActorTable[id];
        if (actor && (actor->m_Flags & ACTOR_SAVED)) actor->Serialize(&writer.archive, flags);
    }
    if (!writer.Commit()) return SetError("Error - Saving Actors");
    return 1;
}

int CQVActorSystem::LoadActors(const char* fileName, uint32_t flags) {
    const LoadScope scope;
    m_Activity |= ACTIVITY_OPERATIONAL;
    CQVActorArchive archive;
    if (fileName == nullptr || !archive.Open(fileName, "rb")) return SetError("Error - Loading Actors");
    uint32_t header[4] = {0, 0, 0, 0};
    archive.SerializeDwords(header, 4);
    const uint32_t version = header[0];
    uint32_t count = header[1];
    const uint32_t first = ShiftOldId(header[2], version);
    const uint32_t span = header[3];
    if (archive.HasFailed() || count > archive.GetRemaining() / ACTOR_RECORD_MIN_SIZE) {
        return SetError("Error - Loading Actors");
    }
    archive.version = version;
    SetLoadVersion(version);

    RecordIds ids;
    ids.version = version;
    std::vector<LoadedRecord> records;
    const int read = ReadRecords(&archive, count, flags, ids, &records);
    archive.Close();
    if (g_LoadCount.exceeded) return OverBudget();
    if (read != 1) return SetError(read < 0 ? "Serialize Error" : "Error - Loading Actors");

    for (const LoadedRecord& record : records) {
        CQVActor* actor = record.actor;
        PlaceLoadedActor(actor, record.id);
        actor->HandleMessage(MSG_INIT_LOAD, nullptr);
        if (actor->m_Name.empty()) actor->m_Name = "Invalid Name";
        if (m_LoadCallback) m_LoadCallback(0);
    }
    SetLoadVersion(LOAD_VERSION_NONE);

    // Each File actor of the file imports its chosen file once the level's
    // own actors exist.
    SendLoadFileObject(first, span);
    // Records name their parents by id: the tree is built once all exist.
    BroadcastMessage(MSG_BUILD_TREE, nullptr);
    BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    BroadcastMessage(MSG_CONNACTOR_DRAWGROUPS, nullptr);
    HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    if (g_LoadCount.exceeded) return OverBudget();
    return 1;
}

int CQVActorSystem::OverBudget() {
    return SetError("Error - Loading Actors: more than %u actors or %u imports in one load, or a tree deeper "
                    "than %u levels",
                    g_ActorLoadLimits.actors, g_ActorLoadLimits.imports, g_ActorLoadLimits.depth);
}

int CQVActorSystem::ImportActors(const char* fileName, CQVActor* parent) {
    // A load past its limits opens no more files.
    if (g_LoadCount.depth > 0 && g_LoadCount.exceeded) return 0;
    CQVActorArchive archive;
    if (fileName == nullptr || parent == nullptr || !archive.Open(fileName, "rb")) return 0;
    return ImportActorsFromArchive(&archive, parent);
}

int CQVActorSystem::ImportActorsFromArchive(CQVActorArchive* archive, CQVActor* parent) {
    if (archive == nullptr || parent == nullptr) return 0;
    const LoadScope scope;
    if (!TakeFromBudget(&LoadCount::imports, g_ActorLoadLimits.imports)) {
        archive->Close();
        return scope.Outermost() ? OverBudget() : 0;
    }
    uint32_t header[4] = {0, 0, 0, 0};
    archive->SerializeDwords(header, 4);
    const uint32_t count = header[1];
    RecordIds ids;
    ids.import = true;
    ids.version = header[0];
    ids.first = header[2];
    ids.span = header[3];
    ids.parent = parent;
    if (archive->HasFailed() || count > archive->GetRemaining() / ACTOR_RECORD_MIN_SIZE || count > ids.span) {
        archive->Close();
        return 0;
    }
    archive->version = ids.version;
    SetLoadVersion(ids.version);
    ids.base = FindFreeActorId(ids.span);
    if (ids.base == ACTOR_ID_ANY) {
        archive->Close();
        return 0;
    }

    std::vector<LoadedRecord> records;
    const int read = ReadRecords(archive, count, 0, ids, &records);
    archive->Close();
    if (read != 1) return scope.Outermost() && g_LoadCount.exceeded ? OverBudget() : 0;

    for (const LoadedRecord& record : records) {
        PlaceLoadedActor(record.actor, record.id);
        record.actor->HandleMessage(MSG_INIT_LOAD, nullptr);
        if (m_LoadCallback) m_LoadCallback(0);
    }
    // The imported actors join the tree at once, whoever asked for the
    // import: an importer that is unloaded next must find them below it.
    for (const LoadedRecord& record : records) {
        if (GetActorById(record.id) == record.actor) record.actor->HandleMessage(MSG_BUILD_TREE, nullptr);
    }
    SendLoadFileObject(ids.base, ids.span);
    if (scope.Outermost() && g_LoadCount.exceeded) return OverBudget();
    return 1;
}
