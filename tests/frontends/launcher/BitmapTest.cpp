#include "frontends/launcher/Bitmap.h"
#include "tests/frontends/FrontendTest.h"
#include "tools/content/ImageWriter.h"

#include <functional>

namespace {

// A picture of width x height whose pixel (x, y) is colour x * 0x10000 + y, top row first.
std::vector<uint32_t> Ramp(uint32_t width, uint32_t height) {
    std::vector<uint32_t> pixels(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) pixels[size_t{y} * width + x] = 0xFF000000u | x << 16 | y;
    }
    return pixels;
}

std::vector<uint8_t> Bmp(const std::vector<uint32_t>& pixels, uint32_t width, uint32_t height, uint32_t bits) {
    BmpWriteOptions options;
    options.bits = bits;
    return ImageWriter_Bmp(pixels.data(), width, height, options);
}

// The colour at (x, y) counted from the top of a picture whose memory rows
// are bottom first (the offscreen composition).
uint32_t ComposedAt(const CQVBitmap& picture, int x, int y) {
    const uint8_t* p = picture.GetRow(picture.GetHeight() - 1 - y) + x * 3;
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

class Bitmap : public FrontendTest {
protected:
    void Save(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteText(root / name, std::string(bytes.begin(), bytes.end()));
    }
    // A 640 x 480 composition picture, black.
    void MakeTarget(CQVBitmap* target) {
        Save("target.bmp", Bmp(std::vector<uint32_t>(640 * 480, 0xFF000000u), 640, 480, 24));
        CQVBitmap background;
        ASSERT_TRUE(background.LoadFromFile("target.bmp"));
        ASSERT_TRUE(target->CreateFrom(&background));
    }
};

class BitmapDepths : public Bitmap, public testing::WithParamInterface<uint32_t> {};

TEST_P(BitmapDepths, OnlyEightAndTwentyFourBitsAreRead) {
    const uint32_t bits = GetParam();
    std::vector<uint32_t> pixels(16 * 8, 0xFF102030u);
    pixels[0] = 0xFFFFFFFFu;
    Save("depth.bmp", Bmp(pixels, 16, 8, bits));
    CQVBitmap picture;
    EXPECT_EQ(picture.LoadFromFile("depth.bmp"), bits == 8 || bits == 24);
}

INSTANTIATE_TEST_SUITE_P(Bits, BitmapDepths, testing::Values(1u, 4u, 8u, 16u, 24u, 32u));

TEST_F(Bitmap, APictureCopiedIntoTheMenuCoversItsRectangleUpright) {
    Save("ramp.bmp", Bmp(Ramp(100, 50), 100, 50, 24));
    CQVBitmap picture, target;
    ASSERT_TRUE(picture.LoadFromFile("ramp.bmp"));
    EXPECT_EQ(picture.GetStride(), 300u);
    MakeTarget(&target);
    picture.DrawTo(&target, 10, 20);
    EXPECT_EQ(ComposedAt(target, 10, 20), 0x000000u);
    EXPECT_EQ(ComposedAt(target, 109, 20), 0x630000u);
    EXPECT_EQ(ComposedAt(target, 10, 69), 0x000031u);
    EXPECT_EQ(ComposedAt(target, 60, 45), 0x320019u);
    // Just outside the rectangle the target is untouched (black).
    for (auto [x, y] : {std::pair{9, 20}, {110, 20}, {10, 19}, {10, 70}}) EXPECT_EQ(ComposedAt(target, x, y), 0u);
}

// Pictures that lie partly outside the menu are cut at its edges.
TEST_F(Bitmap, APicturePartlyOutsideIsClipped) {
    Save("ramp.bmp", Bmp(Ramp(100, 50), 100, 50, 24));
    CQVBitmap picture, target;
    ASSERT_TRUE(picture.LoadFromFile("ramp.bmp"));
    MakeTarget(&target);
    picture.DrawTo(&target, -30, -10);
    EXPECT_EQ(ComposedAt(target, 0, 0), 0x1E000Au);
    picture.DrawTo(&target, 600, 460);
    EXPECT_EQ(ComposedAt(target, 639, 479), 0x270013u);
    picture.DrawTo(&target, 5000, -5000);
    picture.DrawTo(nullptr, 0, 0);
    EXPECT_EQ(ComposedAt(target, 320, 240), 0u);
}

// Pictures of 8 bits are copied in the colours of their palette, and the
// composition picture is 24 bits whatever the background's depth.
TEST_F(Bitmap, EightBitPicturesAreCopiedThroughTheirPalette) {
    std::vector<uint32_t> pixels(8 * 4, 0xFF0000FFu);
    pixels[0] = 0xFF00FF00u;
    Save("eight.bmp", Bmp(pixels, 8, 4, 8));
    CQVBitmap picture, composed;
    ASSERT_TRUE(picture.LoadFromFile("eight.bmp"));
    ASSERT_TRUE(composed.CreateFrom(&picture));
    EXPECT_EQ(composed.GetInfo().bitCount, 24);
    EXPECT_EQ(composed.GetWidth(), 8);
    picture.DrawTo(&composed, 0, 0);
    EXPECT_EQ(ComposedAt(composed, 0, 0), 0x00FF00u);
    EXPECT_EQ(ComposedAt(composed, 7, 3), 0x0000FFu);
}

TEST_F(Bitmap, AHeaderWithoutColourCountGetsRoomForAFullPalette) {
    std::vector<uint8_t> bytes = Bmp(Ramp(4, 2), 4, 2, 24);
    CQVBitmap picture;
    Save("ramp.bmp", bytes);
    ASSERT_TRUE(picture.LoadFromFile("ramp.bmp"));
    EXPECT_EQ(picture.GetPaletteEntries(), 256u);
    CQVBitmap nothing, copy;
    EXPECT_FALSE(copy.CreateFrom(&nothing));
    EXPECT_FALSE(copy.CreateFrom(nullptr));
}

TEST_F(Bitmap, BrokenFilesAreRefused) {
    const std::vector<uint8_t> good24 = Bmp(Ramp(16, 8), 16, 8, 24);
    std::vector<uint32_t> few(16 * 8, 0xFF000000u);
    few[1] = 0xFFFFFFFFu;
    const std::vector<uint8_t> good8 = Bmp(few, 16, 8, 8);
    auto put32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    const std::vector<std::tuple<const char*, const std::vector<uint8_t>*, std::function<void(std::vector<uint8_t>&)>>>
        damages = {
            {"empty", &good24, [](std::vector<uint8_t>& f) { f.clear(); }},
            {"not BM", &good24, [](std::vector<uint8_t>& f) { f[0] = 'X'; }},
            {"file header cut", &good24, [](std::vector<uint8_t>& f) { f.resize(10); }},
            {"info header cut", &good24, [](std::vector<uint8_t>& f) { f.resize(40); }},
            {"larger header", &good24, [&](std::vector<uint8_t>& f) { put32(f, 14, 108); }},
            {"zero width", &good24, [&](std::vector<uint8_t>& f) { put32(f, 18, 0); }},
            {"negative width", &good24, [&](std::vector<uint8_t>& f) { put32(f, 18, 0xFFFFFFF0u); }},
            {"top-down", &good24, [&](std::vector<uint8_t>& f) { put32(f, 22, 0xFFFFFFF8u); }},
            {"huge size", &good24, [&](std::vector<uint8_t>& f) { put32(f, 18, 16000); put32(f, 22, 16000); }},
            {"past the side limit", &good24, [&](std::vector<uint8_t>& f) { put32(f, 18, 100000); }},
            {"compressed", &good8, [&](std::vector<uint8_t>& f) { put32(f, 30, 1); }},
            {"palette too large", &good8, [&](std::vector<uint8_t>& f) { put32(f, 46, 300); }},
            {"palette cut", &good8, [](std::vector<uint8_t>& f) { f.resize(54 + 500); }},
            {"rows cut", &good24, [](std::vector<uint8_t>& f) { f.pop_back(); }},
        };
    for (const auto& [name, source, damage] : damages) {
        std::vector<uint8_t> file = *source;
        damage(file);
        Save("broken.bmp", file);
        CQVBitmap picture;
        EXPECT_FALSE(picture.LoadFromFile("broken.bmp")) << name;
        EXPECT_FALSE(picture.HasBits()) << name;
    }
    CQVBitmap missing;
    EXPECT_FALSE(missing.LoadFromFile("missing.bmp"));
}

// Names as the launcher's files write them find the file whatever its case.
TEST_F(Bitmap, NamesUseBackslashesAndAnyCase) {
    std::filesystem::create_directories(root / "ShellMedia");
    Save("ShellMedia/Menu.BMP", Bmp(Ramp(4, 2), 4, 2, 24));
    CQVBitmap picture;
    EXPECT_TRUE(picture.LoadFromFile("shellmedia\\menu.bmp"));
}

}  // namespace
