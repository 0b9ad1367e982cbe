// The Light actor: its engine light, files of every version, the editing
// form of the attenuations, which getters apply, the fades that follow the
// draw group on an injected clock, and the colour scaling of value messages.

#include "tests/actors/scene/LightTestSupport.h"

#include "services/render/Lights.h"
#include "services/render/Render.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr D3DCOLORVALUE kOrange{1.0f, 0.5f, 0.25f, 1.0f};

class LightTest : public LightActorTest {
protected:
    CQVLight* MakeLight(const char* name = "Lamp", CQVActor* parent = nullptr) {
        return Make<CQVLight>(CLASS_LIGHT, name, parent);
    }
    static void SetAttenuations(CQVLight* light, float a0, float a1, float a2) {
        light->m_Attenuation[0] = a0;
        light->m_Attenuation[1] = a1;
        light->m_Attenuation[2] = a2;
        light->ApplyToRenderer();
    }
};

TEST_F(LightTest, ANewLightTakesTheEngineLightsDefaultsAndIsOn) {
    CQVLight* light = MakeLight();
    ASSERT_NE(light->m_RendererLight, nullptr);
    EXPECT_EQ(light->m_Range, 200.0f);
    EXPECT_EQ(light->m_Colors[CQVLight::DIFFUSE].r, 1.0f);
    EXPECT_EQ(Ask<uint32_t>(light, MSG_GET_LIGHT_TYPE), 0u);  // point
    EXPECT_EQ(Ask<uint32_t>(light, MSG_GET_LIGHT_ACTIVE), 1u);
    EXPECT_TRUE(IsLocalLightOn(light));
    // The attenuations are the Light's own, relative to the range.
    EXPECT_EQ(Record(light).Attenuation1, 1.0f / 200.0f);
    EXPECT_EQ(Record(light).Attenuation2, 1.0f / 40000.0f);

    EXPECT_EQ(light->HandleMessage(MSG_STOP, nullptr), 1);
    EXPECT_FALSE(IsLocalLightOn(light));
    EXPECT_EQ(Ask<uint32_t>(light, MSG_GET_LIGHT_ACTIVE), 0u);
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 1);
    EXPECT_TRUE(IsLocalLightOn(light));

    const size_t before = CQVRender::Get().Lights().lights.size();
    g_ActorSystem->DeleteActor(light);
    EXPECT_EQ(CQVRender::Get().Lights().lights.size(), before - 1);
    EXPECT_TRUE(CQVRender::Get().Lights().localLights.empty());
}

TEST_F(LightTest, ACopyMakesItsOwnEngineLightWithTheSourcesValues) {
    CQVLight* source = MakeLight("Source");
    Send(source, MSG_SET_DIFFUSE_COLOR, kOrange);
    Send(source, MSG_SET_RADIUS, 350.0f);
    SetAttenuations(source, 2.0f, 3.0f, 4.0f);
    auto* copy = static_cast<CQVLight*>(g_ActorSystem->CloneActor(source, scenery, 0));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->m_RendererLight, nullptr);
    EXPECT_NE(copy->m_RendererLight, source->m_RendererLight);
    EXPECT_EQ(Record(copy).Diffuse.g, 0.5f);
    EXPECT_EQ(Record(copy).Range, 350.0f);
    EXPECT_EQ(Record(copy).Attenuation0, 2.0f);
    EXPECT_FLOAT_EQ(Record(copy).Attenuation2, 4.0f / (350.0f * 350.0f));
    // Deleting the copy leaves the source's engine light alone.
    g_ActorSystem->DeleteActor(copy);
    EXPECT_EQ(Record(source).Diffuse.g, 0.5f);
}

