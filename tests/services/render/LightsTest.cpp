// Engine lights: device indices, the local-light list switched lazily, the
// directional lights enabled at once, and the colour at a point.

#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "tests/services/render/RenderTestSupport.h"

namespace {

int32_t Enabled(const CQVLightItem* light) {
    int32_t on = -1;
    RenderScene_Device()->GetLightEnable(light->lightNumber, &on);
    return on;
}

TEST_F(RenderTest, LightsTakeIndicesThatAreNeverReused) {
    CQVLightItem* first = engine->CreateLight();
    CQVLightItem* second = engine->CreateLight();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->lightNumber, 0u);
    EXPECT_EQ(second->lightNumber, 1u);
    EXPECT_EQ(Light_GetType(first), static_cast<uint32_t>(D3DLIGHT_POINT));
    EXPECT_EQ(Light_GetRange(first), 200.0f);
    engine->DestroyLight(first);
    CQVLightItem* third = engine->CreateLight();
    EXPECT_EQ(third->lightNumber, 2u);
    EXPECT_EQ(CQVRender::Get().Lights().lights, (std::vector<CQVLightItem*>{second, third}));
    engine->DestroyLight(nullptr);
}

TEST_F(RenderTest, LocalLightsWaitForTheQueueAndDirectionalOnesGoStraightOn) {
    CQVLightItem* spot = engine->CreateLight();
    CQVLightItem* point = engine->CreateLight();
    CQVLightItem* sun = engine->CreateLight();
    Light_SetType(spot, D3DLIGHT_SPOT);
    Light_SetType(sun, D3DLIGHT_DIRECTIONAL);
    for (CQVLightItem* light : {spot, point, sun}) Light_Apply(light);

    engine->EnableLight(spot, 1);
    engine->EnableLight(spot, 1);
    EXPECT_EQ(CQVRender::Get().Lights().localLights, std::vector<CQVLightItem*>{spot});
    EXPECT_EQ(engine->GetLocalLight(0), spot);
    EXPECT_EQ(spot->enabled, 1u);
    EXPECT_EQ(Enabled(spot), 0);  // the queue switches it on per item

    // Off for a light that was never on makes no device call: a switch set
    // behind the engine's back stays as it was.
    RenderScene_Device()->LightEnable(point->lightNumber, 1);
    engine->EnableLight(point, 0);
    EXPECT_EQ(Enabled(point), 1);
    engine->EnableLight(point, 2);  // neither on nor off
    EXPECT_EQ(CQVRender::Get().Lights().localLights.size(), 1u);

    engine->EnableLight(sun, 1);
    EXPECT_EQ(Enabled(sun), 1);
    EXPECT_EQ(CQVRender::Get().Lights().localLights.size(), 1u);
    engine->EnableLight(sun, 0);
    EXPECT_EQ(Enabled(sun), 0);

    RenderScene_Device()->LightEnable(spot->lightNumber, 1);
    engine->EnableLight(spot, 0);
    EXPECT_TRUE(CQVRender::Get().Lights().localLights.empty());
    EXPECT_EQ(Enabled(spot), 0);
    EXPECT_EQ(spot->enabled, 0u);
    engine->EnableLight(nullptr, 1);
}

TEST_F(RenderTest, DestroyingALocalLightTakesItOutOfBothLists) {
    CQVLightItem* kept = engine->CreateLight();
    CQVLightItem* gone = engine->CreateLight();
    engine->EnableLight(kept, 1);
    engine->EnableLight(gone, 1);
    engine->DestroyLight(gone);
    EXPECT_EQ(CQVRender::Get().Lights().localLights, std::vector<CQVLightItem*>{kept});
    EXPECT_EQ(CQVRender::Get().Lights().lights, std::vector<CQVLightItem*>{kept});
}

TEST_F(RenderTest, ColourAtAPointFollowsTheAttenuationUpToTheRange) {
    CQVLightItem* light = engine->CreateLight();
    Light_SetDiffuse(light, D3DCOLORVALUE{0.8f, 0.4f, 0.2f, 1.0f});
    Light_SetPosition(light, Vector3(10, 0, 0));
    Light_SetRange(light, 100.0f);
    Light_SetAttenuation0(light, 2.0f);
    Light_SetAttenuation1(light, 0.01f);
    Light_SetAttenuation2(light, 0.0001f);
    float color[4] = {};
    ASSERT_EQ(Light_GetColorAt(light, color, Vector3(10, 0, 0)), 1);
    EXPECT_FLOAT_EQ(color[0], 0.4f);
    EXPECT_FLOAT_EQ(color[2], 0.1f);
    ASSERT_EQ(Light_GetColorAt(light, color, Vector3(10, 50, 0)), 1);
    EXPECT_FLOAT_EQ(color[1], 0.4f / (2.0f + 0.5f + 0.25f));
    EXPECT_EQ(Light_GetColorAt(light, color, Vector3(10, 0, 100)), 0);
    EXPECT_EQ(Light_GetColorAt(nullptr, color, Vector3(0, 0, 0)), 0);
}

