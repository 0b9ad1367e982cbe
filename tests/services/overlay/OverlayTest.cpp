#include "services/library/LibraryItem.h"
#include "services/render/Material.h"
#include "services/render/Render.h"
#include "tests/services/overlay/OverlayTestSupport.h"

#include <tuple>

namespace {

struct ColorCase {
    float r, g, b, a;
    uint32_t argb;
};

class OverlayColor : public testing::TestWithParam<ColorCase> {};

TEST_P(OverlayColor, ClampsAndRoundsEachChannel) {
    const ColorCase& c = GetParam();
    EXPECT_EQ(Overlay_ColorToArgb(c.r, c.g, c.b, c.a), c.argb);
}

INSTANTIATE_TEST_SUITE_P(Table, OverlayColor,
                         testing::Values(ColorCase{1.2f, 0.5f, -0.3f, 0.0f, 0x00FF8000u},
                                         ColorCase{1.0f, 1.0f, 1.0f, 1.0f, 0xFFFFFFFFu},
                                         ColorCase{0.0f, 0.0f, 0.0f, 0.0f, 0x00000000u},
                                         ColorCase{0.001f, 0.998f, 0.25f, 0.75f, 0xBF00FE40u}));

class Overlay : public OverlayDeviceTest {
protected:
    // An unlit "Normal" material with opaque white diffuse and the textures named.
    CQVMaterialItem* AddMaterial(uint32_t id, std::vector<uint32_t> textures = {}) {
        auto* material = new CQVMaterialItem();
        material->material.Diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        material->textureIds = std::move(textures);
        material->stateFlagB = 1;
        g_Library.SetItem(id, material);
        return material;
    }
    void Frame(void (*draw)(CQVEngine*)) {
        ASSERT_EQ(Engine()->BeginFrame(1, 0), 1);
        draw(Engine());
        Engine()->EndFrame(0);
    }
    static void DrawAll(CQVEngine* engine) {
        engine->DrawQuads(1);
        engine->DrawTexts(1);
        engine->DrawFixedQuads();
    }
};

TEST_F(Overlay, QuadsCoverWholePixelSizes) {
    CQVMaterialItem* material = AddMaterial(5);
    CQVEngine* engine = Engine();
    engine->AddQuad(5.5f, 2.25f, 10.7f, 3.9f, 1.0f, 0.5f, 0.0f, 1.0f, material);
    engine->AddQuad(0, 0, 10, 10, 1, 1, 1, 1, nullptr);
    engine->AddQuadUV(1, 2, 4, 8, 0.25f, 0.5f, 0.75f, 1.0f, 1, 1, 1, 1, material);
    engine->AddQuadCorners(0, 0, 9, 1, 2, 7, 8, 9, 0.1f, 0.2f, 0.3f, 0.4f, 0, 0, 1, 1, material);
    ASSERT_EQ(engine->overlayQuads.size(), 3u) << "nothing is queued without a material";

    const OverlayQuad& quad = engine->overlayQuads[0];
    EXPECT_EQ(quad.material, material);
    const float o = 0.000005f;
    const float expected[4][4] = {{5.5f, 2.25f, o, o}, {15.5f, 2.25f, 1 + o, o}, {5.5f, 5.25f, o, 1 + o},
                                  {15.5f, 5.25f, 1 + o, 1 + o}};
    for (int i = 0; i < 4; ++i) {
        const OverlayVertex& v = quad.vertices[i];
        EXPECT_EQ(std::tie(v.x, v.y, v.u, v.v), std::tie(expected[i][0], expected[i][1], expected[i][2], expected[i][3]))
            << i;
        EXPECT_EQ(v.z, 0.99f);
        EXPECT_EQ(v.rhw, 1.0f);
        EXPECT_EQ(v.color, 0xFFFF8000u);
    }
    const OverlayQuad& uv = engine->overlayQuads[1];
    EXPECT_EQ(uv.vertices[0].u, 0.25f + o);
    EXPECT_EQ(uv.vertices[3].v, 1.0f + o);
    EXPECT_EQ(uv.vertices[3].x, 5.0f);
    const OverlayQuad& corners = engine->overlayQuads[2];
    EXPECT_EQ(std::tie(corners.vertices[1].x, corners.vertices[1].y, corners.vertices[1].u, corners.vertices[1].v),
              std::make_tuple(9.0f, 1.0f, 0.3f + o, 0.2f + o));
    EXPECT_EQ(std::tie(corners.vertices[2].x, corners.vertices[2].y, corners.vertices[2].u, corners.vertices[2].v),
              std::make_tuple(2.0f, 7.0f, 0.1f + o, 0.4f + o));
    EXPECT_EQ(corners.vertices[0].color, 0xFF0000FFu);

    EXPECT_EQ(engine->SetScreenQuad(0, 0, 8, 8, 1, 1, 1, 1, nullptr), 0);
    EXPECT_EQ(engine->SetScreenQuad(3, 4, 20.9f, 10, 1, 1, 1, 1, material), 1);
    EXPECT_EQ(engine->screenSlot.vertices[0].u, 0.01f + o);
    EXPECT_EQ(engine->screenSlot.vertices[3].u, 0.99f + o);
    EXPECT_EQ(engine->screenSlot.vertices[3].x, 23.0f);
}

TEST_F(Overlay, SpritesTakeTheirTexturesSize) {
    AddTexture(3, std::vector<uint32_t>(32 * 16, 0xFF00FF00u), 32, 16);
    g_Library.At(3)->Load();
    static_cast<CQVTextureItem*>(g_Library.At(3))->width = 40;  // the stored size, not the file's
    CQVEngine* engine = Engine();
    engine->AddSprite(10, 20, 1, 1, 1, 1, AddMaterial(5, {3}));
    engine->AddSprite(10, 20, 1, 1, 1, 1, AddMaterial(6));
    engine->AddSprite(10, 20, 1, 1, 1, 1, AddMaterial(7, {99}));
    ASSERT_EQ(engine->overlayQuads.size(), 2u) << "a first texture that names no item queues nothing";
    EXPECT_EQ(engine->overlayQuads[0].vertices[3].x, 50.0f);
    EXPECT_EQ(engine->overlayQuads[0].vertices[3].y, 36.0f);
    EXPECT_EQ(engine->overlayQuads[1].vertices[3].x, 266.0f) << "256 x 256 without a texture";

    engine->SetSpriteQuad(0, 0, AddMaterial(8, {99}));
    EXPECT_EQ(engine->spriteSlot.material, nullptr);
    engine->SetSpriteQuad(1, 2, static_cast<CQVMaterialItem*>(g_Library.At(5)));
    EXPECT_EQ(engine->spriteSlot.vertices[3].x, 33.0f) << "the source image's size";
    EXPECT_EQ(engine->spriteSlot.vertices[3].y, 18.0f);
    EXPECT_EQ(engine->spriteSlot.vertices[0].color, 0xFFFFFFFFu);
}

TEST_F(Overlay, QueuedQuadsDrawUnlitWithoutDepthAndClearOnRequest) {
    CQVMaterialItem* material = AddMaterial(5);
    CQVEngine* engine = Engine();
    engine->AddQuad(100, 100, 50, 40, 1, 0, 0, 1, material);
    Frame([](CQVEngine* e) {
        // Nearer geometry in the depth buffer does not hide an overlay.
        CQVGraphics::GetInstance()->GetDevice()->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0);
        e->DrawQuads(0);
    });
    std::vector<uint32_t> screen = Screen();
    EXPECT_EQ(At(screen, 100, 100), 0xFF0000u);
    EXPECT_EQ(At(screen, 149, 139), 0xFF0000u);
    EXPECT_EQ(Ink(screen, 0, 0, kWidth, kHeight), 50 * 40);
    EXPECT_EQ(CQVRender::Get().Materials().forceMask, 0xFFFFFFFFu) << "the next material applies in full";
    EXPECT_EQ(CQVRender::Get().Materials().lastMaterial, nullptr);
    uint32_t lighting = 0, depth = 0;
    Device()->GetRenderState(D3DRS_LIGHTING, &lighting);
    Device()->GetRenderState(D3DRS_ZENABLE, &depth);
    EXPECT_EQ(lighting, 1u);
    EXPECT_EQ(depth, 1u);

