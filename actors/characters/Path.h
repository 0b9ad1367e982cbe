#pragma once
// Moves one object along a tree of Path Nodes: the Path's child nodes are
// the first stops, each node's child nodes the next ones, drawn at random by
// their weights, and a node's end type says what happens where the tree
// ends. The moved object is the Path's first child that is not a node; the
// Path itself stands for the start point. Nodes and object are held by
// links, so a tree edited or deleted under the walk leaves no dangling
// pointer: a stop that is gone counts as missing.

#include "kernel/actors/Actor.h"

#include <cstdint>

class CQVPath : public CQVActor {
public:
    CQVPath();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    // Moves the object, in the frames in which the draw pass updates the Path.
    void Update() override;
    // Draws the next stop from the current one and measures the segment.
    virtual void ChooseNextNode();
    static void RegisterProperties();

    // Members the message table calls.
    void SetSpeed(float speed);
    // Replaces the children by the "Create:" choice: the preset circuit, or nothing.
    void BuildPredefined();

    CQVActor* MovingObject() const { return m_MovingObject.target; }
    CQVActor* CurrentNode() const { return m_CurrentNode.target; }
    CQVActor* NextNode() const { return m_NextNode.target; }

    ActorLink m_MovingObject;
    ActorLink m_CurrentNode;  // the node the object last reached; this Path for the start point
    ActorLink m_NextNode;     // none while the walk has no route
    Vector3 m_From{0.0f, 0.0f, 0.0f};  // world positions of the segment's ends
    Vector3 m_To{0.0f, 0.0f, 0.0f};
    float m_SegmentDuration = 0.0f;  // seconds: length / speed
    float m_Speed = 100.0f;          // units per second
    float m_StopTime = 0.0f;         // the wait at the start point
    uint32_t m_UseNodeTime = 0;      // wait at each stop for its time
    float m_WaitLeft = 0.0f;
    uint32_t m_Forward = 1;          // 1 walking away from the start point, 0 back towards it
    uint32_t m_Predefined = 0;       // last "Create:" choice (0 "Circular", 2 "Tree")

private:
    void Restart();
    CQVActor* PickSuccessor(CQVActor* node);
    CQVActor* StepBack(CQVActor* node);
};
