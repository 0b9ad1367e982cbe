#include "services/mesh/Skeleton.h"
#include "tests/services/mesh/SkeletonTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFvfLit = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;                      // 32 bytes
constexpr uint32_t kFvfLightMapped = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;              // 40 bytes
constexpr uint32_t kFvfUnlit = D3DFVF_XYZ | D3DFVF_TEX1;                                    // 20 bytes

// count vertices of the stride, every float after the position and normal
// set to 9 so that bytes the skinning must not touch are recognised.
std::vector<uint8_t> Vertices(uint32_t count, uint32_t stride) {
    std::vector<float> words(count * stride / 4, 9.0f);
    std::vector<uint8_t> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

Vector3 At(const MeshSubset* subset, uint32_t vertex, uint32_t offset) {
    Vector3 v;
    std::memcpy(&v, subset->vertexBuffer->bytes.data() + vertex * subset->stride + offset, sizeof v);
    return v;
}

Vector2 TexAt(const MeshSubset* subset, uint32_t vertex, uint32_t offset) {
    Vector2 v;
    std::memcpy(&v, subset->vertexBuffer->bytes.data() + vertex * subset->stride + offset, sizeof v);
    return v;
}

void ExpectVector(const Vector3& v, float x, float y, float z, const char* what) {
    EXPECT_NEAR(v.x, x, 1e-5f) << what;
    EXPECT_NEAR(v.y, y, 1e-5f) << what;
    EXPECT_NEAR(v.z, z, 1e-5f) << what;
}

// The two-bone rig posed: the arm turned a quarter about Z.
class Skinning : public TwoBoneTest {
protected:
    void SetUp() override {
        TwoBoneTest::SetUp();
        Skeleton_UpdatePose(skeleton, motion.item(), matrices, 0.0f);
    }
};

struct InfluenceCase {
    const char* what;
    SkinVertex skin;
    Vector3 position;
    Vector3 normal;
};

class Influences : public Skinning, public testing::WithParamInterface<InfluenceCase> {};

TEST_P(Influences, BlendTheBoneTransforms) {
    const InfluenceCase& c = GetParam();
    MeshSubset* subset = mesh.AddSubset(kFvfLit, 32, Vertices(1, 32), {c.skin});
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    ExpectVector(At(subset, 0, 0), c.position.x, c.position.y, c.position.z, c.what);
    ExpectVector(At(subset, 0, 12), c.normal.x, c.normal.y, c.normal.z, c.what);
    EXPECT_EQ(TexAt(subset, 0, 24).x, 9.0f);  // texture coordinates kept
    EXPECT_EQ(TexAt(subset, 0, 24).y, 9.0f);
}

const Vector3 kTip{20, 0, 0}, kAlongX{1, 0, 0};

// A record whose stored count disagrees with the bones it lists.
SkinVertex WithCount(SkinVertex s, uint8_t count) {
    s.influenceCount = count;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Skeleton, Influences,
    testing::Values(
        InfluenceCase{"halfway between two bones", MakeSkin(kTip, kAlongX, {{0, 0.5f}, {1, 0.5f}}), {15, 5, 0},
                      {0.5f, 0.5f, 0}},
        InfluenceCase{"one bone, full weight", MakeSkin(kTip, kAlongX, {{1, 1.0f}}), {10, 10, 0}, {0, 1, 0}},
        InfluenceCase{"weights in any bone order", MakeSkin(kTip, kAlongX, {{1, 0.5f}, {0, 0.5f}}), {15, 5, 0},
                      {0.5f, 0.5f, 0}},
        InfluenceCase{"count 1 uses bone 0 and weight 0 only",
                      WithCount(MakeSkin(kTip, kAlongX, {{1, 0.5f}, {0, 0.5f}}), 1),
                      {5, 5, 0},
                      {0, 0.5f, 0}},
        InfluenceCase{"count 0 moves with bone 0 unweighted",
                      WithCount(MakeSkin(kTip, kAlongX, {{1, 0.25f}}), 0),
                      {10, 10, 0},
                      {0, 1, 0}},
        InfluenceCase{"a count past four stops at four",
                      WithCount(MakeSkin(kTip, kAlongX, {{0, 0.5f}, {1, 0.5f}}), 200),
                      {15, 5, 0},
                      {0.5f, 0.5f, 0}},
        InfluenceCase{"exactly four influences all count",
                      MakeSkin(kTip, kAlongX, {{0, 0.25f}, {1, 0.25f}, {0, 0.25f}, {1, 0.25f}}),
                      {15, 5, 0},
                      {0.5f, 0.5f, 0}},
        InfluenceCase{"a bone past the matrices stays at the bind pose",
                      MakeSkin(kTip, kAlongX, {{7, 0.5f}, {1, 0.5f}}), {15, 5, 0}, {0.5f, 0.5f, 0}}));

// With the root moved, a bone index past the matrices is told apart from
// bone 0: it keeps the bind pose, it does not follow the root.
TEST_F(Skinning, ABonePastTheMatricesIsNotBoneZero) {
    TestMotion lifted;
    const float s = std::sqrt(0.5f);
    lifted.AddTrack("Root", {0, 0, 5}, {0, 0, 0, 1});
    lifted.AddTrack("Arm", {10, 0, 0}, {0, 0, s, s});
    Skeleton_UpdatePose(skeleton, lifted.item(), matrices, 0.0f);
    MeshSubset* subset = mesh.AddSubset(kFvfLit, 32, Vertices(1, 32), {MakeSkin(kTip, kAlongX, {{7, 0.5f}, {1, 0.5f}})});
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    ExpectVector(At(subset, 0, 0), 15, 5, 2.5f, "half at the bind pose, half with the lifted arm");
}

TEST_F(Skinning, EachSubsetUsesItsOwnStrideAndFormat) {
    const SkinVertex tip = MakeSkin(kTip, kAlongX, {{1, 1.0f}});
    const SkinVertex root = MakeSkin({3, 4, 5}, {0, 0, 1}, {{0, 1.0f}});
    MeshSubset* lightMapped = mesh.AddSubset(kFvfLightMapped, 40, Vertices(2, 40), {root, tip});
    MeshSubset* rigid = mesh.AddSubset(kFvfLit, 32, Vertices(2, 32), {});
    MeshSubset* unlit = mesh.AddSubset(kFvfUnlit, 20, Vertices(2, 20), {root, tip});
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);

    ExpectVector(At(lightMapped, 0, 0), 3, 4, 5, "light-mapped, first vertex");
    ExpectVector(At(lightMapped, 1, 0), 10, 10, 0, "light-mapped, second vertex");
    ExpectVector(At(lightMapped, 1, 12), 0, 1, 0, "light-mapped normal");
    ExpectVector(At(lightMapped, 1, 28), 9, 9, 9, "both coordinate pairs kept");
    ExpectVector(At(rigid, 1, 0), 9, 9, 9, "a subset without skin records is left alone");
    ExpectVector(At(unlit, 1, 0), 10, 10, 0, "without normals the position only");
    EXPECT_EQ(TexAt(unlit, 0, 12).x, 9.0f);  // texture coordinates where a normal would be
    EXPECT_EQ(TexAt(unlit, 1, 12).y, 9.0f);
    EXPECT_EQ(rigid->boundsPending, 1u);
}

