#include "platform/image/IconReader.h"
#include "tools/content/IconWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A 4 x 3 picture: opaque colours with one transparent pixel at (1, 0).
std::vector<uint32_t> Pixels() {
    std::vector<uint32_t> pixels(12);
    for (uint32_t i = 0; i < 12; ++i) pixels[i] = 0xFF000000u | (i * 0x101010u);
    pixels[1] = 0;
    return pixels;
}

TEST(IconReader, ACursorKeepsItsPixelsAlphaAndHotSpot) {
    const std::vector<uint32_t> pixels = Pixels();
    const std::vector<uint8_t> file = IconWriter_Encode(pixels.data(), 4, 3, true, 2, 1);
    IconPicture picture;
    std::string error;
    ASSERT_TRUE(Image_DecodeIcon(file.data(), file.size(), 32, &picture, &error)) << error;
    EXPECT_TRUE(picture.cursor);
    EXPECT_EQ(picture.width, 4u);
    EXPECT_EQ(picture.height, 3u);
    EXPECT_EQ(picture.hotspotX, 2u);
    EXPECT_EQ(picture.hotspotY, 1u);
    EXPECT_EQ(picture.pixels, pixels);
}

// Pictures without alpha take their transparency from the mask.
TEST(IconReader, AnIconWithoutAlphaUsesItsMask) {
    std::vector<uint32_t> pixels = Pixels();
    for (uint32_t& p : pixels) p &= 0x00FFFFFFu;
    std::vector<uint8_t> file = IconWriter_Encode(pixels.data(), 4, 3, false);
    // Mask rows (4 bytes each, bottom row first) follow the colour rows:
    // only the top row's second pixel stays transparent.
    const size_t mask = file.size() - 12;
    for (size_t i = 0; i < 12; ++i) file[mask + i] = 0;
    file[mask + 8] = 0x40;
    IconPicture picture;
    std::string error;
    ASSERT_TRUE(Image_DecodeIcon(file.data(), file.size(), 32, &picture, &error)) << error;
    EXPECT_FALSE(picture.cursor);
    EXPECT_EQ(picture.pixels[0], 0xFF000000u);
    EXPECT_EQ(picture.pixels[1] >> 24, 0u);
    EXPECT_EQ(picture.pixels[11], 0xFFB0B0B0u);
}

TEST(IconReader, DamagedFilesAreRefused) {
    const std::vector<uint32_t> pixels = Pixels();
    const std::vector<uint8_t> good = IconWriter_Encode(pixels.data(), 4, 3, true, 0, 0);
    const std::vector<std::pair<const char*, std::function<void(std::vector<uint8_t>&)>>> damages = {
        {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
        {"wrong type", [](std::vector<uint8_t>& f) { f[2] = 3; }},
        {"no pictures", [](std::vector<uint8_t>& f) { f[4] = 0; }},
        {"directory cut", [](std::vector<uint8_t>& f) { f.resize(10); }},
        {"picture past the end", [](std::vector<uint8_t>& f) { f[18] = 0xFF; f[19] = 0xFF; }},
        {"offset past the end", [](std::vector<uint8_t>& f) { f[20] = 0xF0; f[21] = 0xFF; }},
        {"picture cut", [](std::vector<uint8_t>& f) { f.resize(60); f[14] = 38; f[15] = 0; }},
        {"odd height", [](std::vector<uint8_t>& f) { f[22 + 8] = 5; }},
        {"compressed", [](std::vector<uint8_t>& f) { f[22 + 16] = 1; }},
    };
    for (const auto& [name, damage] : damages) {
        std::vector<uint8_t> file = good;
        damage(file);
        IconPicture picture;
        std::string error;
        EXPECT_FALSE(Image_DecodeIcon(file.data(), file.size(), 32, &picture, &error)) << name;
    }
}

}  // namespace
