#include "tools/sampledata/SampleRooms.h"

#include "actors/scene/Object.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MeshBuild.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// Library ids of this piece (700 to 999).
constexpr uint32_t kShellMaterial = 700;  // one per room
constexpr uint32_t kShellMesh = 710;      // one per room
constexpr uint32_t kBrickTexture = 11;    // the sample library's "Brick Wall"
constexpr uint32_t kLightMapTexture = 720;  // shared by every shell
constexpr uint32_t kLightMapSide = 128;
constexpr float kBrickTile = 100.0f;

constexpr float kDoorWidth = 160.0f, kDoorHeight = 220.0f;
// The cells overlap a little at the doorways, so a camera passing through
// is always inside one of them.
constexpr float kCellOverlap = 5.0f;
constexpr float kPortalRadius = 80.0f;

float RoomCentreZ(uint32_t i) { return static_cast<float>(i) * kSampleRoomSize; }

// Tints of the brick for the rooms, so each one is told apart on screen.
constexpr float kTints[kSampleRoomCount][3] = {
    {1.0f, 1.0f, 1.0f}, {0.75f, 0.85f, 1.0f}, {1.0f, 0.9f, 0.65f}, {0.8f, 1.0f, 0.8f}};

// The light baked into the shells, one picture every face of a room spans
// once (the second coordinates run 0 to 1 across each floor, ceiling and
// wall): a warm pool in the middle of the face, as under the room's lamp,
// falling off toward its edges and darkest in the corners where faces meet.
// The device doubles it over the lit texture, so 128 leaves a texel as it is.
std::vector<uint32_t> RoomLightMap(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    const auto smooth = [](float edge0, float edge1, float x) {
        const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
        return t * t * (3.0f - 2.0f * t);
    };
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(side);
            const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(side);
            const float du = u - 0.5f, dv = v - 0.5f;
            const float pool = 0.55f + 0.8f * std::exp(-(du * du + dv * dv) * 8.0f);
            const float edge = std::min({u, 1.0f - u, v, 1.0f - v});
            const float occlusion = 0.55f + 0.45f * smooth(0.0f, 0.15f, edge);
            const float light = pool * occlusion * 128.0f;
            const auto channel = [&](float tint) {
                return static_cast<uint32_t>(std::clamp(light * tint, 0.0f, 255.0f));
            };
            pixels[y * side + x] = 0xFF000000u | channel(1.0f) << 16 | channel(0.92f) << 8 | channel(0.8f);
        }
    }
    return pixels;
}

}  // namespace

void SampleRooms_AddItems(SampleLevel& level) {
    const float half = kSampleRoomSize / 2;
    const std::vector<uint32_t> lightMap = RoomLightMap(kLightMapSide);
    level.Written(ImageWriter_Save((level.data / "room_light.tga").string(),
                                   ImageWriter_Tga(lightMap.data(), kLightMapSide, kLightMapSide, {})),
                  "room_light.tga");
    level.library->AddTexture(kLightMapTexture, "Room Light Map", "room_light.tga", kLightMapSide, kLightMapSide);
    for (uint32_t i = 0; i < kSampleRoomCount; ++i) {
        const std::string number = std::to_string(i + 1);
        CQVMaterialItem* material = level.library->AddMaterial(kShellMaterial + i, "Room Shell " + number, {kBrickTexture});
        material->material.Diffuse = {kTints[i][0], kTints[i][1], kTints[i][2], 1.0f};
        material->material.Ambient = material->material.Diffuse;

        // Doorways in the walls toward the neighbours: wall 0 at the lower z, wall 2 at the higher.
        std::vector<RoomOpening> doors;
        const RoomOpening door{0, half - kDoorWidth / 2, kDoorWidth, 0.0f, kDoorHeight};
        if (i > 0) doors.push_back(door);
        if (i + 1 < kSampleRoomCount) doors.push_back(RoomOpening{2, door.offset, door.width, door.bottom, door.height});
        MeshGeometry shell = MeshBuild_Room(Vector3(-half, 0.0f, -half), Vector3(half, kSampleRoomHeight, half), doors);
        // The bricks repeat every kBrickTile units; the light map keeps
        // spanning each face once.
        for (MeshVertex& v : shell.vertices) {
            const bool flat = std::fabs(v.normal.y) > 0.5f;
            v.uv.x *= kSampleRoomSize / kBrickTile;
            v.uv.y *= (flat ? kSampleRoomSize : kSampleRoomHeight) / kBrickTile;
        }
        const std::string file = "room" + number + ".qvm";
        // Light-mapped: the shell's vertices carry the second coordinates.
        level.Written(Qvm_WriteFile((level.data / file).string(), MeshBuild_RigidFile({MeshBuild_ToSubset(shell, true)})),
                      file);
        CQVMeshItem* mesh = level.library->AddMesh(kShellMesh + i, "Room " + number, file);
        mesh->subsetInfos.resize(1);
        mesh->subsetInfos[0].shapeParam = kShellMaterial + i;
        mesh->subsetInfos[0].lightMapId = static_cast<int32_t>(kLightMapTexture);
    }
}

void SampleRooms_Build(SampleLevel& level, CQVActor* parent) {
    level.root = level.Make(CLASS_BASE, "Rooms Level", parent);
    if (level.root == nullptr) return;
    const float half = kSampleRoomSize / 2;
    for (uint32_t i = 0; i < kSampleRoomCount; ++i) {
        const std::string number = std::to_string(i + 1);
        CQVActor* group = level.Make(CLASS_DRAW_GROUP, ("Room " + number).c_str(), level.root);
        if (group == nullptr) return;
        const float z = RoomCentreZ(i);
        SampleRoom room{group, Vector3(-half, -10.0f, z - half - kCellOverlap),
                        Vector3(half, kSampleRoomHeight + 10.0f, z + half + kCellOverlap)};
        Sample_Send(group, MSG_SET_BOX_MIN, room.min);
        Sample_Send(group, MSG_SET_BOX_MAX, room.max);
        level.rooms.push_back(room);

        // The shell takes its mesh by id: the mesh loads with the level.
        auto* shell = dynamic_cast<CQVObject*>(level.Make(CLASS_OBJECT, ("Room Shell " + number).c_str(), group));
        if (shell == nullptr) return;
        shell->m_MeshId = kShellMesh + i;
        if (!shell->m_Entries.empty()) shell->m_Entries[0].materialId = kShellMaterial + i;
        Sample_Send(shell, MSG_SET_POSITION, Vector3(0.0f, 0.0f, z));

        if (i == 0) continue;
        // The portal in the doorway toward the room before.
        CQVActor* portal = level.Make(CLASS_DRAW_GROUP_CONNECTOR, ("Doorway " + number).c_str(), level.root);
        if (portal == nullptr) return;
        Sample_Send(portal, MSG_SET_POSITION, Vector3(0.0f, kDoorHeight / 2, z - half));
        Sample_Send(portal, MSG_SET_RADIUS, kPortalRadius);
        portal->HandleMessage(MSG_OPEN_CONNACTOR, nullptr);
    }
}
