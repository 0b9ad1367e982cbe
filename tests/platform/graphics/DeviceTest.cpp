// Pixel tests of the device: each draws on the offscreen back buffer and
// compares exact values read back.

#include "DeviceFixture.h"

#include <cmath>
#include <cstring>

namespace {

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

uint32_t Channel(float value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); }

uint32_t Grey(float value) { return 0xFF000000u | Channel(value) * 0x010101u; }

struct WorldVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr uint32_t kWorldFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
constexpr uint32_t kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

TEST_F(DeviceTest, ClearFillsTheViewportWithTheColour) {
    ASSERT_EQ(device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF8040, 1.0f, 0), D3D_OK);
    for (uint32_t p : Pixels()) ASSERT_EQ(p, 0xFFFF8040u);  // the back buffer has no alpha: it reads opaque

    D3DVIEWPORT8 vp{8, 4, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device()->SetViewport(&vp), D3D_OK);
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    EXPECT_EQ(Pixel(8, 4), 0xFF0000FFu);
    EXPECT_EQ(Pixel(23, 11), 0xFF0000FFu);
    EXPECT_EQ(Pixel(7, 4), 0xFFFF8040u);
    EXPECT_EQ(Pixel(24, 11), 0xFFFF8040u);
    EXPECT_EQ(Pixel(8, 12), 0xFFFF8040u);
}

// Pixel centres lie on integer coordinates: a rectangle from (x - 0.5) to
// (x + w - 0.5) covers exactly w pixels, and so does one from x to x + w,
// whose left and top edges pass through centres and keep them.
struct QuadCase {
    float offset;
};
class ScreenQuadEdges : public DeviceTest, public testing::WithParamInterface<QuadCase> {};

TEST_P(ScreenQuadEdges, CoversExactlyItsPixels) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    const float o = GetParam().offset;
    DrawScreenQuad(10 + o, 5 + o, 20 + o, 15 + o, 0.5f, 0xFF00FF00);
    const std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool inside = x >= 10 && x < 20 && y >= 5 && y < 15;
            ASSERT_EQ(pixels[static_cast<size_t>(y) * kWidth + x], inside ? 0xFF00FF00u : 0xFF000000u)
                << "pixel " << x << "," << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Offsets, ScreenQuadEdges, testing::Values(QuadCase{-0.5f}, QuadCase{0.0f}));

TEST_F(DeviceTest, DepthTestKeepsTheNearerSurface) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    DrawScreenQuad(0, 0, 32, 32, 0.5f, 0xFFFF0000);
    DrawScreenQuad(0, 0, 32, 32, 0.7f, 0xFF00FF00);  // behind: hidden
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    DrawScreenQuad(0, 0, 16, 16, 0.3f, 0xFF0000FF);  // in front
    EXPECT_EQ(Pixel(4, 4), 0xFF0000FFu);
    EXPECT_EQ(Pixel(20, 20), 0xFFFF0000u);
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    DrawScreenQuad(0, 0, 32, 32, 0.9f, 0xFFFFFFFF);  // depth test off: drawn over everything
    EXPECT_EQ(Pixel(4, 4), 0xFFFFFFFFu);
}

TEST_F(DeviceTest, ViewportDepthRangeScalesDepth) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // Identity transforms: clip space is the vertex position, depth z.
    auto fullScreen = [&](float z, D3DCOLOR color) {
        const ColorVertex tri[3] = {{-1, 1, z, color}, {3, 1, z, color}, {-1, -3, z, color}};
        device()->SetVertexShader(kColorFvf);
        ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex)), D3D_OK);
    };
    D3DVIEWPORT8 half{0, 0, kWidth, kHeight, 0.5f, 1.0f};
    device()->SetViewport(&half);
    fullScreen(0.0f, 0xFFFF0000);  // depth 0.5
    D3DVIEWPORT8 full{0, 0, kWidth, kHeight, 0.0f, 1.0f};
    device()->SetViewport(&full);
    device()->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    fullScreen(0.6f, 0xFF00FF00);
    EXPECT_EQ(Pixel(30, 20), 0xFFFF0000u);
    fullScreen(0.4f, 0xFF0000FF);
    EXPECT_EQ(Pixel(30, 20), 0xFF0000FFu);
}

