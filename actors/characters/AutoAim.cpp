#include "actors/characters/AutoAim.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAutoAim::CQVAutoAim() { m_ClassType = CLASS_AUTOAIM; }

void CQVAutoAim::RegisterProperties() {
    g_ClassRecords[CLASS_AUTOAIM].Define("AutoAim", "AutoAim", {CLASS_BASE, CLASS_AUTOAIM});
}
