#include "actors/scene/Lod.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVLod::CQVLod() { m_ClassType = CLASS_LOD; }

void CQVLod::RegisterProperties() {
    g_ClassRecords[CLASS_LOD].Define("Lod", "", {CLASS_BASE, CLASS_LOD});
}
