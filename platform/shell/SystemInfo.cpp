#include "platform/shell/SystemInfo.h"

#include "platform/Window.h"

#include <SDL2/SDL.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t GL_VENDOR_NAME = 0x1F00;
constexpr uint32_t GL_RENDERER_NAME = 0x1F01;
constexpr uint32_t GL_VERSION_NAME = 0x1F02;

// PRETTY_NAME="Debian GNU/Linux 12 (bookworm)" as its text.
std::string ReadPrettyName(const char* file) {
    std::FILE* f = std::fopen(file, "r");
    if (f == nullptr) return {};
    std::string name;
    char line[512];
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "PRETTY_NAME=", 12) != 0) continue;
        std::string value = line + 12;
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        name = value;
        break;
    }
    std::fclose(f);
    return name;
}

D3DFORMAT FormatOf(uint32_t sdlFormat) {
    switch (sdlFormat) {
    case SDL_PIXELFORMAT_RGB565: return D3DFMT_R5G6B5;
    case SDL_PIXELFORMAT_RGB555: return D3DFMT_X1R5G5B5;
    case SDL_PIXELFORMAT_ARGB1555: return D3DFMT_A1R5G5B5;
    case SDL_PIXELFORMAT_RGB24: return D3DFMT_R8G8B8;
    case SDL_PIXELFORMAT_ARGB8888: return D3DFMT_A8R8G8B8;
    case SDL_PIXELFORMAT_RGB888: return D3DFMT_X8R8G8B8;
    default: return D3DFMT_UNKNOWN;
    }
}

}  // namespace

bool Platform_GetSystemVersion(PlatformSystemVersion* version) {
    struct utsname names {};
    if (::uname(&names) != 0) return false;
    version->kernelName = names.sysname;
    version->kernelRelease = names.release;
    version->machine = names.machine;
    version->distribution = ReadPrettyName("/etc/os-release");
    if (version->distribution.empty()) version->distribution = ReadPrettyName("/usr/lib/os-release");
    return true;
}

bool Platform_GetGraphicsInfo(PlatformGraphicsInfo* info) {
    if (!Platform_Init()) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) return false;
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    bool ok = false;
    if (context != nullptr) {
        using GetString = const unsigned char* (*)(uint32_t);
        auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
        auto text = [&](uint32_t name) {
            const unsigned char* s = getString != nullptr ? getString(name) : nullptr;
            return s != nullptr ? std::string(reinterpret_cast<const char*>(s)) : std::string();
        };
        info->renderer = text(GL_RENDERER_NAME);
        info->vendor = text(GL_VENDOR_NAME);
        info->version = text(GL_VERSION_NAME);
        ok = !info->renderer.empty() && !info->version.empty();
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    if (previousContext != nullptr) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return ok;
}

uint64_t Platform_GetPhysicalMemory() {
    struct sysinfo memory {};
    if (::sysinfo(&memory) != 0) return 0;
    return static_cast<uint64_t>(memory.totalram) * memory.mem_unit;
}

bool Platform_GetDisplayModes(int display, std::vector<PlatformDisplayMode>* modes) {
    modes->clear();
    if (!Platform_Init()) return false;
    const int count = SDL_GetNumDisplayModes(display);
    if (count < 0) return false;
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(display, i, &mode) != 0) return false;
        modes->push_back(PlatformDisplayMode{static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h),
                                             static_cast<uint32_t>(mode.refresh_rate), FormatOf(mode.format)});
    }
    return true;
}
