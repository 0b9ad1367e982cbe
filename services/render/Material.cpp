// The render-state word and the material applier.

#include "services/render/Material.h"

#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/render/MaterialDevice.h"

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

}  // namespace

void Material_Reset() {
    g_MaterialState = MaterialState{};
    if (g_Engine != nullptr) g_Engine->lastMaterial = nullptr;
}

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

void CQVEngine::SetRenderStateWord(uint32_t word) {
    const uint32_t changed = (word ^ g_MaterialState.lastWord) | g_RenderStateForceMask;
    if (changed == 0) return;
    PlatformDevice* platform = Device();
    if (platform == nullptr) return;
    MaterialDevice device(platform);
    for (const WordGroup& group : kWordGroups) {
        if (changed & group.bits) group.apply(device, word);
    }
    g_MaterialState.lastWord = word;
    g_RenderStateForceMask = 0;
}
