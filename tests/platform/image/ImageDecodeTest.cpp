// Files spelled out byte by byte, so orientation, palettes and alpha are
// checked against the formats themselves rather than against our writers;
// and damaged files, which must fail with a reason and never read past
// their bytes.

#include "platform/image/Image.h"
#include "tests/platform/image/ImagePictures.h"
#include "tools/content/ImageWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

void Append(std::vector<uint8_t>& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
}

void AppendWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

ImageData Decode(const std::vector<uint8_t>& file) {
    ImageData image;
    std::string error;
    EXPECT_TRUE(Image_Decode(file.data(), file.size(), &image, &error)) << error;
    return image;
}

// Top-left, top-right, bottom-left, bottom-right of a 2 x 2 image.
std::vector<uint32_t> Corners(const ImageData& image) {
    if (image.levels.empty()) return {};
    return image.levels[0].pixels;
}

const std::vector<uint32_t> kCorners = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

TEST(ImageDecode, TgaIsBottomUpUnlessTheDescriptorSaysTopDown) {
    // Bottom row first: blue, white; then red, green.
    std::vector<uint8_t> file = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0});
    Append(file, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0, 0xFF, 0});
    EXPECT_EQ(Corners(Decode(file)), kCorners);
    // Top-down and right-to-left: top row first, each row from the right.
    file = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x30});
    Append(file, {0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    EXPECT_EQ(Corners(Decode(file)), kCorners);
}

TEST(ImageDecode, TgaRunsCrossRowsAndPalettesStartAtTheirFirstIndex) {
    // A colour-mapped RLE file whose palette starts at index 10: one run
    // of three (covering the bottom row and the first pixel above), then one raw pixel.
    std::vector<uint8_t> file = Bytes({0, 1, 9, 10, 0, 2, 0, 32, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x00});
    Append(file, {0x10, 0x20, 0x30, 0x80, 0xC0, 0xB0, 0xA0, 0x40});  // B, G, R, A entries 10 and 11
    Append(file, {0x82, 10, 0x00, 11});
    const ImageData image = Decode(file);
    EXPECT_EQ(image.info.Format, static_cast<D3DFORMAT>(D3DFMT_P8));
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(Corners(image), (std::vector<uint32_t>{0x80302010u, 0x40A0B0C0u, 0x80302010u, 0x80302010u}));
}

TEST(ImageDecode, Tga16BitAlphaCountsOnlyWithAlphaBits) {
    // 0x7C00 is red with the top bit clear; 0x801F is blue with it set.
    for (int alphaBits : {0, 1}) {
        std::vector<uint8_t> file = Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 16, alphaBits | 0x20});
        Append(file, {0x00, 0x7C, 0x1F, 0x80});
        const ImageData image = Decode(file);
        EXPECT_EQ(image.hasAlpha, alphaBits == 1);
        EXPECT_EQ(Corners(image), alphaBits ? (std::vector<uint32_t>{0x00FF0000u, 0xFF0000FFu})
                                            : (std::vector<uint32_t>{0xFFFF0000u, 0xFF0000FFu}));
    }
}

TEST(ImageDecode, BmpRowsArePaddedBottomUpAndNegativeHeightsTopDown) {
    for (bool topDown : {false, true}) {
        std::vector<uint8_t> file = Bytes({'B', 'M'});
        AppendWord(file, 70);
        AppendWord(file, 0);
        AppendWord(file, 54);
        AppendWord(file, 40);
        AppendWord(file, 2);
        AppendWord(file, topDown ? static_cast<uint32_t>(-2) : 2u);
        Append(file, {1, 0, 24, 0});
        for (int i = 0; i < 6; ++i) AppendWord(file, 0);
        // Each 6-byte row padded to 8.
        if (topDown) {
            Append(file, {0, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0});
        } else {
            Append(file, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0});
        }
        EXPECT_EQ(Corners(Decode(file)), kCorners) << (topDown ? "top-down" : "bottom-up");
    }
}

TEST(ImageDecode, BmpFourBitIndicesTakeTheHighNibbleFirst) {
    std::vector<uint8_t> file = Bytes({'B', 'M'});
    AppendWord(file, 0);
    AppendWord(file, 0);
    AppendWord(file, 14 + 40 + 8);
    AppendWord(file, 40);
    AppendWord(file, 2);
    AppendWord(file, 1);
    Append(file, {1, 0, 4, 0});
    AppendWord(file, 0);
    AppendWord(file, 0);
    AppendWord(file, 0);
    AppendWord(file, 0);
    AppendWord(file, 2);  // two palette entries
    AppendWord(file, 0);
    AppendWord(file, 0x00112233);
    AppendWord(file, 0x00445566);
    Append(file, {0x10, 0, 0, 0});
    EXPECT_EQ(Corners(Decode(file)), (std::vector<uint32_t>{0xFF445566u, 0xFF112233u}));
}

