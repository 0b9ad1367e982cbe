// The sample level as the tools write it and as the game plays it: what its
// meshes must be for the engine's light maps, shadow volumes and vertex
// animation to show, and the level coming up behind the loading screen.

#include "actors/scene/Sound.h"
#include "apps/game/GameMain.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/LoadingScreen.h"
#include "kernel/base/FrameTime.h"
#include "services/library/Library.h"
#include "services/mesh/Mesh.h"
#include "services/sound/Sound.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/RenderScene.h"
#include "tools/sampledata/SampleData.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kShadowBucketBit = 1u << 4;

// A folder of its own for each test, removed with it.
struct Folder {
    fs::path dir = fs::temp_directory_path() /
                   ("qv_sampledata_" + std::to_string(::getpid()) + "_" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

struct Position {
    float x, y, z;
    auto operator<=>(const Position&) const = default;
};

Position At(const uint8_t* vertices, uint32_t stride, uint16_t index) {
    const Vector3 p = Vertex_GetPosition(vertices, stride, index);
    return Position{p.x, p.y, p.z};
}

// Every edge of the first subset, by its two end positions, is met once in
// each direction: the surface is closed and consistently wound, so the
// shadow volume built from it has no open seams. The number of edges that
// are not is returned.
size_t OpenEdges(const MeshSubset& subset) {
    const BufferReadLock vertexLock(subset.vertexBuffer);
    const BufferReadLock indexLock(subset.indexBuffer);
    if (vertexLock.data() == nullptr || indexLock.data() == nullptr) return SIZE_MAX;
    std::map<std::pair<Position, Position>, int> directed;
    for (uint32_t t = 0; t < subset.triangleCount; ++t) {
        uint16_t index[3];
        std::memcpy(index, indexLock.data() + t * 6, sizeof index);
        for (int corner = 0; corner < 3; ++corner) {
            const Position a = At(vertexLock.data(), subset.stride, index[corner]);
            const Position b = At(vertexLock.data(), subset.stride, index[(corner + 1) % 3]);
            directed[{a, b}] += 1;
        }
    }
    size_t open = 0;
    for (const auto& [edge, count] : directed) {
        const auto back = directed.find({edge.second, edge.first});
        if (back == directed.end() || back->second != count) ++open;
    }
    return open;
}

// The second texture coordinates of every vertex of the first frame lie in
// 0..1: the light map spans each face once instead of repeating.
bool LightMapCoordinatesInRange(const MeshSubset& subset) {
    const BufferReadLock lock(subset.vertexBuffer);
    if (lock.data() == nullptr || subset.stride < 40) return false;
    for (uint32_t v = 0; v < subset.vertexCount; ++v) {
        float uv2[2];
        std::memcpy(uv2, lock.data() + size_t{v} * subset.stride + 32, sizeof uv2);
        if (uv2[0] < -0.001f || uv2[0] > 1.001f || uv2[1] < -0.001f || uv2[1] > 1.001f) return false;
    }
    return true;
}

// The sample library as the game reads it, every mesh loaded on a real device.
class SampleDataMeshes : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(SampleData_Write(folder.dir, SampleOptions{}, &error)) << error;
        ASSERT_EQ(RenderScene_StartEngine(64, 48, &error), 1) << error;
        engine = CQVEngine::GetInstance();
        engine->SetBaseFolder(folder.dir.string());
        ASSERT_EQ(engine->SerializeLibrary(SERIALIZE_READ), 1) << engine->GetErrorText();
        for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) {
            auto* mesh = dynamic_cast<CQVMeshItem*>(g_Library.At(id));
            if (mesh == nullptr) continue;
            ASSERT_EQ(Library_LoadItem(mesh), 1) << mesh->name << ": " << engine->GetErrorText();
            ASSERT_FALSE(mesh->subsets.empty()) << mesh->name;
            meshes.push_back(mesh);
        }
    }
    void TearDown() override {
        if (engine != nullptr) engine->SetBaseFolder("");
        ResetGlobals();
    }
    CQVMaterialItem* MaterialOf(const CQVMeshItem* mesh) const {
        return dynamic_cast<CQVMaterialItem*>(g_Library.At(mesh->subsetInfos.at(0).shapeParam));
    }

    Folder folder;
    CQVEngine* engine = nullptr;
    std::vector<CQVMeshItem*> meshes;
};

TEST_F(SampleDataMeshes, ShadowCastersAreClosedSurfaces) {
    std::vector<std::string> casters;
    for (const CQVMeshItem* mesh : meshes) {
        const CQVMaterialItem* material = MaterialOf(mesh);
        if (material == nullptr || !(material->bucketMask & kShadowBucketBit)) continue;
        casters.push_back(mesh->name);
        EXPECT_EQ(OpenEdges(mesh->subsets[0]), 0u) << mesh->name;
    }
    const std::vector<std::string> expected = {"Sample Crate", "Sample Column", "Sample Statue"};
    EXPECT_EQ(casters, expected);
}

