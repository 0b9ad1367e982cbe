#include "services/overlay/Overlay.h"

#include "kernel/base/Maths.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/library/ServiceCalls.h"
#include "services/overlay/FontRasterizer.h"

#include <algorithm>
#include <cstring>

const char* const kDefaultFontFace = "Lucida Console";

namespace {

CQVFontItem* g_CurrentFont = nullptr;

PlatformDevice* CurrentDevice() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

FontRasterizer* RasterizerOf(CQVFontItem* font) {
    if (font == nullptr) font = g_DefaultFont;
    if (font == nullptr) return nullptr;
    if (!font->loaded) Library_LoadItem(font);
    return font->rasterizer;
}

}  // namespace

uint32_t Overlay_ColorToArgb(float r, float g, float b, float a) { return Color_ToArgb(r, g, b, a); }

// The library's font items reach their rasteriser here.
int LibraryCall_RasterizeFont(CQVFontItem* item) {
    PlatformDevice* device = CurrentDevice();
    if (device == nullptr) return CQVEngine::SetError("No device for font %s", item->faceName.c_str());
    if (item->rasterizer == nullptr) item->rasterizer = new FontRasterizer();
    const char* set = item->characterSet.empty() ? nullptr : item->characterSet.c_str();
    if (!FontRasterizer_Create(item->rasterizer, item->faceName.c_str(), item->size, item->flags, device, set,
                               g_EngineWindow, static_cast<float>(item->spacing)))
        return CQVEngine::SetError("Error Creating Font %s", item->faceName.c_str());
    return 1;
}

int LibraryCall_AttachFontTexture(CQVFontItem* item, CQVTextureItem* textureItem) {
    PlatformDevice* device = CurrentDevice();
    CQVVideoTexture* texture = textureItem != nullptr ? textureItem->texture : nullptr;
    if (device == nullptr || texture == nullptr || texture->texture == nullptr)
        return CQVEngine::SetError("No font texture for %s", item->faceName.c_str());
    if (item->rasterizer == nullptr) item->rasterizer = new FontRasterizer();
    FontRasterizer* font = item->rasterizer;
    FontRasterizer_Release(font);
    const FontMetrics& m = item->metrics;
    std::snprintf(font->faceName, sizeof font->faceName, "%s", item->faceName.c_str());
    font->size = item->size;
    font->flags = item->flags;
    font->spacing = m.spacing;
    font->textScale = m.textScale;
    font->characterCount = std::min<uint32_t>(m.characterCount, 256);
    std::memcpy(font->characterSet, m.characterSet, sizeof font->characterSet);
    font->glyphs.clear();
    for (const GlyphRect& g : m.glyphs) font->glyphs.push_back(FontGlyph{g.u0, g.v0, g.u1, g.v1});
    Texture_AddRef(texture);
    if (!FontRasterizer_AttachTexture(font, device, texture->texture)) {
        texture->texture->Release();
        return CQVEngine::SetError("Error Creating Font %s", item->faceName.c_str());
    }
    return 1;
}

void LibraryCall_InvalidateFont(FontRasterizer* rasterizer) {
    if (rasterizer != nullptr) FontRasterizer_InvalidateStateBlocks(rasterizer);
}

void LibraryCall_FreeFont(FontRasterizer* rasterizer) { delete rasterizer; }

CQVFontItem* CQVEngine::CreateFont(const char* faceName, uint32_t size, const char* characterSet) {
    auto* font = new CQVFontItem();
    font->faceName = faceName != nullptr ? faceName : "";
    if (characterSet != nullptr) font->characterSet.assign(characterSet, strnlen(characterSet, 256));
    font->size = size;
    if (!font->Load()) {
        delete font;
        return nullptr;
    }
    return font;
}

CQVFontItem* Font_GetDefault() { return g_DefaultFont; }

void Font_SetCurrent(CQVFontItem* font) {
    if (font != nullptr) Library_LoadItem(font);
    g_CurrentFont = font != nullptr ? font : g_DefaultFont;
}

CQVFontItem* Font_GetCurrent() { return g_CurrentFont; }

void Font_GetTextExtent(CQVFontItem* font, const char* text, float* width, float* height) {
    int32_t w = 0, h = 0;
    if (FontRasterizer* rasterizer = RasterizerOf(font))
        FontRasterizer_GetTextExtent(rasterizer, text != nullptr ? text : "", &w, &h, false);
    if (width != nullptr) *width = static_cast<float>(w);
    if (height != nullptr) *height = static_cast<float>(h);
}

void Font_DrawText(float x, float y, float depth, float r, float g, float b, float a, const char* text,
                   uint32_t centred, CQVFontItem* font) {
    FontRasterizer* rasterizer = RasterizerOf(font);
    if (rasterizer == nullptr) return;
    FontRasterizer_Draw(rasterizer, x, y, Overlay_ColorToArgb(r, g, b, a), text, centred ? uint32_t{FONT_CENTER} : 0u, depth);
}

void Font_CreateDefault() {
    Overlay_Reset();
    if (g_Engine == nullptr) return;
    g_DefaultFont = g_Engine->CreateFont(kDefaultFontFace, DEFAULT_FONT_SIZE, nullptr);
    Font_SetCurrent(nullptr);
}

void Overlay_Reset() {
    // The queues hold items that are about to go.
    if (g_Engine != nullptr) {
        g_Engine->overlayQuads.clear();
        g_Engine->overlayTexts.clear();
        g_Engine->spriteSlot.material = g_Engine->screenSlot.material = nullptr;
    }
    delete g_DefaultFont;
    g_DefaultFont = nullptr;
    g_CurrentFont = nullptr;
}
