#include "actors/gameplay/UIButton.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUIButton::CQVUIButton() { m_ClassType = CLASS_UI_BUTTON; }

void CQVUIButton::RegisterProperties() {
    g_ClassRecords[CLASS_UI_BUTTON].Define("UI Button", "UI Button", {CLASS_BASE, CLASS_UI_BUTTON});
}