TEST_F(SampleDataMeshes, LightMappedMeshesCarryTheSecondCoordinatesAndTheirMapLoads) {
    size_t lightMapped = 0;
    for (const CQVMeshItem* mesh : meshes) {
        const int32_t map = mesh->subsetInfos.at(0).lightMapId;
        if (map == -1) continue;
        ++lightMapped;
        const MeshSubset& subset = mesh->subsets[0];
        // Without a second coordinate set the device would read it past the vertex.
        EXPECT_GE(subset.vertexFormat & D3DFVF_TEXCOUNT_MASK, static_cast<uint32_t>(D3DFVF_TEX2)) << mesh->name;
        EXPECT_TRUE(LightMapCoordinatesInRange(subset)) << mesh->name;
        // Loading the mesh loaded its light map with it.
        const auto* texture = dynamic_cast<const CQVTextureItem*>(g_Library.At(static_cast<uint32_t>(map)));
        ASSERT_NE(texture, nullptr) << mesh->name;
        EXPECT_NE(texture->texture, nullptr) << mesh->name;
    }
    // Every room's shell.
    EXPECT_GE(lightMapped, 4u);
}

// The game reads the library without loading its meshes, so a vertex-animated
// mesh's length comes from the frame count stored with its item: one stored
// apart from its file would play the wrong frames, or none.
TEST_F(SampleDataMeshes, AnimatedMeshesStoreTheFrameCountOfTheirFile) {
    size_t animated = 0;
    for (const CQVMeshItem* mesh : meshes) {
        const uint32_t frames = mesh->subsets[0].frameCount;
        if (frames <= 1) continue;
        ++animated;
        EXPECT_EQ(mesh->frameWord, frames) << mesh->name;
    }
    EXPECT_GE(animated, 2u);  // the library's own flag and the level's
}

std::vector<char> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
}

// The pictures of the scenario tests compare with stored references, so the
// folder must come out the same byte for byte each time it is written, also
// a second time in one process.
TEST(SampleDataFolder, IsWrittenTheSameEachTime) {
    Folder first, second;
    std::string error;
    ASSERT_TRUE(SampleData_Write(first.dir, SampleOptions{}, &error)) << error;
    ASSERT_TRUE(SampleData_Write(second.dir, SampleOptions{}, &error)) << error;
    size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(first.dir)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const fs::path other = second.dir / fs::relative(entry.path(), first.dir);
        ASSERT_TRUE(fs::exists(other)) << other;
        EXPECT_TRUE(Bytes(entry.path()) == Bytes(other)) << fs::relative(entry.path(), first.dir);
    }
    EXPECT_GT(files, 30u);
    ResetGlobals();
}

std::vector<uint32_t> ReadTga(const fs::path& path, uint32_t* width, uint32_t* height) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 18 || bytes[2] != 2 || bytes[16] < 24) return {};
    *width = bytes[12] | bytes[13] << 8;
    *height = bytes[14] | bytes[15] << 8;
    const size_t step = bytes[16] / 8, count = size_t{*width} * *height;
    if (bytes.size() < 18 + step * count) return {};
    // Rows top first, whichever way the file stores them.
    const bool topFirst = (bytes[17] & 0x20) != 0;
    std::vector<uint32_t> pixels(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t row = i / *width, column = i % *width;
        const size_t stored = (topFirst ? row : *height - 1 - row) * *width + column;
        const uint8_t* p = bytes.data() + 18 + stored * step;
        pixels[i] = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
    return pixels;
}

// The game, in this process, on the folder: what `make run` does, with the
// frame clock fixed. Its result.
int PlayGame(const fs::path& dir) {
    const fs::path oldDir = fs::current_path();
    fs::current_path(dir);
    setenv("QV_FRAME_STEP", "0.033333333", 1);
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240", 1);
    unsetenv("QV_FRAME_STEP");
    fs::current_path(oldDir);
    return result;
}

