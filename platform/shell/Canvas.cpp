#include "platform/shell/Canvas.h"

#include "platform/Window.h"

#include <SDL2/SDL.h>

#include <algorithm>

namespace {

SDL_Window* Sdl(HWND window) { return static_cast<SDL_Window*>(Platform_GetNativeWindow(window)); }

}  // namespace

std::unique_ptr<PlatformCanvas> PlatformCanvas::Create(HWND window, std::string* error) {
    SDL_Window* sdl = Sdl(window);
    if (sdl == nullptr) {
        if (error) *error = "no window";
        return nullptr;
    }
    if (SDL_GetWindowSurface(sdl) == nullptr) {
        if (error) *error = std::string("SDL_GetWindowSurface: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<PlatformCanvas> canvas(new PlatformCanvas(window));
    canvas->FollowClientSize();
    return canvas;
}

PlatformCanvas::~PlatformCanvas() = default;

void PlatformCanvas::FollowClientSize() {
    int width = 0, height = 0;
    Platform_GetClientSize(m_Window, &width, &height);
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_Width && height == m_Height) return;
    m_Width = width;
    m_Height = height;
    m_Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u);
}

int PlatformCanvas::GetWidth() {
    FollowClientSize();
    return m_Width;
}

int PlatformCanvas::GetHeight() {
    FollowClientSize();
    return m_Height;
}

void PlatformCanvas::Fill(int x, int y, int width, int height, uint32_t rgb) {
    FollowClientSize();
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + width, m_Width), y1 = std::min(y + height, m_Height);
    for (int row = y0; row < y1; ++row) {
        uint32_t* line = m_Pixels.data() + static_cast<size_t>(row) * m_Width;
        std::fill(line + x0, line + std::max(x0, x1), 0xFF000000u | rgb);
    }
}

void PlatformCanvas::FrameRect(int left, int top, int right, int bottom, uint32_t rgb) {
    if (right <= left || bottom <= top) return;
    Fill(left, top, right - left, 1, rgb);
    Fill(left, bottom - 1, right - left, 1, rgb);
    Fill(left, top, 1, bottom - top, rgb);
    Fill(right - 1, top, 1, bottom - top, rgb);
}

void PlatformCanvas::DrawBgr(int x, int y, int width, int height, const uint8_t* bits, size_t stride, bool bottomUp) {
    FollowClientSize();
    if (bits == nullptr || width <= 0 || height <= 0) return;
    const int x0 = std::max(x, 0), x1 = std::min(x + width, m_Width);
    for (int row = 0; row < height; ++row) {
        const int target = y + row;
        if (target < 0 || target >= m_Height || x0 >= x1) continue;
        const uint8_t* source = bits + static_cast<size_t>(bottomUp ? height - 1 - row : row) * stride;
        uint32_t* line = m_Pixels.data() + static_cast<size_t>(target) * m_Width;
        for (int column = x0; column < x1; ++column) {
            const uint8_t* p = source + static_cast<size_t>(column - x) * 3;
            line[column] = 0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        }
    }
}

void PlatformCanvas::DrawStretched(int x, int y, int width, int height, const uint32_t* pixels, int sourceWidth,
                                   int sourceHeight) {
    FollowClientSize();
    if (pixels == nullptr || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    for (int row = std::max(0, -y); row < height && y + row < m_Height; ++row) {
        const int sourceRow = static_cast<int>(static_cast<int64_t>(row) * sourceHeight / height);
        const uint32_t* source = pixels + static_cast<size_t>(sourceRow) * sourceWidth;
        uint32_t* line = m_Pixels.data() + static_cast<size_t>(y + row) * m_Width;
        for (int column = std::max(0, -x); column < width && x + column < m_Width; ++column) {
            line[x + column] = 0xFF000000u | source[static_cast<int64_t>(column) * sourceWidth / width];
        }
    }
}

bool PlatformCanvas::Present() {
    FollowClientSize();
    SDL_Window* sdl = Sdl(m_Window);
    if (sdl == nullptr) return false;
    SDL_Surface* surface = SDL_GetWindowSurface(sdl);
    if (surface == nullptr || m_Width == 0 || m_Height == 0) return false;
    const int width = std::min(m_Width, surface->w), height = std::min(m_Height, surface->h);
    if (SDL_LockSurface(surface) != 0) return false;
    const int converted = SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, m_Pixels.data(), m_Width * 4,
                                            surface->format->format, surface->pixels, surface->pitch);
    SDL_UnlockSurface(surface);
    return converted == 0 && SDL_UpdateWindowSurface(sdl) == 0;
}

bool PlatformCanvas::ReadBack(std::vector<uint32_t>* pixels, int* width, int* height) {
    SDL_Window* sdl = Sdl(m_Window);
    SDL_Surface* surface = sdl != nullptr ? SDL_GetWindowSurface(sdl) : nullptr;
    if (surface == nullptr) return false;
    pixels->assign(static_cast<size_t>(surface->w) * static_cast<size_t>(surface->h), 0);
    if (SDL_LockSurface(surface) != 0) return false;
    const int converted = SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels,
                                            surface->pitch, SDL_PIXELFORMAT_ARGB8888, pixels->data(), surface->w * 4);
    SDL_UnlockSurface(surface);
    *width = surface->w;
    *height = surface->h;
    return converted == 0;
}
