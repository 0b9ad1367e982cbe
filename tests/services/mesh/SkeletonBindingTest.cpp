#include "services/mesh/Skeleton.h"
#include "tests/services/mesh/SkeletonTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Every bone name the body parts know, after a root of their own.
std::vector<TestBone> EveryNamedBone() {
    static std::vector<std::string> names;
    if (names.empty()) {
        names = {"Bip01", "Spine1", "Spine2", "Spine3", "Neck", "Head", "HeadNub"};
        for (const char* side : {"L", "R"}) {
            for (const char* part : {"_Clavicle", "_UpperArm", "_Forearm", "_Hand"})
                names.push_back(side + std::string(part));
            for (int finger = 0; finger < 5; ++finger) {
                for (const char* joint : {"", "1", "2"}) {
                    names.push_back(side + std::string("_Finger") + std::to_string(finger) + joint);
                }
            }
        }
        for (const char* prefix : {"", "R_", "L_"}) {
            names.push_back(prefix + std::string("Tail"));
            for (int i = 1; i <= 4; ++i) names.push_back(prefix + std::string("Tail") + std::to_string(i));
        }
    }
    std::vector<TestBone> bones;
    for (const std::string& name : names) bones.push_back({name.c_str(), bones.empty() ? -1 : 0, {0, 0, 0}});
    return bones;
}

struct PartCase {
    uint32_t part;
    uint32_t count;
    const char* first;
    const char* last;
};

class BodyPart : public testing::TestWithParam<PartCase> {};

TEST_P(BodyPart, BindsItsBonesInListOrder) {
    const PartCase& c = GetParam();
    TestMesh mesh(EveryNamedBone());
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    BoneLayerBinding* binding = Skeleton_CreateBodyPartBinding(skeleton, c.part, 2, 1);
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->entryCount, c.count);
    EXPECT_EQ(binding->layer, 2u);
    EXPECT_EQ(binding->blendMode, 1u);
    if (c.count > 0) {
        EXPECT_EQ(binding->entries[0].boneName, c.first);
        EXPECT_EQ(binding->entries[c.count - 1].boneName, c.last);
        EXPECT_EQ(binding->entries[0].bone, Skeleton_FindBone(skeleton, c.first));
    }
    for (uint32_t i = 0; i < binding->entryCount; ++i) {
        EXPECT_EQ(binding->entries[i].factor, 1.0f);
        EXPECT_STREQ(Bone_GetName(binding->entries[i].bone), binding->entries[i].boneName.c_str());
        for (uint32_t j = 0; j < i; ++j) EXPECT_NE(binding->entries[i].bone, binding->entries[j].bone);
    }
    BoneLayerBinding_Destroy(binding);
    Skeleton_Destroy(skeleton);
}

INSTANTIATE_TEST_SUITE_P(Skeleton, BodyPart,
                         testing::Values(PartCase{1, 14, "Spine1", "R_Hand"}, PartCase{2, 6, "Spine1", "HeadNub"},
                                         PartCase{3, 19, "L_Clavicle", "L_Finger42"},
                                         PartCase{4, 19, "R_Clavicle", "R_Finger42"},
                                         PartCase{5, 25, "Spine1", "R_Finger42"}, PartCase{6, 15, "Tail", "L_Tail4"},
                                         PartCase{7, 12, "Spine1", "R_Hand"}, PartCase{8, 44, "Spine1", "L_Finger42"},
                                         PartCase{9, 0, "", ""}, PartCase{255, 60, "Bip01", "L_Tail4"}));

TEST(Skeleton, PartsOutsideTheTableBindNothing) {
    TestMesh mesh(EveryNamedBone());
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    for (uint32_t part : {0u, 10u, 100u, 254u, 256u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Skeleton_CreateBodyPartBinding(skeleton, part, 0, 0), nullptr) << part;
    }
    EXPECT_EQ(Skeleton_CreateBodyPartBinding(nullptr, 1, 0, 0), nullptr);
    Skeleton_Destroy(skeleton);
}

TEST(Skeleton, BonesTheFigureLacksAreLeftOut) {
    TestMesh mesh({{"Pelvis", -1, {0, 95, 0}}, {"Spine1", 0, {0, 105, 0}}, {"Neck", 1, {0, 150, 0}},
                   {"Head", 2, {0, 160, 0}}});
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    BoneLayerBinding* binding = Skeleton_CreateBodyPartBinding(skeleton, 2, 0, 0);
    ASSERT_NE(binding, nullptr);
    ASSERT_EQ(binding->entryCount, 3u);
    EXPECT_EQ(binding->entries[1].boneName, "Neck");
    BoneLayerBinding_Destroy(binding);
    Skeleton_Destroy(skeleton);
}

