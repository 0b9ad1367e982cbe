#include "actors/gameplay/Inventory.h"

#include "actors/gameplay/UISupport.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

CQVInventory::CQVInventory() {
    m_ClassType = CLASS_INVENTORY;
    g_ShowSaveContinueMenu = 0;
}

int CQVInventory::HandleMessage(uint32_t id, MessageArgs args) {
    if (const int result = m_Mission.HandleMessage(*this, id, args); result != -1) return result;
    switch (id) {
    case MSG_PRECALCULATE:
        UI_ScheduleProcess(this);
        break;
    case MSG_START_GAME:
        m_Mission.StartGame(*this);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVInventory::Process() {
    if (!IsOperational()) return;
    if (m_Mission.fade.Advance(UI_RefreshClock(this))) m_Mission.ChangeMission(*this);
}

void CQVInventory::RegisterProperties() {
    g_ClassRecords[CLASS_INVENTORY].Define("Inventory", "Inventory", {CLASS_BASE, CLASS_INVENTORY});
}
