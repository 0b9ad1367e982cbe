#pragma once
// Materials on the device. The device states that materials switch are
// packed into one render-state word; applying a word sets only the groups of
// states whose bits changed since the last word (or that the force mask
// names), and applying the material that is already applied sets nothing.

#include "platform/graphics/D3D8Types.h"

#include <cstdint>

class CQVMaterialItem;

// Render-state word bits.
enum : uint32_t {
    RSW_ALPHA_MODE = 0x0007,  // 0 opaque; 1 to 5 blend modes; 6 and 7 set nothing
    RSW_DEPTH_TEST = 0x0008,
    RSW_DEPTH_WRITE = 0x0010,
    RSW_LIGHTING = 0x0020,
    RSW_CULL = 0x00C0,        // 0 none, 0x40 clockwise, 0x80 counter-clockwise
    RSW_CULL_CW = 0x0040,
    RSW_CULL_CCW = 0x0080,
    RSW_CLAMP = 0x0100,       // stage 0 clamps its coordinates instead of wrapping
    RSW_STAGE1 = 0x1600,      // stage-1 colour: 0x200 added, 0x600 blended by texture alpha
    RSW_STAGE1_ADD = 0x0200,
    RSW_STAGE1_BLEND = 0x0600,
    RSW_ENV_STAGE0 = 0x2000,  // environment map through camera-space normals
    RSW_ENV_STAGE1 = 0x4000,
    RSW_FOG = 0x8000,
};

// What the applier remembers between calls.
struct MaterialState {
    uint32_t lastWord = 0x78;
    CQVMaterialItem* lastMaterial = nullptr;
    // Groups of the render-state word the next word sets again, changed or not.
    uint32_t forceMask = 0;
    int32_t lastLightMapId = -1;
    D3DMATERIAL8 scratch{};  // a faded copy of the material being applied
};

extern MaterialState g_MaterialState;

// Back to the start: nothing applied, nothing forced.
void Material_Reset();

// The texture matrix of an environment-mapped stage: camera-space normals
// from -1..1 to texture coordinates 0..1, v pointing down.
D3DMATRIX Material_EnvironmentMatrix();

// 0 for a null material.
uint32_t Material_GetCollisionFlags(const CQVMaterialItem* material);
uint32_t Material_GetCollisionMaterial(const CQVMaterialItem* material);
