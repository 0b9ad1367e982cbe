// The engine's 2D overlays: quads and texts queued during the frame and
// drawn after the scene, and the two fixed quads that show for one frame
// per fill.

#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/overlay/Overlay.h"
#include "services/overlay/FontRasterizer.h"
#include "services/render/Material.h"
#include "services/render/Render.h"

#include <cmath>

namespace {

constexpr uint32_t kOverlayFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// Every overlay lies at this depth, in front of nearly everything, though
// it is drawn without depth test.
constexpr float kOverlayZ = 0.99f;
// Texture coordinates sit a hair past each texel's start.
constexpr float kTexelOffset = 0.000005f;

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

OverlayVertex Vertex(float x, float y, uint32_t color, float u, float v) {
    return OverlayVertex{x, y, kOverlayZ, 1.0f, color, u + kTexelOffset, v + kTexelOffset};
}

// A quad over (x, y) to (x + whole width, y + whole height).
OverlayQuad RectQuad(float x, float y, float width, float height, float u0, float v0, float u1, float v1,
                     uint32_t color, CQVMaterialItem* material) {
    const float right = x + std::trunc(width), bottom = y + std::trunc(height);
    return OverlayQuad{{Vertex(x, y, color, u0, v0), Vertex(right, y, color, u1, v0), Vertex(x, bottom, color, u0, v1),
                        Vertex(right, bottom, color, u1, v1)},
                       material};
}

// The texture item a material names first; null when it names none or no texture.
CQVTextureItem* FirstTexture(CQVEngine* engine, CQVMaterialItem* material) {
    if (material->textureIds.empty() || !engine->IsValidItemId(material->textureIds[0])) return nullptr;
    CQVLibraryItem* item = engine->GetItem(material->textureIds[0]);
    return item != nullptr && item->kind == LIBRARY_TEXTURE ? static_cast<CQVTextureItem*>(item) : nullptr;
}

void DrawQuad(CQVEngine* engine, PlatformDevice* device, const OverlayQuad& quad) {
    engine->ApplyMaterial(quad.material, 1.0f, -1);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.vertices, sizeof(OverlayVertex));
}

// The overlays set lighting, fog and depth test by themselves: the next
// material applies every state group again, whatever it was before.
void ForceNextMaterial(CQVEngine* engine) {
    engine->ForceRenderStates(0xFFFFFFFF);
    CQVRender::Get().Materials().lastMaterial = nullptr;
}

}  // namespace

void CQVEngine::AddQuad(float x, float y, float width, float height, float r, float g, float b, float a,
                        CQVMaterialItem* material) {
    if (material == nullptr) return;
    overlayQuads.push_back(RectQuad(x, y, width, height, 0, 0, 1, 1, Overlay_ColorToArgb(r, g, b, a), material));
}

void CQVEngine::AddQuadUV(float x, float y, float width, float height, float u0, float v0, float u1, float v1,
                          float r, float g, float b, float a, CQVMaterialItem* material) {
    if (material == nullptr) return;
    overlayQuads.push_back(RectQuad(x, y, width, height, u0, v0, u1, v1, Overlay_ColorToArgb(r, g, b, a), material));
}

void CQVEngine::AddQuadCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                               float u0, float v0, float u1, float v1, float r, float g, float b, float a,
                               CQVMaterialItem* material) {
    if (material == nullptr) return;
    const uint32_t color = Overlay_ColorToArgb(r, g, b, a);
    overlayQuads.push_back(OverlayQuad{{Vertex(x1, y1, color, u0, v0), Vertex(x2, y2, color, u1, v0),
                                        Vertex(x3, y3, color, u0, v1), Vertex(x4, y4, color, u1, v1)},
                                       material});
}

void CQVEngine::AddSprite(float x, float y, float r, float g, float b, float a, CQVMaterialItem* material) {
    if (material == nullptr) return;
    float width = 256.0f, height = 256.0f;
    if (!material->textureIds.empty()) {
        const CQVTextureItem* texture = FirstTexture(this, material);
        if (texture == nullptr) return;
        width = static_cast<float>(texture->width);
        height = static_cast<float>(texture->height);
    }
    AddQuad(x, y, width, height, r, g, b, a, material);
}

void CQVEngine::SetSpriteQuad(float x, float y, CQVMaterialItem* material) {
    if (material == nullptr) return;
    CQVTextureItem* texture = FirstTexture(this, material);
    if (texture == nullptr) return;
    if (!texture->loaded) Library_LoadItem(texture);
    const float width = static_cast<float>(Texture_GetWidth(texture->texture));
    const float height = static_cast<float>(Texture_GetHeight(texture->texture));
    spriteSlot = RectQuad(x, y, width, height, 0, 0, 1, 1, 0xFFFFFFFF, material);
}

