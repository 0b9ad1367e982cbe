#include "services/input/Input.h"

#include "platform/Window.h"
#include "services/input/InputTables.h"
#include "services/input/Joystick.h"

#include <cstdio>
#include <cstring>
#include <vector>

uint32_t g_KeyBindings[2][kInputRows * kInputRowSize];
uint32_t g_KeyPollEnabled = 1;

namespace {

// Codes with per-frame flags: keyboard, mouse, wheel and joystick buttons.
constexpr uint32_t kFlagCodes = 512;
// Joystick buttons that produce pressed and released flags.
constexpr uint32_t kFlaggedJoystickButtons = 16;
// Pixels of mouse travel to one unit of axis value.
constexpr float kMouseAxisScale = 0.032f;
// Codes the binding menu samples: keys, mouse, wheel and 24 joystick buttons.
constexpr uint32_t kCaptureKeyCodes = 256 + 32;
constexpr uint32_t kCaptureKeyFirst = 10;
// Axis codes the binding menu samples: the mouse, one always 0, and 8 per joystick.
constexpr uint32_t kCaptureAxisCodes = 3 + 8 * kMaxJoysticks;

HWND g_InputWindow = nullptr;
uint32_t g_VirtualKeyToKey[256];
uint32_t g_KeyToVirtualKey[256];

uint8_t g_Pressed[kFlagCodes];
uint8_t g_Released[kFlagCodes];
// Current state of the mouse buttons and the wheel steps, codes 256 to 263.
uint8_t g_MouseState[8];
std::vector<uint32_t> g_KeyDownEvents;
std::vector<uint32_t> g_KeyUpEvents;
std::vector<uint32_t> g_PressedCodes;
std::vector<uint32_t> g_ReleasedCodes;
int32_t g_WheelDelta = 0;
int g_MouseDx = 0;
int g_MouseDy = 0;

uint8_t g_CaptureKeys[2][kCaptureKeyCodes];
uint32_t g_CaptureKeyBuffer = 0;
float g_CaptureAxes[2][kCaptureAxisCodes];
uint32_t g_CaptureAxisBuffer = 0;

void BuildVirtualKeyTables() {
    std::memset(g_VirtualKeyToKey, 0, sizeof(g_VirtualKeyToKey));
    std::memset(g_KeyToVirtualKey, 0, sizeof(g_KeyToVirtualKey));
    // Letters, digits and the keys above the own codes map to themselves.
    // The own codes end at 147: a virtual key there would share its code
    // with another key.
    for (uint32_t vk = 0; vk < 256; ++vk) {
        if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || vk > QVI_LALT) g_VirtualKeyToKey[vk] = vk;
    }
    for (const KeyCodeRow& row : g_OwnKeyCodes) {
        if (row.virtualKey != 0) g_VirtualKeyToKey[row.virtualKey] = row.code;
    }
    for (uint32_t vk = 0; vk < 256; ++vk) {
        if (g_VirtualKeyToKey[vk] != 0) g_KeyToVirtualKey[g_VirtualKeyToKey[vk]] = vk;
    }
}

// Shift, Ctrl and Alt messages carry the generic key; the scan code and the
// extended flag (lParam bits 16 to 24) tell the side.
uint32_t SidedVirtualKey(uint32_t virtualKey, LPARAM lParam) {
    const uint32_t scan = static_cast<uint32_t>(lParam >> 16) & 0x1FF;
    const bool extended = (scan & 0x100) != 0;
    switch (virtualKey) {
    case VK_SHIFT: return scan <= 0x32 ? VK_LSHIFT : VK_RSHIFT;
    case VK_CONTROL: return scan <= 0x32 ? VK_LCONTROL : VK_RCONTROL;
    case VK_MENU: return extended ? VK_RMENU : VK_LMENU;
    default: return virtualKey;
    }
}

