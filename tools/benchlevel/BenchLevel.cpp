#include "tools/benchlevel/BenchLevel.h"

#include "actors/scene/Camera.h"
#include "actors/scene/Object.h"
#include "actors/scene/Particle.h"
#include "actors/scene/Sound.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "platform/graphics/D3D8Types.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/WavWriter.h"
#include "tools/sampledata/SampleLevel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The grid: kColumns x kRows rooms, the camera walking along column kWay
// from the first row to the last.
constexpr uint32_t kColumns = 10, kRows = 10;
constexpr uint32_t kWay = 5;
constexpr uint32_t kRun = 3;  // rooms along z joined by open portals
constexpr float kRoom = 800.0f, kHeight = 300.0f;
constexpr float kDoorWidth = 160.0f, kDoorHeight = 220.0f;
constexpr float kCellOverlap = 5.0f;  // the cells overlap at the doorways, so a portal stands in both
constexpr float kPortalRadius = 80.0f;

// Fog from a room away to a little over two and a half rooms; the camera
// sees no further.
constexpr float kFogNear = kRoom, kFogFar = kRoom * 2.6f;

// The start scene's ids.
constexpr uint32_t kFirstId = 3000;

// Library ids.
enum : uint32_t {
    ID_DEFAULT_SOUND = 1,
    ID_FALLBACK_MESH = 3,
    ID_FALLBACK_MATERIAL = 4,
    TEX_BRICK = 10,
    TEX_WOOD = 11,
    TEX_STONE = 12,
    TEX_METAL = 13,
    TEX_PARTICLES = 14,
    MAT_SHELL = 100,  // four tints
    MAT_CRATE = 110,
    MAT_COLUMN = 111,
    MAT_BALL = 112,
    MAT_SLAB = 113,
    MAT_PARTICLES = 114,
    MESH_CRATE = 200,
    MESH_COLUMN = 201,
    MESH_BALL = 202,
    MESH_SLAB = 203,
    MESH_SHELL = 210,  // + the room's doorway mask (16)
    SOUND_HUM = 300,
};

// "Set Light Type" takes the sheet's list index; a box shape collides.
constexpr uint32_t kPointLight = 0;
constexpr uint32_t kShapeBox = 2;
constexpr uint32_t kSimStyleSphere = 5;

// Bits of a room's doorway mask, one per wall (the wall numbers of MeshBuild_Room).
constexpr uint32_t kWallBit[4] = {1, 2, 4, 8};

#pragma pack(push, 1)
struct SetMaterialArgs {
    CQVLibraryItem* item;
    uint32_t subset;
};
#pragma pack(pop)


std::vector<uint32_t> Pattern(uint32_t side, uint32_t seed, uint32_t a, uint32_t b) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const bool joint = y % (8 + seed) == 0 || (x + (y / (8 + seed)) * 5) % (16 + seed) == 0;
            pixels[y * side + x] = joint ? a : b + ((x * 7 + y * 3 + seed) % 8) * 0x020202u;
        }
    }
    return pixels;
}

// Soft round spots, the colour full to the edge and the alpha falling off.
std::vector<uint32_t> Spots(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    const float centre = (static_cast<float>(side) - 1.0f) * 0.5f;
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const float dx = static_cast<float>(x) - centre, dy = static_cast<float>(y) - centre;
            const float d = std::sqrt(dx * dx + dy * dy) / (centre + 0.5f);
            const float a = std::clamp(1.0f - d * d, 0.0f, 1.0f);
            pixels[y * side + x] = 0x00C0E0FFu | static_cast<uint32_t>(a * 255.0f) << 24;
        }
    }
    return pixels;
}

class Builder {
public:
    Builder(const fs::path& folder, const BenchLevelCounts& plan, uint32_t frames, float captureSeconds)
        : m_Data(folder / "Data"), m_Plan(plan), m_Frames(frames), m_CaptureSeconds(captureSeconds) {}

    bool ok = true;
    std::string error;
    BenchLevelCounts made;

    void Fail(const std::string& what) {
        if (ok) error = what;
        ok = false;
    }