int CQVEngine::SetScreenQuad(float x, float y, float width, float height, float r, float g, float b, float a,
                             CQVMaterialItem* material) {
    if (material == nullptr) return 0;
    screenSlot = RectQuad(x, y, width, height, 0.01f, 0.01f, 0.99f, 0.99f, Overlay_ColorToArgb(r, g, b, a), material);
    return 1;
}

void CQVEngine::DrawQuads(uint32_t clear) {
    if (PlatformDevice* device = Device()) {
        device->SetVertexShader(kOverlayFvf);
        for (const OverlayQuad& quad : overlayQuads) DrawQuad(this, device, quad);
        device->SetRenderState(D3DRS_LIGHTING, 1);
        device->SetRenderState(D3DRS_ZENABLE, 1);
        ForceNextMaterial(this);
    }
    if (clear) overlayQuads.clear();
}

void CQVEngine::DrawFixedQuads() {
    PlatformDevice* device = Device();
    for (OverlayQuad* slot : {&spriteSlot, &screenSlot}) {
        if (slot->material == nullptr) continue;
        if (device != nullptr) {
            device->SetVertexShader(kOverlayFvf);
            DrawQuad(this, device, *slot);
            if (slot == &spriteSlot) {
                device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
                device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
            }
            device->SetRenderState(D3DRS_LIGHTING, 1);
            device->SetRenderState(D3DRS_ZENABLE, 1);
            ForceNextMaterial(this);
        }
        slot->material = nullptr;
    }
}

void CQVEngine::AddText(float x, float y, float r, float g, float b, float a, const char* text, uint32_t flags) {
    AddTextEx(x, y, 0.0f, r, g, b, a, text, flags);
}

void CQVEngine::AddTextEx(float x, float y, float depth, float r, float g, float b, float a, const char* text,
                          uint32_t flags) {
    overlayTexts.push_back(
        OverlayText{x, y, {r, g, b, a}, text != nullptr ? text : "", flags, depth, Font_GetCurrent()});
}

void CQVEngine::DrawTexts(uint32_t clear) {
    for (const OverlayText& text : overlayTexts) {
        CQVFontItem* font = text.font != nullptr ? text.font : g_DefaultFont;
        if (font == nullptr || font->rasterizer == nullptr) continue;
        FontRasterizer_Draw(font->rasterizer, text.x, text.y,
                            Overlay_ColorToArgb(text.color[0], text.color[1], text.color[2], text.color[3]),
                            text.text.c_str(), text.flags, text.depth);
    }
    if (clear) overlayTexts.clear();
}

void Overlay_PrepareDraws() {
    PlatformDevice* device = Device();
    if (device == nullptr || g_Engine == nullptr) return;
    // A quad's program follows its material's alpha mode, whether it has a
    // texture and whether it adds specular; the texture's own format does
    // not matter.
    // The device, the material applier and its force mask are left as they were.
    uint32_t saved = 0;
    if (!Succeeded(device->CreateStateBlock(D3DSBT_ALL, &saved))) return;
    CQVRender& render = CQVRender::Get();
    const MaterialState materialState = render.Materials();
    PlatformTexture* texture = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
    device->SetVertexShader(kOverlayFvf);
    for (uint32_t alphaMode = 0; alphaMode <= 5; ++alphaMode) {
        for (PlatformTexture* bound : {static_cast<PlatformTexture*>(nullptr), texture}) {
            for (uint32_t specular : {0u, 1u}) {
                render.ForceRenderStates(0xFFFFFFFF);
                render.SetRenderStateWord(alphaMode | RSW_CULL_CCW);
                device->SetRenderState(D3DRS_SPECULARENABLE, specular);
                device->SetTexture(0, bound);
                device->SetRenderState(D3DRS_LIGHTING, 0);
                device->SetRenderState(D3DRS_FOGENABLE, 0);
                device->SetRenderState(D3DRS_ZENABLE, 0);
                device->PrepareDraw();
            }
        }
    }
    device->ApplyStateBlock(saved);
    device->DeleteStateBlock(saved);
    if (texture != nullptr) texture->Release();
    render.Materials() = materialState;
}

void Overlay_SetUpDevice() {
    Font_CreateDefault();
    Overlay_PrepareDraws();
}
