#include "platform/graphics/StateBlocks.h"

#include "platform/graphics/GraphicsDevice.h"

namespace {

template <typename Resource>
void Replace(Resource** slot, Resource* value) {
    if (value) value->AddRef();
    if (*slot) (*slot)->Release();
    *slot = value;
}

// The render states a pixel or a vertex state block holds.
const uint32_t kPixelRenderStates[] = {
    D3DRS_ZENABLE,       D3DRS_FILLMODE,      D3DRS_SHADEMODE,        D3DRS_LINEPATTERN,      D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_LASTPIXEL,   D3DRS_SRCBLEND,         D3DRS_DESTBLEND,        D3DRS_ZFUNC,
    D3DRS_ALPHAREF,      D3DRS_ALPHAFUNC,     D3DRS_DITHERENABLE,     D3DRS_ALPHABLENDENABLE, D3DRS_FOGSTART,
    D3DRS_FOGEND,        D3DRS_FOGDENSITY,    D3DRS_EDGEANTIALIAS,    D3DRS_ZBIAS,            D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL,   D3DRS_STENCILZFAIL,  D3DRS_STENCILPASS,      D3DRS_STENCILFUNC,      D3DRS_STENCILREF,
    D3DRS_STENCILMASK,   D3DRS_STENCILWRITEMASK, D3DRS_TEXTUREFACTOR, D3DRS_WRAP0,            D3DRS_WRAP0 + 1,
    D3DRS_WRAP0 + 2,     D3DRS_WRAP0 + 3,     D3DRS_WRAP0 + 4,        D3DRS_WRAP0 + 5,        D3DRS_WRAP0 + 6,
    D3DRS_WRAP7,         D3DRS_COLORWRITEENABLE, D3DRS_BLENDOP,
};
const uint32_t kVertexRenderStates[] = {
    D3DRS_SHADEMODE,       D3DRS_SPECULARENABLE, D3DRS_CULLMODE,         D3DRS_FOGENABLE,
    D3DRS_FOGCOLOR,        D3DRS_FOGTABLEMODE,   D3DRS_FOGSTART,         D3DRS_FOGEND,
    D3DRS_FOGDENSITY,      D3DRS_RANGEFOGENABLE, D3DRS_AMBIENT,          D3DRS_COLORVERTEX,
    D3DRS_FOGVERTEXMODE,   D3DRS_CLIPPING,       D3DRS_LIGHTING,         D3DRS_NORMALIZENORMALS,
    D3DRS_LOCALVIEWER,     D3DRS_EMISSIVEMATERIALSOURCE, D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_SPECULARMATERIALSOURCE, D3DRS_VERTEXBLEND,
    D3DRS_CLIPPLANEENABLE, D3DRS_SOFTWAREVERTEXPROCESSING, D3DRS_POINTSIZE, D3DRS_POINTSIZE_MIN,
    D3DRS_POINTSPRITEENABLE, D3DRS_POINTSCALEENABLE, D3DRS_POINTSCALE_A, D3DRS_POINTSCALE_B,
    D3DRS_POINTSCALE_C,    D3DRS_MULTISAMPLEANTIALIAS, D3DRS_MULTISAMPLEMASK, D3DRS_PATCHEDGESTYLE,
    D3DRS_PATCHSEGMENTS,   D3DRS_POINTSIZE_MAX,  D3DRS_INDEXEDVERTEXBLENDENABLE, D3DRS_TWEENFACTOR,
    D3DRS_POSITIONORDER,   D3DRS_NORMALORDER,
};
// The stage states of a vertex block; a pixel block holds all the others.
const D3DTEXTURESTAGESTATETYPE kVertexStageStates[] = {D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS};

// The stage-state types that exist (the numbering has gaps).
bool IsStageState(uint32_t type) { return type >= D3DTSS_COLOROP && type < D3DTSS_COUNT && type != 12; }

}  // namespace

