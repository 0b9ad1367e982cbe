// State blocks: recording, applying and refreshing sets of device states.

#include "DeviceFixture.h"

namespace {

class StateBlockTest : public DeviceTest {
protected:
    uint32_t RenderState(D3DRENDERSTATETYPE state) {
        uint32_t value = 0;
        device()->GetRenderState(state, &value);
        return value;
    }
    uint32_t StageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type) {
        uint32_t value = 0;
        device()->GetTextureStageState(stage, type, &value);
        return value;
    }
    PlatformTexture* BoundTexture(uint32_t stage) {
        PlatformTexture* texture = nullptr;
        device()->GetTexture(stage, &texture);
        if (texture) texture->Release();
        return texture;
    }
};

TEST_F(StateBlockTest, RecordingStoresTheSetsWithoutApplyingThem) {
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    ASSERT_EQ(device()->BeginStateBlock(), D3D_OK);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device()->SetTexture(0, texture);
    D3DMATERIAL8 material{};
    material.Power = 7.0f;
    device()->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Range = 3.0f;
    device()->SetLight(9, &light);
    device()->LightEnable(9, 1);
    uint32_t handle = 0;
    ASSERT_EQ(device()->EndStateBlock(&handle), D3D_OK);
    EXPECT_NE(handle, 0u);

    // The device kept its own states while recording.
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(StageState(1, D3DTSS_COLOROP), static_cast<uint32_t>(D3DTOP_DISABLE));
    EXPECT_EQ(BoundTexture(0), nullptr);
    D3DLIGHT8 read{};
    EXPECT_EQ(device()->GetLight(9, &read), D3DERR_INVALIDCALL);

    ASSERT_EQ(device()->ApplyStateBlock(handle), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(StageState(1, D3DTSS_COLOROP), static_cast<uint32_t>(D3DTOP_ADD));
    EXPECT_EQ(BoundTexture(0), texture);
    D3DMATERIAL8 applied{};
    device()->GetMaterial(&applied);
    EXPECT_EQ(applied.Power, 7.0f);
    ASSERT_EQ(device()->GetLight(9, &read), D3D_OK);
    EXPECT_EQ(read.Range, 3.0f);
    int32_t enabled = 0;
    device()->GetLightEnable(9, &enabled);
    EXPECT_EQ(enabled, 1);

    // The block holds its texture: the owner's release leaves it alive until
    // the block and the stage let go.
    device()->SetTexture(0, nullptr);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(device()->DeleteStateBlock(handle), D3D_OK);
}

TEST_F(StateBlockTest, CaptureRefreshesOnlyTheRecordedStates) {
    device()->BeginStateBlock();
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    uint32_t saved = 0;
    device()->EndStateBlock(&saved);

    // The caller's state at the time of the capture comes back on apply.
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    ASSERT_EQ(device()->CaptureStateBlock(saved), D3D_OK);
    device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_ANISOTROPIC);
    device()->SetRenderState(D3DRS_FOGENABLE, 1);
    ASSERT_EQ(device()->ApplyStateBlock(saved), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<uint32_t>(D3DZB_TRUE));
    EXPECT_EQ(StageState(0, D3DTSS_MINFILTER), static_cast<uint32_t>(D3DTEXF_LINEAR));
    EXPECT_EQ(RenderState(D3DRS_FOGENABLE), 1u) << "not recorded: untouched";
    device()->DeleteStateBlock(saved);
}

// Text drawing as the fonts do it: capture the caller's state into a saved
// block, apply a draw block, draw, apply the saved block again.
TEST_F(StateBlockTest, SavedAndDrawBlocksBracketADraw) {
    auto record = [&]() {
        device()->BeginStateBlock();
        device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device()->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device()->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        uint32_t handle = 0;
        device()->EndStateBlock(&handle);
        return handle;
    };
    const uint32_t saved = record(), draw = record();
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0);
    DrawScreenQuad(0, 0, 16, 16, 0.2f, 0xFF0000FF);  // the caller's own drawing, depth 0.2

    device()->CaptureStateBlock(saved);
    device()->ApplyStateBlock(draw);
    DrawScreenQuad(0, 0, 32, 16, 0.9f, 0x80000000);  // half black over everything, depth test off
    device()->ApplyStateBlock(saved);
    EXPECT_EQ(Pixel(8, 8), 0xFF00007Fu);
    EXPECT_EQ(Pixel(24, 8), 0xFF7F7F7Fu);

    // The caller's blending and depth test are back.
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 0u);
    DrawScreenQuad(0, 0, 32, 16, 0.5f, 0x2000FF00);
    EXPECT_EQ(Pixel(8, 8), 0xFF00007Fu) << "behind the caller's quad";
    EXPECT_EQ(Pixel(24, 8), 0xFF00FF00u) << "opaque: no blending";
    device()->DeleteStateBlock(saved);
    device()->DeleteStateBlock(draw);
}

