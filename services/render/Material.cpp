// The render-state word and the material applier.

#include "services/render/Material.h"

#include "services/graphics/Graphics.h"
#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "services/render/MaterialDevice.h"

#include <algorithm>

MaterialState g_MaterialState;

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

// Blending and stage-0 alpha of each alpha mode; kNone leaves a state alone.
struct AlphaMode {
    uint32_t blend;
    uint32_t source, destination;
    uint32_t alphaOp, alphaArg1, alphaArg2;
};

const AlphaMode kAlphaModes[8] = {
    {0, kNone, kNone, kNone, kNone, kNone},
    {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, kNone},
    {1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, kNone},
    {1, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, kNone, kNone, kNone},
    {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_SELECTARG1, D3DTA_TEXTURE, kNone},
    {1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT},
    {kNone, kNone, kNone, kNone, kNone, kNone},
    {kNone, kNone, kNone, kNone, kNone, kNone},
};

void ApplyAlphaMode(MaterialDevice& device, uint32_t word) {
    const AlphaMode& mode = kAlphaModes[word & RSW_ALPHA_MODE];
    if (mode.blend != kNone) device.RenderState(D3DRS_ALPHABLENDENABLE, mode.blend);
    if (mode.source != kNone) device.RenderState(D3DRS_SRCBLEND, mode.source);
    if (mode.destination != kNone) device.RenderState(D3DRS_DESTBLEND, mode.destination);
    if (mode.alphaOp != kNone) device.StageState(0, D3DTSS_ALPHAOP, mode.alphaOp);
    if (mode.alphaArg1 != kNone) device.StageState(0, D3DTSS_ALPHAARG1, mode.alphaArg1);
    if (mode.alphaArg2 != kNone) device.StageState(0, D3DTSS_ALPHAARG2, mode.alphaArg2);
}

void ApplyDepthTest(MaterialDevice& device, uint32_t word) {
    device.RenderState(D3DRS_ZENABLE, (word & RSW_DEPTH_TEST) ? 1 : 0);
}
void ApplyDepthWrite(MaterialDevice& device, uint32_t word) {
    device.RenderState(D3DRS_ZWRITEENABLE, (word & RSW_DEPTH_WRITE) ? 1 : 0);
}
void ApplyLighting(MaterialDevice& device, uint32_t word) {
    device.RenderState(D3DRS_LIGHTING, (word & RSW_LIGHTING) ? 1 : 0);
}
void ApplyFog(MaterialDevice& device, uint32_t word) {
    device.RenderState(D3DRS_FOGENABLE, (word & RSW_FOG) ? 1 : 0);
}

void ApplyEnvironmentMap(MaterialDevice& device, uint32_t stage, bool on) {
    const D3DTRANSFORMSTATETYPE transform = stage == 0 ? D3DTS_TEXTURE0 : D3DTS_TEXTURE1;
    if (on) {
        device.Transform(transform, Material_EnvironmentMatrix());
        device.StageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device.StageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    } else {
        D3DMATRIX identity{};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
        device.Transform(transform, identity);
        device.StageState(stage, D3DTSS_TEXCOORDINDEX, 0);
    }
}
void ApplyEnvironmentStage0(MaterialDevice& device, uint32_t word) {
    ApplyEnvironmentMap(device, 0, (word & RSW_ENV_STAGE0) != 0);
}
void ApplyEnvironmentStage1(MaterialDevice& device, uint32_t word) {
    ApplyEnvironmentMap(device, 1, (word & RSW_ENV_STAGE1) != 0);
}

// Both cull bits (no material makes them) cull counter-clockwise faces, as bit 0x80 alone does.
void ApplyCulling(MaterialDevice& device, uint32_t word) {
    static const uint32_t kCullModes[4] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW, D3DCULL_CCW};
    device.RenderState(D3DRS_CULLMODE, kCullModes[(word & RSW_CULL) >> 6]);
}

void ApplyClamp(MaterialDevice& device, uint32_t word) {
    const uint32_t address = (word & RSW_CLAMP) ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
    device.StageState(0, D3DTSS_ADDRESSU, address);
    device.StageState(0, D3DTSS_ADDRESSV, address);
}

