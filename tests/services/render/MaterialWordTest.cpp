// The render-state word: exact device-state sequences on a recording of the
// calls, group by group, in the order the groups are applied.

#include "services/render/Material.h"
#include "services/render/MaterialDevice.h"
#include "services/render/Render.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"

namespace {

using Calls = std::vector<MaterialDeviceCall>;

MaterialDeviceCall RS(D3DRENDERSTATETYPE state, uint32_t value) {
    MaterialDeviceCall c{};
    c.kind = MaterialDeviceCall::RENDER_STATE;
    c.type = state;
    c.value = value;
    return c;
}

MaterialDeviceCall TSS(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    MaterialDeviceCall c{};
    c.kind = MaterialDeviceCall::STAGE_STATE;
    c.stage = stage;
    c.type = type;
    c.value = value;
    return c;
}

MaterialDeviceCall TF(D3DTRANSFORMSTATETYPE type, const D3DMATRIX& matrix) {
    MaterialDeviceCall c{};
    c.kind = MaterialDeviceCall::TRANSFORM;
    c.type = type;
    c.matrix = matrix;
    return c;
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

std::string Describe(const Calls& calls) {
    std::string text;
    for (const MaterialDeviceCall& c : calls) {
        // Appended piece by piece: GCC's -O2 string-copy checks misread a chain of temporaries here.
        text.append("{").append(std::to_string(c.kind)).append(" ").append(std::to_string(c.stage));
        text.append(" ").append(std::to_string(c.type)).append(" ").append(std::to_string(c.value)).append("} ");
    }
    return text;
}

class MaterialWordTest : public MeshDeviceTest {
protected:
    Calls calls;
    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
        g_MaterialCallLog = &calls;
    }
    void TearDown() override {
        g_MaterialCallLog = nullptr;
        MeshDeviceTest::TearDown();
    }
    // The calls one word makes after the last word was from.
    Calls Apply(uint32_t from, uint32_t word, uint32_t force = 0) {
        g_MaterialState.lastWord = from;
        CQVEngine::GetInstance()->ForceRenderStates(force);
        calls.clear();
        CQVEngine::GetInstance()->SetRenderStateWord(word);
        return calls;
    }
};

struct WordCase {
    const char* name;
    uint32_t from, word, force;
    Calls expected;
};
void PrintTo(const WordCase& c, std::ostream* out) { *out << c.name; }

const D3DMATRIX kEnvironment = Material_EnvironmentMatrix();

const WordCase kWordCases[] = {
    {"Unchanged", 0xB8, 0xB8, 0, {}},
    // A "Normal" material with full alpha after the start word: only the culling differs.
    {"NormalAfterStart", 0x78, 0xB8, 0, {RS(D3DRS_CULLMODE, D3DCULL_CCW)}},
    {"NormalFaded",
     0xB8,
     0xB9,
     0,
     {RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), RS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA),
      TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), TSS(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE)}},
    {"BackToOpaque", 0xB9, 0xB8, 0, {RS(D3DRS_ALPHABLENDENABLE, 0)}},
    {"Additive",
     0xB8,
     0xBA,
     0,
     {RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), RS(D3DRS_DESTBLEND, D3DBLEND_ONE),
      TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), TSS(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE)}},
    {"Multiply",
     0xB8,
     0xAB,
     0,
     {RS(D3DRS_ZWRITEENABLE, 0), RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_ZERO),
      RS(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR)}},
    {"TextureAlpha",
     0xA8,
     0xAC,
     0,
     {RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), RS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA),
      TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), TSS(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE)}},
    {"TextureAlphaTimesDiffuse",
     0xA8,
     0xAD,
     0,
     {RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), RS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA),
      TSS(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), TSS(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
      TSS(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT)}},
    {"AlphaModesSixAndSevenSetNothing", 0xB8, 0xBE, 0, {}},
    {"TwoSidedUnlit", 0xB8, 0x18, 0, {RS(D3DRS_LIGHTING, 0), RS(D3DRS_CULLMODE, D3DCULL_NONE)}},
    // Bit 0x40 alone culls clockwise faces.
    {"ClockwiseCulling", 0x98, 0x58, 0, {RS(D3DRS_CULLMODE, D3DCULL_CW)}},
    {"Clamp",
     0xB8,
     0x1B8,
     0,
     {TSS(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP), TSS(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP)}},
    {"Unclamp",
     0x1B8,
     0xB8,
     0,
     {TSS(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP), TSS(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP)}},
    {"Stage1Added",
     0xB8,
     0x2B8,
     0,
     {TSS(1, D3DTSS_COLORARG1, D3DTA_TEXTURE), TSS(1, D3DTSS_COLOROP, D3DTOP_ADD), TSS(1, D3DTSS_COLORARG2, D3DTA_CURRENT),
      TSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE)}},
    {"Stage1OtherBitsAreOff",
     0x2B8,
     0x10B8,
     0,
     {TSS(1, D3DTSS_COLOROP, D3DTOP_DISABLE), TSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE)}},
    {"EnvironmentOnStage1",
     0xB8,
     0x40B8,
     0,
     {TF(D3DTS_TEXTURE1, kEnvironment), TSS(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2),
      TSS(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL)}},
    {"EnvironmentOff", 0x20B8, 0xB8, 0, {TF(D3DTS_TEXTURE0, Identity()), TSS(0, D3DTSS_TEXCOORDINDEX, 0)}},
    {"FogOn", 0xB8, 0x80B8, 0, {RS(D3DRS_FOGENABLE, 1)}},
    // "* 1(ENV) <Texture2Alpha> 2" with fog, everything forced: every group in order.
    {"EveryGroupForced",
     0xA6B9,
     0xA6B9,
     0xFFFFFFFF,
     {RS(D3DRS_ZENABLE, 1), RS(D3DRS_ZWRITEENABLE, 1), RS(D3DRS_LIGHTING, 1), RS(D3DRS_FOGENABLE, 1),
      TF(D3DTS_TEXTURE0, kEnvironment), TSS(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2),
      TSS(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL), TF(D3DTS_TEXTURE1, Identity()),
      TSS(1, D3DTSS_TEXCOORDINDEX, 0), RS(D3DRS_CULLMODE, D3DCULL_CCW), TSS(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP),
      TSS(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP), TSS(1, D3DTSS_COLORARG1, D3DTA_TEXTURE),
      TSS(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA), TSS(1, D3DTSS_COLORARG2, D3DTA_CURRENT),
      TSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE), RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA),
      RS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
      TSS(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE)}},
    // A forced group is set again although the word did not change it.
    {"ForcedStage1",
     0xB8,
     0xB8,
     RSW_STAGE1,
     {TSS(1, D3DTSS_COLOROP, D3DTOP_DISABLE), TSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE)}},
};