TEST_F(StateBlockTest, TypedBlocksHoldTheirShareOfTheStates) {
    device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    device()->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 5);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    device()->SetLight(4, &light);
    device()->LightEnable(4, 1);
    uint32_t pixel = 0, vertex = 0, all = 0;
    ASSERT_EQ(device()->CreateStateBlock(D3DSBT_PIXELSTATE, &pixel), D3D_OK);
    ASSERT_EQ(device()->CreateStateBlock(D3DSBT_VERTEXSTATE, &vertex), D3D_OK);
    ASSERT_EQ(device()->CreateStateBlock(D3DSBT_ALL, &all), D3D_OK);

    auto scramble = [&]() {
        device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device()->SetRenderState(D3DRS_LIGHTING, 1);
        device()->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
        device()->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 2);
        device()->LightEnable(4, 0);
    };
    int32_t enabled = 0;
    scramble();
    device()->ApplyStateBlock(pixel);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<uint32_t>(D3DBLEND_DESTCOLOR));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), 1u);
    EXPECT_EQ(StageState(2, D3DTSS_COLOROP), static_cast<uint32_t>(D3DTOP_ADD));
    EXPECT_EQ(StageState(2, D3DTSS_TEXCOORDINDEX), 2u);
    device()->GetLightEnable(4, &enabled);
    EXPECT_EQ(enabled, 0);

    scramble();
    device()->ApplyStateBlock(vertex);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<uint32_t>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), 0u);
    EXPECT_EQ(StageState(2, D3DTSS_COLOROP), static_cast<uint32_t>(D3DTOP_DISABLE));
    EXPECT_EQ(StageState(2, D3DTSS_TEXCOORDINDEX), 5u);
    device()->GetLightEnable(4, &enabled);
    EXPECT_EQ(enabled, 1);

    scramble();
    device()->ApplyStateBlock(all);
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<uint32_t>(D3DBLEND_DESTCOLOR));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), 0u);
    EXPECT_EQ(StageState(2, D3DTSS_COLOROP), static_cast<uint32_t>(D3DTOP_ADD));
    device()->GetLightEnable(4, &enabled);
    EXPECT_EQ(enabled, 1);
    for (uint32_t handle : {pixel, vertex, all}) device()->DeleteStateBlock(handle);
}

TEST_F(StateBlockTest, MisuseIsRefused) {
    uint32_t handle = 0;
    EXPECT_EQ(device()->EndStateBlock(&handle), D3DERR_INVALIDCALL) << "not recording";
    EXPECT_EQ(device()->ApplyStateBlock(12345), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->CaptureStateBlock(12345), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->DeleteStateBlock(12345), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->CreateStateBlock(static_cast<D3DSTATEBLOCKTYPE>(9), &handle), D3DERR_INVALIDCALL);
    ASSERT_EQ(device()->CreateStateBlock(D3DSBT_ALL, &handle), D3D_OK);
    ASSERT_EQ(device()->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(device()->BeginStateBlock(), D3DERR_INVALIDCALL) << "blocks do not nest";
    EXPECT_EQ(device()->ApplyStateBlock(handle), D3DERR_INVALIDCALL) << "while recording";
    // An invalid set is refused while recording as it is otherwise.
    EXPECT_EQ(device()->SetRenderState(static_cast<D3DRENDERSTATETYPE>(500), 1), D3DERR_INVALIDCALL);
    uint32_t empty = 0;
    ASSERT_EQ(device()->EndStateBlock(&empty), D3D_OK);
    EXPECT_NE(empty, handle);
    EXPECT_EQ(device()->ApplyStateBlock(empty), D3D_OK) << "an empty block changes nothing";
    EXPECT_EQ(device()->DeleteStateBlock(handle), D3D_OK);
    EXPECT_EQ(device()->DeleteStateBlock(handle), D3DERR_INVALIDCALL);
    EXPECT_EQ(device()->ApplyStateBlock(handle), D3DERR_INVALIDCALL);
    device()->DeleteStateBlock(empty);
}

}  // namespace
