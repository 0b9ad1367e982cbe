// The sample data that `make run` starts on, made by our own tool: the game
// reads its resource library at start and runs frames.

#include "kernel/app/FrameLoop.h"
#include "kernel/app/GameMain.h"
#include "kernel/base/FrameTime.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Runs one of our programs to its end, in a folder when one is given, its
// standard error into a file when one is given; its exit status.
int RunProgram(const std::string& program, std::vector<std::string> arguments, const std::filesystem::path& folder = {},
               const std::filesystem::path& errors = {}) {
    const char* bin = std::getenv("QV_BIN_DIR");
    const std::string binary = std::string(bin ? bin : ".") + "/" + program;
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (!errors.empty()) posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the game in the folder until it has drawn a few frames; the items
// the library held then.
std::vector<std::string> RunGameIn(const std::filesystem::path& dir, uint32_t* framesRun) {
    const auto oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::vector<std::string> names;
    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> stop{false};
    std::thread quitter([&] {
        for (int i = 0; i < 5000 && !stop && g_FrameNumber < firstFrame + 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) {
            if (const CQVLibraryItem* item = g_Library.At(id)) names.push_back(item->name);
        }
        Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240 -s=0", 1);
    stop = true;
    quitter.join();
    std::filesystem::current_path(oldDir);
    EXPECT_EQ(result, 0);
    *framesRun = g_FrameNumber - firstFrame;
    return names;
}

TEST(SampleGame, StartsWithTheSampleLibraryAndRunsFrames) {
    Library_Reset();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_sample_" + std::to_string(::getpid()));
    ASSERT_EQ(RunProgram("qv_make_sample", {dir.string()}), 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "DARarezev.edo"));
    uint32_t frames = 0;
    const std::vector<std::string> names = RunGameIn(dir, &frames);
    std::filesystem::remove_all(dir);
    EXPECT_GE(frames, 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"Floor", "Platform", "Sun", "Text"}));
    EXPECT_EQ(CQVEngine::GetInstance()->worldScale, 100.0f);
}

// A damaged library ends the game at start with result 0 and says why on
// standard error.
TEST(SampleGame, ADamagedLibraryEndsTheGameWithItsErrorText) {
    const auto dir = std::filesystem::temp_directory_path() / ("qv_damaged_" + std::to_string(::getpid()));
    ASSERT_EQ(RunProgram("qv_make_sample", {dir.string()}), 0);
    std::filesystem::resize_file(dir / "DARarezev.edo", std::filesystem::file_size(dir / "DARarezev.edo") - 3);
    const auto errors = dir / "errors.txt";
    EXPECT_EQ(RunProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir, errors), 0);
    std::ifstream in(errors);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove_all(dir);
    EXPECT_NE(text.find("DARarezev.edo: Fatal Library Serialization Error"), std::string::npos) << text;
}

}  // namespace
