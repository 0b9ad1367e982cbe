// A device and its resources outlive the window they were made for: a game
// whose window closed still releases its actors' buffers afterwards.

#include "platform/Window.h"
#include "platform/graphics/GraphicsDevice.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <string>

namespace {

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

// SDL unloads the GL driver with the last GL window; while a device lives
// the driver stays, so releasing a buffer after the window is gone calls
// into loaded code (a sanitizer build never unloads libraries, so this is
// the one place a release build's crash shows in every build).
TEST(DeviceLifetime, TheDriverStaysLoadedUntilTheLastDeviceGoes) {
    std::string error;
    PlatformGraphicsSystem* system = PlatformGraphicsSystem::Create(&error);
    ASSERT_NE(system, nullptr) << error;
    ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"DeviceLifetime", NoProcedure}));
    HWND window = Platform_CreateWindow("DeviceLifetime", "DeviceLifetime", 0, 0, 64, 48);
    ASSERT_NE(window, nullptr) << Platform_GetError();
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    PlatformDevice* device = nullptr;
    ASSERT_EQ(system->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x24, &parameters, &device), D3D_OK)
        << system->GetLastError();
    PlatformVertexBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(48, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer), D3D_OK);
    uint8_t* bytes = nullptr;
    ASSERT_EQ(buffer->Lock(0, 48, &bytes, 0), D3D_OK);
    buffer->Unlock();

    Platform_DestroyWindow(window);
    EXPECT_NE(SDL_GL_GetProcAddress("glDeleteBuffers"), nullptr) << SDL_GetError();
    buffer->Release();
    device->Release();
    // The last device gone, the driver goes with the window it was loaded for.
    EXPECT_EQ(SDL_GL_GetProcAddress("glDeleteBuffers"), nullptr);
    delete system;
}

}  // namespace
