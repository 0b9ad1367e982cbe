// The tables of the input service: the keys with a code of their own, the
// names of the codes, the action identifiers and the start-up bindings.

#include "services/input/Input.h"
#include "services/input/InputTables.h"

#include <cstdio>
#include <cstring>

const KeyCodeRow g_OwnKeyCodes[kOwnKeyCodeCount] = {
    {QVI_ESC, "QVI_ESC", 0x1B},
    {QVI_SPACE, "QVI_SPACE", 0x20},
    {QVI_RETURN, "QVI_RETURN", 0x0D},
    {QVI_UP, "QVI_UP", 0x26},
    {QVI_LEFT, "QVI_LEFT", 0x25},
    {QVI_RIGHT, "QVI_RIGHT", 0x27},
    {QVI_DOWN, "QVI_DOWN", 0x28},
    {QVI_BACK, "QVI_BACK", 0x08},
    {QVI_TAB, "QVI_TAB", 0x09},
    {QVI_LANGLE, "QVI_LANGLE", 0},
    {QVI_RANGLE, "QVI_RANGLE", 0},
    {QVI_RCTRL, "QVI_RCTRL", 0xA3},
    {QVI_RSHIFT, "QVI_RSHIFT", 0xA1},
    {QVI_RALT, "QVI_RALT", 0xA5},
    {QVI_CAPSLOCK, "QVI_CAPSLOCK", 0x14},
    {QVI_F1 + 0, "QVI_F1", 0x70},
    {QVI_F1 + 1, "QVI_F2", 0x71},
    {QVI_F1 + 2, "QVI_F3", 0x72},
    {QVI_F1 + 3, "QVI_F4", 0x73},
    {QVI_F1 + 4, "QVI_F5", 0x74},
    {QVI_F1 + 5, "QVI_F6", 0x75},
    {QVI_F1 + 6, "QVI_F7", 0x76},
    {QVI_F1 + 7, "QVI_F8", 0x77},
    {QVI_F1 + 8, "QVI_F9", 0x78},
    {QVI_F1 + 9, "QVI_F10", 0x79},
    // Num Lock and Scroll Lock get their named codes: as keys above 128
    // mapping to themselves they would read as the numeric pad's 9 and
    // left Ctrl.
    {QVI_NUMLOCK, "QVI_NUMLOCK", 0x90},
    {QVI_SCRLOCK, "QVI_SCRLOCK", 0x91},
    {QVI_HOME, "QVI_HOME", 0x24},
    // Page Up and Page Down give the codes their names say, in key messages
    // and in polling alike.
    {QVI_PAGEUP, "QVI_PAGEUP", 0x21},
    {QVI_MINUS, "QVI_MINUS", 0},
    {QVI_MULTIPLY, "QVI_MULTIPLY", 0},
    {QVI_PLUS, "QVI_PLUS", 0},
    {QVI_DIVIDE, "QVI_DIVIDE", 0},
    {QVI_END, "QVI_END", 0x23},
    {QVI_PAGEDOWN, "QVI_PAGEDOWN", 0x22},
    {QVI_INSERT, "QVI_INSERT", 0x2D},
    {QVI_DELETE, "QVI_DELETE", 0x2E},
    {QVI_F11, "QVI_F11", 0x7A},
    {QVI_F12, "QVI_F12", 0x7B},
    {QVI_PAD0 + 0, "QVI_PAD0", 0x60},
    {QVI_PAD0 + 1, "QVI_PAD1", 0x61},
    {QVI_PAD0 + 2, "QVI_PAD2", 0x62},
    {QVI_PAD0 + 3, "QVI_PAD3", 0x63},
    {QVI_PAD0 + 4, "QVI_PAD4", 0x64},
    {QVI_PAD0 + 5, "QVI_PAD5", 0x65},
    {QVI_PAD0 + 6, "QVI_PAD6", 0x66},
    {QVI_PAD0 + 7, "QVI_PAD7", 0x67},
    {QVI_PAD0 + 8, "QVI_PAD8", 0x68},
    {QVI_PAD0 + 9, "QVI_PAD9", 0x69},
    {QVI_LCTRL, "QVI_LCTRL", 0xA2},
    {QVI_LSHIFT, "QVI_LSHIFT", 0xA0},
    {QVI_LALT, "QVI_LALT", 0xA4},
};

const VirtualKeyName g_VirtualKeyNames[kVirtualKeyNameCount] = {
    {1, "-LBUTTON"},   {2, "-RBUTTON"},    {3, "-CANCEL"},    {4, "-MBUTTON"},    {8, "-BACK"},
    {9, "-TAB"},       {12, "-CLEAR"},     {13, "-RETURN"},   {16, "-SHIFT"},     {17, "-CONTROL"},
    {18, "-MENU"},     {19, "-PAUSE"},     {20, "-CAPITAL"},  {33, "-PRIOR"},     {34, "-NEXT"},
    {35, "-END"},      {36, "-HOME"},      {37, "-LEFT"},     {38, "-UP"},        {39, "-RIGHT"},
    {40, "-DOWN"},     {41, "-SELECT"},    {93, "-APPS"},     {96, "-NUMPAD0"},   {97, "-NUMPAD1"},
    {160, "-LSHIFT"},  {161, "-RSHIFT"},   {162, "-LCONTROL"}, {163, "-RCONTROL"}, {164, "-LMENU"},
    {165, "-RMENU"},
};