void ApplyStage1Colour(MaterialDevice& device, uint32_t word) {
    const uint32_t combination = word & RSW_STAGE1;
    if (combination == RSW_STAGE1_ADD || combination == RSW_STAGE1_BLEND) {
        device.StageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device.StageState(1, D3DTSS_COLOROP, combination == RSW_STAGE1_ADD ? D3DTOP_ADD : D3DTOP_BLENDTEXTUREALPHA);
        device.StageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    } else {
        device.StageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    }
    device.StageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

// The groups in the order they are applied.
struct WordGroup {
    uint32_t bits;
    void (*apply)(MaterialDevice& device, uint32_t word);
};

const WordGroup kWordGroups[] = {
    {RSW_DEPTH_TEST, ApplyDepthTest},        {RSW_DEPTH_WRITE, ApplyDepthWrite},
    {RSW_LIGHTING, ApplyLighting},           {RSW_FOG, ApplyFog},
    {RSW_ENV_STAGE0, ApplyEnvironmentStage0}, {RSW_ENV_STAGE1, ApplyEnvironmentStage1},
    {RSW_CULL, ApplyCulling},                {RSW_CLAMP, ApplyClamp},
    {RSW_STAGE1, ApplyStage1Colour},         {RSW_ALPHA_MODE, ApplyAlphaMode},
};

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

// The texture item at an id, loaded; null for an id that names no texture.
CQVTextureItem* LoadedTexture(const CQVRender& render, uint32_t id) {
    CQVLibraryItem* item = render.LookUpItem(id);
    if (item == nullptr || item->kind != LIBRARY_TEXTURE) return nullptr;
    if (!item->loaded) item->Load();
    return static_cast<CQVTextureItem*>(item);
}

void BindTexture(const CQVRender& render, uint32_t id, uint32_t stage) {
    MaterialDevice::RecordTexture(stage, id);
    TextureItem_Bind(LoadedTexture(render, id), stage);
}

// The render-state word of a material drawn at the alpha; forgets the last
// material when the alpha fades it, so that the next call applies again.
uint32_t MaterialWord(const std::vector<BlendModeDesc>& blendModes, const ViewState& view, MaterialState& state,
                      CQVMaterialItem* material, float alpha) {
    // A blend index past the table draws as the first mode rather than reading beyond it.
    const uint32_t index = material->blendIndex < blendModes.size() ? material->blendIndex : 0;
    uint32_t code = blendModes.empty() ? 0 : blendModes[index].code;
    if (!material->useAlpha) material->material.Diffuse.a = 1.0f;
    const uint32_t mode = code & RSW_ALPHA_MODE;
    if (alpha < 1.0f) {
        if (mode == 0) code |= 1;
        state.lastMaterial = nullptr;
    } else if (material->material.Diffuse.a == 1.0f) {
        // Fully opaque: "Normal" needs no blending, "Texture Alpha" only the texture's alpha.
        if (mode == 1) code &= ~RSW_ALPHA_MODE;
        if (mode == 5) code = (code & ~RSW_ALPHA_MODE) | 4;
    }
    uint32_t word = code;
    if (view.fogEnabled != 0 && material->fogFlag != 0) word |= RSW_FOG;
    if (material->stateFlagA == 0) word |= RSW_CULL_CCW;
    if (material->stateFlagB == 0) word |= RSW_LIGHTING;
    return word;
}

}  // namespace

void Material_Reset() { g_MaterialState = MaterialState{}; }

D3DMATRIX Material_EnvironmentMatrix() {
    D3DMATRIX m{};
    m.m[0][0] = 0.5f;
    m.m[1][1] = -0.5f;
    m.m[2][2] = 1.0f;
    m.m[3][3] = 1.0f;
    m.m[3][0] = 0.5f;
    m.m[3][1] = 0.5f;
    return m;
}

void CQVRender::SetRenderStateWord(uint32_t word) {
    const uint32_t changed = (word ^ materials.lastWord) | materials.forceMask;
    if (changed == 0) return;
    PlatformDevice* platform = Device();
    if (platform == nullptr) return;
    MaterialDevice device(platform);
    for (const WordGroup& group : kWordGroups) {
        if (changed & group.bits) group.apply(device, word);
    }
    materials.lastWord = word;
    materials.forceMask = 0;
}

void CQVRender::ApplyMaterial(CQVMaterialItem* material, float alpha, int32_t lightMapId) {
    if (material == nullptr || material->kind != LIBRARY_MATERIAL) return;
    PlatformDevice* platform = Device();
    if (platform == nullptr) return;
    MaterialDevice device(platform);
    if (materials.lastLightMapId != -1 && lightMapId == -1) {
        device.NoTexture(1);
        materials.forceMask |= RSW_STAGE1;
    }
    if (material != materials.lastMaterial || alpha < 1.0f) {
        materials.lastMaterial = material;
        device.RenderState(D3DRS_SPECULARENABLE, material->specularEnable ? 1 : 0);
        SetRenderStateWord(MaterialWord(blendModes, view, materials, material, alpha));
        if (alpha < 1.0f) {
            materials.scratch = material->material;
            materials.scratch.Diffuse.a *= alpha;
            device.Material(materials.scratch);
        } else {
            device.Material(material->material);
        }
        device.NoTexture(0);
        device.NoTexture(1);
        const size_t stages = std::min<size_t>(material->textureIds.size(), D3D_MAX_TEXTURE_STAGES);
        for (size_t n = 0; n < stages; ++n) BindTexture(*this, material->textureIds[n], static_cast<uint32_t>(n));
    }
    if (lightMapId != -1) {
        // The light map multiplies what stage 0 made, doubled, from the second coordinate set.
        BindTexture(*this, static_cast<uint32_t>(lightMapId), 1);
        device.StageState(1, D3DTSS_TEXCOORDINDEX, 1);
        device.StageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
        device.StageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device.StageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    }
    materials.lastLightMapId = lightMapId;
}

CQVLibraryItem* CQVRender::GetMaterialTexture(const CQVMaterialItem* material, uint32_t n) {
    if (material == nullptr || n >= material->textureIds.size()) return nullptr;
    return LookUpItem(material->textureIds[n]);
}

uint32_t CQVRender::ForceRenderStates(uint32_t mask) {
    materials.forceMask = mask;
    return mask;
}

uint32_t Material_GetCollisionFlags(const CQVMaterialItem* material) {
    return material != nullptr ? material->collisionFlags : 0;
}

uint32_t Material_GetCollisionMaterial(const CQVMaterialItem* material) {
    return material != nullptr ? material->collisionMaterial : 0;
}
