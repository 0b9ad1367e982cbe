#pragma once
// Keyboard, mouse and joysticks as one space of key codes with per-frame
// pressed and released flags, analog axes, and numbered actions bound to
// key codes per player row.

#include "platform/Messages.h"

#include <cstdint>
#include <string>

// Key codes. Keyboard keys are their virtual-key codes (letters, digits and
// keys above 147 map to themselves), except for the keys with a code of
// their own below.
enum : uint32_t {
    QVI_ESC = 27,
    QVI_SPACE = 32,
    QVI_RETURN = 98,
    QVI_UP = 99,
    QVI_LEFT = 100,
    QVI_RIGHT = 101,
    QVI_DOWN = 102,
    QVI_BACK = 103,
    QVI_TAB = 104,
    QVI_LANGLE = 105,
    QVI_RANGLE = 106,
    QVI_RCTRL = 107,
    QVI_RSHIFT = 108,
    QVI_RALT = 109,
    QVI_CAPSLOCK = 110,
    QVI_F1 = 111,  // to QVI_F10 = 120
    QVI_NUMLOCK = 121,
    QVI_SCRLOCK = 122,
    QVI_HOME = 123,
    QVI_PAGEUP = 124,
    QVI_MINUS = 125,
    QVI_MULTIPLY = 126,
    QVI_PLUS = 127,
    QVI_DIVIDE = 128,
    QVI_END = 129,
    QVI_PAGEDOWN = 130,
    QVI_INSERT = 131,
    QVI_DELETE = 132,
    QVI_F11 = 133,
    QVI_F12 = 134,
    QVI_PAD0 = 135,  // to QVI_PAD9 = 144
    QVI_LCTRL = 145,
    QVI_LSHIFT = 146,
    QVI_LALT = 147,

    QVI_MOUSEL = 256,
    QVI_MOUSER = 257,
    QVI_MOUSEM = 258,
    QVI_WHEEL1 = 262,  // one wheel step backward (negative delta)
    QVI_WHEEL2 = 263,  // one wheel step forward (positive delta)
    QVI_JOYB0 = 264,   // button b of the current joystick is QVI_JOYB0 + b

    QVI_AXIS0 = 4096,     // mouse offset along X
    QVI_AXIS1 = 4097,     // mouse offset along Y
    QVI_JOYAXIS0 = 4104,  // axis a of the current joystick is QVI_JOYAXIS0 + a
};

// Stick directions answered by the joystick button query, on the raw axis
// range -4096 to 4096 (Y grows downward).
enum : uint32_t { JOYDIR_UP = 9990, JOYDIR_DOWN = 9991, JOYDIR_LEFT = 9992, JOYDIR_RIGHT = 9993 };

// Numbered actions.
enum InputAction : uint32_t {
    QVDI_AXISX = 1,
    QVDI_AXISY = 2,
    QVDI_AXISZ = 3,
    QVDI_AXISW = 4,
    QVDI_AXIS0 = 5,
    QVDI_AXIS1 = 6,
    QVDI_AXIS2 = 7,
    QVDI_AXIS3 = 8,
    QVDI_BUTTONFORWARD = 9,
    QVDI_BUTTONBACKWARD = 10,
    QVDI_BUTTONLEFT = 11,
    QVDI_BUTTONRIGHT = 12,
    QVDI_BUTTONSELECT = 13,
    QVDI_BUTTONSTART = 14,
    QVDI_BUTTONA = 15,  // jump
    QVDI_BUTTONB = 16,  // action
    QVDI_BUTTONC = 17,  // crouch
    QVDI_BUTTOND = 18,  // reload
    QVDI_BUTTONE = 19,  // drop
    QVDI_BUTTONF = 20,  // light
    QVDI_BUTTONG = 21,  // next
    QVDI_BUTTONH = 22,  // previous
    QVDI_BUTTONI = 23,  // cancel
    QVDI_BUTTONJ = 24,  // stats
    QVDI_BUTTONK = 25,  // fire 1
    QVDI_BUTTONL = 26,  // fire 2
    QVDI_BUTTONM = 27,  // knock
    QVDI_BUTTONN = 28,  // slow motion
    QVDI_BUTTONO = 29,  // run toggle
    QVDI_BUTTONP = 30,  // escape
    QVDI_BUTTONQ = 31,  // pause
    QVDI_BUTTONR = 32,  // inventory special
};

constexpr uint32_t kInputActionCount = 32;
constexpr uint32_t kInputRows = 4;
constexpr uint32_t kInputRowSize = 64;  // binding index = row x 64 + action
constexpr uint32_t kMaxJoysticks = 16;
constexpr uint32_t kKeyNameSize = 32;
constexpr uint32_t kMaxKeyNames = QVI_JOYB0 + 32 * kMaxJoysticks;

// Primary [0] and secondary [1] codes by binding index; 0 is unbound.
extern uint32_t g_KeyBindings[2][kInputRows * kInputRowSize];
// Names of the codes below g_KeyNameCount (264 + 32 per joystick).
extern char g_KeyNames[kMaxKeyNames][kKeyNameSize];
extern uint32_t g_KeyNameCount;
// Identifiers of the actions; entry 0 is reserved.
extern const char* const g_ActionNames[kInputActionCount + 1];

struct DefaultKeyBinding {
    uint32_t action;
    uint32_t code;
};
// The start-up bindings of row 0 in binding order: the later of two codes
// of one action ends up primary.
extern const DefaultKeyBinding g_DefaultKeyBindings[29];
// Binds g_DefaultKeyBindings to row 0 in order.
void Input_BindDefaultKeys();

// Keeps the window, opens the joysticks, builds the key names and the
// virtual-key tables, clears the per-frame state and every binding. Returns 1.
int Input_Init(HWND window, void* instance);
// Clears the per-frame state, the recorded events, the capture buffers and
// every binding; the window and the joysticks stay.
void Input_Reset();
// Records key, mouse-button and wheel messages for the next Input_Update.
void Input_HandleWindowMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
// Once per frame: polls the joysticks, turns the recorded events into this
// frame's pressed and released flags and measures the mouse offset from the
// screen centre.
void Input_Update(float frameTime);
void Input_CenterCursor();

bool Input_IsKeyDown(uint32_t code);
bool Input_WasKeyPressed(uint32_t code);
bool Input_WasKeyReleased(uint32_t code);
float Input_GetAxisValue(uint32_t code);

// Code 0 clears both codes; a new code becomes primary and the old primary
// secondary; the primary again clears the secondary. Returns 0 for an action
// or row outside the table, else 1.
int Input_BindKey(uint32_t action, uint32_t code, uint32_t row);
// slot 0 primary, 1 secondary; 0 outside the table.
uint32_t Input_GetBinding(uint32_t bindingIndex, uint32_t slot);
std::string Input_GetBindingName(uint32_t action, uint32_t slot, uint32_t row);

bool Input_IsActionDown(uint32_t action, uint32_t row);
bool Input_WasActionPressed(uint32_t action, uint32_t row);
bool Input_WasActionReleased(uint32_t action, uint32_t row);
float Input_GetActionValue(uint32_t action, uint32_t row);

// For the key-binding menu, once per frame: the first key code (from 10) or
// axis code whose state changed since the previous call, else 0.
uint32_t Input_CaptureKey();
uint32_t Input_CaptureAxis();

// Key code <-> virtual key (mouse buttons 256 to 258 <-> 1, 2, 4); 0 when unmapped.
uint32_t Input_KeyToVirtualKey(uint32_t code);
uint32_t Input_VirtualKeyToKey(uint32_t virtualKey);
