// Texture-stage operations with their exact results, the temporary
// register, and stages without a texture.

#include "DeviceFixture.h"

#include <cstring>

namespace {

class StageTest : public DeviceTest {
protected:
    // Stage 0 gets a 1x1 texture of the colour.
    void BindTexel(uint32_t stage, uint32_t argb) {
        PlatformTexture* texture = nullptr;
        ASSERT_EQ(device()->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        std::memcpy(locked.pBits, &argb, 4);
        texture->UnlockRect(0);
        device()->SetTexture(stage, texture);
        texture->Release();
    }
    void TearDown() override {
        for (uint32_t s = 0; s < 2; ++s) device()->SetTexture(s, nullptr);
    }
    void ExpectNear(uint32_t got, uint32_t expected) {
        for (uint32_t shift : {16u, 8u, 0u})
            EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF), 1)
                << std::hex << got << " against " << expected;
    }
};

struct OperationCase {
    const char* name;
    uint32_t op, arg0, arg1, arg2;
    uint32_t expected;
};
class StageOperations : public StageTest, public testing::WithParamInterface<OperationCase> {};

// Texel T = 0x80C04020, diffuse D = 0x40808080, texture factor F = 0x80FF0000;
// results as the operations define them on colours of 0 to 1.
TEST_P(StageOperations, GiveTheirResult) {
    const OperationCase& c = GetParam();
    BindTexel(0, 0x80C04020);
    device()->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80FF0000);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
    device()->SetTextureStageState(0, D3DTSS_COLORARG0, c.arg0);
    device()->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
    device()->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0x40808080);
    ExpectNear(Pixel(4, 4), c.expected);
}
constexpr uint32_t T = D3DTA_TEXTURE, D = D3DTA_DIFFUSE, F = D3DTA_TFACTOR, C = D3DTA_CURRENT;
INSTANTIATE_TEST_SUITE_P(
    Operations, StageOperations,
    testing::Values(OperationCase{"Modulate2x", D3DTOP_MODULATE2X, C, T, D, 0xFFC14020},
                    OperationCase{"Modulate4x", D3DTOP_MODULATE4X, C, T, D, 0xFFFF8140},
                    OperationCase{"AddSigned", D3DTOP_ADDSIGNED, C, T, D, 0xFFC04020},
                    OperationCase{"AddSigned2x", D3DTOP_ADDSIGNED2X, C, T, D, 0xFFFF8141},
                    OperationCase{"Subtract", D3DTOP_SUBTRACT, C, T, D, 0xFF400000},
                    OperationCase{"AddSmooth", D3DTOP_ADDSMOOTH, C, T, D, 0xFFE0A090},
                    OperationCase{"BlendDiffuseAlpha", D3DTOP_BLENDDIFFUSEALPHA, C, T, D, 0xFF907068},
                    OperationCase{"BlendTextureAlpha", D3DTOP_BLENDTEXTUREALPHA, C, T, D, 0xFFA06050},
                    OperationCase{"BlendFactorAlpha", D3DTOP_BLENDFACTORALPHA, C, T, D, 0xFFA06050},
                    OperationCase{"BlendCurrentAlpha", D3DTOP_BLENDCURRENTALPHA, C, T, D, 0xFF907068},
                    OperationCase{"ModulateAlphaAddColor", D3DTOP_MODULATEALPHA_ADDCOLOR, C, T, D, 0xFFFF8060},
                    OperationCase{"ModulateColorAddAlpha", D3DTOP_MODULATECOLOR_ADDALPHA, C, T, D, 0xFFE0A090},
                    OperationCase{"ModulateInvAlphaAddColor", D3DTOP_MODULATEINVALPHA_ADDCOLOR, C, T, D, 0xFFFF8060},
                    OperationCase{"ModulateInvColorAddAlpha", D3DTOP_MODULATEINVCOLOR_ADDALPHA, C, T, D, 0xFFA0E0F0},
                    // (T - 0.5) . (F - 0.5) x 4 = 0.506 + 0.498 + 0.749, in every channel, saturated.
                    OperationCase{"DotProduct3", D3DTOP_DOTPRODUCT3, C, T, F, 0xFFFFFFFF},
                    OperationCase{"MultiplyAdd", D3DTOP_MULTIPLYADD, F, T, D, 0xFFFF2010},
                    OperationCase{"Lerp", D3DTOP_LERP, F, T, D, 0xFFC08080},
                    OperationCase{"Complement", D3DTOP_MODULATE, C, T | D3DTA_COMPLEMENT, D, 0xFF206070},
                    OperationCase{"AlphaReplicate", D3DTOP_MODULATE, C, T | D3DTA_ALPHAREPLICATE, D, 0xFF404040}),
    [](const testing::TestParamInfo<OperationCase>& info) { return std::string(info.param.name); });

