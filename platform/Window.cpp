#include "platform/Window.h"

#include "platform/KeyMap.h"
#include "platform/Text.h"
#include "platform/Time.h"
#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <deque>
#include <map>
#include <memory>
#include <vector>

struct PlatformWindow {
    SDL_Window* sdl = nullptr;
    WindowProc procedure = nullptr;
    std::string title;
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

namespace {

std::string g_PlatformError;
std::map<std::string, WindowProc> g_WindowClasses;
std::map<uint32_t, PlatformWindow*> g_WindowsById;
// Window records live for the whole run, destroyed ones included, so that a
// handle kept by its owner never dangles.
std::vector<std::unique_ptr<PlatformWindow>> g_WindowRecords;
std::deque<WindowMessage> g_PostedMessages;
int g_CursorCount = 0;
// Key state as the pump saw it: toolkit events pushed by tests never reach
// the toolkit's own keyboard and mouse state. A virtual key is down while
// any physical key that reports it is down (both Enter keys, both Shifts).
bool g_ScancodeDown[SDL_NUM_SCANCODES] = {};
uint8_t g_KeyDownCount[256] = {};
// The cursor in screen pixels, from the last mouse event or warp.
int g_CursorX = 0;
int g_CursorY = 0;
bool g_CursorKnown = false;
// A termination signal (the desktop's or a service manager's quit request)
// waiting to be turned into a close request by the pump.
std::atomic<int> g_QuitSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Last time the toolkit's queue was looked at for a quit while no message
// was pumped (a long load).
uint32_t g_LastQuitPoll = 0;
constexpr uint32_t QUIT_POLL_INTERVAL_MS = 50;

void OnQuitSignal(int) { g_QuitSignal.store(1); }

// Our own handlers, so that a signal arriving at any moment after start is
// kept until the pump (or a load that asks) can serve it.
void InstallQuitSignals() {
    struct sigaction action {};
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void SetKeyDown(uint32_t virtualKey, bool down) {
    if (virtualKey == 0 || virtualKey >= 256) return;
    uint8_t& count = g_KeyDownCount[virtualKey];
    if (down) {
        if (count < 255) ++count;
    } else if (count > 0) {
        --count;
    }
}

void SetError(const std::string& what) {
    g_PlatformError = what + ": " + SDL_GetError();
}

PlatformWindow* WindowFromId(uint32_t windowId) {
    auto it = g_WindowsById.find(windowId);
    if (it != g_WindowsById.end()) return it->second;
    // Events pushed without a window id (tests, the toolkit's own quit) go to the first window.
    return g_WindowsById.empty() ? nullptr : g_WindowsById.begin()->second;
}

WPARAM MouseButtonBits() {
    WPARAM bits = 0;
    if (g_KeyDownCount[VK_LBUTTON]) bits |= MK_LBUTTON;
    if (g_KeyDownCount[VK_RBUTTON]) bits |= MK_RBUTTON;
    if (g_KeyDownCount[VK_MBUTTON]) bits |= MK_MBUTTON;
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) bits |= MK_SHIFT;
    if (mod & KMOD_CTRL) bits |= MK_CONTROL;
    return bits;
}

void Post(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    g_PostedMessages.push_back(WindowMessage{window, message, wParam, lParam});
}

// Screen position of a point in a window's client area.
void TrackCursor(HWND window, int x, int y) {
    int left = 0, top = 0;
    if (window != nullptr && window->sdl != nullptr) SDL_GetWindowPosition(window->sdl, &left, &top);
    g_CursorX = left + x;
    g_CursorY = top + y;
    g_CursorKnown = true;
}

void TranslateKey(HWND window, const SDL_KeyboardEvent& key) {
    const KeyCodes codes = KeyMap_FromScancode(key.keysym.scancode);
    if (codes.virtualKey == 0) return;
    const bool up = key.type == SDL_KEYUP;
    const bool altHeld = (key.keysym.mod & KMOD_ALT) != 0 || codes.virtualKey == VK_MENU;
    // The previous-state bit follows the physical key, so that the second
    // of two keys sharing a virtual key (left and right Shift) is a press.
    bool& physicalDown = g_ScancodeDown[key.keysym.scancode];
    const bool wasDown = up ? true : (key.repeat != 0 || physicalDown);
    if (physicalDown != !up) {
        physicalDown = !up;
        SetKeyDown(codes.virtualKey, !up);
        SetKeyDown(codes.sideKey, !up);
    }
    const uint32_t message = altHeld || codes.virtualKey == VK_F10 ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN)
                                                                  : (up ? WM_KEYUP : WM_KEYDOWN);
    Post(window, message, codes.virtualKey, KeyMap_MakeKeyLParam(codes, wasDown, up));
    // Alt+Space opens the window menu on a desktop; the game sees it as that system command.
    if (!up && codes.virtualKey == VK_SPACE && (key.keysym.mod & KMOD_ALT)) {
        Post(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    }
}

void TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        if (PlatformWindow* window = WindowFromId(0)) {
            Post(window, WM_CLOSE, 0, 0);
        } else {
            Post(nullptr, WM_QUIT, 0, 0);
        }
        break;
    case SDL_WINDOWEVENT: {
        PlatformWindow* window = WindowFromId(event.window.windowID);
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: Post(window, WM_ACTIVATE, WA_ACTIVE, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: Post(window, WM_ACTIVATE, WA_INACTIVE, 0); break;
        case SDL_WINDOWEVENT_CLOSE: Post(window, WM_CLOSE, 0, 0); break;
        default: break;
        }
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: TranslateKey(WindowFromId(event.key.windowID), event.key); break;
    case SDL_MOUSEMOTION: {
        PlatformWindow* window = WindowFromId(event.motion.windowID);
        TrackCursor(window, event.motion.x, event.motion.y);
        Post(window, WM_MOUSEMOVE, MouseButtonBits(), MakeLParam(event.motion.x, event.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        uint32_t message = 0;
        uint32_t virtualKey = 0;
        WPARAM extra = 0;
        switch (event.button.button) {
        case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; virtualKey = VK_LBUTTON; break;
        case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; virtualKey = VK_RBUTTON; break;
        case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; virtualKey = VK_MBUTTON; break;
        case SDL_BUTTON_X1:
        case SDL_BUTTON_X2:
            message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
            virtualKey = event.button.button == SDL_BUTTON_X1 ? VK_XBUTTON1 : VK_XBUTTON2;
            extra = static_cast<WPARAM>(event.button.button == SDL_BUTTON_X1 ? 1 : 2) << 16;
            break;
        default: return;
        }
        // A button is one physical key: a repeated down or up changes nothing.
        if ((g_KeyDownCount[virtualKey] != 0) != down) SetKeyDown(virtualKey, down);
        PlatformWindow* window = WindowFromId(event.button.windowID);
        TrackCursor(window, event.button.x, event.button.y);
        Post(window, message, MouseButtonBits() | extra, MakeLParam(event.button.x, event.button.y));
        break;
    }
    case SDL_MOUSEWHEEL: {
        int steps = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
        if (steps == 0) break;
        int x = 0, y = 0;
        Platform_GetCursorPos(&x, &y);
        const WPARAM wParam = MouseButtonBits() | (static_cast<WPARAM>(static_cast<uint16_t>(steps * WHEEL_DELTA)) << 16);
        Post(WindowFromId(event.wheel.windowID), WM_MOUSEWHEEL, wParam, MakeLParam(x, y));
        break;
    }
    default: break;
    }
}

// Moves every waiting toolkit event into the message queue; a termination
// signal joins it as the desktop's quit does.
void PumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) TranslateEvent(event);
    if (g_QuitSignal.exchange(0) != 0) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        TranslateEvent(quit);
    }
}

}  // namespace

