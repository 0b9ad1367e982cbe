#include "actors/scene/Environment.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVEnvironment::CQVEnvironment() { m_ClassType = CLASS_ENVIRONMENT; }

void CQVEnvironment::RegisterProperties() {
    g_ClassRecords[CLASS_ENVIRONMENT].Define("Environment", "", {CLASS_BASE, CLASS_ENVIRONMENT});
}
