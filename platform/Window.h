#pragma once
// The game window and its message queue: a window class with a window
// procedure, a window, and a pump that turns the toolkit's events into
// window messages delivered in order to that procedure.

#include "platform/Messages.h"

#include <string>

using WindowProc = LRESULT (*)(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

struct PlatformWindowClass {
    std::string name;
    WindowProc procedure = nullptr;
};

// Brings up the video and event parts of the toolkit; false with
// Platform_GetError set when no display (real or offscreen) is available.
bool Platform_Init();
const char* Platform_GetError();

bool Platform_RegisterClass(const PlatformWindowClass& windowClass);

// A window of a registered class, placed and sized in pixels, hidden until
// Platform_ShowWindow. Null on failure.
HWND Platform_CreateWindow(const std::string& className, const std::string& caption, int x, int y,
                           int width, int height);
void Platform_DestroyWindow(HWND window);
void Platform_ShowWindow(HWND window);
void Platform_SetFocus(HWND window);
void Platform_SetWindowText(HWND window, const std::string& text);
std::string Platform_GetWindowText(HWND window);
// Position and size are the window's outer rectangle: its client area is
// that rectangle less the window's frame (none unless set).
void Platform_SetWindowPos(HWND window, int x, int y, int width, int height);
// The frame (sizing border and caption) around the client area, in pixels.
void Platform_SetWindowFrame(HWND window, int left, int top, int right, int bottom);
void Platform_GetWindowRect(HWND window, int* x, int* y, int* width, int* height);
void Platform_GetClientSize(HWND window, int* width, int* height);
bool Platform_IsWindowVisible(HWND window);
// The toolkit's own window handle (an SDL_Window*), for the device layer.
void* Platform_GetNativeWindow(HWND window);

// Screen size in pixels (the desktop mode of the first display).
int Platform_GetScreenWidth();
int Platform_GetScreenHeight();

// Cursor visibility counter, as ShowCursor: returns the new count; the
// cursor shows while the count is 0 or more.
int Platform_ShowCursor(bool show);
// Cursor position in screen pixels: the last mouse event or warp.
void Platform_SetCursorPos(int x, int y);
void Platform_GetCursorPos(int* x, int* y);

// The message queue. PeekMessage with remove=false leaves the message first
// in the queue; GetMessage waits for one and returns 0 for WM_QUIT.
bool Platform_PeekMessage(WindowMessage* message, bool remove);
int Platform_GetMessage(WindowMessage* message);
void Platform_TranslateMessage(const WindowMessage& message);
LRESULT Platform_DispatchMessage(const WindowMessage& message);
void Platform_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
void Platform_PostQuitMessage(int exitCode);
// Asks the application to close, as the desktop's close request does; safe
// from any thread (tests and signal-driven shutdown use it).
void Platform_RequestQuit();
// True while a quit request (the desktop's, a termination signal, a queued
// close or quit message) waits to be served. Cheap enough to ask between
// the records of a long load, which it lets end early; the request itself
// stays queued for the message loop.
bool Platform_QuitRequested();
LRESULT Platform_DefWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// Down state of a virtual key as the key and mouse events left it (non-zero
// while down): the mouse buttons (1, 2, 4, 5, 6), the generic and the sided
// Shift, Ctrl and Alt keys (0x10 to 0x12, 0xA0 to 0xA5) included. Asking
// pumps the toolkit's events first, so a loop that handles no messages
// still sees keys go down.
int Platform_GetAsyncKeyState(int virtualKey);
