#pragma once
// The sample level's sounds: a crackling torch heard from its place in the
// first room, and an air of its own in each room, heard from the middle of
// the room: it fills its room and fades as the listener leaves it.

struct SampleLevel;

// The library's sounds and their WAV files: the default sound at id 1 (a
// new Sound starts on it), the torch, and one air per room.
void SampleSound_AddItems(SampleLevel& level);
// The torch Sound and each room's "Room Air" Sound, all looping 3D sounds
// that start as their room comes into view.
void SampleSound_AddActors(SampleLevel& level);
