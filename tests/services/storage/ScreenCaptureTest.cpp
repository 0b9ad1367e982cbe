#include "services/storage/ScreenCapture.h"

#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "tests/support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

namespace fs = std::filesystem;

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

HWND MakeWindow(int width, int height) {
    Platform_RegisterClass(PlatformWindowClass{"CaptureTest", NoProcedure});
    return Platform_CreateWindow("CaptureTest", "CaptureTest", 0, 0, width, height);
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One folder for this process's tests, removed when the process ends.
fs::path TempFolder() {
    struct Folder {
        fs::path path = fs::temp_directory_path() / ("qv_capture_" + std::to_string(getpid()));
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    fs::create_directories(folder.path);
    return folder.path;
}

struct LayoutCase {
    int32_t width, height, bits;
    int32_t bytesPerPixel, pitch, size;
};

class ImageLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(ImageLayout, FollowsTheSizeAndDepth) {
    const LayoutCase& c = GetParam();
    ImageBuffer image;
    ASSERT_TRUE(image.Create(c.width, c.height, c.bits));
    EXPECT_EQ(image.GetWidth(), c.width);
    EXPECT_EQ(image.GetHeight(), c.height);
    EXPECT_EQ(image.bytesPerPixel, c.bytesPerPixel);
    EXPECT_EQ(image.pitch, c.pitch);
    EXPECT_EQ(image.size, c.size);
}

INSTANTIATE_TEST_SUITE_P(Table, ImageLayout,
                         testing::Values(LayoutCase{4, 2, 32, 4, 16, 32}, LayoutCase{3, 5, 24, 3, 9, 45},
                                         LayoutCase{7, 1, 16, 2, 14, 14}, LayoutCase{0, 9, 32, 4, 0, 0}));

TEST(ImageBuffer, RefusesSizesItCannotHold) {
    ImageBuffer image;
    EXPECT_FALSE(image.Create(-1, 4, 32));
    EXPECT_FALSE(image.Create(4, 4, 12));
    EXPECT_FALSE(image.Create(4, 4, 0));
    EXPECT_FALSE(image.Create(50000, 50000, 32));  // more bytes than the 32-bit layout holds
    EXPECT_EQ(image.size, 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageBuffer, WritesATgaBottomRowFirst) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(4, 2, 32));
    for (int32_t i = 0; i < image.size; ++i) image.pixels[i] = static_cast<uint8_t>(i);
    const fs::path file = TempFolder() / "shot.tga";
    ASSERT_EQ(image.WriteTga(file.c_str()), 1);
    const std::vector<uint8_t> bytes = ReadFile(file);
    ASSERT_EQ(bytes.size(), 50u);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), header, 18), 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(bytes[18 + i], 16 + i) << "the second row comes first";
        EXPECT_EQ(bytes[34 + i], i);
    }
    // A file that cannot be created gives 0.
    EXPECT_EQ(image.WriteTga((TempFolder() / "no such folder" / "shot.tga").c_str()), 0);
}

TEST(ImageBuffer, WritesThroughEngineSeparators) {
    ImageBuffer image;
    ASSERT_TRUE(image.Create(1, 1, 32));
    const fs::path folder = TempFolder() / "Shots";
    fs::create_directories(folder);
    const std::string name = (TempFolder() / "shots").string() + "\\One.tga";
    ASSERT_EQ(image.WriteTga(name.c_str()), 1);
    EXPECT_EQ(fs::file_size(folder / "One.tga"), 22u);
}

// The device is the graphics layer's one device; each test makes its own.
class ScreenCapture : public testing::Test {
protected:
    void SetUp() override {
        Screen_Reset();
        ASSERT_EQ(CQVGraphics::Create(), 1);
    }
    void TearDown() override { Screen_Reset(); }

    PlatformDevice* MakeDevice(int width, int height) {
        CQVGraphics* g = CQVGraphics::GetInstance();
        EXPECT_EQ(g->CreateWindowDevice(MakeWindow(width, height)), 1) << g->GetErrorText();
        return g->GetDevice();
    }