struct CullCase {
    uint32_t cullMode;
    bool clockwiseShown, counterClockwiseShown;
};
class Culling : public DeviceTest, public testing::WithParamInterface<CullCase> {};

TEST_P(Culling, ByScreenWinding) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, GetParam().cullMode);
    device()->SetVertexShader(kColorFvf);
    // Clockwise on the screen (y up in clip space): top left, top right, bottom left of the left half.
    const ColorVertex clockwise[3] = {{-1, 1, 0.5f, 0xFFFF0000}, {0, 1, 0.5f, 0xFFFF0000}, {-1, -1, 0.5f, 0xFFFF0000}};
    const ColorVertex counter[3] = {{0, 1, 0.5f, 0xFF00FF00}, {0, -1, 0.5f, 0xFF00FF00}, {1, 1, 0.5f, 0xFF00FF00}};
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ColorVertex));
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(4, 4), GetParam().clockwiseShown ? 0xFFFF0000u : 0xFF000000u);
    EXPECT_EQ(Pixel(36, 4), GetParam().counterClockwiseShown ? 0xFF00FF00u : 0xFF000000u);
}
INSTANTIATE_TEST_SUITE_P(Modes, Culling,
                         testing::Values(CullCase{D3DCULL_CCW, true, false}, CullCase{D3DCULL_CW, false, true},
                                         CullCase{D3DCULL_NONE, true, true},
                                         // An unknown mode culls nothing.
                                         CullCase{9, true, true}));

// Lighting: three vertices placed symmetrically around the light's axis get
// the same light, so the whole triangle shows the exact per-vertex colour.
class Lighting : public DeviceTest {
protected:
    void DrawLitTriangle() {
        device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        D3DMATERIAL8 material{};
        material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        device()->SetMaterial(&material);
        const float r = 3.0f, z = 0.5f;
        const WorldVertex tri[3] = {{0, r, z, 0, 0, -1},
                                    {r * 0.8660254f, -r * 0.5f, z, 0, 0, -1},
                                    {-r * 0.8660254f, -r * 0.5f, z, 0, 0, -1}};
        device()->SetVertexShader(kWorldFvf);
        ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(WorldVertex)), D3D_OK);
    }
    // Distance from the light at (0, 0, -lightZ) to each vertex, and the cosine at the vertex.
    static double Distance(double lightZ) { return std::sqrt(9.0 + (0.5 + lightZ) * (0.5 + lightZ)); }
};

struct PointCase {
    float range;
    bool lit;
};
class PointLight : public Lighting, public testing::WithParamInterface<PointCase> {};

TEST_P(PointLight, AttenuatesInsideItsRangeAndGivesNothingBeyond) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.Position = D3DVECTOR{0, 0, -2};
    light.Range = GetParam().range;
    light.Attenuation0 = 0.5f;
    light.Attenuation1 = 0.1f;
    light.Attenuation2 = 0.0f;
    device()->SetLight(3, &light);
    device()->LightEnable(3, 1);
    DrawLitTriangle();
    const double d = Distance(2.0);
    const double cosine = 2.5 / d;
    const double expected = cosine / (0.5 + 0.1 * d);
    EXPECT_EQ(Pixel(32, 24), GetParam().lit ? Grey(static_cast<float>(expected)) : 0xFF000000u);
}
// The vertices are 3.905 from the light.
INSTANTIATE_TEST_SUITE_P(Ranges, PointLight, testing::Values(PointCase{4.0f, true}, PointCase{3.9f, false}));

TEST_F(Lighting, SpotLightFallsOffBetweenItsCones) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_SPOT;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.Position = D3DVECTOR{0, 0, -2};
    light.Direction = D3DVECTOR{0, 0, 1};
    light.Range = 100.0f;
    light.Attenuation0 = 1.0f;
    light.Falloff = 2.0f;
    // The vertices are seen at 50.19 degrees off the axis.
    light.Theta = 80.0f * 3.14159265f / 180.0f;
    light.Phi = 120.0f * 3.14159265f / 180.0f;
    device()->SetLight(0, &light);
    device()->LightEnable(0, 1);
    DrawLitTriangle();
    const double d = Distance(2.0);
    const double rho = 2.5 / d;
    const double cosTheta = std::cos(40.0 * M_PI / 180.0), cosPhi = std::cos(60.0 * M_PI / 180.0);
    const double spot = std::pow((rho - cosPhi) / (cosTheta - cosPhi), 2.0);
    EXPECT_EQ(Pixel(32, 24), Grey(static_cast<float>(rho * spot)));
}

