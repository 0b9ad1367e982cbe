// Texture formats, compressed blocks, mip chains, address modes and
// textures written from another thread.

#include "DeviceFixture.h"

#include <condition_variable>
#include <cstring>
#include <thread>

namespace {

// A texture whose top level holds the pixels (ARGB, rows top first).
PlatformTexture* MakeTexture(PlatformDevice* device, D3DFORMAT format, uint32_t width, uint32_t height,
                             const std::vector<uint32_t>& argb, uint32_t levels = 1) {
    PlatformTexture* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED, &texture), D3D_OK);
    if (texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_TRUE(Graphics_ConvertFromArgb(format, argb.data(), width, height, static_cast<uint8_t*>(locked.pBits),
                                         static_cast<uint32_t>(locked.Pitch)));
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

std::vector<uint32_t> RoundTrip(D3DFORMAT format, const std::vector<uint32_t>& argb, uint32_t width, uint32_t height) {
    std::vector<uint8_t> bits(64 * 64);
    const uint32_t pitch = 64;
    EXPECT_TRUE(Graphics_ConvertFromArgb(format, argb.data(), width, height, bits.data(), pitch));
    std::vector<uint32_t> back(argb.size());
    EXPECT_TRUE(Graphics_ConvertToArgb(format, bits.data(), pitch, width, height, back.data()));
    return back;
}

struct FormatCase {
    D3DFORMAT format;
    uint32_t in, out;  // one pixel written, as it reads back
};
class TexelFormats : public DeviceTest, public testing::WithParamInterface<FormatCase> {};

// Each format stores the pixel at its own precision and reads it back as GL
// samples it: the drawn texel equals the converted one.
TEST_P(TexelFormats, StoreReadAndSampleAlike) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(RoundTrip(c.format, {c.in}, 1, 1)[0], c.out);

    PlatformTexture* texture = MakeTexture(device(), c.format, 1, 1, {c.in});
    ASSERT_NE(texture, nullptr);
    device()->SetTexture(0, texture);
    texture->Release();
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    // Alpha shows as the blend over white.
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFF);
    device()->SetTexture(0, nullptr);
    const uint32_t a = c.out >> 24;
    auto over = [&](uint32_t shift) {
        const uint32_t v = (c.out >> shift) & 0xFF;
        return ((v * a + 255 * (255 - a)) * 2 + 255) / 510 << shift;
    };
    const uint32_t expected = 0xFF000000u | over(16) | over(8) | over(0);
    const uint32_t got = Pixel(4, 4);
    for (uint32_t shift : {16u, 8u, 0u})
        EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF), 1)
            << std::hex << got << " against " << expected;
}
INSTANTIATE_TEST_SUITE_P(
    Formats, TexelFormats,
    testing::Values(FormatCase{D3DFMT_A8R8G8B8, 0x80C04020, 0x80C04020}, FormatCase{D3DFMT_X8R8G8B8, 0x00C04020, 0xFFC04020},
                    FormatCase{D3DFMT_R8G8B8, 0x12C04020, 0xFFC04020},
                    // 5 bits: 0xC0 -> 23 -> 0xBD, 0x40 -> 8 -> 0x42, 0x20 -> 4 -> 0x21; 6 bits: 0x40 -> 16 -> 0x41
                    FormatCase{D3DFMT_R5G6B5, 0xFFC04020, 0xFFBD4121}, FormatCase{D3DFMT_X1R5G5B5, 0x00C04020, 0xFFBD4221},
                    FormatCase{D3DFMT_A1R5G5B5, 0x7FC04020, 0x00BD4221}, FormatCase{D3DFMT_A1R5G5B5, 0x80C04020, 0xFFBD4221},
                    // 4 bits: 0x80 -> 8 -> 0x88, 0xC0 -> 11 -> 0xBB, 0x40 -> 4 -> 0x44, 0x20 -> 2 -> 0x22
                    FormatCase{D3DFMT_A4R4G4B4, 0x80C04020, 0x88BB4422}, FormatCase{D3DFMT_X4R4G4B4, 0x80C04020, 0xFFBB4422},
                    FormatCase{D3DFMT_A8, 0x80C04020, 0x80000000}, FormatCase{D3DFMT_L8, 0x80C04020, 0xFF606060},
                    FormatCase{D3DFMT_A8L8, 0x80C04020, 0x80606060}));