bool IsKeyMessage(uint32_t message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

bool IsKeyDownMessage(uint32_t message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }

void ClearFlags(std::vector<uint32_t>& codes, uint8_t* flags) {
    for (uint32_t code : codes) flags[code] = 0;
    codes.clear();
}

void ApplyEvents(std::vector<uint32_t>& events, uint8_t* flags, std::vector<uint32_t>& flagged) {
    for (uint32_t code : events) {
        if (code >= kFlagCodes) continue;
        flags[code] = 1;
        flagged.push_back(code);
    }
    events.clear();
}

bool ValidBinding(uint32_t action, uint32_t row) { return action < kInputRowSize && row < kInputRows; }

uint32_t Binding(uint32_t action, uint32_t row, uint32_t slot) {
    if (!ValidBinding(action, row) || slot > 1) return 0;
    return g_KeyBindings[slot][row * kInputRowSize + action];
}

void ScreenCentre(int* x, int* y) {
    *x = Platform_GetScreenWidth() / 2;
    *y = Platform_GetScreenHeight() / 2;
}

}  // namespace

int Input_Init(HWND window, void* instance) {
    g_InputWindow = window;
    CQVJoystick::Create()->Init(window, instance);
    InputTables_BuildKeyNames(static_cast<uint32_t>(g_Joystick->GetCount()));
    BuildVirtualKeyTables();
    Input_Reset();
    // The mouse axes read the cursor's distance from the centre: from the
    // centre, the first frame reads no motion wherever the mouse stood.
    Input_CenterCursor();
    return 1;
}

void Input_Reset() {
    g_KeyPollEnabled = 1;
    g_WheelDelta = 0;
    std::memset(g_Pressed, 0, sizeof(g_Pressed));
    std::memset(g_Released, 0, sizeof(g_Released));
    std::memset(g_MouseState, 0, sizeof(g_MouseState));
    g_KeyDownEvents.clear();
    g_KeyUpEvents.clear();
    g_PressedCodes.clear();
    g_ReleasedCodes.clear();
    g_MouseDx = g_MouseDy = 0;
    std::memset(g_KeyBindings, 0, sizeof(g_KeyBindings));
    std::memset(g_CaptureKeys, 0, sizeof(g_CaptureKeys));
    std::memset(g_CaptureAxes, 0, sizeof(g_CaptureAxes));
    g_CaptureKeyBuffer = g_CaptureAxisBuffer = 0;
}

int Input_GetAsyncKeyState(int virtualKey) {
    return g_KeyPollEnabled ? Platform_GetAsyncKeyState(virtualKey) : 0;
}

void Input_BindDefaultKeys() {
    for (const DefaultKeyBinding& binding : g_DefaultKeyBindings) Input_BindKey(binding.action, binding.code, 0);
}

void Input_HandleWindowMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    (void)window;
    uint32_t keyCode = 0;
    if (IsKeyMessage(message)) {
        // Auto-repeat: the key was already down.
        if (IsKeyDownMessage(message) && (lParam & (1 << 30)) != 0) return;
        if (wParam >= 256) return;
        keyCode = Input_VirtualKeyToKey(SidedVirtualKey(static_cast<uint32_t>(wParam), lParam));
        if (keyCode == 0) return;
    }

    g_MouseState[QVI_MOUSEL - 256] = Platform_GetAsyncKeyState(VK_LBUTTON) != 0;
    g_MouseState[QVI_MOUSER - 256] = Platform_GetAsyncKeyState(VK_RBUTTON) != 0;
    g_MouseState[QVI_MOUSEM - 256] = Platform_GetAsyncKeyState(VK_MBUTTON) != 0;

    switch (message) {
    case WM_LBUTTONDOWN: g_KeyDownEvents.push_back(QVI_MOUSEL); break;
    case WM_RBUTTONDOWN: g_KeyDownEvents.push_back(QVI_MOUSER); break;
    case WM_MBUTTONDOWN: g_KeyDownEvents.push_back(QVI_MOUSEM); break;
    case WM_LBUTTONUP: g_KeyUpEvents.push_back(QVI_MOUSEL); break;
    case WM_RBUTTONUP: g_KeyUpEvents.push_back(QVI_MOUSER); break;
    case WM_MBUTTONUP: g_KeyUpEvents.push_back(QVI_MOUSEM); break;
    case WM_MOUSEWHEEL: {
        // The delta is the signed high word; the low word holds button bits.
        g_WheelDelta = static_cast<int16_t>(HiWord(wParam));
        const uint32_t step = g_WheelDelta > 0 ? QVI_WHEEL2 : QVI_WHEEL1;
        if (g_WheelDelta != 0) {
            g_KeyDownEvents.push_back(step);
            g_KeyUpEvents.push_back(step);
        }
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: g_KeyUpEvents.push_back(keyCode); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: g_KeyDownEvents.push_back(keyCode); break;
    default: break;
    }
}

