#pragma once
// The window messages the game handles, numbered as the game's window
// procedure expects them, and the record the event pump delivers.

#include <cstdint>

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct PlatformWindow;
using HWND = PlatformWindow*;

enum : uint32_t {
    WM_NULL = 0x0000,
    WM_DESTROY = 0x0002,
    WM_ACTIVATE = 0x0006,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_SETCURSOR = 0x0020,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_SYSCOMMAND = 0x0112,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,
    WM_XBUTTONDOWN = 0x020B,
    WM_XBUTTONUP = 0x020C,
};

// WM_ACTIVATE low word.
enum : uint32_t { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };

// WM_SYSCOMMAND commands.
enum : uint32_t {
    SC_SIZE = 0xF000,
    SC_MOVE = 0xF010,
    SC_MINIMIZE = 0xF020,
    SC_MAXIMIZE = 0xF030,
    SC_CLOSE = 0xF060,
    SC_KEYMENU = 0xF100,
    SC_RESTORE = 0xF120,
    SC_MONITORPOWER = 0xF170,
};

// Mouse-message wParam button bits.
enum : uint32_t { MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10 };

// One wheel notch.
constexpr int WHEEL_DELTA = 120;

struct WindowMessage {
    HWND window = nullptr;
    uint32_t message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline uint32_t LoWord(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
inline uint32_t HiWord(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }
inline LPARAM MakeLParam(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
