#pragma once
// Modal message boxes with an OK button. Without a display to show them on
// (no desktop session, or the offscreen and dummy drivers of headless runs)
// the caption and text go to standard error instead, so nothing waits for
// a click that cannot come.

#include "platform/Messages.h"

#include <string>

enum PlatformMessageIcon { MESSAGE_ICON_NONE, MESSAGE_ICON_ERROR, MESSAGE_ICON_EXCLAMATION };

// Text and caption are Windows-1252, lines split at line feeds. Returns
// once the box is closed.
void Platform_MessageBox(HWND parent, const std::string& text, const std::string& caption,
                         PlatformMessageIcon icon = MESSAGE_ICON_NONE);
