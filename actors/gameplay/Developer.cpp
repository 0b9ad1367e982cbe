#include "actors/gameplay/Developer.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDeveloper::CQVDeveloper() { m_ClassType = CLASS_DEVELOPER; }

void CQVDeveloper::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER].Define("Developer", "", {CLASS_BASE, CLASS_DEVELOPER});
}
