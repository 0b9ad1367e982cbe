// What a player sees of a mesh object: drawn by its own update step on the
// offscreen device and read back through the screen capture.

#include "actors/scene/Object.h"
#include "services/render/Render.h"
#include "services/render/View.h"
#include "services/storage/ScreenCapture.h"
#include "tests/actors/scene/ObjectTestSupport.h"
#include "tools/fixtures/RenderScene.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class ObjectDrawTest : public ObjectSceneFixture {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_EQ(RenderScene_StartEngine(kWidth, kHeight, &error), 1) << error;
    }
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        engine = CQVEngine::GetInstance();
        ASSERT_EQ(RenderQueue_CreateBuckets(CQVRender::Get().Queue()), 1);
        engine->SetFogEnable(0);
        // Full white ambient light: a lit material shows its own ambient colour.
        engine->SetAmbientColor(1, 1, 1, 1);
        engine->SetAspectRatio(4.0f / 3.0f);
        engine->SetFov(1.5707964f);
        engine->SetNearPlane(1.5f);
        engine->SetFarPlane(4000.0f);
        engine->ForceRenderStates(0xFFFFFFFF);
        const D3DPRESENT_PARAMETERS& p = RenderScene_Device()->GetPresentParameters();
        D3DVIEWPORT8 viewport{0, 0, p.BackBufferWidth, p.BackBufferHeight, 0.0f, 1.0f};
        RenderScene_Device()->SetViewport(&viewport);
        // The engine camera at the origin looking along +z.
        engine->SetCameraPositionRotation(Vector3(0, 0, 0), Quaternion{0, 0, 0, 1});

        // A square whose subset names a lit orange material of the library.
        CQVMaterialItem* orange = RenderScene_MakeMaterial(8, 1.0f, 0.5f, 0.0f, true);
        orange->name = "Orange";
        g_Library.SetItem(20, orange);
        CQVMeshItem* square = RenderScene_MakeMesh(MeshBuild_FacingSquare(20.0f));
        ASSERT_NE(square, nullptr);
        square->name = "Square";
        square->subsetInfos[0].shapeParam = 20;
        g_Library.SetItem(10, square);

        object = static_cast<CQVObject*>(Make(CLASS_OBJECT, "Sign"));
        ASSERT_NE(object, nullptr);
        ASSERT_EQ(object->HandleMessage(MSG_SET_RESOURCE, Args_Of("Square")), 1);
        Send(object, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 100.0f));
    }
    void TearDown() override {
        Screen_Reset();
        ObjectSceneFixture::TearDown();
    }

    // One frame: the object's draw-pass step, the buckets, then the capture.
    uint32_t CapturedCentre() {
        object->Update();
        engine->SetClearColor(0xFF000020);
        EXPECT_EQ(engine->BeginFrame(1, 1), 1);
        engine->DrawRenderBuckets();
        engine->EndFrame(0);
        Screen_CaptureBackBuffer(kWidth, kHeight);
        const ImageBuffer* capture = Screen_GetCapture();
        if (capture == nullptr) return 0;
        const uint8_t* pixel = capture->pixels.get() + (kHeight / 2) * capture->pitch + (kWidth / 2) * 4;
        return static_cast<uint32_t>(pixel[2]) << 16 | static_cast<uint32_t>(pixel[1]) << 8 | pixel[0];
    }
    static void ExpectColor(uint32_t actual, uint32_t expected, int tolerance) {
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(static_cast<int>(actual >> shift & 0xFF), static_cast<int>(expected >> shift & 0xFF), tolerance)
                << std::hex << actual << " against " << expected;
        }
    }

    CQVEngine* engine = nullptr;
    CQVObject* object = nullptr;
};

TEST_F(ObjectDrawTest, AMeshObjectInFrontOfTheCameraShowsItsMaterialColour) {
    ExpectColor(CapturedCentre(), 0xFF8000, 3);
    // Hidden, it queues nothing: the clear colour shows.
    Send<uint32_t>(object, MSG_SET_VISIBLE, 0);
    ExpectColor(CapturedCentre(), 0x000020, 3);
    // Behind the camera it is culled.
    Send<uint32_t>(object, MSG_SET_VISIBLE, 1);
    Send(object, MSG_SET_POSITION, Vector3(0.0f, 0.0f, -100.0f));
    ExpectColor(CapturedCentre(), 0x000020, 3);
}

}  // namespace
