// The jointed figure and its walk, both made by the content tools, loaded
// from their files, posed, skinned and drawn on the offscreen device: what
// the device shows follows the skinned vertices frame by frame.

#include "services/library/Library.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/Motion.h"
#include "services/mesh/Skeleton.h"
#include "tests/services/mesh/MeshTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A side view from +x, four world units to a pixel: screen x is world z
// (the figure faces and walks along -z, to the left), screen y world y from
// -5 to 187.
constexpr float kUnitsPerPixel = 4.0f;

struct Extent {
    int left = 1 << 30, right = -(1 << 30), top = 1 << 30, bottom = -(1 << 30);
    int Width() const { return right - left; }
};

class FigureWalk : public MeshDeviceTest {
protected:
    CQVMeshItem* figure = nullptr;
    CQVMotionItem* walk = nullptr;
    Skeleton* skeleton = nullptr;
    BoneMatrices* matrices = nullptr;

    void SetUp() override {
        MeshDeviceTest::SetUp();
        ResetGlobals();
        CQVEngine::GetInstance()->baseFolder = root.string();
        std::filesystem::create_directories("Data");
        const QvmFile file = MeshBuild_Figure(2);
        ASSERT_TRUE(Qvm_WriteFile("Data/figure.qvm", file));
        ASSERT_EQ(MotWriter_Write("Data/walk.mot", MotBuild_Walk(file.bones)), 1);

        figure = new CQVMeshItem;
        figure->name = "Figure";
        figure->fileName = "figure.qvm";
        g_Library.SetItem(1, figure);
        walk = new CQVMotionItem;
        walk->name = "N_Walk";
        walk->fileName = "walk.mot";
        g_Library.SetItem(2, walk);
        LoadFigure();
        skeleton = Mesh_CreateSkeleton(figure);
        matrices = Mesh_AllocBoneMatrices(figure);
        ASSERT_NE(skeleton, nullptr);
        ASSERT_NE(matrices, nullptr);
        EXPECT_EQ(Motion_GetTrackCount(walk), file.bones.size());
    }
    void TearDown() override {
        Skeleton_FreeBoneMatrices(matrices);
        Skeleton_Destroy(skeleton);
        Library_Reset();
        MeshDeviceTest::TearDown();
    }
    void LoadFigure() {
        ASSERT_EQ(MeshFile_ReadQvm("Data/figure.qvm", &figure->skinned, &figure->subsets, &figure->bones), 1)
            << ErrorText();
        figure->subsetInfos.resize(figure->subsets.size());
        figure->loaded = 1;
    }

