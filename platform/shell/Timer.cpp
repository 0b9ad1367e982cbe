#include "platform/shell/Timer.h"

#include "platform/Time.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <vector>

namespace {

struct WindowTimer {
    HWND window;
    uintptr_t id;
    uint32_t period;
    uint32_t due;  // tick count
};

std::vector<WindowTimer> g_Timers;

// Tick counts wrap at 32 bits: compare by difference.
int32_t Until(uint32_t due, uint32_t now) { return static_cast<int32_t>(due - now); }

}  // namespace

void Platform_SetTimer(HWND window, uintptr_t id, uint32_t milliseconds) {
    const uint32_t due = Platform_GetTickCount() + milliseconds;
    for (WindowTimer& timer : g_Timers) {
        if (timer.window == window && timer.id == id) {
            timer.period = milliseconds;
            timer.due = due;
            return;
        }
    }
    g_Timers.push_back(WindowTimer{window, id, milliseconds, due});
}

void Platform_KillTimer(HWND window, uintptr_t id) {
    std::erase_if(g_Timers, [&](const WindowTimer& t) { return t.window == window && t.id == id; });
}

void Platform_KillWindowTimers(HWND window) {
    std::erase_if(g_Timers, [&](const WindowTimer& t) { return t.window == window; });
}

bool Platform_PeekTimer(WindowMessage* message) {
    const uint32_t now = Platform_GetTickCount();
    WindowTimer* next = nullptr;
    for (WindowTimer& timer : g_Timers) {
        if (Until(timer.due, now) <= 0 && (next == nullptr || Until(timer.due, next->due) < 0)) next = &timer;
    }
    if (next == nullptr) return false;
    *message = WindowMessage{next->window, WM_TIMER, next->id, 0};
    next->due = now + std::max<uint32_t>(next->period, 1);
    return true;
}

void Platform_WaitMessage(uint32_t longestMilliseconds) {
    const uint32_t now = Platform_GetTickCount();
    int32_t wait = static_cast<int32_t>(longestMilliseconds);
    for (const WindowTimer& timer : g_Timers) wait = std::min(wait, std::max(Until(timer.due, now), 0));
    if (wait > 0) SDL_WaitEventTimeout(nullptr, wait);
}
