#include "actors/gameplay/UIWindow.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVUIWindow::CQVUIWindow() { m_ClassType = CLASS_UI_WINDOW; }

void CQVUIWindow::RegisterProperties() {
    g_ClassRecords[CLASS_UI_WINDOW].Define("UI Window", "UI Window", {CLASS_BASE, CLASS_UI_WINDOW});
}
