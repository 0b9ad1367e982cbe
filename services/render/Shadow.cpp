#include "services/render/Shadow.h"

#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"

#include <cstring>
#include <new>
#include <utility>

const Vector3 g_ShadowLightOffset(60.0f, 300.0f, -60.0f);

namespace {

constexpr uint32_t kPositionStride = 12;
constexpr uint32_t kEdgeBytes = 2 * 3 * kPositionStride;
constexpr uint32_t kTriangleBytes = 3 * kPositionStride;
constexpr uint32_t kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr uint32_t kQuadColor = 0x99000000;
// How much deeper the volumes are drawn, in depth-buffer units (a 24-bit
// buffer has 2^24 steps): far more than the rounding between two draws of
// one surface, and about half a world unit 400 units from a camera whose
// near plane is at 5.
constexpr float kVolumeDepthPush = 1.0f / 65536.0f;
// Casters this close to the point above the camera cast nothing: the camera
// would stand inside their volume.
constexpr float kMinCasterDistance = 200.0f;
// Debug keys: 'V' shows the volumes in wireframe instead of darkening, 'C'
// leaves only the caps.
constexpr int kShowVolumesKey = 'V';
constexpr int kCapsOnlyKey = 'C';

inline bool Failed(HRESULT result) { return !Succeeded(result); }

struct QuadVertex {
    float x, y, z, rhw;
    uint32_t color;
};
static_assert(sizeof(QuadVertex) == 20);

struct ShadowPass {
    PlatformVertexBuffer* quad = nullptr;
    PlatformTexture* savedTextures[2] = {};
    // The debug keys as they were when the bucket began.
    bool showVolumes = false;
    bool capsOnly = false;
    // The projection as it was when the bucket began; the volumes draw with it pushed deeper.
    D3DMATRIX savedProjection{};
    // The edge list of the build, kept between builds so that a frame allocates nothing.
    ShadowEdge* edges = nullptr;
    uint32_t edgeRoom = 0;
};

ShadowPass g_Shadow;

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

bool KeyHeld(int key) { return Platform_GetAsyncKeyState(key) != 0; }

const MeshSubset* FirstSubset(const RenderItem* item) {
    if (item == nullptr || item->mesh == nullptr || item->mesh->subsets.empty()) return nullptr;
    return &item->mesh->subsets[0];
}

ShadowEdge* EdgeList(uint32_t count) {
    if (count > g_Shadow.edgeRoom) {
        delete[] g_Shadow.edges;
        g_Shadow.edges = new (std::nothrow) ShadowEdge[count];
        g_Shadow.edgeRoom = g_Shadow.edges != nullptr ? count : 0;
    }
    return g_Shadow.edges;
}

inline void Put(uint8_t*& out, const Vector3& p) {
    std::memcpy(out, &p, kPositionStride);
    out += kPositionStride;
}

// The first frame with a shadow must not wait for the device to build what
// the volumes and the darkening quad draw with: both are prepared with the
// pass's states at start-up, and the device is left as the pass leaves it.
void PrepareShadowDraws(PlatformDevice* device) {
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_STENCILENABLE, 1);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    device->SetVertexShader(D3DFVF_XYZ);
    // Both passes over the volumes: front faces count up, back faces down.
    for (const auto& [cull, pass] : {std::pair{D3DCULL_CCW, D3DSTENCILOP_INCR}, std::pair{D3DCULL_CW, D3DSTENCILOP_DECR}}) {
        device->SetRenderState(D3DRS_CULLMODE, cull);
        device->SetRenderState(D3DRS_STENCILPASS, pass);
        device->PrepareDraw();
    }
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    // The darkening quad draws after the pass has turned depth writes back on.
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device->SetVertexShader(kQuadFvf);
    device->PrepareDraw();
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_STENCILENABLE, 0);
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    CQVRender::Get().ForceRenderStates(0xFFFFFFFF);
}

}  // namespace

