#pragma once
// The skinned characters the skinning benchmarks share: a mesh of 30 bones
// and 3,000 vertices (most of them on two bones, as a limb's skin is made),
// motions of 17 keys on every bone, and the matrix-palette skinning written
// as one plain loop, the yardstick the engine's skinning is held against.
// The vertex buffers have no device behind them, so no upload is measured.

#include "kernel/base/NameTable.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

constexpr int kCrowdCharacters = 50;
constexpr int kCrowdBones = 30;
constexpr int kCrowdVertices = 3000;
constexpr uint32_t kCrowdStride = 32;

// Bone i hangs from bone (i - 1) / 2: a tree four to five levels deep.
inline int Crowd_ParentOf(int bone) { return bone == 0 ? -1 : (bone - 1) / 2; }

inline Vector3 Crowd_JointOf(int bone) {
    const float f = static_cast<float>(bone);
    return Vector3(std::sin(f) * 20.0f, 90.0f + f * 3.0f, std::cos(f) * 10.0f);
}

inline std::string Crowd_BoneName(int bone) { return "Bone" + std::to_string(bone); }

// One second of every bone swinging by the amplitude, the phase apart.
inline CQVMotionItem* Crowd_MakeMotion(float amplitude, float phase) {
    constexpr int kKeys = 17;
    CQVMotionItem* motion = new CQVMotionItem;
    motion->loaded = 1;
    for (int b = 0; b < kCrowdBones; ++b) {
        KeyTrack* added = new KeyTrack;
        motion->tracks.push_back(added);
        KeyTrack& track = *added;
        track.nameId = g_NameTable.FindOrAdd(Crowd_BoneName(b).c_str());
        track.length = 1.0f;
        const int parent = Crowd_ParentOf(b);
        const Vector3 offset = parent < 0 ? Crowd_JointOf(b) : Crowd_JointOf(b) - Crowd_JointOf(parent);
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

inline CQVMeshItem* Crowd_MakeMesh() {
    CQVMeshItem* mesh = new CQVMeshItem;
    mesh->loaded = 1;
    mesh->skinned = 1;
    for (int b = 0; b < kCrowdBones; ++b) {
        Bone* bone = new Bone;
        bone->parent = Crowd_ParentOf(b);
        bone->nameId = g_NameTable.FindOrAdd(Crowd_BoneName(b).c_str());
        const Vector3 joint = Crowd_JointOf(b);
        Mat4_Translation(&bone->offset, -joint.x, -joint.y, -joint.z);
        mesh->bones.push_back(bone);
    }
    MeshSubset& subset = mesh->subsets.emplace_back();
    subset.vertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    subset.stride = kCrowdStride;
    subset.frameCount = 1;
    subset.vertexCount = kCrowdVertices;
    subset.boundsPending = 0;
    subset.vertexBuffer = new PlatformVertexBuffer;
    subset.vertexBuffer->bytes.resize(kCrowdVertices * kCrowdStride);
    subset.skin = std::make_unique<SkinVertex[]>(kCrowdVertices);
    for (int v = 0; v < kCrowdVertices; ++v) {
        SkinVertex& s = subset.skin[v];
        const float f = static_cast<float>(v);
        s.position[0] = std::sin(f) * 30.0f;
        s.position[1] = f * 0.06f;
        s.position[2] = std::cos(f) * 30.0f;
        s.normal[1] = 1.0f;
        s.influenceCount = v % 4 == 0 ? 1 : 2;
        s.bones[0] = static_cast<uint8_t>(v % kCrowdBones);
        s.bones[1] = static_cast<uint8_t>(Crowd_ParentOf(v % kCrowdBones) < 0 ? 0 : Crowd_ParentOf(v % kCrowdBones));
        s.weights[0] = s.influenceCount == 1 ? 1.0f : 0.7f;
        s.weights[1] = 0.3f;
    }
    mesh->subsetInfos.resize(1);
    return mesh;
}

// For every vertex its bones' palette matrices summed by weight and applied
// to position and normal, straight into the buffer.
inline void Crowd_SkinInline(const Matrix* palette, MeshSubset& subset) {
    uint8_t* out = subset.vertexBuffer->bytes.data();
    const SkinVertex* skin = subset.skin.get();
    for (int v = 0; v < kCrowdVertices; ++v) {
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
        std::memcpy(out + v * kCrowdStride, p, sizeof p);
        std::memcpy(out + v * kCrowdStride + 12, n, sizeof n);
    }
}