TEST_F(Lighting, GlobalAmbientAndEmissiveWithoutLights) {
    device()->SetRenderState(D3DRS_AMBIENT, 0x00404040);
    D3DMATERIAL8 material{};
    material.Ambient = D3DCOLORVALUE{1, 0.5f, 0, 1};
    material.Emissive = D3DCOLORVALUE{0, 0, 0.25f, 0};
    material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device()->SetMaterial(&material);
    const WorldVertex tri[3] = {{-1, 1, 0.5f, 0, 0, -1}, {3, 1, 0.5f, 0, 0, -1}, {-1, -3, 0.5f, 0, 0, -1}};
    device()->SetVertexShader(kWorldFvf);
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(WorldVertex));
    const uint32_t a = Channel(64.0f / 255.0f);
    EXPECT_EQ(Pixel(10, 10), 0xFF000000u | a << 16 | Channel(0.5f * 64.0f / 255.0f) << 8 | Channel(0.25f));
}

struct FogCase {
    float z;
};
class LinearFog : public DeviceTest, public testing::WithParamInterface<FogCase> {};

TEST_P(LinearFog, BlendsTowardsTheFogColourWithViewDepth) {
    const float z = GetParam().z;
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device()->SetRenderState(D3DRS_FOGENABLE, 1);
    device()->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device()->SetRenderState(D3DRS_FOGCOLOR, 0x00FF0000);
    device()->SetRenderState(D3DRS_FOGSTART, FloatBits(0.2f));
    device()->SetRenderState(D3DRS_FOGEND, FloatBits(0.8f));
    // The projection keeps every depth of the case on screen.
    D3DMATRIX projection{};
    projection.m[0][0] = projection.m[1][1] = projection.m[3][3] = 1.0f;
    projection.m[2][2] = 0.5f;
    device()->SetTransform(D3DTS_PROJECTION, &projection);
    const ColorVertex tri[3] = {{-1, 1, z, 0xFF0000FF}, {3, 1, z, 0xFF0000FF}, {-1, -3, z, 0xFF0000FF}};
    device()->SetVertexShader(kColorFvf);
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    const float f = std::clamp((0.8f - z) / 0.6f, 0.0f, 1.0f);
    EXPECT_EQ(Pixel(10, 10), 0xFF000000u | Channel(1.0f - f) << 16 | Channel(f));
}
INSTANTIATE_TEST_SUITE_P(Depths, LinearFog,
                         testing::Values(FogCase{0.1f}, FogCase{0.2f}, FogCase{0.35f}, FogCase{0.5f}, FogCase{0.8f},
                                         FogCase{1.5f}));

struct StageCase {
    uint32_t colorOp, alphaOp;
    uint32_t expected;
};
class TextureStage : public DeviceTest, public testing::WithParamInterface<StageCase> {};

// Texel 0x80C04020 with vertex colour 0x40808080, blended over black with the result's alpha.
TEST_P(TextureStage, CombinesTextureAndDiffuse) {
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, "\x20\x40\xC0\x80", 4);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    device()->SetTexture(0, texture);
    texture->Release();  // the device keeps it while bound
    device()->SetTextureStageState(0, D3DTSS_COLOROP, GetParam().colorOp);
    device()->SetTextureStageState(0, D3DTSS_ALPHAOP, GetParam().alphaOp);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0x40808080);
    device()->SetTexture(0, nullptr);
    EXPECT_EQ(Pixel(8, 8), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Operations, TextureStage,
    testing::Values(
        // C0 x 80 = 60, 40 x 80 = 20, 20 x 80 = 10 (rounded products of n / 255).
        StageCase{D3DTOP_MODULATE, D3DTOP_SELECTARG1, 0xFF602010u},
        StageCase{D3DTOP_ADD, D3DTOP_SELECTARG1, 0xFFFFC0A0u},
        StageCase{D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, 0xFFC04020u},
        StageCase{D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, 0xFF808080u},
        StageCase{D3DTOP_MODULATE, D3DTOP_MODULATE, 0xFF602010u}));

