// Library items on a real device: the sample data's items made through the
// texture, sound and motion services, and the device state that a reset
// takes away (lights, fog) set again from what the engine kept.

#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "services/render/Render.h"
#include "services/sound/Sound.h"
#include "tests/services/library/LibraryFixture.h"
#include "tests/services/library/SampleFolder.h"

#include <bit>
#include <filesystem>

namespace {

class LibraryDevice : public LibraryFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(CQVEngine::Create(), 1);
        if (CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
        Platform_RegisterClass(PlatformWindowClass{"LibraryTest", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
        HWND window = Platform_CreateWindow("LibraryTest", "LibraryTest", 0, 0, 64, 48);
        s_Window = window;
        // Sound on: the tests' environment always has OpenAL Soft's silent device.
        ASSERT_EQ(CQVEngine::GetInstance()->Init(64, 48, 32, 32, ENGINE_WINDOWED, window), 1)
            << CQVEngine::GetInstance()->GetErrorText();
    }
    // What the suite opened is closed for the tests after it in the same
    // process. The window's procedure answers nothing, a close request
    // included: left open, it would be the first window and take the quit
    // meant for a game a later test runs. The sound device left open would
    // give that game (sound off) private sound copies it never frees.
    static void TearDownTestSuite() {
        Sound_CloseDevice();
        Platform_DestroyWindow(s_Window);
        s_Window = nullptr;
    }
    static inline HWND s_Window = nullptr;
    void SetUp() override {
        LibraryFixture::SetUp();
        ASSERT_NE(engine()->sound.device, nullptr);
    }
    static PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }
};

// Every sample item whose service exists loads from the files the sample
// tool wrote: still textures of each image format, the logo as a video
// texture, materials with their textures, sounds whole and streamed, the walk.
TEST_F(LibraryDevice, TheSampleItemsLoadFromTheSampleFiles) {
    SampleFolder sample;
    ASSERT_TRUE(sample.Make()) << "qv_make_sample failed";
    engine()->SetBaseFolder(sample.dir.string());
    ASSERT_EQ(engine()->SerializeLibrary(SERIALIZE_READ), 1) << Error();
    uint32_t loaded[LIBRARY_KIND_LIMIT] = {};
    for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) {
        CQVLibraryItem* item = g_Library.At(id);
        if (item == nullptr || item->kind == LIBRARY_MESH || item->kind == LIBRARY_FONT) continue;
        EXPECT_EQ(item->Load(), 1) << item->name << ": " << Error();
        loaded[item->kind] += item->loaded;
    }
    // The sample level adds items of its own beside these.
    EXPECT_GE(loaded[LIBRARY_TEXTURE], 5u);
    for (uint32_t id = 10; id <= 14; ++id) EXPECT_NE(ItemAt<CQVTextureItem>(id)->texture, nullptr) << id;
    EXPECT_EQ(ItemAt<CQVTextureItem>(13)->texture->levelDesc.Width, 64u);
    EXPECT_GT(ItemAt<CQVMotionItem>(500)->tracks.size(), 10u);
    EXPECT_GE(loaded[LIBRARY_SOUND], 3u);
    for (uint32_t id = 300; id <= 302; ++id) EXPECT_NE(ItemAt<CQVSoundItem>(id)->buffer, nullptr) << id;
    // A blended material stored without buckets draws in the blended one.
    EXPECT_EQ(static_cast<CQVMaterialItem*>(engine()->FindItem("glass", LIBRARY_MATERIAL))->bucketMask, 128u);

    // Unloading gives the device objects back.
    EXPECT_EQ(Library_UnloadItem(g_Library.At(100)), 1);
    EXPECT_EQ(Library_UnloadItem(g_Library.At(11)), 1);
    EXPECT_EQ(ItemAt<CQVTextureItem>(11)->texture, nullptr);
    EXPECT_EQ(ItemAt<CQVTextureItem>(11)->loaded, 0u);
    Library_Reset();
    engine()->SetBaseFolder("");
}

// A mesh whose file cannot be read stays unloaded, to be tried again.
TEST_F(LibraryDevice, AMeshThatFailsToLoadStaysUnloaded) {
    CQVMeshItem mesh;
    mesh.fileName = "missing.qvm";
    mesh.subsetInfos.resize(1);
    EXPECT_EQ(mesh.Load(), 0);
    EXPECT_EQ(mesh.loaded, 0u);
    EXPECT_NE(Error(), "");
}

TEST_F(LibraryDevice, LightsAndFogComeBackAfterAReset) {
    CQVLightItem first, second;
    first.lightNumber = 0;
    first.light.Range = 333.0f;
    second.lightNumber = 3;
    second.light.Type = D3DLIGHT_SPOT;
    second.light.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    CQVRender::Get().Lights().lights = {&first, &second};
    const uint32_t fogColor = CQVRender::Get().View().fogColor, fogEnabled = CQVRender::Get().View().fogEnabled;
    const float fogNear = CQVRender::Get().View().fogNear, fogFar = CQVRender::Get().View().fogFar;

    for (const uint32_t enabled : {1u, 0u}) {
        CQVRender::Get().View().fogColor = 0x00FF8040;
        CQVRender::Get().View().fogNear = 10.0f;
        CQVRender::Get().View().fogFar = 500.0f;
        CQVRender::Get().View().fogEnabled = enabled;
        // What a reset leaves: default lights and fog states.
        const D3DLIGHT8 blank{};
        Device()->SetLight(0, &blank);
        Device()->SetLight(3, &blank);
        for (auto state : {D3DRS_FOGCOLOR, D3DRS_FOGSTART, D3DRS_FOGEND, D3DRS_FOGENABLE})
            Device()->SetRenderState(state, 0);

        engine()->RestoreDeviceState();
        D3DLIGHT8 light{};
        ASSERT_EQ(Device()->GetLight(0, &light), D3D_OK);
        EXPECT_EQ(light.Range, 333.0f);
        EXPECT_EQ(light.Type, static_cast<uint32_t>(D3DLIGHT_POINT));
        ASSERT_EQ(Device()->GetLight(3, &light), D3D_OK);
        EXPECT_EQ(light.Type, static_cast<uint32_t>(D3DLIGHT_SPOT));
        EXPECT_EQ(light.Diffuse.g, 0.25f);
        uint32_t value = 0;
        Device()->GetRenderState(D3DRS_FOGCOLOR, &value);
        EXPECT_EQ(value, 0x00FF8040u);
        Device()->GetRenderState(D3DRS_FOGSTART, &value);
        EXPECT_EQ(std::bit_cast<float>(value), 10.0f);
        Device()->GetRenderState(D3DRS_FOGEND, &value);
        EXPECT_EQ(std::bit_cast<float>(value), 500.0f);
        // Fog is switched on again only when it was on.
        Device()->GetRenderState(D3DRS_FOGENABLE, &value);
        EXPECT_EQ(value, enabled);
    }
    CQVRender::Get().Lights().lights.clear();
    CQVRender::Get().View().fogColor = fogColor;
    CQVRender::Get().View().fogEnabled = fogEnabled;
    CQVRender::Get().View().fogNear = fogNear;
    CQVRender::Get().View().fogFar = fogFar;
}

}  // namespace