StateBlock::~StateBlock() {
    for (PlatformTexture*& texture : textures) Replace(&texture, static_cast<PlatformTexture*>(nullptr));
    Replace(&stream, static_cast<PlatformVertexBuffer*>(nullptr));
    Replace(&indices, static_cast<PlatformIndexBuffer*>(nullptr));
}

void StateBlock::RecordTexture(uint32_t stage, PlatformTexture* texture) {
    textureMask |= 1u << stage;
    Replace(&textures[stage], texture);
}

void StateBlock::RecordStream(PlatformVertexBuffer* buffer, uint32_t stride) {
    hasStream = true;
    Replace(&stream, buffer);
    streamStride = stride;
}

void StateBlock::RecordIndices(PlatformIndexBuffer* buffer, uint32_t base) {
    hasIndices = true;
    Replace(&indices, buffer);
    baseVertexIndex = base;
}

int StateBlock_TransformSlot(uint32_t state) {
    if (state == D3DTS_WORLD) return 0;
    if (state == D3DTS_VIEW) return 1;
    if (state == D3DTS_PROJECTION) return 2;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return 3 + static_cast<int>(state - D3DTS_TEXTURE0);
    return -1;
}

namespace {

D3DTRANSFORMSTATETYPE TransformOfSlot(int slot) {
    static const D3DTRANSFORMSTATETYPE kFixed[3] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};
    return slot < 3 ? kFixed[slot] : static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + (slot - 3));
}

}  // namespace

HRESULT PlatformDevice::BeginStateBlock() {
    if (m_Blocks->recording) return D3DERR_INVALIDCALL;
    m_Blocks->recording = std::make_unique<StateBlock>();
    return D3D_OK;
}

HRESULT PlatformDevice::EndStateBlock(uint32_t* handle) {
    if (handle == nullptr || !m_Blocks->recording) return D3DERR_INVALIDCALL;
    *handle = m_Blocks->nextHandle++;
    m_Blocks->blocks[*handle] = std::move(m_Blocks->recording);
    return D3D_OK;
}

HRESULT PlatformDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, uint32_t* handle) {
    if (handle == nullptr || m_Blocks->recording || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE)
        return D3DERR_INVALIDCALL;
    auto block = std::make_unique<StateBlock>();
    const bool pixel = type != D3DSBT_VERTEXSTATE, vertex = type != D3DSBT_PIXELSTATE;
    if (type == D3DSBT_ALL) {
        for (uint32_t rs = 0; rs < D3DRS_COUNT; ++rs) block->renderMask.set(rs);
    } else {
        if (pixel)
            for (uint32_t rs : kPixelRenderStates) block->renderMask.set(rs);
        if (vertex)
            for (uint32_t rs : kVertexRenderStates) block->renderMask.set(rs);
    }
    uint32_t vertexStages = 0;
    for (D3DTEXTURESTAGESTATETYPE ts : kVertexStageStates) vertexStages |= 1u << ts;
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s)
        for (uint32_t ts = 0; ts < D3DTSS_COUNT; ++ts)
            if (IsStageState(ts) && ((vertexStages >> ts) & 1 ? vertex : pixel)) block->stageMask[s] |= 1u << ts;
    if (type == D3DSBT_ALL) {
        block->textureMask = (1u << D3D_MAX_TEXTURE_STAGES) - 1;
        block->transformMask = (1u << (3 + D3D_MAX_TEXTURE_STAGES)) - 1;
        block->hasMaterial = block->hasViewport = block->hasStream = block->hasIndices = true;
    }
    if (vertex) {
        block->hasFvf = true;
        for (const auto& [index, slot] : m_State->lights.slots) {
            StateBlock::Light& light = block->lights[index];
            light.hasLight = light.hasEnable = true;
        }
    }
    *handle = m_Blocks->nextHandle++;
    m_Blocks->blocks[*handle] = std::move(block);
    return CaptureStateBlock(*handle);
}

