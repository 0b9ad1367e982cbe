// Depth, the near plane and the viewport's depth range; index ranges;
// draws prepared ahead; the two back buffers; projecting points.

#include "DeviceFixture.h"

#include <cstring>

namespace {

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
constexpr uint32_t kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

class DrawTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        device()->SetRenderState(D3DRS_LIGHTING, 0);
        device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    // A triangle over the whole viewport at clip depth z (identity transforms).
    void FullScreen(float z, D3DCOLOR color) {
        const ColorVertex tri[3] = {{-1, 1, z, color}, {3, 1, z, color}, {-1, -3, z, color}};
        device()->SetVertexShader(kColorFvf);
        ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex)), D3D_OK);
    }
};

// Clip depth runs from 0 to w: a surface just in front of the near plane is
// cut away, one just behind it is drawn.
TEST_F(DrawTest, NearPlaneIsAtDepthZero) {
    FullScreen(-0.05f, 0xFFFF0000);
    EXPECT_EQ(Pixel(30, 20), 0xFF000000u);
    FullScreen(0.05f, 0xFF00FF00);
    EXPECT_EQ(Pixel(30, 20), 0xFF00FF00u);
}

// Transformed depth maps through the viewport's range into the depth
// buffer; pre-transformed depth is the buffer's value as given.
struct DepthCase {
    float minZ, maxZ;
    float hiddenZ, shownZ;  // pre-transformed depths behind and in front of clip depth 0.3
};
class DepthRange : public DrawTest, public testing::WithParamInterface<DepthCase> {};

TEST_P(DepthRange, TransformedDepthMeetsPreTransformedDepth) {
    const DepthCase& c = GetParam();
    D3DVIEWPORT8 viewport{0, 0, kWidth, kHeight, c.minZ, c.maxZ};
    device()->SetViewport(&viewport);
    FullScreen(0.3f, 0xFFFF0000);
    device()->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    DrawScreenQuad(0, 0, 16, 16, c.hiddenZ, 0xFF0000FF);
    DrawScreenQuad(16, 0, 32, 16, c.shownZ, 0xFF00FF00);
    EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u);
}
INSTANTIATE_TEST_SUITE_P(Ranges, DepthRange,
                         testing::Values(DepthCase{0.0f, 1.0f, 0.35f, 0.25f},
                                         // 0.5 + 0.3 x 0.5 = 0.65
                                         DepthCase{0.5f, 1.0f, 0.7f, 0.6f}));

// A draw learns how far its indices reach from what the unlocks recorded,
// run by run, and refuses indices past the vertices it has.
TEST_F(DrawTest, IndexRangesComeFromTheUnlocks) {
    PlatformVertexBuffer* vb = nullptr;
    PlatformIndexBuffer* ib = nullptr;
    ASSERT_EQ(device()->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
    const uint32_t count = 900;  // 300 triangles, more than three runs of indices
    ASSERT_EQ(device()->CreateIndexBuffer(count * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    uint8_t* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    const ScreenVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {8, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                  {0, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {8, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    std::memcpy(data, quad, sizeof quad);
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t index = static_cast<uint16_t>(i % 3 + (i / 3) % 2);
        std::memcpy(data + i * 2, &index, 2);
    }
    ib->Unlock();
    EXPECT_EQ(ib->HighestIndex(0, count), 3u);
    device()->SetVertexShader(kScreenFvf);
    device()->SetStreamSource(0, vb, sizeof(ScreenVertex));
    device()->SetIndices(ib, 0);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, count / 3), D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFFFFFFFFu);

    // One index in the third run names vertex 7.
    const uint16_t far = 7;
    ASSERT_EQ(ib->Lock(600 * 2, 2, &data, 0), D3D_OK);
    std::memcpy(data, &far, 2);
    ib->Unlock();
    EXPECT_EQ(ib->HighestIndex(0, count), 7u);
    EXPECT_EQ(ib->HighestIndex(0, 600), 3u);
    EXPECT_EQ(ib->HighestIndex(598, 3), 7u);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, count / 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 200), D3D_OK);
    EXPECT_EQ(device()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 603, 99), D3D_OK);
    device()->SetStreamSource(0, nullptr, 0);
    device()->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

// Preparing builds what the first draw with the state would build and
// draws nothing; the draw then compiles nothing.
TEST_F(DrawTest, PreparedDrawsCompileNothing) {
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00204060, 1.0f, 0);
    device()->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device()->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
    device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT);
    device()->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    for (uint32_t fvf : {kScreenFvf, kColorFvf}) {
        device()->SetVertexShader(fvf);
        const DeviceStatistics before = device()->GetStatistics();
        const std::vector<uint32_t> picture = Pixels();
        ASSERT_EQ(device()->PrepareDraw(), D3D_OK);
        const DeviceStatistics prepared = device()->GetStatistics();
        EXPECT_EQ(prepared.programs, before.programs + 1);
        EXPECT_EQ(prepared.programsBuiltInDraws, before.programsBuiltInDraws);
        EXPECT_EQ(Pixels(), picture) << "preparing draws nothing";
        if (fvf == kScreenFvf) DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFF000000);
        else FullScreen(0.5f, 0xFF000000);
        EXPECT_EQ(device()->GetStatistics().programs, prepared.programs);
        EXPECT_EQ(device()->GetStatistics().programsBuiltInDraws, before.programsBuiltInDraws);
    }
    EXPECT_EQ(Pixel(4, 4), 0xFF000000u) << "the complement of a white factor is black";
    device()->SetVertexShader(0);
    EXPECT_EQ(device()->PrepareDraw(), D3DERR_INVALIDCALL);
}

