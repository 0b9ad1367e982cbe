// The sample level that `make run` shows, made by qv_make_sample and played
// by the game headless as a player would see it: a few seconds in, the
// screen is captured and must show the rooms (textured, lit surfaces of many
// colours), not an empty clear colour.

#include "tests/actors/scene/DrawGroupTestSupport.h"
#include "tests/services/library/SampleFolder.h"
#include "tests/support/ChildProcess.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <spawn.h>

extern char** environ;

namespace {

using namespace drawgroup_test;

constexpr int kWidth = 640, kHeight = 480;

// An actor among the globals that captures the screen three seconds after
// the game starts, saves it and ends the game.
void AddScreenCheck(const std::filesystem::path& dir) {
    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    CQVActor* global = CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL);
    CQVActor* check = g_ActorSystem->CreateActor(CLASS_BASE, "Screen Check", nullptr, global, 2000, 1, 0);
    ASSERT_NE(check, nullptr);
    CQVScript later;
    later.name = "Later";
    later.boundMessage = MSG_START_GAME;
    later.source = "this.timercommand(3.0, action_start());";
    check->m_Scripts.push_back(later);
    CQVScript capture;
    capture.name = "Capture";
    capture.boundMessage = MSG_ACTION_START;
    capture.source = "sys.capture_backbuffer((640, 480));\nsys.capture_save(\"shot.tga\");\nsys.exit_engine();";
    check->m_Scripts.push_back(capture);
    const std::string file = (dir / "Data" / "Globals.qva").string();
    ASSERT_EQ(g_ActorSystem->SaveActors(file.c_str(), 10, 3000, 0), 1) << g_ActorSystem->GetError();
    ResetGlobals();
}

// The 0xRRGGBB pixels of an uncompressed 24- or 32-bit TGA.
std::vector<uint32_t> ReadTga(const std::filesystem::path& path, int* width, int* height) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<uint32_t> pixels;
    if (bytes.size() < 18 || bytes[2] != 2) return pixels;
    *width = bytes[12] | bytes[13] << 8;
    *height = bytes[14] | bytes[15] << 8;
    const size_t step = bytes[16] / 8;
    if (step < 3 || bytes.size() < 18 + step * static_cast<size_t>(*width) * static_cast<size_t>(*height)) return {};
    for (size_t i = 0; i < static_cast<size_t>(*width) * static_cast<size_t>(*height); ++i) {
        const uint8_t* p = bytes.data() + 18 + i * step;
        pixels.push_back(static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0]);
    }
    return pixels;
}

TEST(SampleLevelScreen, ShowsTheRoomsAFewSecondsIn) {
    SampleFolder sample;
    ASSERT_TRUE(sample.Make());
    AddScreenCheck(sample.dir);
    if (HasFatalFailure()) return;

    pid_t pid = StartProgram(
        "game", {"-win=1", "-w=" + std::to_string(kWidth), "-h=" + std::to_string(kHeight), "-s=0"}, sample.dir);
    ASSERT_GT(pid, 0);
    const int result = WaitChildExit(pid, 120000);
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        WaitChildExit(pid, 10000);
    }
    ASSERT_EQ(result, 0);

    int width = 0, height = 0;
    const std::vector<uint32_t> shot = ReadTga(sample.dir / "shot.tga", &width, &height);
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    ASSERT_EQ(shot.size(), static_cast<size_t>(kWidth * kHeight));
    // Textured, lit walls and floors give many colours; an empty screen one.
    const std::set<uint32_t> colours(shot.begin(), shot.end());
    EXPECT_GT(colours.size(), 200u);
    // Most of the screen is level, not the clear colour of the corner of an empty frame.
    size_t dark = 0;
    for (uint32_t p : shot) dark += ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 24;
    EXPECT_LT(dark, shot.size() / 2);
}

}  // namespace
