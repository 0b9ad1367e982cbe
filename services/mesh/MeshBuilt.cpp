// Meshes built at run time from arrays (particle systems draw through
// them): one subset in system memory whose vertices the owner rewrites as
// often as it likes.

#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/mesh/MeshAccess.h"

#include <cstring>
#include <memory>

namespace {

// Where each part of a vertex lies in a built layout; -1 where it has none.
struct BuiltLayout {
    uint32_t fvf;
    uint32_t stride;
    int normal;
    int color;
    int texCoords;
};

bool LayoutOf(uint32_t fvf, BuiltLayout* layout) {
    switch (fvf) {
    case kBuiltFvfNormalColor: *layout = {fvf, 36, 12, 24, 28}; return true;
    case kBuiltFvfNormal: *layout = {fvf, 32, 12, -1, 24}; return true;
    case kBuiltFvfColor: *layout = {fvf, 24, -1, 12, 16}; return true;
    default: return false;
    }
}

// Fills vertices first to first + count of the layout from the arrays given.
void WriteVertices(uint8_t* data, const BuiltLayout& layout, uint32_t count, const Vector3* positions,
                   const Vector3* normals, const uint32_t* colors, const Vector2* texCoords) {
    for (uint32_t v = 0; v < count; ++v) {
        uint8_t* vertex = data + static_cast<size_t>(v) * layout.stride;
        if (positions != nullptr) std::memcpy(vertex, &positions[v], 12);
        if (normals != nullptr && layout.normal >= 0) std::memcpy(vertex + layout.normal, &normals[v], 12);
        if (colors != nullptr && layout.color >= 0) std::memcpy(vertex + layout.color, &colors[v], 4);
        if (texCoords != nullptr) std::memcpy(vertex + layout.texCoords, &texCoords[v], 8);
    }
}

}  // namespace

CQVMeshItem* CQVEngine::CreateMesh(const Vector3* positions, const Vector3* normals, const uint32_t* colors,
                                   const Vector2* texCoords, const uint16_t* indices, uint32_t vertexCount,
                                   uint32_t triangleCount) {
    if (positions == nullptr || texCoords == nullptr || indices == nullptr) {
        SetError("%s", "Error - Invalid Param!");
        return nullptr;
    }
    BuiltLayout layout{};
    LayoutOf(normals == nullptr ? kBuiltFvfColor : colors != nullptr ? kBuiltFvfNormalColor : kBuiltFvfNormal,
             &layout);
    // Indices past the vertices, or buffers past what 32 bits can size,
    // would make a mesh that draws or collides outside its buffers.
    const uint64_t vertexBytes = uint64_t{layout.stride} * vertexCount;
    const uint64_t indexBytes = uint64_t{triangleCount} * 6;
    bool valid = vertexBytes <= 0xFFFFFFFFu && indexBytes <= 0xFFFFFFFFu;
    for (uint64_t k = 0; valid && k < uint64_t{triangleCount} * 3; ++k) valid = indices[k] < vertexCount;
    if (!valid) {
        SetError("%s", "Error - Invalid Param!");
        return nullptr;
    }
    PlatformDevice* device = CQVGraphics::GetInstance() != nullptr ? CQVGraphics::GetInstance()->GetDevice() : nullptr;
    std::unique_ptr<CQVMeshItem> mesh(new CQVMeshItem);
    mesh->subsets.emplace_back();
    MeshSubset& subset = mesh->subsets[0];
    constexpr uint32_t kUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    if (device == nullptr || !Succeeded(device->CreateVertexBuffer(static_cast<uint32_t>(vertexBytes), kUsage,
                                                                   layout.fvf, D3DPOOL_SYSTEMMEM,
                                                                   &subset.vertexBuffer))) {
        SetError("%s", "Error Vertex Buffer");
        return nullptr;
    }
    if (!Succeeded(device->CreateIndexBuffer(static_cast<uint32_t>(indexBytes), kUsage, D3DFMT_INDEX16,
                                             D3DPOOL_SYSTEMMEM, &subset.indexBuffer))) {
        SetError("%s", "Error Index Buffer");
        return nullptr;
    }
    uint8_t* indexData = nullptr;
    if (!Succeeded(subset.indexBuffer->Lock(0, 0, &indexData, D3DLOCK_DISCARD))) {
        SetError("%s", "LockIndexBuffer");
        return nullptr;
    }
    uint8_t* vertexData = nullptr;
    if (!Succeeded(subset.vertexBuffer->Lock(0, 0, &vertexData, D3DLOCK_DISCARD))) {
        subset.indexBuffer->Unlock();
        SetError("%s", "LockVertexBuffer");
        return nullptr;
    }
    if (indexBytes > 0) std::memcpy(indexData, indices, static_cast<size_t>(indexBytes));
    // Without normals or colours the colour slot stays white.
    if (layout.color >= 0 && colors == nullptr) {
        for (uint32_t v = 0; v < vertexCount; ++v)
            std::memset(vertexData + static_cast<size_t>(v) * layout.stride + layout.color, 0xFF, 4);
    }
    WriteVertices(vertexData, layout, vertexCount, positions, normals, colors, texCoords);
    subset.indexBuffer->Unlock();
    subset.vertexBuffer->Unlock();

    mesh->loaded = 1;
    subset.frameCount = 1;
    subset.vertexCount = vertexCount;
    subset.triangleCount = triangleCount;
    subset.vertexFormat = layout.fvf;
    subset.stride = layout.stride;
    subset.fileWord = 0;
    Subset_UpdateBounds(&subset);
    mesh->subsetInfos.assign(1, SubsetInfo{});
    return mesh.release();
}

void Mesh_WriteVertices(CQVMeshItem* mesh, const Vector3* positions, const Vector3* normals, const uint32_t* colors,
                        const Vector2* texCoords, uint32_t vertexCount, uint32_t triangleCount) {
    if (mesh == nullptr || mesh->subsets.empty()) return;
    MeshSubset& subset = mesh->subsets[0];
    BuiltLayout layout{};
    // Only the built layouts have known slots; other meshes keep their vertices.
    if (!LayoutOf(subset.vertexFormat, &layout) || subset.stride != layout.stride || subset.vertexBuffer == nullptr)
        return;
    const uint32_t vertices = vertexCount != 0xFFFFFFFF ? vertexCount : subset.vertexCount;
    const uint32_t triangles = triangleCount != 0xFFFFFFFF ? triangleCount : subset.triangleCount;
    const size_t indexCapacity = subset.indexBuffer != nullptr ? subset.indexBuffer->bytes.size() / 6 : 0;
    if (uint64_t{vertices} * layout.stride > subset.vertexBuffer->bytes.size() || triangles > indexCapacity) return;
    subset.vertexCount = vertices;
    subset.triangleCount = triangles;
    uint8_t* data = nullptr;
    if (!Succeeded(subset.vertexBuffer->Lock(0, 0, &data, 0))) return;
    WriteVertices(data, layout, vertices, positions, normals, colors, texCoords);
    subset.vertexBuffer->Unlock();
}

void CQVEngine::ReleaseMesh(CQVMeshItem* mesh) {
    if (mesh == nullptr) return;
    for (uint32_t i = 0; i < mesh->subsets.size(); ++i) Mesh_FreeShapeData(mesh, i);
    // An item of the library's table stays there, held or not.
    if (mesh->shared || g_Library.At(mesh->id) == mesh) return;
    delete mesh;
}
