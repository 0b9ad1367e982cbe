#include "kernel/base/NameTable.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Skeleton.h"
#include "tests/services/mesh/SkeletonTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const float kS = std::sqrt(0.5f);
const Quaternion kQuarterX{kS, 0, 0, kS};  // 90 degrees about X
const Quaternion kQuarterZ{0, 0, kS, kS};  // 90 degrees about Z

void ExpectRows(const Matrix& m, const float (&rows)[4][3], const char* what) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(m.m[r][c], rows[r][c], 1e-5f) << what << " row " << r << " column " << c;
        EXPECT_NEAR(m.m[r][3], r == 3 ? 1.0f : 0.0f, 1e-6f) << what;
    }
}

class TwoBones : public TwoBoneTest {
protected:
    void SetLayer(uint32_t layer, const Quaternion& q, const Vector3& v, float weight, uint32_t mode) {
        ASSERT_EQ(Bone_SetLayerRotation(arm, q, layer), 1);
        ASSERT_EQ(Bone_SetLayerPosition(arm, v, layer), 1);
        ASSERT_EQ(Bone_SetLayerBlendMode(arm, mode, layer), 1);
        ASSERT_EQ(Bone_SetLayerWeight(arm, weight, layer), 1);
    }
};

struct LayerCase {
    const char* what;
    uint32_t mode;
    float weight;
    float rows[4][3];  // the arm's world matrix: rotation rows, then the translation
};

class LayerBlend : public TwoBones, public testing::WithParamInterface<LayerCase> {};

// The layer turns 90 degrees about X and moves (0, 4, 0).
TEST_P(LayerBlend, ComposesThePoseExactly) {
    const LayerCase& c = GetParam();
    SetLayer(1, kQuarterX, {0, 4, 0}, c.weight, c.mode);
    Skeleton_UpdatePose(skeleton, motion.item(), matrices, 0.5f);
    Matrix world;
    ASSERT_EQ(Bone_GetMatrix(arm, &world), 1);
    ExpectRows(world, c.rows, c.what);
    // The skin matrix undoes the bind pose first: the joint at (10, 0, 0) goes to the origin.
    Vector3 joint;
    Vec3_TransformPoint(&joint, Vector3(10, 0, 0), matrices->matrices[1]);
    EXPECT_NEAR(joint.x, c.rows[3][0], 1e-5f) << c.what;
    EXPECT_NEAR(joint.y, c.rows[3][1], 1e-5f) << c.what;
    EXPECT_NEAR(joint.z, c.rows[3][2], 1e-5f) << c.what;
}

const float kH = std::sqrt(0.5f);
const float kT = 1.0f / 3.0f;

INSTANTIATE_TEST_SUITE_P(
    Skeleton, LayerBlend,
    testing::Values(
        // Pose alone: Z quarter turn, x axis to y.
        LayerCase{"off", 0, 0.0f, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {10, 0, 0}}},
        LayerCase{"unknown mode ignored", 7, 1.0f, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {10, 0, 0}}},
        // Layer x pose: X quarter turn first.
        LayerCase{"mode 0 full", 0, 1.0f, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {10, 4, 0}}},
        // Half the layer's angle: 45 degrees about X, then the pose.
        LayerCase{"mode 0 half", 0, 0.5f, {{0, 1, 0}, {-kH, 0, kH}, {kH, 0, kH}, {10, 2, 0}}},
        // Pose x layer: the Z quarter turn first.
        LayerCase{"mode 2 full", 2, 1.0f, {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {10, 4, 0}}},
        LayerCase{"mode 2 half", 2, 0.5f, {{0, kH, kH}, {-1, 0, 0}, {0, -kH, kH}, {10, 2, 0}}},
        // Halfway between the two quarter turns, the quaternion (1, 0, 1, 2) / sqrt 6,
        // and halfway from (10, 0, 0) to (0, 4, 0).
        LayerCase{"mode 1 half",
                  1,
                  0.5f,
                  {{2 * kT, 2 * kT, kT}, {-2 * kT, kT, 2 * kT}, {kT, -2 * kT, 2 * kT}, {5, 2, 0}}},
        LayerCase{"mode 1 full", 1, 1.0f, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 4, 0}}}));

