#pragma once
// Runs a call with no room for files beyond a size, as on a full disk: a
// write past it fails (the signal it would raise is ignored meanwhile).
// The limit and the signal's handling are back as they were afterwards.

#include <sys/resource.h>

#include <csignal>

template <typename Call>
auto FileSizeLimit_Run(rlim_t bytes, Call call) {
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    const auto result = call();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    return result;
}
