#include "services/render/RenderQueue.h"

#include "services/graphics/Graphics.h"
#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "services/render/Shadow.h"

#include <algorithm>
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
    RenderBucketCallback end;
    RenderItemCallback item;
    RenderItemCallback create;
    RenderItemCallback destroy;
};

// Buckets not listed insert at the front, have no callbacks and no flags.
// Bucket 3 holds the opaque scene, 4 the shadow casters (after the scene
// they fall on), 7 the translucent items far to near, 11 what is drawn over
// everything.
constexpr BucketSetting kBucketSettings[] = {
    {3, 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
    {4, 0, 1, &ShadowBucket_Begin, &ShadowBucket_End, &ShadowBucket_DrawItem, &ShadowBucket_CreateItem,
     &ShadowBucket_DestroyItem},
    {5, 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
    {7, 2, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
    {11, 0, 0, &ClearDepthBucketBegin, nullptr, nullptr, nullptr, nullptr},
};

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

// The per-subset record the queue culls with and takes the light map from;
// null when the item names no such subset.
const SubsetInfo* ItemSubsetInfo(const RenderItem* item) {
    if (item->mesh == nullptr || item->subset >= item->mesh->subsetInfos.size()) return nullptr;
    return &item->mesh->subsetInfos[item->subset];
}

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
        bucket.endCallback = setting.end;
        bucket.itemCallback = setting.item;
        bucket.createCallback = setting.create;
        bucket.destroyCallback = setting.destroy;
        bucket.option = 1;
    }
    return 1;
}

void RenderQueue_Reset() {
    delete[] g_RenderQueue.buckets;
    g_RenderQueue = RenderQueueState{};
}

void RenderItem_SetRadiusScale(RenderItem* item, float factor) {
    if (item != nullptr) item->radiusScale = factor;
}

void RenderItem_SetOwner(RenderItem* item, void* owner) {
    if (item != nullptr) item->owner = owner;
}

void* RenderItem_GetOwner(const RenderItem* item) { return item != nullptr ? item->owner : nullptr; }

void RenderItem_SetDrawCallback(RenderItem* item, RenderItemCallback callback) {
    if (item != nullptr) item->drawCallback = callback;
}

RenderItem* CQVRender::CreateRenderItem(CQVMeshItem* mesh, uint32_t subset, CQVMaterialItem* material,
                                        const Matrix* world, uint32_t ownerId, float depthBias) {
    RenderItem* item = new (std::nothrow) RenderItem;
    if (item == nullptr) return nullptr;
    item->mesh = mesh;
    item->subset = subset;
    item->material = material;
    item->world = world;
    item->ownerId = ownerId;
    item->depthBias = depthBias;
    item->listIndex = static_cast<uint32_t>(queue.items.size());
    queue.items.push_back(item);
    if (material != nullptr && queue.buckets != nullptr) {
        for (uint32_t b = 0; b < kRenderBucketCount; ++b) {
            if ((material->bucketMask >> b & 1) && queue.buckets[b].createCallback)
                queue.buckets[b].createCallback(item);
        }
    }
    return item;
}

void CQVRender::DestroyRenderItem(RenderItem* item) {
    if (item == nullptr) return;
    if (queue.buckets != nullptr) {
        // The item may be linked anywhere: every queue is dropped, so no
        // bucket keeps a pointer to freed memory.
        for (uint32_t b = 0; b < kRenderBucketCount; ++b) queue.buckets[b].head = nullptr;
        if (item->material != nullptr) {
            for (uint32_t b = 0; b < kRenderBucketCount; ++b) {
                if ((item->material->bucketMask >> b & 1) && queue.buckets[b].destroyCallback)
                    queue.buckets[b].destroyCallback(item);
            }
        }
    }
    std::vector<RenderItem*>& items = queue.items;
    if (item->listIndex < items.size() && items[item->listIndex] == item) {
        items[item->listIndex] = items.back();
        items[item->listIndex]->listIndex = item->listIndex;
        items.pop_back();
    }
    delete item;
}

void CQVRender::PrepareRenderItems() {
    PlatformDevice* device = Device();
    if (device == nullptr) return;
    struct Prepared {
        const CQVMaterialItem* material;
        uint32_t vertexFormat;
        int32_t lightMapId;
    };
    std::vector<Prepared> done;
    for (RenderItem* item : queue.items) {
        CQVMeshItem* mesh = item->mesh;
        if (item->material == nullptr || mesh == nullptr || !mesh->loaded || item->subset >= mesh->subsets.size())
            continue;
        const uint32_t format = mesh->subsets[item->subset].vertexFormat;
        const SubsetInfo* info = ItemSubsetInfo(item);
        const int32_t lightMap = info != nullptr ? info->lightMapId : -1;
        const bool seen = std::any_of(done.begin(), done.end(), [&](const Prepared& p) {
            return p.material == item->material && p.vertexFormat == format && p.lightMapId == lightMap;
        });
        if (seen) continue;
        done.push_back(Prepared{item->material, format, lightMap});
        // Whole and faded: a fade blends, which the device draws differently.
        for (float alpha : {1.0f, 0.5f}) {
            ApplyMaterial(item->material, alpha, lightMap);
            device->SetVertexShader(format);
            device->PrepareDraw();
        }
    }
}

void CQVRender::QueueRenderItem(RenderItem* item, float frame, float alpha) {
    if (item == nullptr || item->queued || item->material == nullptr || item->world == nullptr) return;
    const SubsetInfo* info = ItemSubsetInfo(item);
    if (info == nullptr) return;
    Vec3_TransformPoint(&item->centre, info->sphere.centre, *item->world);
    item->radius = info->sphere.radius * item->radiusScale;
    float z = 0.0f;
    if (!IsSphereVisible(item->centre, item->radius, &z, item->material->fogFlag)) return;
    item->depth = z + item->depthBias;
    item->frame = frame;
    item->alpha = alpha;
    item->queued = 1;
    item->next = nullptr;
    InsertRenderItem(item, 0);
}

int CQVRender::InsertRenderItem(RenderItem* item, uint32_t firstBucket) {
    item->next = nullptr;
    const uint32_t mask = item->material != nullptr ? item->material->bucketMask : 0;
    uint32_t b = firstBucket;
    while (b < kRenderBucketCount && !(mask >> b & 1)) ++b;
    if (b >= kRenderBucketCount || queue.buckets == nullptr) {
        item->queued = 0;
        return 0;
    }
    RenderBucket& bucket = queue.buckets[b];
    switch (bucket.insertMode) {
    case 0:
        item->next = bucket.head;
        bucket.head = item;
        break;
    case 1:
        if (bucket.head == nullptr) bucket.head = item;
        else bucket.tail->next = item;
        bucket.tail = item;
        break;
    case 2:
    case 3: {
        RenderItem** link = &bucket.head;
        while (*link != nullptr && !((*link)->depth < item->depth)) link = &(*link)->next;
        item->next = *link;
        *link = item;
        break;
    }
    default:
        break;
    }
    return 1;
}

void CQVRender::DrawRenderBuckets() {
    PlatformDevice* device = Device();
    if (device == nullptr || queue.buckets == nullptr) return;
    Lights_BeginDraw(device, lights);
    for (uint32_t b = 0; b < kRenderBucketCount; ++b) {
        RenderBucket& bucket = queue.buckets[b];
        if (bucket.head == nullptr) continue;
        const uint32_t noLighting = bucket.noLighting, noWorld = bucket.noWorldTransform;
        const uint32_t noMaterial = bucket.noMaterial, noMesh = bucket.noMeshDraw;
        const RenderItemCallback itemCallback = bucket.itemCallback;
        if (bucket.beginCallback) bucket.beginCallback(b);
        for (RenderItem* item = bucket.head; item != nullptr;) {
            RenderItem* following = item->next;
            if (!noLighting) item->lightsUsed = Lights_SelectForItem(device, lights, item->centre, item->radius);
            if (!noWorld) device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(item->world));
            if (!noMaterial) {
                const SubsetInfo* info = ItemSubsetInfo(item);
                ApplyMaterial(item->material, item->alpha, info != nullptr ? info->lightMapId : -1);
            }
            if (itemCallback) itemCallback(item);
            if (!noMesh) DrawRenderItemMesh(item);
            InsertRenderItem(item, b + 1);
            item = following;
        }
        if (bucket.endCallback) bucket.endCallback(b);
        bucket.head = nullptr;
    }
    Lights_EndDraw(device, lights);
}

