// Applying material items: the exact device calls on a recording, the
// render-state word each material makes, the already-applied shortcut,
// fading, and the light map on stage 1.

#include "services/library/Library.h"
#include "services/render/Material.h"
#include "services/render/MaterialDevice.h"
#include "services/render/Render.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"

namespace {

using Calls = std::vector<MaterialDeviceCall>;

MaterialDeviceCall Call(MaterialDeviceCall::Kind kind, uint32_t stage, uint32_t type, uint32_t value) {
    MaterialDeviceCall c{};
    c.kind = kind;
    c.stage = stage;
    c.type = type;
    c.value = value;
    return c;
}
MaterialDeviceCall RS(D3DRENDERSTATETYPE state, uint32_t value) {
    return Call(MaterialDeviceCall::RENDER_STATE, 0, state, value);
}
MaterialDeviceCall TSS(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    return Call(MaterialDeviceCall::STAGE_STATE, stage, type, value);
}
MaterialDeviceCall Texture(uint32_t stage, uint32_t id) { return Call(MaterialDeviceCall::TEXTURE, stage, 0, id); }
MaterialDeviceCall SetMaterial(const D3DMATERIAL8& material) {
    MaterialDeviceCall c = Call(MaterialDeviceCall::MATERIAL, 0, 0, 0);
    c.material = material;
    return c;
}
constexpr uint32_t kNone = 0xFFFFFFFF;

std::string Describe(const Calls& calls) {
    std::string text;
    for (const MaterialDeviceCall& c : calls) {
        // Appended piece by piece: GCC's -O2 string-copy checks misread a chain of temporaries here.
        text.append("{").append(std::to_string(c.kind)).append(" ").append(std::to_string(c.stage));
        text.append(" ").append(std::to_string(c.type)).append(" ").append(std::to_string(c.value)).append("} ");
    }
    return text;
}

// Blend indices of the engine's table.
enum : uint32_t { NORMAL = 0, TEXTURE_ALPHA = 1, MULTIPLY = 2, ADD = 3 };

class MaterialApplyTest : public MeshDeviceTest {
protected:
    Calls calls;
    CQVMaterialItem* material = nullptr;

    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
        // Textures that count as loaded without a device texture: binding them binds nothing.
        for (uint32_t id : {5u, 6u, 7u}) {
            auto* texture = new CQVTextureItem;
            texture->loaded = 1;
            g_Library.SetItem(id, texture);
        }
        material = Material(NORMAL, 20);
        g_MaterialCallLog = &calls;
    }
    void TearDown() override {
        g_MaterialCallLog = nullptr;
        CQVRender::Get().View().fogEnabled = 0;
        Library_Reset();
        MeshDeviceTest::TearDown();
    }
    static CQVEngine* engine() { return CQVEngine::GetInstance(); }
    static CQVMaterialItem* Material(uint32_t blendIndex, uint32_t id) {
        auto* item = new CQVMaterialItem;
        item->blendIndex = blendIndex;
        item->material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
        g_Library.SetItem(id, item);
        return item;
    }
    Calls Apply(CQVMaterialItem* item, float alpha = 1.0f, int32_t lightMap = -1) {
        calls.clear();
        engine()->ApplyMaterial(item, alpha, lightMap);
        return calls;
    }
    void ExpectCalls(const Calls& made, const Calls& expected) {
        EXPECT_TRUE(made == expected) << "made:     " << Describe(made) << "\nexpected: " << Describe(expected);
    }
};

TEST_F(MaterialApplyTest, NormalAppliesOnceAndFadingBlendsByDiffuseAlpha) {
    material->textureIds = {5};
    // From the start word 0x78 the word 0xB8 only changes the culling.
    ExpectCalls(Apply(material), {RS(D3DRS_SPECULARENABLE, 0), RS(D3DRS_CULLMODE, D3DCULL_CCW),
                                  SetMaterial(material->material), Texture(0, kNone), Texture(1, kNone),
                                  Texture(0, 5)});
    EXPECT_EQ(g_MaterialState.lastWord, 0xB8u);
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, material);
    // Already applied at full alpha: nothing at all.
    ExpectCalls(Apply(material), {});

    // Half faded: blending by diffuse alpha, a faded copy of the material.
    D3DMATERIAL8 faded = material->material;
    faded.Diffuse.a = 0.5f;
    const Calls fadedCalls = {RS(D3DRS_SPECULARENABLE, 0),
                              RS(D3DRS_ALPHABLENDENABLE, 1),
                              RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA),
                              RS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA),
                              TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
                              TSS(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE),
                              SetMaterial(faded),
                              Texture(0, kNone),
                              Texture(1, kNone),
                              Texture(0, 5)};
    ExpectCalls(Apply(material, 0.5f), fadedCalls);
    EXPECT_EQ(g_MaterialState.lastWord, 0xB9u);
    EXPECT_EQ(material->material.Diffuse.a, 1.0f);  // the item itself is not faded
    // A fading material applies every time, and the next full application too.
    ExpectCalls(Apply(material, 0.5f),
                {RS(D3DRS_SPECULARENABLE, 0), SetMaterial(faded), Texture(0, kNone), Texture(1, kNone), Texture(0, 5)});
    ExpectCalls(Apply(material), {RS(D3DRS_SPECULARENABLE, 0), RS(D3DRS_ALPHABLENDENABLE, 0),
                                  SetMaterial(material->material), Texture(0, kNone), Texture(1, kNone),
                                  Texture(0, 5)});
}