    // Every pixel of the back buffer different from its neighbours.
    void DrawPattern(PlatformDevice* device, uint32_t width, uint32_t height) {
        PlatformTexture* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t pixel = 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x * 7 + y * 3) & 0xFF);
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &pixel, 4);
            }
        texture->UnlockRect(0);
        struct Vertex {
            float x, y, z, rhw;
            uint32_t color;
            float u, v;
        };
        const float w = static_cast<float>(width) - 0.5f, h = static_cast<float>(height) - 0.5f;
        const Vertex quad[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0},
                                {w, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0},
                                {-0.5f, h, 0, 1, 0xFFFFFFFF, 0, 1},
                                {w, h, 0, 1, 0xFFFFFFFF, 1, 1}};
        device->BeginScene();
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        device->SetTexture(0, nullptr);
        texture->Release();
    }

    static uint32_t CapturePixel(int32_t x, int32_t y) {
        uint32_t pixel = 0;
        const ImageBuffer* image = Screen_GetCapture();
        std::memcpy(&pixel, image->pixels.get() + y * image->pitch + x * 4, 4);
        return pixel;
    }
};

TEST_F(ScreenCapture, HalfSizeTakesEveryOtherPixel) {
    PlatformDevice* device = MakeDevice(640, 480);
    ASSERT_NE(device, nullptr);
    DrawPattern(device, 640, 480);
    std::vector<uint32_t> source;
    ASSERT_TRUE(device->ReadBackBuffer(&source));
    ASSERT_NE(source[5 * 640 + 3], source[5 * 640 + 4]);
    Screen_CaptureBackBuffer(320, 240);
    ASSERT_NE(Screen_GetCapture(), nullptr);
    ASSERT_EQ(Screen_GetCapture()->GetWidth(), 320);
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x)
            ASSERT_EQ(CapturePixel(x, y), source[static_cast<size_t>(2 * y) * 640 + 2 * x] | 0xFF000000u)
                << x << "," << y;
}

