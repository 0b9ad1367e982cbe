// The SkinObject's pose with the figure's own motions: bone actors that
// follow their bones, body-part layers, the root bone's output actor, a
// copy and its bone actors, and, on the offscreen device, the skinning of
// the mesh just before it is drawn, once per frame, and a slave skinned
// with its master's pose.

#include "kernel/base/FrameTime.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/Skeleton.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"
#include "tests/actors/characters/SkinObjectTestSupport.h"
#include "tests/kernel/base/TempFolder.h"
#include "tools/fixtures/RenderScene.h"

#include <cmath>
#include <unistd.h>

namespace {

constexpr uint32_t kFirstFigureMotion = 200;

class SkinPoseTest : public SkinObjectFixture {
protected:
    void SetUp() override {
        SkinObjectFixture::SetUp();
        if (HasFatalFailure()) return;
        uint32_t id = kFirstFigureMotion;
        for (const NamedMotion& motion : MotBuild_FigureMotions(figure.bones))
            AddMotion(id++, "Fig_" + motion.name, motion.file);
    }
    // A SkinObject of the figure with its motions, first step taken.
    CQVSkinObject* MakeFigure(const char* name, CQVActor* parent = nullptr) {
        CQVSkinObject* skin = MakeSkin(name, parent);
        if (skin == nullptr) return nullptr;
        skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("Fig"));
        skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr);
        // The first step starts "N_Neutral" and takes 5 ms more than the clock moved.
        Step(skin, 0.0f);
        Send(skin, MSG_SET_CURRENT_TIME, 0.0f);
        return skin;
    }
    // The figure's pose in the motion at the time, computed apart.
    std::vector<Matrix> PoseOf(const char* motion, float time) {
        auto* mesh = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh));
        Skeleton* skeleton = Mesh_CreateSkeleton(mesh);
        BoneMatrices* matrices = Mesh_AllocBoneMatrices(mesh);
        CQVLibraryItem* item = g_Library.Find(std::string("Fig_") + motion, LIBRARY_MOTION);
        Skeleton_UpdatePose(skeleton, static_cast<CQVMotionItem*>(item), matrices, time);
        std::vector<Matrix> pose;
        for (uint32_t i = 0; i < Skeleton_GetBoneCount(skeleton); ++i) {
            Matrix m;
            Bone_GetMatrix(Skeleton_GetBone(skeleton, i), &m);
            pose.push_back(m);
        }
        Skeleton_FreeBoneMatrices(matrices);
        Skeleton_Destroy(skeleton);
        return pose;
    }
    static void ExpectNear(const Matrix& a, const Matrix& b, float tolerance, const std::string& what) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << what << " [" << r << "][" << c << "]";
        }
    }
    static Vector3 Translation(const Matrix& m) { return Vector3(m.m[3][0], m.m[3][1], m.m[3][2]); }
    static Vector3 BonePosition(CQVSkinObject* skin, const char* bone) {
        Matrix m;
        Mat4_Identity(&m);
        Bone_GetMatrix(Skeleton_FindBone(skin->GetSkeleton(), bone), &m);
        return Translation(m);
    }
};

// The sheet's button makes "Bones" and one base actor per track of
// "N_Neutral" under it (pressed twice, each once); after a pose each bone
// actor holds its bone's matrix as its local transform.
TEST_F(SkinPoseTest, BoneActorsTakeTheirBonesMatricesAfterAPose) {
    CQVSkinObject* skin = MakeFigure("Skin");
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_470, nullptr), 2);
    EXPECT_EQ(skin->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_470, nullptr), 2);
    CQVActor* bones = skin->FindChild("Bones");
    ASSERT_NE(bones, nullptr);
    ASSERT_EQ(bones->m_Children.size(), figure.bones.size());
    EXPECT_EQ(skin->m_BoneSync.size(), figure.bones.size());
    EXPECT_TRUE(skin->m_SkinFlags & SKIN_BONE_SYNC);

    ASSERT_EQ(SetMotion(skin, "R_Forward"), 1);
    Send(skin, MSG_SET_CURRENT_TIME, 0.15f);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    const std::vector<Matrix> pose = PoseOf("R_Forward", 0.15f);
    for (size_t i = 0; i < figure.bones.size(); ++i) {
        CQVActor* actor = CQVActor::FindChildByName(bones, figure.bones[i].name.c_str());
        ASSERT_NE(actor, nullptr) << figure.bones[i].name;
        ExpectNear(actor->GetWorldMatrix(), pose[i], 1e-3f, figure.bones[i].name);
    }
    // Once per frame: a second "Update Bones" in the frame changes nothing.
    CQVActor* hand = CQVActor::FindChildByName(bones, "L_Hand");
    const Vector3 before = hand->m_Position;
    Send(skin, MSG_SET_CURRENT_TIME, 0.45f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    EXPECT_EQ(hand->m_Position.z, before.z);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    EXPECT_GT(std::fabs(hand->m_Position.z - before.z), 1.0f);

    struct {
        const char* name;
        Bone* bone;
    } ask{"Head", nullptr};
    EXPECT_EQ(skin->HandleMessage(MSG_GET_BONE, Args_Of(&ask)), 1);
    EXPECT_EQ(ask.bone, Skeleton_FindBone(skin->GetSkeleton(), "Head"));
    ask = {"Tail", reinterpret_cast<Bone*>(1)};
    skin->HandleMessage(MSG_GET_BONE, Args_Of(&ask));
    EXPECT_EQ(ask.bone, nullptr);

    // A bone actor that goes takes its entry with it.
    g_ActorSystem->DeleteActor(hand);
    EXPECT_EQ(skin->m_BoneSync.size(), figure.bones.size() - 1);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
}