    // The figure skinned at the time and drawn white on black.
    void DrawAt(float time) {
        Skeleton_UpdatePose(skeleton, walk, matrices, time);
        Mesh_ApplySkin(figure, matrices, 0, nullptr);
        PlatformDevice* device = Device();
        const D3DPRESENT_PARAMETERS& p = device->GetPresentParameters();
        D3DVIEWPORT8 viewport{0, 0, p.BackBufferWidth, p.BackBufferHeight, 0.0f, 1.0f};
        device->SetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->SetRenderState(D3DRS_LIGHTING, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        Matrix identity, projection{};
        Mat4_Identity(&identity);
        const float halfWidth = 0.5f * kUnitsPerPixel * static_cast<float>(p.BackBufferWidth);
        const float halfHeight = 0.5f * kUnitsPerPixel * static_cast<float>(p.BackBufferHeight);
        projection.m[2][0] = 1.0f / halfWidth;          // screen x from world z
        projection.m[1][1] = 1.0f / halfHeight;         // screen y from world y
        projection.m[3][1] = -(halfHeight - 5.0f) / halfHeight;
        projection.m[0][2] = 1.0f / 400.0f;             // depth from world x
        projection.m[3][2] = 0.5f;
        projection.m[3][3] = 1.0f;
        device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&identity));
        device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&identity));
        device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&projection));
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        for (const MeshSubset& subset : figure->subsets) {
            device->SetVertexShader(subset.vertexFormat);
            device->SetStreamSource(0, subset.vertexBuffer, subset.stride);
            device->SetIndices(subset.indexBuffer, 0);
            ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, subset.vertexCount, 0, subset.triangleCount),
                      D3D_OK);
        }
        device->EndScene();
    }
    // Where the lit pixels lie.
    Extent Drawn() {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(Device()->ReadBackBuffer(&pixels));
        const int width = static_cast<int>(Device()->GetPresentParameters().BackBufferWidth);
        Extent e;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if ((pixels[i] & 0xFFFFFF) == 0) continue;
            const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
            e.left = std::min(e.left, x);
            e.right = std::max(e.right, x);
            e.top = std::min(e.top, y);
            e.bottom = std::max(e.bottom, y);
        }
        return e;
    }
    // Where the skinned vertices fall on the screen, in whole pixels.
    Extent Expected() {
        const D3DPRESENT_PARAMETERS& p = Device()->GetPresentParameters();
        Box box{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}};
        for (const MeshSubset& subset : figure->subsets) {
            for (uint32_t v = 0; v < subset.vertexCount; ++v) {
                const Vector3 position = Vertex_GetPosition(subset.vertexBuffer->bytes.data(), subset.stride, v);
                Vec3_Minimize(&box.min, box.min, position);
                Vec3_Maximize(&box.max, box.max, position);
            }
        }
        const float centreX = 0.5f * static_cast<float>(p.BackBufferWidth);
        const float baseY = static_cast<float>(p.BackBufferHeight) + (-5.0f) / kUnitsPerPixel;
        Extent e;
        e.left = static_cast<int>(std::lround(centreX + box.min.z / kUnitsPerPixel));
        e.right = static_cast<int>(std::lround(centreX + box.max.z / kUnitsPerPixel)) - 1;
        e.top = static_cast<int>(std::lround(baseY - box.max.y / kUnitsPerPixel));
        e.bottom = static_cast<int>(std::lround(baseY - box.min.y / kUnitsPerPixel)) - 1;
        return e;
    }
    // The screen column of world z = 0.
    static int Centre() { return static_cast<int>(Device()->GetPresentParameters().BackBufferWidth / 2); }
    void ExpectDrawnAsSkinned(const char* when) {
        const Extent drawn = Drawn(), expected = Expected();
        EXPECT_NEAR(drawn.left, expected.left, 1) << when;
        EXPECT_NEAR(drawn.right, expected.right, 1) << when;
        EXPECT_NEAR(drawn.top, expected.top, 1) << when;
        EXPECT_NEAR(drawn.bottom, expected.bottom, 1) << when;
    }
};

TEST_F(FigureWalk, TheDrawnFigureFollowsTheWalk) {
    // The stride starts with both thighs straight down.
    DrawAt(0.0f);
    ExpectDrawnAsSkinned("start of the stride");
    const Extent start = Drawn();

    // A quarter into the stride the legs are spread: the left swung back, the right forward.
    DrawAt(0.25f);
    ExpectDrawnAsSkinned("legs spread");
    const Extent spread = Drawn();
    EXPECT_GE(spread.Width(), start.Width() + 8);
    EXPECT_LE(spread.left, Centre() - 9);   // a foot 36 units or more behind
    EXPECT_GE(spread.right, Centre() + 9);  // and one as far ahead

    // Half a stride on, the legs have changed places: the same spread, mirrored in time.
    DrawAt(0.75f);
    ExpectDrawnAsSkinned("legs spread the other way");
    EXPECT_NEAR(Drawn().Width(), spread.Width(), 1);

    // One stride is one second: the walk comes back to its start.
    DrawAt(1.0f);
    const Extent again = Drawn();
    EXPECT_EQ(again.left, start.left);
    EXPECT_EQ(again.right, start.right);
    EXPECT_EQ(again.top, start.top);
}

TEST_F(FigureWalk, AnUpperBodyLayerTurnsTheTorsoOnTopOfTheWalk) {
    DrawAt(0.0f);
    const Extent start = Drawn();
    BoneLayerBinding* upper = Skeleton_CreateBodyPartBinding(skeleton, 7, 0, BONE_LAYER_AFTER);
    ASSERT_NE(upper, nullptr);
    Bone* spine = Skeleton_FindBone(skeleton, "Spine1");
    Quaternion lean;
    Quat_FromAxisAngle(&lean, Vector3(-1, 0, 0), 1.2f);  // bent forward (towards -z) at the waist
    Bone_SetLayerRotation(spine, lean, 0);
    BoneLayerBinding_SetWeight(upper, 1.0f);
    DrawAt(0.0f);
    ExpectDrawnAsSkinned("leaning");
    const Extent leaning = Drawn();
    EXPECT_LE(leaning.left, Centre() - 10);  // the head reaches far forward
    EXPECT_GE(leaning.top, start.top + 8);    // and no longer stands tall

    BoneLayerBinding_Destroy(upper);
    DrawAt(0.0f);
    EXPECT_GT(Drawn().left, leaning.left);
}

}  // namespace
