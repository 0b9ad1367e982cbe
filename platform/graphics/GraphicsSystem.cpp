// The display adapter: desktop mode, format checks and device creation.

#include "platform/graphics/GraphicsDevice.h"

#include "platform/Window.h"
#include "platform/graphics/DeviceState.h"
#include "platform/graphics/TextureFormats.h"

#include <SDL2/SDL.h>

namespace {

// Display formats a full-screen mode can use; the back buffer matches the
// display format or is its variant with alpha.
bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 || format == D3DFMT_X8R8G8B8;
}

bool BackBufferMatches(D3DFORMAT display, D3DFORMAT backBuffer) {
    return backBuffer == display || (display == D3DFMT_X8R8G8B8 && backBuffer == D3DFMT_A8R8G8B8) ||
           (display == D3DFMT_X1R5G5B5 && backBuffer == D3DFMT_A1R5G5B5);
}

// Depth-stencil formats the device offers (its depth buffer is 24 bits with
// 8 bits of stencil, which serves all of them).
bool IsDepthFormat(D3DFORMAT format) {
    return format == D3DFMT_D16 || format == D3DFMT_D16_LOCKABLE || format == D3DFMT_D24S8 || format == D3DFMT_D24X8 ||
           format == D3DFMT_D32;
}

D3DFORMAT FormatOfMode(const SDL_DisplayMode& mode) {
    return SDL_BITSPERPIXEL(mode.format) == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
}

}  // namespace

PlatformGraphicsSystem* PlatformGraphicsSystem::Create(std::string* error) {
    if (!Platform_Init()) {
        if (error) *error = Platform_GetError();
        return nullptr;
    }
    return new PlatformGraphicsSystem();
}

HRESULT PlatformGraphicsSystem::GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) const {
    if (mode == nullptr || adapter != 0) return D3DERR_INVALIDCALL;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return D3DERR_NOTAVAILABLE;
    *mode = D3DDISPLAYMODE{static_cast<uint32_t>(desktop.w), static_cast<uint32_t>(desktop.h),
                           static_cast<uint32_t>(desktop.refresh_rate), FormatOfMode(desktop)};
    return D3D_OK;
}

uint32_t PlatformGraphicsSystem::GetAdapterModeCount(uint32_t adapter) const {
    if (adapter != 0) return 0;
    const int count = SDL_GetNumDisplayModes(0);
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

HRESULT PlatformGraphicsSystem::EnumAdapterModes(uint32_t adapter, uint32_t index, D3DDISPLAYMODE* mode) const {
    if (mode == nullptr || adapter != 0) return D3DERR_INVALIDCALL;
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(0, static_cast<int>(index), &m) != 0) return D3DERR_INVALIDCALL;
    *mode = D3DDISPLAYMODE{static_cast<uint32_t>(m.w), static_cast<uint32_t>(m.h), static_cast<uint32_t>(m.refresh_rate),
                           FormatOfMode(m)};
    return D3D_OK;
}

