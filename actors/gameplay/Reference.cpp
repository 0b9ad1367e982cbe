#include "actors/gameplay/Reference.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVReference::CQVReference() { m_ClassType = CLASS_REFERENCE; }

void CQVReference::RegisterProperties() {
    g_ClassRecords[CLASS_REFERENCE].Define("Reference", "A Reference to another Actor", {CLASS_BASE, CLASS_REFERENCE});
}
