#include "platform/font/FontFace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct FaceCase {
    const char* asked;
    bool bold;
    bool italic;
    const char* family;
    bool fallback;
    const char* file;  // under /usr/share/fonts/truetype/
};

class FaceNames : public testing::TestWithParam<FaceCase> {};

// The faces the content names come from the project's own font files, by
// path, whatever else the machine has installed or configured: a style
// without a file of its own (DejaVu's italics) is made from the upright one.
TEST_P(FaceNames, ResolveToTheProjectsFontFiles) {
    const FaceCase& c = GetParam();
    PlatformFaceMatch match;
    ASSERT_TRUE(PlatformFont_ResolveFace(c.asked, c.bold, c.italic, &match));
    EXPECT_EQ(match.family, c.family);
    EXPECT_EQ(match.fallback, c.fallback);
    EXPECT_EQ(match.file, std::string("/usr/share/fonts/truetype/") + c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FaceNames,
    testing::Values(FaceCase{"Lucida Console", false, false, "DejaVu Sans Mono", false, "dejavu/DejaVuSansMono.ttf"},
                    FaceCase{"lucida console", true, false, "DejaVu Sans Mono", false,
                             "dejavu/DejaVuSansMono-Bold.ttf"},
                    FaceCase{"Lucida Console", false, true, "DejaVu Sans Mono", false, "dejavu/DejaVuSansMono.ttf"},
                    FaceCase{"Lucida Console", true, true, "DejaVu Sans Mono", false,
                             "dejavu/DejaVuSansMono-Bold.ttf"},
                    FaceCase{"Arial", false, false, "Liberation Sans", false, "liberation/LiberationSans-Regular.ttf"},
                    FaceCase{"Arial", false, true, "Liberation Sans", false, "liberation/LiberationSans-Italic.ttf"},
                    FaceCase{"Times New Roman", true, false, "Liberation Serif", false,
                             "liberation/LiberationSerif-Bold.ttf"},
                    FaceCase{"Courier New", false, false, "Liberation Mono", false,
                             "liberation/LiberationMono-Regular.ttf"},
                    FaceCase{"Arial Narrow", true, true, "Liberation Sans Narrow", false,
                             "liberation/LiberationSansNarrow-BoldItalic.ttf"},
                    // Free faces are found by their own names.
                    FaceCase{"DejaVu Serif", false, true, "DejaVu Serif", false, "dejavu/DejaVuSerif.ttf"},
                    // Unknown or empty names never leave the game without a face.
                    FaceCase{"No Such Face At All", false, false, "DejaVu Sans Mono", true,
                             "dejavu/DejaVuSansMono.ttf"},
                    FaceCase{"", false, false, "DejaVu Sans Mono", true, "dejavu/DejaVuSansMono.ttf"}));

std::unique_ptr<PlatformFont> MakeFont(const char* face, int height, bool bold = false, bool antialiased = false) {
    PlatformFontDesc desc;
    desc.faceName = face;
    desc.pixelHeight = height;
    desc.bold = bold;
    desc.antialiased = antialiased;
    std::string error;
    auto font = PlatformFont::Create(desc, &error);
    EXPECT_NE(font, nullptr) << error;
    return font;
}

// Ink of one character drawn alone at (x, y) on a black image.
struct Drawn {
    std::vector<uint32_t> pixels;
    int width, height;
    int inked = 0;
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    bool onlyFullInk = true;
};

Drawn Draw(PlatformFont& font, uint8_t character, int x, int y, int width, int height) {
    Drawn d{std::vector<uint32_t>(static_cast<size_t>(width) * height, 0xAB000000u), width, height};
    EXPECT_TRUE(font.DrawCharacter(character, x, y, d.pixels.data(), width, height, width));
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const uint32_t p = d.pixels[static_cast<size_t>(py) * width + px];
            EXPECT_EQ(p >> 24, 0xABu) << "the alpha byte is left alone";
            const uint32_t blue = p & 0xFF;
            if (blue == 0) continue;
            EXPECT_EQ(p & 0xFFFFFF, blue * 0x010101u) << "ink is white";
            ++d.inked;
            if (blue != 255) d.onlyFullInk = false;
            d.left = std::min(d.left, px);
            d.right = std::max(d.right, px);
            d.top = std::min(d.top, py);
            d.bottom = std::max(d.bottom, py);
        }
    }
    return d;
}

