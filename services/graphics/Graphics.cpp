#include "services/graphics/Graphics.h"

#include "platform/Time.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The layer's state, held once for the process.
struct GraphicsState {
    PlatformGraphicsSystem* system = nullptr;
    PlatformDevice* device = nullptr;
    D3DPRESENT_PARAMETERS parameters{};
    D3DDISPLAYMODE displayMode{};
    HWND window = nullptr;
    uint32_t inScene = 0;
    uint32_t vertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    char errorText[512] = {};
    void (*releaseBeforeReset)() = nullptr;
    void (*restoreAfterReset)() = nullptr;
};

GraphicsState g_GraphicsState;
CQVGraphics* g_Graphics = nullptr;

bool EnsureSystem(CQVGraphics* graphics) {
    if (g_GraphicsState.system != nullptr) return true;
    std::string error;
    g_GraphicsState.system = PlatformGraphicsSystem::Create(&error);
    if (g_GraphicsState.system == nullptr) {
        graphics->SetError("Direct3DCreate8");
        return false;
    }
    return true;
}

// A device made again (a second start in one process) replaces the first.
void DropDevice() {
    if (g_GraphicsState.device) g_GraphicsState.device->Release();
    g_GraphicsState.device = nullptr;
    g_GraphicsState.inScene = 0;
}

}  // namespace

int CQVGraphics::Create() {
    if (g_Graphics == nullptr) g_Graphics = new CQVGraphics();
    return g_Graphics != nullptr ? 1 : 0;
}

CQVGraphics* CQVGraphics::GetInstance() { return g_Graphics; }

int CQVGraphics::SetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_GraphicsState.errorText, sizeof g_GraphicsState.errorText, format, args);
    va_end(args);
    return 0;
}

const char* CQVGraphics::GetErrorText() { return g_GraphicsState.errorText; }
PlatformDevice* CQVGraphics::GetDevice() { return g_GraphicsState.device; }
HWND CQVGraphics::GetWindow() { return g_GraphicsState.window; }

int CQVGraphics::CreateWindowDevice(HWND window) {
    GraphicsState& s = g_GraphicsState;
    if (!EnsureSystem(this)) return 0;
    s.window = window;
    if (!Succeeded(s.system->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &s.displayMode)))
        return SetError("GetAdapterDisplayMode");
    std::memset(&s.parameters, 0, sizeof s.parameters);
    s.parameters.BackBufferFormat = s.displayMode.Format;
    s.parameters.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    s.parameters.Windowed = 1;
    s.parameters.EnableAutoDepthStencil = 1;
    s.parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    s.parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    DropDevice();
    if (!Succeeded(s.system->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &s.parameters,
                                          &s.device)))
        return SetError("Create Window Device");
    return 1;
}

int CQVGraphics::CreateFullScreenDevice(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits,
                                        HWND window) {
    GraphicsState& s = g_GraphicsState;
    if (!EnsureSystem(this)) return 0;
    s.window = window;
    if (!FindFormat(width, height, colorDepth, depthBits, &s.parameters.BackBufferFormat,
                    &s.parameters.AutoDepthStencilFormat))
        return 0;
    s.parameters.BackBufferWidth = width;
    s.parameters.BackBufferHeight = height;
    s.parameters.BackBufferCount = 1;
    s.parameters.MultiSampleType = 0;
    s.parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
    s.parameters.hDeviceWindow = window;
    s.parameters.Windowed = 0;
    s.parameters.EnableAutoDepthStencil = 1;
    s.parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    s.parameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    // The capabilities are read, but vertex processing stays in software whatever they say.
    D3DCAPS8 caps{};
    s.system->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);
    s.vertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    DropDevice();
    if (!Succeeded(s.system->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                          s.vertexProcessing | D3DCREATE_MULTITHREADED, &s.parameters, &s.device))) {
        // The platform's reason (the mode, the desktop full screen) is the
        // one a player can act on.
        const std::string& reason = s.system->GetLastError();
        if (reason.empty()) return SetError("Create Full Screeen Device");
        return SetError("Create Full Screeen Device: %s", reason.c_str());
    }
    return 1;
}

namespace {

// Candidate formats for a bit depth, tried in order.
struct FormatCandidates {
    uint32_t depths[2];
    std::vector<D3DFORMAT> formats;
};

const FormatCandidates kBackBufferFormats[] = {
    {{16, 16}, {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4}},
    {{24, 32}, {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}},
};
const FormatCandidates kDepthFormats[] = {
    {{16, 16}, {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D15S1}},
    {{24, 32}, {D3DFMT_D24S8, D3DFMT_D24X4S4}},
};

// Null for a depth without candidates.
const std::vector<D3DFORMAT>* CandidatesFor(const FormatCandidates (&table)[2], uint32_t bits) {
    for (const FormatCandidates& entry : table)
        if (bits == entry.depths[0] || bits == entry.depths[1]) return &entry.formats;
    return nullptr;
}

}  // namespace