// Payloads of each version: what a file of that version holds comes back.
class LightFiles : public LightTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(LightFiles, KeepTheirFieldsAcrossAWriteAndARead) {
    const uint32_t version = GetParam();
    CQVLight* light = MakeLight("Stored");
    Send<uint32_t>(light, MSG_SET_LIGHT_TYPE, 1);  // spot
    Send(light, MSG_SET_DIFFUSE_COLOR, kOrange);
    Send(light, MSG_SET_SPECULAR_COLOR, D3DCOLORVALUE{0.1f, 0.2f, 0.3f, 0.4f});
    Send(light, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.05f, 0.0f, 0.0f, 1.0f});
    Send(light, MSG_SET_RADIUS, 300.0f);
    Send(light, MSG_SET_FALLOFF, 0.5f);
    Send(light, MSG_SET_THETA, 0.3f);
    Send(light, MSG_SET_PHI, 0.6f);
    SetAttenuations(light, 1.5f, 2.0f, 3.0f);
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 0);
    const std::string bytes = LightTest_WritePayload(light, version);

    CQVLight* loaded = MakeLight("Loaded");
    ASSERT_EQ(LightTest_ReadPayload(loaded, bytes, version), 1);
    EXPECT_EQ(loaded->m_LightType, static_cast<uint32_t>(D3DLIGHT_SPOT));
    EXPECT_EQ(std::memcmp(loaded->m_Colors, light->m_Colors, sizeof light->m_Colors), 0);
    EXPECT_EQ(loaded->m_Range, 300.0f);
    EXPECT_EQ(loaded->m_Falloff, 0.5f);
    EXPECT_EQ(loaded->m_ConeMin, 0.3f);
    EXPECT_EQ(loaded->m_ConeMax, 0.6f);
    EXPECT_FALSE(loaded->IsOn());
    // Older files kept one factor, written as 0 today: no distance terms.
    const std::vector<float> expected = version >= 55 ? std::vector<float>{1.5f, 2.0f, 3.0f}
                                                      : std::vector<float>{1.0f, 0.0f, 0.0f};
    EXPECT_EQ(std::vector<float>(loaded->m_Attenuation, loaded->m_Attenuation + 3), expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, LightFiles, testing::Values(1u, 54u, 55u, 64u, 65u, 70u));

TEST_F(LightTest, AVersion54FileDerivesTheThreeAttenuationsFromItsOneFactor) {
    CQVLight* light = MakeLight("Old");
    Send(light, MSG_SET_RADIUS, 100.0f);
    std::string bytes = LightTest_WritePayload(light, 54);
    // The payload ends with the factor, the cone (three floats) and the
    // light-on word of files before version 65.
    const float factor = 2.0f;
    const uint32_t off = 0;
    std::memcpy(bytes.data() + bytes.size() - 20, &factor, 4);
    std::memcpy(bytes.data() + bytes.size() - 4, &off, 4);

    CQVLight* loaded = MakeLight("Loaded");
    ASSERT_EQ(LightTest_ReadPayload(loaded, bytes, 54), 1);
    EXPECT_FALSE(loaded->IsOn());  // the old word, not the active word, decides
    EXPECT_EQ(std::vector<float>(loaded->m_Attenuation, loaded->m_Attenuation + 3),
              (std::vector<float>{1.0f, 200.0f, 2000.0f}));
    loaded->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_FLOAT_EQ(Record(loaded).Attenuation0, 1.0f);
    EXPECT_FLOAT_EQ(Record(loaded).Attenuation1, 2.0f);
    EXPECT_FLOAT_EQ(Record(loaded).Attenuation2, 0.2f);
}

TEST_F(LightTest, AShortFileFailsTheRead) {
    CQVLight* light = MakeLight();
    const std::string bytes = LightTest_WritePayload(light, 70);
    CQVLight* loaded = MakeLight("Loaded");
    const std::filesystem::path path = LightTest_PayloadPath();
    std::ofstream(path, std::ios::binary) << bytes.substr(8, bytes.size() - 8 - 6);
    CQVActorArchive archive;
    archive.version = 70;
    ASSERT_TRUE(archive.Open(path.c_str(), "rb"));
    EXPECT_EQ(loaded->Serialize(&archive, 0), 0);
    archive.Close();
    std::filesystem::remove(path);
}

struct EditCase {
    const char* label;
    float stored[3];                                 // before the sets
    std::vector<std::pair<uint32_t, float>> sets;    // in order
    float expected[3];                               // stored form after them
    float form[3];                                   // editing form asked afterwards
};

class LightEditingForm : public LightTest, public testing::WithParamInterface<EditCase> {};

