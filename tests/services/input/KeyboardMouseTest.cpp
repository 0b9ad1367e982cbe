#include "InputTestSupport.h"
#include "platform/VirtualKeys.h"

#include <cctype>
#include <string>

namespace {

using inputtest::FlaggedCodes;
using inputtest::InputTest;
using inputtest::PushButton;
using inputtest::PushKey;
using inputtest::PushMotion;
using inputtest::PushWheel;
using Codes = std::vector<uint32_t>;

TEST_F(InputTest, KeyPressHoldAndRelease) {
    PushKey(SDL_SCANCODE_W, true);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{'W'});
    EXPECT_TRUE(FlaggedCodes(false).empty());
    EXPECT_TRUE(Input_IsKeyDown('W'));
    EXPECT_TRUE(Input_IsActionDown(QVDI_BUTTONFORWARD, 0));
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONFORWARD, 0));
    EXPECT_FALSE(Input_WasActionPressed(QVDI_BUTTONBACKWARD, 0));

    // Auto-repeat while held: no further press.
    PushKey(SDL_SCANCODE_W, true, true);
    PushKey(SDL_SCANCODE_W, true, true);
    Frame();
    EXPECT_TRUE(FlaggedCodes(true).empty());
    EXPECT_TRUE(Input_IsActionDown(QVDI_BUTTONFORWARD, 0));

    PushKey(SDL_SCANCODE_W, false);
    Frame();
    EXPECT_TRUE(FlaggedCodes(true).empty());
    EXPECT_EQ(FlaggedCodes(false), Codes{'W'});
    EXPECT_TRUE(Input_WasActionReleased(QVDI_BUTTONFORWARD, 0));
    EXPECT_FALSE(Input_IsKeyDown('W'));
    EXPECT_FALSE(Input_IsActionDown(QVDI_BUTTONFORWARD, 0));

    Frame();
    EXPECT_TRUE(FlaggedCodes(false).empty());
}

TEST_F(InputTest, PressAndReleaseBetweenFramesSetBothFlagsForOneFrame) {
    PushKey(SDL_SCANCODE_UP, true);
    PushKey(SDL_SCANCODE_UP, false);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_UP});
    EXPECT_EQ(FlaggedCodes(false), Codes{QVI_UP});
    // The secondary code of Forward is W, the primary the Up key.
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONFORWARD, 0));
    EXPECT_TRUE(Input_WasActionReleased(QVDI_BUTTONFORWARD, 0));
    Frame();
    EXPECT_TRUE(FlaggedCodes(true).empty());
    EXPECT_TRUE(FlaggedCodes(false).empty());
}

struct KeyCodeCase {
    SDL_Scancode scancode;
    uint32_t code;  // 0: the key produces nothing
};

class KeyCodeOfKey : public InputTest, public testing::WithParamInterface<KeyCodeCase> {};

