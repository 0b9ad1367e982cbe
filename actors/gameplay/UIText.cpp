#include "actors/gameplay/UIText.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUIText::CQVUIText() { m_ClassType = CLASS_UI_TEXT; }

void CQVUIText::RegisterProperties() {
    g_ClassRecords[CLASS_UI_TEXT].Define("UI Text", "UI Text", {CLASS_BASE, CLASS_UI_TEXT});
}