    bool Written(bool written, const std::string& name) {
        if (!written) Fail("cannot write " + (m_Data / name).string());
        return written;
    }

    void AddItems(LibraryFile& library) {
        const auto image = [&](const char* name, const std::vector<uint32_t>& pixels, uint32_t side, uint32_t bits) {
            TgaWriteOptions options;
            options.bits = bits;
            Written(ImageWriter_Save((m_Data / name).string(), ImageWriter_Tga(pixels.data(), side, side, options)), name);
        };
        image("brick.tga", Pattern(64, 0, 0xFFC8C0B0u, 0xFF8C3A28u), 64, 24);
        image("wood.tga", Pattern(64, 4, 0xFF4A2E16u, 0xFF9A6B3Cu), 64, 24);
        image("stone.tga", Pattern(64, 8, 0xFFB8B4ACu, 0xFF6E6C68u), 64, 24);
        image("metal.tga", Pattern(32, 2, 0xFF708090u, 0xFF8090A0u), 32, 24);
        image("spots.tga", Spots(32), 32, 32);
        library.AddTexture(TEX_BRICK, "Brick", "brick.tga", 64, 64);
        library.AddTexture(TEX_WOOD, "Wood", "wood.tga", 64, 64);
        library.AddTexture(TEX_STONE, "Stone", "stone.tga", 64, 64);
        library.AddTexture(TEX_METAL, "Metal", "metal.tga", 32, 32);
        library.AddTexture(TEX_PARTICLES, "Spots", "spots.tga", 32, 32)->textureType = 4;  // keeps the file's alpha

        const auto material = [&](uint32_t id, const std::string& name, std::vector<uint32_t> textures, float r,
                                  float g, float b) {
            CQVMaterialItem* item = library.AddMaterial(id, name, std::move(textures));
            item->material.Diffuse = {r, g, b, 1.0f};
            item->material.Ambient = {r, g, b, 1.0f};
            return item;
        };
        const float tints[4][3] = {{1.0f, 1.0f, 1.0f}, {0.75f, 0.85f, 1.0f}, {1.0f, 0.9f, 0.65f}, {0.8f, 1.0f, 0.8f}};
        for (uint32_t i = 0; i < 4; ++i)
            material(MAT_SHELL + i, "Shell " + std::to_string(i + 1), {TEX_BRICK}, tints[i][0], tints[i][1], tints[i][2]);
        material(MAT_CRATE, "Crate", {TEX_WOOD}, 1.0f, 1.0f, 1.0f);
        material(MAT_COLUMN, "Column", {TEX_STONE}, 1.0f, 1.0f, 1.0f);
        material(MAT_BALL, "Ball", {TEX_METAL}, 0.9f, 0.9f, 1.0f);
        material(MAT_SLAB, "Slab", {}, 0.5f, 0.5f, 0.5f);
        material(ID_FALLBACK_MATERIAL, "Fallback Material", {}, 0.6f, 0.6f, 0.6f);
        CQVMaterialItem* particles = material(MAT_PARTICLES, "Particles", {TEX_PARTICLES}, 1.0f, 1.0f, 1.0f);
        particles->material.Diffuse.a = 0.99f;  // the vertex alpha (fades) stays in
        particles->blendIndex = 1;
        particles->stateFlagB = 1;  // unlit
        particles->useAlpha = 1;
        particles->bucketMask = 0;  // blended

        const auto mesh = [&](uint32_t id, const std::string& name, const std::string& file, const MeshGeometry& geometry,
                              uint32_t materialId, uint32_t shape) {
            Written(Qvm_WriteFile((m_Data / file).string(), MeshBuild_RigidFile({MeshBuild_ToSubset(geometry, false)})),
                    file);
            CQVMeshItem* item = library.AddMesh(id, name, file);
            item->subsetInfos.resize(1);
            item->subsetInfos[0].shapeType = shape;
            item->subsetInfos[0].shapeParam = materialId;
        };
        mesh(MESH_CRATE, "Crate", "crate.qvm", MeshBuild_Box(Vector3(-30, 0, -30), Vector3(30, 60, 30)), MAT_CRATE, 0);
        mesh(MESH_COLUMN, "Column", "column.qvm", MeshBuild_Column(Vector3(0, 0, 0), 20, 200, 12), MAT_COLUMN, 0);
        mesh(MESH_BALL, "Ball", "ball.qvm", MeshBuild_Sphere(Vector3(0, 0, 0), 40, 8, 12), MAT_BALL, 0);
        mesh(MESH_SLAB, "Slab", "slab.qvm",
             MeshBuild_Box(Vector3(-kRoom / 2, -20, -kRoom / 2), Vector3(kRoom / 2, 0, kRoom / 2)), MAT_SLAB, kShapeBox);
        mesh(ID_FALLBACK_MESH, "Fallback Mesh", "crate.qvm", MeshBuild_Box(Vector3(-30, 0, -30), Vector3(30, 60, 30)),
             ID_FALLBACK_MATERIAL, 0);
        // The shells by the walls that have doorways.
        const float half = kRoom / 2;
        for (uint32_t mask = 0; mask < 16; ++mask) {
            std::vector<RoomOpening> doors;
            for (uint32_t wall = 0; wall < 4; ++wall) {
                if (mask & kWallBit[wall]) doors.push_back(RoomOpening{wall, half - kDoorWidth / 2, kDoorWidth, 0.0f, kDoorHeight});
            }
            mesh(MESH_SHELL + mask, "Shell " + std::to_string(mask), "shell" + std::to_string(mask) + ".qvm",
                 MeshBuild_Room(Vector3(-half, 0, -half), Vector3(half, kHeight, half), doors), MAT_SHELL, 0);
        }

        const WavFormat mono{1, 22050, 16};
        Written(Wav_Write((m_Data / "hum.wav").string(), mono, Wav_Sine(mono, 110.0f, 0.3f, 22050)), "hum.wav");
        Written(Wav_Write((m_Data / "default.wav").string(), mono, Wav_Sine(mono, 880.0f, 0.3f, 1100)), "default.wav");
        library.AddSound(ID_DEFAULT_SOUND, "Default Sound", "default.wav");
        library.AddSound(SOUND_HUM, "Hum", "hum.wav")->flags = CQVSoundItem::SOUND_WHOLE_FILE | CQVSoundItem::SOUND_3D;
        m_ParticleMaterial = library.items.At(MAT_PARTICLES);
    }

