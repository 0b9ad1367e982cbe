#include "services/overlay/FontRasterizer.h"

#include "platform/font/FontFace.h"
#include "platform/graphics/DeviceState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

std::vector<uint32_t>* g_FontBatchLog = nullptr;

const uint8_t kFontDefaultSet[FONT_DEFAULT_SET_SIZE] = {
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E,
    // å Å ä Ä ö Ö ø Ø æ Æ ü Ü ß ß
    0xE5, 0xC5, 0xE4, 0xC4, 0xF6, 0xD6, 0xF8, 0xD8, 0xE6, 0xC6, 0xFC, 0xDC, 0xDF, 0xDF};

namespace {

// Fonts are sized for a screen of 96 pixels per inch.
constexpr int32_t kPixelsPerInch = 96;
// The glyph texture starts this size and doubles until every cell fits.
constexpr uint32_t kStartSize = 64;
// Below this point size glyphs are drawn without smoothing, where smoothing
// blurs more than it helps.
constexpr uint32_t kSmoothFromSize = 10;
constexpr uint32_t kOverlayFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// a x b / c rounded to the nearest whole number.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    const int64_t product = static_cast<int64_t>(a) * b;
    return static_cast<int32_t>(product >= 0 ? (product + c / 2) / c : (product - c / 2) / c);
}

int32_t Truncate(float value) { return static_cast<int32_t>(value); }

struct Cell {
    int32_t x, y;  // top left, spacing included
};

// The cells of the set in one walk, left to right and row by row: each cell
// is the character's width and the font's height with the spacing on every
// side, and one blank pixel after it. The same walk sizes the texture and
// places the glyphs, so every cell that was measured to fit is drawn where
// it was measured. False when a cell does not fit the size.
bool LayoutCells(const FontRasterizer& font, const int32_t* widths, int32_t height, uint32_t textureWidth,
                 uint32_t textureHeight, std::vector<Cell>* cells) {
    const float s = font.spacing;
    const int32_t rowStart = Truncate(s);
    const int64_t w = textureWidth, h = textureHeight;
    int32_t x = rowStart, y = rowStart;
    cells->clear();
    for (uint32_t i = 0; i < font.characterCount; ++i) {
        const int32_t width = widths[font.characterSet[i]];
        if (x != rowStart && Truncate(static_cast<float>(x + width + 1) + 2.0f * s) >= w) {
            x = rowStart;
            y = Truncate(static_cast<float>(y + height + 1) + 2.0f * s);
        }
        if (Truncate(static_cast<float>(x + width + 1) + 2.0f * s) >= w) return false;
        if (Truncate(static_cast<float>(y + height + 1) + 2.0f * s) > h) return false;
        cells->push_back(Cell{x, y});
        x = Truncate(static_cast<float>(x + width + 1) + 2.0f * s);
    }
    return true;
}

std::unique_ptr<PlatformFont> OpenFace(const FontRasterizer& font, float scale) {
    PlatformFontDesc desc;
    desc.faceName = font.faceName;
    desc.pixelHeight = MulDiv(static_cast<int32_t>(font.size), Truncate(kPixelsPerInch * scale), 72);
    desc.bold = (font.flags & FONT_BOLD) != 0;
    desc.italic = (font.flags & FONT_ITALIC) != 0;
    desc.antialiased = font.size >= kSmoothFromSize;
    std::string error;
    return PlatformFont::Create(desc, &error);
}

void MeasureSet(const FontRasterizer& font, PlatformFont& face, int32_t* widths) {
    for (uint32_t i = 0; i < font.characterCount; ++i)
        widths[font.characterSet[i]] = face.GetGlyphMetrics(font.characterSet[i]).advance;
}

void BuildMap(FontRasterizer* font) {
    std::fill(std::begin(font->characterMap), std::end(font->characterMap), 0u);
    for (uint32_t i = 0; i < font->characterCount; ++i) font->characterMap[font->characterSet[i]] = i;
}