TEST_F(RenderTest, AccessorsKeepTheRecordAndIgnoreNull) {
    CQVLightItem* light = engine->CreateLight();
    Light_SetSpecular(light, D3DCOLORVALUE{0.1f, 0.2f, 0.3f, 0.4f});
    Light_SetAmbient(light, D3DCOLORVALUE{0.5f, 0.6f, 0.7f, 0.8f});
    Light_SetFalloff(light, 2.0f);
    Light_SetTheta(light, 0.3f);
    Light_SetPhi(light, 0.6f);
    Light_SetDirection(light, Vector3(0, -1, 0));
    EXPECT_EQ(Light_GetSpecular(light).b, 0.3f);
    EXPECT_EQ(Light_GetAmbient(light).a, 0.8f);
    EXPECT_EQ(Light_GetFalloff(light), 2.0f);
    EXPECT_EQ(Light_GetTheta(light), 0.3f);
    EXPECT_EQ(Light_GetPhi(light), 0.6f);
    EXPECT_EQ(light->light.Direction.y, -1.0f);
    // Only Light_Apply sends the record to the device.
    Light_SetPosition(light, Vector3(1, 2, 3));
    D3DLIGHT8 held{};
    RenderScene_Device()->GetLight(light->lightNumber, &held);
    EXPECT_NE(held.Position.y, 2.0f);
    Light_Apply(light);
    RenderScene_Device()->GetLight(light->lightNumber, &held);
    EXPECT_EQ(held.Position.y, 2.0f);
    Light_SetRange(nullptr, 1.0f);
    EXPECT_EQ(Light_GetRange(nullptr), 0.0f);
    EXPECT_EQ(Light_GetPosition(nullptr).x, 0.0f);
    EXPECT_EQ(Light_GetDiffuse(nullptr).r, 0.0f);
}

// Items one after another: each gets exactly the lights that reach it,
// whatever the item before it had.
TEST_F(RenderTest, EachItemGetsTheLightsThatReachItWhateverTheOneBeforeHad) {
    std::vector<CQVLightItem*> lights;
    for (float x : {0.0f, 100.0f, 200.0f}) {
        CQVLightItem* light = engine->CreateLight();
        Light_SetPosition(light, Vector3(x, 0, 0));
        Light_SetRange(light, 60.0f);
        Light_Apply(light);
        engine->EnableLight(light, 1);
        lights.push_back(light);
    }
    PlatformDevice* device = RenderScene_Device();
    LightState& state = CQVRender::Get().Lights();
    Lights_BeginDraw(device, state);
    const auto on = [&] {
        std::vector<int32_t> states;
        for (CQVLightItem* light : lights) states.push_back(Enabled(light));
        return states;
    };
    EXPECT_EQ(on(), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(Lights_SelectForItem(device, state, Vector3(50, 0, 0), 1.0f), 2u);
    EXPECT_EQ(on(), (std::vector<int32_t>{1, 1, 0}));
    EXPECT_EQ(Lights_SelectForItem(device, state, Vector3(150, 0, 0), 1.0f), 2u);
    EXPECT_EQ(on(), (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(Lights_SelectForItem(device, state, Vector3(500, 0, 0), 1.0f), 0u);
    EXPECT_EQ(on(), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(Lights_SelectForItem(device, state, Vector3(0, 0, 0), 500.0f), 3u);
    // A light switched off in the middle of the draw leaves the item's set.
    engine->EnableLight(lights[1], 0);
    EXPECT_EQ(Enabled(lights[1]), 0);
    Lights_EndDraw(device, state);
    EXPECT_EQ(on(), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_TRUE(state.itemLights.empty());
}

// A light that is on stays on when its type crosses between local and
// directional, in the list its new type belongs to.
TEST_F(RenderTest, ALightThatIsOnStaysOnWhenItsTypeChanges) {
    CQVLightItem* light = engine->CreateLight();
    Light_Apply(light);
    engine->EnableLight(light, 1);
    Light_SetType(light, D3DLIGHT_DIRECTIONAL);
    EXPECT_TRUE(CQVRender::Get().Lights().localLights.empty());
    EXPECT_EQ(Enabled(light), 1);
    Light_SetType(light, D3DLIGHT_SPOT);
    EXPECT_EQ(CQVRender::Get().Lights().localLights, std::vector<CQVLightItem*>{light});
    EXPECT_EQ(Enabled(light), 0);  // the queue switches it on per item
    // A light that is off stays off.
    engine->EnableLight(light, 0);
    Light_SetType(light, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(Enabled(light), 0);
    Light_SetType(light, D3DLIGHT_POINT);
    EXPECT_TRUE(CQVRender::Get().Lights().localLights.empty());
}

}  // namespace
