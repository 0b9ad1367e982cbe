// The whole game in this process, on a level made here with a
// "PlayerCharacter": its start gives the master Player that character, and
// Escape pressed once the Player has run a second ends the game with 0
// when the globals hold no "/Global/Inventory/Esc".

#include "apps/game/ActorClasses.h"
#include "apps/game/GameMain.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/FrameTime.h"
#include "platform/Window.h"
#include "tests/services/input/InputTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void WriteLevel(const fs::path& dir) {
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    std::ofstream(dir / "init.txt") << ".\r\nStart.qva\r\n\r\nPlayer Game\r\n";
    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* body = g_ActorSystem->CreateActor(CLASS_CHARACTER, "PlayerCharacter", nullptr, scenery, 3000, 1, 0);
    ASSERT_NE(body, nullptr);
    const uint32_t thirdPerson = 3;
    body->HandleMessage(MSG_SET_CHARACTER_TYPE, Args_Of(&thirdPerson));
    ASSERT_EQ(g_ActorSystem->SaveActors((dir / "Data" / "Start.qva").c_str(), 3000, 7000, 0), 1);
    delete g_ActorSystem;
    g_ActorSystem = nullptr;
    ResetGlobals();
}

TEST(PlayerGame, EscapeWithoutTheMenuEndsTheGame) {
    const fs::path oldDir = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("qv_player_game_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ASSERT_NO_FATAL_FAILURE(WriteLevel(dir));
    fs::current_path(dir);
    setenv("QV_FRAME_STEP", "0.02", 1);

    // 1.5 s of game frames, then Escape; a game still running long after
    // is told to quit, and the test fails.
    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> done{false};
    std::atomic<bool> forced{false};
    std::thread player([&] {
        const auto waitFor = [&](uint32_t frames) {
            for (int i = 0; i < 20000 && !done; ++i) {
                if (g_FrameNumber >= firstFrame + frames) return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        };
        if (waitFor(75)) inputtest::PushKey(SDL_SCANCODE_ESCAPE, true);
        if (waitFor(78)) inputtest::PushKey(SDL_SCANCODE_ESCAPE, false);
        if (waitFor(400) && !done) {
            forced = true;
            Platform_RequestQuit();
        }
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240 -s=0", 1);
    done = true;
    player.join();
    unsetenv("QV_FRAME_STEP");
    fs::current_path(oldDir);
    fs::remove_all(dir);

    EXPECT_EQ(result, 0);
    EXPECT_FALSE(forced) << "Escape did not end the game";
    EXPECT_GE(g_FrameNumber, firstFrame + 75) << "ended before Escape";
}

}  // namespace
