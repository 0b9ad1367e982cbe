// The tables of the input service: the keys with a code of their own, the
// names of the codes, the action identifiers and the start-up bindings.

#include "services/input/Input.h"
#include "services/input/InputTables.h"

#include <cstdio>
#include <cstring>

const KeyCodeRow g_OwnKeyCodes[kOwnKeyCodeCount] = {
#define QV_OWN_KEY_ROW(symbol, code, virtualKey) {QVI_##symbol, "QVI_" #symbol, virtualKey},
    QV_OWN_KEY_CODES(QV_OWN_KEY_ROW)
#undef QV_OWN_KEY_ROW
};

#define QV_NAMED_KEY(symbol) {VK_##symbol, "-" #symbol}
const VirtualKeyName g_VirtualKeyNames[kVirtualKeyNameCount] = {
    QV_NAMED_KEY(LBUTTON),  QV_NAMED_KEY(RBUTTON),  QV_NAMED_KEY(CANCEL),   QV_NAMED_KEY(MBUTTON),
    QV_NAMED_KEY(BACK),     QV_NAMED_KEY(TAB),      QV_NAMED_KEY(CLEAR),    QV_NAMED_KEY(RETURN),
    QV_NAMED_KEY(SHIFT),    QV_NAMED_KEY(CONTROL),  QV_NAMED_KEY(MENU),     QV_NAMED_KEY(PAUSE),
    QV_NAMED_KEY(CAPITAL),  QV_NAMED_KEY(PRIOR),    QV_NAMED_KEY(NEXT),     QV_NAMED_KEY(END),
    QV_NAMED_KEY(HOME),     QV_NAMED_KEY(LEFT),     QV_NAMED_KEY(UP),       QV_NAMED_KEY(RIGHT),
    QV_NAMED_KEY(DOWN),     QV_NAMED_KEY(SELECT),   QV_NAMED_KEY(APPS),     QV_NAMED_KEY(NUMPAD0),
    QV_NAMED_KEY(NUMPAD1),  QV_NAMED_KEY(LSHIFT),   QV_NAMED_KEY(RSHIFT),   QV_NAMED_KEY(LCONTROL),
    QV_NAMED_KEY(RCONTROL), QV_NAMED_KEY(LMENU),    QV_NAMED_KEY(RMENU),
};
#undef QV_NAMED_KEY

const char* const g_ActionNames[kInputActionCount + 1] = {
    "__RESEVED",
#define QV_INPUT_ACTION_NAME(symbol, number) "QVDI_" #symbol,
    QV_INPUT_ACTIONS(QV_INPUT_ACTION_NAME)
#undef QV_INPUT_ACTION_NAME
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
