#include "services/engine/Engine.h"
#include "services/storage/SaveStorage.h"

#include "kernel/base/Clock.h"
#include "kernel/base/Maths.h"
#include "platform/Window.h"
#include "services/graphics/Graphics.h"
#include "services/sound/Sound.h"
#include "services/library/Library.h"
#include "services/overlay/Overlay.h"
#include "services/render/Shadow.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

CQVEngine* g_Engine = nullptr;
uint32_t g_FrameNesting = 0;
HWND g_EngineWindow = nullptr;
CQVFontItem* g_DefaultFont = nullptr;

namespace {

// Save storage starts with the engine and takes its root from the base folder.
void StartSaveStorage() { Storage_Init(0); }
void SetSaveStorageRoot(const std::string& root) { Storage_SetRoot(root); }

// The sound device: 2 channels, 44100 Hz, 16 bits, with its streaming
// thread. A machine without any output device runs the game silent, and
// says so once.
int CreateSoundDevice(HWND window) {
    if (Sound_CreateDevice(window, 2, 44100, 16)) return 1;
    static bool told = false;
    if (!told) std::fprintf(stderr, "No sound device (%s): the game runs without sound.\n", Sound_GetLastError());
    told = true;
    return 0;
}

// A device reset loses the fonts' device state and the lights and fog set
// on the device; the engine gives them up and sets them again around it.
void ReleaseBeforeDeviceReset() { g_Engine->ReleaseDeviceFonts(); }
void RestoreAfterDeviceReset() { g_Engine->RestoreDeviceState(); }

// Truncates a scaled colour channel as the integer conversion does; values
// beyond 32 bits are clamped first so the conversion stays defined.
uint32_t TruncatedChannel(float c) {
    const float scaled = std::clamp(c * 255.0f, -2147483648.0f, 2147483520.0f);
    return static_cast<uint32_t>(static_cast<int32_t>(scaled));
}

}  // namespace

CQVEngine::CQVEngine() : library(g_Library), render(CQVRender::Get()) {
    // The material applier finds textures and light maps in the library.
    render.SetItemLookup([](uint32_t id) { return g_Engine->GetItem(id); });
}

int CQVEngine::Create() {
    if (g_Engine == nullptr) {
        g_Engine = new (std::nothrow) CQVEngine();
        if (g_Engine == nullptr) return 0;
    }
    if (!CQVGraphics::Create()) return 0;
    if (!CQVClock::Create()) return 0;
    StartSaveStorage();
    return 1;
}

CQVEngine* CQVEngine::GetInstance() { return g_Engine; }

void Engine_Reset() {
    g_FrameNesting = 0;
}

int CQVEngine::SetError(const char* format, ...) {
    if (g_Engine == nullptr) return 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_Engine->errorText, sizeof g_Engine->errorText, format, args);
    va_end(args);
    return 0;
}

int CQVEngine::Init(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits, uint32_t flags,
                    HWND window) {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    if (graphics == nullptr) return SetError("%s", "no graphics object");
    int made = 0;
    if (flags & ENGINE_WINDOWED) {
        // The window's outer size leaves the requested client area inside its frame.
        const int outerWidth = static_cast<int>(width) + 10, outerHeight = static_cast<int>(height) + 40;
        Platform_SetWindowPos(window, (Platform_GetScreenWidth() - outerWidth) / 2,
                              (Platform_GetScreenHeight() - outerHeight) / 2, outerWidth, outerHeight);
        made = graphics->CreateWindowDevice(window);
    } else {
        made = graphics->CreateFullScreenDevice(width, height, colorDepth, depthBits, window);
    }
    if (!made) return SetError("%s", graphics->GetErrorText());
    g_EngineWindow = window;
    graphics->SetDeviceResetHandlers(ReleaseBeforeDeviceReset, RestoreAfterDeviceReset);
    return SetUpDevice(flags);
}

int CQVEngine::SetUpDevice(uint32_t flags) {
    if (flags & ENGINE_NO_SOUND) soundEnabled = 0;
    if (soundEnabled && !CreateSoundDevice(g_EngineWindow)) soundEnabled = 0;
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    for (uint32_t stage = 0; stage < 4; ++stage) {
        device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    }
    if (!RenderQueue_CreateBuckets(render.Queue())) return 0;
    Shadow_CreateScreenQuad();
    g_Clock->EnsureInitialized();
    Overlay_SetUpDevice();
    return 1;
}

void CQVEngine::SetBaseFolder(const std::string& folder) {
    baseFolder = folder;
    SetSaveStorageRoot(folder + "\\SaveGames");
}

void CQVEngine::SetTextureOptions(uint32_t format, uint32_t divisor) {
    textureFormat = format;
    textureDivisor = divisor;
}

void CQVEngine::SetAmbientColor(float r, float g, float b, float a) {
    const uint32_t color = TruncatedChannel(a) << 24 | (TruncatedChannel(r) & 0xFF) << 16 |
                           (TruncatedChannel(g) & 0xFF) << 8 | (TruncatedChannel(b) & 0xFF);
    if (PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice())
        device->SetRenderState(D3DRS_AMBIENT, color);
}

int CQVEngine::BeginFrame(uint32_t clearAll, uint32_t clearDepth) {
    if (suspended) return 0;
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    const int began = g_FrameNesting == 0 ? graphics->BeginScene() : 0;
    ++g_FrameNesting;
    if (!began) return 0;
    if (clearAll) graphics->Clear(clearColor);
    else if (clearDepth) graphics->ClearDepth();
    return 1;
}

int CQVEngine::EndFrame(uint32_t present) {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    const int ended = g_FrameNesting == 1 ? graphics->EndScene() : 0;
    if (g_FrameNesting > 0) --g_FrameNesting;
    if (!ended || !present) return ended;
    if (waitForVerticalBlank && !graphics->IsVSyncPresent()) {
        D3DRASTER_STATUS status{};
        while (Succeeded(graphics->GetDevice()->GetRasterStatus(&status)) && !status.InVBlank) {
        }
    }
    graphics->Present();
    return 1;
}

void CQVEngine::FillScreenRect(int left, int top, int right, int bottom, float r, float g, float b, float a) {
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    if (device == nullptr) return;
    ForceRenderStates(0xFFFFFFFF);
    const uint32_t color = Color_ToArgb(r, g, b, a);
    // Texture coordinates sit a hair inside each texel's start.
    const float u0 = 0.000005f, u1 = 1.000005f;
    const float x0 = static_cast<float>(left), y0 = static_cast<float>(top);
    const float x1 = static_cast<float>(right), y1 = static_cast<float>(bottom);
    const OverlayVertex strip[4] = {{x0, y0, 0.99f, 1.0f, color, u0, u0},
                                    {x1, y0, 0.99f, 1.0f, color, u1, u0},
                                    {x0, y1, 0.99f, 1.0f, color, u0, u1},
                                    {x1, y1, 0.99f, 1.0f, color, u1, u1}};
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(OverlayVertex));
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_LIGHTING, 1);
}