TEST(ImageDecode, DdsKeepsCompressedLevelsAsBlocks) {
    Picture picture{8, 8, std::vector<uint32_t>(64, 0xFF00FF00u)};
    const std::vector<uint8_t> file = ImageWriter_Dds(picture.pixels.data(), 8, 8, {D3DFMT_DXT1, 4});
    const ImageData image = Decode(file);
    EXPECT_EQ(image.storage, static_cast<D3DFORMAT>(D3DFMT_DXT1));
    EXPECT_EQ(image.info.Format, static_cast<D3DFORMAT>(D3DFMT_DXT1));
    EXPECT_EQ(image.info.MipLevels, 4u);
    ASSERT_EQ(image.levels.size(), 4u);
    const uint32_t sizes[4][2] = {{8, 8}, {4, 4}, {2, 2}, {1, 1}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(image.levels[i].width, sizes[i][0]);
        EXPECT_EQ(image.levels[i].height, sizes[i][1]);
        EXPECT_EQ(image.levels[i].blocks.size(), i == 0 ? 32u : 8u);
        EXPECT_EQ(Image_LevelPixels(image, i), std::vector<uint32_t>(sizes[i][0] * sizes[i][1], 0xFF00FF00u));
    }
}

// A valid file of each kind of our own readers, to be damaged.
std::vector<uint8_t> ValidTga() {
    const Picture p = ColourPicture();
    return ImageWriter_Tga(p.pixels.data(), p.width, p.height, {});
}
std::vector<uint8_t> ValidRleTga() {
    const Picture p = ColourPicture();
    TgaWriteOptions options;
    options.rle = true;
    options.palette = true;
    return ImageWriter_Tga(p.pixels.data(), p.width, p.height, options);
}
std::vector<uint8_t> ValidBmp() {
    const Picture p = OpaquePicture();
    return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, {});
}
std::vector<uint8_t> ValidRleBmp() {
    const Picture p = OpaquePicture();
    BmpWriteOptions options;
    options.bits = 8;
    options.rle = true;
    return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, options);
}
std::vector<uint8_t> ValidDds() {
    Picture p{16, 8, std::vector<uint32_t>(128, 0xFF336699u)};
    return ImageWriter_Dds(p.pixels.data(), p.width, p.height, {D3DFMT_DXT5, 5});
}
std::vector<uint8_t> ValidPlainDds() {
    const Picture p = ColourPicture();
    return ImageWriter_Dds(p.pixels.data(), p.width, p.height, {D3DFMT_A8R8G8B8, 2});
}
std::vector<uint8_t> ValidPng() {
    const Picture p = ColourPicture();
    return ImageWriter_Png(p.pixels.data(), p.width, p.height, PNG_LAYOUT_RGBA);
}
std::vector<uint8_t> ValidJpeg() {
    const Picture p = OpaquePicture();
    return ImageWriter_Jpeg(p.pixels.data(), p.width, p.height, 90);
}

using Maker = std::vector<uint8_t> (*)();

// Every file cut short anywhere fails, except where only bytes without
// pixels go missing (the last row's padding of a BMP, the end chunk of a
// PNG); none reads past what is left.
TEST(ImageDamage, EveryTruncationFails) {
    const struct {
        Maker make;
        size_t optionalTail;
    } files[] = {{ValidTga, 0}, {ValidRleTga, 0}, {ValidBmp, 1},       {ValidRleBmp, 0},
                 {ValidDds, 0}, {ValidPlainDds, 0}, {ValidPng, 12}, {ValidJpeg, 0}};
    for (const auto& f : files) {
        const std::vector<uint8_t> file = f.make();
        ASSERT_FALSE(file.empty());
        ImageData image;
        std::string error;
        ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error)) << error;
        for (size_t length = 0; length + f.optionalTail < file.size(); ++length) {
            // A copy of exactly that length, so the sanitizer sees any read beyond it.
            const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
            error.clear();
            const bool decoded = Image_Decode(cut.data(), cut.size(), &image, &error);
            EXPECT_FALSE(decoded) << "length " << length << " of " << file.size();
            if (!decoded) {
                EXPECT_FALSE(error.empty());
                EXPECT_TRUE(image.levels.empty());
            }
        }
    }
}

