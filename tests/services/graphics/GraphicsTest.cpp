#include "services/graphics/Graphics.h"

#include "platform/Window.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

HWND MakeWindow(int width, int height) {
    Platform_RegisterClass(PlatformWindowClass{"GraphicsTest", NoProcedure});
    return Platform_CreateWindow("GraphicsTest", "GraphicsTest", 0, 0, width, height);
}

uint32_t BackBufferPixel(int x, int y) {
    std::vector<uint32_t> pixels;
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    EXPECT_TRUE(device->ReadBackBuffer(&pixels));
    return pixels[static_cast<size_t>(y) * device->GetPresentParameters().BackBufferWidth + x];
}

// Runs first, before any device exists in the process.
TEST(Graphics, CallsWithoutDeviceReturnZero) {
    ASSERT_EQ(CQVGraphics::Create(), 1);
    CQVGraphics* g = CQVGraphics::GetInstance();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->GetDevice(), nullptr);
    EXPECT_EQ(g->Clear(0), 0);
    EXPECT_EQ(g->ClearDepth(), 0);
    EXPECT_EQ(g->BeginScene(), 0);
    EXPECT_EQ(g->EndScene(), 0);
    EXPECT_EQ(g->Present(), 0);
    EXPECT_EQ(g->GetViewportWidth(), 0u);
    EXPECT_EQ(g->HandleDeviceLost(), 1);
    EXPECT_EQ(CQVGraphics::Create(), 1);
    EXPECT_EQ(CQVGraphics::GetInstance(), g);  // created once
}

TEST(Graphics, FormatSearchTakesTheLastCandidateThatPasses) {
    CQVGraphics::Create();
    CQVGraphics* g = CQVGraphics::GetInstance();
    D3DFORMAT color = 1, depth = 1;
    // 16 bits: R5G6B5 and X1R5G5B5 pass, the alpha formats are no display formats.
    ASSERT_EQ(g->FindFormat(800, 600, 16, 16, &color, &depth), 1);
    EXPECT_EQ(color, D3DFMT_X1R5G5B5);
    EXPECT_EQ(depth, D3DFMT_D16_LOCKABLE);  // D15S1 fails
    ASSERT_EQ(g->FindFormat(800, 600, 32, 32, &color, &depth), 1);
    EXPECT_EQ(color, D3DFMT_X8R8G8B8);
    EXPECT_EQ(depth, D3DFMT_D24S8);  // D24X4S4 fails
    ASSERT_EQ(g->FindFormat(800, 600, 24, 24, &color, &depth), 1);
    EXPECT_EQ(color, D3DFMT_X8R8G8B8);
    // Another colour depth leaves the format 0 and still searches the depth format.
    ASSERT_EQ(g->FindFormat(800, 600, 8, 32, &color, &depth), 1);
    EXPECT_EQ(color, D3DFMT_UNKNOWN);
    EXPECT_EQ(depth, D3DFMT_D24S8);
    // Another depth-buffer depth gives depth format 0.
    ASSERT_EQ(g->FindDepthFormat(8, D3DFMT_X8R8G8B8, &depth), 1);
    EXPECT_EQ(depth, D3DFMT_UNKNOWN);
}

TEST(Graphics, GammaRampEntries) {
    D3DGAMMARAMP ramp;
    CQVGraphics::BuildGammaRamp(1, 1, 1, 0, 0, 0, &ramp);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(ramp.green[i], i * 256);
    CQVGraphics::BuildGammaRamp(2, 1, 1, 0, 0, -10, &ramp);
    EXPECT_EQ(ramp.red[127], 65024);
    for (int i = 128; i < 256; ++i) ASSERT_EQ(ramp.red[i], 65535);
    // A negative add gives 0 for the first entries.
    for (int i = 0; i <= 10; ++i) ASSERT_EQ(ramp.blue[i], 0);
    EXPECT_EQ(ramp.blue[11], 256);
    CQVGraphics::BuildGammaRamp(0.5f, 1, 1, 0.25f, 0, 0, &ramp);
    EXPECT_EQ(ramp.red[3], 448);  // (1.5 + 0.25) * 256
}