// The word of each kind of material, after the same start.
struct WordCase {
    const char* name;
    uint32_t blendIndex;
    uint32_t useAlpha;
    float diffuseAlpha;
    float alpha;
    uint32_t stateFlagA, stateFlagB, fogFlag, engineFog;
    uint32_t word;
    float appliedDiffuseAlpha;  // what the device's material ends with
};
void PrintTo(const WordCase& c, std::ostream* out) { *out << c.name; }

const WordCase kWordCases[] = {
    {"NormalOpaque", NORMAL, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0xB8, 1.0f},
    {"UseAlphaClearMeansOpaque", NORMAL, 0, 0.3f, 1.0f, 0, 0, 1, 0, 0xB8, 1.0f},
    {"NormalWithItsOwnAlpha", NORMAL, 1, 0.3f, 1.0f, 0, 0, 1, 0, 0xB9, 0.3f},
    {"NormalFaded", NORMAL, 0, 1.0f, 0.5f, 0, 0, 1, 0, 0xB9, 0.5f},
    {"TextureAlphaAlone", TEXTURE_ALPHA, 1, 1.0f, 1.0f, 0, 0, 1, 0, 0xAC, 1.0f},
    {"TextureAlphaTimesDiffuse", TEXTURE_ALPHA, 1, 0.5f, 1.0f, 0, 0, 1, 0, 0xAD, 0.5f},
    {"TextureAlphaFaded", TEXTURE_ALPHA, 1, 1.0f, 0.25f, 0, 0, 1, 0, 0xAD, 0.25f},
    {"MultiplyFadedStaysMultiply", MULTIPLY, 0, 1.0f, 0.5f, 0, 0, 1, 0, 0xAB, 0.5f},
    {"AddOpaque", ADD, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0xAA, 1.0f},
    {"TwoSidedUnlit", NORMAL, 0, 1.0f, 1.0f, 1, 1, 1, 0, 0x18, 1.0f},
    {"FoggedWhenBothAsk", NORMAL, 0, 1.0f, 1.0f, 0, 0, 1, 1, 0x80B8, 1.0f},
    {"NoFogForTheMaterial", NORMAL, 0, 1.0f, 1.0f, 0, 0, 0, 1, 0xB8, 1.0f},
    // Any non-zero fog flag means fog, and sets bit 15 alone.
    {"FogFlagTwo", NORMAL, 0, 1.0f, 1.0f, 0, 0, 2, 1, 0x80B8, 1.0f},
    {"EnvironmentStage0", 4, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0x20B8, 1.0f},
    {"AddEnvironmentStage1", 6, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0x42B8, 1.0f},
    {"EnvironmentBlendStage1", 7, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0x26B8, 1.0f},
    // A blend index past the table draws as "Normal".
    {"BlendIndexPastTheTable", 99, 0, 1.0f, 1.0f, 0, 0, 1, 0, 0xB8, 1.0f},
};

class MaterialWord : public MaterialApplyTest, public testing::WithParamInterface<WordCase> {};

TEST_P(MaterialWord, IsMadeFromTheMaterialAndTheAlpha) {
    const WordCase& c = GetParam();
    CQVMaterialItem* item = Material(c.blendIndex, 21);
    item->useAlpha = c.useAlpha;
    item->material.Diffuse.a = c.diffuseAlpha;
    item->stateFlagA = c.stateFlagA;
    item->stateFlagB = c.stateFlagB;
    item->fogFlag = c.fogFlag;
    CQVRender::Get().View().fogEnabled = c.engineFog;
    Apply(item, c.alpha);
    EXPECT_EQ(g_MaterialState.lastWord, c.word) << std::hex << g_MaterialState.lastWord;
    D3DMATERIAL8 applied{};
    Device()->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.Diffuse.a, c.appliedDiffuseAlpha);
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, c.alpha < 1.0f ? nullptr : item);
}