struct Damage {
    const char* name;
    Maker make;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* error;
};

void Put32At(std::vector<uint8_t>& file, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void SetTgaSize(std::vector<uint8_t>& file, uint32_t side) {
    for (size_t offset : {12, 14}) {
        file[offset] = static_cast<uint8_t>(side);
        file[offset + 1] = static_cast<uint8_t>(side >> 8);
    }
}

const Damage kDamages[] = {
    {"tga_huge_size", ValidTga, [](auto& f) { SetTgaSize(f, 4000); }, "TGA pixel data truncated"},
    {"tga_beyond_limits", ValidTga, [](auto& f) { SetTgaSize(f, 20000); }, "TGA size out of range"},
    {"tga_zero_width", ValidTga, [](auto& f) { f[12] = f[13] = 0; }, "TGA size out of range"},
    {"tga_unknown_type", ValidTga, [](auto& f) { f[2] = 4; }, "not a TGA file or an unsupported TGA type"},
    {"tga_odd_depth", ValidTga, [](auto& f) { f[16] = 12; }, "unsupported TGA pixel depth"},
    {"tga_rle_huge_size", ValidRleTga, [](auto& f) { SetTgaSize(f, 4000); },
     "TGA pixel data truncated"},
    {"tga_index_below_palette", ValidRleTga, [](auto& f) { f[3] = 200; },
     "TGA palette index out of range"},
    {"bmp_huge_size", ValidBmp, [](auto& f) { Put32At(f, 18, 4000); Put32At(f, 22, 4000); },
     "BMP pixel data truncated"},
    {"bmp_negative_width", ValidBmp, [](auto& f) { Put32At(f, 18, static_cast<uint32_t>(-5)); },
     "BMP size out of range"},
    {"bmp_header_size", ValidBmp, [](auto& f) { Put32At(f, 14, 20); }, "unsupported BMP header"},
    {"bmp_header_beyond_file", ValidBmp, [](auto& f) { Put32At(f, 14, 0x7FFFFFF0); }, "BMP header truncated"},
    {"bmp_compression", ValidBmp, [](auto& f) { Put32At(f, 30, 4); }, "unsupported BMP compression"},
    {"bmp_rle_top_down", ValidRleBmp, [](auto& f) { Put32At(f, 22, static_cast<uint32_t>(-3)); },
     "unsupported BMP compression"},
    {"bmp_broken_masks", ValidBmp,
     [](auto& f) {
         Put32At(f, 28, 32 | 3 << 16);  // 32 bits with masks from the plain header's end
         f.insert(f.begin() + 54, {0x0F, 0xF0, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0});
     },
     "broken BMP colour masks"},
    {"dds_mips_beyond_chain", ValidDds, [](auto& f) { Put32At(f, 28, 6); }, "DDS mip count beyond the full chain"},
    {"dds_mips_without_bytes", ValidDds, [](auto& f) { f.resize(f.size() - 1); }, "DDS levels truncated"},
    {"dds_huge_size", ValidDds, [](auto& f) { Put32At(f, 12, 4096); Put32At(f, 16, 4096); }, "DDS levels truncated"},
    {"dds_cube_map", ValidDds, [](auto& f) { Put32At(f, 112, 0x200); }, "DDS cube maps and volumes are not 2D images"},
    {"dds_unknown_code", ValidDds, [](auto& f) { Put32At(f, 84, MakeFourCC('A', 'T', 'I', '2')); }, "unsupported DDS format"},
    {"dds_header_size", ValidDds, [](auto& f) { Put32At(f, 4, 100); }, "not a DDS file"},
    {"dds_no_channels", ValidPlainDds, [](auto& f) { Put32At(f, 80, 0); }, "unsupported DDS pixel format"},
};

class ImageDamageCase : public testing::TestWithParam<Damage> {};

TEST_P(ImageDamageCase, FailsWithItsReason) {
    std::vector<uint8_t> file = GetParam().make();
    GetParam().damage(file);
    ImageData image;
    std::string error;
    EXPECT_FALSE(Image_Decode(file.data(), file.size(), &image, &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(image.levels.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ImageDamageCase, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(ImageDamage, EmptyAndForeignBytesFail) {
    ImageData image;
    std::string error;
    EXPECT_FALSE(Image_Decode(nullptr, 0, &image, &error));
    EXPECT_EQ(error, "empty image file");
    const std::string text = "This is a text file, not an image.";
    EXPECT_FALSE(Image_Decode(text.data(), text.size(), &image, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
