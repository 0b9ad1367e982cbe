#include "kernel/fileactors/File.h"

#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "kernel/base/Random.h"
#include "kernel/fileactors/FileIO.h"

#include <algorithm>
#include <cstring>
#include <map>

uint32_t g_FileActorCount = 0;
std::vector<FileCountEntry> g_FileCountTable;

namespace {

constexpr uint32_t ANY_CLASS = 0xFFFFFFFF;
constexpr uint32_t MAX_WEIGHT = 100;
constexpr uint32_t MAX_PERCENT = 100;
constexpr uint32_t LOAD_VERSION_NONE = 0xFFFFFFFF;
// A saved File actor's actors take the ids of a level's range from here.
constexpr uint32_t SAVED_FIRST_ID = 3000;
constexpr uint32_t SAVE_FLAGS = 2;
// File actors above one another: files imported into imported files.
constexpr uint32_t MAX_FILE_NESTING = 16;
constexpr uint32_t MAX_ANCESTOR_WALK = 4096;
uint32_t g_ImportDepth = 0;

// Versions that added File fields.
constexpr uint32_t VERSION_WEIGHTS = 7;
constexpr uint32_t VERSION_MAX_COUNTS = 17;
constexpr uint32_t VERSION_AUTO_LOAD = 42;

uint32_t ClampWeight(uint32_t weight) { return std::clamp<uint32_t>(weight, 1, MAX_WEIGHT); }

const char* TextArgument(MessageArgs args) { return Args_Text(args); }

uint32_t WordArgument(MessageArgs args) { return Args_Get<uint32_t>(args); }

// The weight, the maximum count and the name are those of the selected file.
constexpr MessageRow kFileRows[] = {
    SheetRow("File Properties", PROP_TITLE),
    SheetRow("Files:", PROP_PICKER, MSG_SET_FILE_STRINGLIST, MSG_GET_FILE_STRINGLIST),
    SheetRow("Add Actor File:|Add File|Actor File (*.qva) |*.qva|||", PROP_OPEN_FILE, MSG_SET_FILENAME),
    SheetRow("Remove Selected File:|Remove File|", PROP_BUTTON, MSG_DELETE_FILEOBJECT),
    SheetRow("Set Rand Weight.", PROP_SEPARATOR),
    FieldRow<&CQVFile::SelectedWeight>(MSG_SET_FILE_RAND_WEIGHT, MSG_GET_FILE_RAND_WEIGHT, "Value:", PROP_UINT)
        .Then<&CQVFile::KeepWeightInRange>(),
    SheetRow("Set Maximum Count In Scene. ( 0 = no limit )", PROP_SEPARATOR),
    FieldRow<&CQVFile::SelectedMaxCount>(MSG_SET_MAX_COUNT, MSG_GET_MAX_COUNT, "Value:", PROP_UINT),
    SheetRow("Load Selected File:|Load|", PROP_BUTTON, MSG_LOAD_FILEOBJECT),
    SheetRow("Unload File:|Unload|", PROP_BUTTON, MSG_UNLOAD_FILEOBJECT),
    SheetRow("Save Loaded File:|Save|", PROP_BUTTON, MSG_SAVE_FILEOBJECT),
    SheetRow("Save Loaded File As:|Save As|Actor File (*.qva) |*.qva|||", PROP_SAVE_FILE, MSG_SAVE_FILEOBJECT_AS,
             MSG_GET_FILENAME),
    SheetRow("Set Procent Off No File Loading", PROP_SEPARATOR),
    FieldRow<&CQVFile::m_NoFilePercent>(MSG_SET_NON_FILE_RAND_WEIGHT, MSG_GET_NON_FILE_RAND_WEIGHT, "Procent:",
                                        PROP_UINT)
        .Then<&CQVFile::KeepPercentInRange>(),
    BoolRow<&CQVFile::m_AutoLoad>(MSG_SET_AUTO_LOAD, MSG_GET_AUTO_LOAD, "Auto Load:", PROP_CHECK),
    BoolRow<&CQVFile::m_AlwaysReload>(MSG_SET_ALWAYS_LOAD, MSG_GET_ALWAYS_LOAD, "Always Reload: (Never Save)",
                                      PROP_CHECK),
    // A set adds a file to the list.
    FieldRow<&CQVFile::SelectedFile>(MSG_SET_FILENAME, MSG_GET_FILENAME).WholeValue().StoredBy<&CQVFile::AddFile>(),
};
constexpr MessageTable kFileMessages{
    kFileRows, CopiedFields<&CQVFile::m_Files, &CQVFile::m_Weights, &CQVFile::m_MaxCounts, &CQVFile::m_Unnamed,
                            &CQVFile::m_Selected, &CQVFile::m_Loaded, &CQVFile::m_Words>()};

FileCountEntry* FindCount(const std::string& name) {
    for (FileCountEntry& entry : g_FileCountTable) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

void FileCountTable_Clear() { g_FileCountTable.clear(); }

void FileActors_Reset() {
    FileCountTable_Clear();
    g_ImportDepth = 0;
}

CQVFile::CQVFile() {
    m_ClassType = CLASS_FILE;
    ++g_FileActorCount;
}

CQVFile::~CQVFile() { --g_FileActorCount; }

std::string* CQVFile::SelectedFile() { return HasSelection() ? &m_Files[static_cast<size_t>(m_Selected)] : nullptr; }

uint32_t* CQVFile::SelectedWeight() {
    return HasSelection() ? &m_Weights[static_cast<size_t>(m_Selected)] : nullptr;
}

uint32_t* CQVFile::SelectedMaxCount() {
    return HasSelection() ? &m_MaxCounts[static_cast<size_t>(m_Selected)] : nullptr;
}

void CQVFile::KeepWeightInRange() {
    if (uint32_t* weight = SelectedWeight()) *weight = ClampWeight(*weight);
}

void CQVFile::KeepPercentInRange() { m_NoFilePercent = std::min(m_NoFilePercent, MAX_PERCENT); }

void CQVFile::AddFile(const char* name) {
    m_Files.push_back(name);
    m_Weights.push_back(1);
    m_MaxCounts.push_back(0);
}

int CQVFile::ChooseFile() {
    if (m_Files.empty()) {
        m_Selected = -1;
        return 0;
    }
    if (m_Files.size() == 1 && m_NoFilePercent == 0) {
        m_Selected = 0;
        return 1;
    }
    std::vector<uint32_t> tickets;
    for (size_t i = 0; i < m_Files.size(); ++i) tickets.insert(tickets.end(), std::min(m_Weights[i], MAX_WEIGHT), i);
    // Weights of 0 leave no ticket: nothing is drawn.
    m_Selected = -1;
    bool checked = false;
    if (!tickets.empty()) {
        size_t ticket = static_cast<size_t>(Random_Next()) % tickets.size();
        m_Selected = static_cast<int32_t>(tickets[ticket]);
        if (m_MaxCounts[tickets[ticket]] != 0) {
            for (;;) {
                const FileCountEntry* entry = FindCount(m_Files[static_cast<size_t>(m_Selected)]);
                if (entry == nullptr || entry->count < entry->maximum) {
                    checked = true;
                    break;
                }
                tickets.erase(tickets.begin() + static_cast<std::ptrdiff_t>(ticket));
                m_Selected = -1;
                if (tickets.empty()) break;
                ticket = static_cast<size_t>(Random_Next()) % tickets.size();
                m_Selected = static_cast<int32_t>(tickets[ticket]);
            }
        }
    }
    if (m_NoFilePercent != 0 && static_cast<uint32_t>(Random_Next() % 100) < m_NoFilePercent) m_Selected = -1;
    if (m_Selected < 0) return 0;
    const size_t selected = static_cast<size_t>(m_Selected);
    if (checked && m_MaxCounts[selected] != 0) {
        if (FileCountEntry* entry = FindCount(m_Files[selected])) {
            ++entry->count;
        } else {
            g_FileCountTable.push_back({m_Files[selected], m_MaxCounts[selected], 1});
        }
    }
    return 1;
}

bool CQVFile::IncludesItself() const {
    // Imported actors know their parents by id until the tree is built.
    const std::string& name = m_Files[static_cast<size_t>(m_Selected)];
    uint32_t nesting = 0;
    const CQVActor* walk = this;
    for (uint32_t steps = 0; walk && steps < MAX_ANCESTOR_WALK; ++steps) {
        walk = walk->m_Parent ? walk->m_Parent : CQVActorSystem::GetActorById(walk->m_ParentId);
        if (walk == nullptr || walk->m_ClassType != CLASS_FILE) continue;
        const auto* file = static_cast<const CQVFile*>(walk);
        if (++nesting >= MAX_FILE_NESTING) return true;
        if (file->HasSelection() && file->m_Files[static_cast<size_t>(file->m_Selected)] == name) return true;
    }
    return false;
}

int CQVFile::LoadSelected() {
    if (!HasSelection() || g_ActorSystem == nullptr) return 0;
    if (IncludesItself() || g_ImportDepth >= MAX_FILE_NESTING) return 0;
    const std::string path = FileActors_DataPath(m_Files[static_cast<size_t>(m_Selected)]);
    // Imports inside an import: the actors of a damaged file may not know
    // their parents, so the nesting is counted here as well.
    ++g_ImportDepth;
    const int imported = g_ActorSystem->ImportActors(path.c_str(), this);
    --g_ImportDepth;
    if (!imported) return 0;
    m_Loaded = 1;
    g_ActorSystem->SetLoadVersion(LOAD_VERSION_NONE);
    return 1;
}

int CQVFile::SaveLoaded(const std::string& name) {
    if (!m_Loaded || !HasSelection()) return 0;
    // The loaded actors, leaving out nested File actors with everything
    // below them: their actors come from their own files.
    std::vector<CQVActor*> actors;
    for (CQVActor* child : m_Children) {
        if (child && child->m_ClassType != CLASS_FILE) actors.push_back(child);
    }
    const size_t direct = actors.size();
    for (size_t i = 0; i < direct; ++i) {
        CollectDescendantsArgs collect{ANY_CLASS, CLASS_FILE, &actors};
        actors[i]->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&collect));
    }
    std::map<uint32_t, uint32_t> newIds;
    for (size_t i = 0; i < actors.size(); ++i) newIds[actors[i]->m_Id] = SAVED_FIRST_ID + static_cast<uint32_t>(i);

