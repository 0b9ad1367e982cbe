#include "InputTestSupport.h"

#include <cstring>

namespace {

using inputtest::InputTest;
using inputtest::PushButton;
using inputtest::PushKey;

struct DefaultCase {
    uint32_t action;
    uint32_t primary;
    uint32_t secondary;
    const char* primaryName;
    const char* secondaryName;
};

class DefaultBinding : public InputTest, public testing::WithParamInterface<DefaultCase> {};

TEST_P(DefaultBinding, PrimaryIsTheLaterCode) {
    const DefaultCase& c = GetParam();
    EXPECT_EQ(Input_GetBinding(c.action, 0), c.primary);
    EXPECT_EQ(Input_GetBinding(c.action, 1), c.secondary);
    EXPECT_EQ(Input_GetBindingName(c.action, 0, 0), c.primaryName);
    EXPECT_EQ(Input_GetBindingName(c.action, 1, 0), c.secondaryName);
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, DefaultBinding,
    testing::Values(DefaultCase{1, QVI_AXIS0, 0, "Axis0", ""}, DefaultCase{2, QVI_AXIS1, 0, "Axis1", ""},
                    DefaultCase{9, QVI_UP, 'W', "QVI_UP", "W"}, DefaultCase{10, QVI_DOWN, 'S', "QVI_DOWN", "S"},
                    DefaultCase{11, QVI_LEFT, 'A', "QVI_LEFT", "A"}, DefaultCase{12, QVI_RIGHT, 'D', "QVI_RIGHT", "D"},
                    DefaultCase{15, QVI_RCTRL, QVI_SPACE, "QVI_RCTRL", "QVI_SPACE"},
                    DefaultCase{16, QVI_RSHIFT, 'E', "QVI_RSHIFT", "E"}, DefaultCase{17, QVI_LCTRL, 0, "QVI_LCTRL", ""},
                    DefaultCase{18, 'R', 0, "R", ""}, DefaultCase{19, 'G', 0, "G", ""},
                    DefaultCase{21, QVI_PAGEDOWN, QVI_WHEEL2, "QVI_PAGEDOWN", "QVI_WHEEL2"},
                    DefaultCase{22, QVI_PAGEUP, QVI_WHEEL1, "QVI_PAGEUP", "QVI_WHEEL1"},
                    DefaultCase{24, 'Q', 0, "Q", ""}, DefaultCase{25, QVI_MOUSEL, 0, "QVI_MOUSEL", ""},
                    DefaultCase{26, QVI_MOUSER, 0, "QVI_MOUSER", ""},
                    DefaultCase{29, QVI_PAD0, QVI_LSHIFT, "QVI_PAD0", "QVI_LSHIFT"},
                    DefaultCase{30, QVI_ESC, 0, "QVI_ESC", ""}, DefaultCase{31, 'P', 0, "P", ""},
                    DefaultCase{32, QVI_TAB, 0, "QVI_TAB", ""},
                    // Unbound actions.
                    DefaultCase{3, 0, 0, "", ""}, DefaultCase{20, 0, 0, "", ""}, DefaultCase{23, 0, 0, "", ""}),
    [](const testing::TestParamInfo<DefaultCase>& info) { return "Action" + std::to_string(info.param.action); });

TEST_F(InputTest, OnlyRowZeroIsBoundAtStart) {
    for (uint32_t index = kInputRowSize; index < kInputRows * kInputRowSize; ++index) {
        ASSERT_EQ(Input_GetBinding(index, 0), 0u) << index;
        ASSERT_EQ(Input_GetBinding(index, 1), 0u) << index;
    }
}

TEST_F(InputTest, BindKeyMovesPrimaryToSecondary) {
    const uint32_t row = 2;
    const uint32_t index = row * kInputRowSize + QVDI_BUTTONF;
    EXPECT_EQ(Input_BindKey(QVDI_BUTTONF, 'L', row), 1);
    EXPECT_EQ(Input_GetBinding(index, 0), static_cast<uint32_t>('L'));
    EXPECT_EQ(Input_GetBinding(index, 1), 0u);
    // The same code again leaves it primary with no secondary.
    Input_BindKey(QVDI_BUTTONF, 'K', row);
    Input_BindKey(QVDI_BUTTONF, 'K', row);
    EXPECT_EQ(Input_GetBinding(index, 0), static_cast<uint32_t>('K'));
    EXPECT_EQ(Input_GetBinding(index, 1), 0u);
    // A new code moves the old one to the secondary place.
    Input_BindKey(QVDI_BUTTONF, QVI_F1, row);
    EXPECT_EQ(Input_GetBinding(index, 0), QVI_F1);
    EXPECT_EQ(Input_GetBinding(index, 1), static_cast<uint32_t>('K'));
    EXPECT_EQ(Input_GetBindingName(QVDI_BUTTONF, 0, row), "QVI_F1");
    EXPECT_EQ(Input_GetBindingName(QVDI_BUTTONF, 1, row), "K");
    // Code 0 clears both.
    Input_BindKey(QVDI_BUTTONF, 0, row);
    EXPECT_EQ(Input_GetBinding(index, 0), 0u);
    EXPECT_EQ(Input_GetBinding(index, 1), 0u);
    // Other rows and actions untouched.
    EXPECT_EQ(Input_GetBinding(QVDI_BUTTONFORWARD, 0), QVI_UP);
}

TEST_F(InputTest, KeyNames) {
    EXPECT_EQ(g_KeyNameCount, 264u + 32u * static_cast<uint32_t>(g_Joystick->GetCount()));
    EXPECT_STREQ(g_KeyNames[0], "Key0");
    EXPECT_STREQ(g_KeyNames[1], "-LBUTTON");
    EXPECT_STREQ(g_KeyNames[13], "-RETURN");
    EXPECT_STREQ(g_KeyNames[27], "QVI_ESC");
    EXPECT_STREQ(g_KeyNames[32], "QVI_SPACE");
    EXPECT_STREQ(g_KeyNames[42], "*");
    EXPECT_STREQ(g_KeyNames[65], "A");
    EXPECT_STREQ(g_KeyNames[93], "-APPS");
    EXPECT_STREQ(g_KeyNames[96], "-NUMPAD0");
    EXPECT_STREQ(g_KeyNames[98], "QVI_RETURN");
    EXPECT_STREQ(g_KeyNames[120], "QVI_F10");
    EXPECT_STREQ(g_KeyNames[144], "QVI_PAD9");
    EXPECT_STREQ(g_KeyNames[147], "QVI_LALT");
    EXPECT_STREQ(g_KeyNames[160], "-LSHIFT");
    EXPECT_STREQ(g_KeyNames[170], "Key170");
    EXPECT_STREQ(g_KeyNames[192], "\xC0");
    EXPECT_STREQ(g_KeyNames[255], "Key255");
    EXPECT_STREQ(g_KeyNames[258], "QVI_MOUSEM");
    EXPECT_STREQ(g_KeyNames[259], "QVI_MOUSE3");
    EXPECT_STREQ(g_KeyNames[261], "QVI_MOUSE5");
    EXPECT_STREQ(g_KeyNames[262], "QVI_WHEEL1");
    EXPECT_STREQ(g_KeyNames[263], "QVI_WHEEL2");
    EXPECT_STREQ(g_ActionNames[0], "__RESEVED");
    EXPECT_STREQ(g_ActionNames[9], "QVDI_BUTTONFORWARD");
    EXPECT_STREQ(g_ActionNames[32], "QVDI_BUTTONR");
}

TEST_F(InputTest, CaptureKeyReportsTheFirstChange) {
    EXPECT_EQ(Input_CaptureKey(), 0u);
    EXPECT_EQ(Input_CaptureKey(), 0u);
    PushKey(SDL_SCANCODE_K, true);
    inputtest::Pump();
    EXPECT_EQ(Input_CaptureKey(), static_cast<uint32_t>('K'));
    EXPECT_EQ(Input_CaptureKey(), 0u) << "held: no change";
    // Two changes in one sample: the lowest code is reported, the other is
    // already in the sample the next call compares with.
    PushKey(SDL_SCANCODE_K, false);
    PushKey(SDL_SCANCODE_M, true);
    inputtest::Pump();
    EXPECT_EQ(Input_CaptureKey(), static_cast<uint32_t>('K'));
    EXPECT_EQ(Input_CaptureKey(), 0u);
    PushKey(SDL_SCANCODE_M, false);
    inputtest::Pump();
    Input_CaptureKey();
    PushButton(SDL_BUTTON_RIGHT, true);
    inputtest::Pump();
    EXPECT_EQ(Input_CaptureKey(), QVI_MOUSER);
    PushButton(SDL_BUTTON_RIGHT, false);
    PushKey(SDL_SCANCODE_RCTRL, true);
    inputtest::Pump();
    EXPECT_EQ(Input_CaptureKey(), QVI_RCTRL);
    PushKey(SDL_SCANCODE_RCTRL, false);
    inputtest::Pump();
    Input_CaptureKey();
    EXPECT_EQ(Input_CaptureKey(), 0u);
}

TEST_F(InputTest, CaptureAxisReportsTheMovedAxis) {
    EXPECT_EQ(Input_CaptureAxis(), 0u);
    EXPECT_EQ(Input_CaptureAxis(), 0u);
    int left = 0, top = 0, width = 0, height = 0;
    Platform_GetWindowRect(s_window, &left, &top, &width, &height);
    inputtest::PushMotion(Platform_GetScreenWidth() / 2 - left, Platform_GetScreenHeight() / 2 + 7 - top);
    Frame();
    EXPECT_EQ(Input_CaptureAxis(), QVI_AXIS1);
    EXPECT_EQ(Input_CaptureAxis(), 0u);
    Input_CenterCursor();
    Frame();
}

TEST_F(InputTest, CodesOutsideTheTablesReadNotPressed) {
    // The axis codes bound by default have no key state.
    EXPECT_FALSE(Input_IsActionDown(QVDI_AXISX, 0));
    EXPECT_FALSE(Input_WasActionPressed(QVDI_AXISX, 0));
    EXPECT_FALSE(Input_WasActionReleased(QVDI_AXISY, 0));
    for (uint32_t code : {512u, 4096u, 4097u, 4111u, 9990u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(Input_WasKeyPressed(code)) << code;
        EXPECT_FALSE(Input_WasKeyReleased(code)) << code;
        EXPECT_FALSE(Input_IsKeyDown(code)) << code;
    }
    EXPECT_FALSE(Input_IsKeyDown(QVI_JOYB0 + 40));
    EXPECT_EQ(Input_GetAxisValue(QVI_JOYAXIS0 + 8), 0.0f);
    EXPECT_EQ(Input_GetAxisValue(0xFFFFFFFFu), 0.0f);
    EXPECT_EQ(Input_GetAxisValue('W'), 0.0f);
}

TEST_F(InputTest, BindingsOutsideTheTableAreIgnored) {
    uint32_t before[2][kInputRows * kInputRowSize];
    std::memcpy(before, g_KeyBindings, sizeof(before));
    EXPECT_EQ(Input_BindKey(kInputRowSize, 'X', 0), 0);
    EXPECT_EQ(Input_BindKey(1, 'X', kInputRows), 0);
    EXPECT_EQ(Input_BindKey(0xFFFFFFFFu, 'X', 0xFFFFFFFFu), 0);
    EXPECT_EQ(std::memcmp(before, g_KeyBindings, sizeof(before)), 0);
    EXPECT_EQ(Input_GetBinding(kInputRows * kInputRowSize, 0), 0u);
    EXPECT_EQ(Input_GetBinding(9, 2), 0u);
    EXPECT_EQ(Input_GetBindingName(QVDI_BUTTONFORWARD, 2, 0), "");
    EXPECT_EQ(Input_GetBindingName(200, 0, 0), "");
    EXPECT_FALSE(Input_IsActionDown(200, 9));
    EXPECT_EQ(Input_GetActionValue(200, 9), 0.0f);
    // A joystick button that no device has is still named.
    Input_BindKey(QVDI_BUTTONM, QVI_JOYB0 + 32 * kMaxJoysticks, 1);
    EXPECT_EQ(Input_GetBindingName(QVDI_BUTTONM, 0, 1), "Key776");
}

}  // namespace
