#pragma once
// The sample level's skinned figure: the jointed figure of the content
// tools standing in the second room, a SkinObject that takes its motions by
// their prefix and plays them in a round: standing, the step into a walk,
// a run, a jump, a fall onto its back and lying there, then up again.

#include "tools/sampledata/SampleLevel.h"

// The figure stands at this place of the second room (x and z from the
// room's middle), facing +z, so that a camera can be aimed at it.
constexpr float kSampleFigureX = -170.0f;
constexpr float kSampleFigureZ = -230.0f;

// Library ids 1600 to 1699: the mesh, its material and the motions, with their files.
void SampleFigure_AddItems(SampleLevel& level);
// The SkinObject "Figure" in the second room with its round of motions.
void SampleFigure_AddActors(SampleLevel& level);
