#pragma once
// A navigation mark for the AI, placed inside a draw group: a stair's
// bottom, plane or top, a door node, a plain node or a shelter, with the
// radius within which it counts as reached and the extent of its area. It
// has no behaviour of its own; the AI controllers collect the marks of the
// group they enter and walk from one to the next.

#include "kernel/actors/Actor.h"

#include <cstdint>

enum AIHelperType : uint32_t {
    AI_HELPER_STAIR_BOTTOM = 0,
    AI_HELPER_STAIR_PLANE = 1,
    AI_HELPER_STAIR_TOP = 2,
    AI_HELPER_DOOR_NODE = 3,
    AI_HELPER_NODE = 4,
    AI_HELPER_SHELTER = 5,
};

class CQVAIHelper : public CQVActor {
public:
    CQVAIHelper();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    uint32_t m_HelperType = AI_HELPER_SHELTER;
    float m_Radius = 0.0f;
    Vector3 m_Box = Vector3(100.0f, 100.0f, 100.0f);
};