TEST_F(DeviceTest, StageWithoutTextureReadsWhite) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    // Stage 0's default: texture modulated with the vertex colour.
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0xFF336699);
    EXPECT_EQ(Pixel(8, 8), 0xFF336699u);
}

struct BlendCase {
    uint32_t source, dest, op;
    uint32_t expected;
};
class AlphaBlend : public DeviceTest, public testing::WithParamInterface<BlendCase> {};

// Source 0x80FF4000 over destination 0x00204080.
TEST_P(AlphaBlend, Modes) {
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00204080, 1.0f, 0);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetRenderState(D3DRS_SRCBLEND, GetParam().source);
    device()->SetRenderState(D3DRS_DESTBLEND, GetParam().dest);
    device()->SetRenderState(D3DRS_BLENDOP, GetParam().op);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0x80FF4000);
    EXPECT_EQ(Pixel(8, 8), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Modes, AlphaBlend,
    testing::Values(BlendCase{D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFFFF4000u},
                    // 255 * .502 + 32 * .498 = 144, 64 * .502 + 64 * .498 = 64, 0 + 128 * .498 = 64
                    BlendCase{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 0xFF904040u},
                    BlendCase{D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFF904040u},
                    BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xFFFF8080u},
                    BlendCase{D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xFFA06080u},
                    BlendCase{D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, 0xFF201000u},
                    BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0xFF000080u}));

TEST_F(DeviceTest, AlphaTestDiscardsBelowTheReference) {
    device()->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device()->SetRenderState(D3DRS_ALPHAREF, 0x80);
    device()->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0x7FFF0000);
    DrawScreenQuad(16, 0, 32, 16, 0.5f, 0x80FF0000);
    EXPECT_EQ(Pixel(8, 8), 0xFF000000u);
    EXPECT_EQ(Pixel(24, 8), 0xFFFF0000u);
}

TEST_F(DeviceTest, StencilIncrementAndDecrementWrap) {
    device()->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 255);
    device()->SetRenderState(D3DRS_STENCILENABLE, 1);
    device()->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device()->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0xFFFFFFFF);  // 255 + 1 wraps to 0
    device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    DrawScreenQuad(16, 0, 32, 16, 0.5f, 0xFFFFFFFF);  // 255 - 1 = 254
    device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCRSAT);
    DrawScreenQuad(32, 0, 48, 16, 0.5f, 0xFFFFFFFF);  // stays 255

    device()->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device()->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    const std::pair<uint32_t, D3DCOLOR> marks[] = {{0, 0xFFFF0000}, {254, 0xFF00FF00}, {255, 0xFF0000FF}};
    for (const auto& [ref, color] : marks) {
        device()->SetRenderState(D3DRS_STENCILREF, ref);
        DrawScreenQuad(0, 0, 64, 16, 0.5f, color);
    }
    EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u);
    EXPECT_EQ(Pixel(40, 8), 0xFF0000FFu);
    EXPECT_EQ(Pixel(56, 8), 0xFF0000FFu);  // untouched: still 255
}

