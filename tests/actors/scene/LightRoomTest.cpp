// A lit room as the player sees it: a Light actor in front of a lit wall on
// the offscreen device, faded in by its draw group's start on an injected
// clock, read back through the screen capture.

#include "tests/actors/scene/LightTestSupport.h"
#include "tests/services/render/RenderTestSupport.h"

#include "services/storage/ScreenCapture.h"

#include <cstring>

namespace {

class LightRoom : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        // The far wall of the room, 160 units square, 200 ahead of the
        // camera, facing it; white and lit by the lights only (no ambient).
        MeshGeometry wall;
        const Vector3 corners[4] = {{-80, -80, 0}, {-80, 80, 0}, {80, 80, 0}, {80, -80, 0}};
        const Vector2 uv[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
        wall.AddQuad(corners, Vector3(0, 0, -1), uv);
        wallItem = Item(Mesh(wall), Material(8, 1.0f, 1.0f, 1.0f, true), At(Vector3(0, 0, 200)));

        CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        light = static_cast<CQVLight*>(
            g_ActorSystem->CreateActor(CLASS_LIGHT, "Lamp", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        ASSERT_NE(light, nullptr);
        // 50 in front of the wall's centre, full strength up to its range.
        LightTest_Send(light, MSG_SET_POSITION, Vector3(0, 0, 150));
        LightTest_Send(light, MSG_SET_RADIUS, 400.0f);
        LightTest_Send(light, MSG_SET_ATTENUATION_STRENGTH, 0.0f);
        LightTest_Send(light, MSG_SET_DIFFUSE_COLOR, D3DCOLORVALUE{1.0f, 0.5f, 0.25f, 1.0f});
        light->HandleMessage(MSG_PRECALCULATE, nullptr);
    }
    void TearDown() override {
        // The Light destroys its engine light before the fixture clears the rest.
        Actors_Reset();
        Screen_Reset();
        g_FrameTime = 0.0f;
        RenderTest::TearDown();
    }

    // The centre of the captured frame, as 0xRRGGBB.
    uint32_t CentrePixel() {
        engine->QueueRenderItem(wallItem, 0.0f, 1.0f);
        DrawFrame();
        Screen_CaptureBackBuffer(width, height);
        const ImageBuffer* image = Screen_GetCapture();
        EXPECT_NE(image, nullptr);
        if (image == nullptr) return 0;
        uint32_t pixel = 0;
        std::memcpy(&pixel, image->pixels.get() + (height / 2) * image->pitch + (width / 2) * 4, 4);
        return pixel & 0xFFFFFF;
    }

    static void ExpectColour(uint32_t got, int r, int g, int b) {
        const int channels[3] = {static_cast<int>(got >> 16 & 0xFF), static_cast<int>(got >> 8 & 0xFF),
                                 static_cast<int>(got & 0xFF)};
        const int want[3] = {r, g, b};
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(channels[i], want[i], 6) << "channel " << i << " of " << std::hex << got;
    }

    RenderItem* wallItem = nullptr;
    CQVLight* light = nullptr;
};

// The wall is lit at its four corners and shaded between them: each corner
// sees the light at 50 / |(80, 80, 50)| = 0.404 of its colour.
TEST_F(LightRoom, TheWallLightsUpAsTheRoomComesIntoView) {
    ExpectColour(CentrePixel(), 103, 52, 26);  // a light that is on shines at once
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    ExpectColour(CentrePixel(), 0, 0, 0);      // the fade starts from black
    for (int i = 0; i < 4; ++i) LightTest_Frame(0.045f);
    ExpectColour(CentrePixel(), 43, 22, 11);   // 0.42 of the way after 0.18 s
    for (int i = 0; i < 5; ++i) LightTest_Frame(0.045f);
    ExpectColour(CentrePixel(), 103, 52, 26);
    light->HandleMessage(MSG_STOP, nullptr);
    ExpectColour(CentrePixel(), 0, 0, 0);
}

}  // namespace
