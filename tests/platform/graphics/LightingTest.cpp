// Vertex lighting as the fixed-function pipeline computes it: lights in
// world space under any world and view matrices, many lights at once,
// specular, vertex colours and shading. Each case draws a triangle whose
// three vertices get the same light, so every pixel shows the vertex colour.

#include "DeviceFixture.h"

#include <cmath>

namespace {

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
};
constexpr uint32_t kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

uint32_t Channel(double value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0)); }
uint32_t Grey(double value) { return 0xFF000000u | Channel(value) * 0x010101u; }

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

// Rotation about z by a quarter turn: x goes to y.
D3DMATRIX QuarterTurnZ() {
    D3DMATRIX m{};
    m.m[0][1] = 1.0f;
    m.m[1][0] = -1.0f;
    m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

D3DMATRIX Times(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

class LightingTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        device()->SetMaterial(&material);
    }
    // Three vertices 3 units from the z axis at depth z, facing -z.
    void DrawTriangle(float z = 0.5f, D3DCOLOR color = 0xFFFFFFFF, uint32_t fvf = kLitFvf) {
        const float r = 3.0f;
        const LitVertex tri[3] = {{0, r, z, 0, 0, -1, color},
                                  {r * 0.8660254f, -r * 0.5f, z, 0, 0, -1, color},
                                  {-r * 0.8660254f, -r * 0.5f, z, 0, 0, -1, color}};
        device()->SetVertexShader(fvf);
        ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(LitVertex)), D3D_OK);
    }
    void AddLight(uint32_t index, const D3DLIGHT8& light) {
        ASSERT_EQ(device()->SetLight(index, &light), D3D_OK);
        ASSERT_EQ(device()->LightEnable(index, 1), D3D_OK);
    }
    static D3DLIGHT8 Directional(float level, D3DVECTOR direction = {0, 0, 1}) {
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = D3DCOLORVALUE{level, level, level, 1};
        light.Direction = direction;
        return light;
    }
    D3DMATERIAL8 material{};
};

// Directional lights, as many as asked: their light adds up. The indices are
// sparse and large, as the engine hands them out and never reuses them.
struct ManyCase {
    uint32_t lights;
};
class ManyLights : public LightingTest, public testing::WithParamInterface<ManyCase> {};

TEST_P(ManyLights, AllLightTheVertex) {
    const uint32_t n = GetParam().lights;
    const float each = 0.8f / static_cast<float>(n);
    for (uint32_t i = 0; i < n; ++i) AddLight(1000003u + i * 7919u, Directional(each));
    DrawTriangle();
    EXPECT_EQ(Pixel(32, 24), Grey(0.8));
    const DeviceStatistics statistics = device()->GetStatistics();
    // Switching them all off again reuses the program of the smaller count.
    for (uint32_t i = 0; i < n; ++i) device()->LightEnable(1000003u + i * 7919u, 0);
    AddLight(5, Directional(0.25f));
    DrawTriangle();
    EXPECT_EQ(Pixel(32, 24), Grey(0.25));
    EXPECT_LE(device()->GetStatistics().programs, statistics.programs + 1);
}
INSTANTIATE_TEST_SUITE_P(Counts, ManyLights,
                         testing::Values(ManyCase{1}, ManyCase{9}, ManyCase{13}, ManyCase{40}, ManyCase{100}));

// Seven point lights and two directional ones, the most the render queue
// switches on for an item, all reach the vertex.
TEST_F(LightingTest, SevenLocalAndTwoDirectionalLights) {
    for (uint32_t i = 0; i < 7; ++i) {
        D3DLIGHT8 point{};
        point.Type = D3DLIGHT_POINT;
        point.Diffuse = D3DCOLORVALUE{0.05f, 0.05f, 0.05f, 1};
        point.Position = D3DVECTOR{0, 0, -2.0f - static_cast<float>(i)};
        point.Range = 100.0f;
        point.Attenuation0 = 1.0f;
        AddLight(200 + i * 3, point);
    }
    AddLight(7, Directional(0.2f));
    AddLight(9, Directional(0.1f));
    DrawTriangle();
    double expected = 0.3;
    for (uint32_t i = 0; i < 7; ++i) {
        const double dz = 2.5 + i, d = std::sqrt(9.0 + dz * dz);
        expected += 0.05 * dz / d;
    }
    EXPECT_EQ(Pixel(32, 24), Grey(expected));
}

