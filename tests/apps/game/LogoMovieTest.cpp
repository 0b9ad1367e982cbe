// The logo movie of the start-up, on a movie clock of the test's own: it
// plays through before the first frame, and the keys of Action and Jump
// (and no others) end it early.

#include "apps/game/FrameLoop.h"
#include "apps/game/GameMain.h"
#include "platform/Window.h"
#include "services/graphics/Texture.h"
#include "tools/content/MovieWriter.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

std::atomic<double> g_LogoClock{0.0};
std::atomic<int> g_LogoWaits{0};

double LogoNow() { return g_LogoClock.load(); }
// Each wait moves the clock on and lets real time pass a little, so the
// test's key presses land while the logo plays.
void LogoSleep(uint32_t milliseconds) {
    g_LogoClock = g_LogoClock.load() + milliseconds / 1000.0;
    ++g_LogoWaits;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void WriteLogoGame(const std::filesystem::path& dir, uint32_t frames) {
    std::filesystem::create_directories(dir / "Data");
    std::FILE* f = std::fopen((dir / "init.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(".\r\nStart.qva\r\n\r\nLogo Game\r\n", f);
    std::fclose(f);
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    MovieClip clip;
    clip.settings.width = 64;
    clip.settings.height = 48;
    clip.frameColours.assign(frames, 0xFF2080C0u);
    std::string error;
    ASSERT_TRUE(MovieWriter_WriteClip((dir / "Data" / "logo_01.mpg").string(), clip, &error)) << error;
}

struct LogoCase {
    const char* name;
    SDL_Scancode key;  // SDL_SCANCODE_UNKNOWN: no key
    bool endsEarly;
};

class LogoMovie : public testing::TestWithParam<LogoCase> {};

TEST_P(LogoMovie, PlaysUntilItEndsOrActionOrJump) {
    const auto oldDir = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_logo_" + std::to_string(::getpid()));
    // Two seconds of logo at 25 frames a second.
    ASSERT_NO_FATAL_FAILURE(WriteLogoGame(dir, 50));
    std::filesystem::current_path(dir);
    g_LogoClock = 500.0;
    g_LogoWaits = 0;
    Movie_SetClock(LogoNow, LogoSleep);

    const uint32_t firstFrame = g_FrameNumber;
    double logoEnd = 0.0;
    std::atomic<bool> stop{false};
    std::thread player([&] {
        // A few waits into the logo, the key goes down.
        for (int i = 0; i < 5000 && !stop && g_LogoWaits < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        auto pushKey = [](SDL_Scancode key, bool down) {
            if (key == SDL_SCANCODE_UNKNOWN) return;
            SDL_Event e{};
            e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.scancode = key;
            SDL_PushEvent(&e);
        };
        pushKey(GetParam().key, true);
        // The first frame runs once the logo is over.
        for (int i = 0; i < 20000 && !stop && g_FrameNumber == firstFrame; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        logoEnd = g_LogoClock.load();
        // Released before the game ends, so the next run starts with no key down.
        pushKey(GetParam().key, false);
        const uint32_t released = g_FrameNumber;
        for (int i = 0; i < 5000 && !stop && g_FrameNumber < released + 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240", 1);
    stop = true;
    player.join();
    Movie_SetClock(nullptr, nullptr);
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(result, 0);
    EXPECT_GT(g_FrameNumber, firstFrame);
    const double played = logoEnd - 500.0;
    if (GetParam().endsEarly) {
        EXPECT_LT(played, 1.5);
    } else {
        EXPECT_GE(played, 2.0);
        EXPECT_LT(played, 2.5);
    }
    // Nothing is left open for the frames.
    EXPECT_EQ(Movie_Update(), 0);
}

// Closing the window while the logo plays ends the game there: the logo
// stops at once and no frame runs.
TEST(LogoMovieClose, ClosingTheWindowEndsTheGameAtOnce) {
    const auto oldDir = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_logo_close_" + std::to_string(::getpid()));
    ASSERT_NO_FATAL_FAILURE(WriteLogoGame(dir, 50));
    std::filesystem::current_path(dir);
    g_LogoClock = 500.0;
    g_LogoWaits = 0;
    Movie_SetClock(LogoNow, LogoSleep);

    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> stop{false};
    std::thread player([&] {
        for (int i = 0; i < 5000 && !stop && g_LogoWaits < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Closing the game's only window reaches it as the desktop's quit request.
        Platform_RequestQuit();
        // Should the close be lost, a quit after a few frames still ends the run.
        for (int i = 0; i < 5000 && !stop && g_FrameNumber < firstFrame + 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!stop) Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240", 1);
    const double played = g_LogoClock.load() - 500.0;
    stop = true;
    player.join();
    Movie_SetClock(nullptr, nullptr);
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(result, 0);
    EXPECT_LT(played, 1.0);
    EXPECT_EQ(g_FrameNumber, firstFrame);
    EXPECT_EQ(Movie_Update(), 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, LogoMovie,
                         testing::Values(LogoCase{"untouched", SDL_SCANCODE_UNKNOWN, false},
                                         LogoCase{"action", SDL_SCANCODE_E, true},
                                         LogoCase{"jump", SDL_SCANCODE_SPACE, true},
                                         LogoCase{"other_key", SDL_SCANCODE_Q, false}),
                         [](const testing::TestParamInfo<LogoCase>& info) { return std::string(info.param.name); });

}  // namespace
