#include "actors/gameplay/Inventory.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVInventory::CQVInventory() { m_ClassType = CLASS_INVENTORY; }

void CQVInventory::RegisterProperties() {
    g_ClassRecords[CLASS_INVENTORY].Define("Inventory", "Inventory", {CLASS_BASE, CLASS_INVENTORY});
}
