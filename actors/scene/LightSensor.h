#pragma once
// Measures how much light reaches its place: the minimum colour plus the
// colour of every switched-on point and spot light in whose range it stands
// with a free line of sight to the light.

#include "kernel/actors/Actor.h"

class CQVLightSensor : public CQVActor {
public:
    CQVLightSensor();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // The colour at the sensor's world position, r, g, b, a; not clamped.
    void MeasureColor(float color[4]);
    ColorValue MeasuredColor();

    // The sight ray's collision groups, in the order a ray filter takes them.
    static constexpr uint32_t DEFAULT_RAY_GROUP = 1;
    static constexpr uint32_t DEFAULT_RAY_RECEIVE = 1;
    static constexpr uint32_t DEFAULT_RAY_EXCLUDE = 0x04041000; // bits 12, 18 and 26
    uint32_t m_RayGroup = DEFAULT_RAY_GROUP;
    uint32_t m_RayReceive = DEFAULT_RAY_RECEIVE;
    uint32_t m_RayExclude = DEFAULT_RAY_EXCLUDE;
    float m_MinColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};
