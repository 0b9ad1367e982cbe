#include "actors/characters/AimTarget.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAimTarget::CQVAimTarget() { m_ClassType = CLASS_AIM_TARGET; }

void CQVAimTarget::RegisterProperties() {
    g_ClassRecords[CLASS_AIM_TARGET].Define("Aim Target", "Do Not Use This!!!", {CLASS_BASE, CLASS_AIM_TARGET});
}
