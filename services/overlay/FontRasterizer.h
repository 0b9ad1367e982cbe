#pragma once
// A font's glyph texture and text drawing. Every character of the font's set
// is rendered once into one A4R4G4B4 texture (white, the ink in the alpha),
// each in its own cell; drawing text is then a batch of textured
// pre-transformed quads, the device state switched by two state blocks: the
// draw block sets the text's states, the saved block brings the caller's
// back afterwards.
//
// A font item may instead carry its cells in the library file and name a
// texture item that holds the glyphs; the rasteriser then only attaches that
// texture.

#include "platform/Messages.h"
#include "platform/graphics/GraphicsDevice.h"

#include <cstdint>
#include <vector>

// Draw flags.
enum : uint32_t {
    FONT_CENTER = 0x02,           // each line centred on x
    FONT_RIGHT = 0x04,            // each line ends at x
    FONT_VCENTER = 0x10,          // the text block centred on y
    FONT_BOTTOM = 0x20,           // the text block ends at y
    FONT_BILINEAR = 0x80,         // bilinear filtering instead of point sampling
};

// Style bits of a font.
enum : uint32_t { FONT_BOLD = 1, FONT_ITALIC = 2 };

// One character's cell in the texture: texture coordinates of its corners.
struct FontGlyph {
    float u0, v0, u1, v1;
};

// The glyphs of the default set: the printable ASCII range and the Nordic
// and German letters of Windows-1252 (sharp s twice, so the later one is
// the one the map finds).
constexpr uint32_t FONT_DEFAULT_SET_SIZE = 109;
extern const uint8_t kFontDefaultSet[FONT_DEFAULT_SET_SIZE];

// Vertices of one batch of glyphs: six per glyph, drawn once more than 294
// are waiting (after 50 glyphs).
constexpr uint32_t FONT_BATCH_VERTICES = 300;

class FontRasterizer {
public:
    FontRasterizer() = default;
    ~FontRasterizer();
    FontRasterizer(const FontRasterizer&) = delete;
    FontRasterizer& operator=(const FontRasterizer&) = delete;

    char faceName[512] = {};
    uint32_t size = 0;   // point size
    uint32_t flags = 0;  // FONT_BOLD, FONT_ITALIC
    PlatformDevice* device = nullptr;
    PlatformTexture* texture = nullptr;  // referenced
    uint32_t textureWidth = 0, textureHeight = 0;
    // Below 1 when the glyphs had to be made smaller to fit the device's
    // largest texture; drawing scales them back up.
    float textScale = 1.0f;
    float spacing = 0.0f;  // blank pixels around each glyph in its cell
    uint32_t stateBlocksRecorded = 0;
    uint32_t characterCount = 0;
    uint8_t characterSet[256] = {};       // the characters with glyphs, in texture order
    std::vector<FontGlyph> glyphs;        // one per character of the set
    // Character code -> its glyph; codes outside the set find the first glyph.
    uint32_t characterMap[256] = {};
    uint32_t savedStateBlock = 0, drawStateBlock = 0;
};

// Renders the character set (null: the default set; at most 256
// characters) of the face at the point size into a new glyph texture and
// records the state blocks; what the rasteriser held before is released
// first. 1, or 0 (nothing held) when no face or texture could be made.
int FontRasterizer_Create(FontRasterizer* font, const char* faceName, uint32_t size, uint32_t flags,
                          PlatformDevice* device, const char* characterSet, HWND window, float spacing);
// Takes a texture that already holds the glyphs (its reference raised by
// the caller): its size from level 0, the map rebuilt from the character
// set and glyphs the rasteriser already holds. 0 for a null device or
// texture, or when the glyphs do not cover the set.
int FontRasterizer_AttachTexture(FontRasterizer* font, PlatformDevice* device, PlatformTexture* texture);
void FontRasterizer_Release(FontRasterizer* font);
// Before a device reset: the state blocks go; the next draw records them again.
void FontRasterizer_InvalidateStateBlocks(FontRasterizer* font);
// The text's size in whole pixels: the widest row and the rows' height.
// With stopAtLineEnd the measure ends at the first newline. E_FAIL for a
// null text or output.
HRESULT FontRasterizer_GetTextExtent(const FontRasterizer* font, const char* text, int32_t* width, int32_t* height,
                                     bool stopAtLineEnd);
// Draws at once: the text's top left at (x, y) (see the flags), in the
// colour (ARGB); depth 0 draws over everything, any other depth is the
// glyphs' z, depth-tested. E_FAIL without a device or texture.
HRESULT FontRasterizer_Draw(FontRasterizer* font, float x, float y, uint32_t color, const char* text, uint32_t flags,
                            float depth);

// Set while a recording runs: the vertex count of each draw call that text
// makes is appended.
extern std::vector<uint32_t>* g_FontBatchLog;