TEST(Graphics, WindowDeviceClearsPresentsAndAppliesTheRamp) {
    CQVGraphics::Create();
    CQVGraphics* g = CQVGraphics::GetInstance();
    HWND window = MakeWindow(96, 64);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(g->CreateWindowDevice(window), 1) << g->GetErrorText();
    EXPECT_EQ(g->GetWindow(), window);
    PlatformDevice* device = g->GetDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetPresentParameters().BackBufferWidth, 96u);  // the client size
    EXPECT_EQ(device->GetPresentParameters().BackBufferHeight, 64u);
    EXPECT_EQ(g->GetViewportWidth(), 96u);
    EXPECT_EQ(g->IsVSyncPresent(), 1);
    EXPECT_EQ(g->GetTargetFrameRate(), 30);
    EXPECT_EQ(g->HandleDeviceLost(), 1);

    EXPECT_EQ(g->EndScene(), 0);  // no scene begun
    EXPECT_EQ(g->BeginScene(), 1);
    EXPECT_EQ(g->Clear(0x00406080), 1);
    EXPECT_EQ(g->EndScene(), 1);
    EXPECT_EQ(g->EndScene(), 0);
    EXPECT_EQ(BackBufferPixel(50, 30), 0xFF406080u);
    // Depth and stencil only: the colour stays.
    EXPECT_EQ(g->ClearDepth(), 1);
    EXPECT_EQ(BackBufferPixel(50, 30), 0xFF406080u);

    g->SetGammaRamp(2.0f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f);
    const uint32_t presented = device->GetPresentCount();
    EXPECT_EQ(g->Present(), 1);
    EXPECT_EQ(device->GetPresentCount(), presented + 1);
    PlatformSurface* front = nullptr;
    ASSERT_EQ(device->CreateImageSurface(96, 64, D3DFMT_A8R8G8B8, &front), D3D_OK);
    ASSERT_EQ(device->GetFrontBuffer(front), D3D_OK);
    uint32_t pixel = 0;
    std::memcpy(&pixel, front->bits.data() + 30 * front->pitch + 50 * 4, 4);
    front->Release();
    EXPECT_EQ(pixel, 0xFF806040u);
}

TEST(Graphics, FullScreenDeviceTakesTheRequestedModeAndFormat) {
    CQVGraphics::Create();
    CQVGraphics* g = CQVGraphics::GetInstance();
    HWND window = MakeWindow(64, 64);
    ASSERT_EQ(g->CreateFullScreenDevice(320, 240, 16, 32, window), 1) << g->GetErrorText();
    PlatformDevice* device = g->GetDevice();
    EXPECT_EQ(device->GetPresentParameters().BackBufferWidth, 320u);
    EXPECT_EQ(device->GetPresentParameters().BackBufferFormat, static_cast<D3DFORMAT>(D3DFMT_X1R5G5B5));
    EXPECT_EQ(g->IsVSyncPresent(), 0);  // presents immediately
    g->Clear(0x00FF8040);
    // The back buffer holds 5 bits per channel; its surface reads in that format.
    PlatformSurface* surface = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint16_t value = 0;
    std::memcpy(&value, locked.pBits, 2);
    surface->UnlockRect();
    surface->Release();
    EXPECT_EQ(value, 0x8000 | 31 << 10 | 16 << 5 | 8);

    // A mode no display has fails with the layer's text and the platform's reason.
    EXPECT_EQ(g->CreateFullScreenDevice(0, 240, 32, 32, window), 0);
    EXPECT_STREQ(g->GetErrorText(), "Create Full Screeen Device: display mode 0x240 not available");
    EXPECT_EQ(g->GetDevice(), nullptr);
    EXPECT_EQ(g->Clear(0), 0);
}

}  // namespace
