#include "tools/sampledata/SampleObject.h"

#include "actors/scene/Lod.h"
#include "actors/scene/Object.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MeshBuild.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

// Library ids of the pieces.
enum : uint32_t {
    TEXTURE_WOOD = 1000,
    TEXTURE_STONE = 1001,
    TEXTURE_CLOTH = 1002,
    MATERIAL_CRATE = 1020,
    MATERIAL_STONE = 1021,
    MATERIAL_FLAG = 1022,
    MATERIAL_TOWER_NEAR = 1023,
    MATERIAL_TOWER_FAR = 1024,
    MATERIAL_STATUE = 1025,
    MESH_CRATE = 1040,
    MESH_COLUMN = 1041,
    MESH_FLAG = 1042,
    MESH_TOWER_HIGH = 1043,
    MESH_TOWER_LOW = 1044,
    MESH_STATUE = 1045,
};

// The waving flag's frames: its animation lasts (12 - 1) / 30 s.
constexpr uint32_t kFlagFrames = 12;

// Render buckets a material draws into: the opaque scene, the shadow volumes.
constexpr uint32_t kOpaqueBucket = 1u << 3;
constexpr uint32_t kShadowBucket = 1u << 4;

// Shape types of the meshes' subsets: a box the bodies collide with.
constexpr uint32_t kShapeBox = 2;

// Planks: lengthwise grain in two browns with darker seams.
std::vector<uint32_t> Planks(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const bool seam = y % 16 == 0 || x == 0 || x == side - 1;
            const uint32_t grain = ((x * 13 + y * 5) % 7) * 0x030200u;
            pixels[y * side + x] = seam ? 0xFF4A2E16u : 0xFF9A6B3Cu + grain;
        }
    }
    return pixels;
}

// Grey stone blocks with light joints.
std::vector<uint32_t> Stone(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        const uint32_t shift = (y / 16) % 2 == 0 ? 0 : 16;
        for (uint32_t x = 0; x < side; ++x) {
            const bool joint = y % 16 == 0 || (x + shift) % 32 == 0;
            const uint32_t speck = ((x * 7 + y * 11) % 5) * 0x050505u;
            pixels[y * side + x] = joint ? 0xFFB8B4ACu : 0xFF6E6C68u + speck;
        }
    }
    return pixels;
}

// Red cloth with a yellow band.
std::vector<uint32_t> Cloth(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) pixels[y * side + x] = (y / 8) % 4 == 1 ? 0xFFE0C020u : 0xFFB02020u;
    }
    return pixels;
}

// A mesh item of one subset: its shape record names the material.
// The game reads the library without loading its items, so an object's
// animation length comes from the frame count stored with the item.
void AddMeshItem(SampleLevel& level, uint32_t id, const char* name, const char* file, uint32_t material,
                 uint32_t frames = 1) {
    CQVMeshItem* mesh = level.library->AddMesh(id, name, file);
    if (mesh == nullptr) {
        level.ok = false;
        return;
    }
    mesh->frameWord = frames;
    mesh->subsetInfos.resize(1);
    mesh->subsetInfos[0].shapeType = kShapeBox;
    mesh->subsetInfos[0].shapeParam = material;
}

// The level's own copy of a mesh item's shape records, so that "Set Mesh"
// can take it here, where the library is not loaded.
CQVMeshItem* LevelMesh(uint32_t id, const char* name, uint32_t material) {
    if (auto* mesh = dynamic_cast<CQVMeshItem*>(g_Library.At(id))) return mesh;
    auto* mesh = new CQVMeshItem;
    mesh->name = name;
    mesh->loaded = 1;
    mesh->subsetInfos.resize(1);
    mesh->subsetInfos[0].shapeType = kShapeBox;
    mesh->subsetInfos[0].shapeParam = material;
    g_Library.SetItem(id, mesh);
    return mesh;
}

// Materials the meshes name: their ids are what the object stores.
void LevelMaterial(uint32_t id, const char* name) {
    if (g_Library.At(id) != nullptr) return;
    auto* material = new CQVMaterialItem;
    material->name = name;
    material->loaded = 1;
    g_Library.SetItem(id, material);
}

CQVObject* PlaceMesh(SampleLevel& level, CQVActor* parent, const char* name, CQVMeshItem* mesh,
                     const Vector3& position) {
    auto* object = static_cast<CQVObject*>(level.Make(CLASS_OBJECT, name, parent));
    if (object == nullptr) return nullptr;
    if (Sample_Send(object, MSG_SET_MESH, mesh) != 1) level.ok = false;
    Sample_Send(object, MSG_SET_POSITION, position);
    return object;
}

}  // namespace

