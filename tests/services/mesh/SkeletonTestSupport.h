#pragma once
// Skinned meshes and motions built in memory for the skeleton and skinning
// tests: bones jointed at given points (their offsets undo the joint), and
// motions of one key per track.

#include "kernel/base/NameTable.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "services/mesh/Skeleton.h"

#include <gtest/gtest.h>

#include <cmath>

#include <memory>
#include <vector>

struct TestBone {
    const char* name;
    int32_t parent;
    Vector3 joint;  // mesh space at the bind pose
};

class TestMesh {
public:
    explicit TestMesh(const std::vector<TestBone>& bones) {
        m_Item.loaded = 1;
        m_Item.skinned = 1;
        m_Item.subsets.reserve(kMaxSubsets);  // the subsets handed out stay put
        for (const TestBone& b : bones) {
            Bone* bone = new Bone;
            bone->parent = b.parent;
            bone->nameId = g_NameTable.FindOrAdd(b.name);
            Mat4_Translation(&bone->offset, -b.joint.x, -b.joint.y, -b.joint.z);
            m_Item.bones.push_back(bone);
        }
    }
    CQVMeshItem* item() { return &m_Item; }

    static constexpr size_t kMaxSubsets = 8;

    // A subset of the vertices (bytes of the given stride and format) with
    // their skin records, or none; the buffer has no device behind it.
    MeshSubset* AddSubset(uint32_t fvf, uint32_t stride, const std::vector<uint8_t>& vertices,
                          const std::vector<SkinVertex>& skin) {
        if (m_Item.subsets.size() == kMaxSubsets) return nullptr;
        MeshSubset& subset = m_Item.subsets.emplace_back();
        subset.vertexFormat = fvf;
        subset.stride = stride;
        subset.frameCount = 1;
        subset.vertexCount = static_cast<uint32_t>(vertices.size() / stride);
        subset.vertexBuffer = new PlatformVertexBuffer;
        subset.vertexBuffer->bytes = vertices;
        if (!skin.empty()) {
            subset.skin = std::make_unique<SkinVertex[]>(skin.size());
            std::copy(skin.begin(), skin.end(), subset.skin.get());
        }
        m_Item.subsetInfos.resize(m_Item.subsets.size());
        return &subset;
    }

private:
    CQVMeshItem m_Item;
};

class TestMotion {
public:
    TestMotion() { m_Item.loaded = 1; }
    KeyTrack* AddTrack(const char* bone, const Vector3& position, const Quaternion& rotation) {
        KeyTrack* track = new KeyTrack;
        track->nameId = g_NameTable.FindOrAdd(bone);
        track->length = 1.0f;
        track->positionKeys.push_back({position, 0.0f, 0});
        track->rotationKeys.push_back({rotation, 0.0f, 0});
        m_Item.tracks.push_back(track);
        ++m_Item.trackCount;
        return track;
    }
    CQVMotionItem* item() { return &m_Item; }

private:
    CQVMotionItem m_Item;
};

inline SkinVertex MakeSkin(const Vector3& position, const Vector3& normal,
                           std::vector<std::pair<uint8_t, float>> bones) {
    SkinVertex s{};
    std::memcpy(s.position, &position, sizeof s.position);
    std::memcpy(s.normal, &normal, sizeof s.normal);
    s.influenceCount = static_cast<uint8_t>(bones.size());
    for (size_t k = 0; k < bones.size() && k < 4; ++k) {
        s.bones[k] = bones[k].first;
        s.weights[k] = bones[k].second;
    }
    return s;
}

// Two bones: "Root" at the origin and "Arm" jointed 10 along x. The motion
// turns Arm a quarter about Z at its joint, so a point 10 beyond the joint,
// (20, 0, 0), goes to (10, 10, 0) with the arm and stays with the root.
class TwoBoneTest : public testing::Test {
protected:
    TestMesh mesh{{{"Root", -1, {0, 0, 0}}, {"Arm", 0, {10, 0, 0}}}};
    TestMotion motion;
    Skeleton* skeleton = nullptr;
    BoneMatrices* matrices = nullptr;
    Bone* arm = nullptr;

    void SetUp() override {
        const float s = std::sqrt(0.5f);
        motion.AddTrack("Root", {0, 0, 0}, {0, 0, 0, 1});
        motion.AddTrack("Arm", {10, 0, 0}, {0, 0, s, s});
        skeleton = Mesh_CreateSkeleton(mesh.item());
        matrices = Mesh_AllocBoneMatrices(mesh.item());
        ASSERT_NE(skeleton, nullptr);
        ASSERT_NE(matrices, nullptr);
        arm = Skeleton_FindBone(skeleton, "Arm");
        ASSERT_NE(arm, nullptr);
    }
    void TearDown() override {
        Skeleton_FreeBoneMatrices(matrices);
        Skeleton_Destroy(skeleton);
    }
};
