#include "services/engine/Engine.h"

#include "kernel/base/Clock.h"
#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/render/Render.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }

uint32_t Pixel(int x, int y) {
    std::vector<uint32_t> pixels;
    EXPECT_TRUE(Device()->ReadBackBuffer(&pixels));
    return pixels[static_cast<size_t>(y) * Device()->GetPresentParameters().BackBufferWidth + x];
}

// Runs before the engine exists in the process.
TEST(EngineCreate, MakesTheEngineWithItsDefaultsOnce) {
    EXPECT_EQ(CQVEngine::GetInstance(), nullptr);
    ASSERT_EQ(CQVEngine::Create(), 1);
    CQVEngine* engine = CQVEngine::GetInstance();
    ASSERT_NE(engine, nullptr);
    EXPECT_NE(CQVGraphics::GetInstance(), nullptr);
    EXPECT_NE(g_Clock, nullptr);
    ASSERT_EQ(CQVEngine::Create(), 1);
    EXPECT_EQ(CQVEngine::GetInstance(), engine);

    ASSERT_EQ(engine->library.GetSlotCount(), 7000u);
    for (uint32_t id = 0; id < 7000; ++id) ASSERT_EQ(engine->library.At(id), nullptr);
    EXPECT_EQ(CQVRender::Get().Queue().buckets, nullptr);
    const std::pair<const char*, uint32_t> modes[] = {{"Normal", 0x19},
                                                      {"Texture Alpha", 0x0D},
                                                      {"Multiply", 0x0B},
                                                      {"Add", 0x0A},
                                                      {"* Env", 0x2019},
                                                      {"* Add Env", 0x201A},
                                                      {"* 1(Normal) <ADD> 2(ENV)", 0x4219},
                                                      {"* 1(ENV) <Texture2Alpha> 2", 0x2619}};
    ASSERT_EQ(CQVRender::Get().BlendModes().size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(CQVRender::Get().BlendModes()[i].name, modes[i].first);
        EXPECT_EQ(CQVRender::Get().BlendModes()[i].code, modes[i].second);
        EXPECT_EQ(CQVRender::Get().BlendModes()[i].available, 1u);
    }
    EXPECT_FLOAT_EQ(CQVRender::Get().View().fieldOfView, 1.5707964f);
    EXPECT_FLOAT_EQ(CQVRender::Get().View().aspectRatio, 1.3333334f);
    EXPECT_EQ(CQVRender::Get().View().nearPlane, 10.0f);
    EXPECT_EQ(CQVRender::Get().View().farPlane, 4000.0f);
    EXPECT_EQ(engine->worldScale, 100.0f);
    EXPECT_EQ(engine->inverseWorldScale, 0.01f);
    EXPECT_EQ(engine->textureFormat, 0u);
    EXPECT_EQ(engine->textureDivisor, 1u);
    EXPECT_EQ(engine->soundEnabled, 1u);
    for (float volume : engine->sound.groupVolumes) EXPECT_EQ(volume, 1.0f);
    EXPECT_EQ(CQVRender::Get().View().gammaScale[0], 1.0f);
    EXPECT_EQ(CQVRender::Get().View().gammaAdd[2], 0.0f);
    EXPECT_EQ(CQVEngine::SetError("%s %d", "Error", 7), 0);
    EXPECT_STREQ(engine->GetErrorText(), "Error 7");
}

class Engine : public testing::Test {
protected:
    static HWND s_Window;
    static void SetUpTestSuite() {
        ASSERT_EQ(CQVEngine::Create(), 1);
        Platform_RegisterClass(PlatformWindowClass{"EngineTest", NoProcedure});
        s_Window = Platform_CreateWindow("EngineTest", "EngineTest", 0, 0, 300, 200);
        Platform_SetWindowFrame(s_Window, 5, 35, 5, 5);
        ASSERT_EQ(CQVEngine::GetInstance()->Init(800, 600, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, s_Window), 1)
            << CQVEngine::GetInstance()->GetErrorText();
    }
    CQVEngine* engine() { return CQVEngine::GetInstance(); }
};
HWND Engine::s_Window = nullptr;

