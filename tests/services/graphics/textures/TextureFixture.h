#pragma once
// One small window with the engine's windowed device for every test of the
// binary; each test runs in a fresh temporary folder (engine paths resolve
// there) on a movie clock of its own, which Movie_Update's waits move on.

#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MovieWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

inline std::atomic<double> g_TestClock{0.0};
inline std::atomic<uint32_t> g_TestSleeps{0};

class TextureTest : public testing::Test {
protected:
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 72;
    std::filesystem::path root, previous;

    static double Now() { return g_TestClock.load(); }
    static void Sleep(uint32_t milliseconds) {
        g_TestClock = g_TestClock.load() + milliseconds / 1000.0;
        ++g_TestSleeps;
    }

    static void SetUpTestSuite() {
        if (CQVGraphics::GetInstance() != nullptr && CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
        ASSERT_EQ(CQVGraphics::Create(), 1);
        Platform_RegisterClass(PlatformWindowClass{"TextureTest", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT {
                                                       return 0;
                                                   }});
        HWND window = Platform_CreateWindow("TextureTest", "TextureTest", 0, 0, kWidth, kHeight);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(CQVGraphics::GetInstance()->CreateWindowDevice(window), 1)
            << CQVGraphics::GetInstance()->GetErrorText();
    }

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv_textures_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        std::filesystem::create_directories("Data");
        g_TestClock = 1000.0;
        g_TestSleeps = 0;
        Movie_SetClock(Now, Sleep);
    }
    void TearDown() override {
        Texture_Reset();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }

    PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }

    // Waits in real time (generously) for what a movie's worker is to do.
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        for (int i = 0; i < 5000; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return condition();
    }

    // Level 0 of a texture as ARGB (A8R8G8B8 textures).
    static std::vector<uint32_t> Texels(PlatformTexture* texture) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const PlatformTexture::Level& level = texture->levels[0];
        std::vector<uint32_t> texels(size_t{level.width} * level.height);
        for (uint32_t y = 0; y < level.height; ++y)
            std::memcpy(texels.data() + size_t{y} * level.width, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        size_t{level.width} * 4);
        texture->UnlockRect(0);
        return texels;
    }

    // The last presented image.
    std::vector<uint32_t> Screen() {
        PlatformSurface* surface = nullptr;
        EXPECT_EQ(Device()->CreateImageSurface(kWidth, kHeight, D3DFMT_A8R8G8B8, &surface), D3D_OK);
        EXPECT_EQ(Device()->GetFrontBuffer(surface), D3D_OK);
        std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
        std::memcpy(pixels.data(), surface->bits.data(), pixels.size() * 4);
        surface->Release();
        return pixels;
    }

    static std::string WriteClip(const std::string& path, const std::vector<uint32_t>& colours, uint32_t width = 64,
                                 uint32_t height = 48) {
        MovieClip clip;
        clip.settings.width = width;
        clip.settings.height = height;
        clip.frameColours = colours;
        std::string error;
        EXPECT_TRUE(MovieWriter_WriteClip(path, clip, &error)) << error;
        return path;
    }
};

// Channels within tolerance (movies pass through YUV).
inline bool CloseTo(uint32_t got, uint32_t want, int tolerance = 10) {
    for (int shift : {0, 8, 16, 24}) {
        const int a = static_cast<int>((got >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

inline const std::vector<uint32_t> kClipColours = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                                                   0xFFFFFFFFu, 0xFF808080u, 0xFFFFFF00u};
