#pragma once
// One visibility cell of the level: an axis-aligned box that gathers the
// actors standing in it. The draw pass walks from the cell that holds the
// camera through open cells and open connectors; a cell tells its subtree
// when it starts and stops being drawn, spreads resource loading to its
// neighbours and answers route searches over its connectors.

#include "kernel/actors/DrawGroups.h"

#include <vector>

class CQVActorArchive;
class CQVDrawGroupConnector;

class CQVDrawGroup : public CQVDrawGroupBase {
public:
    CQVDrawGroup();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void OnVisible(float dt) override;
    // Appends the world positions of the connectors passed on the way from
    // this cell to the cell with the target id; 1 when one was found.
    virtual uint32_t FindRoute(uint32_t target, std::vector<Vector3>& route);
    virtual uint32_t FindRouteStep(uint32_t target, uint32_t* found, std::vector<Vector3>& route);

    // The message to the subtree, leaving out nested cells of their own, and
    // to every actor entered into the cell with its subtree.
    void SendToTree(uint32_t id);
    // "Load Resources" to the cell once, then on through the connectors that
    // are not load points.
    void LoadResources();
    // The cell on the other side of a connector that joins two cells, or null.
    CQVDrawGroup* FarSide(const CQVDrawGroupConnector* connector) const;

    static void RegisterProperties();

    uint32_t m_ShowBox = 0;
    uint32_t m_InheritId = 0;     // merged into the cell of the nearest ancestor
    float m_Size = 0.0f;          // box diagonals counted by every "Get Assign DrawgroupID"
    uint32_t m_ResourcesLoaded = 0;
    uint32_t m_RouteVisited = 0;

private:
    // The cell this one has merged into, when it inherits an id that is not its own.
    CQVDrawGroup* MergedInto() const;
    void OnDrawStart();
    void OnDrawStop();
    void CalculateBox();
    void CommandNear(MessageArgs command);
    void CopyFields(const CQVDrawGroup& source);
};

// The Draw Group actor with a draw-group id, or null.
CQVDrawGroup* DrawGroup_Get(uint32_t id);
// The message to the actor's children and their subtrees, leaving out nested
// cells that keep their own id (SendToTree on an actor that is no cell).
void DrawGroup_SendToSubtree(CQVActor* actor, uint32_t id);
// "On Load Resource Group" to every actor of the tree that listens for it
// (a script bound to it, or a spy), in tree order: what "Load Resource
// Group" tells the level when a cell first comes into view.
void DrawGroup_TellGroupLoad();