    // The engine object without a device, with the items actors take while
    // they are made here (the library itself is not loaded in the tool).
    bool StartEngine(const LibraryFile& library) {
        if (!SampleLevel_StartEngine()) return false;
        // A new Sound takes its library sound when it is made.
        for (uint32_t id : {uint32_t{ID_DEFAULT_SOUND}, uint32_t{SOUND_HUM}}) {
            const auto* made = static_cast<const CQVSoundItem*>(library.items.At(id));
            auto* item = new CQVSoundItem();
            item->name = made->name;
            item->fileName = made->fileName;
            item->flags = made->flags;
            if (!g_Library.SetItem(id, item)) delete item;
        }
        return true;
    }

    void BuildScene(CQVActor* scenery) {
        m_Root = Make(CLASS_BASE, "Bench Level", scenery);
        if (m_Root == nullptr) return;
        for (uint32_t r = 0; r < kRows; ++r) {
            for (uint32_t c = 0; c < kColumns; ++c) AddRoom(c, r);
        }
        AddPortals();
        // The world group comes after the rooms, so a point inside a room is
        // filed in the room; every room is an open group, so the draw pass
        // goes on from the camera's room into this one, which carries the
        // camera and the timing actors and is reached every frame.
        m_World = Make(CLASS_DRAW_GROUP, "World", m_Root);
        if (m_World == nullptr) return;
        Sample_Send(m_World, MSG_SET_BOX_MIN, Vector3(-kRoom, -100.0f, -kRoom));
        Sample_Send(m_World, MSG_SET_BOX_MAX, Vector3(kRoom * kColumns, kHeight + 100.0f, kRoom * kRows));
        AddCamera();
        AddTiming();
        Make(CLASS_CLASS, "Classes", m_Root);

        // What stands in the rooms, spread over them in turn.
        for (uint32_t i = 0; i < m_Plan.meshes - 2 * kColumns * kRows - m_Plan.bodies; ++i) AddProp(i);
        for (uint32_t i = 0; i < m_Plan.lights; ++i) AddLight(i);
        for (uint32_t i = 0; i < m_Plan.emitters; ++i) AddEmitter(i);
        for (uint32_t i = 0; i < m_Plan.bodies; ++i) AddBody(i);
        for (uint32_t i = 0; i < m_Plan.sounds; ++i) AddSound(i);
        while (made.actors < m_Plan.actors && ok) {
            const uint32_t i = made.markers;
            CQVActor* marker = Make(CLASS_BASE, "Marker", Room(i));
            if (marker == nullptr) return;
            Sample_Send(marker, MSG_SET_POSITION, Spot(i, 7, 20.0f));
            ++made.markers;
        }
    }