    const uint32_t count = static_cast<uint32_t>(actors.size());
    ActorFileWriter writer;
    if (!writer.Open(FileActors_DataPath(name).c_str(), count, SAVED_FIRST_ID, count)) return 0;
    for (size_t i = 0; i < actors.size(); ++i) {
        CQVActor* actor = actors[i];
        if (actor->m_Parent) actor->m_ParentId = actor->m_Parent->m_Id;
        const uint32_t id = actor->m_Id;
        CQVActor* parent = actor->m_Parent;
        const uint32_t parentId = actor->m_ParentId;
        actor->m_Id = SAVED_FIRST_ID + static_cast<uint32_t>(i);
        // Top-level actors name "Scenery" as parent, so that an importer
        // puts them under its own parent.
        auto mapped = newIds.find(parentId);
        actor->m_ParentId = parent == this ? ACTOR_ID_SCENERY : (mapped != newIds.end() ? mapped->second : 0);
        actor->m_Parent = nullptr;
        actor->Serialize(&writer.archive, SAVE_FLAGS);
        actor->m_Id = id;
        actor->m_ParentId = parentId;
        actor->m_Parent = parent;
    }
    return writer.Commit() ? 1 : 0;
}

void CQVFile::Unload() {
    FileActors_DeleteChildren(this);
    m_Loaded = 0;
}

