#pragma once
// The render queue's state: the 32 ordered draw queues (buckets) that the
// draw pass fills with render items and the frame draws in index order. The
// engine object holds a reference to it; nothing else owns it.

#include <cstdint>

struct RenderItem;

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

struct RenderQueueState {
    // The 32 buckets, made by the engine's device set-up (null before it)
    // and kept while the engine lives.
    RenderBucket* buckets = nullptr;
};

extern RenderQueueState g_RenderQueue;

// Makes the 32 buckets with their fixed settings (insert modes, the depth
// clear that begins bucket 11, the option words) unless they exist; 1.
int RenderQueue_CreateBuckets(RenderQueueState& state);

// Back to the state before the device set-up: the buckets are freed.
void RenderQueue_Reset();
