// Textures made from image files on the offscreen device: size, format,
// mip chain and texels, read back from the levels and from the screen.

#include "platform/image/ImageTexture.h"
#include "platform/graphics/TextureFormats.h"
#include "tests/platform/graphics/DeviceFixture.h"
#include "tests/platform/image/ImagePictures.h"
#include "tools/content/ImageWriter.h"

#include <cstring>

namespace {

class ImageTextureTest : public DeviceTest {
protected:
    PlatformTexture* texture = nullptr;
    D3DXIMAGE_INFO info{};
    std::string error;

    void TearDown() override {
        if (texture) texture->Release();
    }
    HRESULT Make(const std::vector<uint8_t>& file, uint32_t width = D3DX_DEFAULT, uint32_t height = D3DX_DEFAULT,
                 uint32_t levels = D3DX_DEFAULT, D3DFORMAT format = D3DFMT_UNKNOWN) {
        if (texture) texture->Release();
        texture = nullptr;
        return Image_CreateTextureFromMemory(device(), file.data(), file.size(), width, height, levels, format,
                                             D3DPOOL_MANAGED, &info, &texture, &error);
    }
    // A level's texels as ARGB, read through a lock.
    std::vector<uint32_t> Texels(uint32_t level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> texels(size_t{desc.Width} * desc.Height);
        TextureFormat_Decode(*TextureFormat_Find(desc.Format), static_cast<const uint8_t*>(locked.pBits),
                             static_cast<uint32_t>(locked.Pitch), desc.Width, desc.Height, texels.data());
        texture->UnlockRect(level);
        return texels;
    }
};

std::vector<uint8_t> Tga32(const Picture& p) { return ImageWriter_Tga(p.pixels.data(), p.width, p.height, {}); }

Picture Quadrants(uint32_t side) {
    // Red, green / blue, white quadrants.
    Picture p{side, side, {}};
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x)
            p.pixels.push_back(y < side / 2 ? (x < side / 2 ? 0xFFFF0000u : 0xFF00FF00u)
                                            : (x < side / 2 ? 0xFF0000FFu : 0xFFFFFFFFu));
    return p;
}