TEST(PlatformFont, MonospacedDefaultFaceMetrics) {
    auto font = MakeFont("Lucida Console", 8);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetHeight(), font->GetAscent() + font->GetDescent());
    EXPECT_GE(font->GetHeight(), 8);
    EXPECT_LE(font->GetHeight(), 11);
    const int32_t advance = font->GetGlyphMetrics('M').advance;
    EXPECT_GT(advance, 0);
    for (int c = 0x20; c < 0x7F; ++c) {
        const PlatformGlyphMetrics& m = font->GetGlyphMetrics(static_cast<uint8_t>(c));
        EXPECT_EQ(m.advance, advance) << "character " << c;
        EXPECT_EQ(m.abcA + m.abcB + m.abcC, m.advance);
    }
    EXPECT_EQ(font->GetGlyphMetrics(' ').abcB, 0);
    EXPECT_GT(font->GetGlyphMetrics('W').abcB, 0);
}

TEST(PlatformFont, ProportionalFaceAndBoldWidths) {
    auto regular = MakeFont("Arial", 20);
    auto bold = MakeFont("Arial", 20, true);
    ASSERT_TRUE(regular && bold);
    EXPECT_LT(regular->GetGlyphMetrics('i').advance, regular->GetGlyphMetrics('W').advance);
    EXPECT_GE(bold->GetGlyphMetrics('W').advance, regular->GetGlyphMetrics('W').advance);
    EXPECT_GT(Draw(*bold, 'l', 2, 2, 32, 32).inked, Draw(*regular, 'l', 2, 2, 32, 32).inked);
}

TEST(PlatformFont, GlyphsDrawInsideTheirCell) {
    auto font = MakeFont("Lucida Console", 12);
    ASSERT_NE(font, nullptr);
    // Windows-1252 bytes: letters, the high accented ones and the euro sign.
    for (uint8_t c : {uint8_t('A'), uint8_t('g'), uint8_t('_'), uint8_t(0xC5), uint8_t(0xDF), uint8_t(0x80)}) {
        const Drawn d = Draw(*font, c, 10, 5, 40, 30);
        ASSERT_GT(d.inked, 0) << int(c);
        const PlatformGlyphMetrics& m = font->GetGlyphMetrics(c);
        EXPECT_GE(d.left, 10 + m.abcA) << int(c);
        EXPECT_LT(d.right, 10 + m.abcA + m.abcB) << int(c);
        EXPECT_GE(d.top, 5) << int(c);
        EXPECT_LT(d.bottom, 5 + font->GetHeight()) << int(c);
        EXPECT_TRUE(d.onlyFullInk) << "below size 10 the ink is not smoothed";
    }
    EXPECT_EQ(Draw(*font, ' ', 10, 5, 40, 30).inked, 0);
}

TEST(PlatformFont, AntialiasedInkHasCoverageLevels) {
    auto font = MakeFont("Arial", 24, false, true);
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(Draw(*font, 'O', 2, 2, 40, 40).onlyFullInk);
}

TEST(PlatformFont, DrawingIsClippedToTheImage) {
    auto font = MakeFont("Lucida Console", 16);
    ASSERT_NE(font, nullptr);
    // Half of the glyph lies outside on each side; the run stays inside the buffer.
    for (auto [x, y] : {std::pair{-6, -8}, std::pair{4, 4}, std::pair{-40, 0}}) {
        const Drawn d = Draw(*font, 'W', x, y, 8, 8);
        EXPECT_LE(d.right, 7);
        EXPECT_LE(d.bottom, 7);
    }
}

TEST(PlatformFont, RefusesAHeightBelowOnePixel) {
    PlatformFontDesc desc;
    desc.faceName = "Arial";
    desc.pixelHeight = 0;
    std::string error;
    EXPECT_EQ(PlatformFont::Create(desc, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
