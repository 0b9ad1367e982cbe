#pragma once
// Starting one of the build's programs as a player would (the game in its
// data folder) and waiting for it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// Starts a program of the build (from QV_BIN_DIR) with these arguments, in
// folder when one is given, its standard error into the file errors when one
// is given, with env as its environment (this process's by default); its
// pid, or -1 when it could not be started.
inline pid_t StartProgram(const std::string& program, std::vector<std::string> arguments,
                          const std::filesystem::path& folder = {}, const std::filesystem::path& errors = {},
                          char* const* env = environ) {
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
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Exit status of the child (128 + signal when killed), or -1 while it is
// still running after the timeout. A reaped child's pid is set to -1.
inline int WaitChildExit(pid_t& pid, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}