// A stage writing the temporary register leaves current alone; a later stage reads it.
TEST_F(StageTest, TemporaryRegisterCarriesBetweenStages) {
    BindTexel(0, 0xFF204060);
    BindTexel(1, 0xFF102030);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device()->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_TEMP);
    device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device()->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEMP);
    device()->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device()->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    device()->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_TEXTURE);  // no texture on stage 2: passes current on
    device()->SetTextureStageState(2, D3DTSS_COLORARG2, D3DTA_CURRENT);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFF010101);
    EXPECT_EQ(Pixel(4, 4), 0xFF214161u) << "temp 204060 + current (the diffuse) 010101";
}

// The shadow pass darkens the screen with a black quad of alpha 0x99 and no
// texture on stage 0, right after materials that set stage 0 to take its
// alpha from the texture. The unbound stage must not pick up their setup.
struct UnboundCase {
    const char* name;
    uint32_t alphaOp, alphaArg1, alphaArg2, colorOp;
};
class UnboundStage : public StageTest, public testing::WithParamInterface<UnboundCase> {};

TEST_P(UnboundStage, DarkeningQuadKeepsItsAlpha) {
    const UnboundCase& c = GetParam();
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    // The material's draw, with its texture.
    BindTexel(0, 0xFF808080);
    device()->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.alphaArg1);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.alphaArg2);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
    DrawScreenQuad(40, 0, 48, 8, 0.5f, 0xFFFFFFFF);
    // The darkening quad.
    device()->SetTexture(0, nullptr);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    DrawScreenQuad(0, 0, 32, 32, 0.0f, 0x99000000);
    EXPECT_EQ(Pixel(8, 8), 0xFF666666u);
}
INSTANTIATE_TEST_SUITE_P(
    Materials, UnboundStage,
    testing::Values(UnboundCase{"TextureAlpha", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE},
                    UnboundCase{"TextureTimesCurrentAlpha", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE},
                    UnboundCase{"DiffuseAlpha", D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_MODULATE},
                    UnboundCase{"TextureColour", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1}),
    [](const testing::TestParamInfo<UnboundCase>& info) { return std::string(info.param.name); });

// A stage without a texture still computes what does not read the texture:
// the texture factor alone, or the diffuse colour.
TEST_F(StageTest, UnboundStageKeepsOperationsWithoutTheTexture) {
    device()->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF123456);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(4, 4), 0xFF123456u);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFF010101);
    EXPECT_EQ(Pixel(4, 4), 0xFF133557u);
}

// Environment mapping as materials set it up: coordinates from the
// camera-space normal through the texture matrix (u = 0.5 nx + 0.5,
// v = 0.5 - 0.5 ny), into a texture of four coloured quadrants.
struct EnvironmentCase {
    float nx, ny, nz;
    uint32_t expected;
};
class EnvironmentMap : public StageTest, public testing::WithParamInterface<EnvironmentCase> {};

TEST_P(EnvironmentMap, NormalsPickTheQuadrant) {
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(2, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    const uint32_t quadrants[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (int y = 0; y < 2; ++y) std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, quadrants + y * 2, 8);
    texture->UnlockRect(0);
    device()->SetTexture(0, texture);
    texture->Release();
    D3DMATRIX environment{};
    environment.m[0][0] = 0.5f;
    environment.m[1][1] = -0.5f;
    environment.m[2][2] = environment.m[3][3] = 1.0f;
    environment.m[3][0] = environment.m[3][1] = 0.5f;
    device()->SetTransform(D3DTS_TEXTURE0, &environment);
    device()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device()->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const EnvironmentCase& c = GetParam();
    struct NormalVertex {
        float x, y, z, nx, ny, nz;
    };
    const NormalVertex tri[3] = {{-1, 1, 0.5f, c.nx, c.ny, c.nz}, {3, 1, 0.5f, c.nx, c.ny, c.nz}, {-1, -3, 0.5f, c.nx, c.ny, c.nz}};
    device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(NormalVertex)), D3D_OK);
    EXPECT_EQ(Pixel(30, 20), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Normals, EnvironmentMap,
                         testing::Values(EnvironmentCase{0.6f, 0.48f, -0.64f, 0xFF00FF00u},     // u 0.8, v 0.26
                                         EnvironmentCase{-0.6f, -0.48f, -0.64f, 0xFF0000FFu},   // u 0.2, v 0.74
                                         EnvironmentCase{0.6f, -0.48f, -0.64f, 0xFFFFFFFFu},    // u 0.8, v 0.74
                                         EnvironmentCase{-0.6f, 0.48f, -0.64f, 0xFFFF0000u}));  // u 0.2, v 0.26

}  // namespace
