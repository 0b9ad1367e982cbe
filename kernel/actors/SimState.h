#pragma once
// An actor's simulation parameter block and its simulation state record.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <vector>

// 35 words: 0 style, 1 (1.0), 2 to 4 a vector not saved, 5 to 7 a vector
// (1, 1, 1), 8 (1.0), 9 gravity multiplier, 10 (1.0), 11 (900), 12 and 13
// (36), 14 (1.0), 15 flags (bit 2: send simulation events), 16 onwards the
// simulation pass's run-time state.
constexpr int SIM_WORD_FLAGS = 15;
constexpr uint32_t SIM_FLAG_EVENTS = 0x4; // send the "On Sim" events
// Run-time words of the simulation pass: rotation 16 to 19, spin axis 20 to
// 22, spin speed 23, the body's motion state 24.
constexpr int SIM_WORD_STATE = 24;
constexpr uint32_t SIM_STATE_FREE = 0;
constexpr uint32_t SIM_STATE_SLIDING = 1;
constexpr uint32_t SIM_STATE_RESTING = 2;

struct SimParams {
    uint32_t words[35];
    SimParams();
};
static_assert(sizeof(SimParams) == 140);

struct SimContact {
    uint32_t words[10];
};

struct SimState {
    uint32_t word0 = 0;
    uint32_t contactCount = 0;
    Vector3 previousPosition = Vector3(0.0f, 0.0f, 0.0f);
    // The contacts the collision pass recorded for the actor; those of an
    // earlier pass make way for a new pass's, so the list holds one pass's at most.
    std::vector<SimContact> contacts;
    std::vector<SimContact> second;
    uint32_t passIndex = 0;  // the actor's place among the collision pass's contacted actors
    uint32_t contactsPass = 0;  // the collision pass that recorded the contacts
};