// The back buffer is the window's own while the ramp is the identity, the
// device's while it is not; the picture moves over when the ramp changes,
// and a present leaves it readable.
TEST_F(DrawTest, BackBufferFollowsTheGammaRamp) {
    DrawScreenQuad(0, 0, 16, 8, 0.5f, 0xFF336699);
    const std::vector<uint32_t> picture = Pixels();
    D3DGAMMARAMP ramp{};
    for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(i * 256);
    ramp.red[255] = 0;
    device()->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
    EXPECT_FALSE(device()->IsPresentingDirectly());
    EXPECT_EQ(Pixels(), picture);
    DrawScreenQuad(16, 0, 32, 8, 0.5f, 0xFF00FF00);
    ramp.red[255] = 65280;
    device()->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
    EXPECT_EQ(device()->IsPresentingDirectly(), s_Direct);
    EXPECT_EQ(Pixel(4, 4), 0xFF336699u);
    EXPECT_EQ(Pixel(20, 4), 0xFF00FF00u);
    EXPECT_EQ(Pixel(40, 4), 0xFF000000u);
    // Depth moved over too: a quad behind the first stays hidden.
    DrawScreenQuad(0, 0, 8, 8, 0.7f, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(4, 4), 0xFF336699u);
    const std::vector<uint32_t> shown = Pixels();
    ASSERT_EQ(device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(Pixels(), shown);
}

// What cannot change the picture does not choose the program: the alpha
// the stages compute when nothing blends or tests with it, and a texture
// transform that is the identity. So an opaque material draws with the same
// program whatever the material before it left in those states.
TEST_F(DrawTest, ProgramsIgnoreStatesThatCannotChangeThePicture) {
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    device()->SetTexture(0, texture);
    texture->Release();
    auto programsAfterDraw = [&] {
        DrawScreenQuad(0, 0, 8, 8, 0.5f, 0x80FFFFFF);
        return device()->GetStatistics().programs;
    };
    const uint32_t opaque = programsAfterDraw();
    device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device()->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    EXPECT_EQ(programsAfterDraw(), opaque) << "alpha unused";
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const uint32_t blended = programsAfterDraw();
    EXPECT_GE(blended, opaque) << "alpha blended: the alpha setup counts";
    device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    EXPECT_EQ(programsAfterDraw(), blended + 1);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);

    // Texture transforms, on transformed vertices.
    struct TexturedVertex {
        float x, y, z, u, v;
    };
    const TexturedVertex tri[3] = {{-1, 1, 0.5f, 0, 0}, {3, 1, 0.5f, 2, 0}, {-1, -3, 0.5f, 0, 2}};
    auto programsAfterTexturedDraw = [&] {
        device()->SetVertexShader(D3DFVF_XYZ | D3DFVF_TEX1);
        device()->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TexturedVertex));
        return device()->GetStatistics().programs;
    };
    const uint32_t plain = programsAfterTexturedDraw();
    device()->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    EXPECT_EQ(programsAfterTexturedDraw(), plain) << "identity transform";
    D3DMATRIX scale{};
    scale.m[0][0] = 2.0f;
    scale.m[1][1] = scale.m[2][2] = scale.m[3][3] = 1.0f;
    device()->SetTransform(D3DTS_TEXTURE0, &scale);
    EXPECT_EQ(programsAfterTexturedDraw(), plain + 1);
    device()->SetTexture(0, nullptr);
}