TEST_F(ImageTextureTest, DefaultsKeepTheFileSizeFormatAndAFullChain) {
    const Picture picture = ColourPicture();
    ASSERT_EQ(Make(Tga32(picture)), D3D_OK) << error;
    EXPECT_EQ(info.Width, 5u);
    EXPECT_EQ(info.Height, 3u);
    EXPECT_EQ(info.Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(info.ImageFileFormat, static_cast<uint32_t>(D3DXIFF_TGA));
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    const uint32_t sizes[3][2] = {{5, 3}, {2, 1}, {1, 1}};
    for (uint32_t i = 0; i < 3; ++i) {
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(i, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, static_cast<D3DFORMAT>(D3DFMT_A8R8G8B8));
        EXPECT_EQ(desc.Pool, static_cast<uint32_t>(D3DPOOL_MANAGED));
        EXPECT_EQ(desc.Width, sizes[i][0]);
        EXPECT_EQ(desc.Height, sizes[i][1]);
    }
    EXPECT_EQ(Texels(0), picture.pixels);
}

TEST_F(ImageTextureTest, ShrunkenLevelsAverageTheFile) {
    // 8 x 8 quadrants asked at 4 x 4 with three levels: the quadrants stay
    // pure, the 1 x 1 level is their mean.
    ASSERT_EQ(Make(Tga32(Quadrants(8)), 4, 4, 3), D3D_OK) << error;
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    EXPECT_EQ(Texels(0), Quadrants(4).pixels);
    EXPECT_EQ(Texels(1), Quadrants(2).pixels);
    EXPECT_EQ(Texels(2), (std::vector<uint32_t>{0xFF808080u}));
    // A level count beyond the chain is cut to the chain.
    ASSERT_EQ(Make(Tga32(Quadrants(8)), 4, 2, 9), D3D_OK) << error;
    EXPECT_EQ(texture->GetLevelCount(), 3u);
}

struct FormatCase {
    const char* name;
    std::vector<uint8_t> (*file)();
    D3DFORMAT asked;
    D3DFORMAT made;
};

std::vector<uint8_t> OpaqueTga24() {
    const Picture p = OpaquePicture();
    TgaWriteOptions o;
    o.bits = 24;
    return ImageWriter_Tga(p.pixels.data(), p.width, p.height, o);
}
std::vector<uint8_t> PaletteBmp() {
    const Picture p = OpaquePicture();
    BmpWriteOptions o;
    o.bits = 8;
    return ImageWriter_Bmp(p.pixels.data(), p.width, p.height, o);
}
std::vector<uint8_t> AlphaPalettePng() {
    const Picture p = ColourPicture();
    return ImageWriter_Png(p.pixels.data(), p.width, p.height, PNG_LAYOUT_PALETTE);
}
std::vector<uint8_t> GreyPng() {
    const Picture p = GreyPicture();
    return ImageWriter_Png(p.pixels.data(), p.width, p.height, PNG_LAYOUT_GREY);
}
std::vector<uint8_t> Jpeg() {
    const Picture p = OpaquePicture();
    return ImageWriter_Jpeg(p.pixels.data(), p.width, p.height, 90);
}
std::vector<uint8_t> AlphaTga() { return Tga32(ColourPicture()); }

// Formats the device cannot hold (palettes) become 32-bit, with alpha only
// where the file has it.
const FormatCase kFormatCases[] = {
    {"own_24", OpaqueTga24, D3DFMT_UNKNOWN, D3DFMT_R8G8B8},
    {"own_palette", PaletteBmp, D3DFMT_UNKNOWN, D3DFMT_X8R8G8B8},
    {"own_palette_alpha", AlphaPalettePng, D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8},
    {"own_grey", GreyPng, D3DFMT_UNKNOWN, D3DFMT_L8},
    {"own_jpeg", Jpeg, D3DFMT_UNKNOWN, D3DFMT_X8R8G8B8},
    {"asked_r5g6b5", AlphaTga, D3DFMT_R5G6B5, D3DFMT_R5G6B5},
    {"asked_a4r4g4b4", AlphaTga, D3DFMT_A4R4G4B4, D3DFMT_A4R4G4B4},
    {"asked_a1r5g5b5", PaletteBmp, D3DFMT_A1R5G5B5, D3DFMT_A1R5G5B5},
    {"asked_palette", AlphaTga, D3DFMT_P8, D3DFMT_A8R8G8B8},
};

class ImageTextureFormat : public ImageTextureTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(ImageTextureFormat, MadeInTheChosenFormatWithTheFileTexels) {
    const FormatCase& c = GetParam();
    const std::vector<uint8_t> file = c.file();
    ASSERT_EQ(Make(file, D3DX_DEFAULT, D3DX_DEFAULT, 1, c.asked), D3D_OK) << error;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, c.made);
    ImageData image;
    ASSERT_TRUE(Image_Decode(file.data(), file.size(), &image, &error));
    std::vector<uint32_t> expected = image.levels[0].pixels;
    for (uint32_t& p : expected) p = ThroughFormat(c.made, p);
    EXPECT_EQ(Texels(0), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageTextureFormat, testing::ValuesIn(kFormatCases),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST_F(ImageTextureTest, StoredMipLevelsAreUsedAsTheyAre) {
    // A DDS whose second level is not the filtered first: the texture takes
    // it unchanged, and filters the third level from it.
    const Picture picture = Quadrants(8);
    std::vector<uint8_t> file = ImageWriter_Dds(picture.pixels.data(), 8, 8, {D3DFMT_A8R8G8B8, 2});
    const size_t level1 = 128 + 8 * 8 * 4;
    ASSERT_EQ(file.size(), level1 + 4 * 4 * 4);
    for (size_t i = 0; i < 16; ++i) {
        const uint32_t colour = i % 2 ? 0xFF204060u : 0xFF604020u;
        std::memcpy(&file[level1 + i * 4], &colour, 4);
    }
    ASSERT_EQ(Make(file, D3DX_DEFAULT, D3DX_DEFAULT, 3), D3D_OK) << error;
    EXPECT_EQ(info.MipLevels, 2u);
    EXPECT_EQ(Texels(0), picture.pixels);
    const std::vector<uint32_t> second = Texels(1);
    EXPECT_EQ(second[0], 0xFF604020u);
    EXPECT_EQ(second[1], 0xFF204060u);
    EXPECT_EQ(Texels(2), std::vector<uint32_t>(4, 0xFF404040u));
    // Asked at half size, the texture starts from the stored second level.
    ASSERT_EQ(Make(file, 4, 4, 1), D3D_OK) << error;
    EXPECT_EQ(Texels(0), second);
}

TEST_F(ImageTextureTest, CompressedFormatsKeepTheirBlocks) {
    // Quadrants of 4 x 4 are whole blocks of one colour each: exact in DXT1.
    const Picture quadrants = Quadrants(8);
    ASSERT_EQ(Make(Tga32(quadrants), D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_DXT1), D3D_OK) << error;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, static_cast<D3DFORMAT>(D3DFMT_DXT1));
    EXPECT_EQ(Texels(0), quadrants.pixels);
    // DXT2 holds the colour premultiplied by alpha.
    Picture half{4, 4, std::vector<uint32_t>(16, 0x80FF0000u)};
    ASSERT_EQ(Make(Tga32(half), D3DX_DEFAULT, D3DX_DEFAULT, 1, D3DFMT_DXT2), D3D_OK) << error;
    EXPECT_EQ(Texels(0)[0], 0x88840000u);
    // A DDS file in the asked (or its own) compression goes in byte for byte.
    const std::vector<uint8_t> file = ImageWriter_Dds(quadrants.pixels.data(), 8, 8, {D3DFMT_DXT5, 4});
    ASSERT_EQ(Make(file), D3D_OK) << error;
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    EXPECT_EQ(texture->format, static_cast<D3DFORMAT>(D3DFMT_DXT5));
    size_t offset = 128;
    for (const PlatformTexture::Level& level : texture->levels) {
        EXPECT_TRUE(std::equal(level.bits.begin(), level.bits.end(), file.begin() + static_cast<std::ptrdiff_t>(offset)));
        offset += level.bits.size();
    }
    EXPECT_EQ(offset, file.size());
}

// A size asked for is made when the device can make it and it stays within
// four times the picture's own sides (and a texture's most pixels);
// otherwise the texture takes the picture's own size.
TEST_F(ImageTextureTest, AskedSizesAreBoundedByThePicture) {
    D3DCAPS8 caps{};
    ASSERT_EQ(device()->GetDeviceCaps(&caps), D3D_OK);
    const struct {
        uint32_t width, height;
        uint32_t madeWidth, madeHeight;
    } cases[] = {
        {32, 16, 32, 16},      // up to four times each side
        {33, 16, 8, 8},        // past it on one side
        {16384, 16384, 8, 8},  // what a hostile item asks
        {caps.MaxTextureWidth + 1, 8, 8, 8},
        {4, 2, 4, 2},          // shrinking is always allowed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        ASSERT_EQ(Make(Tga32(Quadrants(8)), c.width, c.height, 1), D3D_OK) << error;
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, c.madeWidth);
        EXPECT_EQ(desc.Height, c.madeHeight);
        EXPECT_EQ(info.Width, 8u);
    }
}

TEST_F(ImageTextureTest, UndecodableDataGivesNoTexture) {
    std::vector<uint8_t> file = Tga32(ColourPicture());
    file.resize(30);
    EXPECT_EQ(Make(file), D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(error, "TGA pixel data truncated");
    EXPECT_STREQ(Image_GetErrorName(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
}

TEST_F(ImageTextureTest, TexelsLandUprightOnTheScreen) {
    ASSERT_EQ(Make(Tga32(Quadrants(2)), D3DX_DEFAULT, D3DX_DEFAULT, 1), D3D_OK) << error;
    device()->SetRenderState(D3DRS_LIGHTING, 0);
    device()->SetTexture(0, texture);
    device()->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device()->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    DrawScreenQuad(0, 0, 32, 32, 0.5f, 0xFFFFFFFF);
    device()->SetTexture(0, nullptr);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(28, 4), 0xFF00FF00u);
    EXPECT_EQ(Pixel(4, 28), 0xFF0000FFu);
    EXPECT_EQ(Pixel(28, 28), 0xFFFFFFFFu);
}

}  // namespace
