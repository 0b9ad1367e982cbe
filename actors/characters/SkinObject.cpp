#include "actors/characters/SkinObject.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVSkinObject::CQVSkinObject() { m_ClassType = CLASS_SKINOBJECT; }

void CQVSkinObject::RegisterProperties() {
    g_ClassRecords[CLASS_SKINOBJECT].Define("SkinObject", "SkinObject", {CLASS_BASE, CLASS_OBJECT, CLASS_SKINOBJECT});
}
