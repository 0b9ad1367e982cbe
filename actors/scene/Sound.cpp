#include "actors/scene/Sound.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVSound::CQVSound() { m_ClassType = CLASS_SOUND; }

void CQVSound::RegisterProperties() {
    g_ClassRecords[CLASS_SOUND].Define("Sound", "Sound", {CLASS_BASE, CLASS_SOUND});
}