void Shadow_CreateScreenQuad() {
    PlatformDevice* device = Device();
    if (device == nullptr || g_Shadow.quad != nullptr) return;
    D3DVIEWPORT8 viewport{};
    device->GetViewport(&viewport);
    const float w = static_cast<float>(viewport.Width), h = static_cast<float>(viewport.Height);
    const QuadVertex corners[4] = {{0.0f, 0.0f, 0.0f, 1.0f, kQuadColor},
                                   {w, 0.0f, 0.0f, 1.0f, kQuadColor},
                                   {0.0f, h, 0.0f, 1.0f, kQuadColor},
                                   {w, h, 0.0f, 1.0f, kQuadColor}};
    if (Failed(device->CreateVertexBuffer(sizeof corners, D3DUSAGE_WRITEONLY, kQuadFvf, D3DPOOL_MANAGED,
                                          &g_Shadow.quad)))
        return;
    uint8_t* data = nullptr;
    if (Succeeded(g_Shadow.quad->Lock(0, sizeof corners, &data, 0))) {
        std::memcpy(data, corners, sizeof corners);
        g_Shadow.quad->Unlock();
    }
    PrepareShadowDraws(device);
}

void Shadow_ReleaseScreenQuad() {
    if (g_Shadow.quad != nullptr) g_Shadow.quad->Release();
    delete[] g_Shadow.edges;
    g_Shadow = ShadowPass{};
}

HRESULT ShadowVolume_Create(CQVShadowVolume* volume, uint32_t edgeCapacity, uint32_t triangleCount) {
    PlatformDevice* device = Device();
    if (device == nullptr || volume == nullptr) return E_FAIL;
    ShadowVolume_Release(volume);
    // A mesh without triangles still gets buffers, so that a later build
    // only needs to know their size.
    const uint32_t edges = edgeCapacity != 0 ? edgeCapacity : 1;
    const uint32_t triangles = triangleCount != 0 ? triangleCount : 1;
    if (Failed(device->CreateVertexBuffer(edges * kEdgeBytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_DEFAULT,
                                          &volume->sideBuffer)))
        return E_FAIL;
    if (Failed(device->CreateVertexBuffer(triangles * kTriangleBytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ,
                                          D3DPOOL_DEFAULT, &volume->capBuffer))) {
        ShadowVolume_Release(volume);
        return E_FAIL;
    }
    volume->edgeCapacity = edges;
    volume->triangleCapacity = triangles;
    return S_OK;
}

void ShadowVolume_Release(CQVShadowVolume* volume) {
    if (volume == nullptr) return;
    if (volume->sideBuffer != nullptr) volume->sideBuffer->Release();
    if (volume->capBuffer != nullptr) volume->capBuffer->Release();
    volume->sideBuffer = volume->capBuffer = nullptr;
    volume->edgeCapacity = volume->triangleCapacity = 0;
}

void ShadowVolume_ToggleEdge(ShadowEdge* edges, uint32_t* count, uint16_t a, uint16_t b) {
    for (uint32_t i = 0; i < *count; ++i) {
        if ((edges[i].a == a && edges[i].b == b) || (edges[i].a == b && edges[i].b == a)) {
            if (*count > 1) edges[i] = edges[*count - 1];
            --*count;
            return;
        }
    }
    edges[(*count)++] = ShadowEdge{a, b};
}

