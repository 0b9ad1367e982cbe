#pragma once
// The sample level's guard: a Guard in the fourth room that clones its
// template Character (the skinned figure, kept out of every room) at start
// and walks it along a path of two nodes, back and forth.

#include "tools/sampledata/SampleLevel.h"

// The guard's place, the root of its path, and its two nodes' offsets from
// it: first along +z, then along -x.
constexpr float kSampleGuardX = 150.0f;
constexpr float kSampleGuardZ = 2200.0f;
constexpr float kSampleGuardLeg = 300.0f;

void SampleGuard_AddActors(SampleLevel& level);
