#include "actors/gameplay/Trigger.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVTrigger::CQVTrigger() { m_ClassType = CLASS_TRIGGER; }

void CQVTrigger::RegisterProperties() {
    g_ClassRecords[CLASS_TRIGGER].Define("Trigger", "Trigger", {CLASS_BASE, CLASS_TRIGGER});
}
