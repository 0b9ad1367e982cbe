#include "actors/gameplay/State.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVState::CQVState() { m_ClassType = CLASS_STATE; }

void CQVState::RegisterProperties() {
    g_ClassRecords[CLASS_STATE].Define("State", "", {CLASS_BASE, CLASS_STATE});
}