HRESULT PlatformDevice::ApplyStateBlock(uint32_t handle) {
    auto found = m_Blocks->blocks.find(handle);
    if (found == m_Blocks->blocks.end() || m_Blocks->recording) return D3DERR_INVALIDCALL;
    const StateBlock& b = *found->second;
    for (uint32_t rs = 0; rs < D3DRS_COUNT; ++rs)
        if (b.renderMask.test(rs)) SetRenderState(static_cast<D3DRENDERSTATETYPE>(rs), b.renderStates[rs]);
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
        for (uint32_t ts = 0; ts < D3DTSS_COUNT; ++ts)
            if ((b.stageMask[s] >> ts) & 1)
                SetTextureStageState(s, static_cast<D3DTEXTURESTAGESTATETYPE>(ts), b.stageStates[s][ts]);
        if ((b.textureMask >> s) & 1) SetTexture(s, b.textures[s]);
    }
    for (int slot = 0; slot < 3 + static_cast<int>(D3D_MAX_TEXTURE_STAGES); ++slot)
        if ((b.transformMask >> slot) & 1) SetTransform(TransformOfSlot(slot), &b.transforms[slot]);
    if (b.hasMaterial) SetMaterial(&b.material);
    for (const auto& [index, light] : b.lights) {
        if (light.hasLight) SetLight(index, &light.light);
        if (light.hasEnable) LightEnable(index, light.enabled);
    }
    if (b.hasViewport) SetViewport(&b.viewport);
    if (b.hasFvf) SetVertexShader(b.fvf);
    if (b.hasStream) SetStreamSource(0, b.stream, b.streamStride);
    if (b.hasIndices) SetIndices(b.indices, b.baseVertexIndex);
    return D3D_OK;
}

HRESULT PlatformDevice::CaptureStateBlock(uint32_t handle) {
    auto found = m_Blocks->blocks.find(handle);
    if (found == m_Blocks->blocks.end() || m_Blocks->recording) return D3DERR_INVALIDCALL;
    StateBlock& b = *found->second;
    const DeviceState& state = *m_State;
    for (uint32_t rs = 0; rs < D3DRS_COUNT; ++rs)
        if (b.renderMask.test(rs)) b.renderStates[rs] = state.renderStates[rs];
    for (uint32_t s = 0; s < D3D_MAX_TEXTURE_STAGES; ++s) {
        for (uint32_t ts = 0; ts < D3DTSS_COUNT; ++ts)
            if ((b.stageMask[s] >> ts) & 1) b.stageStates[s][ts] = state.stageStates[s][ts];
        if ((b.textureMask >> s) & 1) b.RecordTexture(s, state.textures[s]);
    }
    for (int slot = 0; slot < 3 + static_cast<int>(D3D_MAX_TEXTURE_STAGES); ++slot)
        if ((b.transformMask >> slot) & 1) GetTransform(TransformOfSlot(slot), &b.transforms[slot]);
    if (b.hasMaterial) b.material = state.material;
    // A light the device does not know keeps the block's values.
    for (auto& [index, light] : b.lights) {
        if (const LightSlot* slot = state.lights.Find(index)) {
            if (light.hasLight) light.light = slot->light;
            if (light.hasEnable) light.enabled = slot->enabled;
        }
    }
    if (b.hasViewport) b.viewport = state.viewport;
    if (b.hasFvf) b.fvf = state.fvf;
    if (b.hasStream) b.RecordStream(state.stream, state.streamStride);
    if (b.hasIndices) b.RecordIndices(state.indices, state.baseVertexIndex);
    return D3D_OK;
}

HRESULT PlatformDevice::DeleteStateBlock(uint32_t handle) {
    if (m_Blocks->recording || m_Blocks->blocks.erase(handle) == 0) return D3DERR_INVALIDCALL;
    return D3D_OK;
}
