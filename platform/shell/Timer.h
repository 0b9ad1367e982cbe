#pragma once
// Window timers, as the desktop's: a timer is a window and an id; it comes
// due every period while it runs and is then delivered as WM_TIMER (wParam:
// the id), after the window's other messages. Setting a running id again
// restarts its period.

#include "platform/Messages.h"

#include <cstdint>

void Platform_SetTimer(HWND window, uintptr_t id, uint32_t milliseconds);
void Platform_KillTimer(HWND window, uintptr_t id);
void Platform_KillWindowTimers(HWND window);
// The timer that has been due longest, as its message (it is then due a
// period later); false when none is due.
bool Platform_PeekTimer(WindowMessage* message);
// Waits until an event comes in, a timer comes due or the time runs out.
void Platform_WaitMessage(uint32_t longestMilliseconds);
