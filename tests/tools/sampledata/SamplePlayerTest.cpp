// The sample level as `make run` plays it, in this process with keys
// pushed into the game's input: its player character is the master
// Player's, so holding I, J, K and L switches the developer mode on and F12
// then shows the frame rate in the top right corner of the screen.

#include "apps/game/GameMain.h"
#include "kernel/base/FrameTime.h"
#include "platform/image/Image.h"
#include "tests/services/input/InputTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/sampledata/SampleData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640, kHeight = 480;

std::vector<uint32_t> LoadCapture(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ImageData image;
    std::string error;
    if (bytes.empty() || !Image_Decode(bytes.data(), bytes.size(), &image, &error)) return {};
    return Image_LevelPixels(image, 0);
}

// Near-white pixels in the top right corner, where the counter stands.
int WhiteTopRight(const std::vector<uint32_t>& pixels) {
    int count = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = kWidth - 150; x < kWidth; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * kWidth + x];
            count += ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) > 200;
        }
    }
    return count;
}

TEST(SamplePlayer, TheDeveloperChordShowsTheFrameRateInTheSampleLevel) {
    const fs::path oldDir = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("qv_sample_player_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    SampleOptions options;
    options.fixedCamera = true;
    options.shot = SampleShot_LightMap();
    options.captures = {{0.5f, "before.tga"}, {3.0f, "after.tga"}};
    options.captureWidth = kWidth;
    options.captureHeight = kHeight;
    std::string error;
    ASSERT_TRUE(SampleData_Write(dir, options, &error)) << error;
    ResetGlobals();
    fs::current_path(dir);
    setenv("QV_FRAME_STEP", "0.02", 1);

    // After the level's start and the Player's first 0.4 s: the chord,
    // then F12.
    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> done{false};
    std::thread player([&] {
        const auto waitFor = [&](uint32_t frames) {
            for (int i = 0; i < 60000 && !done; ++i) {
                if (g_FrameNumber >= firstFrame + frames) return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        };
        const SDL_Scancode chord[] = {SDL_SCANCODE_I, SDL_SCANCODE_J, SDL_SCANCODE_K, SDL_SCANCODE_L};
        if (!waitFor(60)) return;
        for (SDL_Scancode key : chord) inputtest::PushKey(key, true);
        if (!waitFor(65)) return;
        for (SDL_Scancode key : chord) inputtest::PushKey(key, false);
        inputtest::PushKey(SDL_SCANCODE_F12, true);
        if (!waitFor(70)) return;
        inputtest::PushKey(SDL_SCANCODE_F12, false);
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=640 -h=480 -s=0", 1);
    done = true;
    player.join();
    unsetenv("QV_FRAME_STEP");
    fs::current_path(oldDir);
    const std::vector<uint32_t> before = LoadCapture(dir / "before.tga");
    const std::vector<uint32_t> after = LoadCapture(dir / "after.tga");
    fs::remove_all(dir);

    EXPECT_EQ(result, 0);
    ASSERT_EQ(before.size(), static_cast<size_t>(kWidth * kHeight));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(WhiteTopRight(before), 0) << "no counter before the chord";
    EXPECT_GT(WhiteTopRight(after), 12) << "\"FPS: ...\" in white";
}

}  // namespace
