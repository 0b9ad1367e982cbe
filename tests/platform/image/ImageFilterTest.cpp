#include "platform/image/ImageFilter.h"
#include "platform/graphics/TextureFormats.h"

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
    // Halving agrees with the general filter.
    std::vector<uint32_t> pixels(8 * 6);
    uint32_t seed = 12345;
    for (uint32_t& p : pixels) p = seed = seed * 1103515245u + 12345u;
    EXPECT_EQ(Image_NextMip(pixels.data(), 8, 6), Image_Resize(pixels.data(), 8, 6, 4, 3));
    // Odd and thin sizes: the device's own box filter (the last odd row or
    // column left out, a side of 1 read twice).
    for (const auto& [width, height] : {std::pair{5u, 3u}, std::pair{1u, 8u}, std::pair{7u, 1u}}) {
        std::vector<uint32_t> device(size_t{std::max(1u, width / 2)} * std::max(1u, height / 2));
        TextureFormat_Downsample(pixels.data(), width, height, device.data(), std::max(1u, width / 2),
                                 std::max(1u, height / 2));
        EXPECT_EQ(Image_NextMip(pixels.data(), width, height), device) << width << "x" << height;
    }
    const std::vector<uint32_t> one = {0x11223344u};
    EXPECT_EQ(Image_NextMip(one.data(), 1, 1), one);
}

}  // namespace
