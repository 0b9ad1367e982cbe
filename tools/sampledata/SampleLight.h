#pragma once
// The sample level's lights: a lamp under the ceiling of every room, each
// in its room's draw group, so it fades in as the room comes into view and
// out when it leaves it, and a cool spot light on the far wall of the
// first room. Lights need no library items.

#include "tools/sampledata/SampleLevel.h"

void SampleLight_AddItems(SampleLevel& level);
void SampleLight_AddActors(SampleLevel& level);
