// Scenes of render items placed directly, drawn on the offscreen device: a
// lit, fogged mesh beside an unfogged one, and a whole game frame drawing
// what was queued.

#include "apps/game/FrameLoop.h"
#include "kernel/actors/DrawGroups.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/services/render/RenderTestSupport.h"

namespace {

class LitScene : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        // One point light far behind the camera: at the squares, 1000 away,
        // it gives half its colour (1 / (1 + 0.001 x 1000)) almost head on.
        light = engine->CreateLight();
        Light_SetPosition(light, Vector3(0, 0, -850));
        Light_SetRange(light, 2000.0f);
        Light_SetAttenuation0(light, 1.0f);
        Light_SetAttenuation1(light, 0.001f);
        Light_Apply(light);
        engine->EnableLight(light, 1);
        // Linear fog from 50 to 250 in blue: half at depth 150.
        engine->SetFogColor(0xFF0000FF);
        engine->SetFogNear(50.0f);
        engine->SetFogFar(250.0f);
        engine->SetFogEnable(1);
        CQVMeshItem* square = Mesh(MeshBuild_FacingSquare(20.0f));
        CQVMaterialItem* fogged = Material(8, 1, 1, 1, true);
        CQVMaterialItem* clear = Material(8, 1, 1, 1, true);
        clear->fogFlag = 0;
        foggedItem = Item(square, fogged, At(foggedAt));
        clearItem = Item(square, clear, At(clearAt));
    }
    uint32_t PixelAt(const Vector3& world, const std::vector<uint32_t>* image = nullptr) {
        Vector3 screen = world;
        Camera_ProjectToScreen(&screen);
        const int x = static_cast<int>(screen.x), y = static_cast<int>(screen.y);
        if (image != nullptr) return (*image)[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
        return RenderScene_Pixel(x, y) & 0xFFFFFF;
    }
    static void ExpectColor(uint32_t actual, uint32_t expected, int tolerance) {
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(static_cast<int>(actual >> shift & 0xFF), static_cast<int>(expected >> shift & 0xFF), tolerance)
                << std::hex << actual << " against " << expected;
        }
    }

    CQVLightItem* light = nullptr;
    RenderItem* foggedItem = nullptr;
    RenderItem* clearItem = nullptr;
    const Vector3 foggedAt{-30, 0, 150};
    const Vector3 clearAt{30, 0, 150};
};

TEST_F(LitScene, ALitMeshIsFoggedByItsDepthWhenItsMaterialAllows) {
    engine->QueueRenderItem(foggedItem, 0.0f, 1.0f);
    engine->QueueRenderItem(clearItem, 0.0f, 1.0f);
    DrawFrame();
    EXPECT_EQ(foggedItem->lightsUsed, 1u);
    ExpectColor(PixelAt(clearAt), 0x808080, 3);
    ExpectColor(PixelAt(foggedAt), 0x4040C0, 3);
}

TEST_F(LitScene, AnItemOutOfTheLightsReachStaysDark) {
    Light_SetRange(light, 900.0f);
    Light_Apply(light);
    engine->QueueRenderItem(clearItem, 0.0f, 1.0f);
    DrawFrame(0xFF202020);
    EXPECT_EQ(clearItem->lightsUsed, 0u);
    ExpectColor(PixelAt(clearAt), 0x000000, 0);
}

double SixtiethOfASecond() { return 1.0 / 60.0; }

// The game's frame draws what the draw pass queued: items queued before the
// frame stand in for the scene actors.
TEST_F(LitScene, TheGameFrameDrawsTheQueuedItems) {
    ActorClasses_SetTable(TEST_CLASSES, std::size(TEST_CLASSES), nullptr);
    ASSERT_EQ(RegisterActorClasses(), 1);
    DrawGroups_Reset();
    FrameClock_SetSource(&SixtiethOfASecond);
    engine->SetClearColor(0xFF000000);
    engine->QueueRenderItem(foggedItem, 0.0f, 1.0f);
    engine->QueueRenderItem(clearItem, 0.0f, 1.0f);
    ASSERT_EQ(FrameStep(g_ActorSystem), 1);
    EXPECT_EQ(foggedItem->queued, 0u);
    PlatformSurface* shown = nullptr;
    ASSERT_EQ(RenderScene_Device()->CreateImageSurface(width, height, D3DFMT_A8R8G8B8, &shown), D3D_OK);
    ASSERT_EQ(RenderScene_Device()->GetFrontBuffer(shown), D3D_OK);
    std::vector<uint32_t> image(static_cast<size_t>(width) * height);
    std::memcpy(image.data(), shown->bits.data(), image.size() * 4);
    shown->Release();
    ExpectColor(PixelAt(clearAt, &image), 0x808080, 3);
    ExpectColor(PixelAt(foggedAt, &image), 0x4040C0, 3);
    FrameClock_SetSource(nullptr);
    delete g_ActorSystem;
}

}  // namespace

namespace {

// A level's items prepared at load: their first frame builds nothing on the device.
TEST_F(RenderTest, PreparedItemsDrawWithoutBuildingInTheFrame) {
    RenderScene_AddTextureItem(5, 16, 16);
    CQVMaterialItem* material = Material(8, 0.7f, 0.2f, 0.9f, true);
    material->textureIds = {5};
    material->blendIndex = 3;  // "Add"
    material->stateFlagA = 1;  // two-sided
    material->specularEnable = 1;
    RenderItem* item = Item(Mesh(MeshBuild_Sphere(Vector3(0, 0, 0), 10.0f, 6, 8)), material, At(Vector3(0, 0, 80)));
    CQVLightItem* light = engine->CreateLight();
    Light_Apply(light);
    engine->EnableLight(light, 1);
    engine->SetFogFar(500.0f);
    engine->SetFogEnable(1);
    engine->PrepareRenderItems();
    const uint32_t builtInDraws = RenderScene_Device()->GetStatistics().programsBuiltInDraws;
    for (float alpha : {1.0f, 0.5f}) {
        engine->QueueRenderItem(item, 0.0f, alpha);
        DrawFrame();
    }
    EXPECT_EQ(RenderScene_Device()->GetStatistics().programsBuiltInDraws, builtInDraws);
}

}  // namespace