bool Platform_Init() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    InstallQuitSignals();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        SetError("SDL_Init");
        return false;
    }
    return true;
}

const char* Platform_GetError() { return g_PlatformError.c_str(); }

bool Platform_RegisterClass(const PlatformWindowClass& windowClass) {
    if (windowClass.name.empty() || windowClass.procedure == nullptr) return false;
    if (!Platform_Init()) return false;
    g_WindowClasses[windowClass.name] = windowClass.procedure;
    return true;
}

HWND Platform_CreateWindow(const std::string& className, const std::string& caption, int x, int y,
                           int width, int height) {
    auto cls = g_WindowClasses.find(className);
    if (cls == g_WindowClasses.end()) {
        g_PlatformError = "window class not registered: " + className;
        return nullptr;
    }
    // The window can hold the graphics device's back buffer itself: 8 bits
    // a channel, 24 bits of depth and 8 of stencil.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* sdl = SDL_CreateWindow(Text_Cp1252ToUtf8(caption).c_str(), x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (sdl == nullptr) {
        SetError("SDL_CreateWindow");
        return nullptr;
    }
    g_WindowRecords.push_back(std::make_unique<PlatformWindow>(PlatformWindow{sdl, cls->second, caption}));
    PlatformWindow* window = g_WindowRecords.back().get();
    g_WindowsById[SDL_GetWindowID(sdl)] = window;
    return window;
}

// The record stays valid after destruction (its owner may still hold the
// handle); only the toolkit window goes, and later calls on it do nothing.
void Platform_DestroyWindow(HWND window) {
    if (window == nullptr || window->sdl == nullptr) return;
    g_WindowsById.erase(SDL_GetWindowID(window->sdl));
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    if (window->procedure) window->procedure(window, WM_DESTROY, 0, 0);
}

void Platform_ShowWindow(HWND window) {
    if (window->sdl == nullptr) return;
    SDL_ShowWindow(window->sdl);
    // Showing activates the window at once, before any queued message.
    if (window->procedure) window->procedure(window, WM_ACTIVATE, WA_ACTIVE, 0);
}

void Platform_SetFocus(HWND window) {
    if (window->sdl) SDL_RaiseWindow(window->sdl);
}