TEST_F(TwoBones, ZeroWeightSwitchesALayerOffAndLaterLayersStillApply) {
    SetLayer(0, kQuarterX, {0, 4, 0}, 1.0f, 0);
    EXPECT_EQ(arm->activeLayers, 1u);
    SetLayer(3, {0, 0, 0, 1}, {0, 0, 5}, 1.0f, 0);
    EXPECT_EQ(arm->activeLayers, 9u);
    ASSERT_EQ(Bone_SetLayerWeight(arm, 0.0f, 0), 1);
    EXPECT_EQ(arm->activeLayers, 8u);
    Skeleton_UpdatePose(skeleton, motion.item(), matrices, 0.0f);
    Matrix world;
    Bone_GetMatrix(arm, &world);
    EXPECT_NEAR(world.m[0][1], 1.0f, 1e-6f);  // no X turn
    EXPECT_EQ(world.m[3][1], 0.0f);
    EXPECT_EQ(world.m[3][2], 5.0f);
}

TEST_F(TwoBones, ABoneWithoutATrackTakesTheIdentityAndIgnoresItsLayers) {
    TestMotion rootOnly;
    const Quaternion quarterY{0, kS, 0, kS};
    rootOnly.AddTrack("Root", {0, 0, 0}, quarterY);
    rootOnly.AddTrack("Tail", {1, 2, 3}, kQuarterX);  // a bone the skeleton lacks
    SetLayer(0, kQuarterX, {0, 4, 0}, 1.0f, 0);
    Skeleton_UpdatePose(skeleton, rootOnly.item(), matrices, 0.0f);
    Matrix world;
    Bone_GetMatrix(arm, &world);
    // The arm's local matrix is the identity: its world is the root's turn,
    // with no offset from the root and no layer turn.
    const float rows[4][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}};
    ExpectRows(world, rows, "arm without a track under a turned root");
    // The skin matrix moves the joint at (10, 0, 0) to the root's origin.
    Vector3 joint;
    Vec3_TransformPoint(&joint, Vector3(10, 0, 0), matrices->matrices[1]);
    EXPECT_NEAR(joint.x, 0.0f, 1e-5f);
    EXPECT_NEAR(joint.y, 0.0f, 1e-5f);
    EXPECT_NEAR(joint.z, 0.0f, 1e-5f);
}

TEST_F(TwoBones, AFreshSkeletonKeepsTheMeshMatricesUntilTheFirstPose) {
    TestMesh stored{{{"Root", -1, {0, 0, 0}}, {"Arm", 0, {10, 0, 0}}}};
    for (Bone* bone : stored.item()->bones) {
        Mat4_Translation(&bone->local, 1, 2, 3);
        Mat4_Translation(&bone->world, 4, 5, 6);
    }
    Skeleton* fresh = Mesh_CreateSkeleton(stored.item());
    ASSERT_NE(fresh, nullptr);
    for (uint32_t i = 0; i < 2; ++i) {
        const Bone* bone = Skeleton_GetBone(fresh, i);
        EXPECT_EQ(bone->local.m[3][0], 1.0f) << i;
        EXPECT_EQ(bone->local.m[3][2], 3.0f) << i;
        Matrix world;
        ASSERT_EQ(Bone_GetMatrix(bone, &world), 1);
        EXPECT_EQ(world.m[3][1], 5.0f) << i;
        EXPECT_EQ(world.m[3][2], 6.0f) << i;
    }
    Skeleton_UpdatePose(fresh, motion.item(), matrices, 0.0f);
    Matrix world;
    Bone_GetMatrix(Skeleton_GetBone(fresh, 1), &world);
    EXPECT_EQ(world.m[3][0], 10.0f);  // posed from the arm's track
    Skeleton_Destroy(fresh);
}

