#include "actors/scene/Object.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVObject::CQVObject() { m_ClassType = CLASS_OBJECT; }

void CQVObject::RegisterProperties() {
    g_ClassRecords[CLASS_OBJECT].Define("Object", "Object", {CLASS_BASE, CLASS_OBJECT});
}
