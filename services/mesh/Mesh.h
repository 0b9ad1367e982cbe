#pragma once
// The mesh model: a mesh item's geometry is one vertex and index buffer pair
// per subset, each subset with its own vertex format and stride; a skinned
// mesh adds a bone hierarchy and one skin record per vertex. Buffers live on
// the graphics device with a CPU copy, which collision, shadows and skinning
// read and rewrite.

#include "kernel/base/Maths.h"
#include "platform/graphics/GraphicsDevice.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class CQVMeshItem;

struct Sphere {
    Vector3 centre;
    float radius;
};
static_assert(sizeof(Sphere) == 16);

// One vertex's binding to the skeleton, the same 56 bytes in the file and in memory.
struct SkinVertex {
    float position[3];  // mesh space, bind pose
    uint8_t influenceCount;  // 0 to 4; the weights and bones past it mean nothing
    uint8_t unused[3];
    float weights[4];
    uint8_t bones[4];  // indices into the mesh's bone list
    float normal[3];
    uint8_t spare[8];
};
static_assert(sizeof(SkinVertex) == 56);
constexpr uint32_t kMaxSkinInfluences = 4;

// Collision data a subset builds on demand from its triangles.
struct MeshShapeData {
    virtual ~MeshShapeData() = default;
};

struct MeshSubset {
    MeshSubset() = default;
    MeshSubset(MeshSubset&& other) noexcept;
    MeshSubset& operator=(MeshSubset&& other) noexcept;
    MeshSubset(const MeshSubset&) = delete;
    MeshSubset& operator=(const MeshSubset&) = delete;
    // Releases both buffers and frees the collision data and skin records.
    ~MeshSubset();

    PlatformVertexBuffer* vertexBuffer = nullptr;  // all frames, frame after frame
    PlatformIndexBuffer* indexBuffer = nullptr;    // 16-bit, three per triangle, relative to one frame
    uint32_t vertexFormat = 0;                     // FVF code
    uint32_t stride = 0;                           // bytes per vertex
    uint32_t vertexCount = 0;                      // vertices of one frame
    uint32_t triangleCount = 0;
    uint32_t frameCount = 0;
    uint32_t fileWord = 0;  // stored per subset in the mesh file, kept as read
    std::string name = "Subset 1";
    Box box{};
    Sphere sphere{};
    float outerRadius = 0.0f;  // |sphere centre| + radius: a sphere about the mesh origin holding the subset
    uint32_t boundsPending = 1;  // the first skinning pass recomputes the bounds from the posed vertices
    std::unique_ptr<MeshShapeData> shapeData;
    std::unique_ptr<SkinVertex[]> skin;  // one per vertex of the first frame; null for a rigid mesh
};

// A subset's collision shape and culling bounds, as the library file stores them.
struct SubsetInfo {
    uint32_t shapeType = 0;
    uint32_t shapeParam = 4;  // the subset's material item id; a stored 0 reads as 4
    int32_t lightMapId = -1;  // texture item drawn on stage 1 with the second coordinate set; -1 none
    Box box{};
    Sphere sphere{};
    float outerRadius = 0.0f;
};
static_assert(sizeof(SubsetInfo) == 14 * 4);

struct BoneLayer {
    Quaternion rotation{0.0f, 0.0f, 0.0f, 1.0f};
    Vector3 translation{0.0f, 0.0f, 0.0f};
    float weight = 0.0f;
    uint32_t blendMode = 0;
};
constexpr uint32_t kBoneLayerCount = 4;

struct Bone {
    int32_t parent = -1;   // index in the bone list; -1 for a root
    uint32_t nameId = 0;   // index of the name in g_NameTable
    Matrix local{};        // pose relative to the parent
    Matrix offset{};       // mesh space into the bone's space at the bind pose
    Matrix world{};        // pose in mesh space
    std::vector<Bone*> children;  // in bone order, filled from the parent indices
    uint32_t activeLayers = 0;    // bit l while layer l has a weight
    BoneLayer layers[kBoneLayerCount];
};

// Bounds of one subset's vertices, every frame, first three floats of each
// vertex transformed by the matrix (identity when null); a zero box when the
// subset has no vertices or its buffer cannot be read.
Box Subset_ComputeBounds(const MeshSubset& subset, const Matrix* matrix);
// Centre of the box and half its diagonal.
Sphere Box_GetSphere(const Box& box);
Sphere Subset_ComputeSphere(const MeshSubset& subset);
// Box, sphere and outer radius from the vertices.
void Subset_UpdateBounds(MeshSubset* subset);

// A read-only lock on a buffer's CPU copy for as long as it lives; data()
// is null when the buffer is missing or refuses the lock.
class BufferReadLock {
public:
    explicit BufferReadLock(PlatformBuffer* buffer);
    ~BufferReadLock();
    BufferReadLock(const BufferReadLock&) = delete;
    BufferReadLock& operator=(const BufferReadLock&) = delete;
    const uint8_t* data() const { return m_Data; }
    size_t size() const { return m_Data != nullptr ? m_Buffer->bytes.size() : 0; }

private:
    PlatformBuffer* m_Buffer;
    uint8_t* m_Data = nullptr;
};

// Position of vertex v: the first three floats of the vertex.
inline Vector3 Vertex_GetPosition(const uint8_t* vertices, uint32_t stride, size_t v) {
    Vector3 p;
    std::memcpy(&p, vertices + v * stride, sizeof p);
    return p;
}

// True when the counts fit the buffers (stride x frames x vertices bytes of
// vertices, six bytes per triangle of indices), the stride holds a position
// and every index names a vertex of one frame. The loaders and builders keep
// their subsets consistent, so readers may trust the counts.
bool Subset_IsConsistent(const MeshSubset& subset);
