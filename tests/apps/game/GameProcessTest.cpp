// The game program started as a process, headless.

#include "tests/support/ChildProcess.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

class GameProcess : public testing::Test {
protected:
    std::filesystem::path dir;
    pid_t pid = -1;

    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("qv_proc_" + std::to_string(::getpid()) + "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(dir);
    }
    void Start(std::vector<std::string> args) {
        pid = StartProgram("game", std::move(args), dir);
        ASSERT_GT(pid, 0);
    }
    // "init.txt": base folder ".", start scene "Start.qva", the default globals file.
    bool WriteStartFile() {
        std::FILE* f = std::fopen((dir / "init.txt").c_str(), "wb");
        if (f == nullptr) return false;
        std::fputs(".\nStart.qva\n\nProcess Test\n", f);
        return std::fclose(f) == 0;
    }
    // "init.txt" as a pipe: the game's start-up waits at reading it until
    // the test writes, so the test knows where the game stands.
    bool MakeStartFilePipe() { return ::mkfifo((dir / "init.txt").c_str(), 0600) == 0; }
    // Opens the pipe's writing end once the game has opened "init.txt" (by
    // then its quit handling is in place); -1 when the game ended first.
    int WaitForStartFileReader() {
        for (int waited = 0; waited <= 20000; waited += 10) {
            const int fd = ::open((dir / "init.txt").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::fcntl(fd, F_SETFL, 0);
                return fd;
            }
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    static bool WriteStartLines(int fd) {
        const char lines[] = ".\nStart.qva\n\nProcess Test\n";
        const bool written = ::write(fd, lines, sizeof lines - 1) == static_cast<ssize_t>(sizeof lines - 1);
        return ::close(fd) == 0 && written;
    }
    int WaitExit(int timeoutMs) { return WaitChildExit(pid, timeoutMs); }
};

// Every failed start ends the program with a non-zero status (not a signal)
// and one line on standard error, so a launcher can tell it from a game
// that ran and quit.
TEST_F(GameProcess, AFailedStartEndsWithFailureAndOneLine) {
    struct Case {
        const char* name;
        const char* removed;    // from a complete game folder; "" keeps it whole
        const char* truncated;  // cut to half its size; "" cuts nothing
        bool oldDriver;         // no OpenGL 3.3: the device cannot be made
        const char* says;
    };
    const Case cases[] = {
        {"no start file", "init.txt", "", false, "cannot read the start file"},
        {"no library", "DARarezev.edo", "", false, "cannot read the resource library"},
        {"truncated library", "", "DARarezev.edo", false, "cannot read the resource library"},
        {"no start scene", "Data/Start.qva", "", false, "cannot load the actor file"},
        {"no device", "", "", true, "cannot open the graphics device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(WriteStartFile());
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
        if (*c.removed) {
            ASSERT_TRUE(std::filesystem::remove(dir / c.removed));
        }
        if (*c.truncated) {
            const auto path = dir / c.truncated;
            std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
        }
        const auto errors = std::filesystem::temp_directory_path() /
                            ("qv_proc_errors_" + std::to_string(::getpid()) + ".txt");
        if (c.oldDriver) ::setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1);
        pid = StartProgram("game", {"-win=1"}, dir, errors);
        if (c.oldDriver) ::unsetenv("MESA_GL_VERSION_OVERRIDE");
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitExit(20000), 1);
        std::ifstream file(errors);
        const std::string said((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::filesystem::remove(errors);
        EXPECT_EQ(said.rfind("game: start-up failed: ", 0), 0u) << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

TEST_F(GameProcess, RunsUntilAskedToQuit) {
    ASSERT_TRUE(MakeStartFilePipe());
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    Start({"-win=1", "-w=1024", "-h=768"});
    const int startFile = WaitForStartFileReader();
    ASSERT_GE(startFile, 0);
    ASSERT_TRUE(WriteStartLines(startFile));
    // Still running: it pumps messages and runs frames.
    ASSERT_EQ(WaitExit(1500), -1);
    ASSERT_GT(pid, 0);
    // The desktop's quit request (here a termination signal) ends it with quit code 0.
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitExit(20000), 0);
}

// A quit request that arrives while the game is still starting (here: while
// it reads "init.txt") ends it with quit code 0 once it gets that far.
TEST_F(GameProcess, QuitDuringStartUpIsServed) {
    ASSERT_TRUE(MakeStartFilePipe());
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    Start({"-win=1", "-w=1024", "-h=768"});
    const int startFile = WaitForStartFileReader();
    ASSERT_GE(startFile, 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(WriteStartLines(startFile));
    EXPECT_EQ(WaitExit(20000), 0);
}

}  // namespace