// A clear of the depth alone leaves the stencil as it was, whether the
// stencil holds one value everywhere or a draw or a partial clear made it
// differ; the depth is cleared either way.
TEST_F(DeviceTest, AClearOfTheDepthAloneKeepsTheStencil) {
    enum Change { NONE, DRAW_INCREMENTS_LEFT, RECT_CLEARED_LEFT, SAME_VALUE_IN_VIEWPORT };
    struct Case {
        const char* name;
        Change change;
        uint32_t left, right;  // stencil expected in the left and right halves
    };
    const Case cases[] = {{"whole buffer cleared", NONE, 7, 7},
                          {"a draw incremented the left half", DRAW_INCREMENTS_LEFT, 8, 7},
                          {"the left half cleared to 3", RECT_CLEARED_LEFT, 3, 7},
                          {"a viewport cleared to the same value", SAME_VALUE_IN_VIEWPORT, 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 7);
        if (c.change == DRAW_INCREMENTS_LEFT) {
            device()->SetRenderState(D3DRS_STENCILENABLE, 1);
            device()->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
            device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
            DrawScreenQuad(0, 0, 32, 48, 0.5f, 0xFFFFFFFF);
            device()->SetRenderState(D3DRS_STENCILENABLE, 0);
            device()->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        } else if (c.change == RECT_CLEARED_LEFT) {
            const D3DRECT left{0, 0, 32, 48};
            device()->Clear(1, &left, D3DCLEAR_STENCIL, 0, 1.0f, 3);
        } else if (c.change == SAME_VALUE_IN_VIEWPORT) {
            const D3DVIEWPORT8 part{8, 8, 16, 16, 0.0f, 1.0f}, whole{0, 0, kWidth, kHeight, 0.0f, 1.0f};
            device()->SetViewport(&part);
            device()->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 7);
            device()->SetViewport(&whole);
        }
        // Depth nearer than the marks below, which the clear must remove.
        DrawScreenQuad(0, 0, 64, 48, 0.2f, 0xFF000000);
        device()->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

        device()->SetRenderState(D3DRS_STENCILENABLE, 1);
        device()->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        const std::pair<uint32_t, D3DCOLOR> marks[] = {{3, 0xFFFF0000}, {7, 0xFF00FF00}, {8, 0xFF0000FF}};
        for (const auto& [ref, color] : marks) {
            device()->SetRenderState(D3DRS_STENCILREF, ref);
            DrawScreenQuad(0, 0, 64, 48, 0.5f, color);
        }
        device()->SetRenderState(D3DRS_STENCILENABLE, 0);
        auto mark = [&](uint32_t value) {
            for (const auto& [ref, color] : marks)
                if (ref == value) return color;
            return D3DCOLOR{0};
        };
        EXPECT_EQ(Pixel(4, 24), mark(c.left));
        EXPECT_EQ(Pixel(12, 12), mark(c.left));
        EXPECT_EQ(Pixel(60, 24), mark(c.right));
    }
}