void SetDrawStates(PlatformDevice* device, PlatformTexture* texture) {
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAREF, 8);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_STENCILENABLE, 0);
    device->SetRenderState(D3DRS_EDGEANTIALIAS, 0);
    device->SetRenderState(D3DRS_VERTEXBLEND, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

uint32_t RecordBlock(PlatformDevice* device, PlatformTexture* texture) {
    uint32_t handle = 0;
    if (!Succeeded(device->BeginStateBlock())) return 0;
    SetDrawStates(device, texture);
    if (!Succeeded(device->EndStateBlock(&handle))) return 0;
    return handle;
}

void RecordStateBlocks(FontRasterizer* font) {
    if (font->stateBlocksRecorded || font->device == nullptr) return;
    font->savedStateBlock = RecordBlock(font->device, font->texture);
    font->drawStateBlock = RecordBlock(font->device, font->texture);
    font->stateBlocksRecorded = 1;
}

// Builds what the first text would otherwise make the device build on the
// frame that draws it: the text states with and without depth test, point
// and bilinear sampling.
void PrepareTextDraws(FontRasterizer* font) {
    PlatformDevice* device = font->device;
    uint32_t fvf = 0;
    device->GetVertexShader(&fvf);
    device->CaptureStateBlock(font->savedStateBlock);
    device->ApplyStateBlock(font->drawStateBlock);
    device->SetVertexShader(kOverlayFvf);
    for (uint32_t depthTest : {0u, 1u}) {
        for (uint32_t filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
            device->SetRenderState(D3DRS_ZENABLE, depthTest);
            device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
            device->PrepareDraw();
        }
    }
    device->ApplyStateBlock(font->savedStateBlock);
    device->SetVertexShader(fvf);
}

// The glyph image (32-bit, white ink on black) into the texture: the ink's
// top four bits become the alpha of a white texel.
bool UploadGlyphs(PlatformTexture* texture, const std::vector<uint32_t>& image, uint32_t width, uint32_t height) {
    D3DLOCKED_RECT locked{};
    if (!Succeeded(texture->LockRect(0, &locked, nullptr, 0))) return false;
    for (uint32_t y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t alpha = (image[static_cast<size_t>(y) * width + x] >> 4) & 15;
            const uint16_t texel = alpha != 0 ? static_cast<uint16_t>(alpha << 12 | 0x0FFF) : 0;
            std::memcpy(row + x * 2, &texel, 2);
        }
    }
    texture->UnlockRect(0);
    return true;
}

// A size at which every cell fits, doubling the narrower side from 64 x 64;
// false when even the largest size checked is too small.
bool FindTextureSize(const FontRasterizer& font, const int32_t* widths, int32_t height, uint32_t* width,
                     uint32_t* textureHeight, std::vector<Cell>* cells) {
    constexpr uint32_t kLargest = 1u << 24;
    uint32_t w = kStartSize, h = kStartSize;
    while (!LayoutCells(font, widths, height, w, h, cells)) {
        if (w < h) w *= 2;
        else h *= 2;
        if (w > kLargest || h > kLargest) return false;
    }
    *width = w;
    *textureHeight = h;
    return true;
}

}  // namespace

FontRasterizer::~FontRasterizer() { FontRasterizer_Release(this); }

void FontRasterizer_Release(FontRasterizer* font) {
    FontRasterizer_InvalidateStateBlocks(font);
    font->glyphs.clear();
    std::fill(std::begin(font->characterMap), std::end(font->characterMap), 0u);
    if (font->texture != nullptr) font->texture->Release();
    font->texture = nullptr;
    font->device = nullptr;
}

void FontRasterizer_InvalidateStateBlocks(FontRasterizer* font) {
    // The blocks die with their device: one that has gone is not asked.
    const bool deviceAlive = font->texture != nullptr && font->texture->context && font->texture->context->alive;
    if (font->stateBlocksRecorded && font->device != nullptr && deviceAlive) {
        font->device->DeleteStateBlock(font->savedStateBlock);
        font->device->DeleteStateBlock(font->drawStateBlock);
    }
    font->savedStateBlock = font->drawStateBlock = 0;
    font->stateBlocksRecorded = 0;
}

