#include "actors/characters/Guard.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVGuard::CQVGuard() { m_ClassType = CLASS_GUARD; }

void CQVGuard::RegisterProperties() {
    g_ClassRecords[CLASS_GUARD].Define("Guard", "Guard Character Control", {CLASS_BASE, CLASS_GUARD});
}