TEST_F(DeviceTest, PresentAppliesTheGammaRamp) {
    D3DGAMMARAMP ramp{};
    for (int i = 0; i < 256; ++i) {
        ramp.red[i] = static_cast<uint16_t>(std::min(65535, i * 512));
        ramp.green[i] = static_cast<uint16_t>(i * 256);
        ramp.blue[i] = static_cast<uint16_t>((255 - i) * 256);
    }
    device()->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00405060, 1.0f, 0);
    const uint32_t before = device()->GetPresentCount();
    ASSERT_EQ(device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device()->GetPresentCount(), before + 1);
    PlatformSurface* front = nullptr;
    ASSERT_EQ(device()->CreateImageSurface(kWidth, kHeight, D3DFMT_A8R8G8B8, &front), D3D_OK);
    ASSERT_EQ(device()->GetFrontBuffer(front), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(front->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t pixel = 0;
    std::memcpy(&pixel, static_cast<uint8_t*>(locked.pBits) + 10 * locked.Pitch + 10 * 4, 4);
    front->UnlockRect();
    front->Release();
    EXPECT_EQ(pixel, 0xFF80509Fu);  // red doubled, green as is, blue inverted
    // The back buffer itself is unchanged by the ramp.
    EXPECT_EQ(Pixel(10, 10), 0xFF405060u);
}

TEST_F(DeviceTest, BackBufferSurfaceReadsThePixels) {
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00123456, 1.0f, 0);
    PlatformSurface* surface = nullptr;
    ASSERT_EQ(device()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    EXPECT_EQ(desc.Width, static_cast<uint32_t>(kWidth));
    EXPECT_EQ(desc.Height, static_cast<uint32_t>(kHeight));
    D3DLOCKED_RECT locked{};
    RECT corner{kWidth - 1, kHeight - 1, kWidth, kHeight};
    ASSERT_EQ(surface->LockRect(&locked, &corner, D3DLOCK_READONLY), D3D_OK);
    uint32_t pixel = 0;
    std::memcpy(&pixel, locked.pBits, 4);
    EXPECT_EQ(pixel & 0xFFFFFF, 0x123456u);
    surface->UnlockRect();
    RECT outside{0, 0, kWidth + 1, 1};
    EXPECT_EQ(surface->LockRect(&locked, &outside, 0), D3DERR_INVALIDCALL);
    surface->Release();
}

TEST_F(DeviceTest, IndexedDrawsFromBuffersWithBaseVertex) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    PlatformVertexBuffer* vb = nullptr;
    PlatformIndexBuffer* ib = nullptr;
    ASSERT_EQ(device()->CreateVertexBuffer(8 * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY, kScreenFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(device()->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    uint8_t* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    const ScreenVertex quads[8] = {{0, 0, 0.5f, 1, 0xFFFF0000, 0, 0},   {8, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                                   {0, 8, 0.5f, 1, 0xFFFF0000, 0, 0},   {8, 8, 0.5f, 1, 0xFFFF0000, 0, 0},
                                   {20, 20, 0.5f, 1, 0xFF00FF00, 0, 0}, {28, 20, 0.5f, 1, 0xFF00FF00, 0, 0},
                                   {20, 28, 0.5f, 1, 0xFF00FF00, 0, 0}, {28, 28, 0.5f, 1, 0xFF00FF00, 0, 0}};
    std::memcpy(data, quads, sizeof quads);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    device()->SetVertexShader(kScreenFvf);
    device()->SetStreamSource(0, vb, sizeof(ScreenVertex));
    device()->SetIndices(ib, 4);
    ASSERT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Pixel(24, 24), 0xFF00FF00u);
    EXPECT_EQ(Pixel(4, 4), 0xFF000000u);
    // Indices naming vertices past the buffer's end are refused and draw nothing.
    device()->SetIndices(ib, 5);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 4, 1), D3DERR_INVALIDCALL);
    device()->SetIndices(ib, 0);
    ASSERT_EQ(device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, 5, 2), D3DERR_INVALIDCALL);
    // A buffer released by its owner stays usable while bound.
    vb->Release();
    ib->Release();
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    device()->SetStreamSource(0, nullptr, 0);
    device()->SetIndices(nullptr, 0);
    EXPECT_EQ(device()->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, InvalidStatesAreRefusedAndLeaveTheDeviceWorking) {
    EXPECT_EQ(device()->SetRenderState(static_cast<D3DRENDERSTATETYPE>(500), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(99), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(7), nullptr), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 tooWide{0, 0, kWidth + 1, kHeight, 0, 1};
    EXPECT_EQ(device()->SetViewport(&tooWide), D3DERR_INVALIDCALL);
    D3DLIGHT8 badLight{};
    badLight.Type = 7;
    EXPECT_EQ(device()->SetLight(0, &badLight), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->SetLight(0x10000, nullptr), D3DERR_INVALIDCALL);
    // Values out of their range: an unknown blend factor, fill mode, z function
    // and stage operation fall back to defaults instead of breaking the draw.
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_SRCBLEND, 77);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetRenderState(D3DRS_FILLMODE, 0);
    device()->SetRenderState(D3DRS_ZFUNC, 0);
    device()->SetTextureStageState(1, D3DTSS_COLOROP, 99);
    DrawScreenQuad(0, 0, 16, 16, 0.5f, 0xFF00FF00);
    EXPECT_EQ(Pixel(8, 8), 0xFF00FF00u);
    device()->SetVertexShader(0);  // no position: not a layout
    const ScreenVertex v[3] = {};
    EXPECT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
    device()->SetVertexShader(kScreenFvf);
    EXPECT_EQ(device()->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(0), 1, v, sizeof(ScreenVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 8), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, BuffersAndTexturesCheckTheirLocks) {
    PlatformVertexBuffer* vb = nullptr;
    ASSERT_EQ(device()->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb), D3D_OK);
    uint8_t* data = nullptr;
    EXPECT_EQ(vb->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(vb->Lock(65, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(16, 16, &data, 0), D3D_OK);
    data[0] = 7;
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->bytes[16], 7);  // the CPU copy holds what was written
    vb->Release();
    PlatformVertexBuffer* empty = nullptr;
    EXPECT_EQ(device()->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &empty), D3DERR_INVALIDCALL);
    PlatformIndexBuffer* ib = nullptr;
    EXPECT_EQ(device()->CreateIndexBuffer(16, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib), D3DERR_INVALIDCALL);

    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(16, 8, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 5u);  // 16x8 down to 1x1
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(4, &desc);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    D3DLOCKED_RECT locked{};
    RECT outside{0, 0, 17, 1};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(5, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    texture->UnlockRect(1);
    texture->Release();
    EXPECT_EQ(device()->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->CreateTexture(8, 8, 1, 0, 12345, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
}

struct FvfCase {
    uint32_t fvf;
    uint32_t stride;
};
class FvfStride : public testing::TestWithParam<FvfCase> {};

TEST_P(FvfStride, DecodesEveryLayout) { EXPECT_EQ(Graphics_GetFvfStride(GetParam().fvf), GetParam().stride); }
INSTANTIATE_TEST_SUITE_P(
    Layouts, FvfStride,
    testing::Values(FvfCase{D3DFVF_XYZ, 12}, FvfCase{D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 28},
                    FvfCase{D3DFVF_XYZRHW | D3DFVF_DIFFUSE, 20}, FvfCase{0x152, 36}, FvfCase{0x112, 32},
                    FvfCase{0x142, 24}, FvfCase{D3DFVF_XYZB2 | D3DFVF_NORMAL | D3DFVF_TEX1, 40},
                    FvfCase{D3DFVF_XYZ | D3DFVF_SPECULAR | D3DFVF_PSIZE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1) |
                                D3DFVF_TEXCOORDSIZE1(0),
                            12 + 4 + 4 + 4 + 12},
                    FvfCase{D3DFVF_XYZ | D3DFVF_TEX8, 12 + 64}, FvfCase{D3DFVF_XYZ | 0x900, 0}, FvfCase{0, 0},
                    FvfCase{D3DFVF_XYZ | 0x2000, 0}));

}  // namespace

namespace {

// Two texture stages as a light map uses them: stage 1 takes the second
// coordinate set and doubles the product; specular is added after the stages.
TEST_F(DeviceTest, SecondStageModulatesTwiceWithItsOwnCoordinates) {
    auto solidTexture = [&](uint32_t argb) {
        PlatformTexture* texture = nullptr;
        EXPECT_EQ(device()->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        std::memcpy(locked.pBits, &argb, 4);
        texture->UnlockRect(0);
        return texture;
    };
    PlatformTexture* base = solidTexture(0x00808080);
    PlatformTexture* light = solidTexture(0x00402000);
    device()->SetTexture(0, base);
    device()->SetTexture(1, light);
    base->Release();
    light->Release();
    device()->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
    device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    device()->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device()->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device()->SetRenderState(D3DRS_SPECULARENABLE, 1);
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse, specular;
        float u0, v0, u1, v1;
    };
    const Vertex tri[3] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0x00000010, 0, 0, 0, 0},
                           {3, 1, 0.5f, 0xFFFFFFFF, 0x00000010, 0, 0, 0, 0},
                           {-1, -3, 0.5f, 0xFFFFFFFF, 0x00000010, 0, 0, 0, 0}};
    device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2);
    ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex)), D3D_OK);
    device()->SetTexture(0, nullptr);
    device()->SetTexture(1, nullptr);
    // 0x80 x 0x40 / 255 x 2 = 0x40, 0x80 x 0x20 / 255 x 2 = 0x20, 0 + specular 0x10.
    EXPECT_EQ(Pixel(10, 10), 0xFF402010u);
}

