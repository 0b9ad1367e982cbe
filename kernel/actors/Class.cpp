#include "kernel/actors/Class.h"

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

CQVClass::CQVClass() { m_ClassType = CLASS_CLASS; }

int CQVClass::HandleMessage(uint32_t id, MessageArgs* args) {
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
    record.AddProperty("Class Definition", PROP_TITLE, 0, 0);
    record.AddProperty("", PROP_CLASS_16, 0, 0);
    record.AddProperty("Global Classes", PROP_TITLE, 0, 0);
    record.AddProperty("", PROP_CLASS_18, 0, 0);
}
