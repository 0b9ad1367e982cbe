#pragma once
// What the launcher shows about the machine: the operating system, the
// graphics adapter and driver as OpenGL names them, the physical memory and
// the display modes.

#include "platform/graphics/D3D8Types.h"

#include <cstdint>
#include <string>
#include <vector>

struct PlatformSystemVersion {
    std::string kernelName;    // "Linux"
    std::string kernelRelease; // "6.1.0-18-amd64"
    std::string machine;       // "x86_64"
    std::string distribution;  // PRETTY_NAME of /etc/os-release, "" when there is none
};
bool Platform_GetSystemVersion(PlatformSystemVersion* version);

// The strings of an OpenGL context made for the purpose on a hidden window.
struct PlatformGraphicsInfo {
    std::string renderer;  // the adapter: "llvmpipe (LLVM 15.0.6, 256 bits)"
    std::string vendor;    // "Mesa/X.org"
    std::string version;   // "4.5 (Core Profile) Mesa 22.3.6"
};
bool Platform_GetGraphicsInfo(PlatformGraphicsInfo* info);

// Total physical memory in bytes; 0 when unknown.
uint64_t Platform_GetPhysicalMemory();

// One mode of a display; format in the graphics device's numbering
// (D3DFMT_R5G6B5, D3DFMT_X8R8G8B8 ...; D3DFMT_UNKNOWN for others).
struct PlatformDisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};
// The modes of one display; false when the display cannot be asked.
bool Platform_GetDisplayModes(int display, std::vector<PlatformDisplayMode>* modes);
