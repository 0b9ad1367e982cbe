#pragma once
// The HUD, the in-game menus, options and mission start.

#include "actors/gameplay/MissionFlow.h"
#include "kernel/actors/Actor.h"

class CQVInventory : public CQVActor {
public:
    CQVInventory();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    void Process() override;
    static void RegisterProperties();

    // The mission sequence and the block a save game keeps.
    CQVMissionFlow m_Mission;
};