HRESULT PlatformGraphicsSystem::CheckDeviceType(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                                D3DFORMAT backBufferFormat, int32_t windowed) const {
    if (adapter != 0 || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(displayFormat) || !BackBufferMatches(displayFormat, backBufferFormat))
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT PlatformGraphicsSystem::CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                       D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) const {
    if (adapter != 0 || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    return IsDepthFormat(depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT PlatformGraphicsSystem::GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS8* caps) const {
    if (caps == nullptr || adapter != 0 || type != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    *caps = D3DCAPS8{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                              D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                              D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    caps->MaxActiveLights = D3D_MAX_ACTIVE_LIGHTS;
    caps->MaxSimultaneousTextures = D3D_MAX_TEXTURE_STAGES;
    caps->MaxTextureBlendStages = D3D_MAX_TEXTURE_STAGES;
    caps->MaxStreams = 1;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    return D3D_OK;
}

HRESULT PlatformGraphicsSystem::CreateDevice(uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, uint32_t behaviour,
                                             D3DPRESENT_PARAMETERS* parameters, PlatformDevice** device) {
    if (device) *device = nullptr;
    if (device == nullptr || parameters == nullptr || adapter != 0 || type != D3DDEVTYPE_HAL) {
        m_Error = "invalid device request";
        return D3DERR_INVALIDCALL;
    }
    HWND window = parameters->hDeviceWindow ? static_cast<HWND>(parameters->hDeviceWindow) : focusWindow;
    SDL_Window* sdl = static_cast<SDL_Window*>(Platform_GetNativeWindow(window));
    if (sdl == nullptr) {
        m_Error = "no window";
        return D3DERR_INVALIDCALL;
    }
    if (parameters->Windowed) {
        // A windowed device presents into the client area, sized as it is.
        if (parameters->BackBufferWidth == 0 || parameters->BackBufferHeight == 0) {
            int w = 0, h = 0;
            Platform_GetClientSize(window, &w, &h);
            if (parameters->BackBufferWidth == 0) parameters->BackBufferWidth = static_cast<uint32_t>(w);
            if (parameters->BackBufferHeight == 0) parameters->BackBufferHeight = static_cast<uint32_t>(h);
        }
        if (parameters->BackBufferFormat == D3DFMT_UNKNOWN) parameters->BackBufferFormat = D3DFMT_X8R8G8B8;
    } else {
        // Full screen takes a mode the display has; a display that takes any
        // size (the offscreen one) lists a mode of size 0.
        const int w = static_cast<int>(parameters->BackBufferWidth), h = static_cast<int>(parameters->BackBufferHeight);
        SDL_DisplayMode chosen{};
        bool found = false;
        for (int i = 0, n = SDL_GetNumDisplayModes(0); i < n && !found; ++i) {
            SDL_DisplayMode m{};
            if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
            if ((m.w == w && m.h == h) || (m.w == 0 && m.h == 0)) {
                chosen = m;
                chosen.w = w;
                chosen.h = h;
                found = true;
            }
        }
        const std::string mode = std::to_string(w) + "x" + std::to_string(h);
        if (w <= 0 || h <= 0 || !IsDisplayFormat(parameters->BackBufferFormat) ||
            (parameters->EnableAutoDepthStencil && !IsDepthFormat(parameters->AutoDepthStencilFormat))) {
            m_Error = "display mode " + mode + " not available";
            return D3DERR_INVALIDCALL;
        }
        SDL_SetWindowSize(sdl, w, h);
        std::string reason = "the display has no mode " + mode;
        if (found) {
            if (SDL_SetWindowDisplayMode(sdl, &chosen) == 0 && SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN) == 0)
                reason.clear();
            else
                reason = "mode " + mode + " cannot be set: " + SDL_GetError();
        }
        // A display that cannot switch modes (many X servers) still shows the
        // game full screen in the desktop's own mode, the back buffer
        // stretched to it when presented.
        if (!reason.empty() && SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            m_Error = reason + "; desktop full screen: " + SDL_GetError();
            return D3DERR_NOTAVAILABLE;
        }
    }
    const HRESULT result = PlatformDevice::Create(window, *parameters, device, &m_Error);
    return result;
}

const char* Graphics_GetErrorName(HRESULT result) {
    switch (result) {
    case D3D_OK: return "D3D_OK";
    case E_FAIL: return "E_FAIL";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
    case D3DERR_WRONGTEXTUREFORMAT: return "D3DERR_WRONGTEXTUREFORMAT";
    case D3DERR_CONFLICTINGRENDERSTATE: return "D3DERR_CONFLICTINGRENDERSTATE";
    case D3DERR_NOTFOUND: return "D3DERR_NOTFOUND";
    case D3DERR_MOREDATA: return "D3DERR_MOREDATA";
    case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
    case D3DERR_DEVICENOTRESET: return "D3DERR_DEVICENOTRESET";
    case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
    case D3DERR_INVALIDDEVICE: return "D3DERR_INVALIDDEVICE";
    case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
    case D3DERR_DRIVERINTERNALERROR: return "D3DERR_DRIVERINTERNALERROR";
    default: return "Unknown error";
    }
}

uint32_t Graphics_GetFvfStride(uint32_t fvf) {
    const FvfLayout layout = Fvf_Decode(fvf);
    return layout.valid ? layout.stride : 0;
}

bool Graphics_ConvertFromArgb(D3DFORMAT format, const uint32_t* argb, uint32_t width, uint32_t height, uint8_t* out,
                              uint32_t pitch) {
    const TextureFormatInfo* info = TextureFormat_Find(format);
    if (info == nullptr || argb == nullptr || out == nullptr) return false;
    TextureFormat_Encode(*info, argb, width, height, out, pitch, false);
    return true;
}

bool Graphics_ConvertToArgb(D3DFORMAT format, const uint8_t* bits, uint32_t pitch, uint32_t width, uint32_t height,
                            uint32_t* argb) {
    const TextureFormatInfo* info = TextureFormat_Find(format);
    if (info == nullptr || bits == nullptr || argb == nullptr) return false;
    TextureFormat_Decode(*info, bits, pitch, width, height, argb);
    return true;
}

D3DVECTOR Graphics_ProjectPoint(const D3DVECTOR& point, const D3DVIEWPORT8& viewport, const D3DMATRIX& projection,
                                const D3DMATRIX& view, const D3DMATRIX& world) {
    const D3DMATRIX m = Matrix_Multiply(Matrix_Multiply(world, view), projection);
    float clip[4];
    for (int j = 0; j < 4; ++j) clip[j] = point.x * m.m[0][j] + point.y * m.m[1][j] + point.z * m.m[2][j] + m.m[3][j];
    const float x = clip[0] / clip[3], y = clip[1] / clip[3], z = clip[2] / clip[3];
    return D3DVECTOR{static_cast<float>(viewport.X) + (1.0f + x) * static_cast<float>(viewport.Width) * 0.5f,
                     static_cast<float>(viewport.Y) + (1.0f - y) * static_cast<float>(viewport.Height) * 0.5f,
                     viewport.MinZ + z * (viewport.MaxZ - viewport.MinZ)};
}