// The start scene starts a new game on the level, which loads behind the
// loading screen with its bar growing; the first room's sounds play; the
// camera held still shows the flag waving between two captures, and the last
// capture ends the game with 0. The captures fall after the level's fade
// from black, which would change the whole screen between them.
TEST(SampleDataGame, TheLevelLoadsBehindTheLoadingBarPlaysItsSoundsAndItsFlagWaves) {
    Folder folder;
    SampleOptions options;
    options.fixedCamera = true;
    options.shot = SampleShot_Flag();
    options.captures = {{3.7f, "later.tga"}, {3.5f, "first.tga"}};
    options.captureWidth = 320;
    options.captureHeight = 240;
    std::string error;
    ASSERT_TRUE(SampleData_Write(folder.dir, options, &error)) << error;
    ResetGlobals();

    const uint32_t firstFrame = g_FrameNumber;
    EXPECT_EQ(PlayGame(folder.dir), 0);
    EXPECT_GT(g_FrameNumber - firstFrame, 30u);

    const LoadingScreenState& screen = g_LoadingScreen;
    EXPECT_GT(screen.redraws, 2u);
    EXPECT_GT(screen.fill.right, screen.fill.left) << "the bar's fill never grew";
    EXPECT_LE(screen.fill.right, screen.bar.right - 2);
    ASSERT_NE(g_CurrentCamera, nullptr);
    EXPECT_EQ(g_CurrentCamera->m_Name, "Sample Camera");
    // The first room is in view: its torch and its air play from their
    // places in the world.
    auto* torch = dynamic_cast<CQVSound*>(CQVActorSystem::FindActorByPath("/Scenery/Rooms Level/Room 1/Torch Sound", nullptr));
    ASSERT_NE(torch, nullptr);
    ASSERT_NE(torch->m_Item, nullptr);
    EXPECT_EQ(Sound_IsPlaying(torch->m_Item->buffer), 1);
    auto* air = dynamic_cast<CQVSound*>(CQVActorSystem::FindActorByPath("/Scenery/Rooms Level/Room 1/Room Air", nullptr));
    ASSERT_NE(air, nullptr);
    ASSERT_NE(air->m_Item, nullptr);
    EXPECT_EQ(air->m_Item->name, "Room Air 1");
    EXPECT_EQ(Sound_IsPlaying(air->m_Item->buffer), 1);

    uint32_t width = 0, height = 0, laterWidth = 0, laterHeight = 0;
    const std::vector<uint32_t> first = ReadTga(folder.dir / "first.tga", &width, &height);
    const std::vector<uint32_t> later = ReadTga(folder.dir / "later.tga", &laterWidth, &laterHeight);
    ASSERT_EQ(std::tie(width, height), std::tie(laterWidth, laterHeight));
    ASSERT_EQ(width, 320u);
    ASSERT_EQ(first.size(), later.size());
    // The flag hangs in the upper right of the shot; nothing else there moves.
    size_t moved = 0, looked = 0;
    for (uint32_t y = 0; y < height / 2; ++y) {
        for (uint32_t x = width / 2; x < width; ++x, ++looked) {
            const uint32_t a = first[size_t{y} * width + x], b = later[size_t{y} * width + x];
            int largest = 0;
            for (int shift : {0, 8, 16})
                largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                                     static_cast<int>((b >> shift) & 0xFF)));
            moved += largest > 16;
        }
    }
    EXPECT_GT(moved, looked / 20) << "the flag did not move";
    ResetGlobals();
}

// The strength of one frequency in a stretch of mono samples (Goertzel).
double ToneStrength(const std::vector<float>& samples, double hz, double rate) {
    const double w = 2.0 * 3.14159265358979 * hz / rate, c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (float x : samples) {
        const double s0 = x + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / static_cast<double>(samples.size());
}

// Standing in the middle of a room, a player hears that room's own air
// above the others: each room's air is a chord on its own root (70 Hz in
// the first room, 15 Hz higher in each next one), and the mix the game
// made there holds that root the strongest, by far.
TEST(SampleDataGame, EachRoomSoundsOfItsOwnAir) {
    constexpr uint32_t kRate = 44100;
    for (const uint32_t room : {0u, 2u}) {
        SCOPED_TRACE(room);
        Folder folder;
        SampleOptions options;
        options.fixedCamera = true;
        options.shot = SampleShot{Vector3(0.0f, 160.0f, 800.0f * static_cast<float>(room)), 0.0f, 0.0f};
        options.captures = {{2.0f, "end.tga"}};  // the airs have faded in; the game ends
        options.captureWidth = 64;
        options.captureHeight = 48;
        std::string error;
        ASSERT_TRUE(SampleData_Write(folder.dir, options, &error)) << error;
        ResetGlobals();
        // The game keeps a device that is already open: this one lets the test hear the mix.
        Sound_CloseDevice();
        ASSERT_EQ(Sound_CreateLoopbackDevice(2, kRate, 16), 1) << Sound_GetLastError();
        ASSERT_EQ(PlayGame(folder.dir), 0);

        std::vector<int16_t> stereo(2 * kRate / 2);
        ASSERT_EQ(Sound_RenderMix(stereo.data(), kRate / 2), 1);
        std::vector<float> mono(kRate / 2);
        for (size_t i = 0; i < mono.size(); ++i) mono[i] = (stereo[2 * i] + stereo[2 * i + 1]) / 65536.0f;
        double strength[4];
        for (uint32_t r = 0; r < 4; ++r) strength[r] = ToneStrength(mono, 70.0 + 15.0 * r, kRate);
        for (uint32_t other = 0; other < 4; ++other) {
            if (other == room) continue;
            EXPECT_GT(strength[room], 2.0 * strength[other]) << "room " << other + 1;
        }
        ResetGlobals();
        Sound_CloseDevice();
    }
}

}  // namespace
