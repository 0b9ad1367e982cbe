#pragma once
// The sample level's layout: rooms in a row along +z, each a draw group with
// its own shell mesh (floor, ceiling and brick walls with door openings),
// joined by open portals in the doorways. The other pieces of the level
// stand in these rooms.

#include "tools/sampledata/SampleLevel.h"

constexpr uint32_t kSampleRoomCount = 4;
constexpr float kSampleRoomSize = 800.0f;   // along x and z
constexpr float kSampleRoomHeight = 300.0f;

// The shells' meshes and materials.
void SampleRooms_AddItems(SampleLevel& level);
// The level root under parent, the rooms, their shells and the portals.
void SampleRooms_Build(SampleLevel& level, CQVActor* parent);
