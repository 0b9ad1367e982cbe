#include "platform/KeyMap.h"

#include "platform/VirtualKeys.h"

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
        KeyCase{SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false, VK_LSHIFT}, KeyCase{SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false, VK_RSHIFT},
        KeyCase{SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false, VK_LCONTROL}, KeyCase{SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true, VK_RCONTROL},
        KeyCase{SDL_SCANCODE_LALT, VK_MENU, 0x38, false, VK_LMENU}, KeyCase{SDL_SCANCODE_RALT, VK_MENU, 0x38, true, VK_RMENU},
        KeyCase{SDL_SCANCODE_MODE, VK_MENU, 0x38, true, VK_RMENU},
        // Numeric pad: digits, operators, Enter, Num Lock.
        KeyCase{SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false, 0}, KeyCase{SDL_SCANCODE_KP_5, VK_NUMPAD5, 0x4C, false, 0},
        KeyCase{SDL_SCANCODE_KP_9, VK_NUMPAD9, 0x49, false, 0}, KeyCase{SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false, 0},
        KeyCase{SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true, 0}, KeyCase{SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false, 0},
        KeyCase{SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true, 0}, KeyCase{SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true, 0},
        // Navigation block: extended, unlike the pad keys with the same scan codes.
        KeyCase{SDL_SCANCODE_UP, VK_UP, 0x48, true, 0}, KeyCase{SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true, 0},
        KeyCase{SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true, 0}, KeyCase{SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true, 0},
        KeyCase{SDL_SCANCODE_W, 'W', 0x11, false, 0}, KeyCase{SDL_SCANCODE_0, '0', 0x0B, false, 0},
        KeyCase{SDL_SCANCODE_F12, VK_F12, 0x58, false, 0}, KeyCase{SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46, false, 0},
        KeyCase{SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false, 0}, KeyCase{SDL_SCANCODE_SEMICOLON, VK_SEMICOLON, 0x27, false, 0},
        KeyCase{SDL_SCANCODE_AUDIONEXT, VK_MEDIA_NEXT, 0x19, true, 0}, KeyCase{SDL_SCANCODE_VOLUMEUP, VK_VOLUME_UP, 0x30, true, 0}),
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