    uint32_t LastId() const { return m_NextId; }

private:
    CQVActor* Make(uint32_t type, const char* name, CQVActor* parent) {
        CQVActor* actor = g_ActorSystem->CreateActor(type, name, nullptr, parent, m_NextId, 1, 0);
        if (actor == nullptr) {
            Fail(std::string("cannot make \"") + name + "\"");
            return nullptr;
        }
        ++m_NextId;
        ++made.actors;
        return actor;
    }

    static Vector3 Centre(uint32_t c, uint32_t r) {
        return Vector3(static_cast<float>(c) * kRoom, 0.0f, static_cast<float>(r) * kRoom);
    }
    CQVActor* Room(uint32_t i) const { return m_Rooms[i % m_Rooms.size()]; }
    Vector3 RoomCentre(uint32_t i) const {
        const uint32_t room = static_cast<uint32_t>(i % m_Rooms.size());
        return Centre(room % kColumns, room / kColumns);
    }
    // A place in the room of item i, on a grid of cells that leaves the
    // middle line (the camera's way) free; the k-th kind of thing gets its
    // own offset so kinds do not stand inside each other.
    Vector3 Spot(uint32_t i, uint32_t kind, float y) const {
        const uint32_t slot = static_cast<uint32_t>(i / m_Rooms.size());
        const float x = (slot % 2 == 0 ? -1.0f : 1.0f) * (120.0f + static_cast<float>((slot / 2) % 4) * 70.0f);
        const float z = -300.0f + static_cast<float>((slot * 4 + kind * 3) % 9) * 75.0f;
        return RoomCentre(i) + Vector3(x, y, z);
    }

    CQVObject* MeshObject(const char* name, CQVActor* parent, uint32_t meshId, uint32_t materialId,
                          const Vector3& position) {
        auto* object = dynamic_cast<CQVObject*>(Make(CLASS_OBJECT, name, parent));
        if (object == nullptr) return nullptr;
        // Taken by id: the mesh loads with the level.
        object->m_MeshId = meshId;
        if (!object->m_Entries.empty()) object->m_Entries[0].materialId = materialId;
        Sample_Send(object, MSG_SET_POSITION, position);
        ++made.meshes;
        return object;
    }

    void AddRoom(uint32_t c, uint32_t r) {
        const std::string name = "Room " + std::to_string(c) + "," + std::to_string(r);
        CQVActor* group = Make(CLASS_DRAW_GROUP, name.c_str(), m_Root);
        if (group == nullptr) return;
        const Vector3 centre = Centre(c, r);
        const float half = kRoom / 2;
        Sample_Send(group, MSG_SET_BOX_MIN, centre + Vector3(-half - kCellOverlap, -10.0f, -half - kCellOverlap));
        Sample_Send(group, MSG_SET_BOX_MAX, centre + Vector3(half + kCellOverlap, kHeight + 10.0f, half + kCellOverlap));
        Sample_Send<uint32_t>(group, MSG_SET_OPEN_DRAWGROUP, 1);
        m_Rooms.push_back(group);
        ++made.rooms;

        uint32_t mask = 0;
        if (r > 0) mask |= kWallBit[0];
        if (c + 1 < kColumns) mask |= kWallBit[1];
        if (r + 1 < kRows) mask |= kWallBit[2];
        if (c > 0) mask |= kWallBit[3];
        MeshObject("Shell", group, MESH_SHELL + mask, MAT_SHELL + (c + r) % 4, centre);
        // The floor the bodies land on: a collision box under the shell's floor, not drawn.
        if (CQVObject* slab = MeshObject("Floor Slab", group, MESH_SLAB, MAT_SLAB, centre)) {
            Sample_Send<uint32_t>(slab, MSG_SET_VISIBLE, 0);
            Sample_Send<uint32_t>(slab, MSG_SET_COLLISION_ENABLE, 1);
        }
    }

