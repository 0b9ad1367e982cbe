#include "services/library/LibraryItem.h"
#include "tests/services/overlay/OverlayTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

class Font : public OverlayDeviceTest {};

// The default font: "Lucida Console" at size 6 with the default set.
TEST_F(Font, DefaultFontCharacterMap) {
    CQVFontItem* font = Font_GetDefault();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(Font_GetCurrent(), font);
    EXPECT_EQ(font->faceName, "Lucida Console");
    EXPECT_EQ(font->size, 6u);
    const FontRasterizer* r = font->rasterizer;
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->characterCount, 109u);
    EXPECT_EQ(r->characterSet[0], 0x20);
    EXPECT_EQ(r->characterSet[94], 0x7E);
    EXPECT_EQ(r->characterMap[0x41], 33u);
    EXPECT_EQ(r->characterMap[0xDF], 108u) << "sharp s twice: the later entry";
    EXPECT_EQ(r->characterMap[0xE5], 95u);
    for (int code : {0x00, 0x09, 0x0A, 0x7F, 0x80, 0xFF}) EXPECT_EQ(r->characterMap[code], 0u) << code;

    int32_t spaceWidth = 0, rowHeight = 0, width = 0, height = 0;
    ASSERT_EQ(FontRasterizer_GetTextExtent(r, " ", &spaceWidth, &rowHeight, false), S_OK);
    EXPECT_GT(spaceWidth, 0);
    EXPECT_GT(rowHeight, 0);
    ASSERT_EQ(FontRasterizer_GetTextExtent(r, "\n", &width, &height, false), S_OK);
    EXPECT_EQ(width, spaceWidth);
    EXPECT_EQ(height, 2 * rowHeight);
    EXPECT_EQ(FontRasterizer_GetTextExtent(r, nullptr, &width, &height, false), E_FAIL);
    EXPECT_EQ(FontRasterizer_GetTextExtent(r, "x", nullptr, &height, false), E_FAIL);
}

struct AtlasCase {
    const char* face;
    uint32_t size, flags, spacing;
    const char* characterSet;  // null: the default set
};
void PrintTo(const AtlasCase& c, std::ostream* out) {
    *out << c.face << " " << c.size << " flags " << c.flags << " spacing " << c.spacing;
}

class FontAtlas : public Font, public testing::WithParamInterface<AtlasCase> {};

