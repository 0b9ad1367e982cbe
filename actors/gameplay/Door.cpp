#include "actors/gameplay/Door.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDoor::CQVDoor() { m_ClassType = CLASS_DOOR; }

void CQVDoor::RegisterProperties() {
    g_ClassRecords[CLASS_DOOR].Define("Door", "Door", {CLASS_BASE, CLASS_DOOR});
}