const char* const g_ActionNames[kInputActionCount + 1] = {
    "__RESEVED",          "QVDI_AXISX",        "QVDI_AXISY",         "QVDI_AXISZ",       "QVDI_AXISW",
    "QVDI_AXIS0",         "QVDI_AXIS1",        "QVDI_AXIS2",         "QVDI_AXIS3",       "QVDI_BUTTONFORWARD",
    "QVDI_BUTTONBACKWARD", "QVDI_BUTTONLEFT",  "QVDI_BUTTONRIGHT",   "QVDI_BUTTONSELECT", "QVDI_BUTTONSTART",
    "QVDI_BUTTONA",       "QVDI_BUTTONB",      "QVDI_BUTTONC",       "QVDI_BUTTOND",     "QVDI_BUTTONE",
    "QVDI_BUTTONF",       "QVDI_BUTTONG",      "QVDI_BUTTONH",       "QVDI_BUTTONI",     "QVDI_BUTTONJ",
    "QVDI_BUTTONK",       "QVDI_BUTTONL",      "QVDI_BUTTONM",       "QVDI_BUTTONN",     "QVDI_BUTTONO",
    "QVDI_BUTTONP",       "QVDI_BUTTONQ",      "QVDI_BUTTONR",
};

const DefaultKeyBinding g_DefaultKeyBindings[29] = {
    {QVDI_AXISX, QVI_AXIS0},
    {QVDI_AXISY, QVI_AXIS1},
    {QVDI_BUTTONFORWARD, 'W'},
    {QVDI_BUTTONBACKWARD, 'S'},
    {QVDI_BUTTONLEFT, 'A'},
    {QVDI_BUTTONRIGHT, 'D'},
    {QVDI_BUTTONA, QVI_SPACE},
    {QVDI_BUTTONK, QVI_MOUSEL},
    {QVDI_BUTTONL, QVI_MOUSER},
    {QVDI_BUTTONG, QVI_WHEEL2},
    {QVDI_BUTTONH, QVI_WHEEL1},
    {QVDI_BUTTONJ, 'Q'},
    {QVDI_BUTTONB, 'E'},
    {QVDI_BUTTOND, 'R'},
    {QVDI_BUTTONE, 'G'},
    {QVDI_BUTTONO, QVI_LSHIFT},
    {QVDI_BUTTONC, QVI_LCTRL},
    {QVDI_BUTTONP, QVI_ESC},
    {QVDI_BUTTONR, QVI_TAB},
    {QVDI_BUTTONQ, 'P'},
    {QVDI_BUTTONFORWARD, QVI_UP},
    {QVDI_BUTTONBACKWARD, QVI_DOWN},
    {QVDI_BUTTONLEFT, QVI_LEFT},
    {QVDI_BUTTONRIGHT, QVI_RIGHT},
    {QVDI_BUTTONA, QVI_RCTRL},
    {QVDI_BUTTONG, QVI_PAGEDOWN},
    {QVDI_BUTTONH, QVI_PAGEUP},
    {QVDI_BUTTONO, QVI_PAD0},
    {QVDI_BUTTONB, QVI_RSHIFT},
};

char g_KeyNames[kMaxKeyNames][kKeyNameSize];
uint32_t g_KeyNameCount = 0;

void InputTables_BuildKeyNames(uint32_t joystickCount) {
    if (joystickCount > kMaxJoysticks) joystickCount = kMaxJoysticks;
    g_KeyNameCount = QVI_JOYB0 + 32 * joystickCount;
    auto set = [](uint32_t code, const char* name) {
        std::snprintf(g_KeyNames[code], kKeyNameSize, "%s", name);
    };
    std::memset(g_KeyNames, 0, sizeof(g_KeyNames));
    for (uint32_t code = 0; code < g_KeyNameCount; ++code) {
        std::snprintf(g_KeyNames[code], kKeyNameSize, "Key%u", code);
    }
    for (const VirtualKeyName& row : g_VirtualKeyNames) set(row.virtualKey, row.name);
    for (uint32_t code = 0; code < 256; ++code) {
        if ((code >= 42 && code <= 92) || (code >= 192 && code <= 254)) {
            const char text[2] = {static_cast<char>(code), 0};
            set(code, text);
        }
    }
    for (const KeyCodeRow& row : g_OwnKeyCodes) set(row.code, row.name);
    set(QVI_MOUSEL, "QVI_MOUSEL");
    set(QVI_MOUSER, "QVI_MOUSER");
    set(QVI_MOUSEM, "QVI_MOUSEM");
    for (uint32_t button = 3; button <= 5; ++button) {
        std::snprintf(g_KeyNames[QVI_MOUSEL + button], kKeyNameSize, "QVI_MOUSE%u", button);
    }
    set(QVI_WHEEL1, "QVI_WHEEL1");
    set(QVI_WHEEL2, "QVI_WHEEL2");
    for (uint32_t code = QVI_JOYB0; code < g_KeyNameCount; ++code) {
        std::snprintf(g_KeyNames[code], kKeyNameSize, "QVI_JOYB%u", code - QVI_JOYB0);
    }
}