int CQVFile::LoadFileObject() {
    if (m_AlwaysReload) m_Loaded = 0;
    if (m_Loaded) return 1;
    m_Loaded = 1;
    if (!HasSelection()) return 1;
    Unload();
    return LoadSelected();
}

int CQVFile::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kFileMessages.Apply(*this, id, args); row.Ends()) return row.result;
    const bool selected = HasSelection();
    const size_t index = selected ? static_cast<size_t>(m_Selected) : 0;
    switch (id) {
    case MSG_SET_RESOURCE: {
        const char* name = TextArgument(args);
        if (name == nullptr) return 0;
        CQVActorArchive probe;
        if (!probe.Open(FileActors_DataPath(std::string(name) + ".qva").c_str(), "rb")) return 0;
        probe.Close();
        m_Files.clear();
        m_Weights.clear();
        m_MaxCounts.clear();
        const std::string file = std::string(name) + ".qva";
        HandleMessage(MSG_SET_FILENAME, Args_Of(file.c_str()));
        return 1;
    }
    case MSG_CREATE: {
        CQVActor* source = Args_Pointer<CQVActor>(id, args);
        const int result = CQVActor::HandleMessage(id, args);
        if (source && source->m_ClassType == CLASS_FILE) kFileMessages.Copy(*this, *source);
        return result;
    }
    case MSG_SET_SAVED_RECURSIVE:
        if (!m_AlwaysReload) break;
        // The actors an always-reloaded file brings are never saved.
        m_Flags = WordArgument(args) ? (m_Flags | ACTOR_SAVED) : (m_Flags & ~ACTOR_SAVED);
        for (size_t i = 0; i < m_Children.size(); ++i) {
            uint32_t off = 0;
            if (m_Children[i]) m_Children[i]->HandleMessage(MSG_SET_SAVED_RECURSIVE, Args_Of(&off));
        }
        return 1;
    case MSG_NO_SPAWNED:
        return 0;
    case MSG_SET_FILE_STRINGLIST:
        if (const char* name = TextArgument(args)) {
            for (size_t i = m_Files.size(); i-- > 0;) {
                if (m_Files[i] == name) {
                    m_Selected = static_cast<int32_t>(i);
                    break;
                }
            }
        }
        break;
    case MSG_GET_FILE_STRINGLIST:
        if (auto* names = Args_Pointer<std::vector<std::string>>(id, args)) *names = m_Files;
        break;
    case MSG_LOAD_FILEOBJECT_IN_GAME:
        if (selected) {
            Unload();
            if (!LoadSelected()) return 0;
            CQVActorSystem::BroadcastMessage(MSG_BUILD_TREE, nullptr);
            HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);
        }
        break;
    case MSG_LOAD_FILEOBJECT:
        if (!LoadFileObject()) return 0;
        break;
    case MSG_SAVE_FILEOBJECT:
        if (selected) SaveLoaded(m_Files[index]);
        break;
    case MSG_SAVE_FILEOBJECT_AS:
        if (const char* name = TextArgument(args)) SaveLoaded(name);
        break;
    case MSG_UNLOAD_FILEOBJECT:
        Unload();
        break;
    case MSG_DELETE_FILEOBJECT:
        if (selected) {
            m_Files.erase(m_Files.begin() + static_cast<std::ptrdiff_t>(index));
            m_Weights.erase(m_Weights.begin() + static_cast<std::ptrdiff_t>(index));
            m_MaxCounts.erase(m_MaxCounts.begin() + static_cast<std::ptrdiff_t>(index));
        }
        break;
    case MSG_RELOAD_FILEOBJECT:
        if (const char* name = TextArgument(args); name && m_Loaded && selected && m_Files[index] == name) {
            Unload();
            LoadFileObject();
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVFile::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        archive->SerializeDword(&m_Unnamed);
        uint32_t count = static_cast<uint32_t>(m_Files.size());
        // A stored file takes at least its name's length word.
        if (!archive->SerializeCount(&count, 4)) return 0;
        if (reading) {
            m_Files.assign(count, std::string());
            m_Weights.assign(count, 1);
            m_MaxCounts.assign(count, 0);
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (version >= VERSION_WEIGHTS) archive->SerializeDword(&m_Weights[i]);
            if (version >= VERSION_MAX_COUNTS) archive->SerializeDword(&m_MaxCounts[i]);
            archive->SerializeString(m_Files[i]);
            if (reading) m_Weights[i] = ClampWeight(m_Weights[i]);
            if (archive->HasFailed()) return 0;
        }
    }
    if (version >= VERSION_WEIGHTS) {
        archive->SerializeDword(&m_NoFilePercent);
        // The imported actors are never part of the file that holds the File
        // actor (they live at run-time ids), so a stored File actor has not
        // loaded anything: the word is written 0, and a 1 in an older file
        // is not taken, or the level would come back without the import.
        uint32_t loaded = 0;
        archive->SerializeDword(&loaded);
        archive->SerializeDword(&m_AlwaysReload);
        if (reading) {
            m_NoFilePercent = std::min(m_NoFilePercent, MAX_PERCENT);
            m_Loaded = 0;
        }
    }
    if (version >= VERSION_AUTO_LOAD) archive->SerializeDword(&m_AutoLoad);
    if (archive->HasFailed()) return 0;
    if (reading) ChooseFile();
    return 1;
}

void CQVFile::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_FILE];
    record.Define("File",
                  "File Actor is a placeholder in the hirarchy where to insert object from a actorfile (*.qva), it "
                  "can hold multiple file names, and randomly select different files on construction.",
                  {CLASS_BASE, CLASS_FILE});
    kFileMessages.AddSheet(record);
}