TEST(Skeleton, MadeFromTheMeshBonesWithTheirChildren) {
    TestMesh mesh{{{"Pelvis", -1, {0, 90, 0}}, {"L_Thigh", 0, {-10, 90, 0}}, {"R_Thigh", 0, {10, 90, 0}},
                   {"L_Calf", 1, {-10, 50, 0}}}};
    mesh.item()->bones[3]->activeLayers = 2;
    mesh.item()->bones[3]->layers[1].weight = 0.25f;
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(Skeleton_GetBoneCount(skeleton), 4u);
    Bone* pelvis = Skeleton_GetBone(skeleton, 0);
    EXPECT_STREQ(Bone_GetName(pelvis), "Pelvis");
    ASSERT_EQ(pelvis->children.size(), 2u);
    EXPECT_STREQ(Bone_GetName(pelvis->children[1]), "R_Thigh");
    EXPECT_NE(pelvis, mesh.item()->bones[0]);  // a copy of its own
    Bone* calf = Skeleton_FindBone(skeleton, "L_Calf");
    EXPECT_EQ(calf, Skeleton_GetBone(skeleton, 3));
    EXPECT_EQ(calf->parent, 1);
    EXPECT_EQ(calf->activeLayers, 2u);
    EXPECT_EQ(calf->layers[1].weight, 0.25f);
    EXPECT_EQ(Skeleton_GetBone(skeleton, 4), nullptr);
    EXPECT_EQ(Skeleton_FindBone(skeleton, "l_calf"), nullptr);
    Skeleton_Destroy(skeleton);

    TestMesh rigid{{}};
    EXPECT_EQ(Mesh_CreateSkeleton(rigid.item()), nullptr);
    EXPECT_EQ(Mesh_AllocBoneMatrices(rigid.item()), nullptr);
    EXPECT_EQ(Mesh_CreateSkeleton(nullptr), nullptr);
    EXPECT_EQ(Skeleton_GetBoneCount(nullptr), 0u);
    EXPECT_EQ(Skeleton_GetBone(nullptr, 0), nullptr);
    EXPECT_EQ(Bone_GetName(nullptr), nullptr);
    Skeleton_Destroy(nullptr);
}

TEST(Skeleton, BoneSettersRefuseNullBonesAndLayersPastThree) {
    Bone bone;
    Matrix m;
    EXPECT_EQ(Bone_GetMatrix(nullptr, &m), 0);
    EXPECT_EQ(Bone_SetLayerWeight(nullptr, 1.0f, 0), 0);
    EXPECT_EQ(Bone_SetLayerRotation(nullptr, kQuarterX, 0), 0);
    EXPECT_EQ(Bone_SetLayerPosition(&bone, {1, 2, 3}, 4), 0);
    EXPECT_EQ(Bone_SetLayerBlendMode(&bone, 1, 0xFFFFFFFF), 0);
    EXPECT_EQ(Bone_SetLayerWeight(&bone, 1.0f, 4), 0);
    EXPECT_EQ(bone.activeLayers, 0u);
    EXPECT_EQ(Bone_SetLayerWeight(&bone, -0.5f, 2), 1);
    EXPECT_EQ(bone.activeLayers, 4u);
    EXPECT_EQ(bone.layers[2].weight, -0.5f);
}

TEST(Skeleton, PoseDoesNothingWithoutItsArguments) {
    TestMesh mesh{{{"Root", -1, {0, 0, 0}}}};
    TestMotion motion;
    motion.AddTrack("Root", {5, 5, 5}, {0, 0, 0, 1});
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    BoneMatrices* matrices = Mesh_AllocBoneMatrices(mesh.item());
    Skeleton_UpdatePose(skeleton, nullptr, matrices, 0.0f);
    Skeleton_UpdatePose(skeleton, motion.item(), nullptr, 0.0f);
    Skeleton_UpdatePose(nullptr, motion.item(), matrices, 0.0f);
    EXPECT_EQ(skeleton->bones[0]->world.m[3][0], 0.0f);
    EXPECT_EQ(matrices->matrices[0].m[3][0], 0.0f);
    Skeleton_UpdatePose(skeleton, motion.item(), matrices, 0.0f);
    EXPECT_EQ(matrices->matrices[0].m[3][0], 5.0f);
    Skeleton_FreeBoneMatrices(matrices);
    Skeleton_Destroy(skeleton);
}

}  // namespace
