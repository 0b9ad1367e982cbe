// The Environment actor: colour packing, presets copied into the system
// Environment, what reaches the engine and the device, deactivation and
// re-push, its actor-file fields, and what a player sees: the clear colour
// on an empty screen and fog over a far object, read through a screen capture.

#include "tests/actors/scene/CameraTestSupport.h"

#include "apps/game/FrameLoop.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/storage/ScreenCapture.h"

#include <bit>
#include <filesystem>
#include <unistd.h>

namespace {

using EnvironmentTest = CameraSceneTest;

// The pairs the two classes bind to fields carry the value types their
// messages are registered with.
TEST(CameraEnvironmentTables, AgreeWithTheRegisteredArgumentTypes) {
    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    for (uint32_t type : {CLASS_CAMERA, CLASS_ENVIRONMENT}) {
        const ClassRecord& record = g_ClassRecords[type];
        ASSERT_NE(record.messageRows, nullptr) << record.name;
        EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "") << record.name;
    }
    ResetGlobals();
}

uint32_t State(D3DRENDERSTATETYPE state) {
    uint32_t value = 0;
    RenderScene_Device()->GetRenderState(state, &value);
    return value;
}

struct PackCase {
    float color[4];
    uint32_t packed;
};

class EnvironmentColorPacking : public testing::TestWithParam<PackCase> {};

TEST_P(EnvironmentColorPacking, ClampsAndRoundsEachChannelIntoARGB) {
    EXPECT_EQ(CQVEnvironment::PackColor(GetParam().color), GetParam().packed);
}

INSTANTIATE_TEST_SUITE_P(Colors, EnvironmentColorPacking,
                         testing::Values(PackCase{{1.5f, -0.2f, 0.5f, 1.0f}, 0xFFFF0080u},
                                         PackCase{{0.0f, 0.0f, 0.0f, 0.0f}, 0x00000000u},
                                         PackCase{{1.0f, 1.0f, 1.0f, 1.0f}, 0xFFFFFFFFu},
                                         PackCase{{0.2f, 0.4f, 0.6f, 0.5f}, 0x80336699u},
                                         PackCase{{0.001f, 0.999f, 0.0019f, 2.0f}, 0xFF00FF00u}));

struct Values {
    float ambient[4] = {0.1f, 0.2f, 0.3f, 1.0f};
    float gravity = 3.5f;
    float airResistance = 0.25f;
    Vector3 wind = Vector3(1.0f, 0.0f, -2.0f);
    uint32_t fogEnable = 1;
    float fogColor[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    float fogNear = 120.0f;
    float fogFar = 900.0f;
};

void SendValues(CQVActor* environment, Values v) {
    environment->HandleMessage(MSG_SET_AMBIENT_COLOR, Args_Of(v.ambient));
    environment->HandleMessage(MSG_SET_GRAVITY, Args_Of(&v.gravity));
    environment->HandleMessage(MSG_SET_AIR_RESISTANCE, Args_Of(&v.airResistance));
    environment->HandleMessage(MSG_SET_WIND, Args_Of(&v.wind));
    environment->HandleMessage(MSG_SET_FOG_ENABLE, Args_Of(&v.fogEnable));
    environment->HandleMessage(MSG_SET_FOG_COLOR, Args_Of(v.fogColor));
    environment->HandleMessage(MSG_SET_FOG_NEAR, Args_Of(&v.fogNear));
    environment->HandleMessage(MSG_SET_FOG_FAR, Args_Of(&v.fogFar));
}

void ExpectValues(const CQVEnvironment& e, const Values& v) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(e.m_Ambient[i], v.ambient[i]);
        EXPECT_FLOAT_EQ(e.m_FogColor[i], v.fogColor[i]);
    }
    EXPECT_FLOAT_EQ(e.m_Gravity, v.gravity);
    EXPECT_FLOAT_EQ(e.m_AirResistance, v.airResistance);
    ExpectNear(e.m_Wind, v.wind, 0.0f);
    EXPECT_EQ(e.m_FogEnable, v.fogEnable);
    EXPECT_FLOAT_EQ(e.m_FogNear, v.fogNear);
    EXPECT_FLOAT_EQ(e.m_FogFar, v.fogFar);
}

void ExpectEngineHas(CQVEngine* engine, const Values& v) {
    EXPECT_EQ(engine->clearColor, 0xFF336699u);
    EXPECT_EQ(State(D3DRS_FOGCOLOR), 0xFF336699u);
    EXPECT_EQ(State(D3DRS_FOGENABLE), 1u);
    EXPECT_EQ(std::bit_cast<float>(State(D3DRS_FOGSTART)), v.fogNear);
    EXPECT_EQ(std::bit_cast<float>(State(D3DRS_FOGEND)), v.fogFar);
    // Ambient channels are truncated to 0..255.
    EXPECT_EQ(State(D3DRS_AMBIENT), 0xFF19334Cu);
}