// Hand-made blocks with their decoded texels.
struct BlockCase {
    const char* name;
    D3DFORMAT format;
    std::vector<uint8_t> block;
    uint32_t texel0, texel1, texel2, texel3;  // the first row
};
class CompressedBlocks : public testing::TestWithParam<BlockCase> {};

TEST_P(CompressedBlocks, DecodeToTheirPalette) {
    const BlockCase& c = GetParam();
    uint32_t texels[16] = {};
    ASSERT_TRUE(Graphics_ConvertToArgb(c.format, c.block.data(), static_cast<uint32_t>(c.block.size()), 4, 4, texels));
    EXPECT_EQ(texels[0], c.texel0);
    EXPECT_EQ(texels[1], c.texel1);
    EXPECT_EQ(texels[2], c.texel2);
    EXPECT_EQ(texels[3], c.texel3);
}
// Colour end points 0xF800 (red) and 0x001F (blue); indices 0, 1, 2, 3 along the first row.
INSTANTIATE_TEST_SUITE_P(
    Blocks, CompressedBlocks,
    testing::Values(
        BlockCase{"Dxt1FourColours", D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
                  0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA},
        // First end point not above the second: midpoint and transparent black.
        BlockCase{"Dxt1ThreeColours", D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
                  0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000},
        // Explicit alphas 0x0, 0xF, 0x8, 0x3; DXT3 always uses four colours.
        BlockCase{"Dxt3", D3DFMT_DXT3, {0xF0, 0x38, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
                  0x000000FF, 0xFFFF0000, 0x885500AA, 0x33AA0055},
        // Alpha end points 200 and 100: eight steps; indices 0, 1, 2, 7.
        BlockCase{"Dxt5EightAlphas", D3DFMT_DXT5, {200, 100, 0x88, 0x0E, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
                  0xC8FF0000, 0x640000FF, 0xB9AA0055, 0x725500AA},
        // End points 100 and 200: six steps, then 0 and 255; indices 6, 7, 0, 1.
        BlockCase{"Dxt5SixAlphas", D3DFMT_DXT5, {100, 200, 0x3E, 0x02, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
                  0x00FF0000, 0xFF0000FF, 0x64AA0055, 0xC85500AA}),
    [](const testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

// Compressing a picture and reading it back stays close to it (a block of
// colours along one line loses only the rounding of its palette), and a
// flat block comes back as the nearest 5:6:5 colour.
TEST(CompressedFormats, CompressionKeepsThePicture) {
    std::vector<uint32_t> picture(8 * 8);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            picture[y * 8 + x] = (x < 4 ? 0xFF000000u : (x * 30) << 24) | (x * 32) << 16 | (255 - x * 32) << 8 | 0x40;
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        const std::vector<uint32_t> back = RoundTrip(format, picture, 8, 8);
        for (size_t i = 0; i < picture.size(); ++i) {
            const bool cutOut = format == D3DFMT_DXT1 && (picture[i] >> 24) < 128;  // transparent black
            for (uint32_t shift : {16u, 8u, 0u}) {
                if (cutOut) continue;
                ASSERT_NEAR(static_cast<int>((back[i] >> shift) & 0xFF), static_cast<int>((picture[i] >> shift) & 0xFF), 12)
                    << std::hex << format << " texel " << std::dec << i;
            }
            const int alpha = static_cast<int>(picture[i] >> 24), got = static_cast<int>(back[i] >> 24);
            if (format == D3DFMT_DXT1) ASSERT_EQ(got, alpha >= 128 ? 255 : 0) << i;
            else ASSERT_NEAR(got, alpha, format == D3DFMT_DXT3 ? 8 : 16) << i;
        }
    }
    const std::vector<uint32_t> flat(16, 0x80336699u);
    EXPECT_EQ(RoundTrip(D3DFMT_DXT5, flat, 4, 4)[7], 0x8031659Cu);
    // DXT2 and DXT4 hold the colour multiplied by alpha (0x1A334D) and read it back so.
    EXPECT_EQ(RoundTrip(D3DFMT_DXT4, flat, 4, 4)[7], 0x8018344Au);
    EXPECT_EQ(RoundTrip(D3DFMT_DXT2, flat, 4, 4)[7], 0x8818344Au);
    // A picture smaller than a block repeats its edge into the block.
    EXPECT_EQ(RoundTrip(D3DFMT_DXT1, {0xFFFF0000u, 0xFF0000FFu}, 2, 1), (std::vector<uint32_t>{0xFFFF0000u, 0xFF0000FFu}));
    std::vector<uint32_t> out(16);
    EXPECT_FALSE(Graphics_ConvertToArgb(0x12345678, reinterpret_cast<const uint8_t*>(flat.data()), 16, 4, 4, out.data()));
}

struct CompressionCase {
    D3DFORMAT format;
    bool compressed;
};
class CompressedTextures : public DeviceTest, public testing::WithParamInterface<CompressionCase> {
protected:
    void TearDown() override { device()->SetTextureCompression(true); }
};

// Blocks drawn from GL's compressed texture and from the expanded texels
// give the pixels the decoder gives.
TEST_P(CompressedTextures, DrawAsTheyDecode) {
    const CompressionCase& c = GetParam();
    if (c.compressed && !device()->IsTextureCompressionAvailable()) GTEST_SKIP() << "no S3TC in this GL";
    device()->SetTextureCompression(c.compressed);
    std::vector<uint32_t> picture(8 * 8);
    for (uint32_t i = 0; i < picture.size(); ++i) picture[i] = 0xFF000000u | (i * 4) << 16 | (255 - i * 4) << 8 | (i & 7) * 32;
    PlatformTexture* texture = MakeTexture(device(), c.format, 8, 8, picture);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->compressed, c.compressed);
    std::vector<uint8_t> blocks(texture->levels[0].bits);
    std::vector<uint32_t> decoded(picture.size());
    Graphics_ConvertToArgb(c.format, blocks.data(), texture->levels[0].pitch, 8, 8, decoded.data());
    device()->SetTexture(0, texture);
    texture->Release();
    device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DrawScreenQuad(0, 0, 32, 32, 0.5f, 0xFFFFFFFF);  // 4 x 4 pixels per texel
    device()->SetTexture(0, nullptr);
    // Interpolated palette entries may round either way in GL's decoder.
    const std::vector<uint32_t> pixels = Pixels();
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            for (uint32_t shift : {16u, 8u, 0u})
                ASSERT_NEAR(static_cast<int>((pixels[(y * 4 + 2) * kWidth + x * 4 + 2] >> shift) & 0xFF),
                            static_cast<int>((decoded[y * 8 + x] >> shift) & 0xFF), 1)
                    << x << "," << y;
}
INSTANTIATE_TEST_SUITE_P(Paths, CompressedTextures,
                         testing::Values(CompressionCase{D3DFMT_DXT1, true}, CompressionCase{D3DFMT_DXT1, false},
                                         CompressionCase{D3DFMT_DXT3, true}, CompressionCase{D3DFMT_DXT2, false},
                                         CompressionCase{D3DFMT_DXT5, true}, CompressionCase{D3DFMT_DXT4, false}));

TEST_F(DeviceTest, CompressedLevelsLockInBlocks) {
    PlatformTexture* texture = nullptr;
    ASSERT_EQ(device()->CreateTexture(16, 8, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 5u);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, static_cast<D3DFORMAT>(D3DFMT_DXT1));
    EXPECT_EQ(desc.Size, 64u);  // 4 x 2 blocks of 8 bytes
    texture->GetLevelDesc(4, &desc);
    EXPECT_EQ(desc.Size, 8u) << "a 1x1 level still takes one block";
    D3DLOCKED_RECT whole{}, part{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_EQ(whole.Pitch, 32);
    texture->UnlockRect(0);
    RECT block{4, 4, 12, 8};
    ASSERT_EQ(texture->LockRect(0, &part, &block, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part.pBits) - static_cast<uint8_t*>(whole.pBits), 32 + 8);
    texture->UnlockRect(0);
    RECT unaligned{2, 0, 8, 4};
    EXPECT_EQ(texture->LockRect(0, &part, &unaligned, 0), D3DERR_INVALIDCALL);
    texture->Release();
}

// A lock sends GL what it covers and no more: after the level's first
// upload (whole, so no texel of it is left undefined) a lock of part of it
// uploads that part, and a texel of the CPU copy changed outside any lock
// stays as GL had it.
TEST_F(DeviceTest, ALockUploadsOnlyItsRectangle) {
    constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;
    struct Case {
        bool filledFirst;  // the whole level was written and sent before the partial lock
        uint32_t rest;     // what the texels outside the rectangle show
    };
    for (const Case& c : {Case{true, kRed}, Case{false, 0u}}) {
        SCOPED_TRACE(c.filledFirst);
        PlatformTexture* texture = nullptr;
        if (c.filledFirst) {
            texture = MakeTexture(device(), D3DFMT_A8R8G8B8, 4, 4, std::vector<uint32_t>(16, kRed));
        } else {
            ASSERT_EQ(device()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
        }
        ASSERT_NE(texture, nullptr);
        if (c.filledFirst) reinterpret_cast<uint32_t*>(texture->levels[0].bits.data())[0] = kGreen;
        const RECT part{2, 1, 4, 3};
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, &part, 0), D3D_OK);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] = kBlue;
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

        device()->SetTexture(0, texture);
        texture->Release();
        device()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device()->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
        DrawScreenQuad(0, 0, 4, 4, 0.5f, 0xFFFFFFFF);
        device()->SetTexture(0, nullptr);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                const bool inside = x >= 2 && y >= 1 && y < 3;
                EXPECT_EQ(Pixel(x, y) & 0xFFFFFFu, (inside ? kBlue : c.rest) & 0xFFFFFFu) << x << "," << y;
            }
        }
    }
}

