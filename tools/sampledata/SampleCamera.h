#pragma once
// The sample level's view and air: a Free camera riding the camera rig
// (level.cameraRig, or the level root while there is none), current from the
// level's start, and an Environment preset with the level's fog, clear
// colour and ambient light that copies itself into the system Environment
// when the game starts.

#include "tools/sampledata/SampleLevel.h"

// Library items of this piece: none (ids 1200 to 1299 are kept for it).
void SampleCamera_AddItems(SampleLevel& level);
// The camera and the Environment preset.
void SampleCamera_AddActors(SampleLevel& level);
