#include "actors/scene/AmbientSound.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVAmbientSound::CQVAmbientSound() { m_ClassType = CLASS_AMBIENT_SOUND; }

void CQVAmbientSound::RegisterProperties() {
    g_ClassRecords[CLASS_AMBIENT_SOUND].Define("Ambient Sound", "Ambient Sound", {CLASS_BASE, CLASS_AMBIENT_SOUND});
}
