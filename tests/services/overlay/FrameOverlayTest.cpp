// The frame draws the overlays after the scene, also while paused, and
// shows the frame rate in the top right corner when asked.

#include "actors/characters/CharactersState.h"
#include "apps/game/ActorSystemServices.h"
#include "apps/game/FrameLoop.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/LoadingScreen.h"
#include "services/library/LibraryItem.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/services/overlay/OverlayTestSupport.h"

#include <deque>

namespace {

std::deque<double> g_Intervals;

double NextInterval() {
    if (g_Intervals.empty()) return 1.0 / 50.0;
    const double interval = g_Intervals.front();
    g_Intervals.pop_front();
    return interval;
}

class FrameOverlay : public ActorSystemFixture {
protected:
    static void SetUpTestSuite() { OverlayTest_StartEngine(); }
    void SetUp() override {
        ActorSystemFixture::SetUp();
        Font_CreateDefault();
        g_Intervals.clear();
        FrameClock_SetSource(&NextInterval);
        g_FontBatchLog = &batches;
    }
    void TearDown() override {
        g_FontBatchLog = nullptr;
        g_DeveloperMode = 0;
        FrameClock_SetSource(nullptr);
        ActorSystemFixture::TearDown();
    }
    void Run(int frames) {
        for (int i = 0; i < frames; ++i) ASSERT_EQ(FrameStep(system), 1);
    }
    static std::vector<uint32_t> Screen() {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(CQVGraphics::GetInstance()->GetDevice()->ReadBackBuffer(&pixels));
        return pixels;
    }
    static int Ink(const std::vector<uint32_t>& screen, int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += (screen[static_cast<size_t>(y) * 800 + x] & 0xFFFFFF) != 0;
        return count;
    }
    std::vector<uint32_t> batches;
};

TEST_F(FrameOverlay, FrameRateTextInTheTopRightCorner) {
    CQVEngine* engine = CQVEngine::GetInstance();
    g_ShowFps = 1;
    Run(60);
    EXPECT_TRUE(engine->overlayTexts.empty()) << "only while the developer display is on";
    EXPECT_EQ(Ink(Screen(), 0, 0, 800, 600), 0);

    g_DeveloperMode = 1;
    Run(1);
    ASSERT_EQ(engine->overlayTexts.size(), 1u);
    const OverlayText& text = engine->overlayTexts[0];
    EXPECT_EQ(text.text, "FPS: 50.00");
    EXPECT_EQ(text.x, 786.0f);
    EXPECT_EQ(text.y, 10.0f);
    EXPECT_EQ(text.flags, 12u);
    EXPECT_EQ(text.font, Font_GetDefault());
    Run(1);
    // Drawn with the next frame's overlays, ending at x 786.
    const std::vector<uint32_t> screen = Screen();
    EXPECT_GT(Ink(screen, 700, 10, 786, 22), 20);
    EXPECT_EQ(Ink(screen, 786, 0, 800, 600), 0);
    EXPECT_EQ(Ink(screen, 0, 30, 800, 600), 0);
}

TEST_F(FrameOverlay, ClampedFramesShowAStar) {
    g_DeveloperMode = 1;
    g_Intervals = {0.1, 0.5, 0.02};
    Run(1);
    EXPECT_EQ(batches, (std::vector<uint32_t>{6})) << "one glyph, drawn at once";
    EXPECT_GT(Ink(Screen(), 785, 8, 800, 22), 0);
    Run(2);
    EXPECT_EQ(batches.size(), 1u) << "a stalled frame and a normal one show nothing";
}

TEST_F(FrameOverlay, PausedFramesDrawTheOverlays) {
    CQVEngine* engine = CQVEngine::GetInstance();
    auto* material = new CQVMaterialItem();
    material->material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    g_Library.SetItem(9, material);
    system->SetPaused(1, nullptr, 0);
    engine->AddQuad(10, 10, 5, 5, 1, 1, 1, 1, material);
    engine->AddText(100, 100, 1, 1, 1, 1, "Paused", 0);
    Run(1);
    const std::vector<uint32_t> screen = Screen();
    EXPECT_EQ(Ink(screen, 0, 0, 50, 50), 25);
    EXPECT_GT(Ink(screen, 100, 100, 150, 115), 10);
    EXPECT_TRUE(engine->overlayQuads.empty());
    EXPECT_TRUE(engine->overlayTexts.empty());
    system->SetPaused(0, nullptr, 0);
}

}  // namespace

namespace {

// A level change's loading screen shows its text through the overlay queues.
TEST_F(FrameOverlay, LoadingScreenShowsItsText) {
    ActorSystemServices_Install();
    system->StartLoadingScreen(10);
    for (int i = 0; i < 1000 && g_LoadingScreen.redraws == 0; ++i) system->UpdateLoadingScreen("Loading the level");
    ASSERT_GT(g_LoadingScreen.redraws, 0u);
    system->EndLoadingScreen();
    EXPECT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], 6u * 17);
    EXPECT_GT(Ink(Screen(), 0, 0, 800, 600 - 90), 50) << "the text above the bar";
    EXPECT_TRUE(CQVEngine::GetInstance()->overlayTexts.empty());
}

}  // namespace
