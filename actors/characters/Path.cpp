#include "actors/characters/Path.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVPath::CQVPath() { m_ClassType = CLASS_PATH; }

void CQVPath::RegisterProperties() {
    g_ClassRecords[CLASS_PATH].Define("Path", "Path", {CLASS_BASE, CLASS_PATH});
}
