#include "actors/gameplay/UISystem.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUISystem::CQVUISystem() { m_ClassType = CLASS_UI_SYSTEM; }

void CQVUISystem::RegisterProperties() {
    g_ClassRecords[CLASS_UI_SYSTEM].Define("UI System", "UI System", {CLASS_BASE, CLASS_UI_SYSTEM});
}
