#include "kernel/actors/Class.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVClass::CQVClass() { m_ClassType = CLASS_CLASS; }

void CQVClass::RegisterProperties() {
    g_ClassRecords[CLASS_CLASS].Define("Class", "Class Manager", {CLASS_CLASS});
}
