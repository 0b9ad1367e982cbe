#pragma once
// Tables behind the input service, shared by its source files.

#include <cstdint>

// A keyboard key with a key code of its own; virtualKey 0: no key produces it.
struct KeyCodeRow {
    uint32_t code;
    const char* name;
    uint32_t virtualKey;
};
constexpr uint32_t kOwnKeyCodeCount = 52;
extern const KeyCodeRow g_OwnKeyCodes[kOwnKeyCodeCount];

// Names of virtual keys that the key-name table starts from.
struct VirtualKeyName {
    uint32_t virtualKey;
    const char* name;
};
constexpr uint32_t kVirtualKeyNameCount = 31;
extern const VirtualKeyName g_VirtualKeyNames[kVirtualKeyNameCount];

// Fills g_KeyNames and g_KeyNameCount for the given number of joysticks.
void InputTables_BuildKeyNames(uint32_t joystickCount);