TEST_F(Skinning, TheFirstPassMeasuresThePoseAndAGivenSphereIsTaken) {
    MeshSubset* subset =
        mesh.AddSubset(kFvfLit, 32, Vertices(2, 32),
                       {MakeSkin({0, 0, 0}, kAlongX, {{0, 1.0f}}), MakeSkin(kTip, kAlongX, {{1, 1.0f}})});
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    const SubsetInfo& info = mesh.item()->subsetInfos[0];
    EXPECT_EQ(subset->boundsPending, 0u);
    ExpectVector(info.box.min, 0, 0, 0, "box minimum");
    ExpectVector(info.box.max, 10, 10, 0, "box maximum");
    ExpectVector(info.sphere.centre, 5, 5, 0, "sphere centre");
    EXPECT_NEAR(info.sphere.radius, std::sqrt(50.0f) + 50.0f, 1e-4f);

    // Later poses keep the measured bounds.
    Bone_SetLayerPosition(Skeleton_FindBone(skeleton, "Arm"), {0, 100, 0}, 0);
    Bone_SetLayerWeight(Skeleton_FindBone(skeleton, "Arm"), 1.0f, 0);
    Skeleton_UpdatePose(skeleton, motion.item(), matrices, 0.0f);
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    EXPECT_EQ(At(subset, 1, 0).y, 110.0f);
    EXPECT_NEAR(info.box.max.y, 10.0f, 1e-5f);

    const Sphere given{{1, 2, 3}, 4};
    Mesh_ApplySkin(mesh.item(), matrices, 0, &given);
    EXPECT_EQ(info.sphere.centre.z, 3.0f);
    EXPECT_EQ(info.sphere.radius, 4.0f);
}

TEST_F(Skinning, NothingForRigidMeshesMissingMatricesOrShortBuffers) {
    MeshSubset* subset = mesh.AddSubset(kFvfLit, 32, Vertices(1, 32), {MakeSkin(kTip, kAlongX, {{1, 1.0f}})});
    Mesh_ApplySkin(mesh.item(), nullptr, 0, nullptr);
    Mesh_ApplySkin(nullptr, matrices, 0, nullptr);
    mesh.item()->skinned = 0;
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    ExpectVector(At(subset, 0, 0), 9, 9, 9, "not skinned");
    EXPECT_EQ(subset->boundsPending, 1u);

    mesh.item()->skinned = 1;
    subset->vertexCount = 2;  // more vertices than the buffer holds
    Mesh_ApplySkin(mesh.item(), matrices, 0, nullptr);
    ExpectVector(At(subset, 0, 0), 9, 9, 9, "short buffer");
}

}  // namespace
