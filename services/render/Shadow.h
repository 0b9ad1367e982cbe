#pragma once
// Stencil shadow volumes: items whose material names the shadow bucket get a
// volume, rebuilt on the CPU each frame from their mesh and a light a fixed
// offset above them, drawn into the stencil (front faces count up, back
// faces down); after the bucket a translucent black quad darkens every pixel
// whose stencil count is at least 1.

#include "kernel/base/Maths.h"
#include "platform/graphics/GraphicsDevice.h"

#include <cstdint>

struct RenderItem;

struct CQVShadowVolume {
    uint32_t spare[2] = {};
    PlatformVertexBuffer* sideBuffer = nullptr;  // 2 triangles per silhouette edge
    PlatformVertexBuffer* capBuffer = nullptr;   // 1 triangle per mesh triangle
    uint32_t sideTriangles = 0;
    uint32_t capTriangles = 0;
    // What the buffers have room for, so a mesh that grew is built into
    // buffers of its new size rather than past the end of the old ones.
    uint32_t edgeCapacity = 0;
    uint32_t triangleCapacity = 0;
};

// One silhouette edge during a build: two 16-bit vertex indices.
struct ShadowEdge {
    uint16_t a, b;
    bool operator==(const ShadowEdge&) const = default;
};

// The light above every caster, in world units from its origin.
extern const Vector3 g_ShadowLightOffset;

// The darkening quad over the viewport as it is at this moment.
void Shadow_CreateScreenQuad();
void Shadow_ReleaseScreenQuad();
HRESULT ShadowVolume_Create(CQVShadowVolume* volume, uint32_t edgeCapacity, uint32_t triangleCount);
void ShadowVolume_Release(CQVShadowVolume* volume);
// Removes (a, b) or (b, a) from the list, or appends (a, b) when neither is there.
void ShadowVolume_ToggleEdge(ShadowEdge* edges, uint32_t* count, uint16_t a, uint16_t b);
// The volume of the item's first subset for a light at the object-space point.
HRESULT ShadowVolume_Build(CQVShadowVolume* volume, const RenderItem* item, const Vector3& light);
HRESULT ShadowVolume_BuildForItem(RenderItem* item, const Vector3& light);
void ShadowVolume_Draw(const CQVShadowVolume* volume, PlatformDevice* device);
void ShadowVolume_DrawStencil(RenderItem* item);
void Shadow_DrawScreenQuad();

// The shadow bucket's callbacks.
void ShadowBucket_CreateItem(RenderItem* item);
void ShadowBucket_DestroyItem(RenderItem* item);
void ShadowBucket_Begin(uint32_t bucket);
void ShadowBucket_DrawItem(RenderItem* item);
void ShadowBucket_End(uint32_t bucket);
