#include "platform/KeyMap.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

struct KeyCase {
    SDL_Scancode scancode;
    uint32_t virtualKey;
    uint32_t scanCode;
    bool extended;
    uint32_t sideKey;
};

class KeyMapRow : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyMapRow, GivesVirtualKeyAndScanBits) {
    const KeyCase& c = GetParam();
    const KeyCodes codes = KeyMap_FromScancode(c.scancode);
    EXPECT_EQ(codes.virtualKey, c.virtualKey) << SDL_GetScancodeName(c.scancode);
    EXPECT_EQ(codes.scanCode, c.scanCode) << SDL_GetScancodeName(c.scancode);
    EXPECT_EQ(codes.extended, c.extended) << SDL_GetScancodeName(c.scancode);
    EXPECT_EQ(codes.sideKey, c.sideKey) << SDL_GetScancodeName(c.scancode);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMapRow,
    testing::Values(
        // Both sides of each modifier: one virtual key, told apart by scan code
        // (Shift), extended flag (Ctrl, Alt) and the sided key of the key state.
        KeyCase{SDL_SCANCODE_LSHIFT, 0x10, 0x2A, false, 0xA0}, KeyCase{SDL_SCANCODE_RSHIFT, 0x10, 0x36, false, 0xA1},
        KeyCase{SDL_SCANCODE_LCTRL, 0x11, 0x1D, false, 0xA2}, KeyCase{SDL_SCANCODE_RCTRL, 0x11, 0x1D, true, 0xA3},
        KeyCase{SDL_SCANCODE_LALT, 0x12, 0x38, false, 0xA4}, KeyCase{SDL_SCANCODE_RALT, 0x12, 0x38, true, 0xA5},
        KeyCase{SDL_SCANCODE_MODE, 0x12, 0x38, true, 0xA5},
        // Numeric pad: digits, operators, Enter, Num Lock.
        KeyCase{SDL_SCANCODE_KP_0, 0x60, 0x52, false, 0}, KeyCase{SDL_SCANCODE_KP_5, 0x65, 0x4C, false, 0},
        KeyCase{SDL_SCANCODE_KP_9, 0x69, 0x49, false, 0}, KeyCase{SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53, false, 0},
        KeyCase{SDL_SCANCODE_KP_DIVIDE, 0x6F, 0x35, true, 0}, KeyCase{SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37, false, 0},
        KeyCase{SDL_SCANCODE_KP_ENTER, 0x0D, 0x1C, true, 0}, KeyCase{SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45, true, 0},
        // Navigation block: extended, unlike the pad keys with the same scan codes.
        KeyCase{SDL_SCANCODE_UP, 0x26, 0x48, true, 0}, KeyCase{SDL_SCANCODE_PAGEUP, 0x21, 0x49, true, 0},
        KeyCase{SDL_SCANCODE_PAGEDOWN, 0x22, 0x51, true, 0}, KeyCase{SDL_SCANCODE_DELETE, 0x2E, 0x53, true, 0},
        KeyCase{SDL_SCANCODE_W, 'W', 0x11, false, 0}, KeyCase{SDL_SCANCODE_0, '0', 0x0B, false, 0},
        KeyCase{SDL_SCANCODE_F12, 0x7B, 0x58, false, 0}, KeyCase{SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46, false, 0},
        KeyCase{SDL_SCANCODE_PAUSE, 0x13, 0x45, false, 0}, KeyCase{SDL_SCANCODE_SEMICOLON, 0xBA, 0x27, false, 0},
        KeyCase{SDL_SCANCODE_AUDIONEXT, 0xB0, 0x19, true, 0}, KeyCase{SDL_SCANCODE_VOLUMEUP, 0xAF, 0x30, true, 0}),
    [](const testing::TestParamInfo<KeyCase>& info) { return "Scancode" + std::to_string(info.param.scancode); });

TEST(KeyMap, EveryScanCodeMeansOneVirtualKey) {
    // Two keys that send the same scan bits must report the same virtual
    // key, or the game could not tell them apart by the bits it reads.
    std::map<std::pair<uint32_t, bool>, uint32_t> seen;
    int mapped = 0;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const KeyCodes codes = KeyMap_FromScancode(s);
        if (codes.virtualKey == 0) continue;
        ++mapped;
        EXPECT_LT(codes.virtualKey, 256u);
        if (codes.scanCode == 0) continue;
        const auto key = std::make_pair(codes.scanCode, codes.extended);
        auto [it, inserted] = seen.emplace(key, codes.virtualKey);
        EXPECT_TRUE(inserted || it->second == codes.virtualKey)
            << SDL_GetScancodeName(static_cast<SDL_Scancode>(s)) << " shares scan code 0x" << std::hex
            << codes.scanCode << " with another key";
    }
    // Every key of a full-size PC keyboard.
    EXPECT_GE(mapped, 104);
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_KP_PERIOD; ++s) {
        EXPECT_NE(KeyMap_FromScancode(s).virtualKey, 0u) << SDL_GetScancodeName(static_cast<SDL_Scancode>(s));
    }
    for (int s = SDL_SCANCODE_LCTRL; s <= SDL_SCANCODE_RGUI; ++s) {
        EXPECT_NE(KeyMap_FromScancode(s).virtualKey, 0u) << SDL_GetScancodeName(static_cast<SDL_Scancode>(s));
    }
}

TEST(KeyMap, OutOfRangeScancodesMapToNothing) {
    EXPECT_EQ(KeyMap_FromScancode(-1).virtualKey, 0u);
    EXPECT_EQ(KeyMap_FromScancode(SDL_NUM_SCANCODES).virtualKey, 0u);
    EXPECT_EQ(KeyMap_FromScancode(SDL_SCANCODE_UNKNOWN).virtualKey, 0u);
}

TEST(KeyMap, KeyMessageBits) {
    const KeyCodes rightCtrl = KeyMap_FromScancode(SDL_SCANCODE_RCTRL);
    EXPECT_EQ(static_cast<uint32_t>(KeyMap_MakeKeyLParam(rightCtrl, false, false)), 0x011D0001u);
    EXPECT_EQ(static_cast<uint32_t>(KeyMap_MakeKeyLParam(rightCtrl, true, true)), 0xC11D0001u);
}

}  // namespace
