#include "platform/shell/MessageBox.h"

#include "platform/Text.h"
#include "platform/Window.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool HasDisplay() {
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

}  // namespace

void Platform_MessageBox(HWND parent, const std::string& text, const std::string& caption, PlatformMessageIcon icon) {
    const std::string utf8Text = Text_Cp1252ToUtf8(text);
    const std::string utf8Caption = Text_Cp1252ToUtf8(caption);
    if (HasDisplay()) {
        const uint32_t flags = icon == MESSAGE_ICON_ERROR         ? SDL_MESSAGEBOX_ERROR
                               : icon == MESSAGE_ICON_EXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                                  : SDL_MESSAGEBOX_INFORMATION;
        SDL_Window* owner = parent != nullptr ? static_cast<SDL_Window*>(Platform_GetNativeWindow(parent)) : nullptr;
        if (SDL_ShowSimpleMessageBox(flags, utf8Caption.c_str(), utf8Text.c_str(), owner) == 0) return;
    }
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    std::fflush(stderr);
}
