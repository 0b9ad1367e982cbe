// The game started as a process: with sound switched on it opens the sound
// device; on a machine without any it runs silent and says so once on
// standard error; "-s=0" starts it without trying.

#include "tests/support/ChildProcess.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct StartCase {
    const char* name;
    const char* soundOption;
    const char* drivers;  // OpenAL Soft's output drivers: "null" plays nowhere, an unknown name finds no device
    int messages;         // lines saying the game runs without sound
};

class GameStart : public testing::Test {
protected:
    std::filesystem::path dir;
    pid_t pid = -1;

    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir = std::filesystem::temp_directory_path() / ("qv_sound_start_" + std::to_string(::getpid()) + "_" + name);
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "init.txt") << ".\nStart.qva\n\nSound Start Test\n";
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(dir);
    }
    void Start(const char* soundOption, const char* drivers) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "ALSOFT_DRIVERS=", 15) != 0) env.emplace_back(*e);
        }
        env.push_back(std::string("ALSOFT_DRIVERS=") + drivers);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        pid = StartProgram("game", {"-win=1", "-w=320", "-h=240", soundOption}, dir, dir / "stderr.txt", envp.data());
        ASSERT_GT(pid, 0);
    }
    int WaitExit(int timeoutMs) { return WaitChildExit(pid, timeoutMs); }
    int CountMessages() {
        std::ifstream in(dir / "stderr.txt");
        std::stringstream text;
        text << in.rdbuf();
        const std::string all = text.str();
        int count = 0;
        for (size_t at = all.find(kMessage); at != std::string::npos; at = all.find(kMessage, at + 1)) ++count;
        return count;
    }
    static constexpr const char* kMessage = "the game runs without sound";
};

class SoundStartTest : public GameStart, public testing::WithParamInterface<StartCase> {};

// Without a globals file the start fails (status 1) right after the engine
// and its sound started, so standard error then shows what the start said.
TEST_P(SoundStartTest, SaysOnceWhenThereIsNoDevice) {
    const StartCase& c = GetParam();
    Start(c.soundOption, c.drivers);
    ASSERT_EQ(WaitExit(60000), 1);
    EXPECT_EQ(CountMessages(), c.messages);
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundStartTest,
                         testing::Values(StartCase{"SoundDevice", "-s=1", "null", 0},
                                         StartCase{"NoSoundDevice", "-s=1", "nosuchdriver", 1},
                                         StartCase{"SoundSwitchedOff", "-s=0", "nosuchdriver", 0}),
                         [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// With its content the game goes on running silent once it has said so.
TEST_F(GameStart, RunsSilentWithoutADevice) {
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    Start("-s=1", "nosuchdriver");
    for (int waited = 0; waited < 60000 && CountMessages() == 0; waited += 20) {
        ASSERT_EQ(WaitExit(20), -1) << "the game ended at start";
    }
    EXPECT_EQ(CountMessages(), 1);
    EXPECT_EQ(WaitExit(1000), -1);
}

}  // namespace