    void Portal(const Vector3& at, bool open) {
        CQVActor* portal = Make(CLASS_DRAW_GROUP_CONNECTOR, "Doorway", m_Root);
        if (portal == nullptr) return;
        Sample_Send(portal, MSG_SET_POSITION, at + Vector3(0.0f, kDoorHeight / 2, 0.0f));
        Sample_Send(portal, MSG_SET_RADIUS, kPortalRadius);
        if (open) portal->HandleMessage(MSG_OPEN_CONNACTOR, nullptr);
    }

    void AddPortals() {
        const float half = kRoom / 2;
        for (uint32_t r = 0; r < kRows; ++r) {
            for (uint32_t c = 0; c < kColumns; ++c) {
                // Along z: open within a run of rooms. Along x: open only
                // between the camera's way and the rooms either side of it.
                if (r + 1 < kRows) Portal(Centre(c, r) + Vector3(0.0f, 0.0f, half), r / kRun == (r + 1) / kRun);
                if (c + 1 < kColumns) Portal(Centre(c, r) + Vector3(half, 0.0f, 0.0f), c + 1 == kWay || c == kWay);
            }
        }
    }

    void AddProp(uint32_t i) {
        static const struct {
            const char* name;
            uint32_t mesh, material;
        } kinds[] = {{"Crate", MESH_CRATE, MAT_CRATE}, {"Column", MESH_COLUMN, MAT_COLUMN}, {"Ball", MESH_BALL, MAT_BALL}};
        const auto& kind = kinds[(i / m_Rooms.size()) % 3];
        MeshObject(kind.name, Room(i), kind.mesh, kind.material, Spot(i, 0, kind.mesh == MESH_BALL ? 40.0f : 0.0f));
    }

