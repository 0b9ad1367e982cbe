#include "services/mesh/Mesh.h"

#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

MeshSubset::MeshSubset(MeshSubset&& other) noexcept { *this = std::move(other); }

MeshSubset& MeshSubset::operator=(MeshSubset&& other) noexcept {
    if (this == &other) return *this;
    if (vertexBuffer) vertexBuffer->Release();
    if (indexBuffer) indexBuffer->Release();
    vertexBuffer = std::exchange(other.vertexBuffer, nullptr);
    indexBuffer = std::exchange(other.indexBuffer, nullptr);
    vertexFormat = other.vertexFormat;
    stride = other.stride;
    vertexCount = other.vertexCount;
    triangleCount = other.triangleCount;
    frameCount = other.frameCount;
    fileWord = other.fileWord;
    name = std::move(other.name);
    box = other.box;
    sphere = other.sphere;
    outerRadius = other.outerRadius;
    boundsPending = other.boundsPending;
    shapeData = std::move(other.shapeData);
    skin = std::move(other.skin);
    return *this;
}

MeshSubset::~MeshSubset() {
    if (vertexBuffer) vertexBuffer->Release();
    if (indexBuffer) indexBuffer->Release();
}

BufferReadLock::BufferReadLock(PlatformBuffer* buffer) : m_Buffer(buffer) {
    if (buffer == nullptr || !Succeeded(buffer->Lock(0, 0, &m_Data, D3DLOCK_READONLY))) m_Data = nullptr;
}

BufferReadLock::~BufferReadLock() {
    if (m_Data != nullptr) m_Buffer->Unlock();
}

bool Subset_IsConsistent(const MeshSubset& subset) {
    const uint64_t vertexBytes = static_cast<uint64_t>(subset.stride) * subset.frameCount * subset.vertexCount;
    const uint64_t indexBytes = static_cast<uint64_t>(subset.triangleCount) * 6;
    if (subset.vertexCount > 0 && subset.stride < sizeof(Vector3)) return false;
    if (vertexBytes > (subset.vertexBuffer ? subset.vertexBuffer->bytes.size() : 0)) return false;
    if (indexBytes > (subset.indexBuffer ? subset.indexBuffer->bytes.size() : 0)) return false;
    if (indexBytes == 0) return true;
    const BufferReadLock indices(subset.indexBuffer);
    if (indices.data() == nullptr) return false;
    const uint16_t* index = reinterpret_cast<const uint16_t*>(indices.data());
    const uint32_t count = static_cast<uint32_t>(indexBytes / 2);
    if (subset.vertexCount > 0xFFFF) return true;
    // Compared as signed words with the top bit flipped, which vector units do in one step.
    const int16_t limit = static_cast<int16_t>(subset.vertexCount ^ 0x8000);
    uint16_t outside = 0;
    for (uint32_t i = 0; i < count; ++i) outside |= static_cast<int16_t>(index[i] ^ 0x8000) >= limit;
    return outside == 0;
}

namespace {

// Bounds of count positions stride bytes apart.
Box PositionBounds(const uint8_t* vertices, uint32_t stride, uint64_t count) {
#if defined(__SSE2__)
    // A vertex of 16 bytes or more holds a whole vector of four floats.
    if (stride >= 16) {
        __m128 lo = _mm_set1_ps(1e38f), hi = _mm_set1_ps(-1e38f);
        for (uint64_t v = 0; v < count; ++v) {
            const __m128 p = _mm_loadu_ps(reinterpret_cast<const float*>(vertices + v * stride));
            lo = _mm_min_ps(p, lo);  // a NaN position leaves the bounds alone
            hi = _mm_max_ps(p, hi);
        }
        float l[4], h[4];
        _mm_storeu_ps(l, lo);
        _mm_storeu_ps(h, hi);
        return Box{{l[0], l[1], l[2]}, {h[0], h[1], h[2]}};
    }
#endif
    float x0 = 1e38f, y0 = 1e38f, z0 = 1e38f, x1 = -1e38f, y1 = -1e38f, z1 = -1e38f;
    for (uint64_t v = 0; v < count; ++v) {
        const Vector3 p = Vertex_GetPosition(vertices, stride, v);
        x0 = p.x < x0 ? p.x : x0;
        y0 = p.y < y0 ? p.y : y0;
        z0 = p.z < z0 ? p.z : z0;
        x1 = p.x > x1 ? p.x : x1;
        y1 = p.y > y1 ? p.y : y1;
        z1 = p.z > z1 ? p.z : z1;
    }
    return Box{{x0, y0, z0}, {x1, y1, z1}};
}

}  // namespace

Box Subset_ComputeBounds(const MeshSubset& subset, const Matrix* matrix) {
    const uint64_t count = static_cast<uint64_t>(subset.frameCount) * subset.vertexCount;
    const BufferReadLock vertices(subset.vertexBuffer);
    if (vertices.data() == nullptr || count == 0) return Box{};
    if (matrix == nullptr) return PositionBounds(vertices.data(), subset.stride, count);
    Box box{{1e38f, 1e38f, 1e38f}, {-1e38f, -1e38f, -1e38f}};
    for (uint64_t v = 0; v < count; ++v) {
        Vector3 p = Vertex_GetPosition(vertices.data(), subset.stride, v);
        Vec3_TransformPoint(&p, p, *matrix);
        Vec3_Minimize(&box.min, box.min, p);
        Vec3_Maximize(&box.max, box.max, p);
    }
    return box;
}

Sphere Box_GetSphere(const Box& box) {
    const Vector3 half = (box.max - box.min) * 0.5f;
    return Sphere{Vector3(box.min.x + half.x, box.min.y + half.y, box.min.z + half.z), Vec3_Length(half)};
}

Sphere Subset_ComputeSphere(const MeshSubset& subset) { return Box_GetSphere(Subset_ComputeBounds(subset, nullptr)); }

void Subset_UpdateBounds(MeshSubset* subset) {
    subset->box = Subset_ComputeBounds(*subset, nullptr);
    subset->sphere = Box_GetSphere(subset->box);
    subset->outerRadius = Vec3_Length(subset->sphere.centre) + subset->sphere.radius;
}
