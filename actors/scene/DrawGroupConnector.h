#pragma once
// A portal between two draw groups: a sphere placed where two cells meet.
// After every load it registers itself with the two smallest cells its
// sphere touches; the draw pass passes from cell to cell only through open
// connectors, and resource loading spreads through them up to a load point.
// A Door connector belongs to its parent door, which is entered into both
// cells and stands for the connector in the draw pass.

#include "kernel/actors/DrawGroups.h"

class CQVActorArchive;

class CQVDrawGroupConnector : public CQVDrawGroupConnectorBase {
public:
    CQVDrawGroupConnector();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;

    // True when it joins two level cells (ids from 2 up).
    bool JoinsTwoCells() const;
    // A forced connector is open, and one no longer forced is closed.
    void OpenAsForced() { m_Open = m_ForceOpen; }

    static void RegisterProperties();

    float m_Radius = 25.0f;
    uint32_t m_ForceOpen = 0;  // cannot be closed
    uint32_t m_LoadPoint = 0;  // resource loading stops here
    uint32_t m_Drawing = 0;    // a cell that joins it is being drawn

private:
    void ConnectDrawGroups();
    void AddCollisionRecursive(CQVActor* actor);
    void EnterBothCells(CQVActor* actor);
};

// The Draw Group Connector actor with an actor id, or null.
CQVDrawGroupConnector* DrawGroupConnector_Get(uint32_t actorId);
