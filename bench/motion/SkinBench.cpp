// One frame of skinned characters: 50 characters of 30 bones and 3,000
// vertices, each posed from a walk with two body-part layers on top (an
// upper-body motion blended towards, a second motion added) and skinned
// into its vertex buffer; against the same matrix-palette arithmetic written
// as one plain loop over precomputed local matrices. Both run on one core.
// The vertex buffers have no device behind them, so no upload is measured.

#include "bench/support/SkinnedCrowd.h"
#include "services/mesh/Skeleton.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kCharacters = kCrowdCharacters;
constexpr int kBones = kCrowdBones;
constexpr int kVertices = kCrowdVertices;

struct Character {
    std::unique_ptr<CQVMeshItem> mesh;
    Skeleton* skeleton;
    BoneMatrices* matrices;
    BoneLayerBinding* upper;
    BoneLayerBinding* added;
};

struct Crowd {
    std::unique_ptr<CQVMotionItem> walk{Crowd_MakeMotion(0.4f, 0.0f)};
    std::unique_ptr<CQVMotionItem> wave{Crowd_MakeMotion(0.8f, 1.0f)};
    std::unique_ptr<CQVMotionItem> sway{Crowd_MakeMotion(0.2f, 2.0f)};
    std::vector<Character> characters;

    Crowd() {
        for (int c = 0; c < kCharacters; ++c) {
            Character character;
            character.mesh.reset(Crowd_MakeMesh());
            character.skeleton = Mesh_CreateSkeleton(character.mesh.get());
            character.matrices = Mesh_AllocBoneMatrices(character.mesh.get());
            character.upper = Skeleton_CreateBodyPartBinding(character.skeleton, kBodyPartAll, 0, BONE_LAYER_TOWARDS);
            character.added = Skeleton_CreateBodyPartBinding(character.skeleton, kBodyPartAll, 1, BONE_LAYER_BEFORE);
            BoneLayerBinding_SetWeight(character.upper, 0.5f);
            BoneLayerBinding_SetWeight(character.added, 0.3f);
            characters.push_back(std::move(character));
        }
    }
    ~Crowd() {
        for (Character& c : characters) {
            BoneLayerBinding_Destroy(c.upper);
            BoneLayerBinding_Destroy(c.added);
            Skeleton_FreeBoneMatrices(c.matrices);
            Skeleton_Destroy(c.skeleton);
        }
    }
};

void BM_PoseAndSkinCrowd(benchmark::State& state) {
    Crowd crowd;
    float time = 0.0f;
    for (auto _ : state) {
        time += 1.0f / 30.0f;
        if (time > 1.0f) time -= 1.0f;
        for (int c = 0; c < kCharacters; ++c) {
            Character& character = crowd.characters[c];
            const float t = time + 0.01f * static_cast<float>(c);
            BoneLayerBinding_ApplyMotion(character.upper, crowd.wave.get(), t);
            BoneLayerBinding_ApplyMotion(character.added, crowd.sway.get(), t);
            Skeleton_UpdatePose(character.skeleton, crowd.walk.get(), character.matrices, t);
            Mesh_ApplySkin(character.mesh.get(), character.matrices, 0, nullptr);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCharacters * kVertices);
}
BENCHMARK(BM_PoseAndSkinCrowd)->Unit(benchmark::kMillisecond);

// The palette and the skinning as plain loops: local matrices given, world
// matrices down the tree, offset x world, then for every vertex its bones'
// matrices summed by weight and applied, straight into its buffer.
void BM_InlinePaletteLoop(benchmark::State& state) {
    Crowd crowd;
    std::vector<Matrix> locals(kBones), worlds(kBones), offsets(kBones), palette(kBones);
    for (int b = 0; b < kBones; ++b) {
        Mat4_RotationYawPitchRoll(&locals[b], 0.1f * static_cast<float>(b), 0.2f, 0.0f);
        const int parent = Crowd_ParentOf(b);
        const Vector3 offset = parent < 0 ? Crowd_JointOf(b) : Crowd_JointOf(b) - Crowd_JointOf(parent);
        locals[b].m[3][0] = offset.x;
        locals[b].m[3][1] = offset.y;
        locals[b].m[3][2] = offset.z;
        offsets[b] = crowd.characters[0].mesh->bones[b]->offset;
    }
    for (auto _ : state) {
        for (int c = 0; c < kCharacters; ++c) {
            for (int b = 0; b < kBones; ++b) {
                const int parent = Crowd_ParentOf(b);
                if (parent < 0) {
                    worlds[b] = locals[b];
                } else {
                    Mat4_Multiply(&worlds[b], locals[b], worlds[parent]);
                }
                Mat4_Multiply(&palette[b], offsets[b], worlds[b]);
            }
            Crowd_SkinInline(palette.data(), crowd.characters[c].mesh->subsets[0]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCharacters * kVertices);
}
BENCHMARK(BM_InlinePaletteLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