int FontRasterizer_Create(FontRasterizer* font, const char* faceName, uint32_t size, uint32_t flags,
                          PlatformDevice* device, const char* characterSet, HWND window, float spacing) {
    FontRasterizer_Release(font);
    // What a font item may ask for: blank pixels around each glyph beyond a
    // quarter of the largest texture fit no cell, and glyphs of thousands of
    // points fit no screen; both keep the cell arithmetic in whole pixels.
    constexpr float kMostSpacing = 4096.0f;
    constexpr uint32_t kMostSize = 2048;
    if (device == nullptr || faceName == nullptr || !(spacing >= 0.0f && spacing <= kMostSpacing) || size > kMostSize)
        return 0;
    std::snprintf(font->faceName, sizeof font->faceName, "%s", faceName);
    font->size = size;
    font->flags = flags;
    font->spacing = spacing;
    font->textScale = 1.0f;
    if (characterSet != nullptr && characterSet[0] != '\0') {
        font->characterCount = static_cast<uint32_t>(strnlen(characterSet, sizeof font->characterSet));
        std::memcpy(font->characterSet, characterSet, font->characterCount);
    } else {
        font->characterCount = FONT_DEFAULT_SET_SIZE;
        std::memcpy(font->characterSet, kFontDefaultSet, FONT_DEFAULT_SET_SIZE);
    }
    BuildMap(font);

    std::unique_ptr<PlatformFont> face = OpenFace(*font, 1.0f);
    if (!face) return 0;
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    // The glyphs fit the texture size the game's hardware held; larger
    // fonts are drawn scaled up, as on a device that holds no larger one.
    constexpr uint32_t kMostTextureSide = 2048;
    const uint32_t limit = std::max<uint32_t>(std::min(caps.MaxTextureWidth, kMostTextureSide), kStartSize);
    int32_t widths[256] = {};
    MeasureSet(*font, *face, widths);
    std::vector<Cell> cells;
    uint32_t width = 0, height = 0;
    const bool sized = FindTextureSize(*font, widths, face->GetHeight(), &width, &height, &cells);
    if (!sized || width > limit || height > limit) {
        // Too large for the device: the glyphs are made smaller into the
        // largest square texture and drawn scaled back up. The first scale
        // is the one the width asks for; smaller steps follow until every
        // cell fits.
        font->textScale = sized ? static_cast<float>(limit) / static_cast<float>(std::max(width, height)) : 0.5f;
        width = height = limit;
        for (;;) {
            if (Truncate(kPixelsPerInch * font->textScale) < 1) return 0;
            face = OpenFace(*font, font->textScale);
            if (!face) return 0;
            MeasureSet(*font, *face, widths);
            if (LayoutCells(*font, widths, face->GetHeight(), width, height, &cells)) break;
            font->textScale *= 0.9f;
        }
    }

    PlatformTexture* texture = nullptr;
    if (!Succeeded(device->CreateTexture(width, height, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture))) return 0;
    std::vector<uint32_t> image(static_cast<size_t>(width) * height, 0xFF000000u);
    const float s = spacing;
    const int32_t cellHeight = face->GetHeight();
    font->glyphs.resize(font->characterCount);
    for (uint32_t i = 0; i < font->characterCount; ++i) {
        const uint8_t c = font->characterSet[i];
        const Cell& cell = cells[i];
        face->DrawCharacter(c, Truncate(cell.x + s), Truncate(cell.y + s), image.data(), static_cast<int32_t>(width),
                            static_cast<int32_t>(height), static_cast<int32_t>(width));
        font->glyphs[i] = FontGlyph{static_cast<float>(cell.x) / width, static_cast<float>(cell.y) / height,
                                    (cell.x + 2.0f * s + widths[c]) / width, (cell.y + 2.0f * s + cellHeight) / height};
    }
    if (!UploadGlyphs(texture, image, width, height)) {
        texture->Release();
        font->glyphs.clear();
        return 0;
    }
    font->texture = texture;
    font->textureWidth = width;
    font->textureHeight = height;
    font->device = device;
    RecordStateBlocks(font);
    PrepareTextDraws(font);
    return 1;
}

int FontRasterizer_AttachTexture(FontRasterizer* font, PlatformDevice* device, PlatformTexture* texture) {
    if (device == nullptr || texture == nullptr) return 0;
    D3DSURFACE_DESC desc{};
    // Every character of the set needs its cell.
    if (font->characterCount > 256 || font->glyphs.size() < font->characterCount ||
        !Succeeded(texture->GetLevelDesc(0, &desc)))
        return 0;
    FontRasterizer_InvalidateStateBlocks(font);
    if (font->texture != nullptr && font->texture != texture) font->texture->Release();
    font->texture = texture;
    font->textureWidth = desc.Width;
    font->textureHeight = desc.Height;
    if (!(font->textScale > 0.0f)) font->textScale = 1.0f;
    font->device = device;
    BuildMap(font);
    RecordStateBlocks(font);
    PrepareTextDraws(font);
    return 1;
}

HRESULT FontRasterizer_GetTextExtent(const FontRasterizer* font, const char* text, int32_t* width, int32_t* height,
                                     bool stopAtLineEnd) {
    if (text == nullptr || width == nullptr || height == nullptr) return E_FAIL;
    *width = *height = 0;
    if (font->glyphs.empty()) return E_FAIL;
    const float s = font->spacing;
    const float texW = static_cast<float>(font->textureWidth), texH = static_cast<float>(font->textureHeight);
    const float rowHeight = (font->glyphs[0].v1 - font->glyphs[0].v0) * texH - 2.0f * s;
    float rowWidth = 0.0f, widest = 0.0f, total = rowHeight;
    for (const auto* p = reinterpret_cast<const uint8_t*>(text); *p != 0; ++p) {
        if (*p == '\n') {
            if (stopAtLineEnd) break;
            rowWidth = 0.0f;
            total += rowHeight;
        }
        const FontGlyph& glyph = font->glyphs[font->characterMap[*p]];
        rowWidth += (glyph.u1 - glyph.u0) * texW - 2.0f * s;
        widest = std::max(widest, rowWidth);
    }
    *width = Truncate(widest);
    *height = Truncate(total);
    return S_OK;
}