    void AddLight(uint32_t i) {
        // The lights go to rooms spread over the whole level.
        const uint32_t room = static_cast<uint32_t>((static_cast<uint64_t>(i) * m_Rooms.size()) / m_Plan.lights);
        CQVActor* lamp = Make(CLASS_LIGHT, "Lamp", Room(room));
        if (lamp == nullptr) return;
        static const D3DCOLORVALUE colours[] = {
            {1.0f, 0.85f, 0.6f, 1.0f}, {0.9f, 0.95f, 1.0f, 1.0f}, {1.0f, 0.7f, 0.45f, 1.0f}, {0.8f, 1.0f, 0.8f, 1.0f}};
        Sample_Send(lamp, MSG_SET_LIGHT_TYPE, kPointLight);
        Sample_Send(lamp, MSG_SET_POSITION, RoomCentre(room) + Vector3(0.0f, kHeight - 60.0f, 0.0f));
        Sample_Send(lamp, MSG_SET_DIFFUSE_COLOR, colours[i % 4]);
        Sample_Send(lamp, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.08f, 0.07f, 0.06f, 1.0f});
        Sample_Send(lamp, MSG_SET_RADIUS, kRoom * 0.75f);
        Sample_Send(lamp, MSG_SET_ATTENUATION_OFFSET, 1.0f);
        Sample_Send(lamp, MSG_SET_ATTENUATION_STRENGTH, 1.5f);
        Sample_Send(lamp, MSG_SET_ATTENUATION_STYLE, 0.7f);
        ++made.lights;
    }

    void AddEmitter(uint32_t i) {
        const uint32_t room = static_cast<uint32_t>((static_cast<uint64_t>(i) * m_Rooms.size()) / m_Plan.emitters + 2);
        CQVActor* fountain = Make(CLASS_PARTICLE, "Fountain", Room(room));
        if (fountain == nullptr) return;
        Sample_Send(fountain, MSG_SET_POSITION, RoomCentre(room) + Vector3(-90.0f, 60.0f, 120.0f));
        SetMaterialArgs material{m_ParticleMaterial, 0};
        fountain->HandleMessage(MSG_SET_MATERIAL_1C0, Args_Of(&material));
        Sample_Send(fountain, MSG_SET_PARTICLE_TYPE, 14u);  // Water
        Sample_Send(fountain, MSG_SET_PARTICLE_TYPE_OVERRIDE, PARTICLE_FULL_OVERRIDE);
        Sample_Send(fountain, MSG_SET_PARTICLE_MAX_PARTICLES, 200u);                        // Max Particles
        Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_FLOW_SPEED, 120.0f);                      // EmitFlowSpeed
        Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_SPEED, 60.0f);                       // EmitSpeed
        Sample_Send(fountain, MSG_SET_PARTICLE_EMIT_SPEED_V, 0.5f);                        // EmitSpeedV
        Sample_Send(fountain, MSG_SET_PARTICLE_LIFE, 1.5f);                        // Life
        Sample_Send(fountain, MSG_SET_PARTICLE_SIZE, 5.0f);                        // Size
        Sample_Send(fountain, MSG_SET_PARTICLE_GRAVITY_MUL, 1.0f);                        // GravityMul
        Sample_Send(fountain, MSG_SET_PARTICLE_MOVEMENT, Vector3(0.0f, 300.0f, 0.0f)); // Movement
        Sample_Send(fountain, MSG_SET_PARTICLE_MOVEMENT_V, Vector3(0.0f, 0.25f, 0.0f));  // MovementV
        Sample_Send(fountain, MSG_SET_PARTICLE_OPACITY, 0.85f);                       // Opacity
        Sample_Send(fountain, MSG_SET_PARTICLE_FADE_OUT_TIME, 0.5f);                        // FadeOutTime
        ++made.emitters;
    }

    // A ball that starts falling at its own time within the run, bounces on
    // the floor and comes to rest.
    void AddBody(uint32_t i) {
        CQVActor* body = Make(CLASS_SIMULATION, "Body", Room(i));
        if (body == nullptr) return;
        Sample_Send(body, MSG_SET_POSITION, Spot(i, 4, 160.0f + static_cast<float>(i % 5) * 30.0f));
        Sample_Send(body, MSG_SET_SIM_STYLE, kSimStyleSphere);
        MeshObject("Body Shape", body, MESH_BALL, MAT_BALL, Vector3(0.0f, 0.0f, 0.0f));
        const float seconds = static_cast<float>(m_Frames) / 60.0f;
        const float start = std::fmod(static_cast<float>(i) * 0.37f, std::max(0.5f, seconds * 0.8f));
        body->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8), start, 0.0f, 0.0f);
        ++made.bodies;
    }

    void AddSound(uint32_t i) {
        const uint32_t room = static_cast<uint32_t>((static_cast<uint64_t>(i) * m_Rooms.size()) / m_Plan.sounds + 1);
        CQVActor* sound = Make(CLASS_SOUND, "Hum", Room(room));
        if (sound == nullptr) return;
        sound->HandleMessage(MSG_SET_RESOURCE, Args_Of("Hum"));
        Sample_Send(sound, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_3D});
        Sample_Send(sound, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
        Sample_Send(sound, MSG_SET_SOUND_RADIUS, 700.0f);
        Sample_Send(sound, MSG_SET_SOUND_MIN_RADIUS, 100.0f);
        Sample_Send(sound, MSG_SET_VOLUME, 0.5f);
        static_cast<CQVSound*>(sound)->m_StartPlaying = 1;  // plays while its room is drawn
        Sample_Send(sound, MSG_SET_WSPOSITION, RoomCentre(room) + Vector3(300.0f, 150.0f, 0.0f));
        ++made.sounds;
    }

    void AddCamera() {
        // The rig walks the camera's way from the first row to the last in
        // the run's frames (half a sine), looking left and right.
        CQVActor* rig = Make(CLASS_MATRIX_ANIMATION, "Camera Rig", m_World);
        if (rig == nullptr) return;
        const float x = static_cast<float>(kWay) * kRoom;
        const float startZ = -kRoom / 2 + 150.0f, endZ = (static_cast<float>(kRows) - 0.5f) * kRoom - 250.0f;
        const float seconds = std::max(1.0f, static_cast<float>(m_Frames) / 60.0f);
        Sample_Send(rig, MSG_SET_MA_POSITION, Vector3(x, 160.0f, (startZ + endZ) * 0.5f));
        rig->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
        rig->HandleMessage(MSG_MA_SELECT_LAYER, Args_Of("Layer 0"));
        Sample_Send(rig, MSG_SET_MA_POSITION_SIN_MUL, Vector3(0.0f, 6.0f, (endZ - startZ) * 0.5f));
        Sample_Send(rig, MSG_SET_MA_POSITION_SIN_FREQ, Vector3(1.0f, 1.3f, 3.14159265f / seconds));
        Sample_Send(rig, MSG_SET_MA_POSITION_SIN_OFF, Vector3(0.0f, 0.0f, -1.5707964f));
        Sample_Send(rig, MSG_SET_MA_ROTATION_SIN_MUL, Vector3(0.0f, 0.5f, 0.0f));
        Sample_Send(rig, MSG_SET_MA_ROTATION_SIN_FREQ, Vector3(1.0f, 0.6f, 1.0f));

        CQVActor* camera = Make(CLASS_CAMERA, "Bench Camera", rig);
        if (camera == nullptr) return;
        Sample_Send(camera, MSG_SET_CAMERA_TYPE, static_cast<uint32_t>(CAMERA_FREE));
        Sample_Send(camera, MSG_SET_CAMERA_ACTIVE, 1u);
        const std::string far = std::to_string(kFogFar);
        Sample_AddScript(camera, "Lens", MSG_START_GAME, "this.set_fov(1.2);\nthis.set_near(5.0);\nthis.set_far(" + far + ");");

        CQVActor* environment = Make(CLASS_ENVIRONMENT, "Bench Environment", m_World);
        if (environment == nullptr) return;
        const float ambient[4] = {0.3f, 0.3f, 0.32f, 1.0f};
        const float fog[4] = {0.35f, 0.42f, 0.55f, 1.0f};
        Sample_Send(environment, MSG_SET_AMBIENT_COLOR, ambient);
        Sample_Send(environment, MSG_SET_FOG_ENABLE, 1u);
        Sample_Send(environment, MSG_SET_FOG_COLOR, fog);
        Sample_Send(environment, MSG_SET_FOG_NEAR, kFogNear);
        Sample_Send(environment, MSG_SET_FOG_FAR, kFogFar);
        Sample_AddScript(environment, "On", MSG_START_GAME, "this.activate_environment_params();");
    }

    void AddTiming() {
        CQVActor* clock = Make(CLASS_BASE, "Bench Clock", m_World);
        if (clock == nullptr) return;
        // A small back-buffer read as the game starts marks where the
        // level's frames begin for the frame timer.
        Sample_AddScript(clock, "Mark", MSG_START_GAME, "sys.capture_backbuffer((8, 8));");
        Sample_AddScript(clock, "End", MSG_ACTION_START, "sys.exit_engine();");
        // Half a frame early, so that the last frame is the one asked for.
        const float end = (static_cast<float>(m_Frames) - 0.5f) / 60.0f;
        clock->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8), end, 0.0f, 0.0f);
        if (m_CaptureSeconds < 0.0f) return;
        CQVActor* camera = Make(CLASS_BASE, "Bench Capture", m_World);
        if (camera == nullptr) return;
        Sample_AddScript(camera, "Capture", MSG_ACTION_START,
                  "sys.capture_backbuffer((800, 600));\nsys.capture_save(\"capture.tga\");");
        camera->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8), m_CaptureSeconds,
                                0.0f, 0.0f);
    }

    fs::path m_Data;
    BenchLevelCounts m_Plan;
    uint32_t m_Frames;
    float m_CaptureSeconds;
    uint32_t m_NextId = kFirstId;
    CQVActor* m_Root = nullptr;
    CQVActor* m_World = nullptr;
    std::vector<CQVActor*> m_Rooms;
    CQVLibraryItem* m_ParticleMaterial = nullptr;
};

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

