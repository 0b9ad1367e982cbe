#pragma once
// Our programs run as a player runs them: the sample tool writing its
// folder, the game started in a folder with its standard error kept.

#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// Runs one of our programs to its end, in a folder when one is given, its
// standard error into a file when one is given; its exit status.
inline int RunProgram(const std::string& program, std::vector<std::string> arguments,
                      const std::filesystem::path& folder = {}, const std::filesystem::path& errors = {}) {
    const pid_t pid = StartProgram(program, std::move(arguments), folder, errors);
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A sample data folder of its own for one test, removed with it.
struct SampleFolder {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("qv_sample_" + std::to_string(::getpid()) + "_" +
                                 testing::UnitTest::GetInstance()->current_test_info()->name());
    bool Make() { return RunProgram("qv_make_sample", {dir.string()}) == 0; }
    ~SampleFolder() {
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
};