// Light types mixed in index order all light the vertex; switching a set
// off and on again between draws gives the same picture, and a set of the
// same size and types but another light gives the other light's picture.
TEST_F(LightingTest, MixedLightTypesAndChangingSets) {
    auto local = [](D3DLIGHTTYPE type, float level) {
        D3DLIGHT8 light{};
        light.Type = type;
        light.Diffuse = D3DCOLORVALUE{level, level, level, 1};
        light.Position = D3DVECTOR{0, 0, -2.0f};
        light.Direction = D3DVECTOR{0, 0, 1};
        light.Range = 100.0f;
        light.Attenuation0 = 1.0f;
        // A cone wide enough to hold the whole triangle.
        light.Theta = light.Phi = 2.9f;
        light.Falloff = 1.0f;
        return light;
    };
    AddLight(1, local(D3DLIGHT_SPOT, 0.1f));
    AddLight(2, Directional(0.2f));
    AddLight(3, local(D3DLIGHT_POINT, 0.1f));
    AddLight(4, Directional(0.1f));
    AddLight(5, local(D3DLIGHT_SPOT, 0.05f));
    const D3DLIGHT8 sixth = local(D3DLIGHT_POINT, 0.3f);
    ASSERT_EQ(device()->SetLight(6, &sixth), D3D_OK);
    const double cosine = 2.5 / std::sqrt(9.0 + 2.5 * 2.5);
    DrawTriangle();
    EXPECT_EQ(Pixel(32, 24), Grey(0.3 + 0.25 * cosine));
    for (uint32_t i = 1; i <= 5; ++i) device()->LightEnable(i, 0);
    for (uint32_t i = 1; i <= 5; ++i) device()->LightEnable(i, 1);
    DrawTriangle();
    EXPECT_EQ(Pixel(32, 24), Grey(0.3 + 0.25 * cosine));
    device()->LightEnable(3, 0);
    device()->LightEnable(6, 1);
    DrawTriangle();
    EXPECT_EQ(Pixel(32, 24), Grey(0.3 + 0.45 * cosine));
}

// Point lights beyond the first few, and sets that shrink: each point light
// counts once, whatever the number, and a light switched off adds nothing.
TEST_F(LightingTest, ManyPointLightsAndShrinkingSets) {
    D3DLIGHT8 point{};
    point.Type = D3DLIGHT_POINT;
    point.Diffuse = D3DCOLORVALUE{0.05f, 0.05f, 0.05f, 1};
    point.Ambient = D3DCOLORVALUE{0.02f, 0.02f, 0.02f, 1};
    point.Position = D3DVECTOR{0, 0, -2.0f};
    point.Range = 100.0f;
    point.Attenuation0 = 1.0f;
    AddLight(0, Directional(0.1f));
    for (uint32_t i = 1; i <= 7; ++i) AddLight(i, point);
    const double cosine = 2.5 / std::sqrt(9.0 + 2.5 * 2.5);
    // A white ambient material: each point light adds its ambient too.
    D3DMATERIAL8 ambient = material;
    ambient.Ambient = D3DCOLORVALUE{1, 1, 1, 1};
    device()->SetMaterial(&ambient);
    const uint32_t counts[] = {7, 5, 4, 2, 0, 6};
    for (const uint32_t count : counts) {
        SCOPED_TRACE(count);
        for (uint32_t i = 1; i <= 7; ++i) device()->LightEnable(i, i <= count);
        DrawTriangle();
        EXPECT_EQ(Pixel(32, 24), Grey(0.1 + count * (0.05 * cosine + 0.02)));
    }
}

// The light's position goes through the view transform; the vertex through
// world and view. Translations that cancel out and a quarter turn of the
// view about the axis leave the picture of the plain case.
TEST_F(LightingTest, PointLightUnderWorldAndViewTransforms) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    light.Position = D3DVECTOR{5, 0, 8};
    light.Range = 10.0f;
    light.Attenuation0 = 0.5f;
    light.Attenuation1 = 0.1f;
    AddLight(3, light);
    const D3DMATRIX world = Translation(5, 0, 10);
    const D3DMATRIX view = Times(Translation(-5, 0, -10), QuarterTurnZ());
    device()->SetTransform(D3DTS_WORLD, &world);
    device()->SetTransform(D3DTS_VIEW, &view);
    DrawTriangle();
    const double d = std::sqrt(9.0 + 2.5 * 2.5);
    EXPECT_EQ(Pixel(32, 24), Grey((2.5 / d) / (0.5 + 0.1 * d)));
}

// Normals go through the inverse transpose of the world-view matrix and keep
// the length it gives them unless normalised: a world matrix that doubles z
// halves a normal along z.
struct NormalCase {
    bool normalize;
    double level;
};
class NormalMatrix : public LightingTest, public testing::WithParamInterface<NormalCase> {};

TEST_P(NormalMatrix, ScalesNormalsUnlessNormalised) {
    AddLight(0, Directional(1.0f));
    D3DMATRIX world = Identity();
    world.m[2][2] = 2.0f;
    device()->SetTransform(D3DTS_WORLD, &world);
    device()->SetRenderState(D3DRS_NORMALIZENORMALS, GetParam().normalize);
    DrawTriangle(0.2f);
    EXPECT_EQ(Pixel(32, 24), Grey(GetParam().level));
}
INSTANTIATE_TEST_SUITE_P(Lengths, NormalMatrix, testing::Values(NormalCase{false, 0.5}, NormalCase{true, 1.0}));

