#pragma once
// The engine on an 800 x 600 windowed device with its default font, shared
// by the overlay and font tests of the binary; each test starts with empty
// overlay lists, an empty library and a fresh temporary folder.

#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/overlay/Overlay.h"
#include "services/overlay/FontRasterizer.h"
#include "tests/kernel/base/TempFolder.h"
#include "tools/content/ImageWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The engine on its 800 x 600 device, made once for the binary.
inline void OverlayTest_StartEngine() {
    ASSERT_EQ(CQVEngine::Create(), 1);
    if (CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
    Platform_RegisterClass(
        PlatformWindowClass{"OverlayTest", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
    HWND window = Platform_CreateWindow("OverlayTest", "OverlayTest", 0, 0, 300, 200);
    Platform_SetWindowFrame(window, 5, 35, 5, 5);
    CQVEngine* engine = CQVEngine::GetInstance();
    ASSERT_EQ(engine->Init(800, 600, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, window), 1) << engine->GetErrorText();
}

class OverlayDeviceTest : public TempFolderTest {
protected:
    static constexpr uint32_t kWidth = 800, kHeight = 600;

    static void SetUpTestSuite() { OverlayTest_StartEngine(); }
    void SetUp() override {
        TempFolderTest::SetUp();
        Engine()->overlayQuads.clear();
        Engine()->overlayTexts.clear();
        Engine()->spriteSlot.material = Engine()->screenSlot.material = nullptr;
        g_Library.Clear();
        if (Font_GetDefault() == nullptr) Font_CreateDefault();
        Font_SetCurrent(nullptr);
        g_FontBatchLog = &batches;
    }
    void TearDown() override {
        g_FontBatchLog = nullptr;
        g_Library.Clear();
        TempFolderTest::TearDown();
    }

    static CQVEngine* Engine() { return CQVEngine::GetInstance(); }
    static PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }

    // The back buffer as ARGB rows.
    static std::vector<uint32_t> Screen() {
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(Device()->ReadBackBuffer(&pixels));
        return pixels;
    }
    static uint32_t At(const std::vector<uint32_t>& screen, uint32_t x, uint32_t y) {
        return screen[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFF;
    }
    // Inked pixels (anything not black) inside a rectangle.
    static int Ink(const std::vector<uint32_t>& screen, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
        int count = 0;
        for (uint32_t y = top; y < bottom; ++y)
            for (uint32_t x = left; x < right; ++x) count += At(screen, x, y) != 0;
        return count;
    }

    // A texture item of the library from a TGA file of the pixels, kept at
    // the file's size and format.
    CQVTextureItem* AddTexture(uint32_t id, const std::vector<uint32_t>& pixels, uint32_t width, uint32_t height) {
        const std::string file = (root / ("texture" + std::to_string(id) + ".tga")).string();
        EXPECT_TRUE(ImageWriter_Save(file, ImageWriter_Tga(pixels.data(), width, height, TgaWriteOptions{})));
        auto* item = new CQVTextureItem();
        item->path = file;
        item->textureType = 4;
        item->width = width;
        item->height = height;
        g_Library.SetItem(id, item);
        return item;
    }

    std::vector<uint32_t> batches;  // vertex counts of the text draws
};
