#include "services/input/Joystick.h"

#include "platform/input/Joystick.h"
#include "services/input/Input.h"

#include <cmath>

CQVJoystick* g_Joystick = nullptr;

namespace {

// Raw axis range of every device.
constexpr int32_t kAxisRange = 4096;
// Stick travel that counts as a direction press.
constexpr int32_t kDirectionThreshold = 500;
// Fraction of the range read as rest.
constexpr float kDeadZone = 0.02f;

PlatformJoystick* g_JoystickDevices[kMaxJoysticks] = {};
JoystickState g_JoystickStates[kMaxJoysticks] = {};
int g_JoystickCount = 0;
int g_CurrentJoystick = -1;

void CloseDevices() {
    for (int i = 0; i < g_JoystickCount; ++i) {
        PlatformJoystick_Close(g_JoystickDevices[i]);
        g_JoystickDevices[i] = nullptr;
    }
    g_JoystickCount = 0;
    g_CurrentJoystick = -1;
}

}  // namespace

CQVJoystick* CQVJoystick::Create() {
    delete g_Joystick;
    g_Joystick = new CQVJoystick();
    return g_Joystick;
}

CQVJoystick::~CQVJoystick() { CloseDevices(); }

bool CQVJoystick::Init(HWND window, void* instance) {
    const bool created = CreateDevices(window, instance);
    for (JoystickState& state : g_JoystickStates) state = JoystickState{};
    return created;
}

bool CQVJoystick::CreateDevices(HWND window, void* instance) {
    (void)window;
    (void)instance;
    CloseDevices();
    if (!PlatformJoystick_Init()) return false;
    // Devices beyond the sixteenth are not kept; one that fails to open
    // takes no slot.
    const int attached = PlatformJoystick_GetDeviceCount();
    for (int i = 0; i < attached && g_JoystickCount < static_cast<int>(kMaxJoysticks); ++i) {
        PlatformJoystick* device = PlatformJoystick_Open(i);
        if (device == nullptr) continue;
        PlatformJoystick_SetAxisRange(device, -kAxisRange, kAxisRange);
        g_JoystickDevices[g_JoystickCount] = device;
        g_CurrentJoystick = g_JoystickCount;
        ++g_JoystickCount;
    }
    return true;
}

bool CQVJoystick::IsButtonDown(uint32_t button) const {
    if (g_CurrentJoystick < 0) return false;
    const JoystickState& state = g_JoystickStates[g_CurrentJoystick];
    switch (button) {
    case JOYDIR_UP: return state.axes[1] < -kDirectionThreshold;
    case JOYDIR_DOWN: return state.axes[1] > kDirectionThreshold;
    case JOYDIR_LEFT: return state.axes[0] < -kDirectionThreshold;
    case JOYDIR_RIGHT: return state.axes[0] > kDirectionThreshold;
    default: break;
    }
    if (button >= 32) return false;
    return (state.buttons[button] & 0x80) != 0;
}

float CQVJoystick::GetAxis(int32_t axis) const {
    if (g_CurrentJoystick < 0 || axis < 0 || axis >= 8) return 0.0f;
    float value = static_cast<float>(g_JoystickStates[g_CurrentJoystick].axes[axis]) / kAxisRange;
    if (std::fabs(value) < kDeadZone) return 0.0f;
    if (axis & 1) value = -value;
    return value;
}

int CQVJoystick::GetCount() const { return g_JoystickCount; }

bool CQVJoystick::Poll() {
    PlatformJoystick_Update();
    for (int i = 0; i < g_JoystickCount;) {
        if (PlatformJoystick_Read(g_JoystickDevices[i], &g_JoystickStates[i])) {
            ++i;
        } else {
            // Unplugged: reading it again would never succeed.
            DropDevice(i);
        }
    }
    return true;
}

bool CQVJoystick::Acquire(int deviceIndex) {
    return deviceIndex >= 0 && deviceIndex < g_JoystickCount;
}

// The later devices move down one slot; the last remaining device stays the
// current one, as it is after start-up.
void CQVJoystick::DropDevice(int deviceIndex) {
    PlatformJoystick_Close(g_JoystickDevices[deviceIndex]);
    for (int i = deviceIndex; i + 1 < g_JoystickCount; ++i) {
        g_JoystickDevices[i] = g_JoystickDevices[i + 1];
        g_JoystickStates[i] = g_JoystickStates[i + 1];
    }
    --g_JoystickCount;
    g_JoystickDevices[g_JoystickCount] = nullptr;
    g_JoystickStates[g_JoystickCount] = JoystickState{};
    g_CurrentJoystick = g_JoystickCount - 1;
}