TEST_F(EnvironmentTest, APresetCopiesItsValuesIntoTheSystemEnvironmentAndTheEngine) {
    CQVEnvironment* preset = MakeEnvironment("Cave");
    const Values values;
    SendValues(preset, values);
    // A preset's own setters reach the engine too; start from a clean engine.
    engine->SetFogEnable(0);
    engine->SetClearColor(0);
    preset->HandleMessage(MSG_ACTIVATE_ENVIRONMENT_PARAMS, nullptr);
    ExpectValues(*system, values);
    ExpectEngineHas(engine, values);
    EXPECT_FLOAT_EQ(Environment_GetGravity(), 3.5f);
    EXPECT_FLOAT_EQ(Environment_GetAirResistance(), 0.25f);
    ExpectNear(Environment_GetWind(), Vector3(1.0f, 0.0f, -2.0f), 0.0f);
    float gravity = 0.0f;
    system->HandleMessage(MSG_GET_GRAVITY, Args_Of(&gravity));
    EXPECT_FLOAT_EQ(gravity, 3.5f);
}

TEST_F(EnvironmentTest, DeactivationClearsTheEngineAndLerpPushesTheStoredValuesBack) {
    const Values values;
    SendValues(system, values);
    // A preset's deactivation reaches the system Environment.
    MakeEnvironment("Cave")->HandleMessage(MSG_DEACTIVATE_ENVIRONMENT, nullptr);
    EXPECT_EQ(engine->clearColor, 0u);
    EXPECT_EQ(State(D3DRS_FOGENABLE), 0u);
    EXPECT_EQ(State(D3DRS_FOGCOLOR), 0u);
    EXPECT_EQ(State(D3DRS_AMBIENT), 0u);
    ExpectValues(*system, values);
    float unused = 0.0f;
    system->HandleMessage(MSG_LERP_ENVIRONMENT_PARAMS, Args_Of(&unused));
    ExpectEngineHas(engine, values);
}

TEST_F(EnvironmentTest, TheSystemEnvironmentPushesItsValuesAtPrecalculate) {
    system->m_FogEnable = 1;
    system->m_FogColor[2] = 1.0f;
    system->m_FogColor[3] = 1.0f;
    system->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(engine->clearColor, 0xFF0000FFu);
    EXPECT_EQ(State(D3DRS_FOGENABLE), 1u);
    // A preset pushes nothing at Precalculate.
    CQVEnvironment* preset = MakeEnvironment("Cave");
    preset->m_FogColor[0] = 1.0f;
    preset->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(engine->clearColor, 0xFF0000FFu);
}

class EnvironmentVersions : public CameraSceneTest, public testing::WithParamInterface<uint32_t> {};

// Activated presets are saved with the system Environment; the fog from version 10.
TEST_P(EnvironmentVersions, TheSystemEnvironmentSavesWhatAPresetGaveIt) {
    const uint32_t version = GetParam();
    CQVEnvironment* preset = MakeEnvironment("Cave");
    const Values values;
    SendValues(preset, values);
    preset->HandleMessage(MSG_ACTIVATE_ENVIRONMENT_PARAMS, nullptr);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qv_environment_" + std::to_string(::getpid()) + ".bin")).string();
    {
        CQVActorArchive out;
        ASSERT_TRUE(out.Open(path.c_str(), "wb"));
        out.version = version;
        ASSERT_EQ(system->Serialize(&out, 0), 1);
        out.Close();
    }
    CQVEnvironment loaded;
    CQVActorArchive in;
    ASSERT_TRUE(in.Open(path.c_str(), "rb"));
    in.version = version;
    SkipRecordHead(&in);
    ASSERT_EQ(loaded.Serialize(&in, 0), 1);
    EXPECT_EQ(in.GetRemaining(), 0u);
    in.Close();
    EXPECT_FLOAT_EQ(loaded.m_Gravity, values.gravity);
    ExpectNear(loaded.m_Wind, values.wind, 0.0f);
    EXPECT_FLOAT_EQ(loaded.m_AirResistance, values.airResistance);
    EXPECT_FLOAT_EQ(loaded.m_Ambient[2], values.ambient[2]);
    const bool fog = version >= 10;
    EXPECT_EQ(loaded.m_FogEnable, fog ? 1u : 0u);
    EXPECT_FLOAT_EQ(loaded.m_FogFar, fog ? values.fogFar : 5000.0f);
    EXPECT_FLOAT_EQ(loaded.m_FogColor[1], fog ? values.fogColor[1] : 0.0f);

    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 2);
    CQVEnvironment cut;
    CQVActorArchive shortIn;
    ASSERT_TRUE(shortIn.Open(path.c_str(), "rb"));
    shortIn.version = version;
    SkipRecordHead(&shortIn);
    EXPECT_EQ(cut.Serialize(&shortIn, 0), 0);
    shortIn.Close();
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Versions, EnvironmentVersions, testing::Values(1u, 9u, 10u, 70u));