// Specular: a light shining along the view axis seen by a local viewer from
// the origin, or by a viewer infinitely far along -z.
struct SpecularCase {
    bool enabled, localViewer;
    double level;
};
class Specular : public LightingTest, public testing::WithParamInterface<SpecularCase> {};

TEST_P(Specular, HalfwayVectorRaisedToThePower) {
    D3DLIGHT8 light = Directional(0.0f);
    light.Specular = D3DCOLORVALUE{1, 1, 1, 1};
    AddLight(2, light);
    material.Diffuse = D3DCOLORVALUE{0, 0, 0, 1};
    material.Specular = D3DCOLORVALUE{1, 1, 1, 1};
    material.Power = 2.0f;
    device()->SetMaterial(&material);
    device()->SetRenderState(D3DRS_SPECULARENABLE, GetParam().enabled);
    device()->SetRenderState(D3DRS_LOCALVIEWER, GetParam().localViewer);
    DrawTriangle(0.5f, 0xFFFFFFFF, D3DFVF_XYZ | D3DFVF_NORMAL);
    EXPECT_EQ(Pixel(32, 24), Grey(GetParam().level));
}
// Local viewer at a vertex (3, 0, 0.5): H = normalize((0, 0, -1) + (-3, 0, -0.5) / 3.041), n.H = 0.763.
INSTANTIATE_TEST_SUITE_P(Viewers, Specular,
                         testing::Values(SpecularCase{true, true, 0.7630 * 0.7630}, SpecularCase{true, false, 1.0},
                                         SpecularCase{false, true, 0.0}));

// With COLORVERTEX the vertex's diffuse colour stands in for the material's
// diffuse colour, as D3DRS_DIFFUSEMATERIALSOURCE says.
struct SourceCase {
    uint32_t colorVertex, source;
    uint32_t expected;
};
class MaterialSource : public LightingTest, public testing::WithParamInterface<SourceCase> {};

TEST_P(MaterialSource, VertexColourAsTheLitDiffuse) {
    AddLight(0, Directional(1.0f));
    material.Diffuse = D3DCOLORVALUE{0, 0.25f, 0.75f, 1};
    device()->SetMaterial(&material);
    device()->SetRenderState(D3DRS_COLORVERTEX, GetParam().colorVertex);
    device()->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, GetParam().source);
    DrawTriangle(0.5f, 0xFF804020);
    EXPECT_EQ(Pixel(32, 24), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Sources, MaterialSource,
                         testing::Values(SourceCase{1, D3DMCS_COLOR1, 0xFF804020u},
                                         SourceCase{0, D3DMCS_COLOR1, 0xFF0040BFu},
                                         SourceCase{1, D3DMCS_MATERIAL, 0xFF0040BFu},
                                         // The vertex has no specular colour: the material stands.
                                         SourceCase{1, D3DMCS_COLOR2, 0xFF0040BFu}));

// Flat shading gives the whole triangle its first vertex's colour.
TEST_F(LightingTest, FlatShadingTakesTheFirstVertex) {
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    struct ColorVertex {
        float x, y, z;
        D3DCOLOR color;
    };
    const ColorVertex tri[3] = {{-1, 1, 0.5f, 0xFFFF0000}, {3, 1, 0.5f, 0xFF00FF00}, {-1, -3, 0.5f, 0xFF0000FF}};
    device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device()->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(2, 40), 0xFFFF0000u);
    EXPECT_EQ(Pixel(60, 2), 0xFFFF0000u);
    device()->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex));
    EXPECT_NE(Pixel(2, 40), 0xFFFF0000u);
    EXPECT_GT(Pixel(2, 40) & 0xFF, 0x40u) << "blue grows towards the third vertex";
}

// Lights, fog, material and the other constants change without a new
// program: a draw after such a change compiles nothing.
TEST_F(LightingTest, ConstantStatesReuseThePrograms) {
    AddLight(0, Directional(0.5f));
    DrawTriangle();
    const DeviceStatistics before = device()->GetStatistics();
    for (uint32_t i = 1; i < 9; ++i) {
        AddLight(i * 1000, Directional(0.01f));
        device()->SetRenderState(D3DRS_FOGENABLE, i & 1);
        device()->SetRenderState(D3DRS_FOGVERTEXMODE, i % 4);
        device()->SetRenderState(D3DRS_AMBIENT, 0x00101010 * i);
        device()->SetRenderState(D3DRS_LOCALVIEWER, i & 2);
        device()->SetRenderState(D3DRS_NORMALIZENORMALS, i & 4);
        device()->SetRenderState(D3DRS_COLORVERTEX, i & 1);
        material.Power = static_cast<float>(i);
        device()->SetMaterial(&material);
        const D3DMATRIX world = Translation(0, 0, 0.01f * static_cast<float>(i));
        device()->SetTransform(D3DTS_WORLD, &world);
        DrawTriangle();
    }
    const DeviceStatistics after = device()->GetStatistics();
    EXPECT_EQ(after.programs, before.programs);
    EXPECT_EQ(after.programsBuiltInDraws, before.programsBuiltInDraws);
}

}  // namespace
