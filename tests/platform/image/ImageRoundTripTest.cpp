// Every layout the writers make, decoded back: the same pixels (cut to the
// layout's bits), the file's own format and alpha.

#include "platform/image/Image.h"
#include "tests/platform/image/ImagePictures.h"
#include "tools/content/ImageWriter.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct RoundTripCase {
    const char* name;
    Picture (*picture)();
    std::function<std::vector<uint8_t>(const Picture&)> write;
    D3DFORMAT fileFormat;
    uint32_t fileKind;
    bool hasAlpha;
    // Pixels come back through this format's bits (0: unchanged).
    D3DFORMAT precision;
};

std::function<std::vector<uint8_t>(const Picture&)> Tga(TgaWriteOptions options) {
    return [options](const Picture& p) { return ImageWriter_Tga(p.pixels.data(), p.width, p.height, options); };
}
std::function<std::vector<uint8_t>(const Picture&)> Bmp(BmpWriteOptions options) {
    return [options](const Picture& p) { return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, options); };
}
std::function<std::vector<uint8_t>(const Picture&)> Dds(D3DFORMAT format) {
    return [format](const Picture& p) { return ImageWriter_Dds(p.pixels.data(), p.width, p.height, {format, 0}); };
}
std::function<std::vector<uint8_t>(const Picture&)> Png(PngLayout layout) {
    return [layout](const Picture& p) { return ImageWriter_Png(p.pixels.data(), p.width, p.height, layout); };
}

TgaWriteOptions TgaOf(uint32_t bits, bool rle = false, bool topDown = false, bool rightToLeft = false,
                      bool palette = false) {
    TgaWriteOptions o;
    o.bits = bits;
    o.rle = rle;
    o.topDown = topDown;
    o.rightToLeft = rightToLeft;
    o.palette = palette;
    return o;
}

BmpWriteOptions BmpOf(uint32_t bits, bool masks = false, bool topDown = false, bool rle = false) {
    BmpWriteOptions o;
    o.bits = bits;
    o.masks = masks;
    o.topDown = topDown;
    o.rle = rle;
    return o;
}

const RoundTripCase kCases[] = {
    {"tga32", ColourPicture, Tga(TgaOf(32)), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0},
    {"tga32_topdown", ColourPicture, Tga(TgaOf(32, false, true)), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0},
    {"tga32_mirrored", ColourPicture, Tga(TgaOf(32, false, false, true)), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0},
    {"tga32_rle", ColourPicture, Tga(TgaOf(32, true)), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0},
    {"tga32_rle_topdown", ColourPicture, Tga(TgaOf(32, true, true)), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0},
    {"tga24", OpaquePicture, Tga(TgaOf(24)), D3DFMT_R8G8B8, D3DXIFF_TGA, false, 0},
    {"tga24_rle", TwoColourPicture, Tga(TgaOf(24, true)), D3DFMT_R8G8B8, D3DXIFF_TGA, false, 0},
    {"tga16", ColourPicture, Tga(TgaOf(16)), D3DFMT_A1R5G5B5, D3DXIFF_TGA, true, D3DFMT_A1R5G5B5},
    {"tga8_grey", GreyPicture, Tga(TgaOf(8)), D3DFMT_L8, D3DXIFF_TGA, false, 0},
    {"tga8_grey_rle", GreyPicture, Tga(TgaOf(8, true, true)), D3DFMT_L8, D3DXIFF_TGA, false, 0},
    {"tga_palette", OpaquePicture, Tga(TgaOf(8, false, false, false, true)), D3DFMT_P8, D3DXIFF_TGA, false, 0},
    {"tga_palette_alpha_rle", ColourPicture, Tga(TgaOf(8, true, true, false, true)), D3DFMT_P8, D3DXIFF_TGA, true, 0},
    {"bmp24", OpaquePicture, Bmp(BmpOf(24)), D3DFMT_R8G8B8, D3DXIFF_BMP, false, 0},
    {"bmp24_topdown", OpaquePicture, Bmp(BmpOf(24, false, true)), D3DFMT_R8G8B8, D3DXIFF_BMP, false, 0},
    {"bmp32", OpaquePicture, Bmp(BmpOf(32)), D3DFMT_X8R8G8B8, D3DXIFF_BMP, false, 0},
    {"bmp32_masks", ColourPicture, Bmp(BmpOf(32, true)), D3DFMT_A8R8G8B8, D3DXIFF_BMP, true, 0},
    {"bmp16", OpaquePicture, Bmp(BmpOf(16)), D3DFMT_X1R5G5B5, D3DXIFF_BMP, false, D3DFMT_X1R5G5B5},
    {"bmp16_masks", OpaquePicture, Bmp(BmpOf(16, true)), D3DFMT_R5G6B5, D3DXIFF_BMP, false, D3DFMT_R5G6B5},
    {"bmp8", OpaquePicture, Bmp(BmpOf(8)), D3DFMT_P8, D3DXIFF_BMP, false, 0},
    {"bmp8_rle", OpaquePicture, Bmp(BmpOf(8, false, false, true)), D3DFMT_P8, D3DXIFF_BMP, false, 0},
    {"bmp8_rle_runs", TwoColourPicture, Bmp(BmpOf(8, false, false, true)), D3DFMT_P8, D3DXIFF_BMP, false, 0},
    {"bmp4", OpaquePicture, Bmp(BmpOf(4)), D3DFMT_P8, D3DXIFF_BMP, false, 0},
    {"bmp1", TwoColourPicture, Bmp(BmpOf(1)), D3DFMT_P8, D3DXIFF_BMP, false, 0},
    {"dds_a8r8g8b8", ColourPicture, Dds(D3DFMT_A8R8G8B8), D3DFMT_A8R8G8B8, D3DXIFF_DDS, true, 0},
    {"dds_x8r8g8b8", OpaquePicture, Dds(D3DFMT_X8R8G8B8), D3DFMT_X8R8G8B8, D3DXIFF_DDS, false, 0},
    {"dds_r8g8b8", OpaquePicture, Dds(D3DFMT_R8G8B8), D3DFMT_R8G8B8, D3DXIFF_DDS, false, 0},
    {"dds_r5g6b5", OpaquePicture, Dds(D3DFMT_R5G6B5), D3DFMT_R5G6B5, D3DXIFF_DDS, false, D3DFMT_R5G6B5},
    {"dds_a1r5g5b5", ColourPicture, Dds(D3DFMT_A1R5G5B5), D3DFMT_A1R5G5B5, D3DXIFF_DDS, true, D3DFMT_A1R5G5B5},
    {"dds_a4r4g4b4", ColourPicture, Dds(D3DFMT_A4R4G4B4), D3DFMT_A4R4G4B4, D3DXIFF_DDS, true, D3DFMT_A4R4G4B4},
    {"dds_l8", GreyPicture, Dds(D3DFMT_L8), D3DFMT_L8, D3DXIFF_DDS, false, 0},
    {"dds_a8l8", GreyAlphaPicture, Dds(D3DFMT_A8L8), D3DFMT_A8L8, D3DXIFF_DDS, true, 0},
    {"dds_a8", ColourPicture, Dds(D3DFMT_A8), D3DFMT_A8, D3DXIFF_DDS, true, D3DFMT_A8},
    {"png_rgba", ColourPicture, Png(PNG_LAYOUT_RGBA), D3DFMT_A8R8G8B8, D3DXIFF_PNG, true, 0},
    {"png_rgb", OpaquePicture, Png(PNG_LAYOUT_RGB), D3DFMT_R8G8B8, D3DXIFF_PNG, false, 0},
    {"png_grey", GreyPicture, Png(PNG_LAYOUT_GREY), D3DFMT_L8, D3DXIFF_PNG, false, 0},
    {"png_grey_alpha", GreyAlphaPicture, Png(PNG_LAYOUT_GREY_ALPHA), D3DFMT_A8L8, D3DXIFF_PNG, true, 0},
    {"png_palette", ColourPicture, Png(PNG_LAYOUT_PALETTE), D3DFMT_P8, D3DXIFF_PNG, true, 0},
};

class ImageRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(ImageRoundTrip, DecodesToTheWrittenPixels) {
    const RoundTripCase& c = GetParam();
    const Picture picture = c.picture();
    const std::vector<uint8_t> file = c.write(picture);
    ASSERT_FALSE(file.empty());
    ImageData image;
    std::string error;
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error)) << error;
    EXPECT_EQ(image.info.Width, picture.width);
    EXPECT_EQ(image.info.Height, picture.height);
    EXPECT_EQ(image.info.Depth, 1u);
    EXPECT_EQ(image.info.MipLevels, 1u);
    EXPECT_EQ(image.info.Format, c.fileFormat);
    EXPECT_EQ(image.info.ResourceType, static_cast<uint32_t>(D3DRTYPE_TEXTURE));
    EXPECT_EQ(image.info.ImageFileFormat, c.fileKind);
    EXPECT_EQ(image.hasAlpha, c.hasAlpha);
    ASSERT_EQ(image.levels.size(), 1u);
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            uint32_t expected = picture.At(x, y);
            if (c.precision) expected = ThroughFormat(c.precision, expected);
            EXPECT_EQ(image.levels[0].pixels[y * picture.width + x], expected) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImageRoundTrip, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// JPEG is lossy: colours come back close, grey files as grey.
TEST(JpegDecode, ColourAndGreyFilesComeBackClose) {
    Picture picture{16, 8, {}};
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x) picture.pixels.push_back(x < 8 ? 0xFFC03020u : 0xFF2040C0u);
    for (bool grey : {false, true}) {
        const std::vector<uint8_t> file = ImageWriter_Jpeg(picture.pixels.data(), 16, 8, 95, grey);
        ImageData image;
        std::string error;
        ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error)) << error;
        EXPECT_EQ(image.info.Format, grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8);
        EXPECT_EQ(image.info.ImageFileFormat, static_cast<uint32_t>(D3DXIFF_JPG));
        EXPECT_FALSE(image.hasAlpha);
        for (uint32_t x : {1u, 14u}) {
            const uint32_t got = image.levels[0].pixels[4 * 16 + x];
            const uint32_t want = grey ? 0xFF000000u | ((picture.At(x, 4) >> 16) & 0xFF) * 0x010101u : picture.At(x, 4);
            EXPECT_EQ(got >> 24, 0xFFu);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), 6)
                    << (grey ? "grey" : "colour") << " x " << x << " shift " << shift;
        }
    }
}

}  // namespace
