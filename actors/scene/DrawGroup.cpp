#include "actors/scene/DrawGroup.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVDrawGroup::CQVDrawGroup() { m_ClassType = CLASS_DRAW_GROUP; }

void CQVDrawGroup::RegisterProperties() {
    g_ClassRecords[CLASS_DRAW_GROUP].Define("Draw Group", "", {CLASS_BASE, CLASS_DRAW_GROUP});
}
