// Pictures made to hurt the game: headers that announce far more than their
// few bytes hold are refused before the pixels are allocated, and a picture
// larger than its texture needs is decoded only as large as the need.

#include "platform/image/Image.h"
#include "platform/image/ImageFilter.h"
#include "tests/platform/image/ImagePictures.h"
#include "tools/content/HostileFiles.h"
#include "tools/content/ImageWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Announced {
    const char* name;
    std::vector<uint8_t> (*make)(uint32_t width, uint32_t height);
    const char* error;
};

// Each file is a few bytes to a megabyte; as decoded it would take 256 MB.
const Announced kBeyondTheLimit[] = {
    {"rle_bmp", HostileFile_RleBmp, "BMP size out of range"},
    {"rle_tga", HostileFile_RleTga, "TGA size out of range"},
    {"blank_png", HostileFile_BlankPng, "PNG size out of range"},
    {"short_jpeg", HostileFile_ShortJpeg, "JPEG size out of range"},
    {"dds", HostileFile_Dds, "DDS size out of range"},
};

class PictureBeyondTheLimit : public testing::TestWithParam<Announced> {};

TEST_P(PictureBeyondTheLimit, IsRefusedFromItsHeader) {
    const std::vector<uint8_t> file = GetParam().make(8192, 8192);
    ASSERT_FALSE(file.empty());
    ImageData image;
    std::string error;
    EXPECT_FALSE(Image_Decode(file.data(), file.size(), &image, &error, ImageNeed{64, 64}));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(image.levels.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, PictureBeyondTheLimit, testing::ValuesIn(kBeyondTheLimit),
                         [](const testing::TestParamInfo<Announced>& info) { return std::string(info.param.name); });

// Within the limit, a compressed file too small for the picture it
// announces is refused before its pixels are made: PNG rows deflate at most
// 1032 to 1, and a JPEG spends at least a bit on each 8 x 8 block.
TEST(ImageHostile, CompressedDataTooShortForItsSizeIsRefused) {
    std::vector<uint8_t> png = HostileFile_BlankPng(4096, 4096);
    ASSERT_GT(png.size(), 200u);
    png.resize(200);
    const std::vector<uint8_t> jpeg = HostileFile_ShortJpeg(4096, 4096);
    const struct {
        const std::vector<uint8_t>& file;
        const char* error;
    } cases[] = {{png, "PNG data too short for its size"}, {jpeg, "JPEG data too short for its size"}};
    for (const auto& c : cases) {
        ImageData image;
        std::string error;
        EXPECT_FALSE(Image_Decode(c.file.data(), c.file.size(), &image, &error));
        EXPECT_EQ(error, c.error);
    }
    // The whole PNG (2 KB for 16 million pixels) holds its rows and decodes.
    const std::vector<uint8_t> whole = HostileFile_BlankPng(1024, 1024);
    ImageData image;
    std::string error;
    ASSERT_TRUE(Image_Decode(whole.data(), whole.size(), &image, &error)) << error;
    EXPECT_EQ(image.levels[0].pixels[0], 0xFF000000u);
}

// A 4096 x 4096 run-length picture of a few bytes, for a 64 x 64 texture:
// it comes back reduced to the need, never at its own size.
TEST(ImageHostile, ALargeRunLengthPictureIsDecodedAtTheNeed) {
    for (const auto& file : {HostileFile_RleBmp(4096, 4096), HostileFile_RleTga(4096, 4096)}) {
        ImageData image;
        std::string error;
        ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error, ImageNeed{64, 64})) << error;
        EXPECT_EQ(image.info.Width, 4096u);
        EXPECT_EQ(image.info.Height, 4096u);
        ASSERT_EQ(image.levels.size(), 1u);
        EXPECT_EQ(image.levels[0].width, 64u);
        EXPECT_EQ(image.levels[0].height, 64u);
    }
}

// 32 x 16, every pixel different.
Picture Gradient() {
    Picture p{32, 16, {}};
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            p.pixels.push_back(0xFF000000u | (x * 8) << 16 | (y * 16) << 8 | ((x * 5 + y * 11) & 0xFF));
    return p;
}

struct Layout {
    const char* name;
    std::vector<uint8_t> (*make)(const Picture&);
};

const Layout kLayouts[] = {
    {"tga", [](const Picture& p) { return ImageWriter_Tga(p.pixels.data(), p.width, p.height, {}); }},
    {"tga_rle_top_down",
     [](const Picture& p) { return ImageWriter_Tga(p.pixels.data(), p.width, p.height, {32, false, true, true, false}); }},
    {"bmp", [](const Picture& p) { return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, {}); }},
    {"bmp_top_down", [](const Picture& p) { return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, {24, false, false, true}); }},
    {"bmp_rle",
     [](const Picture& p) {
         // A palette holds 256 colours at most: a grey picture.
         Picture grey = p;
         for (uint32_t& c : grey.pixels) c = 0xFF000000u | (c & 0xFF) * 0x010101u;
         return ImageWriter_Bmp(grey.pixels.data(), grey.width, grey.height, {8, false, true, false});
     }},
    {"jpeg", [](const Picture& p) { return ImageWriter_Jpeg(p.pixels.data(), p.width, p.height, 90); }},
};

class ReducedDecode : public testing::TestWithParam<Layout> {};

// Halved twice for a need of 8 x 4: the same pixels as the whole picture
// shrunk to that size, as a texture of it would get them.
TEST_P(ReducedDecode, GivesThePictureShrunkToTheNeed) {
    const std::vector<uint8_t> file = GetParam().make(Gradient());
    ImageData whole, reduced;
    std::string error;
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &whole, &error)) << error;
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &reduced, &error, ImageNeed{8, 4})) << error;
    EXPECT_EQ(reduced.info.Width, 32u);
    EXPECT_EQ(reduced.info.Height, 16u);
    ASSERT_EQ(reduced.levels[0].width, 8u);
    ASSERT_EQ(reduced.levels[0].height, 4u);
    EXPECT_EQ(reduced.levels[0].pixels, Image_Resize(whole.levels[0].pixels.data(), 32, 16, 8, 4));
    // A need that is not a power of two below the picture keeps at least it.
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &reduced, &error, ImageNeed{9, 3})) << error;
    EXPECT_EQ(reduced.levels[0].width, 16u);
    EXPECT_EQ(reduced.levels[0].height, 8u);
    // A need as large as the picture, or larger, keeps it whole.
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &reduced, &error, ImageNeed{32, 64})) << error;
    EXPECT_EQ(reduced.levels[0].pixels, whole.levels[0].pixels);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReducedDecode, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

// A DDS keeps its stored levels from the smallest that still covers the
// need; what it says of itself stays the file's.
TEST(ImageHostile, DdsLevelsAboveTheNeedAreLeftOut) {
    const std::vector<uint32_t> pixels(16 * 16, 0xFF336699u);
    const std::vector<uint8_t> file = ImageWriter_Dds(pixels.data(), 16, 16, {D3DFMT_DXT1, 5});
    ImageData image;
    std::string error;
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error, ImageNeed{3, 4})) << error;
    EXPECT_EQ(image.info.Width, 16u);
    EXPECT_EQ(image.info.MipLevels, 5u);
    ASSERT_EQ(image.levels.size(), 3u);
    EXPECT_EQ(image.levels[0].width, 4u);
    EXPECT_EQ(image.levels[2].width, 1u);
}

}  // namespace
