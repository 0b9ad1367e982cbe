#pragma once
// Motions made in code for the sample data and the fixtures, for a figure
// with the usual character rig (MeshBuild_Figure). Every bone of the figure
// gets a track, its positions the bone's joint relative to its parent at the
// bind pose (from the offset matrices); the root "Bip01" bobs and turns but
// stays in place, the distance a motion carries the character being its
// root displacement.

#include "tools/content/MotWriter.h"
#include "tools/content/QvmWriter.h"

#include <string>
#include <vector>

// One second of walking in place: legs and arms swing in opposite phase,
// knees bend on the forward swing and the pelvis bobs twice per stride.
// The root displacement is kWalkStride forward (-z, the way the figure
// faces) per second.
MotFile MotBuild_Walk(const std::vector<QvmBone>& bones);

constexpr float kWalkLength = 1.0f;
constexpr float kWalkStride = 120.0f;

struct NamedMotion {
    std::string name;
    MotFile file;
};

// The figure's motions under the names characters ask for (a stance letter,
// '_' and a base name): "N_Neutral" standing and breathing, "N_Forward" the
// walk, "R_Forward" a run, "J_Neutral" a jump on the spot, "N_Die0" a fall
// onto the back and "N_Dead0" lying still, "N_Neutral_2_N_Forward" the
// step from standing into the walk, and "J_Forward" the jump out of a walk.
std::vector<NamedMotion> MotBuild_FigureMotions(const std::vector<QvmBone>& bones);

constexpr float kRunLength = 0.6f;
constexpr float kRunSpeed = 360.0f;  // units per second
