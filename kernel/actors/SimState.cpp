#include "kernel/actors/SimState.h"

#include <cstring>

SimParams::SimParams() {
    std::memset(words, 0, sizeof(words));
    auto setFloat = [this](int word, float value) { std::memcpy(&words[word], &value, 4); };
    setFloat(1, 1.0f);
    setFloat(5, 1.0f);
    setFloat(6, 1.0f);
    setFloat(7, 1.0f);
    setFloat(8, 1.0f);
    setFloat(9, 1.0f);  // gravity multiplier
    setFloat(10, 1.0f);
    setFloat(11, 900.0f);
    setFloat(12, 36.0f);
    setFloat(13, 36.0f);
    setFloat(14, 1.0f);
    words[15] = 0x4; // send simulation events
}
