// Any bytes as a ".qvm" file: the reader either fails and leaves no geometry,
// or gives subsets whose counts fit their buffers, indices that name their
// vertices, skin records that name the bones, and bones that form trees;
// bounds, collision shapes and surface lookups then read only inside them.

#include "fuzz/files/FuzzCheck.h"
#include "fuzz/files/FuzzDevice.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/MeshShapes.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <vector>

namespace {

// Box sets merge every pair of triangle boxes: large subsets are left to the readers alone.
constexpr uint32_t kShapeTriangleLimit = 2000;

void CheckBones(const std::vector<Bone*>& bones) {
    size_t links = 0;
    for (const Bone* bone : bones) {
        Check(bone->parent >= -1 && bone->parent < static_cast<int32_t>(bones.size()));
        links += bone->children.size() + (bone->parent == -1 ? 1 : 0);
        // Walking up ends at a root within as many steps as there are bones.
        const Bone* b = bone;
        for (size_t steps = 0; b->parent != -1; ++steps) {
            Check(steps < bones.size());
            b = bones[static_cast<size_t>(b->parent)];
        }
    }
    Check(links == bones.size());
}

void ExerciseShapes(MeshSubset* subset) {
    const Sphere sphere = Subset_ComputeSphere(*subset);
    Check(sphere.radius >= 0.0f || sphere.radius != sphere.radius);
    if (subset->triangleCount > kShapeTriangleLimit) return;
    for (uint32_t type : {uint32_t{SHAPE_TRIANGLE_SURFACE}, 8u, 13u}) {
        Shape_Build(subset, type);
        Vector3 push;
        Shape_SweepSphere(subset, type, sphere.centre, sphere.radius * 0.5f, &push);
    }
    uint32_t cache = 0xFFFFFFF0;
    for (uint32_t selector = 0; selector < 4; ++selector) {
        Vector3 point, normal;
        Subset_IntersectPoint(*subset, selector, sphere.centre, &point, &normal, &cache);
        Check(cache == 0xFFFFFFF0 || cache < subset->triangleCount);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz_StartDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    g_CurrentFileSystem = &file;
    uint32_t skinned = 7;
    std::vector<MeshSubset> subsets;
    std::vector<Bone*> bones;
    const int read = MeshFile_ReadQvm("mesh.qvm", &skinned, &subsets, &bones);
    g_CurrentFileSystem = nullptr;
    if (read != 1) {
        Check(read == 0 && subsets.empty() && bones.empty() && skinned == 7);
        return 0;
    }
    CheckBones(bones);
    Check(skinned == 1 || bones.empty());
    for (MeshSubset& subset : subsets) {
        Check(Subset_IsConsistent(subset));
        Check(subset.skin == nullptr || skinned == 1);
        for (uint32_t v = 0; subset.skin && v < subset.vertexCount; ++v) {
            const SkinVertex& s = subset.skin[v];
            Check(s.influenceCount <= kMaxSkinInfluences);
            for (uint32_t k = 0; k < s.influenceCount; ++k) Check(s.bones[k] < bones.size());
        }
        ExerciseShapes(&subset);
    }
    Bones_Clear(&bones);
    return 0;
}