int CQVGraphics::FindFormat(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBits,
                            D3DFORMAT* backBuffer, D3DFORMAT* depth) {
    if (!EnsureSystem(this)) return 0;
    *backBuffer = D3DFMT_UNKNOWN;
    if (const std::vector<D3DFORMAT>* candidates = CandidatesFor(kBackBufferFormats, colorDepth)) {
        bool found = false;
        // A later success overwrites an earlier one.
        for (D3DFORMAT candidate : *candidates) {
            if (Succeeded(g_GraphicsState.system->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, candidate,
                                                                  candidate, 0))) {
                *backBuffer = candidate;
                found = true;
            }
        }
        if (!found) return SetError("CQVGraphics : FindFormat : Unable To Find A Matching Format");
    }
    return FindDepthFormat(depthBits, *backBuffer, depth);
}

int CQVGraphics::FindDepthFormat(uint32_t depthBits, D3DFORMAT backBuffer, D3DFORMAT* depth) {
    if (!EnsureSystem(this)) return 0;
    *depth = D3DFMT_UNKNOWN;
    const std::vector<D3DFORMAT>* candidates = CandidatesFor(kDepthFormats, depthBits);
    if (candidates == nullptr) return 1;
    bool found = false;
    // A pass overwrites the result; a pass of the last candidate ends the search.
    for (size_t i = 0; i < candidates->size(); ++i) {
        if (Succeeded(g_GraphicsState.system->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBuffer,
                                                                     backBuffer, (*candidates)[i]))) {
            *depth = (*candidates)[i];
            found = true;
            if (i + 1 == candidates->size()) return 1;
        }
    }
    if (!found) return SetError("CQVGraphics : FindFormat : Unable To Find A Matching Z-Buffer Format");
    return 1;
}

int CQVGraphics::Clear(uint32_t color) {
    if (g_GraphicsState.device == nullptr) return 0;
    g_GraphicsState.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, color, 1.0f, 0);
    return 1;
}

int CQVGraphics::ClearDepth() {
    if (g_GraphicsState.device == nullptr) return 0;
    g_GraphicsState.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
    return 1;
}

int CQVGraphics::BeginScene() {
    if (g_GraphicsState.device == nullptr) return 0;
    g_GraphicsState.inScene = Succeeded(g_GraphicsState.device->BeginScene()) ? 1 : 0;
    return static_cast<int>(g_GraphicsState.inScene);
}

int CQVGraphics::EndScene() {
    if (g_GraphicsState.device == nullptr) return 0;
    if (g_GraphicsState.inScene != 1) {
        g_GraphicsState.inScene = 0;
        return 0;
    }
    if (!Succeeded(g_GraphicsState.device->EndScene())) return 0;
    g_GraphicsState.inScene = 0;
    return 1;
}

int CQVGraphics::Present() {
    if (g_GraphicsState.device == nullptr) return 0;
    g_GraphicsState.device->Present(nullptr, nullptr, nullptr, nullptr);
    return 1;
}

void CQVGraphics::BuildGammaRamp(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                                 float addBlue, D3DGAMMARAMP* ramp) {
    auto entry = [](float scale, float add, int i) -> uint16_t {
        const float value = (scale * static_cast<float>(i) + add) * 256.0f;
        if (!(value > 0.0f)) return 0;  // also a value that is not a number
        if (value >= 65535.0f) return 65535;
        return static_cast<uint16_t>(value);
    };
    for (int i = 0; i < 256; ++i) {
        ramp->red[i] = entry(scaleRed, addRed, i);
        ramp->green[i] = entry(scaleGreen, addGreen, i);
        ramp->blue[i] = entry(scaleBlue, addBlue, i);
    }
}

void CQVGraphics::SetGammaRamp(float scaleRed, float scaleGreen, float scaleBlue, float addRed, float addGreen,
                               float addBlue) {
    if (g_GraphicsState.device == nullptr) return;
    D3DGAMMARAMP ramp;
    BuildGammaRamp(scaleRed, scaleGreen, scaleBlue, addRed, addGreen, addBlue, &ramp);
    g_GraphicsState.device->SetGammaRamp(D3DSGR_CALIBRATE, &ramp);
}

uint32_t CQVGraphics::GetViewportWidth() {
    if (g_GraphicsState.device == nullptr) return 0;
    D3DVIEWPORT8 viewport{};
    g_GraphicsState.device->GetViewport(&viewport);
    return viewport.Width;
}

int CQVGraphics::IsVSyncPresent() {
    return g_GraphicsState.parameters.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE ? 1 : 0;
}

void CQVGraphics::SetDeviceResetHandlers(void (*releaseBeforeReset)(), void (*restoreAfterReset)()) {
    g_GraphicsState.releaseBeforeReset = releaseBeforeReset;
    g_GraphicsState.restoreAfterReset = restoreAfterReset;
}

int CQVGraphics::HandleDeviceLost() {
    GraphicsState& s = g_GraphicsState;
    if (s.device == nullptr) return 1;
    const HRESULT result = s.device->TestCooperativeLevel();
    if (result == D3DERR_DEVICELOST) return 0;
    if (result != D3DERR_DEVICENOTRESET) return 1;
    if (s.releaseBeforeReset) s.releaseBeforeReset();
    if (!Succeeded(s.device->Reset(&s.parameters))) return 0;
    s.device->ResourceManagerDiscardBytes(0);
    for (uint32_t stage = 0; stage < D3D_MAX_TEXTURE_STAGES; ++stage) {
        s.device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        s.device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        s.device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    }
    if (s.restoreAfterReset) s.restoreAfterReset();
    Platform_Sleep(100);
    return 1;
}