void Platform_SetWindowText(HWND window, const std::string& text) {
    window->title = text;
    if (window->sdl) SDL_SetWindowTitle(window->sdl, Text_Cp1252ToUtf8(text).c_str());
}

std::string Platform_GetWindowText(HWND window) { return window->title; }

void Platform_SetWindowPos(HWND window, int x, int y, int width, int height) {
    if (window->sdl == nullptr) return;
    const int clientWidth = std::max(1, width - window->frameLeft - window->frameRight);
    const int clientHeight = std::max(1, height - window->frameTop - window->frameBottom);
    SDL_SetWindowSize(window->sdl, clientWidth, clientHeight);
    SDL_SetWindowPosition(window->sdl, x + window->frameLeft, y + window->frameTop);
}

void Platform_SetWindowFrame(HWND window, int left, int top, int right, int bottom) {
    window->frameLeft = left;
    window->frameTop = top;
    window->frameRight = right;
    window->frameBottom = bottom;
}

void Platform_GetWindowRect(HWND window, int* x, int* y, int* width, int* height) {
    *x = *y = *width = *height = 0;
    if (window->sdl == nullptr) return;
    SDL_GetWindowPosition(window->sdl, x, y);
    SDL_GetWindowSize(window->sdl, width, height);
    *x -= window->frameLeft;
    *y -= window->frameTop;
    *width += window->frameLeft + window->frameRight;
    *height += window->frameTop + window->frameBottom;
}

void Platform_GetClientSize(HWND window, int* width, int* height) {
    *width = *height = 0;
    if (window->sdl == nullptr) return;
    SDL_GetWindowSize(window->sdl, width, height);
}

bool Platform_IsWindowVisible(HWND window) {
    return window->sdl != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
}

void* Platform_GetNativeWindow(HWND window) { return window ? window->sdl : nullptr; }

int Platform_GetScreenWidth() {
    SDL_DisplayMode mode{};
    return SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.w : 0;
}

int Platform_GetScreenHeight() {
    SDL_DisplayMode mode{};
    return SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.h : 0;
}

int Platform_ShowCursor(bool show) {
    g_CursorCount += show ? 1 : -1;
    SDL_ShowCursor(g_CursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_CursorCount;
}

// The position is kept here as well, since drivers without a global
// pointer (offscreen) ignore the warp and answer no global position.
void Platform_SetCursorPos(int x, int y) {
    g_CursorX = x;
    g_CursorY = y;
    g_CursorKnown = true;
    SDL_WarpMouseGlobal(x, y);
}

void Platform_GetCursorPos(int* x, int* y) {
    if (!g_CursorKnown) {
        SDL_GetGlobalMouseState(&g_CursorX, &g_CursorY);
        g_CursorKnown = true;
    }
    *x = g_CursorX;
    *y = g_CursorY;
}

bool Platform_PeekMessage(WindowMessage* message, bool remove) {
    if (g_PostedMessages.empty()) PumpEvents();
    if (g_PostedMessages.empty()) return false;
    *message = g_PostedMessages.front();
    if (remove) g_PostedMessages.pop_front();
    return true;
}

int Platform_GetMessage(WindowMessage* message) {
    while (!Platform_PeekMessage(message, true)) {
        SDL_WaitEventTimeout(nullptr, 10);
    }
    return message->message == WM_QUIT ? 0 : 1;
}

void Platform_TranslateMessage(const WindowMessage& message) {
    // Character messages are not used by the game; key messages pass unchanged.
    (void)message;
}

LRESULT Platform_DispatchMessage(const WindowMessage& message) {
    if (message.window == nullptr || message.window->procedure == nullptr) return 0;
    return message.window->procedure(message.window, message.message, message.wParam, message.lParam);
}

void Platform_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Post(window, message, wParam, lParam);
}

void Platform_PostQuitMessage(int exitCode) {
    Post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

LRESULT Platform_DefWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // Closing destroys the window; its procedure then sees WM_DESTROY.
        Platform_DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE) Post(window, WM_CLOSE, 0, 0);
        return 0;
    default: return 0;
    }
}

bool Platform_QuitRequested() {
    if (g_QuitSignal.load() != 0) return true;
    for (const WindowMessage& message : g_PostedMessages) {
        if (message.message == WM_CLOSE || message.message == WM_QUIT) return true;
    }
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
    const uint32_t now = SDL_GetTicks();
    if (now - g_LastQuitPoll >= QUIT_POLL_INTERVAL_MS) {
        g_LastQuitPoll = now;
        SDL_PumpEvents();
    }
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0;
}

void Platform_RequestQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

int Platform_GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey >= 256) return 0;
    // The state is the device's at the moment of asking, also for a loop
    // that polls keys without handling messages: the toolkit's waiting
    // events are taken in (and queued as messages, in order) first.
    PumpEvents();
    return g_KeyDownCount[virtualKey] != 0 ? 0x8000 : 0;
}
