#include "actors/gameplay/UIMapInput.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUIMapInput::CQVUIMapInput() { m_ClassType = CLASS_UI_MAP_INPUT; }

void CQVUIMapInput::RegisterProperties() {
    g_ClassRecords[CLASS_UI_MAP_INPUT].Define("UI Map Input", "UI Map Input", {CLASS_BASE, CLASS_UI_MAP_INPUT});
}
