#pragma once
// The game's random numbers: the classic runtime generator (0 to 32767,
// seeded by Random_Seed), the same sequence on every machine.

#include <cstdint>

constexpr int RANDOM_MAX = 32767;

void Random_Seed(uint32_t seed);
int Random_Next();