HRESULT ShadowVolume_Build(CQVShadowVolume* volume, const RenderItem* item, const Vector3& light) {
    volume->sideTriangles = volume->capTriangles = 0;
    const MeshSubset* subset = FirstSubset(item);
    if (subset == nullptr || subset->vertexBuffer == nullptr || subset->indexBuffer == nullptr) return S_OK;
    const uint32_t triangles = subset->triangleCount;
    if (triangles > volume->triangleCapacity || triangles * 3 > volume->edgeCapacity) {
        if (Failed(ShadowVolume_Create(volume, triangles * 3, triangles))) return E_FAIL;
    }
    const BufferReadLock vertexLock(subset->vertexBuffer);
    const BufferReadLock indexLock(subset->indexBuffer);
    const uint8_t* vertices = vertexLock.data();
    const uint8_t* indexBytes = indexLock.data();
    if (vertices == nullptr || indexBytes == nullptr) return E_FAIL;
    ShadowEdge* edges = EdgeList(triangles * 3);
    if (edges == nullptr && triangles != 0) return E_OUTOFMEMORY;

    uint8_t* cap = nullptr;
    if (triangles != 0 && Failed(volume->capBuffer->Lock(0, triangles * kTriangleBytes, &cap, 0))) return E_FAIL;
    uint32_t edgeCount = 0;
    const uint32_t stride = subset->stride;
    for (uint32_t t = 0; t < triangles; ++t) {
        uint16_t index[3];
        std::memcpy(index, indexBytes + t * 6, sizeof index);
        const Vector3 p0 = Vertex_GetPosition(vertices, stride, index[0]);
        const Vector3 p1 = Vertex_GetPosition(vertices, stride, index[1]);
        const Vector3 p2 = Vertex_GetPosition(vertices, stride, index[2]);
        const Vector3 normal = Vec3_CrossProduct(p2 - p1, p1 - p0);
        if (Vec3_Dot(normal, p0 - light) >= 0.0f) {
            ShadowVolume_ToggleEdge(edges, &edgeCount, index[0], index[1]);
            ShadowVolume_ToggleEdge(edges, &edgeCount, index[1], index[2]);
            ShadowVolume_ToggleEdge(edges, &edgeCount, index[2], index[0]);
            Put(cap, p0);
            Put(cap, p2);
            Put(cap, p1);
        } else {
            Put(cap, p0 - light);
            Put(cap, p2 - light);
            Put(cap, p1 - light);
        }
        ++volume->capTriangles;
    }
    if (triangles != 0) volume->capBuffer->Unlock();
    if (edgeCount == 0) return S_OK;

    // Only the bytes written this time are sent to the device.
    uint8_t* side = nullptr;
    if (Failed(volume->sideBuffer->Lock(0, edgeCount * kEdgeBytes, &side, 0))) return E_FAIL;
    for (uint32_t e = 0; e < edgeCount; ++e) {
        const Vector3 a = Vertex_GetPosition(vertices, stride, edges[e].a);
        const Vector3 b = Vertex_GetPosition(vertices, stride, edges[e].b);
        Put(side, a);
        Put(side, b);
        Put(side, a - light);
        Put(side, b);
        Put(side, b - light);
        Put(side, a - light);
        volume->sideTriangles += 2;
    }
    volume->sideBuffer->Unlock();
    return S_OK;
}

HRESULT ShadowVolume_BuildForItem(RenderItem* item, const Vector3& light) {
    CQVShadowVolume* volume = item->shadowVolume;
    volume->spare[0] = volume->spare[1] = 0;
    return ShadowVolume_Build(volume, item, light);
}

void ShadowVolume_Draw(const CQVShadowVolume* volume, PlatformDevice* device) {
    device->SetVertexShader(D3DFVF_XYZ);
    if (volume->capTriangles != 0) {
        device->SetStreamSource(0, volume->capBuffer, kPositionStride);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, volume->capTriangles);
    }
    if (!g_Shadow.capsOnly && volume->sideTriangles != 0) {
        device->SetStreamSource(0, volume->sideBuffer, kPositionStride);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, volume->sideTriangles);
    }
}

void ShadowVolume_DrawStencil(RenderItem* item) {
    PlatformDevice* device = Device();
    if (device == nullptr || item->shadowVolume == nullptr) return;
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    device->SetRenderState(D3DRS_STENCILREF, 1);
    device->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(item->world));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    ShadowVolume_Draw(item->shadowVolume, device);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    ShadowVolume_Draw(item->shadowVolume, device);
}

