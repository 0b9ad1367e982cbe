#pragma once
// The render queue's state: the 32 ordered draw queues (buckets) that the
// draw pass fills with render items and the frame draws in index order. The
// render service holds a reference to it; nothing else owns it. The
// operations on items and buckets are the render service's (Render.h).

#include "kernel/base/Maths.h"

#include <cstdint>
#include <vector>

struct RenderItem;
struct CQVShadowVolume;
class CQVMeshItem;
class CQVMaterialItem;

using RenderItemCallback = void (*)(RenderItem* item);
using RenderBucketCallback = void (*)(uint32_t bucket);

// One of the 32 ordered draw queues; all words zero until set.
struct RenderBucket {
    RenderItem* head;
    RenderItem* tail;
    uint32_t insertMode;  // 0 front, 1 back, 2 and 3 by depth (larger first)
    RenderItemCallback itemCallback;
    RenderBucketCallback beginCallback;
    RenderBucketCallback endCallback;
    RenderItemCallback createCallback;
    RenderItemCallback destroyCallback;
    uint32_t noLighting;
    uint32_t noWorldTransform;
    uint32_t noMaterial;
    uint32_t noMeshDraw;
    uint32_t option;
};
constexpr uint32_t kRenderBucketCount = 32;

// At most this many local lights light one item.
constexpr uint32_t kMaxItemLights = 7;

// One drawn mesh subset of an actor, queued once a frame. The actor owns it;
// the render service makes and frees it.
struct RenderItem {
    RenderItem* next = nullptr;  // inside the bucket it is queued in
    uint32_t spare = 0;
    CQVMeshItem* mesh = nullptr;
    uint32_t subset = 0;
    CQVMaterialItem* material = nullptr;  // its bucket mask picks the buckets
    const Matrix* world = nullptr;        // the owner's, read at queue and draw time
    uint32_t ownerId = 0;
    uint32_t flag = 1;
    float alpha = 1.0f;
    float depthBias = 0.0f;
    float depth = 0.0f;  // view depth of the sphere centre plus the bias
    float radiusScale = 1.0f;
    Vector3 centre{0.0f, 0.0f, 0.0f};  // world bounding sphere, set when queued
    float radius = 0.0f;
    uint32_t lightsUsed = 0;
    float frame = 0.0f;  // animation frame; picks the vertex block
    void* owner = nullptr;
    RenderItemCallback drawCallback = nullptr;
    uint32_t queued = 0;  // from queueing until past its last bucket
    CQVShadowVolume* shadowVolume = nullptr;
    uint32_t listIndex = 0;  // place in the queue's list of live items
};

struct RenderQueueState {
    // The 32 buckets, made by the device set-up (null before it) and kept
    // while the process lives.
    RenderBucket* buckets = nullptr;
    // Every item the service made and has not freed, for the preparation of
    // their draws at load.
    std::vector<RenderItem*> items;
};

extern RenderQueueState g_RenderQueue;

// Makes the 32 buckets with their fixed settings (insert modes, the depth
// clear that begins bucket 11, the shadow bucket's callbacks, the option
// words) unless they exist; 1.
int RenderQueue_CreateBuckets(RenderQueueState& state);

// Back to the state before the device set-up: the buckets are freed.
void RenderQueue_Reset();

void RenderItem_SetRadiusScale(RenderItem* item, float factor);
// A null item is ignored (get gives null).
void RenderItem_SetOwner(RenderItem* item, void* owner);
void* RenderItem_GetOwner(const RenderItem* item);
void RenderItem_SetDrawCallback(RenderItem* item, RenderItemCallback callback);
// The draw callback of actors that rewrite their vertices just before they
// are drawn: the owner (an actor) runs its PrepareRender.
void RenderItem_PrepareOwner(RenderItem* item);