void Input_FeedWindowInput() {
    std::vector<WindowMessage> waiting;
    WindowMessage message;
    while (Platform_PeekMessage(&message, true)) {
        const bool keys = message.message >= WM_KEYDOWN && message.message <= WM_SYSKEYUP;
        const bool mouse = message.message >= WM_MOUSEMOVE && message.message <= WM_XBUTTONUP;
        if (keys || mouse) {
            Input_HandleWindowMessage(message.window, message.message, message.wParam, message.lParam);
        } else {
            waiting.push_back(message);
        }
    }
    for (const WindowMessage& m : waiting) Platform_PostMessage(m.window, m.message, m.wParam, m.lParam);
}

void Input_Update(float frameTime) {
    (void)frameTime;
    if (g_Joystick != nullptr) {
        bool before[kFlaggedJoystickButtons];
        for (uint32_t b = 0; b < kFlaggedJoystickButtons; ++b) before[b] = g_Joystick->IsButtonDown(b);
        g_Joystick->Poll();
        for (uint32_t b = 0; b < kFlaggedJoystickButtons; ++b) {
            const bool after = g_Joystick->IsButtonDown(b);
            if (before[b] && !after) g_KeyUpEvents.push_back(QVI_JOYB0 + b);
            if (!before[b] && after) g_KeyDownEvents.push_back(QVI_JOYB0 + b);
        }
    }

    g_MouseState[QVI_WHEEL1 - 256] = g_WheelDelta < 0;
    g_MouseState[QVI_WHEEL2 - 256] = g_WheelDelta > 0;
    g_WheelDelta = 0;

    int x = 0, y = 0, cx = 0, cy = 0;
    Platform_GetCursorPos(&x, &y);
    ScreenCentre(&cx, &cy);
    g_MouseDx = x - cx;
    g_MouseDy = y - cy;

    ClearFlags(g_PressedCodes, g_Pressed);
    ClearFlags(g_ReleasedCodes, g_Released);
    ApplyEvents(g_KeyDownEvents, g_Pressed, g_PressedCodes);
    ApplyEvents(g_KeyUpEvents, g_Released, g_ReleasedCodes);
}

void Input_CenterCursor() {
    int cx = 0, cy = 0;
    ScreenCentre(&cx, &cy);
    Platform_SetCursorPos(cx, cy);
}

bool Input_IsKeyDown(uint32_t code) {
    if (code >= QVI_JOYB0) return g_Joystick != nullptr && g_Joystick->IsButtonDown(code - QVI_JOYB0);
    if (code >= 256) return g_MouseState[code - 256] != 0;
    const uint32_t vk = Input_KeyToVirtualKey(code);
    return vk != 0 && Platform_GetAsyncKeyState(static_cast<int>(vk)) != 0;
}

bool Input_WasKeyPressed(uint32_t code) { return code < kFlagCodes && g_Pressed[code] != 0; }

bool Input_WasKeyReleased(uint32_t code) { return code < kFlagCodes && g_Released[code] != 0; }

float Input_GetAxisValue(uint32_t code) {
    if (code == QVI_AXIS0) return static_cast<float>(g_MouseDx) * kMouseAxisScale;
    if (code == QVI_AXIS1) return static_cast<float>(g_MouseDy) * kMouseAxisScale;
    // Codes 4098 to 4103 and every code that is no axis read 0.
    if (code < QVI_JOYAXIS0 || g_Joystick == nullptr) return 0.0f;
    const uint32_t axis = code - QVI_JOYAXIS0;
    return axis < 8 ? g_Joystick->GetAxis(static_cast<int32_t>(axis)) : 0.0f;
}

