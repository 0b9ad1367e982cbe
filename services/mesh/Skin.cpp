#include "services/library/LibraryItem.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/Skeleton.h"

#include <algorithm>
#include <cstring>

namespace {

// Posed subsets are measured once and their sphere widened, so that limbs
// swinging out in later poses stay inside it.
constexpr float kPosedSphereMargin = 50.0f;

// The part of a matrix that skinning uses (three axes and the
// translation), summed over a vertex's bones by their weights: one blended
// transform per vertex in place of one per bone.
struct BlendedMatrix {
    float m[4][3];
};

inline void SetWeighted(BlendedMatrix* out, const Matrix& m, float w) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) out->m[r][c] = m.m[r][c] * w;
    }
}

inline void AddWeighted(BlendedMatrix* out, const Matrix& m, float w) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) out->m[r][c] += m.m[r][c] * w;
    }
}

enum SkinResult { SKIN_WRITTEN, SKIN_LEFT_ALONE, SKIN_LOCK_FAILED };

// Writes the skinned position (and normal, when the vertex has one) of every
// vertex of the first frame. A subset whose buffer is smaller than its
// counts say is left alone.
SkinResult SkinSubset(MeshSubset* subset, const BoneMatrices& palette) {
    const uint32_t stride = subset->stride, count = subset->vertexCount;
    PlatformVertexBuffer* buffer = subset->vertexBuffer;
    if (buffer == nullptr || count == 0 || stride < sizeof(Vector3) ||
        static_cast<uint64_t>(stride) * count * std::max<uint32_t>(subset->frameCount, 1) > buffer->bytes.size()) {
        return SKIN_LEFT_ALONE;
    }
    // Vertices without a normal (or too short to hold it) take the position only.
    const int normalOffset = Fvf_GetNormalOffset(subset->vertexFormat);
    const bool hasNormal = normalOffset >= 0 && static_cast<uint32_t>(normalOffset) + sizeof(Vector3) <= stride;
    uint8_t* vertices = nullptr;
    if (!Succeeded(buffer->Lock(0, 0, &vertices, 0))) return SKIN_LOCK_FAILED;

    // Skin records index bones by a byte. An index past the palette (a mesh
    // skinned with another skeleton's matrices) keeps that influence at the
    // bind pose.
    Matrix identity;
    Mat4_Identity(&identity);
    const Matrix* matrixOf[256];
    for (uint32_t b = 0; b < 256; ++b) matrixOf[b] = b < palette.count ? &palette.matrices[b] : &identity;

    const SkinVertex* skin = subset->skin.get();
    for (uint32_t j = 0; j < count; ++j) {
        const SkinVertex& s = skin[j];
        const uint32_t influences = std::min<uint32_t>(s.influenceCount, kMaxSkinInfluences);
        // Without influences the first bone moves the vertex unweighted.
        BlendedMatrix m;
        SetWeighted(&m, *matrixOf[s.bones[0]], influences >= 1 ? s.weights[0] : 1.0f);
        for (uint32_t k = 1; k < influences; ++k) AddWeighted(&m, *matrixOf[s.bones[k]], s.weights[k]);
        const float x = s.position[0], y = s.position[1], z = s.position[2];
        const Vector3 position(x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0],
                               x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1],
                               x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]);
        uint8_t* vertex = vertices + static_cast<size_t>(j) * stride;
        std::memcpy(vertex, &position, sizeof position);
        if (!hasNormal) continue;
        const float nx = s.normal[0], ny = s.normal[1], nz = s.normal[2];
        const Vector3 normal(nx * m.m[0][0] + ny * m.m[1][0] + nz * m.m[2][0],
                             nx * m.m[0][1] + ny * m.m[1][1] + nz * m.m[2][1],
                             nx * m.m[0][2] + ny * m.m[1][2] + nz * m.m[2][2]);
        std::memcpy(vertex + normalOffset, &normal, sizeof normal);
    }
    buffer->Unlock();
    return SKIN_WRITTEN;
}

}  // namespace

void Mesh_ApplySkin(CQVMeshItem* mesh, const BoneMatrices* matrices, uint32_t unused, const Sphere* sphere) {
    (void)unused;
    if (mesh == nullptr || matrices == nullptr) return;
    if (!mesh->loaded && mesh->Load() != 1) return;
    if (mesh->skinned != 1) return;
    for (size_t i = 0; i < mesh->subsets.size(); ++i) {
        MeshSubset* subset = &mesh->subsets[i];
        if (subset->skin == nullptr) continue;
        const SkinResult result = SkinSubset(subset, *matrices);
        if (result == SKIN_LOCK_FAILED) return;
        if (result == SKIN_LEFT_ALONE || i >= mesh->subsetInfos.size()) continue;
        SubsetInfo& info = mesh->subsetInfos[i];
        if (sphere != nullptr) {
            info.sphere = *sphere;
        } else if (subset->boundsPending) {
            subset->boundsPending = 0;
            info.box = Subset_ComputeBounds(*subset, nullptr);
            info.sphere = Box_GetSphere(info.box);
            info.sphere.radius += kPosedSphereMargin;
        }
    }
}