void SampleObject_AddItems(SampleLevel& level) {
    const auto image = [&](const char* name, const std::vector<uint32_t>& pixels, uint32_t side) {
        level.Written(ImageWriter_Save((level.data / name).string(), ImageWriter_Tga(pixels.data(), side, side, {})),
                      name);
    };
    image("sample_wood.tga", Planks(64), 64);
    image("sample_stone.tga", Stone(64), 64);
    image("sample_cloth.tga", Cloth(32), 32);
    level.library->AddTexture(TEXTURE_WOOD, "Sample Wood", "sample_wood.tga", 64, 64);
    level.library->AddTexture(TEXTURE_STONE, "Sample Stone", "sample_stone.tga", 64, 64);
    level.library->AddTexture(TEXTURE_CLOTH, "Sample Cloth", "sample_cloth.tga", 32, 32);

    // Lit materials: the rooms' lights and the ambient light shade them.
    const auto material = [&](uint32_t id, const char* name, std::vector<uint32_t> textures, float r, float g,
                              float b) {
        CQVMaterialItem* item = level.library->AddMaterial(id, name, std::move(textures));
        if (item == nullptr) {
            level.ok = false;
            return item;
        }
        item->material.Diffuse = {r, g, b, 1.0f};
        item->material.Ambient = {r, g, b, 1.0f};
        return item;
    };
    // Crates, columns and the statue stand solid: drawn with the opaque
    // scene and then again as shadow casters, each darkening the floor
    // beside it away from the light the shadow pass puts above every caster.
    for (CQVMaterialItem* caster : {material(MATERIAL_CRATE, "Sample Crate", {TEXTURE_WOOD}, 1.0f, 1.0f, 1.0f),
                                    material(MATERIAL_STONE, "Sample Column", {TEXTURE_STONE}, 1.0f, 1.0f, 1.0f),
                                    material(MATERIAL_STATUE, "Sample Statue", {TEXTURE_STONE}, 1.0f, 0.9f, 0.65f)}) {
        if (caster != nullptr) caster->bucketMask = kOpaqueBucket | kShadowBucket;
    }
    material(MATERIAL_FLAG, "Sample Flag", {TEXTURE_CLOTH}, 1.0f, 1.0f, 1.0f);
    material(MATERIAL_TOWER_NEAR, "Sample Tower Near", {TEXTURE_STONE}, 0.9f, 0.85f, 0.7f);
    material(MATERIAL_TOWER_FAR, "Sample Tower Far", {}, 0.55f, 0.5f, 0.45f);

    const auto mesh = [&](const char* file, const QvmFile& qvm) { level.Written(Qvm_WriteFile((level.data / file).string(), qvm), file); };
    const auto rigid = [](const MeshGeometry& geometry) {
        return MeshBuild_RigidFile({MeshBuild_ToSubset(geometry, false)});
    };
    mesh("sample_crate.qvm", rigid(MeshBuild_Box(Vector3(-40, 0, -40), Vector3(40, 80, 40))));
    mesh("sample_column.qvm", rigid(MeshBuild_Column(Vector3(0, 0, 0), 30, 300, 16)));
    // The tower in two details: a round one of many sides near, a square block far.
    mesh("sample_tower_high.qvm", rigid(MeshBuild_Column(Vector3(0, 0, 0), 60, 280, 32)));
    mesh("sample_tower_low.qvm", rigid(MeshBuild_Box(Vector3(-60, 0, -60), Vector3(60, 280, 60))));
    // The jointed figure standing still as a statue: its body without the skin.
    QvmSubset statue = MeshBuild_Figure(2).subsets.front();
    statue.skin.clear();
    mesh("sample_statue.qvm", MeshBuild_RigidFile({statue}));
    level.Written(Anb_WriteFile((level.data / "sample_flag.anb").string(), MeshBuild_WavingFlag(120, 70, 6, kFlagFrames)),
                  "sample_flag.anb");
    AddMeshItem(level, MESH_CRATE, "Sample Crate", "sample_crate.qvm", MATERIAL_CRATE);
    AddMeshItem(level, MESH_COLUMN, "Sample Column", "sample_column.qvm", MATERIAL_STONE);
    AddMeshItem(level, MESH_FLAG, "Sample Flag", "sample_flag.anb", MATERIAL_FLAG, kFlagFrames);
    AddMeshItem(level, MESH_TOWER_HIGH, "Sample Tower High", "sample_tower_high.qvm", MATERIAL_TOWER_NEAR);
    AddMeshItem(level, MESH_TOWER_LOW, "Sample Tower Low", "sample_tower_low.qvm", MATERIAL_TOWER_FAR);
    AddMeshItem(level, MESH_STATUE, "Sample Statue", "sample_statue.qvm", MATERIAL_STATUE);
}

