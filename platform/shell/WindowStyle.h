#pragma once
// Window decorations the front ends change.

#include "platform/Messages.h"

// Takes the caption and frame off a window (or puts them back).
void Platform_SetWindowBorderless(HWND window, bool borderless);