// A layer over a body part moves its bones by its motion and weight; at
// weight 0 it is left out.
TEST_F(SkinPoseTest, ABodyPartLayerMovesOnlyItsBonesByItsWeight) {
    CQVSkinObject* skin = MakeFigure("Skin");
    ASSERT_NE(skin, nullptr);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    const Vector3 leftHand = BonePosition(skin, "L_Hand"), rightHand = BonePosition(skin, "R_Hand");
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 2);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 3);  // the left arm
    Send(skin, MSG_SET_LAYER_BLEND_VALUE, 1.0f);
    ASSERT_EQ(SetMotion(skin, "J_Neutral"), 1);
    Send(skin, MSG_SET_CURRENT_TIME, 0.45f);  // arms forward at the top of the jump
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 0);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    ASSERT_NE(skin->m_Layers[2].binding, nullptr);
    EXPECT_GT(std::fabs(BonePosition(skin, "L_Hand").z - leftHand.z), 20.0f) << "the left arm follows the layer";
    EXPECT_NEAR(BonePosition(skin, "R_Hand").z, rightHand.z, 1e-3f) << "the right arm is not in the body part";
    Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 2);
    Send(skin, MSG_SET_LAYER_BLEND_VALUE, 0.0f);
    Advance(0.0f);
    skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
    EXPECT_NEAR(BonePosition(skin, "L_Hand").z, leftHand.z, 1e-3f) << "at weight 0 the layer is left out";
}

// With an output actor the root track moves that actor each draw pass while
// the mesh's root bone stays where it is.
TEST_F(SkinPoseTest, TheRootTrackMovesTheOutputActorAndTheRootBoneStays) {
    AddMotion(300, "Tst_N_Neutral", StillMotion(1.0f, Vector3(0, 0, 0), Vector3(0, 0, 100)));
    CQVSkinObject* skin = MakeSkin("Skin");
    ASSERT_NE(skin, nullptr);
    skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("Tst"));
    skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr);
    Step(skin, 0.0f);
    Send(skin, MSG_SET_CURRENT_TIME, 0.0f);
    CQVActor* output = MakeBase("Output");
    EXPECT_EQ(Send(skin, MSG_SET_BIP01_OUTPUT, output), 1);
    EXPECT_EQ(Ask<CQVActor*>(skin, MSG_GET_BIP01_OUTPUT), output);
    EXPECT_NE(skin->m_RootOutput.trace.find("  _To:Output"), std::string::npos);
    for (float t : {0.25f, 0.5f}) {
        Advance(0.25f);
        skin->Update();
        skin->HandleMessage(MSG_UPDATE_BONES, nullptr);
        EXPECT_NEAR(output->m_Position.z, 100.0f * t, 1e-3f) << t;
        EXPECT_NEAR(output->m_Position.y, 95.0f, 1e-3f);
        const Vector3 root = BonePosition(skin, "Bip01");
        EXPECT_NEAR(root.z, 0.0f, 1e-4f) << t;
        EXPECT_NEAR(root.y, 0.0f, 1e-4f) << t;
    }
    CQVActor* none = nullptr;
    Send(skin, MSG_SET_BIP01_OUTPUT, none);
    EXPECT_EQ(Ask<CQVActor*>(skin, MSG_GET_BIP01_OUTPUT, output), nullptr);
    EXPECT_NE(skin->m_RootOutput.trace.find("  _To:NULL"), std::string::npos);
    Advance(0.25f);
    skin->Update();
    EXPECT_NEAR(output->m_Position.z, 50.0f, 1e-3f) << "no longer moved";
}

