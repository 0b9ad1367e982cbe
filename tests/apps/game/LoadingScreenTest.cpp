// The loading screen as a player sees it: the bar drawn on the offscreen
// device, presented, and read back from the back buffer.

#include "apps/game/ActorSystemServices.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/LoadingScreen.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/storage/ScreenCapture.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <gtest/gtest.h>

namespace {

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

struct Pixel {
    int x, y;
    uint32_t rgb;
};

uint32_t ReadPixel(const ImageBuffer& image, int x, int y) {
    const uint8_t* p = image.pixels.get() + y * image.pitch + x * 4;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

class LoadingScreen : public testing::Test {
protected:
    void TearDown() override {
        Screen_Reset();
        ResetGlobals();
        // The window's procedure answers nothing, a close request included:
        // left open, it would be the first window and take the quit meant
        // for a game started later in the same process.
        Platform_DestroyWindow(window);
    }

    HWND window = nullptr;
};

TEST_F(LoadingScreen, DrawsItsBarAt800x600) {
    ResetGlobals();
    ASSERT_EQ(CQVEngine::Create(), 1);
    Platform_RegisterClass(PlatformWindowClass{"LoadingScreenTest", NoProcedure});
    window = Platform_CreateWindow("LoadingScreenTest", "LoadingScreenTest", 0, 0, 300, 200);
    Platform_SetWindowFrame(window, 5, 35, 5, 5);
    CQVEngine* engine = CQVEngine::GetInstance();
    ASSERT_EQ(engine->Init(800, 600, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, window), 1) << engine->GetErrorText();
    engine->SetClearColor(0xFF0000FF);
    ASSERT_EQ(KernelActorClasses_Start(), 1);
    ActorSystemServices_Install();

    g_ActorSystem->StartLoadingScreen(1000);
    g_LoadingScreen.interval = 0;
    g_LoadingScreen.step = 100.0f;
    g_ActorSystem->UpdateLoadingScreen(nullptr);
    ASSERT_EQ(g_LoadingScreen.redraws, 1u);
    Screen_CaptureBackBuffer(800, 600);
    const ImageBuffer* image = Screen_GetCapture();
    ASSERT_NE(image, nullptr);

    // The bar colour (0.6, 0.9, 0.4) as bytes, the black bar, the blue screen.
    const uint32_t bar = 0x99E666, black = 0x000000, screen = 0x0000FF;
    const Pixel expected[] = {
        {198, 518, bar},   {199, 524, bar},    {200, 520, black}, {201, 524, black}, {202, 522, bar},
        {301, 525, bar},   {302, 524, black},  {599, 527, black}, {600, 524, bar},   {601, 529, bar},
        {602, 524, screen}, {400, 517, screen}, {400, 530, screen}, {197, 524, screen},
    };
    for (const Pixel& p : expected) {
        EXPECT_EQ(ReadPixel(*image, p.x, p.y), p.rgb) << p.x << ", " << p.y;
    }
}

}  // namespace