TEST_P(KeyCodeOfKey, PressGivesItsCode) {
    const KeyCodeCase& c = GetParam();
    PushKey(c.scancode, true);
    Frame();
    const Codes expected = c.code ? Codes{c.code} : Codes{};
    EXPECT_EQ(FlaggedCodes(true), expected) << SDL_GetScancodeName(c.scancode);
    if (c.code) {
        EXPECT_TRUE(Input_IsKeyDown(c.code)) << "polled state of " << c.code;
    }
    PushKey(c.scancode, false);
    Frame();
    EXPECT_EQ(FlaggedCodes(false), expected);
    if (c.code) {
        EXPECT_FALSE(Input_IsKeyDown(c.code));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCodeOfKey,
    testing::Values(
        // Left and right modifiers by scan code and extended flag.
        KeyCodeCase{SDL_SCANCODE_LCTRL, QVI_LCTRL}, KeyCodeCase{SDL_SCANCODE_RCTRL, QVI_RCTRL},
        KeyCodeCase{SDL_SCANCODE_LSHIFT, QVI_LSHIFT}, KeyCodeCase{SDL_SCANCODE_RSHIFT, QVI_RSHIFT},
        KeyCodeCase{SDL_SCANCODE_LALT, QVI_LALT}, KeyCodeCase{SDL_SCANCODE_RALT, QVI_RALT},
        KeyCodeCase{SDL_SCANCODE_ESCAPE, QVI_ESC}, KeyCodeCase{SDL_SCANCODE_SPACE, QVI_SPACE},
        KeyCodeCase{SDL_SCANCODE_RETURN, QVI_RETURN}, KeyCodeCase{SDL_SCANCODE_KP_ENTER, QVI_RETURN},
        KeyCodeCase{SDL_SCANCODE_UP, QVI_UP}, KeyCodeCase{SDL_SCANCODE_LEFT, QVI_LEFT},
        KeyCodeCase{SDL_SCANCODE_RIGHT, QVI_RIGHT}, KeyCodeCase{SDL_SCANCODE_DOWN, QVI_DOWN},
        KeyCodeCase{SDL_SCANCODE_BACKSPACE, QVI_BACK}, KeyCodeCase{SDL_SCANCODE_TAB, QVI_TAB},
        KeyCodeCase{SDL_SCANCODE_CAPSLOCK, QVI_CAPSLOCK}, KeyCodeCase{SDL_SCANCODE_F1, QVI_F1},
        KeyCodeCase{SDL_SCANCODE_F10, QVI_F1 + 9}, KeyCodeCase{SDL_SCANCODE_F11, QVI_F11},
        KeyCodeCase{SDL_SCANCODE_F12, QVI_F12}, KeyCodeCase{SDL_SCANCODE_HOME, QVI_HOME},
        KeyCodeCase{SDL_SCANCODE_END, QVI_END}, KeyCodeCase{SDL_SCANCODE_PAGEUP, QVI_PAGEUP},
        KeyCodeCase{SDL_SCANCODE_PAGEDOWN, QVI_PAGEDOWN}, KeyCodeCase{SDL_SCANCODE_INSERT, QVI_INSERT},
        KeyCodeCase{SDL_SCANCODE_DELETE, QVI_DELETE}, KeyCodeCase{SDL_SCANCODE_KP_0, QVI_PAD0},
        KeyCodeCase{SDL_SCANCODE_KP_1, QVI_PAD0 + 1}, KeyCodeCase{SDL_SCANCODE_KP_9, QVI_PAD0 + 9},
        // Num Lock and Scroll Lock keep codes of their own, apart from the
        // pad's 9 and left Ctrl.
        KeyCodeCase{SDL_SCANCODE_NUMLOCKCLEAR, QVI_NUMLOCK}, KeyCodeCase{SDL_SCANCODE_SCROLLLOCK, QVI_SCRLOCK},
        KeyCodeCase{SDL_SCANCODE_A, 'A'}, KeyCodeCase{SDL_SCANCODE_Z, 'Z'}, KeyCodeCase{SDL_SCANCODE_0, '0'},
        KeyCodeCase{SDL_SCANCODE_SEMICOLON, 0xBA}, KeyCodeCase{SDL_SCANCODE_GRAVE, 0xC0},
        KeyCodeCase{SDL_SCANCODE_AUDIONEXT, 0xB0},
        // Keys with no code: the pad's operators, Pause, and the function
        // keys above F12, whose virtual keys fall among the own codes.
        KeyCodeCase{SDL_SCANCODE_KP_PLUS, 0}, KeyCodeCase{SDL_SCANCODE_KP_DIVIDE, 0},
        KeyCodeCase{SDL_SCANCODE_F13, 0}, KeyCodeCase{SDL_SCANCODE_F18, 0}, KeyCodeCase{SDL_SCANCODE_F24, 0},
        KeyCodeCase{SDL_SCANCODE_KP_EQUALS, 0}, KeyCodeCase{SDL_SCANCODE_PAUSE, 0}),
    [](const testing::TestParamInfo<KeyCodeCase>& info) {
        std::string name = SDL_GetScancodeName(info.param.scancode);
        std::string out;
        for (char ch : name) out += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return out + "_" + std::to_string(info.param.scancode);
    });

TEST_F(InputTest, MouseButtonsAreKeysWithState) {
    PushButton(SDL_BUTTON_LEFT, true);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_MOUSEL});
    EXPECT_TRUE(Input_IsKeyDown(QVI_MOUSEL));
    EXPECT_FALSE(Input_IsKeyDown(QVI_MOUSER));
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONK, 0));
    EXPECT_TRUE(Input_IsActionDown(QVDI_BUTTONK, 0));

    PushButton(SDL_BUTTON_RIGHT, true);
    PushButton(SDL_BUTTON_MIDDLE, true);
    PushButton(SDL_BUTTON_LEFT, false);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), (Codes{QVI_MOUSER, QVI_MOUSEM}));
    EXPECT_EQ(FlaggedCodes(false), Codes{QVI_MOUSEL});
    EXPECT_FALSE(Input_IsKeyDown(QVI_MOUSEL));
    EXPECT_TRUE(Input_IsKeyDown(QVI_MOUSER));
    EXPECT_TRUE(Input_IsKeyDown(QVI_MOUSEM));
    EXPECT_TRUE(Input_IsActionDown(QVDI_BUTTONL, 0));

    PushButton(SDL_BUTTON_RIGHT, false);
    PushButton(SDL_BUTTON_MIDDLE, false);
    Frame();
    EXPECT_FALSE(Input_IsKeyDown(QVI_MOUSER));
    EXPECT_FALSE(Input_IsKeyDown(QVI_MOUSEM));
}