namespace {

struct TextVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(TextVertex) == 28);

void DrawBatch(PlatformDevice* device, const TextVertex* vertices, uint32_t count) {
    if (count == 0) return;
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count / 3, vertices, sizeof(TextVertex));
    if (g_FontBatchLog != nullptr) g_FontBatchLog->push_back(count);
}

}  // namespace

HRESULT FontRasterizer_Draw(FontRasterizer* font, float x, float y, uint32_t color, const char* text, uint32_t flags,
                            float depth) {
    PlatformDevice* device = font->device;
    if (device == nullptr || font->texture == nullptr || font->glyphs.empty()) return E_FAIL;
    if (text == nullptr) text = "";
    RecordStateBlocks(font);
    x = std::trunc(x);
    y = std::trunc(y);
    device->CaptureStateBlock(font->savedStateBlock);
    device->ApplyStateBlock(font->drawStateBlock);
    device->SetTexture(0, font->texture);
    float z = depth;
    if (depth == 0.0f) {
        device->SetRenderState(D3DRS_ZENABLE, 0);
        z = 1.0f;
    }
    const float rhw = 1.0f / z;
    device->SetVertexShader(kOverlayFvf);
    device->SetStreamSource(0, nullptr, sizeof(TextVertex));
    if (flags & FONT_BILINEAR) {
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    }
    int32_t textWidth = 0, textHeight = 0;
    FontRasterizer_GetTextExtent(font, text, &textWidth, &textHeight, false);
    if (flags & FONT_VCENTER) y -= 0.5f * static_cast<float>(textHeight);
    if (flags & FONT_BOTTOM) y -= static_cast<float>(textHeight);

    const float texW = static_cast<float>(font->textureWidth), texH = static_cast<float>(font->textureHeight);
    const float scale = font->textScale;
    // Rows advance by the cell height as drawn, so scaled glyphs do not overlap.
    const float rowAdvance = (font->glyphs[0].v1 - font->glyphs[0].v0) * texH / scale;
    const float x0 = x;
    TextVertex batch[FONT_BATCH_VERTICES];
    uint32_t count = 0;
    bool lineStart = true;
    for (const auto* p = reinterpret_cast<const uint8_t*>(text); *p != 0; ++p) {
        if (lineStart && (flags & (FONT_CENTER | FONT_RIGHT))) {
            int32_t lineWidth = 0, lineHeight = 0;
            FontRasterizer_GetTextExtent(font, reinterpret_cast<const char*>(p), &lineWidth, &lineHeight, true);
            if (flags & FONT_RIGHT) x = std::floor(x0 - static_cast<float>(lineWidth));
            if (flags & FONT_CENTER) x = std::floor(x0 - static_cast<float>(lineWidth) * 0.5f);
        }
        lineStart = false;
        if (*p == '\n') {
            x = x0;
            y += rowAdvance;
            lineStart = true;
            continue;
        }
        const FontGlyph& g = font->glyphs[font->characterMap[*p]];
        const float w = (g.u1 - g.u0) * texW / scale, h = (g.v1 - g.v0) * texH / scale;
        const float left = x - 0.5f, right = x + w - 0.5f, top = y - 0.5f, bottom = y + h - 0.5f;
        batch[count++] = TextVertex{left, bottom, z, rhw, color, g.u0, g.v1};
        batch[count++] = TextVertex{left, top, z, rhw, color, g.u0, g.v0};
        batch[count++] = TextVertex{right, bottom, z, rhw, color, g.u1, g.v1};
        batch[count++] = TextVertex{right, top, z, rhw, color, g.u1, g.v0};
        batch[count++] = TextVertex{right, bottom, z, rhw, color, g.u1, g.v1};
        batch[count++] = TextVertex{left, top, z, rhw, color, g.u0, g.v0};
        x += w - 2.0f * font->spacing;
        if (count > FONT_BATCH_VERTICES - 6) {
            DrawBatch(device, batch, count);
            count = 0;
        }
    }
    DrawBatch(device, batch, count);
    device->ApplyStateBlock(font->savedStateBlock);
    return S_OK;
}
