#pragma once
// Up to 16 joysticks read through the platform; the last device found is
// the current one, and only it answers the button and axis queries.

#include "platform/Messages.h"

#include <cstdint>

class CQVJoystick {
public:
    // Makes g_Joystick, replacing (and closing the devices of) an earlier one.
    static CQVJoystick* Create();
    ~CQVJoystick();

    // Opens the devices and zeroes their states; false when the platform
    // has no joystick support (every query then answers false or 0).
    bool Init(HWND window, void* instance);
    bool CreateDevices(HWND window, void* instance);

    // Button b (0 to 31) of the current joystick, or one of the stick
    // directions JOYDIR_UP to JOYDIR_RIGHT.
    bool IsButtonDown(uint32_t button) const;
    // Axis a (0 to 7) of the current joystick on -1 to 1, 0 inside the dead
    // zone; the odd axes are negated so that up and away are positive.
    float GetAxis(int32_t axis) const;
    int GetButtonCount() const { return 32; }
    int GetAxisCount() const { return 8; }
    int GetCount() const;
    // Reads every device; a device found unplugged is dropped.
    bool Poll();
    bool Acquire(int deviceIndex);

private:
    CQVJoystick() = default;
    void DropDevice(int deviceIndex);
};

extern CQVJoystick* g_Joystick;
