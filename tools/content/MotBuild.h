#pragma once
// Motions made in code for the sample data and the fixtures.

#include "tools/content/MotWriter.h"
#include "tools/content/QvmWriter.h"

#include <vector>

// One second of walking in place for a figure with the usual character rig
// (MeshBuild_Figure): legs and arms swing in opposite phase, knees bend on
// the forward swing and the pelvis bobs twice per stride. Every bone of the
// figure gets a track, its positions the bone's joint relative to its parent
// at the bind pose (from the offset matrices). The root displacement is
// kWalkStride forward (+z) per second.
MotFile MotBuild_Walk(const std::vector<QvmBone>& bones);

constexpr float kWalkLength = 1.0f;
constexpr float kWalkStride = 120.0f;
