#include "platform/KeyMap.h"

#include "platform/VirtualKeys.h"

#include <SDL2/SDL_scancode.h>

#include <array>

namespace {

struct KeyRow {
    SDL_Scancode scancode;
    uint32_t virtualKey;
    uint32_t scanCode;
    bool extended;
};

// Modifier keys report their generic virtual key (VK_SHIFT, VK_CONTROL,
// VK_MENU) in key messages; the game tells left from right by the scan code
// and the extended flag, as a PC keyboard reports them. Their sided keys
// below answer the key-state queries.
struct SideRow {
    SDL_Scancode scancode;
    uint32_t sideKey;
};

constexpr SideRow kSideRows[] = {
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT}, {SDL_SCANCODE_RSHIFT, VK_RSHIFT}, {SDL_SCANCODE_LCTRL, VK_LCONTROL},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL},  {SDL_SCANCODE_LALT, VK_LMENU},   {SDL_SCANCODE_RALT, VK_RMENU},
    {SDL_SCANCODE_MODE, VK_RMENU},
};

constexpr KeyRow kKeyRows[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false}, {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false}, {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false}, {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false}, {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false}, {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false}, {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false}, {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false}, {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false}, {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false}, {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false}, {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false}, {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false}, {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false}, {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false}, {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false}, {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false}, {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false}, {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false}, {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false}, {SDL_SCANCODE_MINUS, VK_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, VK_EQUALS, 0x0D, false}, {SDL_SCANCODE_LEFTBRACKET, VK_LBRACKET, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, VK_RBRACKET, 0x1B, false}, {SDL_SCANCODE_BACKSLASH, VK_BACKSLASH, 0x2B, false},
    {SDL_SCANCODE_NONUSHASH, VK_BACKSLASH, 0x2B, false}, {SDL_SCANCODE_SEMICOLON, VK_SEMICOLON, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, VK_APOSTROPHE, 0x28, false}, {SDL_SCANCODE_GRAVE, VK_GRAVE, 0x29, false},
    {SDL_SCANCODE_COMMA, VK_COMMA, 0x33, false}, {SDL_SCANCODE_PERIOD, VK_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, VK_SLASH, 0x35, false}, {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false},
    {SDL_SCANCODE_F1, VK_F1, 0x3B, false}, {SDL_SCANCODE_F2, VK_F2, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F3, 0x3D, false}, {SDL_SCANCODE_F4, VK_F4, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F5, 0x3F, false}, {SDL_SCANCODE_F6, VK_F6, 0x40, false},
    {SDL_SCANCODE_F7, VK_F7, 0x41, false}, {SDL_SCANCODE_F8, VK_F8, 0x42, false},
    {SDL_SCANCODE_F9, VK_F9, 0x43, false}, {SDL_SCANCODE_F10, VK_F10, 0x44, false},
    {SDL_SCANCODE_F11, VK_F11, 0x57, false}, {SDL_SCANCODE_F12, VK_F12, 0x58, false},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0x37, true}, {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false}, {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true}, {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true}, {SDL_SCANCODE_END, VK_END, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true}, {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true}, {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true}, {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true}, {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false}, {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true}, {SDL_SCANCODE_KP_1, VK_NUMPAD1, 0x4F, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD2, 0x50, false}, {SDL_SCANCODE_KP_3, VK_NUMPAD3, 0x51, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD4, 0x4B, false}, {SDL_SCANCODE_KP_5, VK_NUMPAD5, 0x4C, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD6, 0x4D, false}, {SDL_SCANCODE_KP_7, VK_NUMPAD7, 0x47, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD8, 0x48, false}, {SDL_SCANCODE_KP_9, VK_NUMPAD9, 0x49, false},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false}, {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_ANGLE, 0x56, false}, {SDL_SCANCODE_APPLICATION, VK_APPS, 0x5D, true},
    {SDL_SCANCODE_KP_EQUALS, VK_PAD_EQUALS, 0x59, false}, {SDL_SCANCODE_F13, VK_F13, 0x64, false},
    {SDL_SCANCODE_F14, VK_F14, 0x65, false}, {SDL_SCANCODE_F15, VK_F15, 0x66, false},
    {SDL_SCANCODE_F16, VK_F16, 0x67, false}, {SDL_SCANCODE_F17, VK_F17, 0x68, false},
    {SDL_SCANCODE_F18, VK_F18, 0x69, false}, {SDL_SCANCODE_F19, VK_F19, 0x6A, false},
    {SDL_SCANCODE_F20, VK_F20, 0x6B, false}, {SDL_SCANCODE_F21, VK_F21, 0x6C, false},
    {SDL_SCANCODE_F22, VK_F22, 0x6D, false}, {SDL_SCANCODE_F23, VK_F23, 0x6E, false},
    {SDL_SCANCODE_F24, VK_F24, 0x76, false}, {SDL_SCANCODE_KP_COMMA, VK_SEPARATOR, 0x7E, false},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false}, {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, false}, {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true}, {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38, true}, {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true},
    // AltGr on layouts where the toolkit reports it as a mode switch.
    {SDL_SCANCODE_MODE, VK_MENU, 0x38, true},
    {SDL_SCANCODE_MENU, VK_APPS, 0x5D, true}, {SDL_SCANCODE_CLEAR, VK_CLEAR, 0x00, false},
    {SDL_SCANCODE_HELP, VK_HELP, 0x63, false}, {SDL_SCANCODE_SELECT, VK_SELECT, 0x00, false},
    {SDL_SCANCODE_EXECUTE, VK_EXECUTE, 0x00, false}, {SDL_SCANCODE_CANCEL, VK_CANCEL, 0x46, true},
    {SDL_SCANCODE_KP_EQUALSAS400, VK_PAD_EQUALS, 0x59, false}, {SDL_SCANCODE_SLEEP, VK_SLEEP, 0x5F, true},
    // Japanese, Brazilian and Korean keys.
    {SDL_SCANCODE_INTERNATIONAL1, VK_ABNT_C1, 0x73, false}, {SDL_SCANCODE_INTERNATIONAL2, VK_HIRAGANA, 0x70, false},
    {SDL_SCANCODE_INTERNATIONAL3, VK_BACKSLASH, 0x7D, false}, {SDL_SCANCODE_INTERNATIONAL4, VK_CONVERT, 0x79, false},
    {SDL_SCANCODE_INTERNATIONAL5, VK_NONCONVERT, 0x7B, false}, {SDL_SCANCODE_LANG1, VK_KANA, 0x72, false},
    {SDL_SCANCODE_LANG2, VK_KANJI, 0x71, false},
    // Media and browser keys.
    {SDL_SCANCODE_AC_BACK, VK_BROWSER_BACK, 0x6A, true}, {SDL_SCANCODE_AC_FORWARD, VK_BROWSER_FORWARD, 0x69, true},
    {SDL_SCANCODE_AC_REFRESH, VK_BROWSER_REFRESH, 0x67, true}, {SDL_SCANCODE_AC_STOP, VK_BROWSER_STOP, 0x68, true},
    {SDL_SCANCODE_AC_SEARCH, VK_BROWSER_SEARCH, 0x65, true}, {SDL_SCANCODE_AC_BOOKMARKS, VK_BROWSER_FAVORITES, 0x66, true},
    {SDL_SCANCODE_AC_HOME, VK_BROWSER_HOME, 0x32, true}, {SDL_SCANCODE_WWW, VK_BROWSER_HOME, 0x32, true},
    {SDL_SCANCODE_MUTE, VK_VOLUME_MUTE, 0x20, true}, {SDL_SCANCODE_AUDIOMUTE, VK_VOLUME_MUTE, 0x20, true},
    {SDL_SCANCODE_VOLUMEDOWN, VK_VOLUME_DOWN, 0x2E, true}, {SDL_SCANCODE_VOLUMEUP, VK_VOLUME_UP, 0x30, true},
    {SDL_SCANCODE_AUDIONEXT, VK_MEDIA_NEXT, 0x19, true}, {SDL_SCANCODE_AUDIOPREV, VK_MEDIA_PREV, 0x10, true},
    {SDL_SCANCODE_AUDIOSTOP, VK_MEDIA_STOP, 0x24, true}, {SDL_SCANCODE_AUDIOPLAY, VK_MEDIA_PLAY_PAUSE, 0x22, true},
    {SDL_SCANCODE_MAIL, VK_LAUNCH_MAIL, 0x6C, true}, {SDL_SCANCODE_MEDIASELECT, VK_LAUNCH_MEDIA, 0x6D, true},
    {SDL_SCANCODE_COMPUTER, VK_LAUNCH_APP1, 0x6B, true}, {SDL_SCANCODE_CALCULATOR, VK_LAUNCH_APP2, 0x21, true},
};

constexpr auto BuildTable() {
    std::array<KeyCodes, SDL_NUM_SCANCODES> table{};
    for (const KeyRow& row : kKeyRows) {
        table[row.scancode] = KeyCodes{row.virtualKey, row.scanCode, row.extended, 0};
    }
    for (const SideRow& row : kSideRows) {
        table[row.scancode].sideKey = row.sideKey;
    }
    return table;
}

constexpr auto kTable = BuildTable();

}  // namespace

KeyCodes KeyMap_FromScancode(int scancode) {
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return KeyCodes{};
    }
    return kTable[static_cast<size_t>(scancode)];
}

intptr_t KeyMap_MakeKeyLParam(const KeyCodes& codes, bool wasDown, bool isUp) {
    uint32_t bits = 1u | ((codes.scanCode & 0xFFu) << 16);
    if (codes.extended) bits |= 1u << 24;
    if (wasDown) bits |= 1u << 30;
    if (isUp) bits |= 1u << 31;
    return static_cast<intptr_t>(bits);
}
