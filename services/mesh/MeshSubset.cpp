#include "services/mesh/Mesh.h"

#include <utility>

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
    uint16_t highest = 0;
    for (uint64_t i = 0; i < indexBytes / 2; ++i) highest = std::max(highest, index[i]);
    return highest < subset.vertexCount;
}

Box Subset_ComputeBounds(const MeshSubset& subset, const Matrix* matrix) {
    const uint64_t count = static_cast<uint64_t>(subset.frameCount) * subset.vertexCount;
    const BufferReadLock vertices(subset.vertexBuffer);
    if (vertices.data() == nullptr || count == 0) return Box{};
    Matrix identity;
    const Matrix& m = matrix != nullptr ? *matrix : *Mat4_Identity(&identity);
    Box box{{1e38f, 1e38f, 1e38f}, {-1e38f, -1e38f, -1e38f}};
    for (uint64_t v = 0; v < count; ++v) {
        Vector3 p = Vertex_GetPosition(vertices.data(), subset.stride, v);
        if (matrix != nullptr) Vec3_TransformPoint(&p, p, m);
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