void Shadow_DrawScreenQuad() {
    PlatformDevice* device = Device();
    if (device == nullptr || g_Shadow.quad == nullptr) return;
    device->SetRenderState(D3DRS_STENCILREF, 1);
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    device->SetVertexShader(kQuadFvf);
    device->SetStreamSource(0, g_Shadow.quad, sizeof(QuadVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

void ShadowBucket_CreateItem(RenderItem* item) {
    CQVShadowVolume* volume = new (std::nothrow) CQVShadowVolume;
    if (volume == nullptr) return;
    const MeshSubset* subset = FirstSubset(item);
    const uint32_t triangles = subset != nullptr ? subset->triangleCount : 0;
    // Buffers that cannot be made now are made by the first build.
    ShadowVolume_Create(volume, triangles * 3, triangles);
    item->shadowVolume = volume;
}

void ShadowBucket_DestroyItem(RenderItem* item) {
    if (item->shadowVolume == nullptr) return;
    ShadowVolume_Release(item->shadowVolume);
    delete item->shadowVolume;
    item->shadowVolume = nullptr;
}

void ShadowBucket_Begin(uint32_t bucket) {
    (void)bucket;
    PlatformDevice* device = Device();
    if (device == nullptr) return;
    g_Shadow.showVolumes = KeyHeld(kShowVolumesKey);
    g_Shadow.capsOnly = KeyHeld(kCapsOnlyKey);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    // The cap over a caster's lit faces lies exactly on them, and drawn in
    // the other winding with other vertices its depth lands a rounding step
    // either side of theirs: counted at some lit pixels and not at others,
    // it would stripe or darken every caster's lit side (and light the part
    // of it that lies in another caster's shadow). The volumes are drawn a
    // little deeper, so that a cap on a surface always stays behind it.
    // Adding the push times w to the projected z moves every volume point
    // the same step deeper after the divide, near or far.
    device->GetTransform(D3DTS_PROJECTION, &g_Shadow.savedProjection);
    D3DMATRIX pushed = g_Shadow.savedProjection;
    for (int row = 0; row < 4; ++row) pushed.m[row][2] += kVolumeDepthPush * pushed.m[row][3];
    device->SetTransform(D3DTS_PROJECTION, &pushed);
    device->SetRenderState(D3DRS_STENCILENABLE, 1);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    if (g_Shadow.showVolumes) {
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    } else {
        // The volumes leave the colour buffer as it is.
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        if (g_Shadow.savedTextures[stage] != nullptr) g_Shadow.savedTextures[stage]->Release();
        g_Shadow.savedTextures[stage] = nullptr;
        device->GetTexture(stage, &g_Shadow.savedTextures[stage]);
        device->SetTexture(stage, nullptr);
    }
}

void ShadowBucket_DrawItem(RenderItem* item) {
    if (item->shadowVolume == nullptr || item->world == nullptr) return;
    if (item->drawCallback) item->drawCallback(item);
    const Matrix& world = *item->world;
    const Vector3 position(world.m[3][0], world.m[3][1], world.m[3][2]);
    Matrix inverse;
    Mat4_Inverse(&inverse, world);
    Vector3 light = g_ShadowLightOffset;
    light += position;
    Vec3_TransformPoint(&light, light, inverse);
    const Vector3& camera = *CQVRender::Get().GetCameraPosition();
    const Vector3 above(camera.x + 0.5f * g_ShadowLightOffset.x, camera.y + 0.5f * g_ShadowLightOffset.y,
                        camera.z + 0.5f * g_ShadowLightOffset.z);
    if (!(Vec3_Length(position - above) > kMinCasterDistance)) return;
    if (Failed(ShadowVolume_BuildForItem(item, light))) return;
    ShadowVolume_DrawStencil(item);
}

void ShadowBucket_End(uint32_t bucket) {
    (void)bucket;
    PlatformDevice* device = Device();
    if (device == nullptr) return;
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetTransform(D3DTS_PROJECTION, &g_Shadow.savedProjection);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    if (!g_Shadow.showVolumes) Shadow_DrawScreenQuad();
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_STENCILENABLE, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        device->SetTexture(stage, g_Shadow.savedTextures[stage]);
        if (g_Shadow.savedTextures[stage] != nullptr) g_Shadow.savedTextures[stage]->Release();
        g_Shadow.savedTextures[stage] = nullptr;
    }
    CQVRender::Get().ForceRenderStates(0xFFFFFFFF);
}