TEST_F(InputTest, OneWheelStepIsPressAndReleaseForOneFrame) {
    PushWheel(1);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_WHEEL2});
    EXPECT_EQ(FlaggedCodes(false), Codes{QVI_WHEEL2});
    EXPECT_TRUE(Input_IsKeyDown(QVI_WHEEL2));
    EXPECT_FALSE(Input_IsKeyDown(QVI_WHEEL1));
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONG, 0));  // next
    Frame();
    EXPECT_FALSE(Input_IsKeyDown(QVI_WHEEL2));
    EXPECT_TRUE(FlaggedCodes(true).empty());

    PushWheel(-2);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_WHEEL1});
    EXPECT_TRUE(Input_IsKeyDown(QVI_WHEEL1));
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONH, 0));  // previous
}

TEST_F(InputTest, WheelDeltaIsTheHighWordOnly) {
    // No step, but a button held: the low word's bits are no wheel turn.
    Input_HandleWindowMessage(s_window, WM_MOUSEWHEEL, MK_LBUTTON | MK_SHIFT, 0);
    Frame();
    EXPECT_TRUE(FlaggedCodes(true).empty());
    EXPECT_FALSE(Input_IsKeyDown(QVI_WHEEL2));
}

TEST_F(InputTest, MouseOffsetFromTheScreenCentre) {
    int left = 0, top = 0, width = 0, height = 0;
    Platform_GetWindowRect(s_window, &left, &top, &width, &height);
    const int cx = Platform_GetScreenWidth() / 2;
    const int cy = Platform_GetScreenHeight() / 2;
    PushMotion(cx + 100 - left, cy - 50 - top);
    Frame();
    EXPECT_FLOAT_EQ(Input_GetAxisValue(QVI_AXIS0), 3.2f);
    EXPECT_FLOAT_EQ(Input_GetAxisValue(QVI_AXIS1), -1.6f);
    EXPECT_FLOAT_EQ(Input_GetActionValue(QVDI_AXISX, 0), 3.2f);
    EXPECT_FLOAT_EQ(Input_GetActionValue(QVDI_AXISY, 0), -1.6f);
    for (uint32_t code = QVI_AXIS1 + 1; code < QVI_JOYAXIS0; ++code) EXPECT_EQ(Input_GetAxisValue(code), 0.0f);
    // Keys read no axis value.
    EXPECT_EQ(Input_GetActionValue(QVDI_BUTTONFORWARD, 0), 0.0f);

    // Recentred after the update: the next frame reads no offset.
    Input_CenterCursor();
    Frame();
    EXPECT_EQ(Input_GetAxisValue(QVI_AXIS0), 0.0f);
    EXPECT_EQ(Input_GetAxisValue(QVI_AXIS1), 0.0f);
}

TEST_F(InputTest, KeyMessagesOutsideTheKeyTableAreIgnored) {
    Input_HandleWindowMessage(s_window, WM_KEYDOWN, 300, 0x00010001);
    Input_HandleWindowMessage(s_window, WM_KEYDOWN, static_cast<WPARAM>(-1), 0x00010001);
    Input_HandleWindowMessage(s_window, WM_KEYDOWN, 0x6B, 0x004E0001);  // pad plus: no code
    Frame();
    EXPECT_TRUE(FlaggedCodes(true).empty());
}

TEST_F(InputTest, VirtualKeyTablesAgree) {
    EXPECT_EQ(Input_VirtualKeyToKey(VK_PRIOR), QVI_PAGEUP);
    EXPECT_EQ(Input_KeyToVirtualKey(QVI_PAGEUP), static_cast<uint32_t>(VK_PRIOR));
    EXPECT_EQ(Input_VirtualKeyToKey(VK_NEXT), QVI_PAGEDOWN);
    EXPECT_EQ(Input_KeyToVirtualKey(QVI_PAGEDOWN), static_cast<uint32_t>(VK_NEXT));
    EXPECT_EQ(Input_KeyToVirtualKey(QVI_MOUSEL), 1u);
    EXPECT_EQ(Input_KeyToVirtualKey(QVI_MOUSEM), 4u);
    EXPECT_EQ(Input_VirtualKeyToKey(VK_RBUTTON), QVI_MOUSER);
    // Every code that a virtual key gives leads back to that key.
    for (uint32_t vk = 0; vk < 256; ++vk) {
        const uint32_t code = Input_VirtualKeyToKey(vk);
        if (code != 0) {
            EXPECT_EQ(Input_KeyToVirtualKey(code), vk) << vk;
        }
    }
    EXPECT_EQ(Input_KeyToVirtualKey(QVI_MINUS), 0u);
    EXPECT_EQ(Input_VirtualKeyToKey(VK_SHIFT), 0u) << "generic Shift is refined before the table";
    EXPECT_EQ(Input_VirtualKeyToKey(256), 0u);
    EXPECT_EQ(Input_KeyToVirtualKey(4096), 0u);
}

}  // namespace
