#include "kernel/base/Random.h"

namespace {
uint32_t g_RandomState = 1;
}

void Random_Seed(uint32_t seed) { g_RandomState = seed; }

int Random_Next() {
    g_RandomState = g_RandomState * 214013u + 2531011u;
    return static_cast<int>((g_RandomState >> 16) & 0x7FFF);
}
