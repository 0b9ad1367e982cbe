#include "tools/sampledata/SampleLight.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "platform/graphics/D3D8Types.h"

#include <cmath>
#include <string>

namespace {

// Warm lamp colours, one per room in turn.
constexpr D3DCOLORVALUE kLampColors[] = {
    {1.0f, 0.85f, 0.6f, 1.0f},
    {0.9f, 0.95f, 1.0f, 1.0f},
    {1.0f, 0.7f, 0.45f, 1.0f},
    {0.8f, 1.0f, 0.8f, 1.0f},
};

// "Set Light Type" takes the sheet's list index.
constexpr uint32_t kPointType = 0;
constexpr uint32_t kSpotType = 1;

void Lamp(SampleLevel& level, const SampleRoom& room, size_t index) {
    CQVActor* lamp = level.Make(CLASS_LIGHT, ("Lamp " + std::to_string(index + 1)).c_str(), room.group);
    if (lamp == nullptr) return;
    const Vector3 centre((room.min.x + room.max.x) * 0.5f, room.max.y - 60.0f, (room.min.z + room.max.z) * 0.5f);
    const float reach = std::fabs(room.max.x - room.min.x) * 0.75f;
    Sample_Send(lamp, MSG_SET_LIGHT_TYPE, kPointType);
    Sample_Send(lamp, MSG_SET_POSITION, centre);
    Sample_Send(lamp, MSG_SET_DIFFUSE_COLOR, kLampColors[index % std::size(kLampColors)]);
    Sample_Send(lamp, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.08f, 0.07f, 0.06f, 1.0f});
    Sample_Send(lamp, MSG_SET_RADIUS, reach);
    // Full near the lamp, falling mostly with distance toward the walls.
    Sample_Send(lamp, MSG_SET_ATTENUATION_OFFSET, 1.0f);
    Sample_Send(lamp, MSG_SET_ATTENUATION_STRENGTH, 1.5f);
    Sample_Send(lamp, MSG_SET_ATTENUATION_STYLE, 0.7f);
}

// A spot from the door side of the first room onto its far wall.
void WallSpot(SampleLevel& level, const SampleRoom& room) {
    CQVActor* spot = level.Make(CLASS_LIGHT, "Wall Spot", room.group);
    if (spot == nullptr) return;
    const Vector3 at((room.min.x + room.max.x) * 0.5f, 200.0f, room.min.z + 150.0f);
    Sample_Send(spot, MSG_SET_LIGHT_TYPE, kSpotType);
    Sample_Send(spot, MSG_SET_POSITION, at);  // the local z axis looks along +z, at the far wall
    Sample_Send(spot, MSG_SET_DIFFUSE_COLOR, D3DCOLORVALUE{0.5f, 0.6f, 1.0f, 1.0f});
    Sample_Send(spot, MSG_SET_RADIUS, std::fabs(room.max.z - room.min.z));
    Sample_Send(spot, MSG_SET_ATTENUATION_STRENGTH, 0.5f);
    Sample_Send(spot, MSG_SET_THETA, 0.35f);
    Sample_Send(spot, MSG_SET_PHI, 0.7f);
    Sample_Send(spot, MSG_SET_FALLOFF, 1.0f);
}

}  // namespace

void SampleLight_AddItems(SampleLevel& level) { (void)level; }

void SampleLight_AddActors(SampleLevel& level) {
    for (size_t i = 0; i < level.rooms.size(); ++i) Lamp(level, level.rooms[i], i);
    if (!level.rooms.empty()) WallSpot(level, level.rooms.front());
}
