#pragma once
// A broken promise stops the fuzz run where it was found.

#include <cstdio>
#include <cstdlib>

inline void Fuzz_CheckAt(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}

#define Check(condition) Fuzz_CheckAt((condition), #condition, __LINE__)
