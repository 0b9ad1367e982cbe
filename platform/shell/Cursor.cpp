#include "platform/shell/Cursor.h"

#include "platform/Window.h"
#include "platform/image/IconReader.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <vector>

struct PlatformCursor {
    SDL_Cursor* sdl = nullptr;
};

struct PlatformIcon {
    IconPicture picture;
};

namespace {

PlatformCursor* g_Current = nullptr;

bool ReadPicture(const std::string& path, int size, IconPicture* picture) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    std::string error;
    return ok && Image_DecodeIcon(bytes.data(), bytes.size(), static_cast<uint32_t>(size), picture, &error);
}

SDL_Surface* MakeSurface(IconPicture& picture) {
    return SDL_CreateRGBSurfaceWithFormatFrom(picture.pixels.data(), static_cast<int>(picture.width),
                                              static_cast<int>(picture.height), 32,
                                              static_cast<int>(picture.width * 4), SDL_PIXELFORMAT_ARGB8888);
}

}  // namespace

PlatformCursor* Platform_LoadCursorFile(const std::string& path, int size) {
    IconPicture picture;
    if (!ReadPicture(path, size, &picture)) return nullptr;
    auto* cursor = new PlatformCursor();
    // Drivers without a pointer (headless runs) make no toolkit cursor; the
    // cursor still counts as loaded.
    if (SDL_Surface* surface = MakeSurface(picture)) {
        cursor->sdl = SDL_CreateColorCursor(surface, static_cast<int>(picture.hotspotX), static_cast<int>(picture.hotspotY));
        SDL_FreeSurface(surface);
    }
    return cursor;
}

void Platform_DestroyCursor(PlatformCursor* cursor) {
    if (cursor == nullptr) return;
    if (g_Current == cursor) Platform_SetCursor(nullptr);
    if (cursor->sdl != nullptr) SDL_FreeCursor(cursor->sdl);
    delete cursor;
}

void Platform_SetCursor(PlatformCursor* cursor) {
    g_Current = cursor;
    SDL_Cursor* sdl = cursor != nullptr && cursor->sdl != nullptr ? cursor->sdl : SDL_GetDefaultCursor();
    if (sdl != nullptr) SDL_SetCursor(sdl);
}

PlatformCursor* Platform_GetCursor() { return g_Current; }

PlatformIcon* Platform_LoadIconFile(const std::string& path, int size) {
    auto* icon = new PlatformIcon();
    if (!ReadPicture(path, size, &icon->picture)) {
        delete icon;
        return nullptr;
    }
    return icon;
}

void Platform_DestroyIcon(PlatformIcon* icon) { delete icon; }

void Platform_SetWindowIcon(HWND window, PlatformIcon* icon) {
    SDL_Window* sdl = static_cast<SDL_Window*>(Platform_GetNativeWindow(window));
    if (sdl == nullptr || icon == nullptr) return;
    if (SDL_Surface* surface = MakeSurface(icon->picture)) {
        SDL_SetWindowIcon(sdl, surface);
        SDL_FreeSurface(surface);
    }
}
