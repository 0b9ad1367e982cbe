#pragma once
// The sample level's particle fountain: its texture atlas and material, and
// the emitter in the first room.

struct SampleLevel;

// The atlas texture "Particle Atlas" (1400, particles.tga) and the blended,
// unlit material "Particles" (1401) on it.
void SampleParticle_AddItems(SampleLevel& level);
// A fountain in the middle of the first room's floor.
void SampleParticle_AddActors(SampleLevel& level);
