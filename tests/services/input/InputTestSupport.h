#pragma once
// A window whose procedure hands every message to the input service, and
// helpers that push toolkit events through the platform pump into it.

#include "platform/Window.h"
#include "services/input/Input.h"
#include "services/input/Joystick.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace inputtest {

inline LRESULT InputWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Input_HandleWindowMessage(window, message, wParam, lParam);
    return Platform_DefWindowProc(window, message, wParam, lParam);
}

inline void Pump() {
    WindowMessage m;
    while (Platform_PeekMessage(&m, true)) Platform_DispatchMessage(m);
}

inline void PushKey(SDL_Scancode code, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
}

inline void PushButton(uint8_t button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
}

inline void PushWheel(int steps) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = steps;
    SDL_PushEvent(&e);
}

// Window coordinates.
inline void PushMotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

// Every code with its pressed (or released) flag set this frame.
inline std::vector<uint32_t> FlaggedCodes(bool pressed) {
    std::vector<uint32_t> codes;
    for (uint32_t code = 0; code < 512; ++code) {
        if (pressed ? Input_WasKeyPressed(code) : Input_WasKeyReleased(code)) codes.push_back(code);
    }
    return codes;
}

// Input started on a test window with the start-up bindings; every test
// begins with no key down and no flag set.
class InputTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        if (s_window == nullptr) {
            ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"InputTest", InputWindowProc}));
            s_window = Platform_CreateWindow("InputTest", "InputTest", 0, 0, 640, 480);
            ASSERT_NE(s_window, nullptr) << Platform_GetError();
        }
    }
    void SetUp() override {
        Pump();
        ASSERT_EQ(Input_Init(s_window, nullptr), 1);
        Input_BindDefaultKeys();
        Input_CenterCursor();
        Input_Update(0.01f);
    }
    // Pumps the pushed events into the window procedure, then runs one frame's update.
    static void Frame() {
        Pump();
        Input_Update(0.01f);
    }
    static inline HWND s_window = nullptr;
};

}  // namespace inputtest
