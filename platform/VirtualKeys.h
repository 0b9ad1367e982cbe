#pragma once
// The virtual-key codes: the one list of them, for the window layer (key
// state, key messages), the key map, the input service and the frame.
// Letters and digits have no names here: their codes are their upper-case
// characters ('A', '0').

#include <cstdint>

#define QV_VIRTUAL_KEYS(X)                                                                             \
    X(LBUTTON, 0x01) X(RBUTTON, 0x02) X(CANCEL, 0x03) X(MBUTTON, 0x04) X(XBUTTON1, 0x05)              \
    X(XBUTTON2, 0x06) X(BACK, 0x08) X(TAB, 0x09) X(CLEAR, 0x0C) X(RETURN, 0x0D) X(SHIFT, 0x10)        \
    X(CONTROL, 0x11) X(MENU, 0x12) X(PAUSE, 0x13) X(CAPITAL, 0x14) X(KANA, 0x15) X(KANJI, 0x19)       \
    X(ESCAPE, 0x1B) X(CONVERT, 0x1C) X(NONCONVERT, 0x1D) X(SPACE, 0x20) X(PRIOR, 0x21) X(NEXT, 0x22)  \
    X(END, 0x23) X(HOME, 0x24) X(LEFT, 0x25) X(UP, 0x26) X(RIGHT, 0x27) X(DOWN, 0x28)                 \
    X(SELECT, 0x29) X(EXECUTE, 0x2B) X(SNAPSHOT, 0x2C) X(INSERT, 0x2D) X(DELETE, 0x2E) X(HELP, 0x2F)  \
    X(LWIN, 0x5B) X(RWIN, 0x5C) X(APPS, 0x5D) X(SLEEP, 0x5F) X(NUMPAD0, 0x60) X(NUMPAD1, 0x61)        \
    X(NUMPAD2, 0x62) X(NUMPAD3, 0x63) X(NUMPAD4, 0x64) X(NUMPAD5, 0x65) X(NUMPAD6, 0x66)              \
    X(NUMPAD7, 0x67) X(NUMPAD8, 0x68) X(NUMPAD9, 0x69) X(MULTIPLY, 0x6A) X(ADD, 0x6B)                 \
    X(SEPARATOR, 0x6C) X(SUBTRACT, 0x6D) X(DECIMAL, 0x6E) X(DIVIDE, 0x6F) X(F1, 0x70) X(F2, 0x71)     \
    X(F3, 0x72) X(F4, 0x73) X(F5, 0x74) X(F6, 0x75) X(F7, 0x76) X(F8, 0x77) X(F9, 0x78) X(F10, 0x79)  \
    X(F11, 0x7A) X(F12, 0x7B) X(F13, 0x7C) X(F14, 0x7D) X(F15, 0x7E) X(F16, 0x7F) X(F17, 0x80)        \
    X(F18, 0x81) X(F19, 0x82) X(F20, 0x83) X(F21, 0x84) X(F22, 0x85) X(F23, 0x86) X(F24, 0x87)        \
    X(NUMLOCK, 0x90) X(SCROLL, 0x91) X(PAD_EQUALS, 0x92) X(LSHIFT, 0xA0) X(RSHIFT, 0xA1)              \
    X(LCONTROL, 0xA2) X(RCONTROL, 0xA3) X(LMENU, 0xA4) X(RMENU, 0xA5) X(BROWSER_BACK, 0xA6)           \
    X(BROWSER_FORWARD, 0xA7) X(BROWSER_REFRESH, 0xA8) X(BROWSER_STOP, 0xA9) X(BROWSER_SEARCH, 0xAA)   \
    X(BROWSER_FAVORITES, 0xAB) X(BROWSER_HOME, 0xAC) X(VOLUME_MUTE, 0xAD) X(VOLUME_DOWN, 0xAE)        \
    X(VOLUME_UP, 0xAF) X(MEDIA_NEXT, 0xB0) X(MEDIA_PREV, 0xB1) X(MEDIA_STOP, 0xB2)                    \
    X(MEDIA_PLAY_PAUSE, 0xB3) X(LAUNCH_MAIL, 0xB4) X(LAUNCH_MEDIA, 0xB5) X(LAUNCH_APP1, 0xB6)         \
    X(LAUNCH_APP2, 0xB7) X(SEMICOLON, 0xBA) X(EQUALS, 0xBB) X(COMMA, 0xBC) X(MINUS, 0xBD)             \
    X(PERIOD, 0xBE) X(SLASH, 0xBF) X(GRAVE, 0xC0) X(ABNT_C1, 0xC1) X(LBRACKET, 0xDB)                  \
    X(BACKSLASH, 0xDC) X(RBRACKET, 0xDD) X(APOSTROPHE, 0xDE) X(ANGLE, 0xE2) X(HIRAGANA, 0xF2)

enum VirtualKey : uint32_t {
#define QV_VIRTUAL_KEY_ENUM(name, code) VK_##name = code,
    QV_VIRTUAL_KEYS(QV_VIRTUAL_KEY_ENUM)
#undef QV_VIRTUAL_KEY_ENUM
};