TEST_F(Engine, WindowedInitCentresTheWindowAroundTheRequestedClientArea) {
    // The offscreen screen is 1024 x 768.
    ASSERT_EQ(Platform_GetScreenWidth(), 1024);
    int x = 0, y = 0, w = 0, h = 0;
    Platform_GetWindowRect(s_Window, &x, &y, &w, &h);
    EXPECT_EQ(w, 810);
    EXPECT_EQ(h, 640);
    EXPECT_EQ(x, 107);
    EXPECT_EQ(y, 64);
    EXPECT_EQ(Device()->GetPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(Device()->GetPresentParameters().BackBufferHeight, 600u);
    EXPECT_EQ(g_EngineWindow, s_Window);
    EXPECT_EQ(engine()->soundEnabled, 0u);  // started without sound
}

TEST_F(Engine, DeviceSetUpLeavesFiltersAndBuckets) {
    uint32_t value = 0;
    for (uint32_t stage = 0; stage < 4; ++stage) {
        Device()->GetTextureStageState(stage, D3DTSS_MIPFILTER, &value);
        EXPECT_EQ(value, static_cast<uint32_t>(D3DTEXF_LINEAR));
    }
    Device()->GetTextureStageState(4, D3DTSS_MINFILTER, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTEXF_POINT));
    ASSERT_NE(CQVRender::Get().Queue().buckets, nullptr);
    const RenderBucket* b = CQVRender::Get().Queue().buckets;
    EXPECT_EQ(b[3].insertMode, 1u);
    EXPECT_EQ(b[5].insertMode, 1u);
    EXPECT_EQ(b[7].insertMode, 2u);
    EXPECT_EQ(b[4].insertMode, 0u);
    EXPECT_EQ(b[4].noLighting + b[4].noWorldTransform + b[4].noMaterial + b[4].noMeshDraw, 4u);
    EXPECT_NE(b[11].beginCallback, nullptr);
    for (uint32_t i = 0; i < kRenderBucketCount; ++i) {
        const bool option = i == 3 || i == 4 || i == 5 || i == 7 || i == 11;
        EXPECT_EQ(b[i].option, option ? 1u : 0u) << i;
    }
    EXPECT_EQ(g_Clock->initialized, 1u);

    // Bucket 11 begins by clearing depth and stencil: a far quad then passes the depth test.
    Device()->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
    b[11].beginCallback(11);
    engine()->FillScreenRect(0, 0, 4, 4, 1, 1, 1, 1);
    Device()->SetRenderState(D3DRS_ZENABLE, 1);
}

TEST_F(Engine, NestedFramesBeginAndPresentOnce) {
    engine()->SetClearColor(0x00336699);
    const uint32_t presented = Device()->GetPresentCount();
    ASSERT_EQ(engine()->BeginFrame(1, 0), 1);
    EXPECT_EQ(Pixel(400, 300), 0xFF336699u);
    engine()->SetClearColor(0x00FFFFFF);
    EXPECT_EQ(engine()->BeginFrame(1, 0), 0);  // nested: counted, clears nothing
    EXPECT_EQ(g_FrameNesting, 2u);
    EXPECT_EQ(Pixel(400, 300), 0xFF336699u);
    EXPECT_EQ(engine()->EndFrame(1), 0);  // inner end: no present
    EXPECT_EQ(Device()->GetPresentCount(), presented);
    EXPECT_EQ(engine()->EndFrame(1), 1);
    EXPECT_EQ(Device()->GetPresentCount(), presented + 1);
    EXPECT_EQ(g_FrameNesting, 0u);

    engine()->suspended = 1;
    EXPECT_EQ(engine()->BeginFrame(1, 0), 0);
    EXPECT_EQ(g_FrameNesting, 0u);  // a refused frame is not counted
    engine()->suspended = 0;

    engine()->waitForVerticalBlank = 1;
    ASSERT_EQ(engine()->BeginFrame(0, 1), 1);
    EXPECT_EQ(engine()->EndFrame(0), 1);  // ended without presenting
    EXPECT_EQ(Device()->GetPresentCount(), presented + 1);
    engine()->waitForVerticalBlank = 0;
}

struct FillCase {
    float r, g, b, a;
    uint32_t expected;
};
class FillScreenRect : public Engine, public testing::WithParamInterface<FillCase> {};

