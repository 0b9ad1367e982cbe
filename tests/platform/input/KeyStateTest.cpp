#include "platform/Window.h"
#include "platform/VirtualKeys.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

LRESULT IgnoreMessages(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

std::vector<WindowMessage> TakeMessages() {
    std::vector<WindowMessage> messages;
    WindowMessage m;
    while (Platform_PeekMessage(&m, true)) messages.push_back(m);
    return messages;
}

void PushKey(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
}

void PushButton(uint8_t button, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
}

class PumpedKeyState : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"KeyState", IgnoreMessages}));
        s_window = Platform_CreateWindow("KeyState", "KeyState", 0, 0, 320, 200);
        ASSERT_NE(s_window, nullptr) << Platform_GetError();
    }
    void SetUp() override { TakeMessages(); }
    static HWND s_window;
};

HWND PumpedKeyState::s_window = nullptr;

// A loop that polls keys without handling messages (the logo movie's)
// still sees a key go down; the message waits in the queue in its place.
TEST_F(PumpedKeyState, PollingSeesKeysNoOneHasPumped) {
    PushKey(SDL_SCANCODE_SPACE, true);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_SPACE), 0);
    PushKey(SDL_SCANCODE_SPACE, false);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_SPACE), 0);
    const auto m = TakeMessages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<uint32_t>(WM_KEYDOWN));
    EXPECT_EQ(m[1].message, static_cast<uint32_t>(WM_KEYUP));
}

TEST_F(PumpedKeyState, SidesOfAModifierAreSeparateKeys) {
    PushKey(SDL_SCANCODE_LSHIFT, true);
    PushKey(SDL_SCANCODE_RSHIFT, true);
    auto m = TakeMessages();
    ASSERT_EQ(m.size(), 2u);
    // The right Shift is a fresh press although Shift is already down.
    EXPECT_EQ(static_cast<uint32_t>(m[1].lParam) & (1u << 30), 0u);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_LSHIFT), 0);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_RSHIFT), 0);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_SHIFT), 0);

    PushKey(SDL_SCANCODE_LSHIFT, false);
    TakeMessages();
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_LSHIFT), 0);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_SHIFT), 0) << "right Shift still holds Shift down";
    PushKey(SDL_SCANCODE_RSHIFT, false);
    TakeMessages();
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_RSHIFT), 0);

    PushKey(SDL_SCANCODE_RCTRL, true);
    PushKey(SDL_SCANCODE_LALT, true);
    TakeMessages();
    EXPECT_NE(Platform_GetAsyncKeyState(VK_RCONTROL), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_LCONTROL), 0);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_LMENU), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_RMENU), 0);
    PushKey(SDL_SCANCODE_RCTRL, false);
    PushKey(SDL_SCANCODE_LALT, false);
    TakeMessages();
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_MENU), 0);
}

TEST_F(PumpedKeyState, MouseButtonsAndCursorFollowPumpedEvents) {
    int left = 0, top = 0, width = 0, height = 0;
    Platform_GetWindowRect(s_window, &left, &top, &width, &height);
    PushButton(SDL_BUTTON_LEFT, true, 30, 40);
    PushButton(SDL_BUTTON_MIDDLE, true, 30, 40);
    auto m = TakeMessages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<uint32_t>(WM_LBUTTONDOWN));
    EXPECT_EQ(m[1].wParam & (MK_LBUTTON | MK_MBUTTON), static_cast<WPARAM>(MK_LBUTTON | MK_MBUTTON));
    EXPECT_NE(Platform_GetAsyncKeyState(VK_LBUTTON), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_RBUTTON), 0);
    EXPECT_NE(Platform_GetAsyncKeyState(VK_MBUTTON), 0);
    int x = 0, y = 0;
    Platform_GetCursorPos(&x, &y);
    EXPECT_EQ(x, left + 30);
    EXPECT_EQ(y, top + 40);

    PushButton(SDL_BUTTON_LEFT, false, 31, 41);
    PushButton(SDL_BUTTON_MIDDLE, false, 31, 41);
    TakeMessages();
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_LBUTTON), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_MBUTTON), 0);

    // A warp places the cursor even where the driver cannot move a pointer.
    Platform_SetCursorPos(5, 6);
    Platform_GetCursorPos(&x, &y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    TakeMessages();
}

TEST_F(PumpedKeyState, KeysOutsideTheTableReadUp) {
    EXPECT_EQ(Platform_GetAsyncKeyState(-1), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(256), 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(0x7FFFFFFF), 0);
}

}  // namespace