void CQVRender::DrawRenderItemMesh(RenderItem* item) {
    CQVMeshItem* mesh = item->mesh;
    if (mesh == nullptr) return;
    if (!mesh->loaded) mesh->Load();
    if (item->subset >= mesh->subsets.size()) return;
    const MeshSubset& subset = mesh->subsets[item->subset];
    const uint32_t frame = subset.frameCount != 0 ? static_cast<uint32_t>(static_cast<int64_t>(item->frame)) % subset.frameCount : 0;
    if (item->drawCallback) item->drawCallback(item);
    if ((subset.frameCount > 1 && subset.skin != nullptr) || subset.vertexBuffer == nullptr) return;
    PlatformDevice* device = Device();
    if (device == nullptr) return;
    device->SetStreamSource(0, subset.vertexBuffer, subset.stride);
    device->SetVertexShader(subset.vertexFormat);
    device->SetIndices(subset.indexBuffer, frame * subset.vertexCount);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, subset.vertexCount, 0, subset.triangleCount);
}

void CQVRender::SetBucketItemCallback(uint32_t bucket, RenderItemCallback callback) {
    queue.buckets[bucket].itemCallback = callback;
}
void CQVRender::SetBucketBeginCallback(uint32_t bucket, RenderBucketCallback callback) {
    queue.buckets[bucket].beginCallback = callback;
}
void CQVRender::SetBucketEndCallback(uint32_t bucket, RenderBucketCallback callback) {
    queue.buckets[bucket].endCallback = callback;
}
void CQVRender::SetBucketCreateCallback(uint32_t bucket, RenderItemCallback callback) {
    queue.buckets[bucket].createCallback = callback;
}
void CQVRender::SetBucketDestroyCallback(uint32_t bucket, RenderItemCallback callback) {
    queue.buckets[bucket].destroyCallback = callback;
}
void CQVRender::SetBucketNoLighting(uint32_t bucket, uint32_t value) { queue.buckets[bucket].noLighting = value; }
void CQVRender::SetBucketNoWorldTransform(uint32_t bucket, uint32_t value) {
    queue.buckets[bucket].noWorldTransform = value;
}
void CQVRender::SetBucketNoMaterial(uint32_t bucket, uint32_t value) { queue.buckets[bucket].noMaterial = value; }
void CQVRender::SetBucketNoMeshDraw(uint32_t bucket, uint32_t value) { queue.buckets[bucket].noMeshDraw = value; }
void CQVRender::SetBucketOption(uint32_t bucket, uint32_t value) { queue.buckets[bucket].option = value; }