INSTANTIATE_TEST_SUITE_P(Cases, MaterialWord, testing::ValuesIn(kWordCases),
                         [](const testing::TestParamInfo<WordCase>& info) { return std::string(info.param.name); });

TEST_F(MaterialApplyTest, TheLightMapGoesOnStage1EveryTimeAndLeavingItResetsStage1) {
    material->textureIds = {5, 6};
    material->specularEnable = 1;
    const Calls lightMap = {Texture(1, 7), TSS(1, D3DTSS_TEXCOORDINDEX, 1), TSS(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X),
                            TSS(1, D3DTSS_COLORARG1, D3DTA_TEXTURE), TSS(1, D3DTSS_COLORARG2, D3DTA_CURRENT)};
    Calls first = {RS(D3DRS_SPECULARENABLE, 1), RS(D3DRS_CULLMODE, D3DCULL_CCW), SetMaterial(material->material),
                   Texture(0, kNone),           Texture(1, kNone),               Texture(0, 5),
                   Texture(1, 6)};
    first.insert(first.end(), lightMap.begin(), lightMap.end());
    ExpectCalls(Apply(material, 1.0f, 7), first);
    EXPECT_EQ(g_MaterialState.lastLightMapId, 7);
    // The material is already applied; the light map is bound again.
    ExpectCalls(Apply(material, 1.0f, 7), lightMap);

    // Without a light map stage 1 loses its texture, and its combination is
    // forced for the next word.
    ExpectCalls(Apply(material, 1.0f, -1), {Texture(1, kNone)});
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, RSW_STAGE1);
    EXPECT_EQ(g_MaterialState.lastLightMapId, -1);
    CQVMaterialItem* add = Material(ADD, 22);
    // "Add" writes no depth.
    ExpectCalls(Apply(add), {RS(D3DRS_SPECULARENABLE, 0), RS(D3DRS_ZWRITEENABLE, 0), TSS(1, D3DTSS_COLOROP, D3DTOP_DISABLE),
                             TSS(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE), RS(D3DRS_ALPHABLENDENABLE, 1),
                             RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), RS(D3DRS_DESTBLEND, D3DBLEND_ONE),
                             TSS(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), TSS(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE),
                             SetMaterial(add->material), Texture(0, kNone), Texture(1, kNone)});
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, 0u);
    uint32_t op = 0;
    Device()->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, static_cast<uint32_t>(D3DTOP_DISABLE));
}

TEST_F(MaterialApplyTest, OnlyMaterialItemsApply) {
    ExpectCalls(Apply(nullptr), {});
    CQVTextureItem texture;
    ExpectCalls(Apply(reinterpret_cast<CQVMaterialItem*>(static_cast<CQVLibraryItem*>(&texture))), {});
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, nullptr);
}

// A private copy applied last and then freed is forgotten: the next
// material, even one made in the freed memory, applies in full.
TEST_F(MaterialApplyTest, AFreedMaterialIsNoLongerTheLastApplied) {
    auto* copy = new CQVMaterialItem(*material);
    copy->textureIds = {5};
    Apply(copy);
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, copy);
    delete copy;
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, nullptr);
    // Another material freed while not the last applied leaves the last one alone.
    Apply(material);
    delete new CQVMaterialItem(*material);
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, material);
    auto* next = new CQVMaterialItem(*material);
    next->textureIds = {6};
    EXPECT_FALSE(Apply(next).empty());
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, next);
    delete next;
}

TEST_F(MaterialApplyTest, MaterialLookups) {
    material->textureIds = {6, 5, 4000};
    material->collisionFlags = 9;
    material->collisionMaterial = 3;
    EXPECT_EQ(engine()->GetMaterialTexture(material, 0), g_Library.At(6));
    EXPECT_EQ(engine()->GetMaterialTexture(material, 1), g_Library.At(5));
    EXPECT_EQ(engine()->GetMaterialTexture(material, 2), nullptr);  // an empty slot
    EXPECT_EQ(engine()->GetMaterialTexture(material, 3), nullptr);
    EXPECT_EQ(engine()->GetMaterialTexture(nullptr, 0), nullptr);
    EXPECT_EQ(Material_GetCollisionFlags(material), 9u);
    EXPECT_EQ(Material_GetCollisionMaterial(material), 3u);
    EXPECT_EQ(Material_GetCollisionFlags(nullptr), 0u);
    EXPECT_EQ(Material_GetCollisionMaterial(nullptr), 0u);
}

}  // namespace
