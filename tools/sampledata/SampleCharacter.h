#pragma once
// The sample level's Character: the skinned figure as the body of a
// Character that walks a square in the third room, turned at its corners
// and made to leap once a round by its own timed commands, on floors the
// collision pass holds it up on.

#include "tools/sampledata/SampleLevel.h"

// The square's corner where the walk starts, and its side.
constexpr float kSampleCharacterX = 120.0f;
constexpr float kSampleCharacterZ = 1380.0f;
constexpr float kSampleCharacterSide = 240.0f;
// The round of the walk, and the time in it at which the body leaps.
constexpr float kSampleCharacterRound = 8.0f;
constexpr float kSampleCharacterJump = 3.8f;

// A floor under every room, and the Character.
void SampleCharacter_AddActors(SampleLevel& level);
