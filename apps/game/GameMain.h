#pragma once
// The game program's entry, its window procedure and the small helpers that
// live beside them.

#include "platform/Window.h"

#include <cstdint>

extern PlatformWindowClass g_WindowClass;
extern HWND g_MainWindow;
extern uint32_t g_WindowActive;   // 1 while the window is active; written by the window procedure

// Runs the whole game: start-up, the message loop and every frame. Returns 0
// after any start-up failure, otherwise the quit message's code.
int WinMain(void* instance, void* previousInstance, const char* commandLine, int showCommand);
// True when the last WinMain stopped at a failed start-up. Its result is 0
// either way, so the program's exit status comes from here: a launcher
// must be able to tell a failed start from a game that ran and quit.
bool App_StartupFailed();

LRESULT QVEngineWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// The developer switch behind "FastDebug": mode 1 sends the current camera
// "Set Gamma" {1, 1, 1, a, b, c}, a value 0xFFFFFFFF standing for 60, 140
// and 200; other modes, and no camera, do nothing.
void FastDebug_Apply(uint32_t mode, uint32_t a, uint32_t b, uint32_t c);

// The program's globals back to their start (window active) with the frame
// loop's.
void App_Reset();
