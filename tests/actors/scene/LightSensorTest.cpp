// The Light Sensor: the minimum colour plus every switched-on point and spot
// light that reaches it with a free line of sight, through the real engine
// lights and the actor system's ray test.

#include "tests/actors/scene/LightTestSupport.h"

#include "actors/scene/LightSensor.h"
#include "kernel/actors/DrawGroups.h"

#include <array>

namespace {

using Color = std::array<float, 4>;

constexpr Color kMinimum{0.1f, 0.1f, 0.1f, 0.0f};

class LightSensorTest : public LightActorTest {
protected:
    void SetUp() override {
        LightActorTest::SetUp();
        sensor = Make<CQVLightSensor>(CLASS_LIGHT_SENSOR, "LightSensor");
        Send(sensor, MSG_SET_LIGHTSENSOR_MIN_COLOR, kMinimum);
    }

    // A light at a place, reaching range with no fall-off inside it, so the
    // colour it adds is its diffuse colour.
    CQVLight* Light(const Vector3& at, float range, const Color& diffuse, uint32_t type = 0) {
        CQVLight* light = Make<CQVLight>(CLASS_LIGHT, "Lamp");
        Send(light, MSG_SET_LIGHT_TYPE, type);
        Send(light, MSG_SET_POSITION, at);
        Send(light, MSG_SET_RADIUS, range);
        Send(light, MSG_SET_DIFFUSE_COLOR, D3DCOLORVALUE{diffuse[0], diffuse[1], diffuse[2], diffuse[3]});
        Send(light, MSG_SET_ATTENUATION_STRENGTH, 0.0f);
        light->HandleMessage(MSG_PRECALCULATE, nullptr);
        return light;
    }

    // A wall of the level's draw group, a static box collider of group 1.
    CQVActor* Wall(const Vector3& at, float half) {
        // Made without the init messages, so it keeps the id its slot gives it.
        auto* group = static_cast<CQVDrawGroupBase*>(g_ActorSystem->CreateActor(CLASS_DRAW_GROUP, "Room", nullptr,
                                                                                scenery, ACTOR_ID_ANY, 0, 0));
        group->m_BoxMin = Vector3(-1000.0f, -1000.0f, -1000.0f);
        group->m_BoxMax = Vector3(1000.0f, 1000.0f, 1000.0f);
        CQVActor* wall = Make(CLASS_BASE, "Wall");
        Send(wall, MSG_SET_POSITION, at);
        ColObj box;
        box.type = COLOBJ_BOX;
        box.boxMin = Vector3(-half, -half, -half);
        box.boxMax = Vector3(half, half, half);
        box.owner = wall;
        wall->m_ColObjs.push_back(box);
        wall->m_DrawGroupId = group->m_DrawGroupId;
        g_ActorSystem->AddToDrawGroup(wall, 0);
        g_ActorSystem->UpdateColObjVolumes(wall);
        return wall;
    }

    Color Measure() { return Ask<Color>(sensor, MSG_GET_COLOR); }

    CQVLightSensor* sensor = nullptr;
};

void ExpectColor(const Color& got, const Color& want) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-5f) << "component " << i;
}

TEST_F(LightSensorTest, WithNoLightOnItGivesTheMinimumColour) {
    ExpectColor(Measure(), kMinimum);
    CQVLight* light = Light(Vector3(100, 0, 0), 500.0f, {1, 1, 1, 1});
    light->HandleMessage(MSG_STOP, nullptr);
    ExpectColor(Measure(), kMinimum);
}

TEST_F(LightSensorTest, AddsTheLightsThatReachItUnclamped) {
    Light(Vector3(100, 0, 0), 200.0f, {0.8f, 0.0f, 0.2f, 1.0f});
    Light(Vector3(0, 0, -150), 200.0f, {0.7f, 0.5f, 0.0f, 1.0f});
    Light(Vector3(0, 300, 0), 200.0f, {1.0f, 1.0f, 1.0f, 1.0f});              // its range ends short
    Light(Vector3(0, 50, 0), 200.0f, {1.0f, 1.0f, 1.0f, 1.0f}, 2);            // directional: never local
    ExpectColor(Measure(), {0.1f + 0.8f + 0.7f, 0.1f + 0.5f, 0.1f + 0.2f, 2.0f});
}

TEST_F(LightSensorTest, TheColourFallsOffWithTheLightsAttenuation) {
    CQVLight* light = Light(Vector3(100, 0, 0), 200.0f, {1, 1, 1, 1});
    // Constant 1 and a linear term of 1 / 100 per unit at range 200: 1 / (1 + 100 / 100).
    Send(light, MSG_SET_ATTENUATION_STRENGTH, 2.0f);
    Send(light, MSG_SET_ATTENUATION_STYLE, 1.0f);
    ExpectColor(Measure(), {0.6f, 0.6f, 0.6f, 0.5f});
}

TEST_F(LightSensorTest, AWallBetweenItAndALightHidesThatLightOnly) {
    Light(Vector3(100, 0, 0), 200.0f, {1.0f, 0.0f, 0.0f, 1.0f});
    Light(Vector3(-100, 0, 0), 200.0f, {0.0f, 0.0f, 1.0f, 1.0f});
    ExpectColor(Measure(), {1.1f, 0.1f, 1.1f, 2.0f});
    Wall(Vector3(50, 0, 0), 10.0f);
    ExpectColor(Measure(), {0.1f, 0.1f, 1.1f, 1.0f});
    // A ray that excludes the wall's group sees through it.
    Send<uint32_t>(sensor, MSG_SET_LIGHTSENSOR_RAY_EXCLUDE, 1);
    EXPECT_EQ(Ask<uint32_t>(sensor, MSG_GET_LIGHTSENSOR_RAY_EXCLUDE), 1u);
    ExpectColor(Measure(), {1.1f, 0.1f, 1.1f, 2.0f});
}

TEST_F(LightSensorTest, ALoadedSensorLooksWithTheDefaultRay) {
    Send<uint32_t>(sensor, MSG_SET_LIGHTSENSOR_RAY_GROUP, 4);
    Send<uint32_t>(sensor, MSG_SET_LIGHTSENSOR_RAY_RECEIVE, 8);
    Send<uint32_t>(sensor, MSG_SET_LIGHTSENSOR_RAY_EXCLUDE, 16);
    const std::string bytes = LightTest_WritePayload(sensor, 70);
    auto* loaded = Make<CQVLightSensor>(CLASS_LIGHT_SENSOR, "Loaded");
    ASSERT_EQ(LightTest_ReadPayload(loaded, bytes, 70), 1);
    EXPECT_EQ(loaded->m_RayGroup, 4u);  // as stored, until "Init Load"
    EXPECT_EQ(loaded->m_RayExclude, 16u);
    loaded->HandleMessage(MSG_INIT_LOAD, nullptr);
    EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_LIGHTSENSOR_RAY_GROUP), 1u);
    EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_LIGHTSENSOR_RAY_RECEIVE), 1u);
    EXPECT_EQ(Ask<uint32_t>(loaded, MSG_GET_LIGHTSENSOR_RAY_EXCLUDE), 0x04041000u);
}

}  // namespace
