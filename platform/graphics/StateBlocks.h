#pragma once
// State blocks: a set of recorded device states with their values, applied
// or refreshed from the device as a whole.

#include "platform/graphics/DeviceState.h"

#include <bitset>
#include <map>
#include <memory>
#include <unordered_map>

class PlatformDevice;

struct StateBlock {
    ~StateBlock();

    std::bitset<D3DRS_COUNT> renderMask;
    uint32_t renderStates[D3DRS_COUNT] = {};
    uint32_t stageMask[D3D_MAX_TEXTURE_STAGES] = {};  // bit per stage-state type
    uint32_t stageStates[D3D_MAX_TEXTURE_STAGES][D3DTSS_COUNT] = {};
    uint32_t textureMask = 0;
    PlatformTexture* textures[D3D_MAX_TEXTURE_STAGES] = {};  // referenced
    // Transforms by slot: world, view, projection, then texture 0 to 7.
    uint32_t transformMask = 0;
    D3DMATRIX transforms[3 + D3D_MAX_TEXTURE_STAGES] = {};
    bool hasMaterial = false, hasViewport = false, hasFvf = false, hasStream = false, hasIndices = false;
    D3DMATERIAL8 material{};
    D3DVIEWPORT8 viewport{};
    uint32_t fvf = 0;
    PlatformVertexBuffer* stream = nullptr;  // referenced
    uint32_t streamStride = 0;
    PlatformIndexBuffer* indices = nullptr;  // referenced
    uint32_t baseVertexIndex = 0;
    struct Light {
        D3DLIGHT8 light{};
        bool hasLight = false;
        bool enabled = false;
        bool hasEnable = false;
    };
    std::map<uint32_t, Light> lights;

    void RecordTexture(uint32_t stage, PlatformTexture* texture);
    void RecordStream(PlatformVertexBuffer* buffer, uint32_t stride);
    void RecordIndices(PlatformIndexBuffer* buffer, uint32_t base);
};

// The transform slot of a transform state, or -1.
int StateBlock_TransformSlot(uint32_t state);

struct StateBlocks {
    std::unordered_map<uint32_t, std::unique_ptr<StateBlock>> blocks;
    uint32_t nextHandle = 1;
    std::unique_ptr<StateBlock> recording;
};