// A copy made from a SkinObject shares its motions and bone actors but
// makes its own skeleton: its bone actors follow the copy's pose even once
// the source has gone.
TEST_F(SkinPoseTest, ACopyPosesItsBoneActorsWithItsOwnSkeleton) {
    CQVSkinObject* source = MakeFigure("Source");
    ASSERT_NE(source, nullptr);
    source->HandleMessage(MSG_CREATE_BONESYNC_ACTORS_470, nullptr);
    ASSERT_EQ(SetMotion(source, "R_Forward"), 1);
    Send<uint32_t>(source, MSG_SET_CURRENT_LAYER, 4);
    Advance(0.0f);
    source->HandleMessage(MSG_UPDATE_BONES, nullptr);
    CQVActor* output = MakeBase("Output");
    Send(source, MSG_SET_BIP01_OUTPUT, output);
    const Sphere sphere{Vector3(0, 90, 0), 120.0f};
    source->HandleMessage(MSG_SET_SKIN_CLIPPING_SPHERE, Args_Of(&sphere));

    auto* copy = dynamic_cast<CQVSkinObject*>(
        g_ActorSystem->CreateActor(CLASS_SKINOBJECT, "Copy", source, scenery, ACTOR_ID_ANY, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Motions.size(), source->m_Motions.size());
    EXPECT_EQ(Playing(copy), "R_Forward");
    EXPECT_EQ(copy->m_CurrentLayer, 0u);
    EXPECT_EQ(copy->GetSkeleton(), nullptr);
    EXPECT_EQ(copy->GetBoneMatrices(), nullptr);
    EXPECT_EQ(copy->m_RootOutput.target, nullptr);
    EXPECT_EQ(copy->m_RootOutput.owner, copy);
    EXPECT_EQ(copy->ClippingSphere(), &copy->m_ClippingSphere) << "the copy hands skinning its own sphere";
    EXPECT_EQ(copy->m_ClippingSphere.radius, 120.0f);
    ASSERT_EQ(copy->m_BoneSync.size(), figure.bones.size());
    EXPECT_EQ(copy->m_BoneSync.front().link.owner, copy);
    EXPECT_TRUE(copy->m_SkinFlags & SKIN_RESOURCES_LOADED);

    // The bone actors outlive the source.
    CQVActor* bones = source->FindChild("Bones");
    ASSERT_NE(bones, nullptr);
    g_ActorSystem->MoveActor(bones, scenery);
    g_ActorSystem->DeleteActor(source);
    Send(copy, MSG_SET_CURRENT_TIME, 0.2f);
    Advance(0.0f);
    copy->HandleMessage(MSG_UPDATE_BONES, nullptr);
    ASSERT_NE(copy->GetSkeleton(), nullptr);
    const std::vector<Matrix> pose = PoseOf("R_Forward", 0.2f);
    for (size_t i = 0; i < figure.bones.size(); ++i) {
        CQVActor* actor = CQVActor::FindChildByName(bones, figure.bones[i].name.c_str());
        ASSERT_NE(actor, nullptr);
        ExpectNear(actor->GetWorldMatrix(), pose[i], 1e-3f, figure.bones[i].name);
    }
}

TEST_F(SkinPoseTest, TheClippingSphereIsStoredAndAnswered) {
    CQVSkinObject* skin = MakeFigure("Skin");
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->ClippingSphere(), nullptr);
    const Sphere sphere{Vector3(1, 90, 2), 130.0f};
    skin->HandleMessage(MSG_SET_SKIN_CLIPPING_SPHERE, Args_Of(&sphere));
    ASSERT_NE(skin->ClippingSphere(), nullptr);
    const Sphere answer = Ask<Sphere>(skin, MSG_GET_SKIN_CLIPPING_SPHERE);
    EXPECT_EQ(answer.centre.y, 90.0f);
    EXPECT_EQ(answer.radius, 130.0f);
}