BenchLevelCounts BenchLevel_Plan(uint32_t actors) {
    const double scale = static_cast<double>(actors) / 5000.0;
    const auto scaled = [scale](double atFiveThousand, uint32_t least) {
        return std::max(least, static_cast<uint32_t>(std::lround(atFiveThousand * scale)));
    };
    BenchLevelCounts plan;
    plan.rooms = kColumns * kRows;
    plan.lights = scaled(64, 1);
    plan.emitters = scaled(20, 1);
    plan.bodies = scaled(200, 1);
    plan.sounds = scaled(50, 1);
    // Shells and floor slabs first, the bodies' shapes, the rest props.
    plan.meshes = std::max(scaled(2000, 0), 2 * plan.rooms + plan.bodies + plan.rooms);
    const uint32_t portals = (kColumns - 1) * kRows + kColumns * (kRows - 1);
    // Root, world group, camera rig, camera, environment, clock, class manager.
    const uint32_t fixed = 7 + plan.rooms + portals;
    const uint32_t things = fixed + plan.meshes + plan.lights + plan.emitters + plan.bodies + plan.sounds;
    plan.actors = std::max(actors, things);
    plan.markers = plan.actors - things;
    return plan;
}

bool BenchLevel_Write(const fs::path& folder, uint32_t actors, uint32_t frames, BenchLevelCounts* made,
                      std::string* error, float captureSeconds) {
    std::error_code failed;
    fs::create_directories(folder / "Data", failed);
    if (failed) {
        if (error) *error = "cannot create " + folder.string() + ": " + failed.message();
        return false;
    }
    // Base folder, start scene, no globals file, window title.
    if (!WriteText(folder / "init.txt", ".\r\nStart.qva\r\nGlobals.qva\r\nBench Level\r\n")) {
        if (error) *error = "cannot write " + (folder / "init.txt").string();
        return false;
    }
    const BenchLevelCounts plan = BenchLevel_Plan(actors);
    Builder builder(folder, plan, frames, captureSeconds);
    LibraryFile library;
    builder.AddItems(library);
    if (builder.ok && !library.Write((folder / LIBRARY_FILE_NAME).string()))
        builder.Fail("cannot write " + (folder / LIBRARY_FILE_NAME).string());
    if (builder.ok && !builder.StartEngine(library)) builder.Fail("cannot start the engine object");
    ActorClasses_Install();
    if (builder.ok && !RegisterActorClasses()) builder.Fail("cannot register the actor classes");
    if (builder.ok) {
        g_ActorSystem->m_BaseDirectory = folder.string();
        // The globals hold the system actors start-up made below "Global".
        if (!CQVActorSystem::SendMessage(ACTOR_ID_GLOBAL, MSG_SAVE_FILE, Args_Of("Globals.qva")))
            builder.Fail(std::string("cannot write the globals file: ") + g_ActorSystem->GetError());
    }
    if (builder.ok) builder.BuildScene(CQVActorSystem::GetActorById(ACTOR_ID_SCENERY));
    if (builder.ok) {
        const std::string start = (folder / "Data" / "Start.qva").string();
        if (g_ActorSystem->SaveActors(start.c_str(), kFirstId, builder.LastId(), 0) != 1)
            builder.Fail("cannot write " + start + ": " + g_ActorSystem->GetError());
    }
    delete g_ActorSystem;
    if (made) *made = builder.made;
    if (!builder.ok && error) *error = builder.error;
    return builder.ok;
}