// Every fixed-function configuration the content can reach compiles into a
// working shader pair.
TEST_F(DeviceTest, ShaderVariantsCompileAndDraw) {
    struct Vertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR diffuse, specular;
        float u, v, s, t, r;
    };
    const uint32_t fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 |
                         D3DFVF_TEXCOORDSIZE3(1);
    const Vertex tri[3] = {{-1, 1, 0.5f, 0, 0, -1, 0xFFFFFFFF, 0, 0, 0, 0, 0, 0},
                           {1, 1, 0.5f, 0, 0, -1, 0xFFFFFFFF, 0, 1, 0, 1, 1, 1},
                           {-1, -1, 0.5f, 0, 0, -1, 0xFFFFFFFF, 0, 0, 1, 0, 0, 1}};
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(4, 4, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLIGHT8 lights[3] = {};
    for (uint32_t i = 0; i < 3; ++i) {
        lights[i].Type = i + 1;
        lights[i].Diffuse = lights[i].Specular = D3DCOLORVALUE{1, 1, 1, 1};
        lights[i].Direction = D3DVECTOR{0, 0, 1};
        lights[i].Range = 10;
        lights[i].Attenuation0 = 1;
        lights[i].Theta = 0.5f;
        lights[i].Phi = 1.0f;
        device()->SetLight(i, &lights[i]);
        device()->LightEnable(i, 1);
    }
    for (uint32_t variant = 0; variant < 64; ++variant) {
        device()->SetRenderState(D3DRS_SPECULARENABLE, variant & 1);
        device()->SetRenderState(D3DRS_LIGHTING, (variant >> 1) & 1);
        device()->SetRenderState(D3DRS_FOGENABLE, 1);
        device()->SetRenderState((variant & 4) ? D3DRS_FOGTABLEMODE : D3DRS_FOGVERTEXMODE, 1 + variant % 3);
        device()->SetRenderState(D3DRS_SHADEMODE, (variant & 8) ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
        device()->SetRenderState(D3DRS_ALPHATESTENABLE, (variant >> 4) & 1);
        device()->SetRenderState(D3DRS_ALPHAFUNC, 1 + variant % 8);
        device()->SetRenderState(D3DRS_NORMALIZENORMALS, (variant >> 5) & 1);
        device()->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, variant % 3);
        device()->SetTexture(0, (variant & 2) ? texture : nullptr);
        device()->SetTexture(1, texture);
        // Environment mapping on stage 0 or 1, each texture operation in turn.
        device()->SetTextureStageState(variant & 1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL | (variant & 1));
        device()->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS,
                                       (variant & 16) ? (D3DTTFF_COUNT3 | D3DTTFF_PROJECTED) : D3DTTFF_COUNT2);
        device()->SetTextureStageState(1, D3DTSS_COLOROP, 2 + variant % 25);
        device()->SetTextureStageState(1, D3DTSS_ALPHAOP, 1 + (variant * 7) % 26);
        device()->SetTextureStageState(1, D3DTSS_COLORARG1, (variant % 6) | ((variant & 8) ? 0x10u : 0u));
        device()->SetTextureStageState(1, D3DTSS_COLORARG0, D3DTA_SPECULAR | D3DTA_ALPHAREPLICATE);
        device()->SetTextureStageState(1, D3DTSS_RESULTARG, (variant & 32) ? D3DTA_TEMP : D3DTA_CURRENT);
        device()->SetTextureStageState(2, D3DTSS_COLOROP, (variant & 32) ? D3DTOP_ADD : D3DTOP_DISABLE);
        device()->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_TEMP);
        device()->SetVertexShader(fvf);
        ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex)), D3D_OK) << variant;
    }
    device()->SetTexture(0, nullptr);
    device()->SetTexture(1, nullptr);
    texture->Release();
}

}  // namespace

namespace {

// Transformed geometry lands with pixel centres on integer screen
// coordinates: an edge at x = 10.25 covers pixel 10's centre, one at
// y = 7.75 (from the top) leaves row 8 out.
TEST_F(DeviceTest, TransformedEdgesMeetPixelCentresOnIntegers) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const float right = 10.25f / kWidth * 2.0f - 1.0f;
    const float bottom = 1.0f - 7.75f / kHeight * 2.0f;
    const ColorVertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFF}, {right, 1, 0.5f, 0xFFFFFFFF},
                                 {-1, bottom, 0.5f, 0xFFFFFFFF}, {right, bottom, 0.5f, 0xFFFFFFFF}};
    device()->SetVertexShader(kColorFvf);
    ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(10, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(11, 3), 0xFF000000u);
    EXPECT_EQ(Pixel(3, 7), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(3, 8), 0xFF000000u);
}

}  // namespace
