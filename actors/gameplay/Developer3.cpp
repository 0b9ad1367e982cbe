#include "actors/gameplay/Developer3.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDeveloper3::CQVDeveloper3() { m_ClassType = CLASS_DEVELOPER_3; }

void CQVDeveloper3::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER_3].Define("Developer 3", "", {CLASS_BASE, CLASS_DEVELOPER_3});
}