// A full chain filled from its top level: each level is the box filter of
// the one above, and minification samples it.
TEST_F(DeviceTest, FilteredMipLevelsAreSampledAtADistance) {
    // Quadrants: red and green checks, green, blue and white.
    std::vector<uint32_t> top(4 * 4);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            top[y * 4 + x] = y < 2 ? (x < 2 ? ((x + y) & 1 ? 0xFF00FF00u : 0xFFFF0000u) : 0xFF00FF00u)
                                   : (x < 2 ? 0xFF0000FFu : 0xFFFFFFFFu);
    PlatformTexture* texture = MakeTexture(device(), D3DFMT_A8R8G8B8, 4, 4, top, 0);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    ASSERT_EQ(texture->FilterLevels(0), D3D_OK);
    auto texel = [&](uint32_t level, uint32_t index) {
        uint32_t v = 0;
        std::memcpy(&v, texture->levels[level].bits.data() + index * 4, 4);
        return v;
    };
    // Means rounded: (255 + 255 + 0 + 0 + 2) / 4 = 128, and so on.
    EXPECT_EQ(texel(1, 0), 0xFF808000u);
    EXPECT_EQ(texel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(texel(1, 3), 0xFFFFFFFFu);
    EXPECT_EQ(texel(2, 0), 0xFF60A080u);
    EXPECT_EQ(texture->FilterLevels(3), D3DERR_INVALIDCALL);

    device()->SetTexture(0, texture);
    texture->Release();
    device()->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    DrawScreenQuad(0, 0, 4, 4, 0.5f, 0xFFFFFFFF);     // level 0
    DrawScreenQuad(10, 0, 12, 2, 0.5f, 0xFFFFFFFF);   // level 1
    DrawScreenQuad(20, 0, 21, 1, 0.5f, 0xFFFFFFFF);   // level 2
    device()->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 1);
    DrawScreenQuad(30, 0, 34, 4, 0.5f, 0xFFFFFFFF);   // level 0 wanted, level 1 the finest allowed
    device()->SetTexture(0, nullptr);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(10, 0), 0xFF808000u);
    EXPECT_EQ(Pixel(10, 1), 0xFF0000FFu);
    EXPECT_EQ(Pixel(20, 0), 0xFF60A080u);
    EXPECT_EQ(Pixel(30, 0), 0xFF808000u);
    EXPECT_EQ(Pixel(31, 0), 0xFF808000u);
}