class Binding : public testing::Test {
protected:
    TestMesh mesh{{{"Root", -1, {0, 0, 0}}, {"Arm", 0, {10, 0, 0}}, {"Hand", 1, {20, 0, 0}}}};
    Skeleton* skeleton = Mesh_CreateSkeleton(mesh.item());
    Bone* root = Skeleton_FindBone(skeleton, "Root");
    Bone* arm = Skeleton_FindBone(skeleton, "Arm");
    Bone* hand = Skeleton_FindBone(skeleton, "Hand");
    void TearDown() override { Skeleton_Destroy(skeleton); }
};

TEST_F(Binding, WeightAndModeReachEveryBoundBoneAndDestroySwitchesTheLayerOff) {
    BoneLayerBinding* binding = Skeleton_CreateBodyPartBinding(skeleton, kBodyPartAll, 3, 1);
    ASSERT_NE(binding, nullptr);
    ASSERT_EQ(binding->entryCount, 3u);
    binding->entries[2].factor = 0.5f;  // a share of the weight, as a body list may give
    Bone_SetLayerWeight(root, 1.0f, 0);
    BoneLayerBinding_SetWeight(binding, 0.8f);
    EXPECT_EQ(arm->layers[3].weight, 0.8f);
    EXPECT_EQ(hand->layers[3].weight, 0.4f);
    EXPECT_EQ(arm->layers[3].blendMode, 1u);
    EXPECT_EQ(root->activeLayers, 9u);
    BoneLayerBinding_SetBlendMode(binding, 2);
    EXPECT_EQ(binding->blendMode, 2u);
    EXPECT_EQ(hand->layers[3].blendMode, 2u);
    // A mode changed on a bone is set again from the binding with the weight.
    Bone_SetLayerBlendMode(arm, 0, 3);
    BoneLayerBinding_SetWeight(binding, 0.0f);
    EXPECT_EQ(arm->layers[3].blendMode, 2u);
    EXPECT_EQ(arm->activeLayers, 0u);
    BoneLayerBinding_SetWeight(binding, 1.0f);
    BoneLayerBinding_Destroy(binding);
    EXPECT_EQ(arm->layers[3].weight, 0.0f);
    EXPECT_EQ(root->activeLayers, 1u);
    EXPECT_EQ(hand->activeLayers, 0u);
}

TEST_F(Binding, ALayerOutsideTheBonesIsNeverWritten) {
    BoneLayerBinding* binding = Skeleton_CreateBodyPartBinding(skeleton, kBodyPartAll, 9, 0);
    ASSERT_NE(binding, nullptr);
    BoneLayerBinding_SetWeight(binding, 1.0f);
    EXPECT_EQ(arm->activeLayers, 0u);
    binding->layer = 0xFFFFFFFF;
    Bone_SetLayerWeight(arm, 0.5f, 1);
    BoneLayerBinding_Destroy(binding);
    EXPECT_EQ(arm->layers[1].weight, 0.5f);
    BoneLayerBinding_SetWeight(nullptr, 1.0f);
    BoneLayerBinding_SetBlendMode(nullptr, 1);
    BoneLayerBinding_ApplyMotion(nullptr, nullptr, 0.0f);
    BoneLayerBinding_Destroy(nullptr);
}

TEST_F(Binding, ApplyMotionWritesTheTrackPoseIntoTheLayerOfBonesWithATrack) {
    TestMotion motion;
    KeyTrack* track = motion.AddTrack("Arm", {10, 0, 0}, {0, 0, 0, 1});
    track->positionKeys.push_back({{10, 6, 0}, 1.0f, 0});
    track->rotationKeys.push_back({{0, 0, 1, 0}, 1.0f, 0});
    KeyTrack_ComputeInterpolation(track);
    motion.AddTrack("Tail", {1, 1, 1}, {1, 0, 0, 0});
    motion.item()->loaded = 0;  // not loaded by this call: a load would fail without a file

    BoneLayerBinding* binding = Skeleton_CreateBodyPartBinding(skeleton, kBodyPartAll, 1, 0);
    Bone_SetLayerPosition(hand, {7, 7, 7}, 1);
    BoneLayerBinding_ApplyMotion(binding, motion.item(), 0.5f);
    EXPECT_EQ(arm->layers[1].translation.y, 3.0f);
    EXPECT_NEAR(arm->layers[1].rotation.z, std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(hand->layers[1].translation.x, 7.0f);  // no track: untouched
    EXPECT_EQ(root->layers[1].rotation.w, 1.0f);
    EXPECT_EQ(motion.item()->loaded, 0u);
    BoneLayerBinding_Destroy(binding);
}

}  // namespace