// FreeType's glyphs are checked by the atlas they make: every cell inside
// the texture, no two cells overlapping, widths that add up in extents.
TEST_P(FontAtlas, CellsFitWithoutOverlap) {
    const AtlasCase& c = GetParam();
    FontRasterizer font;
    ASSERT_EQ(FontRasterizer_Create(&font, c.face, c.size, c.flags, Device(), c.characterSet, nullptr,
                                    static_cast<float>(c.spacing)),
              1);
    const uint32_t count = c.characterSet ? static_cast<uint32_t>(std::strlen(c.characterSet)) : 109u;
    ASSERT_EQ(font.characterCount, count);
    ASSERT_EQ(font.glyphs.size(), count);
    const float w = static_cast<float>(font.textureWidth), h = static_cast<float>(font.textureHeight);
    EXPECT_EQ(font.textureWidth & (font.textureWidth - 1), 0u);
    EXPECT_EQ(font.textureHeight & (font.textureHeight - 1), 0u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(font.texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, static_cast<D3DFORMAT>(D3DFMT_A4R4G4B4));
    EXPECT_EQ(desc.Width, font.textureWidth);

    struct Box {
        float left, top, right, bottom;
    };
    std::vector<Box> boxes;
    for (const FontGlyph& g : font.glyphs) {
        const Box b{g.u0 * w, g.v0 * h, g.u1 * w, g.v1 * h};
        EXPECT_GE(b.left, 0.0f);
        EXPECT_GE(b.top, 0.0f);
        EXPECT_LE(b.right, w);
        EXPECT_LE(b.bottom, h);
        EXPECT_FLOAT_EQ(b.bottom - b.top, (font.glyphs[0].v1 - font.glyphs[0].v0) * h) << "one cell height";
        boxes.push_back(b);
    }
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            const Box &a = boxes[i], &b = boxes[j];
            const bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
            // Sharp s appears twice in the default set and gets two cells.
            ASSERT_TRUE(apart) << "cells " << i << " and " << j << " overlap";
        }

    // A row is as wide as its characters' cells without their spacing.
    const auto cellWidth = [&](uint8_t ch) {
        const FontGlyph& g = font.glyphs[font.characterMap[ch]];
        return static_cast<int32_t>((g.u1 - g.u0) * w - 2.0f * font.spacing + 0.5f);
    };
    const uint8_t first = font.characterSet[0], second = font.characterSet[count - 1];
    const char text[] = {static_cast<char>(first), static_cast<char>(second), '\n', static_cast<char>(first), 0};
    int32_t width = 0, height = 0;
    ASSERT_EQ(FontRasterizer_GetTextExtent(&font, text, &width, &height, false), S_OK);
    // The newline counts as the set's first character on the row it starts.
    EXPECT_EQ(width, std::max(cellWidth(first) + cellWidth(second), cellWidth(font.characterSet[0]) + cellWidth(first)));
    const int32_t row = static_cast<int32_t>((font.glyphs[0].v1 - font.glyphs[0].v0) * h - 2.0f * font.spacing);
    EXPECT_EQ(height, 2 * row);
    ASSERT_EQ(FontRasterizer_GetTextExtent(&font, text + 2, &width, &height, true), S_OK);
    EXPECT_EQ(width, 0) << "stops at the line's end";
    EXPECT_EQ(height, row);

    // Every character has ink in its cell unless it is a blank.
    std::vector<uint16_t> texels(static_cast<size_t>(font.textureWidth) * font.textureHeight);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(font.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (uint32_t y = 0; y < font.textureHeight; ++y)
        std::memcpy(&texels[static_cast<size_t>(y) * font.textureWidth],
                    static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    font.textureWidth * 2);
    font.texture->UnlockRect(0);
    for (uint32_t i = 0; i < count; ++i) {
        if (font.characterSet[i] == ' ') continue;
        const Box& b = boxes[i];
        int inked = 0;
        for (int y = static_cast<int>(b.top); y < static_cast<int>(b.bottom); ++y)
            for (int x = static_cast<int>(b.left); x < static_cast<int>(b.right); ++x) {
                const uint16_t t = texels[static_cast<size_t>(y) * font.textureWidth + x];
                EXPECT_TRUE(t == 0 || (t & 0x0FFF) == 0x0FFF) << "white ink with its alpha";
                inked += t != 0;
            }
        EXPECT_GT(inked, 0) << "character " << int(font.characterSet[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Faces, FontAtlas,
                         testing::Values(AtlasCase{"Lucida Console", 6, 0, 0, nullptr},
                                         AtlasCase{"Arial", 20, FONT_BOLD, 0, nullptr},
                                         AtlasCase{"Times New Roman", 14, FONT_ITALIC, 2, nullptr},
                                         AtlasCase{"Verdana", 36, 0, 3, "0123456789:.-"},
                                         AtlasCase{"No Such Face", 12, 0, 1, "AaBb"}));

TEST_F(Font, CreateFontFallsBackAndRefusesWithoutDevice) {
    CQVFontItem* font = Engine()->CreateFont("A Face Nobody Has", 10, "XY");
    ASSERT_NE(font, nullptr) << "a missing face falls back, never to nothing";
    ASSERT_NE(font->rasterizer, nullptr);
    EXPECT_EQ(font->rasterizer->characterCount, 2u);
    delete font;

    FontRasterizer empty;
    EXPECT_EQ(FontRasterizer_Create(&empty, "Arial", 10, 0, nullptr, nullptr, nullptr, 0.0f), 0);
    EXPECT_EQ(FontRasterizer_Draw(&empty, 0, 0, 0xFFFFFFFF, "x", 0, 0.0f), E_FAIL);
    EXPECT_EQ(Engine()->CreateFont("Arial", 0, nullptr), nullptr) << "no glyphs at size 0";
}

// What a font item may ask for is bounded: a spacing beyond any texture or
// a point size of no screen is refused, and a large font is made into a
// glyph texture of at most 2048 a side (the game's hardware held no
// larger one) and drawn scaled up.
TEST_F(Font, HostileSizesAndSpacingsAreBounded) {
    FontRasterizer font;
    EXPECT_EQ(FontRasterizer_Create(&font, "Arial", 12, 0, Device(), nullptr, nullptr, 4294967295.0f), 0);
    EXPECT_EQ(FontRasterizer_Create(&font, "Arial", 12, 0, Device(), nullptr, nullptr, -1.0f), 0);
    for (const uint32_t size : {2049u, 1000000000u, 0xFFFFFFFFu})
        EXPECT_EQ(FontRasterizer_Create(&font, "Arial", size, 0, Device(), nullptr, nullptr, 0.0f), 0) << size;
    ASSERT_EQ(FontRasterizer_Create(&font, "Arial", 400, 0, Device(), nullptr, nullptr, 0.0f), 1);
    EXPECT_LE(font.textureWidth, 2048u);
    EXPECT_LE(font.textureHeight, 2048u);
    EXPECT_LT(font.textScale, 1.0f);
}

// A font item that names a texture item: cells from the library, glyphs
// from the texture, one texel per pixel.
class StoredFont : public Font {
protected:
    static constexpr uint32_t kTexW = 32, kTexH = 16;

    void SetUp() override {
        Font::SetUp();
        std::vector<uint32_t> pixels(kTexW * kTexH, 0);
        // 'A' in the cell at (0, 0) of 8 x 16: every texel a colour of its
        // own; the right column transparent, so the alpha test drops it.
        for (uint32_t y = 0; y < kTexH; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                pixels[y * kTexW + x] = x == 7 ? 0x00FFFFFF : 0xFF000000u | (x * 30 + 20) << 16 | (y * 15 + 10) << 8 | 0x40;
        // ' ' at (8, 0): blank; 'B' at (16, 0): solid white.
        for (uint32_t y = 0; y < kTexH; ++y)
            for (uint32_t x = 16; x < 24; ++x) pixels[y * kTexW + x] = 0xFFFFFFFF;
        AddTexture(20, pixels, kTexW, kTexH);
        font = new CQVFontItem();
        font->faceName = "Stored";
        font->size = 12;
        font->textureId = 20;
        font->metrics.characterCount = 3;
        std::memcpy(font->metrics.characterSet, " AB", 3);
        const float cw = 8.0f / kTexW;
        font->metrics.glyphs = {{cw, 0, 2 * cw, 1}, {0, 0, cw, 1}, {2 * cw, 0, 3 * cw, 1}};
        g_Library.SetItem(21, font);
        ASSERT_EQ(Library_LoadItem(font), 1);
        ASSERT_TRUE(font->loaded);
        ASSERT_NE(font->rasterizer, nullptr);
    }
    void Draw(float x, float y, const char* text, uint32_t flags, float depth = 0.0f, bool clear = true) {
        ASSERT_EQ(Engine()->BeginFrame(clear, 0), 1);
        ASSERT_EQ(FontRasterizer_Draw(font->rasterizer, x, y, 0xFFFFFFFF, text, flags, depth), S_OK);
        Engine()->EndFrame(0);
    }
    CQVFontItem* font = nullptr;
};

TEST_F(StoredFont, DrawsExactTexels) {
    EXPECT_EQ(font->rasterizer->textureWidth, kTexW);
    EXPECT_EQ(font->rasterizer->characterMap['A'], 1u);
    Draw(10.7f, 20.2f, "A B", 0);
    const std::vector<uint32_t> screen = Screen();
    for (uint32_t y = 0; y < kTexH; ++y) {
        for (uint32_t x = 0; x < 7; ++x)
            ASSERT_EQ(At(screen, 10 + x, 20 + y), (x * 30 + 20) << 16 | (y * 15 + 10) << 8 | 0x40) << x << "," << y;
        EXPECT_EQ(At(screen, 17, 20 + y), 0u) << "transparent texels are not drawn";
        for (uint32_t x = 18; x < 26; ++x) EXPECT_EQ(At(screen, x, 20 + y), 0u) << "the blank";
        for (uint32_t x = 26; x < 34; ++x) EXPECT_EQ(At(screen, x, 20 + y), 0xFFFFFFu);
    }
    EXPECT_EQ(Ink(screen, 0, 0, kWidth, 20), 0);
    EXPECT_EQ(Ink(screen, 0, 36, kWidth, kHeight), 0);
    EXPECT_EQ(Ink(screen, 34, 0, kWidth, kHeight), 0);
}

// Each line is placed by its own width: 'B' cells are 8 pixels of white.
TEST_F(StoredFont, AlignsEachLineAndTheBlock) {
    struct Case {
        uint32_t flags;
        float x, y;
        uint32_t firstLeft, secondLeft, top;
    };
    const Case cases[] = {
        {0, 100, 50, 100, 100, 50},
        {FONT_CENTER, 100, 50, 92, 96, 50},
        {FONT_RIGHT, 100, 50, 84, 92, 50},
        {FONT_RIGHT | 0x08, 100, 50, 84, 92, 50},
        {FONT_VCENTER, 100, 50, 100, 100, 34},
        {FONT_BOTTOM, 100, 50, 100, 100, 18},
    };
    for (const Case& c : cases) {
        Draw(c.x, c.y, "BB\nB", c.flags);
        const std::vector<uint32_t> screen = Screen();
        EXPECT_EQ(Ink(screen, c.firstLeft, c.top, c.firstLeft + 16, c.top + 16), 16 * 16) << c.flags;
        EXPECT_EQ(Ink(screen, c.secondLeft, c.top + 16, c.secondLeft + 8, c.top + 32), 8 * 16) << c.flags;
        EXPECT_EQ(Ink(screen, 0, 0, kWidth, kHeight), 24 * 16) << c.flags;
    }
}

TEST_F(StoredFont, DepthZeroDrawsOverEverythingOtherDepthsAreTested) {
    PlatformDevice* device = Device();
    for (const auto& [depth, drawn] : {std::pair{0.0f, true}, std::pair{0.5f, false}, std::pair{0.2f, true}}) {
        ASSERT_EQ(Engine()->BeginFrame(1, 0), 1);
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.3f, 0);
        ASSERT_EQ(FontRasterizer_Draw(font->rasterizer, 40, 40, 0xFFFFFFFF, "B", 0, depth), S_OK);
        Engine()->EndFrame(0);
        EXPECT_EQ(Ink(Screen(), 40, 40, 48, 56), drawn ? 128 : 0) << depth;
    }
}

// The caller's states come back after a draw, also after a device reset
// took the state blocks.
TEST_F(StoredFont, RestoresTheCallersStatesAndSurvivesAReset) {
    PlatformDevice* device = Device();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    for (int round = 0; round < 2; ++round) {
        Draw(10, 10, "B", FONT_BILINEAR);
        EXPECT_EQ(Ink(Screen(), 10, 10, 18, 26), 128);
        uint32_t value = 0;
        device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
        EXPECT_EQ(value, 0u);
        device->GetRenderState(D3DRS_ZENABLE, &value);
        EXPECT_EQ(value, 1u);
        device->GetTextureStageState(0, D3DTSS_MAGFILTER, &value);
        EXPECT_EQ(value, static_cast<uint32_t>(D3DTEXF_LINEAR));
        PlatformTexture* bound = nullptr;
        device->GetTexture(0, &bound);
        EXPECT_NE(bound, font->rasterizer->texture);
        if (bound != nullptr) bound->Release();
        Engine()->ReleaseDeviceFonts();
        EXPECT_EQ(font->rasterizer->stateBlocksRecorded, 0u);
    }
}

// Text goes to the device in batches of 50 glyphs (300 vertices); newlines draw nothing.
TEST_F(Font, BatchesOfFiftyGlyphs) {
    FontRasterizer* r = Font_GetDefault()->rasterizer;
    struct Case {
        std::string text;
        std::vector<uint32_t> batches;
    };
    const Case cases[] = {
        {"", {}},
        {"abc", {18}},
        {std::string(49, 'x'), {294}},
        {std::string(50, 'x'), {300}},
        {std::string(51, 'x'), {300, 6}},
        {std::string(120, 'x'), {300, 300, 120}},
        {std::string(30, 'x').append("\n\n").append(30, 'y'), {300, 60}},
    };
    for (const Case& c : cases) {
        batches.clear();
        ASSERT_EQ(Engine()->BeginFrame(1, 0), 1);
        ASSERT_EQ(FontRasterizer_Draw(r, 5, 5, 0xFFFFFFFF, c.text.c_str(), 0, 0.0f), S_OK);
        Engine()->EndFrame(0);
        EXPECT_EQ(batches, c.batches) << c.text.size();
    }
}

}  // namespace
