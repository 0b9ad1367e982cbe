#pragma once
// Keyboard, mouse and joysticks as one space of key codes with per-frame
// pressed and released flags, analog axes, and numbered actions bound to
// key codes per player row.

#include "platform/Messages.h"
#include "platform/VirtualKeys.h"

#include <cstdint>
#include <string>

// Key codes. Keyboard keys are their virtual-key codes (letters, digits and
// keys above 147 map to themselves), except for the keys with a code of
// their own: this table gives each its code, its name ("QVI_" and the
// symbol) and the virtual key that produces it (0: none does).
#define QV_OWN_KEY_CODES(X)                                                                            \
    X(ESC, 27, VK_ESCAPE) X(SPACE, 32, VK_SPACE) X(RETURN, 98, VK_RETURN) X(UP, 99, VK_UP)           \
    X(LEFT, 100, VK_LEFT) X(RIGHT, 101, VK_RIGHT) X(DOWN, 102, VK_DOWN) X(BACK, 103, VK_BACK)         \
    X(TAB, 104, VK_TAB) X(LANGLE, 105, 0) X(RANGLE, 106, 0) X(RCTRL, 107, VK_RCONTROL)                \
    X(RSHIFT, 108, VK_RSHIFT) X(RALT, 109, VK_RMENU) X(CAPSLOCK, 110, VK_CAPITAL) X(F1, 111, VK_F1)   \
    X(F2, 112, VK_F2) X(F3, 113, VK_F3) X(F4, 114, VK_F4) X(F5, 115, VK_F5) X(F6, 116, VK_F6)         \
    X(F7, 117, VK_F7) X(F8, 118, VK_F8) X(F9, 119, VK_F9) X(F10, 120, VK_F10)                         \
    /* Num Lock and Scroll Lock get named codes: as keys above 128 mapping */                          \
    /* to themselves they would read as the numeric pad's 9 and left Ctrl. */                          \
    X(NUMLOCK, 121, VK_NUMLOCK) X(SCRLOCK, 122, VK_SCROLL) X(HOME, 123, VK_HOME)                      \
    X(PAGEUP, 124, VK_PRIOR) X(MINUS, 125, 0) X(MULTIPLY, 126, 0) X(PLUS, 127, 0) X(DIVIDE, 128, 0)   \
    X(END, 129, VK_END) X(PAGEDOWN, 130, VK_NEXT) X(INSERT, 131, VK_INSERT) X(DELETE, 132, VK_DELETE) \
    X(F11, 133, VK_F11) X(F12, 134, VK_F12) X(PAD0, 135, VK_NUMPAD0) X(PAD1, 136, VK_NUMPAD1)         \
    X(PAD2, 137, VK_NUMPAD2) X(PAD3, 138, VK_NUMPAD3) X(PAD4, 139, VK_NUMPAD4)                        \
    X(PAD5, 140, VK_NUMPAD5) X(PAD6, 141, VK_NUMPAD6) X(PAD7, 142, VK_NUMPAD7)                        \
    X(PAD8, 143, VK_NUMPAD8) X(PAD9, 144, VK_NUMPAD9) X(LCTRL, 145, VK_LCONTROL)                      \
    X(LSHIFT, 146, VK_LSHIFT) X(LALT, 147, VK_LMENU)

enum : uint32_t {
#define QV_OWN_KEY_ENUM(symbol, code, virtualKey) QVI_##symbol = code,
    QV_OWN_KEY_CODES(QV_OWN_KEY_ENUM)
#undef QV_OWN_KEY_ENUM

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

// Numbered actions: the number and the name ("QVDI_" and the symbol) of each.
#define QV_INPUT_ACTIONS(X)                                                                            \
    X(AXISX, 1) X(AXISY, 2) X(AXISZ, 3) X(AXISW, 4) X(AXIS0, 5) X(AXIS1, 6) X(AXIS2, 7) X(AXIS3, 8)   \
    X(BUTTONFORWARD, 9) X(BUTTONBACKWARD, 10) X(BUTTONLEFT, 11) X(BUTTONRIGHT, 12)                    \
    X(BUTTONSELECT, 13) X(BUTTONSTART, 14)                                                             \
    X(BUTTONA, 15)  /* jump */                                                                         \
    X(BUTTONB, 16)  /* action */                                                                       \
    X(BUTTONC, 17)  /* crouch */                                                                       \
    X(BUTTOND, 18)  /* reload */                                                                       \
    X(BUTTONE, 19)  /* drop */                                                                         \
    X(BUTTONF, 20)  /* light */                                                                        \
    X(BUTTONG, 21)  /* next */                                                                         \
    X(BUTTONH, 22)  /* previous */                                                                     \
    X(BUTTONI, 23)  /* cancel */                                                                       \
    X(BUTTONJ, 24)  /* stats */                                                                        \
    X(BUTTONK, 25)  /* fire 1 */                                                                       \
    X(BUTTONL, 26)  /* fire 2 */                                                                       \
    X(BUTTONM, 27)  /* knock */                                                                        \
    X(BUTTONN, 28)  /* slow motion */                                                                  \
    X(BUTTONO, 29)  /* run toggle */                                                                   \
    X(BUTTONP, 30)  /* escape */                                                                       \
    X(BUTTONQ, 31)  /* pause */                                                                        \
    X(BUTTONR, 32)  /* inventory special */

enum InputAction : uint32_t {
#define QV_INPUT_ACTION_ENUM(symbol, number) QVDI_##symbol = number,
    QV_INPUT_ACTIONS(QV_INPUT_ACTION_ENUM)
#undef QV_INPUT_ACTION_ENUM
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
// virtual-key tables, clears the per-frame state and every binding, and puts
// the cursor at the screen's centre. Returns 1.
int Input_Init(HWND window, void* instance);
// Clears the per-frame state, the recorded events, the capture buffers and
// every binding, and turns key polling back on; the window and the
// joysticks stay.
void Input_Reset();
// Records key, mouse-button and wheel messages for the next Input_Update.
void Input_HandleWindowMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
// While a full-screen movie holds the game thread: key and mouse messages
// waiting in the window's queue reach the input layer, as the device
// polling it stands for would see them, without the window procedure
// running; every other message waits, in order, for the message loop.
void Input_FeedWindowInput();
// Once per frame: polls the joysticks, turns the recorded events into this
// frame's pressed and released flags and measures the mouse offset from the
// screen centre.
void Input_Update(float frameTime);
void Input_CenterCursor();

extern uint32_t g_KeyPollEnabled; // gate of Input_GetAsyncKeyState; set at start, nothing clears it

// Non-zero while the key is down (0 while key polling is switched off): the
// debug keys read the keyboard directly, not through this frame's bindings.
int Input_GetAsyncKeyState(int virtualKey);

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
