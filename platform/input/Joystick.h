#pragma once
// Game controllers: the attached devices, each read as one state record of
// eight axes on a chosen range, four point-of-view hats and 32 buttons.

#include <cstdint>

struct PlatformJoystick;

struct JoystickState {
    int32_t axes[8];      // X, Y, Z, rotation X, Y, Z, two sliders; on the device's axis range
    uint32_t pov[4];      // hundredths of a degree clockwise from up; 0xFFFFFFFF when centred
    uint8_t buttons[32];  // 0x80 while down
};
static_assert(sizeof(JoystickState) == 80, "one state record is 80 bytes");

// Brings up the toolkit's joystick support; false (with Platform_GetError's
// text unchanged) when it is missing. Safe to call again.
bool PlatformJoystick_Init();
// Attached devices, in enumeration order.
int PlatformJoystick_GetDeviceCount();
// Null when the device cannot be opened. A new device reads every axis on
// -32768 to 32767 until its range is set.
PlatformJoystick* PlatformJoystick_Open(int deviceIndex);
void PlatformJoystick_Close(PlatformJoystick* joystick);
void PlatformJoystick_SetAxisRange(PlatformJoystick* joystick, int32_t minimum, int32_t maximum);
// Takes in what the devices reported since the last update; call once
// before reading the devices.
void PlatformJoystick_Update();
// Fills state; false when the device has been unplugged (state unchanged).
bool PlatformJoystick_Read(PlatformJoystick* joystick, JoystickState* state);
