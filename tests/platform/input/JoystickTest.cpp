#include "platform/input/Joystick.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace {

class VirtualJoystick : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PlatformJoystick_Init()) << SDL_GetError();
        deviceIndex_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 36, 1);
        ASSERT_GE(deviceIndex_, 0) << SDL_GetError();
        // The test drives the device through the toolkit's own handle.
        driver_ = SDL_JoystickOpen(deviceIndex_);
        ASSERT_NE(driver_, nullptr) << SDL_GetError();
        joystick_ = PlatformJoystick_Open(deviceIndex_);
        ASSERT_NE(joystick_, nullptr);
    }
    void TearDown() override {
        PlatformJoystick_Close(joystick_);
        if (driver_) SDL_JoystickClose(driver_);
        if (attached_) SDL_JoystickDetachVirtual(deviceIndex_);
    }
    JoystickState Read() {
        PlatformJoystick_Update();
        JoystickState state{};
        EXPECT_TRUE(PlatformJoystick_Read(joystick_, &state));
        return state;
    }

    int deviceIndex_ = -1;
    bool attached_ = true;
    SDL_Joystick* driver_ = nullptr;
    PlatformJoystick* joystick_ = nullptr;
};

TEST_F(VirtualJoystick, AxesAreSpreadOverTheChosenRange) {
    PlatformJoystick_SetAxisRange(joystick_, -4096, 4096);
    SDL_JoystickSetVirtualAxis(driver_, 0, 32767);
    SDL_JoystickSetVirtualAxis(driver_, 1, -32768);
    SDL_JoystickSetVirtualAxis(driver_, 2, 0);
    SDL_JoystickSetVirtualAxis(driver_, 5, 16384);
    const JoystickState state = Read();
    EXPECT_EQ(state.axes[0], 4096);
    EXPECT_EQ(state.axes[1], -4096);
    EXPECT_EQ(state.axes[2], 0);
    EXPECT_EQ(state.axes[5], 2048);
    // Axes the device does not have rest in the middle.
    EXPECT_EQ(state.axes[6], 0);
    EXPECT_EQ(state.axes[7], 0);
}

TEST_F(VirtualJoystick, ButtonsAndHat) {
    SDL_JoystickSetVirtualButton(driver_, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(driver_, 31, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(driver_, 35, SDL_PRESSED);  // beyond the 32 kept
    SDL_JoystickSetVirtualHat(driver_, 0, SDL_HAT_RIGHTDOWN);
    JoystickState state = Read();
    EXPECT_EQ(state.buttons[0], 0x80);
    EXPECT_EQ(state.buttons[1], 0);
    EXPECT_EQ(state.buttons[31], 0x80);
    EXPECT_EQ(state.pov[0], 13500u);
    EXPECT_EQ(state.pov[1], 0xFFFFFFFFu);

    SDL_JoystickSetVirtualButton(driver_, 0, SDL_RELEASED);
    SDL_JoystickSetVirtualHat(driver_, 0, SDL_HAT_CENTERED);
    state = Read();
    EXPECT_EQ(state.buttons[0], 0);
    EXPECT_EQ(state.pov[0], 0xFFFFFFFFu);
}

TEST_F(VirtualJoystick, UnpluggedDeviceReadsFalse) {
    ASSERT_EQ(SDL_JoystickDetachVirtual(deviceIndex_), 0) << SDL_GetError();
    attached_ = false;
    PlatformJoystick_Update();
    JoystickState state{};
    state.buttons[3] = 0x55;
    EXPECT_FALSE(PlatformJoystick_Read(joystick_, &state));
    EXPECT_EQ(state.buttons[3], 0x55) << "state left unchanged";
}

TEST(Joystick, NullDeviceIsHarmless) {
    JoystickState state{};
    EXPECT_FALSE(PlatformJoystick_Read(nullptr, &state));
    PlatformJoystick_Close(nullptr);
    PlatformJoystick_SetAxisRange(nullptr, -1, 1);
    ASSERT_TRUE(PlatformJoystick_Init());
    EXPECT_EQ(PlatformJoystick_Open(PlatformJoystick_GetDeviceCount() + 5), nullptr);
}

}  // namespace
