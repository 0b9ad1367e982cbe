#include "actors/gameplay/Reference.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

namespace {

// The editor enters the path; the Reference itself acts on no message.
constexpr MessageRow kReferenceRows[] = {
    SheetRow("Reference Properties", PROP_TITLE),
    SheetRow("Path:", PROP_STRING, MSG_SET_REFERENCE_PATH, MSG_GET_REFERENCE_PATH),
};

constexpr MessageTable kReferenceMessages{kReferenceRows};

}  // namespace

CQVReference::CQVReference() { m_ClassType = CLASS_REFERENCE; }

int CQVReference::HandleMessage(uint32_t, MessageArgs) { return 1; }

int CQVReference::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        archive->SerializeDword(&m_Word);
        archive->SerializeString(m_Path);
    }
    return archive->HasFailed() ? 0 : 1;
}

void CQVReference::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_REFERENCE];
    record.Define("Reference", "A Reference to another Actor", {CLASS_BASE, CLASS_REFERENCE});
    kReferenceMessages.AddSheet(record);
}