    // Kept without the clear flag: drawn again next frame, then emptied.
    Frame([](CQVEngine* e) { e->DrawQuads(1); });
    EXPECT_EQ(Ink(Screen(), 0, 0, kWidth, kHeight), 50 * 40);
    EXPECT_TRUE(engine->overlayQuads.empty());
    Frame([](CQVEngine* e) { e->DrawQuads(1); });
    EXPECT_EQ(Ink(Screen(), 0, 0, kWidth, kHeight), 0);
}

TEST_F(Overlay, FixedSlotsShowForOneFramePerFill) {
    AddTexture(3, std::vector<uint32_t>(16 * 8, 0xFF00FF00u), 16, 8);
    CQVEngine* engine = Engine();
    engine->SetSpriteQuad(10, 10, AddMaterial(5, {3}));
    engine->SetScreenQuad(200, 100, 30, 20, 0, 0, 1, 1, AddMaterial(6));
    Frame(&DrawAll);
    std::vector<uint32_t> screen = Screen();
    EXPECT_EQ(At(screen, 10, 10), 0x00FF00u);
    EXPECT_EQ(At(screen, 25, 17), 0x00FF00u);
    EXPECT_EQ(Ink(screen, 0, 0, 100, 100), 16 * 8);
    EXPECT_EQ(At(screen, 215, 110), 0x0000FFu);
    EXPECT_EQ(Ink(screen, 100, 0, kWidth, kHeight), 30 * 20);
    EXPECT_EQ(engine->spriteSlot.material, nullptr);
    uint32_t address = 0;
    Device()->GetTextureStageState(0, D3DTSS_ADDRESSU, &address);
    EXPECT_EQ(address, static_cast<uint32_t>(D3DTADDRESS_WRAP));

    Frame(&DrawAll);
    EXPECT_EQ(Ink(Screen(), 0, 0, kWidth, kHeight), 0) << "not filled again: not drawn";
}

