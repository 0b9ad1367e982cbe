#pragma once
// Cursors and window icons loaded from ".cur" and ".ico" files. The cursor
// made current stays until another is set; null is the standard arrow.

#include "platform/Messages.h"

#include <string>

struct PlatformCursor;
struct PlatformIcon;

// The file's picture nearest to size x size pixels; null when the file
// cannot be read as a cursor or icon.
PlatformCursor* Platform_LoadCursorFile(const std::string& path, int size);
void Platform_DestroyCursor(PlatformCursor* cursor);
void Platform_SetCursor(PlatformCursor* cursor);
PlatformCursor* Platform_GetCursor();

PlatformIcon* Platform_LoadIconFile(const std::string& path, int size);
void Platform_DestroyIcon(PlatformIcon* icon);
void Platform_SetWindowIcon(HWND window, PlatformIcon* icon);