TEST_F(DeviceTest, FilteringKeepsTheStoredFormOfEachFormat) {
    // DXT4 keeps premultiplied texels: filtering them must not multiply twice.
    const std::vector<uint32_t> top(8 * 8, 0x80FF8000u);
    PlatformTexture* texture = MakeTexture(device(), D3DFMT_DXT4, 8, 8, top, 0);
    ASSERT_EQ(texture->FilterLevels(0), D3D_OK);
    uint32_t level0[16], level3[16];
    Graphics_ConvertToArgb(D3DFMT_DXT4, texture->levels[0].bits.data(), 16, 4, 4, level0);
    Graphics_ConvertToArgb(D3DFMT_DXT4, texture->levels[3].bits.data(), 16, 1, 1, level3);
    EXPECT_EQ(level3[0], level0[0]);
    texture->Release();
    // 16-bit texels filter within their precision.
    const std::vector<uint32_t> stripes = {0xFFFF0000u, 0xFF000000u, 0xFFFF0000u, 0xFF000000u};
    texture = MakeTexture(device(), D3DFMT_R5G6B5, 2, 2, stripes, 0);
    ASSERT_EQ(texture->FilterLevels(0), D3D_OK);
    uint16_t v = 0;
    std::memcpy(&v, texture->levels[1].bits.data(), 2);
    EXPECT_EQ(v, 16u << 11) << "half red";
    texture->Release();
}