class WordSequence : public MaterialWordTest, public testing::WithParamInterface<WordCase> {};

TEST_P(WordSequence, SetsExactlyTheChangedGroups) {
    const WordCase& c = GetParam();
    const Calls made = Apply(c.from, c.word, c.force);
    EXPECT_TRUE(made == c.expected) << "made:     " << Describe(made) << "\nexpected: " << Describe(c.expected);
    EXPECT_EQ(g_MaterialState.lastWord, c.word);
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, 0u);
    // The same word again sets nothing: the force mask was used up.
    calls.clear();
    CQVEngine::GetInstance()->SetRenderStateWord(c.word);
    EXPECT_TRUE(calls.empty()) << Describe(calls);
}

INSTANTIATE_TEST_SUITE_P(Cases, WordSequence, testing::ValuesIn(kWordCases),
                         [](const testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

TEST_F(MaterialWordTest, TheDeviceHoldsWhatTheWordSet) {
    Apply(0x78, 0x2619 | RSW_FOG, 0xFFFFFFFF);
    uint32_t value = 0;
    Device()->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DCULL_NONE));
    Device()->GetRenderState(D3DRS_FOGENABLE, &value);
    EXPECT_EQ(value, 1u);
    Device()->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 0u);
    Device()->GetTextureStageState(0, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTSS_TCI_CAMERASPACENORMAL));
    Device()->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTOP_BLENDTEXTUREALPHA));
    D3DMATRIX m;
    Device()->GetTransform(D3DTS_TEXTURE0, &m);
    EXPECT_EQ(std::memcmp(&m, &kEnvironment, sizeof m), 0);
}

}  // namespace
