#include "actors/gameplay/TimeInstance.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVTimeInstance::CQVTimeInstance() { m_ClassType = CLASS_TIME_INSTANCE; }

void CQVTimeInstance::RegisterProperties() {
    g_ClassRecords[CLASS_TIME_INSTANCE].Define("Time Instance", "", {CLASS_BASE, CLASS_TIME_INSTANCE});
}
