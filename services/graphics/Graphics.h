#pragma once
// The engine's graphics layer: creates the one device (windowed or full
// screen) after choosing its formats, clears, begins and ends the scene,
// presents, sets the gamma ramp and answers viewport and window queries.
// Every failure writes the error text and returns 0.

#include "platform/graphics/GraphicsDevice.h"

#include <cstdint>

class CQVGraphics {
public:
    // 1 when the object exists afterwards.
    static int Create();
    static CQVGraphics* GetInstance();

    int CreateWindowDevice(HWND window);
    int CreateFullScreenDevice(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits, HWND window);
    // The last back-buffer candidate for the colour depth that the adapter
    // accepts, then the depth format for depthBits.
    int FindFormat(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits, D3DFORMAT* backBuffer,
                   D3DFORMAT* depth);
    int FindDepthFormat(uint32_t depthBits, D3DFORMAT backBuffer, D3DFORMAT* depth);

    PlatformDevice* GetDevice();
    HWND GetWindow();
    const char* GetErrorText();
    // printf-style into the 512-character error text; always 0.
    int SetError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Target, depth and stencil to the colour, depth 1, stencil 0.
    int Clear(uint32_t color);
    int ClearDepth();
    int BeginScene();
    int EndScene();
    int Present();
    // Entry i of each channel: (scale * i + add) * 256, limited to 0..65535.
    void SetGammaRamp(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen, float addBlue);
    static void BuildGammaRamp(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                               float addBlue, D3DGAMMARAMP* ramp);
    uint32_t GetViewportWidth();
    int IsVSyncPresent();
    int GetTargetFrameRate() { return 30; }
    // 1 when a frame may be drawn; a device that needs a reset is reset here.
    int HandleDeviceLost();

    // Reads an ".anb" vertex-animated mesh into an index buffer and one
    // vertex buffer of every frame (position, normal, one texture pair);
    // 1, or 0 with the error text set.
    int ReadAnbMesh(const char* path, PlatformVertexBuffer** vertexBuffer, PlatformIndexBuffer** indexBuffer,
                    uint32_t* frameCount, uint32_t* triangleCount, uint32_t* vertexCount);

    // The engine's work around a device reset: releasing the font device
    // objects before it, restoring lights and fog after it.
    void SetDeviceResetHandlers(void (*releaseBeforeReset)(), void (*restoreAfterReset)());
};