int Input_BindKey(uint32_t action, uint32_t code, uint32_t row) {
    if (!ValidBinding(action, row)) return 0;
    const uint32_t index = row * kInputRowSize + action;
    uint32_t& primary = g_KeyBindings[0][index];
    uint32_t& secondary = g_KeyBindings[1][index];
    if (code == 0) {
        primary = secondary = 0;
    } else if (code != primary) {
        secondary = primary;
        primary = code;
    } else {
        secondary = 0;
    }
    return 1;
}

uint32_t Input_GetBinding(uint32_t bindingIndex, uint32_t slot) {
    if (bindingIndex >= kInputRows * kInputRowSize || slot > 1) return 0;
    return g_KeyBindings[slot][bindingIndex];
}

std::string Input_GetBindingName(uint32_t action, uint32_t slot, uint32_t row) {
    const uint32_t code = Binding(action, row, slot);
    if (code == 0) return std::string();
    char text[kKeyNameSize];
    if (code >= QVI_AXIS0) {
        std::snprintf(text, sizeof(text), "Axis%u", code - QVI_AXIS0);
        return text;
    }
    if (code < g_KeyNameCount) return g_KeyNames[code];
    // A joystick button beyond the devices found: named as the table names codes it has no entry for.
    std::snprintf(text, sizeof(text), "Key%u", code);
    return text;
}

bool Input_IsActionDown(uint32_t action, uint32_t row) {
    return Input_IsKeyDown(Binding(action, row, 0)) || Input_IsKeyDown(Binding(action, row, 1));
}

bool Input_WasActionPressed(uint32_t action, uint32_t row) {
    return Input_WasKeyPressed(Binding(action, row, 0)) || Input_WasKeyPressed(Binding(action, row, 1));
}

bool Input_WasActionReleased(uint32_t action, uint32_t row) {
    return Input_WasKeyReleased(Binding(action, row, 0)) || Input_WasKeyReleased(Binding(action, row, 1));
}

float Input_GetActionValue(uint32_t action, uint32_t row) {
    return Input_GetAxisValue(Binding(action, row, 1)) + Input_GetAxisValue(Binding(action, row, 0));
}

uint32_t Input_CaptureKey() {
    g_CaptureKeyBuffer ^= 1;
    uint8_t* now = g_CaptureKeys[g_CaptureKeyBuffer];
    const uint8_t* before = g_CaptureKeys[g_CaptureKeyBuffer ^ 1];
    for (uint32_t code = 0; code < kCaptureKeyCodes; ++code) now[code] = Input_IsKeyDown(code) ? 1 : 0;
    for (uint32_t code = kCaptureKeyFirst; code < kCaptureKeyCodes; ++code) {
        if (now[code] != before[code]) return code;
    }
    return 0;
}

uint32_t Input_CaptureAxis() {
    g_CaptureAxisBuffer ^= 1;
    float* now = g_CaptureAxes[g_CaptureAxisBuffer];
    const float* before = g_CaptureAxes[g_CaptureAxisBuffer ^ 1];
    const uint32_t joysticks = g_Joystick != nullptr ? static_cast<uint32_t>(g_Joystick->GetCount()) : 0;
    const uint32_t count = 3 + 8 * joysticks;
    for (uint32_t i = 0; i < count; ++i) now[i] = Input_GetAxisValue(QVI_AXIS0 + i);
    for (uint32_t i = 0; i < count; ++i) {
        if (std::memcmp(&now[i], &before[i], sizeof(float)) != 0) return QVI_AXIS0 + i;
    }
    return 0;
}

uint32_t Input_KeyToVirtualKey(uint32_t code) {
    switch (code) {
    case QVI_MOUSEL: return VK_LBUTTON;
    case QVI_MOUSER: return VK_RBUTTON;
    case QVI_MOUSEM: return VK_MBUTTON;
    default: return code < 256 ? g_KeyToVirtualKey[code] : 0;
    }
}

uint32_t Input_VirtualKeyToKey(uint32_t virtualKey) {
    switch (virtualKey) {
    case VK_LBUTTON: return QVI_MOUSEL;
    case VK_RBUTTON: return QVI_MOUSER;
    case VK_MBUTTON: return QVI_MOUSEM;
    default: return virtualKey < 256 ? g_VirtualKeyToKey[virtualKey] : 0;
    }
}
