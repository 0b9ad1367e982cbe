#include "actors/gameplay/Developer3.h"

#include "actors/gameplay/Developer2.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

CQVDeveloper3::CQVDeveloper3() { m_ClassType = CLASS_DEVELOPER_3; }

int CQVDeveloper3::HandleMessage(uint32_t id, MessageArgs args) {
    if (id == MSG_PRECALCULATE) ScheduleProcess();
    return CQVActor::HandleMessage(id, args);
}

int CQVDeveloper3::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return CQVDeveloper2::SerializeTestActor(*this, archive, flags);
}

void CQVDeveloper3::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER_3].Define("Developer 3", "Temp Transform Object Trigger",
                                             {CLASS_BASE, CLASS_DEVELOPER_3});
}
