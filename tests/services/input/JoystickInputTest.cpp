#include "InputTestSupport.h"

namespace {

using inputtest::FlaggedCodes;
using inputtest::InputTest;
using Codes = std::vector<uint32_t>;

// Virtual devices attached before input starts; the last one attached is
// the current joystick.
class JoystickInput : public InputTest {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        first_ = Attach();
        second_ = Attach();
        InputTest::SetUp();
        ASSERT_EQ(g_Joystick->GetCount(), 2);
    }
    void TearDown() override {
        Input_Init(s_window, nullptr);  // closes the devices before they go
        Unplug(first_);
        Unplug(second_);
    }
    static SDL_Joystick* Attach() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 8, 32, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        return index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    }
    static void Unplug(SDL_Joystick*& driver) {
        if (driver == nullptr) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(driver);
        SDL_JoystickClose(driver);
        driver = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                EXPECT_EQ(SDL_JoystickDetachVirtual(i), 0) << SDL_GetError();
            }
        }
    }

    SDL_Joystick* first_ = nullptr;
    SDL_Joystick* second_ = nullptr;
};

TEST_F(JoystickInput, ButtonsOfTheCurrentJoystick) {
    EXPECT_EQ(g_KeyNameCount, 264u + 64u);
    EXPECT_STREQ(g_KeyNames[QVI_JOYB0 + 63], "QVI_JOYB63");

    SDL_JoystickSetVirtualButton(first_, 2, SDL_PRESSED);  // not the current device
    SDL_JoystickSetVirtualButton(second_, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(second_, 20, SDL_PRESSED);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_JOYB0});
    EXPECT_TRUE(Input_IsKeyDown(QVI_JOYB0));
    EXPECT_FALSE(Input_IsKeyDown(QVI_JOYB0 + 2));
    // Buttons from 16 on have state but no flags.
    EXPECT_TRUE(Input_IsKeyDown(QVI_JOYB0 + 20));
    EXPECT_FALSE(Input_IsKeyDown(QVI_JOYB0 + 40));

    Input_BindKey(QVDI_BUTTONA, QVI_JOYB0 + 1, 0);
    SDL_JoystickSetVirtualButton(second_, 0, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(second_, 1, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(second_, 20, SDL_RELEASED);
    Frame();
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_JOYB0 + 1});
    EXPECT_EQ(FlaggedCodes(false), Codes{QVI_JOYB0});
    EXPECT_TRUE(Input_WasActionPressed(QVDI_BUTTONA, 0));
    EXPECT_EQ(Input_GetBindingName(QVDI_BUTTONA, 0, 0), "QVI_JOYB1");
    EXPECT_FALSE(Input_IsKeyDown(QVI_JOYB0 + 20));
}

TEST_F(JoystickInput, AxesScaledWithDeadZoneAndOddAxesNegated) {
    SDL_JoystickSetVirtualAxis(second_, 0, 32767);
    SDL_JoystickSetVirtualAxis(second_, 1, 32767);
    SDL_JoystickSetVirtualAxis(second_, 2, 320);  // raw 40 of 4096
    SDL_JoystickSetVirtualAxis(second_, 3, -16384);
    Frame();
    EXPECT_FLOAT_EQ(Input_GetAxisValue(QVI_JOYAXIS0), 1.0f);
    EXPECT_FLOAT_EQ(Input_GetAxisValue(QVI_JOYAXIS0 + 1), -1.0f);
    EXPECT_EQ(Input_GetAxisValue(QVI_JOYAXIS0 + 2), 0.0f);
    EXPECT_FLOAT_EQ(Input_GetAxisValue(QVI_JOYAXIS0 + 3), 0.5f);
    EXPECT_EQ(g_Joystick->GetAxis(8), 0.0f);
    EXPECT_EQ(g_Joystick->GetAxis(-1), 0.0f);

    // The stick's directions on the raw range.
    EXPECT_TRUE(g_Joystick->IsButtonDown(JOYDIR_DOWN));
    EXPECT_TRUE(g_Joystick->IsButtonDown(JOYDIR_RIGHT));
    EXPECT_FALSE(g_Joystick->IsButtonDown(JOYDIR_UP));
    EXPECT_FALSE(g_Joystick->IsButtonDown(JOYDIR_LEFT));

    // An action bound to a joystick axis sums primary and secondary.
    Input_BindKey(QVDI_AXIS0, QVI_JOYAXIS0 + 3, 1);
    Input_BindKey(QVDI_AXIS0, QVI_JOYAXIS0, 1);
    EXPECT_FLOAT_EQ(Input_GetActionValue(QVDI_AXIS0, 1), 1.5f);
    EXPECT_EQ(Input_GetBindingName(QVDI_AXIS0, 0, 1), "Axis8");

    // Capture sees the joystick's axes after the mouse's.
    Input_CaptureAxis();
    Input_CaptureAxis();
    SDL_JoystickSetVirtualAxis(second_, 2, -32768);
    Frame();
    EXPECT_EQ(Input_CaptureAxis(), QVI_JOYAXIS0 + 2);
}

TEST_F(JoystickInput, UnpluggedJoystickIsDropped) {
    SDL_JoystickSetVirtualButton(first_, 3, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(second_, 5, SDL_PRESSED);
    Frame();
    EXPECT_TRUE(Input_IsKeyDown(QVI_JOYB0 + 5));
    Unplug(second_);
    Frame();
    // The remaining device becomes the current one.
    EXPECT_EQ(g_Joystick->GetCount(), 1);
    EXPECT_EQ(FlaggedCodes(false), Codes{QVI_JOYB0 + 5});
    EXPECT_EQ(FlaggedCodes(true), Codes{QVI_JOYB0 + 3});
    EXPECT_TRUE(Input_IsKeyDown(QVI_JOYB0 + 3));

    Unplug(first_);
    Frame();
    EXPECT_EQ(g_Joystick->GetCount(), 0);
    EXPECT_FALSE(Input_IsKeyDown(QVI_JOYB0 + 3));
    EXPECT_EQ(Input_GetAxisValue(QVI_JOYAXIS0), 0.0f);
    EXPECT_FALSE(g_Joystick->IsButtonDown(JOYDIR_LEFT));
    Frame();
    EXPECT_EQ(Input_CaptureAxis(), 0u);
}

}  // namespace
