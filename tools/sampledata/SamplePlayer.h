#pragma once
// The sample level's player character: a FirstPerson Character without a
// body to see, standing in a corner of the first room. The game's start
// hands its copy to the master Player, which then reads the keyboard and
// mouse: the developer keys, slow motion and Escape work in the sample.

#include "tools/sampledata/SampleLevel.h"

void SamplePlayer_AddActors(SampleLevel& level);
