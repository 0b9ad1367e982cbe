#include "actors/characters/AimTarget.h"

#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/WordBlock.h"
#include "kernel/base/Archive.h"

namespace {

constexpr MessageRow kAimTargetRows[] = {
    SheetRow("Aim Target Properties", PROP_TITLE),
};

constexpr MessageTable kAimTargetMessages{kAimTargetRows};

}  // namespace

int Actor_SerializeBaseOnly(CQVActor* actor, CQVActorArchive* archive, uint32_t flags) {
    if (!actor->CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        WordBlock reserved;
        for (int i = 0; i < 4; ++i) reserved.Reserved();
        reserved.Transfer(archive);
    }
    return archive->HasFailed() ? 0 : 1;
}

CQVAimTarget::CQVAimTarget() { m_ClassType = CLASS_AIM_TARGET; }

int CQVAimTarget::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return Actor_SerializeBaseOnly(this, archive, flags);
}

void CQVAimTarget::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_AIM_TARGET];
    record.Define("Aim Target", "Do Not Use This!!!", {CLASS_BASE, CLASS_AIM_TARGET});
    kAimTargetMessages.AddSheet(record);
}
