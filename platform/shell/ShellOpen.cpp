#include "platform/shell/ShellOpen.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace {

// Programs started earlier, reaped as they end so none lingers.
std::vector<pid_t> g_Started;

void ReapEnded() {
    std::erase_if(g_Started, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

bool IsProgram(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool Spawn(const std::string& program, bool searchPath, const std::vector<std::string>& arguments,
           const std::string& folder) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int result = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                                  : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) return false;
    g_Started.push_back(pid);
    return true;
}

}  // namespace

std::vector<std::string> Platform_SplitParameters(const std::string& parameters) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

bool Platform_ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) {
    ReapEnded();
    if (file.empty()) return false;
    // A relative name counts from the folder the program is started in; it
    // is made absolute, since the start changes folder before it runs.
    std::string located = !folder.empty() && file[0] != '/' ? folder + "/" + file : file;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(located, error);
    if (!error) located = absolute.lexically_normal().string();
    if (IsProgram(located)) return Spawn(located, false, Platform_SplitParameters(parameters), folder);
    if (file.find('/') == std::string::npos && !Exists(located)) {
        return Spawn(file, true, Platform_SplitParameters(parameters), folder);
    }
    return Spawn("xdg-open", true, {located}, folder);
}