// Indexed vertices from the caller's memory: the indices pick the corners,
// and one past minIndex + vertexCount (memory the caller did not give) is
// refused with nothing drawn.
TEST_F(DrawTest, UserIndexedDrawsStayWithinTheGivenVertices) {
    const ScreenVertex quad[5] = {{99, 99, 0.5f, 1, 0xFFFF0000, 0, 0},  {8, 8, 0.5f, 1, 0xFF00FF00, 0, 0},
                                  {24, 8, 0.5f, 1, 0xFF00FF00, 0, 0}, {8, 24, 0.5f, 1, 0xFF00FF00, 0, 0},
                                  {24, 24, 0.5f, 1, 0xFF00FF00, 0, 0}};
    const uint16_t indices[6] = {1, 2, 3, 3, 2, 4};
    device()->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device()->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 1, 4, 2, indices, D3DFMT_INDEX16, quad,
                                               sizeof(ScreenVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(16, 16), 0xFF00FF00u);
    EXPECT_EQ(Pixel(30, 30), 0xFF000000u);
    const uint16_t beyond[3] = {1, 2, 5};
    EXPECT_EQ(device()->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 1, 4, 1, beyond, D3DFMT_INDEX16, quad,
                                               sizeof(ScreenVertex)),
              D3DERR_INVALIDCALL);
    const uint16_t below[3] = {0, 1, 2};
    EXPECT_EQ(device()->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 1, 4, 1, below, D3DFMT_INDEX16, quad,
                                               sizeof(ScreenVertex)),
              D3DERR_INVALIDCALL);
}

TEST(Projection, WorldPointsLandOnTheViewport) {
    D3DMATRIX world{}, view{}, projection{};
    for (int i = 0; i < 4; ++i) world.m[i][i] = view.m[i][i] = 1.0f;
    world.m[3][0] = 1.0f;  // moves x by 1
    view.m[3][2] = 2.0f;   // pushes everything 2 away
    // x and y halved; depth 0 at 2 and 1 at 4; w is the view depth.
    projection.m[0][0] = 0.5f;
    projection.m[1][1] = 0.5f;
    projection.m[2][2] = 2.0f;
    projection.m[3][2] = -4.0f;
    projection.m[2][3] = 1.0f;
    const D3DVIEWPORT8 viewport{10, 20, 200, 100, 0.25f, 0.75f};
    // (1, 2, 2): world (2, 2, 2), view (2, 2, 4), clip (1, 1, 4, 4): ndc (0.25, 0.25, 1).
    const D3DVECTOR p = Graphics_ProjectPoint(D3DVECTOR{1, 2, 2}, viewport, projection, view, world);
    EXPECT_FLOAT_EQ(p.x, 10 + 1.25f * 100);
    EXPECT_FLOAT_EQ(p.y, 20 + 0.75f * 50);
    EXPECT_FLOAT_EQ(p.z, 0.75f);
    const D3DVECTOR centre = Graphics_ProjectPoint(D3DVECTOR{-1, 0, 0}, viewport, projection, view, world);
    EXPECT_FLOAT_EQ(centre.x, 110.0f);
    EXPECT_FLOAT_EQ(centre.y, 70.0f);
    EXPECT_FLOAT_EQ(centre.z, 0.25f);
}

}  // namespace
