// Matrix animation: spin and speed, sine and noise layers with their enable
// flags, layer management through the sheet's messages, the transform it
// owns while on, and its record in actor files of several versions.

#include "actors/scene/MatrixAnimation.h"
#include "kernel/base/Archive.h"
#include "tests/actors/scene/ObjectTestSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class MatrixAnimationTest : public ObjectSceneFixture {
protected:
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        anim = static_cast<CQVMatrixAnimation*>(Make(CLASS_MATRIX_ANIMATION, "Camera Rig"));
        ASSERT_NE(anim, nullptr);
    }
    void SelectLayer(const char* name) { anim->HandleMessage(MSG_MA_SELECT_LAYER, Args_Of(name)); }

    CQVMatrixAnimation* anim = nullptr;
};

TEST_F(MatrixAnimationTest, TheSpinTurnsAboutYByItsRateTimesTheSpeed) {
    const struct {
        float speed;
        std::vector<float> frames;
        Quaternion expected;
    } cases[] = {
        {1.0f, {1.0f}, {0.0f, 0.47943f, 0.0f, 0.87758f}},
        {1.0f, {0.25f, 0.25f, 0.5f}, {0.0f, 0.47943f, 0.0f, 0.87758f}},
        {2.0f, {0.5f}, {0.0f, 0.47943f, 0.0f, 0.87758f}},  // set by "Action Start Value"
        {2.0f, {1.0f}, {0.0f, 0.84147f, 0.0f, 0.54030f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        Send(anim, MSG_SET_MA_ROTATION, Vector3(0.0f, 1.0f, 0.0f));
        Send(anim, MSG_ACTION_START_VALUE, c.speed);
        anim->HandleMessage(MSG_PRECALCULATE, nullptr);
        for (float dt : c.frames) Step(anim, dt);
        EXPECT_NEAR(anim->m_Rotation.x, c.expected.x, 1e-5f);
        EXPECT_NEAR(anim->m_Rotation.y, c.expected.y, 1e-5f);
        EXPECT_NEAR(anim->m_Rotation.z, c.expected.z, 1e-5f);
        EXPECT_NEAR(anim->m_Rotation.w, c.expected.w, 1e-5f);
    }
}

TEST_F(MatrixAnimationTest, WhileOnItOwnsTheTransformAndOffItStandsStill) {
    Send(anim, MSG_SET_MA_POSITION, Vector3(10.0f, 20.0f, 30.0f));
    CQVActor* child = Make(CLASS_BASE, "Camera", anim);
    Send(child, MSG_SET_POSITION, Vector3(0.0f, 5.0f, 0.0f));
    Send(anim, MSG_SET_POSITION, Vector3(-1.0f, -1.0f, -1.0f));
    Step(anim, 0.1f);
    EXPECT_EQ(anim->m_Position.x, 10.0f);
    EXPECT_EQ(anim->m_Position.z, 30.0f);
    // The child follows through the tree.
    EXPECT_FLOAT_EQ(child->GetWorldPosition().y, 25.0f);

    anim->HandleMessage(MSG_STOP, nullptr);
    Send(anim, MSG_SET_POSITION, Vector3(-1.0f, -1.0f, -1.0f));
    const float time = anim->m_AnimTime;
    Step(anim, 0.1f);
    EXPECT_EQ(anim->m_Position.x, -1.0f);
    EXPECT_EQ(anim->m_AnimTime, time);
    anim->HandleMessage(MSG_ACTION_START, nullptr);
    Step(anim, 0.1f);
    EXPECT_EQ(anim->m_Position.x, 10.0f);
}

TEST_F(MatrixAnimationTest, LayersAddSineAndNoiseAndSkipTermsWithoutAmplitude) {
    anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    SelectLayer("Layer 0");
    ASSERT_EQ(anim->m_CurrentLayer, 0);
    Send(anim, MSG_SET_MA_POSITION_SIN_MUL, Vector3(0.0f, 10.0f, 0.0f));
    Send(anim, MSG_SET_MA_POSITION_SIN_OFF, Vector3(0.0f, 1.5707964f, 0.0f));
    Send(anim, MSG_SET_MA_SCALE_RND_MUL, Vector3(0.5f, 0.0f, 0.0f));
    anim->HandleMessage(MSG_PRECALCULATE, nullptr);
    const uint32_t* enabled = anim->m_Layers[0].enabled;
    EXPECT_EQ(std::vector<uint32_t>(enabled, enabled + 6), (std::vector<uint32_t>{1, 0, 0, 0, 0, 1}));

    // t = 0: sin(0 + pi/2) x 10 on y; noise of 0 on the scale's x.
    Step(anim, 0.0f);
    EXPECT_NEAR(anim->m_Position.y, 10.0f, 1e-4f);
    EXPECT_NEAR(anim->m_Scale.x, 1.0f + Noise_Sample1D(0.0f) * 0.5f, 1e-6f);
    EXPECT_EQ(anim->m_Scale.y, 1.0f);
    // t = 0.5: sin(0.5 + pi/2) = cos 0.5; the noise at 0.5 (frequency 1).
    Step(anim, 0.5f);
    EXPECT_NEAR(anim->m_Position.y, 10.0f * std::cos(0.5f), 1e-4f);
    EXPECT_NEAR(anim->m_Scale.x, 1.0f + Noise_Sample1D(0.5f) * 0.5f, 1e-6f);

    // An offset alone adds nothing once "Precalculate" has seen no amplitude;
    // a layer added after it has every term on until the next one.
    anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(anim->m_Layers[1].enabled, anim->m_Layers[1].enabled + 6),
              (std::vector<uint32_t>(6, 1)));
    EXPECT_EQ(Ask<Vector3>(anim, MSG_GET_MA_SCALE_SIN_FREQ).x, 1.0f);
}

TEST_F(MatrixAnimationTest, LayersAreManagedByNameAndTheTermRowsNeedASelectedLayer) {
    for (int i = 0; i < 3; ++i) anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    std::vector<std::string> names;
    std::vector<std::string>* out = &names;
    anim->HandleMessage(MSG_MA_LAYER_NAMES, Args_Of(&out));
    EXPECT_EQ(names, (std::vector<std::string>{"Layer 0", "Layer 1", "Layer 2"}));

    SelectLayer("Layer 1");
    EXPECT_EQ(anim->m_CurrentLayer, 1);
    // A name of no layer keeps the current one.
    SelectLayer("Layer 7");
    EXPECT_EQ(anim->m_CurrentLayer, 1);
    Send(anim, MSG_SET_MA_ROTATION_SIN_MUL, Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(anim->m_Layers[1].rotation.sinMul.z, 3.0f);

    // Removing the current layer leaves none: the term rows then do nothing.
    anim->HandleMessage(MSG_MA_DELETE_LAYER, nullptr);
    EXPECT_EQ(anim->m_Layers.size(), 2u);
    EXPECT_EQ(anim->m_CurrentLayer, -1);
    Send(anim, MSG_SET_MA_ROTATION_SIN_MUL, Vector3(9.0f, 9.0f, 9.0f));
    EXPECT_EQ(Ask<Vector3>(anim, MSG_GET_MA_ROTATION_SIN_MUL, Vector3(-1.0f, -1.0f, -1.0f)).x, -1.0f);
    EXPECT_EQ(anim->m_Layers[1].rotation.sinMul.x, 0.0f);
    anim->HandleMessage(MSG_MA_DELETE_LAYER, nullptr);
    EXPECT_EQ(anim->m_Layers.size(), 2u);

    Send<uint32_t>(anim, MSG_SET_MA_DIR_BY_MOV, 1);
    EXPECT_EQ(Ask<uint32_t>(anim, MSG_GET_MA_DIR_BY_MOV), 1u);
    EXPECT_EQ(anim->m_AnimFlags, MATRIX_ANIM_DIR_BY_MOV);
}

// Files: written at a chosen version through the engine's own Serialize.
class MatrixAnimationFileTest : public MatrixAnimationTest {
protected:
    void SetUp() override {
        MatrixAnimationTest::SetUp();
        path = fs::temp_directory_path() /
               ("qv_matrix_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name() + ".qva");
    }
    void TearDown() override {
        std::error_code error;
        fs::remove(path, error);
        MatrixAnimationTest::TearDown();
    }
    std::vector<char> Write(uint32_t version) {
        CQVActorArchive archive;
        EXPECT_TRUE(archive.Open(path.c_str(), "wb"));
        archive.version = version;
        uint32_t header[4] = {version, 1, anim->m_Id, 1};
        archive.SerializeDwords(header, 4);
        EXPECT_EQ(anim->Serialize(&archive, 0), 1);
        EXPECT_TRUE(archive.Flush());
        archive.Close();
        g_ActorSystem->DeleteActor(anim);
        anim = nullptr;
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }
    CQVMatrixAnimation* Load(const std::vector<char>& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (g_ActorSystem->LoadActors(path.c_str(), 0) != 1) return nullptr;
        return dynamic_cast<CQVMatrixAnimation*>(
            CQVActorSystem::FindActorByName("Camera Rig", CLASS_MATRIX_ANIMATION));
    }

    fs::path path;
};

TEST_F(MatrixAnimationFileTest, OlderVersionsTakeTheirOnStateAndLoseTheirScaleTerms) {
    const struct {
        uint32_t version;
        bool storedOn;  // flags bit 2 as written
        bool on;
        bool basePositionKept;
        bool scaleKept;
    } cases[] = {
        {70, false, false, true, true},  // from 64 on: the base's active word
        {64, false, false, true, true},
        {63, true, true, true, false},
        {63, false, false, true, false},
        {62, false, true, false, false},
    };
    // Each case makes its own; records are found by name.
    g_ActorSystem->DeleteActor(anim);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + (c.storedOn ? " stored on" : ""));
        anim = static_cast<CQVMatrixAnimation*>(Make(CLASS_MATRIX_ANIMATION, "Camera Rig"));
        ASSERT_NE(anim, nullptr);
        anim->HandleMessage(MSG_STOP, nullptr);
        Send(anim, MSG_SET_MA_POSITION, Vector3(1.0f, 2.0f, 3.0f));
        Send(anim, MSG_SET_MA_ROTATION, Vector3(0.0f, 0.5f, 0.0f));
        anim->m_AnimFlags = c.storedOn ? MATRIX_ANIM_STORED_ON : 0;
        anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
        SelectLayer("Layer 0");
        Send(anim, MSG_SET_MA_SCALE_SIN_MUL, Vector3(0.5f, 0.5f, 0.5f));
        Send(anim, MSG_SET_MA_POSITION_SIN_MUL, Vector3(4.0f, 0.0f, 0.0f));
        CQVMatrixAnimation* loaded = Load(Write(c.version));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->IsOn(), c.on);
        EXPECT_EQ(loaded->m_AnimFlags & MATRIX_ANIM_STORED_ON, c.version >= 64 && c.storedOn ? 4u : 0u);
        EXPECT_EQ(loaded->m_BasePosition.z, c.basePositionKept ? 3.0f : 0.0f);
        EXPECT_EQ(loaded->m_Spin.y, 0.5f);
        ASSERT_EQ(loaded->m_Layers.size(), 1u);
        EXPECT_EQ(loaded->m_Layers[0].position.sinMul.x, 4.0f);
        EXPECT_EQ(loaded->m_Layers[0].scale.sinMul.x, c.scaleKept ? 0.5f : 0.0f);
        EXPECT_EQ(loaded->m_Layers[0].scale.sinFreq.x, 1.0f);
        g_ActorSystem->DeleteActor(loaded);
    }
}

TEST_F(MatrixAnimationFileTest, ALyingLayerCountOrAShortRecordFailsTheLoad) {
    anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    anim->HandleMessage(MSG_MA_ADD_LAYER, nullptr);
    const std::vector<char> whole = Write(70);
    // Two layers of 15 vectors each follow the count.
    const size_t countAt = whole.size() - 2 * 15 * 12 - 4;
    uint32_t count;
    std::memcpy(&count, whole.data() + countAt, 4);
    ASSERT_EQ(count, 2u);
    for (uint32_t lie : {3u, 2000u, 0xFFFFFFFFu}) {
        std::vector<char> bytes = whole;
        std::memcpy(bytes.data() + countAt, &lie, 4);
        EXPECT_EQ(Load(bytes), nullptr) << lie;
    }
    EXPECT_EQ(Load(std::vector<char>(whole.begin(), whole.end() - 1)), nullptr);
    EXPECT_NE(Load(whole), nullptr);
}

}  // namespace
