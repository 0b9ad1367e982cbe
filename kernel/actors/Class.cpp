#include "kernel/actors/Class.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"


void CQVActor::ProcessDefault() {
    if (IsOperational()) CQVActor::Process();
}

void CQVActor::UpdateDefault() {
    if (IsOperational()) CQVActor::Update();
}

namespace {

// A sheet with nothing to edit: the class manager's two class lists.
constexpr MessageRow kClassRows[] = {
    SheetRow("Class Definition", PROP_TITLE),
    SheetRow("", PROP_CLASS_16),
    SheetRow("Global Classes", PROP_TITLE),
    SheetRow("", PROP_CLASS_18),
};

constexpr MessageTable kClassMessages{kClassRows};

}  // namespace

CQVClass::CQVClass() { m_ClassType = CLASS_CLASS; }

int CQVClass::HandleMessage(uint32_t id, MessageArgs args) {
    // A class manager is never initialised as a new or copied actor.
    if (id == MSG_CREATE) return 1;
    return CQVActor::HandleMessage(id, args);
}

int CQVClass::Serialize(CQVActorArchive* archive, uint32_t flags) {
    CQVActor::Serialize(archive, flags);
    if (archive->version >= 1) {
        // Two words the format keeps: written 0, read and dropped.
        uint32_t words[2] = {0, 0};
        archive->SerializeDwords(words, 2);
    }
    return 1;
}

void CQVClass::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_CLASS];
    record.Define("Class", "Class Manager", {CLASS_CLASS});
    kClassMessages.AddSheet(record);
}
