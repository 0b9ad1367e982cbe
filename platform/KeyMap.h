#pragma once
// Keyboard translation: a physical key to the virtual-key code and the
// set-1 scan code (with its extended flag) that the game's key messages carry.

#include <cstdint>

struct KeyCodes {
    uint32_t virtualKey = 0;  // 0: the key has no virtual-key code
    uint32_t scanCode = 0;    // set-1 make code
    bool extended = false;    // the E0 prefix (right Ctrl/Alt, arrows, keypad Enter ...)
    uint32_t sideKey = 0;     // Shift, Ctrl and Alt: the left or right virtual key (VK_LSHIFT to VK_RMENU)
};

// scancode is an SDL_Scancode value.
KeyCodes KeyMap_FromScancode(int scancode);

// lParam of a key message: repeat count 1, scan code in bits 16 to 23,
// extended flag in bit 24, previous state in bit 30, transition in bit 31.
intptr_t KeyMap_MakeKeyLParam(const KeyCodes& codes, bool wasDown, bool isUp);
