#include "actors/scene/Light.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVLight::CQVLight() { m_ClassType = CLASS_LIGHT; }

void CQVLight::RegisterProperties() {
    g_ClassRecords[CLASS_LIGHT].Define("Light", "Directional, point or spotlight", {CLASS_BASE, CLASS_LIGHT});
}