struct AddressCase {
    uint32_t mode;
    uint32_t texels[4];  // the colours across four pixels covering u from -1 to 3 in steps of 1
};
class AddressModes : public DeviceTest, public testing::WithParamInterface<AddressCase> {};

// A 2x1 texture (red, green) drawn with u from -1 to 3: each pixel samples
// at u = -0.75, 0.25 ... 2.25 (after rounding to texel centres).
TEST_P(AddressModes, ReachOutsideTheTexture) {
    PlatformTexture* texture = MakeTexture(device(), D3DFMT_X8R8G8B8, 2, 1, {0xFFFF0000u, 0xFF00FF00u});
    device()->SetTexture(0, texture);
    texture->Release();
    device()->SetTextureStageState(0, D3DTSS_ADDRESSU, GetParam().mode);
    device()->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xFF0000FF);
    // Eight pixels wide: each texel of u covers one pixel pair.
    const ScreenVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, -1, 0},
                                  {8, 0, 0.5f, 1, 0xFFFFFFFF, 3, 0},
                                  {0, 1, 0.5f, 1, 0xFFFFFFFF, -1, 1},
                                  {8, 1, 0.5f, 1, 0xFFFFFFFF, 3, 1}};
    device()->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
    device()->SetTexture(0, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Pixel(2 * i + 1, 0), GetParam().texels[i]) << "pixel pair " << i;
}
constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;
INSTANTIATE_TEST_SUITE_P(Modes, AddressModes,
                         testing::Values(AddressCase{D3DTADDRESS_WRAP, {kGreen, kGreen, kGreen, kGreen}},
                                         AddressCase{D3DTADDRESS_MIRROR, {kRed, kGreen, kRed, kGreen}},
                                         AddressCase{D3DTADDRESS_CLAMP, {kRed, kGreen, kGreen, kGreen}},
                                         AddressCase{D3DTADDRESS_BORDER, {kBlue, kGreen, kBlue, kBlue}}));

// A decoder thread writes frames into a texture while the device's thread
// draws: the upload waits for the device's thread, and a draw while the
// writer holds the texture shows the last complete frame.
TEST_F(DeviceTest, TexturesWrittenByAnotherThreadReachTheNextDraw) {
    PlatformTexture* texture = MakeTexture(device(), D3DFMT_X8R8G8B8, 2, 2, std::vector<uint32_t>(4, 0xFF202020u));
    device()->SetTexture(0, texture);
    auto writeFrame = [&](uint32_t argb) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &argb, 4);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    };
    std::thread first(writeFrame, 0xFF00FF00u);
    first.join();
    EXPECT_TRUE(texture->HasPendingUpload()) << "no GL call on the writer's thread";
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(4, 4), 0xFF00FF00u);
    EXPECT_FALSE(texture->HasPendingUpload());

    // The writer holds the texture locked across the draw.
    std::mutex m;
    std::condition_variable cv;
    int step = 0;
    std::thread second([&] {
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        const uint32_t red = 0xFFFF0000u;
        std::memcpy(locked.pBits, &red, 4);
        std::unique_lock<std::mutex> hold(m);
        step = 1;
        cv.notify_all();
        cv.wait(hold, [&] { return step == 2; });
        texture->UnlockRect(0);
    });
    {
        std::unique_lock<std::mutex> hold(m);
        cv.wait(hold, [&] { return step == 1; });
    }
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u) << "the draw does not wait for the writer";
    {
        std::lock_guard<std::mutex> hold(m);
        step = 2;
    }
    cv.notify_all();
    second.join();
    // Uploads left by the writer also go at the start of a scene, bound or not.
    device()->SetTexture(0, nullptr);
    ASSERT_EQ(device()->BeginScene(), D3D_OK);
    EXPECT_FALSE(texture->HasPendingUpload());
    device()->EndScene();
    device()->SetTexture(0, texture);
    DrawScreenQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(Pixel(7, 7), 0xFF00FF00u);
    device()->SetTexture(0, nullptr);
    // The last reference may go on another thread too; GL lets go at the next scene.
    std::thread([texture] { texture->Release(); }).join();
    device()->BeginScene();
    device()->EndScene();
}

}  // namespace
