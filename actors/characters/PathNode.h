#pragma once
// One stop of a path: its child nodes are the possible next stops, drawn by
// their weights, and its end type says what happens where the tree ends.
// Guards walk the same trees as their route points.

#include "kernel/actors/Actor.h"

#include <cstdint>

// The block of the nearest-node query (MSG_PATHNODE_FIND_NEAREST), sent to
// the top of a node tree.
struct PathNodeQuery {
    Vector3 point;
    float bestDistance;  // the caller starts it above any distance it accepts
    uint32_t bestId;     // the nearest node's actor id
};

// End types: what a node without a successor does.
enum : uint32_t {
    PATHNODE_END_REVERSE = 0,  // walk back the way it came
    PATHNODE_END_LOOP = 1,     // head for the start point, then on again
    PATHNODE_END_JUMP_BACK = 2, // start again from the start point at once
};

class CQVPathNode : public CQVActor {
public:
    CQVPathNode();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // Loop is kept only at the end of a chain: a node with children becomes
    // Reverse, and the nodes above a looping end become Reverse.
    void SetEndType(uint32_t type);

    float m_Time = 0.0f;        // seconds a walker waits here, when its path uses node times
    uint32_t m_RandWeight = 1;  // tickets in the draw among its parent's successors; 0 never
    uint32_t m_EndType = PATHNODE_END_REVERSE;
};