// On the offscreen device: the figure's mesh read from its file, skinned
// into its own vertex buffer just before it is drawn.
class SkinDrawTest : public SkinPoseTest {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_EQ(RenderScene_StartEngine(64, 48, &error), 1) << error;
    }
    void SetUp() override {
        SkinPoseTest::SetUp();
        if (HasFatalFailure()) return;
        folder = std::filesystem::temp_directory_path() /
                 ("qv_skin_draw_" + std::to_string(::getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name() + ".qvm");
        ASSERT_TRUE(Qvm_WriteFile(folder.string(), figure));
        ASSERT_EQ(RenderQueue_CreateBuckets(CQVRender::Get().Queue()), 1);
        ReadFigure(kFigureMesh);
        ReadFigure(kFigureMesh + 1);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove(folder, error);
        SkinPoseTest::TearDown();
    }
    void ReadFigure(uint32_t id) {
        auto* mesh = new CQVMeshItem;
        mesh->name = "Figure " + std::to_string(id);
        ASSERT_EQ(MeshFile_ReadQvm(folder.c_str(), &mesh->skinned, &mesh->subsets, &mesh->bones), 1);
        mesh->subsetInfos.resize(mesh->subsets.size());
        mesh->loaded = 1;
        mesh->shared = 1;
        g_Library.SetItem(id, mesh);
    }
    static std::vector<uint8_t> Vertices(uint32_t id) {
        return static_cast<CQVMeshItem*>(g_Library.At(id))->subsets[0].vertexBuffer->bytes;
    }

    std::filesystem::path folder;
};

// The draw pass gives each render item the SkinObject's preparation as its
// draw callback; two items drawn in one frame pose and skin once.
TEST_F(SkinDrawTest, TheMeshIsSkinnedJustBeforeItIsDrawnOncePerFrame) {
    CQVSkinObject* skin = MakeFigure("Skin");
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(SetMotion(skin, "R_Forward"), 1);
    Advance(0.0f);
    skin->Update();
    ASSERT_FALSE(skin->m_Entries.empty());
    RenderItem* item = skin->m_Entries[0].renderItem;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->drawCallback, &RenderItem_PrepareOwner);
    EXPECT_EQ(item->owner, static_cast<CQVActor*>(skin));

    const std::vector<uint8_t> bind = Vertices(kFigureMesh);
    Advance(0.25f);
    item->drawCallback(item);
    const std::vector<uint8_t> posed = Vertices(kFigureMesh);
    EXPECT_NE(posed, bind);
    EXPECT_NEAR(skin->m_Layers[0].time, 0.25f, 1e-6f) << "the preparation runs the motion step";
    Send(skin, MSG_SET_CURRENT_TIME, 0.45f);
    item->drawCallback(item);
    EXPECT_EQ(Vertices(kFigureMesh), posed) << "a second item in the frame does not pose or skin again";
    Advance(0.0f);
    item->drawCallback(item);
    EXPECT_NE(Vertices(kFigureMesh), posed);
}

// A slave under its master's tree runs no motion step and no pose of its
// own: it is skinned with the master's matrices. Without a master it keeps
// its mesh as it is; a master that goes leaves no trace.
TEST_F(SkinDrawTest, ASlaveIsSkinnedWithItsMastersPose) {
    CQVSkinObject* master = MakeFigure("Master");
    ASSERT_NE(master, nullptr);
    CQVActor* holder = MakeBase("Holder", master);
    CQVSkinObject* slave = MakeFigure("Slave", holder);
    ASSERT_NE(slave, nullptr);
    CQVMeshItem* own = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh + 1));
    slave->HandleMessage(MSG_SET_MESH, Args_Of(&own));
    Send<uint32_t>(slave, MSG_SET_SKIN_SLAVE, 1);
    slave->HandleMessage(MSG_PRECALCULATE, nullptr);
    ASSERT_EQ(slave->GetMaster(), master);
    ASSERT_EQ(SetMotion(master, "R_Forward"), 1);
    ASSERT_EQ(SetMotion(slave, "J_Neutral"), 1);

    Advance(0.2f);
    master->PrepareRender();
    slave->PrepareRender();
    EXPECT_EQ(Vertices(kFigureMesh + 1), Vertices(kFigureMesh));
    EXPECT_EQ(slave->m_Layers[0].time, 0.0f) << "a slave runs no motion step";
    EXPECT_EQ(slave->GetBoneMatrices(), nullptr);

    const std::vector<uint8_t> before = Vertices(kFigureMesh + 1);
    g_ActorSystem->MoveActor(slave, scenery);
    g_ActorSystem->DeleteActor(master);
    EXPECT_EQ(slave->GetMaster(), nullptr);
    Advance(0.2f);
    slave->PrepareRender();
    EXPECT_EQ(Vertices(kFigureMesh + 1), before);
}

}  // namespace
