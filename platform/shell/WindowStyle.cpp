#include "platform/shell/WindowStyle.h"

#include "platform/Window.h"

#include <SDL2/SDL.h>

void Platform_SetWindowBorderless(HWND window, bool borderless) {
    if (SDL_Window* sdl = static_cast<SDL_Window*>(Platform_GetNativeWindow(window)))
        SDL_SetWindowBordered(sdl, borderless ? SDL_FALSE : SDL_TRUE);
}
