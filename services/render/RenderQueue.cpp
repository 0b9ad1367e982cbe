#include "services/render/RenderQueue.h"

#include "services/graphics/Graphics.h"

#include <new>

RenderQueueState g_RenderQueue;

namespace {

// Bucket 11 starts with cleared depth and stencil, so what it draws lies over the scene.
void ClearDepthBucketBegin(uint32_t bucket) {
    (void)bucket;
    if (CQVGraphics* graphics = CQVGraphics::GetInstance()) graphics->ClearDepth();
}

struct BucketSetting {
    uint32_t index;
    uint32_t insertMode;
    uint32_t drawsNoMesh;  // the shadow bucket: no lights, transform, material or mesh of its own
    RenderBucketCallback begin;
};

// Buckets not listed insert at the front, have no callbacks and no flags.
constexpr BucketSetting kBucketSettings[] = {
    {3, 1, 0, nullptr},
    {4, 0, 1, nullptr},
    {5, 1, 0, nullptr},
    {7, 2, 0, nullptr},
    {11, 0, 0, &ClearDepthBucketBegin},
};

}  // namespace

int RenderQueue_CreateBuckets(RenderQueueState& state) {
    if (state.buckets != nullptr) return 1;
    state.buckets = new (std::nothrow) RenderBucket[kRenderBucketCount]();
    if (state.buckets == nullptr) return 0;
    for (const BucketSetting& setting : kBucketSettings) {
        RenderBucket& bucket = state.buckets[setting.index];
        bucket.insertMode = setting.insertMode;
        bucket.noLighting = bucket.noWorldTransform = bucket.noMaterial = bucket.noMeshDraw = setting.drawsNoMesh;
        bucket.beginCallback = setting.begin;
        bucket.option = 1;
    }
    return 1;
}

void RenderQueue_Reset() {
    delete[] g_RenderQueue.buckets;
    g_RenderQueue = RenderQueueState{};
}
