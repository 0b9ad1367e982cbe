// One frame of skinned characters: 50 characters of 30 bones and 3,000
// vertices, each posed from a walk with two body-part layers on top (an
// upper-body motion blended towards, a second motion added) and skinned
// into its vertex buffer; against the same matrix-palette arithmetic written
// as one plain loop over precomputed local matrices. Both run on one core.
// The vertex buffers have no device behind them, so no upload is measured.

#include "kernel/base/NameTable.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Skeleton.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCharacters = 50;
constexpr int kBones = 30;
constexpr int kVertices = 3000;
constexpr int kKeys = 17;
constexpr uint32_t kStride = 32;

// Bone i hangs from bone (i - 1) / 2: a tree four to five levels deep.
int ParentOf(int bone) { return bone == 0 ? -1 : (bone - 1) / 2; }

Vector3 JointOf(int bone) {
    const float f = static_cast<float>(bone);
    return Vector3(std::sin(f) * 20.0f, 90.0f + f * 3.0f, std::cos(f) * 10.0f);
}

std::string BoneName(int bone) { return "Bone" + std::to_string(bone); }

CQVMotionItem* MakeMotion(float amplitude, float phase) {
    CQVMotionItem* motion = new CQVMotionItem;
    motion->loaded = 1;
    for (int b = 0; b < kBones; ++b) {
        KeyTrack* added = new KeyTrack;
        motion->tracks.push_back(added);
        KeyTrack& track = *added;
        track.nameId = g_NameTable.FindOrAdd(BoneName(b).c_str());
        track.length = 1.0f;
        const int parent = ParentOf(b);
        const Vector3 offset = parent < 0 ? JointOf(b) : JointOf(b) - JointOf(parent);
        for (int k = 0; k < kKeys; ++k) {
            const float t = static_cast<float>(k) / (kKeys - 1);
            Quaternion q;
            Quat_FromYawPitchRoll(&q, amplitude * std::sin(6.2831853f * t + phase + static_cast<float>(b)),
                                  amplitude * std::cos(6.2831853f * t + phase), 0.0f);
            track.rotationKeys.push_back({q, t, 0});
            track.positionKeys.push_back({Vector3(offset.x, offset.y + std::sin(6.2831853f * t), offset.z), t, 0});
        }
        KeyTrack_ComputeInterpolation(&track);
        ++motion->trackCount;
    }
    return motion;
}

CQVMeshItem* MakeMesh() {
    CQVMeshItem* mesh = new CQVMeshItem;
    mesh->loaded = 1;
    mesh->skinned = 1;
    for (int b = 0; b < kBones; ++b) {
        Bone* bone = new Bone;
        bone->parent = ParentOf(b);
        bone->nameId = g_NameTable.FindOrAdd(BoneName(b).c_str());
        const Vector3 joint = JointOf(b);
        Mat4_Translation(&bone->offset, -joint.x, -joint.y, -joint.z);
        mesh->bones.push_back(bone);
    }
    MeshSubset& subset = mesh->subsets.emplace_back();
    subset.vertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    subset.stride = kStride;
    subset.frameCount = 1;
    subset.vertexCount = kVertices;
    subset.boundsPending = 0;
    subset.vertexBuffer = new PlatformVertexBuffer;
    subset.vertexBuffer->bytes.resize(kVertices * kStride);
    subset.skin = std::make_unique<SkinVertex[]>(kVertices);
    for (int v = 0; v < kVertices; ++v) {
        SkinVertex& s = subset.skin[v];
        const float f = static_cast<float>(v);
        s.position[0] = std::sin(f) * 30.0f;
        s.position[1] = f * 0.06f;
        s.position[2] = std::cos(f) * 30.0f;
        s.normal[1] = 1.0f;
        // Most vertices near a joint: two bones, as a limb's skin is made.
        s.influenceCount = v % 4 == 0 ? 1 : 2;
        s.bones[0] = static_cast<uint8_t>(v % kBones);
        s.bones[1] = static_cast<uint8_t>(ParentOf(v % kBones) < 0 ? 0 : ParentOf(v % kBones));
        s.weights[0] = s.influenceCount == 1 ? 1.0f : 0.7f;
        s.weights[1] = 0.3f;
    }
    mesh->subsetInfos.resize(1);
    return mesh;
}

struct Character {
    std::unique_ptr<CQVMeshItem> mesh;
    Skeleton* skeleton;
    BoneMatrices* matrices;
    BoneLayerBinding* upper;
    BoneLayerBinding* added;
};

struct Crowd {
    std::unique_ptr<CQVMotionItem> walk{MakeMotion(0.4f, 0.0f)};
    std::unique_ptr<CQVMotionItem> wave{MakeMotion(0.8f, 1.0f)};
    std::unique_ptr<CQVMotionItem> sway{MakeMotion(0.2f, 2.0f)};
    std::vector<Character> characters;

    Crowd() {
        for (int c = 0; c < kCharacters; ++c) {
            Character character;
            character.mesh.reset(MakeMesh());
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
        const int parent = ParentOf(b);
        const Vector3 offset = parent < 0 ? JointOf(b) : JointOf(b) - JointOf(parent);
        locals[b].m[3][0] = offset.x;
        locals[b].m[3][1] = offset.y;
        locals[b].m[3][2] = offset.z;
        offsets[b] = crowd.characters[0].mesh->bones[b]->offset;
    }
    for (auto _ : state) {
        for (int c = 0; c < kCharacters; ++c) {
            for (int b = 0; b < kBones; ++b) {
                const int parent = ParentOf(b);
                if (parent < 0) {
                    worlds[b] = locals[b];
                } else {
                    Mat4_Multiply(&worlds[b], locals[b], worlds[parent]);
                }
                Mat4_Multiply(&palette[b], offsets[b], worlds[b]);
            }
            MeshSubset& subset = crowd.characters[c].mesh->subsets[0];
            uint8_t* out = subset.vertexBuffer->bytes.data();
            const SkinVertex* skin = subset.skin.get();
            for (int v = 0; v < kVertices; ++v) {
                const SkinVertex& s = skin[v];
                float b[4][3] = {};
                for (int k = 0; k < s.influenceCount; ++k) {
                    const Matrix& m = palette[s.bones[k]];
                    const float w = s.weights[k];
                    for (int r = 0; r < 4; ++r) {
                        for (int i = 0; i < 3; ++i) b[r][i] += w * m.m[r][i];
                    }
                }
                float p[3], n[3];
                for (int i = 0; i < 3; ++i) {
                    p[i] = s.position[0] * b[0][i] + s.position[1] * b[1][i] + s.position[2] * b[2][i] + b[3][i];
                    n[i] = s.normal[0] * b[0][i] + s.normal[1] * b[1][i] + s.normal[2] * b[2][i];
                }
                std::memcpy(out + v * kStride, p, sizeof p);
                std::memcpy(out + v * kStride + 12, n, sizeof n);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCharacters * kVertices);
}
BENCHMARK(BM_InlinePaletteLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
