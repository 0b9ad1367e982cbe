#include "actors/gameplay/SpawnPoint.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVSpawnPoint::CQVSpawnPoint() { m_ClassType = CLASS_SPAWN_POINT; }

void CQVSpawnPoint::RegisterProperties() {
    g_ClassRecords[CLASS_SPAWN_POINT].Define("Spawn Point", "Spawn Point", {CLASS_BASE, CLASS_SPAWN_POINT});
}
