#include "kernel/fileactors/FileIO.h"

#include "kernel/base/Path.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

#include <cstring>

namespace {

// "Save File" writes the actors the file's FileIO owns with these flags.
constexpr uint32_t SAVE_FILE_FLAGS = 2;

const char* TextArgument(MessageArgs args) { return Args_Text(args); }

// The file name's pair ends at the FileIO: no event script runs for it.
constexpr MessageRow kFileIORows[] = {
    SheetRow("FileIO Properties", PROP_TITLE),
    FieldRow<&CQVFileIO::m_FileName>(MSG_SET_FILENAME, MSG_GET_FILENAME, "File Name:", PROP_STRING)
        .WholeValue()
        .Returns(1),
    SheetRow("Open Actor File:|Open|Actor File (*.qva) |*.qva|||", PROP_OPEN_FILE, MSG_OPEN_FILE, MSG_GET_FILENAME),
    SheetRow("Save Actor File As:|Save As|Actor File (*.qva) |*.qva|||", PROP_SAVE_FILE, MSG_SAVE_FILE,
             MSG_GET_FILENAME),
    SheetRow("Unload This File Group...", PROP_SEPARATOR),
    SheetRow("Unload File:|Unload|", PROP_BUTTON, MSG_UNLOAD_FILE),
};
constexpr MessageTable kFileIOMessages{kFileIORows};

}  // namespace

std::string FileActors_DataPath(const std::string& name) {
    if (!Path_StaysInside(name)) return std::string();
    const std::string base = g_ActorSystem ? g_ActorSystem->m_BaseDirectory : std::string();
    return base + "\\Data\\" + name;
}

void FileActors_DeleteChildren(CQVActor* actor) {
    // A child may refuse deletion (a system actor); the walk goes on over a copy.
    const std::vector<CQVActor*> children = actor->m_Children;
    for (size_t i = children.size(); i-- > 0;) {
        CQVActor* child = children[i];
        if (child && g_ActorSystem && CQVActorSystem::GetActorById(child->m_Id) == child) {
            g_ActorSystem->DeleteActor(child);
        }
    }
    actor->m_Children.clear();
}

CQVFileIO::CQVFileIO() { m_ClassType = CLASS_FILEIO; }

void CQVFileIO::UnloadActors() {
    CQVActorSystem::BroadcastMessage(MSG_INVALIDATE_DRAWGROUPID, nullptr);
    FileActors_DeleteChildren(this);
    DrawGroups_Reset();
}

int CQVFileIO::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kFileIOMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_OPEN_FILE: {
        const char* name = TextArgument(args);
        if (name == nullptr || g_ActorSystem == nullptr) return 0;
        m_FileName = name;
        UnloadActors();
        return g_ActorSystem->LoadActors(FileActors_DataPath(m_FileName).c_str(), 0);
    }
    case MSG_SAVE_FILE:
        if (const char* name = TextArgument(args)) m_FileName = name;
        if (m_FileName.empty() || g_ActorSystem == nullptr) return 0;
        return g_ActorSystem->SaveActors(FileActors_DataPath(m_FileName).c_str(), m_FirstId, m_LastId,
                                         SAVE_FILE_FLAGS);
    case MSG_UNLOAD_FILE:
        UnloadActors();
        m_FileName.clear();
        return 1;
    default:
        return CQVActor::HandleMessage(id, args);
    }
}

int CQVFileIO::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) archive->SerializeString(m_FileName);
    return archive->HasFailed() ? 0 : 1;
}

void CQVFileIO::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_FILEIO];
    record.Define("FileIO", "FileIO actor is responsible for saving and loading actorfiles (*.qva)",
                  {CLASS_BASE, CLASS_FILEIO});
    kFileIOMessages.AddSheet(record);
}