double SixtiethOfASecond() { return 1.0 / 60.0; }

// Whole game frames with a current Free camera, read back through "Capture BackBuffer".
class EnvironmentScreen : public CameraSceneTest {
protected:
    void SetUp() override {
        CameraSceneTest::SetUp();
        DrawGroups_Reset();
        FrameClock_SetSource(&SixtiethOfASecond);
        Screen_Reset();
        g_ActorSystemServices.captureBackBuffer = &Screen_CaptureBackBuffer;
        camera = MakeCamera(CAMERA_FREE);
        camera->HandleMessage(MSG_PRECALCULATE, nullptr);
        Activate(camera, 1);
    }
    void TearDown() override {
        g_ActorSystemServices.captureBackBuffer = nullptr;
        Screen_Reset();
        FrameClock_SetSource(nullptr);
        CameraSceneTest::TearDown();
    }
    void Frame() {
        ASSERT_EQ(FrameStep(g_ActorSystem), 1);
        Vector2 size{static_cast<float>(width), static_cast<float>(height)};
        g_ActorSystem->HandleMessage(MSG_CAPTURE_BACKBUFFER, Args_Of(&size));
        ASSERT_NE(Screen_GetCapture(), nullptr);
    }
    // 0xRRGGBB of the capture at the pixel.
    static uint32_t Captured(int x, int y) {
        const ImageBuffer* image = Screen_GetCapture();
        const uint8_t* p = image->pixels.get() + static_cast<size_t>(y) * image->pitch + static_cast<size_t>(x) * 4;
        return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
    static void ExpectColor(uint32_t actual, uint32_t expected, int tolerance) {
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(static_cast<int>(actual >> shift & 0xFF), static_cast<int>(expected >> shift & 0xFF),
                        tolerance)
                << std::hex << actual << " against " << expected;
        }
    }

    CQVCamera* camera = nullptr;
};

TEST_F(EnvironmentScreen, TheFogColourFillsTheEmptyScreen) {
    float color[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    system->HandleMessage(MSG_SET_FOG_COLOR, Args_Of(color));
    Frame();
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{width / 2, height / 2}, std::pair{width - 1, height - 1}})
        ExpectColor(Captured(x, y), 0x336699, 1);
}

struct FogCase {
    uint32_t fogEnable;
    uint32_t farPixel;  // the far square's colour on screen
};

class EnvironmentFarObject : public EnvironmentScreen, public testing::WithParamInterface<FogCase> {};

// Two white squares in front of the camera, one near and one just before
// the fog's end: with fog on the far one takes the fog's colour.
TEST_P(EnvironmentFarObject, IsColouredByTheFog) {
    MeshGeometry square;
    const Vector3 corners[4] = {{-20, -20, 0}, {-20, 20, 0}, {20, 20, 0}, {20, -20, 0}};
    const Vector2 uv[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    square.AddQuad(corners, Vector3(0, 0, -1), uv);
    CQVMeshItem* mesh = Mesh(square);
    CQVMaterialItem* white = Material(8, 1.0f, 1.0f, 1.0f, false);
    const Vector3 nearAt(-40, 0, 150), farAt(40, 0, 590);
    RenderItem* nearItem = Item(mesh, white, At(nearAt));
    RenderItem* farItem = Item(mesh, white, At(farAt));

    float color[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    system->HandleMessage(MSG_SET_FOG_COLOR, Args_Of(color));
    float fogNear = 200.0f, fogFar = 600.0f;
    system->HandleMessage(MSG_SET_FOG_NEAR, Args_Of(&fogNear));
    system->HandleMessage(MSG_SET_FOG_FAR, Args_Of(&fogFar));
    uint32_t enable = GetParam().fogEnable;
    system->HandleMessage(MSG_SET_FOG_ENABLE, Args_Of(&enable));
    // The items stand in for mesh objects the draw pass would queue.
    engine->QueueRenderItem(nearItem, 0.0f, 1.0f);
    engine->QueueRenderItem(farItem, 0.0f, 1.0f);
    Frame();
    const auto pixelOf = [](Vector3 world) {
        Camera_ProjectToScreen(&world);
        return Captured(static_cast<int>(world.x), static_cast<int>(world.y));
    };
    ExpectColor(pixelOf(nearAt), 0xFFFFFF, 2);
    ExpectColor(pixelOf(farAt), GetParam().farPixel, 8);
}

// Fog from 200 to 600: at 590 the square keeps 10/400 of its own colour.
INSTANTIATE_TEST_SUITE_P(Fog, EnvironmentFarObject, testing::Values(FogCase{1, 0x0606FF}, FogCase{0, 0xFFFFFF}));

}  // namespace