TEST_P(LightEditingForm, ConvertsToAndFromTheStoredForm) {
    const EditCase& c = GetParam();
    CQVLight* light = MakeLight();
    SetAttenuations(light, c.stored[0], c.stored[1], c.stored[2]);
    for (const auto& [id, value] : c.sets) Send(light, id, value);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(light->m_Attenuation[i], c.expected[i]) << c.label << " a" << i;
    EXPECT_FLOAT_EQ(Ask<float>(light, MSG_GET_ATTENUATION_OFFSET), c.form[0]) << c.label;
    EXPECT_FLOAT_EQ(Ask<float>(light, MSG_GET_ATTENUATION_STRENGTH), c.form[1]) << c.label;
    EXPECT_FLOAT_EQ(Ask<float>(light, MSG_GET_ATTENUATION_STYLE), c.form[2]) << c.label;
    // The engine light gets them relative to the range of 200.
    EXPECT_FLOAT_EQ(Record(light).Attenuation0, c.expected[0]) << c.label;
    if (!c.sets.empty()) {
        EXPECT_FLOAT_EQ(Record(light).Attenuation1, c.expected[1] / 200.0f) << c.label;
        EXPECT_FLOAT_EQ(Record(light).Attenuation2, c.expected[2] / 40000.0f) << c.label;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LightEditingForm,
    testing::Values(
        EditCase{"asked only", {1.0f, 200.0f, 2000.0f}, {}, {1.0f, 200.0f, 2000.0f}, {1.0f, 2200.0f, 200.0f / 2200.0f}},
        EditCase{"strength then style",
                 {1.0f, 1.0f, 1.0f},
                 {{MSG_SET_ATTENUATION_STRENGTH, 1.0f}, {MSG_SET_ATTENUATION_STYLE, 0.25f}},
                 {1.0f, 0.25f, 0.75f},
                 {1.0f, 1.0f, 0.25f}},
        EditCase{"offset keeps the distance terms",
                 {1.0f, 1.0f, 3.0f},
                 {{MSG_SET_ATTENUATION_OFFSET, 2.0f}},
                 {2.0f, 1.0f, 3.0f},
                 {2.0f, 4.0f, 0.25f}},
        EditCase{"strength keeps the style", {1.0f, 1.0f, 3.0f}, {{MSG_SET_ATTENUATION_STRENGTH, 8.0f}}, {1.0f, 2.0f, 6.0f},
                 {1.0f, 8.0f, 0.25f}},
        // With no distance term the style is undefined: it stays as it was
        // and everything stays finite.
        EditCase{"no distance terms",
                 {1.0f, 0.0f, 0.0f},
                 {{MSG_SET_ATTENUATION_STRENGTH, 2.0f}},
                 {1.0f, 2.0f, 0.0f},
                 {1.0f, 2.0f, 1.0f}}),
    [](const testing::TestParamInfo<EditCase>& info) {
        std::string name = info.param.label;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

TEST_F(LightTest, RangeZeroKeepsTheEngineLightsAttenuationsFinite) {
    CQVLight* light = MakeLight();
    SetAttenuations(light, 1.0f, 2.0f, 4.0f);
    Send(light, MSG_SET_RADIUS, 100.0f);
    Send(light, MSG_SET_RADIUS, 0.0f);
    EXPECT_EQ(Record(light).Range, 0.0f);
    EXPECT_FLOAT_EQ(Record(light).Attenuation1, 0.02f);
    EXPECT_FLOAT_EQ(Record(light).Attenuation2, 0.0004f);
    light->ApplyToRenderer();
    EXPECT_FLOAT_EQ(Record(light).Attenuation1, 0.02f);
    Send(light, MSG_SET_ATTENUATION_STYLE, 0.5f);
    EXPECT_TRUE(std::isfinite(Record(light).Attenuation2));
}

// Which rows apply: getters of rows that do not apply answer and return 0;
// "Light Fade " and the value messages return 1 and stop there.
struct ReturnCase {
    uint32_t type;     // as "Set Light Type" takes it: 0 point, 1 spot, 2 directional
    uint32_t message;
    bool on;
    int result;        // -1: whatever the base answers, but not 0
    bool passedOn;
};

class LightReturns : public LightTest, public testing::WithParamInterface<ReturnCase> {};

TEST_P(LightReturns, FollowTheTypeAndTheSwitch) {
    const ReturnCase& c = GetParam();
    CQVLight* light = MakeLight();
    Send(light, MSG_SET_LIGHT_TYPE, c.type);
    Send(light, MSG_SET_PHI, 0.7f);
    Send(light, MSG_SET_RADIUS, 250.0f);
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, c.on ? 1 : 0);
    float value = 0.5f;
    const uint32_t before = g_MessageCount;
    const int result = light->HandleMessage(c.message, Args_Of(&value));
    const bool passedOn = g_MessageCount != before;
    if (c.result < 0) {
        EXPECT_NE(result, 0);
    } else {
        EXPECT_EQ(result, c.result);
    }
    EXPECT_EQ(passedOn, c.passedOn);
    if (c.message == MSG_GET_RADIUS) {
        EXPECT_EQ(value, 250.0f);
    }
    if (c.message == MSG_GET_PHI) {
        EXPECT_FLOAT_EQ(value, 0.7f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LightReturns,
    testing::Values(ReturnCase{0, MSG_GET_RADIUS, true, -1, true}, ReturnCase{1, MSG_GET_RADIUS, true, -1, true},
                    ReturnCase{2, MSG_GET_RADIUS, true, 0, false}, ReturnCase{1, MSG_GET_PHI, true, -1, true},
                    ReturnCase{0, MSG_GET_PHI, true, 0, false}, ReturnCase{2, MSG_GET_THETA, true, 0, false},
                    ReturnCase{0, MSG_GET_FALLOFF, true, 0, false}, ReturnCase{1, MSG_GET_FALLOFF, true, -1, true},
                    ReturnCase{0, MSG_LIGHT_FADE, true, 1, false}, ReturnCase{0, MSG_LIGHT_FADE, false, 1, false},
                    ReturnCase{0, MSG_ACTION_START_VALUE, false, 1, false},
                    ReturnCase{0, MSG_KILL_VALUE, true, 1, false}, ReturnCase{2, MSG_GET_DIFFUSE_COLOR, true, -1, true}));

TEST_F(LightTest, ValueMessagesScaleTheColoursWithoutStoringThem) {
    CQVLight* light = MakeLight();
    Send(light, MSG_SET_DIFFUSE_COLOR, kOrange);
    Send(light, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.2f, 0.2f, 0.2f, 1.0f});
    Send(light, MSG_ACTION_STOP_VALUE, 0.5f);
    EXPECT_FLOAT_EQ(Record(light).Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(Record(light).Diffuse.g, 0.25f);
    EXPECT_FLOAT_EQ(Record(light).Diffuse.a, 0.5f);
    EXPECT_FLOAT_EQ(Record(light).Ambient.r, 0.1f);
    EXPECT_FLOAT_EQ(Ask<D3DCOLORVALUE>(light, MSG_GET_DIFFUSE_COLOR).r, 1.0f);
    // The next full apply brings the configured colours back.
    light->ApplyToRenderer();
    EXPECT_FLOAT_EQ(Record(light).Diffuse.r, 1.0f);
    // A light that is off is left alone.
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 0);
    Send(light, MSG_KILL_VALUE, 0.0f);
    EXPECT_FLOAT_EQ(Record(light).Diffuse.r, 1.0f);
}

TEST_F(LightTest, TheEngineLightFollowsTheActorWhenItMoves) {
    CQVLight* light = MakeLight();
    Send<uint32_t>(light, MSG_SET_LIGHT_TYPE, 1);
    Send(light, MSG_SET_POSITION, Vector3(10.0f, 20.0f, 30.0f));
    Frame(1.0f / 60.0f);  // the transform step of the frame
    light->Update();      // the draw pass
    EXPECT_EQ(Record(light).Position.x, 10.0f);
    EXPECT_EQ(Record(light).Position.z, 30.0f);
    EXPECT_EQ(Record(light).Direction.z, 1.0f);
}

// The fades on an injected clock of 45 ms frames: the lerp fires once a
// frame and reports where its previous step stood (steps 1/30 s apart), so
// each step lags one frame behind the clock and the light is full on the
// first frame after 0.4 s.
class LightFade : public LightTest {
protected:
    void SetUp() override {
        LightTest::SetUp();
        light = MakeLight();
        Send(light, MSG_SET_DIFFUSE_COLOR, kOrange);
        Send(light, MSG_SET_AMBIENT_COLOR, D3DCOLORVALUE{0.4f, 0.4f, 0.4f, 1.0f});
    }
    // The diffuse red of the engine light after each of n frames.
    std::vector<float> Run(int frames) {
        std::vector<float> reds;
        for (int i = 0; i < frames; ++i) {
            Frame(kDt);
            reds.push_back(Record(light).Diffuse.r);
        }
        return reds;
    }
    static void ExpectNear(const std::vector<float>& got, const std::vector<float>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-3f) << "frame " << i + 1;
    }
    static constexpr float kDt = 0.045f;
    CQVLight* light = nullptr;
};

TEST_F(LightFade, InOverFourTenthsOfASecondFromBlack) {
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 0);
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 1);
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    EXPECT_EQ(Record(light).Diffuse.r, 0.0f);
    EXPECT_EQ(Record(light).Ambient.r, 0.0f);
    EXPECT_TRUE(IsLocalLightOn(light));
    ExpectNear(Run(10), {0.0f, 0.1958f, 0.3083f, 0.4208f, 0.5333f, 0.6458f, 0.7583f, 0.8708f, 1.0f, 1.0f});
    EXPECT_FLOAT_EQ(Record(light).Diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(Record(light).Ambient.r, 0.4f);
    EXPECT_EQ(light->FindTimedMessage(MSG_COMMAND_LERP), nullptr);
}

// At 60 frames a second the fade's steps, 1/30 s apart, fall on every
// second frame: the light brightens on each of them until it is full.
TEST_F(LightFade, AtSixtyFramesASecondItBrightensEverySecondFrame) {
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    std::vector<int> changed;
    float red = Record(light).Diffuse.r;
    for (int frame = 1; frame <= 30; ++frame) {
        Frame(1.0f / 60.0f);
        if (Record(light).Diffuse.r != red) changed.push_back(frame);
        red = Record(light).Diffuse.r;
    }
    // The first step shows the fade's start (black, as before): the light
    // moves from the second step, on frame 3, and is full on frame 25.
    std::vector<int> everySecond;
    for (int frame = 3; frame <= 25; frame += 2) everySecond.push_back(frame);
    EXPECT_EQ(changed, everySecond);
    EXPECT_FLOAT_EQ(red, 1.0f);
}

TEST_F(LightFade, OutFromWhereItStoodThenTheEngineLightGoesOff) {
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    Run(9);  // full at 0.405 s
    light->HandleMessage(MSG_ON_DRAW_STOP, nullptr);
    ExpectNear(Run(9), {1.0f, 0.8042f, 0.6917f, 0.5792f, 0.4667f, 0.3542f, 0.2417f, 0.1292f, 0.0f});
    Run(4);
    EXPECT_TRUE(IsLocalLightOn(light));  // 0.585 s after the stop
    Run(1);                              // 0.63 s
    EXPECT_FALSE(IsLocalLightOn(light));
    EXPECT_TRUE(light->IsOn());          // the switch stays: the next start fades in again
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    EXPECT_TRUE(IsLocalLightOn(light));
}

TEST_F(LightFade, AStartBeforeTheDeactivationKeepsTheLightOn) {
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    Run(9);
    light->HandleMessage(MSG_ON_DRAW_STOP, nullptr);
    Run(4);
    light->HandleMessage(MSG_ON_DRAW_START, nullptr);
    Run(20);
    EXPECT_TRUE(IsLocalLightOn(light));
    EXPECT_FLOAT_EQ(Record(light).Diffuse.r, 1.0f);
}

TEST_F(LightFade, ALightThatIsOffIgnoresTheDrawGroup) {
    Send<uint32_t>(light, MSG_SET_LIGHT_ACTIVE, 0);
    for (uint32_t event : {MSG_ON_DRAW_START, MSG_ON_DRAW_STOP}) {
        light->HandleMessage(event, nullptr);
        EXPECT_EQ(light->FindTimedMessage(MSG_COMMAND_LERP), nullptr);
        EXPECT_EQ(light->FindTimedMessage(MSG_LIGHT_DEACTIVATE), nullptr);
        EXPECT_FALSE(IsLocalLightOn(light));
    }
}

}  // namespace
