#pragma once
// Waiting for a program a test started (the game run as a player would).

#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

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
