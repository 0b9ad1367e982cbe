#include "actors/gameplay/Developer2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDeveloper2::CQVDeveloper2() { m_ClassType = CLASS_DEVELOPER_2; }

void CQVDeveloper2::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER_2].Define("Developer 2", "", {CLASS_BASE, CLASS_DEVELOPER_2});
}
