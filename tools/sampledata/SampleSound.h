#pragma once
// The sample level's sounds: a crackling torch heard from its place in the
// first room, and an ambience of its own for each room that fades in as the
// room comes into view and out as it leaves it.

struct SampleLevel;

// The library's sounds and their WAV files: the default sound at id 1 (a
// new Sound starts on it), the torch, and one ambience per room.
void SampleSound_AddItems(SampleLevel& level);
// The torch Sound, the "Ambience" actor under the level root and, in each
// room, a cue whose scripts start and stop the room's ambience slot as the
// room's draw group starts and stops being drawn.
void SampleSound_AddActors(SampleLevel& level);