void SampleObject_AddActors(SampleLevel& level) {
    if (level.rooms.empty()) return;
    LevelMaterial(MATERIAL_CRATE, "Sample Crate");
    LevelMaterial(MATERIAL_STONE, "Sample Column");
    LevelMaterial(MATERIAL_FLAG, "Sample Flag");
    LevelMaterial(MATERIAL_TOWER_NEAR, "Sample Tower Near");
    LevelMaterial(MATERIAL_TOWER_FAR, "Sample Tower Far");
    LevelMaterial(MATERIAL_STATUE, "Sample Statue");
    CQVMeshItem* crate = LevelMesh(MESH_CRATE, "Sample Crate", MATERIAL_CRATE);
    CQVMeshItem* column = LevelMesh(MESH_COLUMN, "Sample Column", MATERIAL_STONE);
    CQVMeshItem* flag = LevelMesh(MESH_FLAG, "Sample Flag", MATERIAL_FLAG);
    CQVMeshItem* towerHigh = LevelMesh(MESH_TOWER_HIGH, "Sample Tower High", MATERIAL_TOWER_NEAR);
    CQVMeshItem* towerLow = LevelMesh(MESH_TOWER_LOW, "Sample Tower Low", MATERIAL_TOWER_FAR);
    CQVMeshItem* statue = LevelMesh(MESH_STATUE, "Sample Statue", MATERIAL_STATUE);
    flag->frameWord = kFlagFrames;

    // In each room: crates stacked by the left wall, a column on each side of
    // the walk, the flag in the first room waving in a loop.
    for (size_t i = 0; i < level.rooms.size(); ++i) {
        const SampleRoom& room = level.rooms[i];
        const float cx = (room.min.x + room.max.x) * 0.5f, cz = (room.min.z + room.max.z) * 0.5f;
        const float side = (room.max.x - room.min.x) * 0.5f;
        PlaceMesh(level, room.group, "Crate", crate, Vector3(cx - side + 90.0f, 0.0f, cz - 120.0f));
        PlaceMesh(level, room.group, "Crate", crate, Vector3(cx - side + 90.0f, 0.0f, cz - 30.0f));
        if (CQVObject* top = PlaceMesh(level, room.group, "Crate", crate, Vector3(cx - side + 90.0f, 80.0f, cz - 75.0f))) {
            // Turned a little on the stack.
            Sample_Send(top, MSG_SET_QUATERNION, Quaternion{0.0f, std::sin(0.2f), 0.0f, std::cos(0.2f)});
        }
        PlaceMesh(level, room.group, "Column", column, Vector3(cx - 200.0f, 0.0f, cz + 150.0f));
        PlaceMesh(level, room.group, "Column", column, Vector3(cx + 200.0f, 0.0f, cz + 150.0f));
        if (i == 1) {
            // A crate turning and bobbing in the air on the right of the
            // second room, its shadow sliding over the floor below it.
            if (CQVActor* spinner = level.Make(CLASS_MATRIX_ANIMATION, "Spinner", room.group)) {
                Sample_Send(spinner, MSG_SET_MA_POSITION, Vector3(cx + 170.0f, 80.0f, cz - 100.0f));
                Sample_Send(spinner, MSG_SET_MA_ROTATION, Vector3(0.0f, 0.8f, 0.0f));
                spinner->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
                spinner->HandleMessage(MSG_MA_SELECT_LAYER, Args_Of("Layer 0"));
                Sample_Send(spinner, MSG_SET_MA_POSITION_SIN_MUL, Vector3(0.0f, 20.0f, 0.0f));
                Sample_Send(spinner, MSG_SET_MA_POSITION_SIN_FREQ, Vector3(1.0f, 1.5f, 1.0f));
                Sample_Send(spinner, MSG_SET_MA_ROTATION_SIN_MUL, Vector3(0.15f, 0.0f, 0.1f));
                Sample_Send(spinner, MSG_SET_MA_ROTATION_SIN_FREQ, Vector3(1.1f, 1.0f, 0.7f));
                // The crate's middle on the spinner's axis.
                PlaceMesh(level, spinner, "Spinning Crate", crate, Vector3(0.0f, -40.0f, 0.0f));
            }
        }
        if (i == 0) {
            // The statue in the open on the right, its shadow on the floor
            // toward the walk; its hands (82 from its middle) stay clear of
            // the camera's path, which wanders up to 40 either side of x = 0.
            PlaceMesh(level, room.group, "Statue", statue, Vector3(cx + 170.0f, 0.0f, cz - 60.0f));
            if (CQVObject* banner = PlaceMesh(level, room.group, "Flag", flag, Vector3(cx + side - 150.0f, 150.0f, cz))) {
                Sample_Send<uint32_t>(banner, MSG_SET_MESH_ANIMATION_STYLE_1C4, OBJECT_STYLE_FORWARD_LOOP);
                Sample_Send<uint32_t>(banner, MSG_SET_INITIAL_MESH_ANIMATION_PLAYING_1C6, 1);
                Sample_Send<uint32_t>(banner, MSG_SET_SYNC_COLLISION, 0);
            }
        }
    }

    // The tower at the far end of the last room: the round one nearer than
    // 900, the square block from there to 6000 (the whole level).
    const SampleRoom& last = level.rooms.back();
    if (CQVActor* lod = level.Make(CLASS_LOD, "Far Tower", last.group)) {
        const float cx = (last.min.x + last.max.x) * 0.5f;
        Sample_Send(lod, MSG_SET_POSITION, Vector3(cx + 220.0f, 0.0f, last.max.z - 160.0f));
        // The level children are the level's own actors (made here, so they
        // are saved with it); the Lod binds them by name.
        CQVActor* near = level.Make(CLASS_BASE, "Lev_1", lod);
        CQVActor* far = level.Make(CLASS_BASE, "Lev_2", lod);
        if (near && far) {
            // Both start hidden: the Lod's "Action Start" shows the level in use.
            for (auto [child, mesh] : {std::pair{near, towerHigh}, std::pair{far, towerLow}}) {
                if (CQVObject* tower = PlaceMesh(level, child, "Tower", mesh, Vector3(0.0f, 0.0f, 0.0f)))
                    Sample_Send<uint32_t>(tower, MSG_SET_VISIBLE, 0);
            }
            Sample_Send<uint32_t>(lod, MSG_SET_LOD_LEVEL_COUNT, 2);
            const struct {
                const char* level;
                float distance;
            } levels[] = {{"Level 1", 900.0f}, {"Level 2", 6000.0f}};
            for (const auto& l : levels) {
                lod->HandleMessage(MSG_LOD_SELECT_LEVEL, Args_Of(l.level));
                Sample_Send(lod, MSG_SET_LOD_LEVEL_DISTANCE, l.distance);
            }
        }
    }

    // The camera rig: at eye height on the rooms' middle line, swinging
    // from the first room to the last and back (about 40 s a round) while
    // it looks left and right and bobs a little. A camera held still needs none.
    if (level.shot != nullptr) return;
    CQVActor* rig = level.Make(CLASS_MATRIX_ANIMATION, "Camera Rig", level.root);
    if (rig == nullptr) return;
    const SampleRoom& first = level.rooms.front();
    const float startZ = first.min.z + 200.0f, endZ = last.max.z - 300.0f;
    const float cx = (first.min.x + first.max.x) * 0.5f;
    Sample_Send(rig, MSG_SET_MA_POSITION, Vector3(cx, 160.0f, (startZ + endZ) * 0.5f));
    rig->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    rig->HandleMessage(MSG_MA_SELECT_LAYER, Args_Of("Layer 0"));
    // z = middle + half the way x sin(t x 0.157 - pi/2): starts in the first room.
    Sample_Send(rig, MSG_SET_MA_POSITION_SIN_MUL, Vector3(0.0f, 6.0f, (endZ - startZ) * 0.5f));
    Sample_Send(rig, MSG_SET_MA_POSITION_SIN_FREQ, Vector3(1.0f, 1.3f, 0.157f));
    Sample_Send(rig, MSG_SET_MA_POSITION_SIN_OFF, Vector3(0.0f, 0.0f, -1.5707964f));
    Sample_Send(rig, MSG_SET_MA_POSITION_RND_MUL, Vector3(40.0f, 0.0f, 0.0f));
    Sample_Send(rig, MSG_SET_MA_POSITION_RND_FREQ, Vector3(0.3f, 1.0f, 1.0f));
    Sample_Send(rig, MSG_SET_MA_ROTATION_SIN_MUL, Vector3(0.0f, 0.6f, 0.0f));
    Sample_Send(rig, MSG_SET_MA_ROTATION_SIN_FREQ, Vector3(1.0f, 0.35f, 1.0f));
    level.cameraRig = rig;
}