TEST_F(ScreenCapture, FractionsBlendNeighbours) {
    PlatformDevice* device = MakeDevice(640, 480);
    ASSERT_NE(device, nullptr);
    // Black left of column 320, white from it on.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const D3DRECT right{320, 0, 640, 480};
    device->Clear(1, &right, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    // Steps of 43690/32768: column 240 starts 32608/32768 of the way from 319 to 320.
    Screen_CaptureBackBuffer(480, 360);
    EXPECT_EQ(CapturePixel(239, 100), 0xFF000000u);
    EXPECT_EQ(CapturePixel(240, 100), 0xFFFDFDFDu);  // 255 x 32608 / 32768 = 253
    EXPECT_EQ(CapturePixel(241, 100), 0xFFFFFFFFu);
}

TEST_F(ScreenCapture, SameSizeReusesTheImageAnotherSizeStartsWhite) {
    // Without a device there is no back buffer to bound a capture by: none is made.
    CQVGraphics* g = CQVGraphics::GetInstance();
    EXPECT_EQ(g->CreateFullScreenDevice(0, 240, 32, 32, MakeWindow(8, 8)), 0);
    Screen_CaptureBackBuffer(8, 6);
    EXPECT_EQ(Screen_GetCapture(), nullptr);

    PlatformDevice* device = MakeDevice(64, 48);
    // A new image starts white; the screen then colours it.
    Screen_CaptureBackBuffer(8, 6);
    ASSERT_NE(Screen_GetCapture(), nullptr);
    ASSERT_NE(device, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    const ImageBuffer* first = Screen_GetCapture();
    first->pixels[3] = 0x12;  // the alpha byte of pixel (0, 0)
    Screen_CaptureBackBuffer(8, 6);
    EXPECT_EQ(Screen_GetCapture(), first);
    EXPECT_EQ(CapturePixel(0, 0), 0x12102030u) << "colour from the screen, alpha as it was";
    EXPECT_EQ(CapturePixel(7, 5), 0xFF102030u);

    // Zero sizes change nothing.
    Screen_CaptureBackBuffer(0, 6);
    Screen_CaptureBackBuffer(8, 0);
    EXPECT_EQ(Screen_GetCapture(), first);
    EXPECT_EQ(CapturePixel(0, 0), 0x12102030u);

    Screen_CaptureBackBuffer(16, 12);
    ASSERT_EQ(Screen_GetCapture()->GetWidth(), 16);
    EXPECT_EQ(CapturePixel(0, 0), 0xFF102030u);
}

TEST_F(ScreenCapture, SixteenBitBackBufferChannels) {
    CQVGraphics* g = CQVGraphics::GetInstance();
    ASSERT_EQ(g->CreateFullScreenDevice(320, 240, 16, 32, MakeWindow(64, 64)), 1) << g->GetErrorText();
    ASSERT_EQ(g->GetDevice()->GetPresentParameters().BackBufferFormat, static_cast<D3DFORMAT>(D3DFMT_X1R5G5B5));
    g->Clear(0x00FF8040);
    Screen_CaptureBackBuffer(160, 120);
    // Five bits a channel, each times 8.
    EXPECT_EQ(CapturePixel(80, 60), 0xFFF88040u);
}

TEST_F(ScreenCapture, NarrowBackBufferLeavesTheImageWhite) {
    PlatformDevice* device = MakeDevice(1, 16);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->GetPresentParameters().BackBufferWidth, 1u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    Screen_CaptureBackBuffer(1, 4);
    ASSERT_NE(Screen_GetCapture(), nullptr);
    EXPECT_EQ(CapturePixel(0, 3), 0xFFFFFFFFu);
}

// A capture samples the back buffer: one wider or taller than it is
// refused before its image is made, and an image already taken stays.
TEST_F(ScreenCapture, SizesBeyondTheBackBufferAreRefused) {
    PlatformDevice* device = MakeDevice(64, 48);
    ASSERT_NE(device, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    for (const auto& size : {std::pair{65, 48}, std::pair{64, 49}, std::pair{23000, 23000}}) {
        Screen_CaptureBackBuffer(size.first, size.second);
        EXPECT_EQ(Screen_GetCapture(), nullptr) << size.first << "x" << size.second;
    }
    Screen_CaptureBackBuffer(64, 48);
    const ImageBuffer* taken = Screen_GetCapture();
    ASSERT_NE(taken, nullptr);
    Screen_CaptureBackBuffer(10000, 10000);
    ASSERT_EQ(Screen_GetCapture(), taken);
    EXPECT_EQ(taken->GetWidth(), 64);
    EXPECT_EQ(CapturePixel(63, 47), 0xFF336699u);
}

TEST_F(ScreenCapture, SaveWritesOnlyAfterACapture) {
    const fs::path file = TempFolder() / "capture.tga";
    fs::remove(file);
    EXPECT_EQ(Screen_SaveCapture(file.c_str()), 0);
    EXPECT_FALSE(fs::exists(file));
    PlatformDevice* device = MakeDevice(64, 48);
    ASSERT_NE(device, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    Screen_CaptureBackBuffer(32, 24);
    ASSERT_EQ(Screen_SaveCapture(file.c_str()), 1);
    const std::vector<uint8_t> bytes = ReadFile(file);
    ASSERT_EQ(bytes.size(), 18u + 32 * 24 * 4);
    EXPECT_EQ(bytes[18], 0x99);
    EXPECT_EQ(bytes[19], 0x66);
    EXPECT_EQ(bytes[20], 0x33);
    EXPECT_EQ(bytes[21], 0xFF);
}

// A save goes through a new file beside the name: one that cannot be
// finished (as on a full disk) leaves the older picture whole and nothing
// else behind, and a link planted under the name is replaced, not followed.
TEST_F(ScreenCapture, ASaveReplacesTheOldFileOnlyWhenWhole) {
    const fs::path folder = TempFolder() / "saves";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "shot.tga";
    PlatformDevice* device = MakeDevice(64, 48);
    ASSERT_NE(device, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    Screen_CaptureBackBuffer(8, 8);
    ASSERT_EQ(Screen_SaveCapture(file.c_str()), 1);
    const std::vector<uint8_t> small = ReadFile(file);
    ASSERT_EQ(small.size(), 18u + 8 * 8 * 4);

    Screen_CaptureBackBuffer(64, 48);
    constexpr rlim_t kRoom = 4096;
    ASSERT_GT(18u + 64 * 48 * 4, kRoom);
    const int saved = FileSizeLimit_Run(kRoom, [&] { return Screen_SaveCapture(file.c_str()); });
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadFile(file), small);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "a temporary file is left";

    const fs::path victim = folder / "victim.txt";
    std::ofstream(victim) << "keep";
    fs::remove(file);
    fs::create_symlink(victim, file);
    ASSERT_EQ(Screen_SaveCapture(file.c_str()), 1);
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(fs::file_size(file), 18u + 64 * 48 * 4);
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

}  // namespace