TEST_F(Overlay, TextsTakeTheCurrentFontAndDrawInOrder) {
    CQVEngine* engine = Engine();
    engine->AddText(50, 60, 1, 1, 1, 1, "Hello", 0);
    engine->AddTextEx(50, 80, 0.5f, 1, 1, 1, 1, nullptr, 0);
    CQVFontItem* other = engine->CreateFont("Arial", 14, nullptr);
    ASSERT_NE(other, nullptr);
    Font_SetCurrent(other);
    engine->AddText(50, 100, 1, 1, 1, 1, "World", FONT_CENTER);
    ASSERT_EQ(engine->overlayTexts.size(), 3u);
    EXPECT_EQ(engine->overlayTexts[0].font, Font_GetDefault());
    EXPECT_EQ(engine->overlayTexts[0].depth, 0.0f);
    EXPECT_EQ(engine->overlayTexts[1].text, "");
    EXPECT_EQ(engine->overlayTexts[1].depth, 0.5f);
    EXPECT_EQ(engine->overlayTexts[2].font, other);
    EXPECT_EQ(engine->overlayTexts[2].flags, static_cast<uint32_t>(FONT_CENTER));

    Frame([](CQVEngine* e) { e->DrawTexts(0); });
    EXPECT_EQ(batches, (std::vector<uint32_t>{30, 30}));
    const std::vector<uint32_t> screen = Screen();
    EXPECT_GT(Ink(screen, 50, 60, 100, 75), 10);
    EXPECT_GT(Ink(screen, 20, 100, 50, 120), 10) << "centred on x";
    EXPECT_GT(Ink(screen, 50, 100, 80, 120), 10);
    Frame([](CQVEngine* e) { e->DrawTexts(1); });
    EXPECT_TRUE(engine->overlayTexts.empty());
    Font_SetCurrent(nullptr);
    EXPECT_EQ(Font_GetCurrent(), Font_GetDefault());
    delete other;
}

}  // namespace

namespace {

// Quads in every alpha mode, textured or not, and text in every way it is
// drawn: nothing is compiled on the frame that first shows them.
TEST_F(Overlay, FirstFrameBuildsNoPrograms) {
    AddTexture(3, std::vector<uint32_t>(4 * 4, 0x80FFFFFFu), 4, 4);
    CQVEngine* engine = Engine();
    for (uint32_t mode = 0; mode < 4; ++mode) {
        for (float alpha : {1.0f, 0.5f}) {
            CQVMaterialItem* material =
                AddMaterial(10 + mode * 2 + (alpha < 1.0f), mode % 2 ? std::vector<uint32_t>{3} : std::vector<uint32_t>{});
            material->blendIndex = mode;
            material->useAlpha = 1;
            material->material.Diffuse.a = alpha;
            material->specularEnable = mode == 2;
            engine->AddQuad(10.0f * mode, 10, 8, 8, 1, 1, 1, alpha, material);
        }
    }
    engine->AddText(100, 100, 1, 1, 1, 1, "Text", 0);
    engine->AddTextEx(100, 120, 0.5f, 1, 1, 1, 1, "Text", FONT_BILINEAR);
    // Preparing again leaves the device and the material applier as they were.
    Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    Device()->SetRenderState(D3DRS_LIGHTING, 0);
    const MaterialState applier = g_MaterialState;
    Overlay_PrepareDraws();
    uint32_t blend = 1, lighting = 1;
    Device()->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    Device()->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(blend + lighting, 0u);
    EXPECT_EQ(g_MaterialState.lastWord, applier.lastWord);

    const uint32_t before = Device()->GetStatistics().programsBuiltInDraws;
    Frame(&DrawAll);
    EXPECT_EQ(Device()->GetStatistics().programsBuiltInDraws, before);
    EXPECT_GT(Ink(Screen(), 0, 0, kWidth, kHeight), 100);
}

}  // namespace
