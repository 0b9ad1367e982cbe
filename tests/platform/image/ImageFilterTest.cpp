#include "platform/image/ImageFilter.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageFilter, ShrinkingAveragesTheCoveredArea) {
    // 4 x 2 to 2 x 1: each target pixel the mean of a 2 x 2 square.
    const std::vector<uint32_t> pixels = {0x00000000u, 0x04080C10u, 0xFF000000u, 0xFF000000u,
                                          0x02040608u, 0x06101418u, 0x00FF0000u, 0x00FF0001u};
    EXPECT_EQ(Image_Resize(pixels.data(), 4, 2, 2, 1), (std::vector<uint32_t>{0x03070A0Cu, 0x80800000u}));
    // Three across to one: a third each, rounded.
    const std::vector<uint32_t> three = {0x00000000u, 0x00000001u, 0x00000001u};
    EXPECT_EQ(Image_Resize(three.data(), 3, 1, 1, 1), (std::vector<uint32_t>{0x00000001u}));
    // Five across to two: 2.5 source pixels each.
    const std::vector<uint32_t> five = {0, 0, 100, 200, 200};
    EXPECT_EQ(Image_Resize(five.data(), 5, 1, 2, 1), (std::vector<uint32_t>{20, 180}));
}

TEST(ImageFilter, GrowingBlendsTheNearestPixels) {
    const std::vector<uint32_t> pixels = {0, 200};
    EXPECT_EQ(Image_Resize(pixels.data(), 2, 1, 4, 1), (std::vector<uint32_t>{0, 50, 150, 200}));
    EXPECT_EQ(Image_Resize(pixels.data(), 1, 2, 1, 4), (std::vector<uint32_t>{0, 50, 150, 200}));
}

TEST(ImageFilter, MipLevelsHalveDownToOnePixel) {
    // Even sizes take the fast path; it must agree with the general filter.
    std::vector<uint32_t> pixels(8 * 6);
    uint32_t seed = 12345;
    for (uint32_t& p : pixels) p = seed = seed * 1103515245u + 12345u;
    EXPECT_EQ(Image_NextMip(pixels.data(), 8, 6), Image_Resize(pixels.data(), 8, 6, 4, 3));
    // Odd and thin sizes.
    EXPECT_EQ(Image_NextMip(pixels.data(), 5, 3).size(), 2u);
    EXPECT_EQ(Image_NextMip(pixels.data(), 1, 8).size(), 4u);
    const std::vector<uint32_t> one = {0x11223344u};
    EXPECT_EQ(Image_NextMip(one.data(), 1, 1), one);
}

}  // namespace