TEST_P(FillScreenRect, ConvertsTheColourAndCoversTheRectangle) {
    Device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    CQVRender::Get().Materials().forceMask = 0;
    const FillCase& c = GetParam();
    engine()->FillScreenRect(100, 50, 200, 150, c.r, c.g, c.b, c.a);
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(100, 50), c.expected | 0xFF000000u);
    EXPECT_EQ(Pixel(199, 149), c.expected | 0xFF000000u);
    EXPECT_EQ(Pixel(200, 100), 0xFF000000u);
    EXPECT_EQ(Pixel(150, 150), 0xFF000000u);
    uint32_t value = 0;
    Device()->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, 1u);
    Device()->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 1u);
}
INSTANTIATE_TEST_SUITE_P(Colours, FillScreenRect,
                         testing::Values(FillCase{1.0f, 0.5f, -0.1f, 1.0f, 0xFF8000u},
                                         FillCase{2.0f, 0.0f, 0.999f, 0.0f, 0xFF00FFu},
                                         FillCase{0.25f, 0.75f, 0.1f, 0.5f, 0x40BF1Au}));

TEST_F(Engine, AmbientColourIsTruncatedAndPacked) {
    engine()->SetAmbientColor(1.0f, 0.5f, 0.999f, 0.25f);
    uint32_t value = 0;
    Device()->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0x3FFF7FFEu);
    engine()->SetAmbientColor(2.0f, -1.0f, 0.0f, 1.0f);  // channels masked to 8 bits
    Device()->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0xFFFE0100u);
}

TEST_F(Engine, ViewPlanesSetTheProjection) {
    auto projection = [] {
        D3DMATRIX m{};
        Device()->GetTransform(D3DTS_PROJECTION, &m);
        return m;
    };
    engine()->SetFarPlane(35000.0f);
    engine()->SetNearPlane(1.5f);
    Matrix expected;
    Mat4_PerspectiveFov(&expected, CQVRender::Get().View().fieldOfView, CQVRender::Get().View().aspectRatio, 1.5f, 35000.0f);
    D3DMATRIX m = projection();
    EXPECT_EQ(std::memcmp(&m, &expected, sizeof m), 0);
    // With fog on, the near plane's projection ends at the fog's far distance.
    CQVRender::Get().View().fogEnabled = 1;
    CQVRender::Get().View().fogFar = 800.0f;
    engine()->SetNearPlane(2.0f);
    Mat4_PerspectiveFov(&expected, CQVRender::Get().View().fieldOfView, CQVRender::Get().View().aspectRatio, 2.0f, 800.0f);
    m = projection();
    EXPECT_EQ(std::memcmp(&m, &expected, sizeof m), 0);
    engine()->SetFarPlane(4000.0f);
    Mat4_PerspectiveFov(&expected, CQVRender::Get().View().fieldOfView, CQVRender::Get().View().aspectRatio, 2.0f, 4000.0f);
    m = projection();
    EXPECT_EQ(std::memcmp(&m, &expected, sizeof m), 0);
    CQVRender::Get().View().fogEnabled = 0;
}

TEST_F(Engine, BaseFolderAndTextureOptions) {
    engine()->SetBaseFolder("C:\\Game");
    EXPECT_EQ(engine()->baseFolder, "C:\\Game");
    engine()->SetTextureOptions(2, 4);
    EXPECT_EQ(engine()->textureFormat, 2u);
    EXPECT_EQ(engine()->textureDivisor, 4u);
}

// Declared last: it leaves the engine without a device.
TEST_F(Engine, DeviceThatCannotBeMadeFailsInitWithTheLayersText) {
    // The layer's text, then the platform's reason.
    EXPECT_EQ(engine()->Init(0, 600, 32, 32, 0, s_Window), 0);
    EXPECT_STREQ(engine()->GetErrorText(), "Create Full Screeen Device: display mode 0x600 not available");
    EXPECT_EQ(engine()->Init(640, 480, 32, 32, 0, nullptr), 0);
    EXPECT_STREQ(engine()->GetErrorText(), "Create Full Screeen Device: no window");
    EXPECT_EQ(engine()->BeginFrame(1, 0), 0);
    EXPECT_EQ(engine()->EndFrame(1), 0);
    engine()->FillScreenRect(0, 0, 10, 10, 1, 1, 1, 1);  // no device: nothing happens
}

}  // namespace
