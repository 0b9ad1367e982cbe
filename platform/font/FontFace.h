#pragma once
// The font rasteriser's platform side: a face name and a pixel height (bold,
// italic, antialiased or not) give glyph metrics and glyph images, as the
// game's text code expects of a screen font: every cell is the font's height
// (ascent plus descent) tall, a glyph is drawn with its cell's top left at
// the pen, and the widths are whole pixels. Characters are Windows-1252
// bytes, as the game's texts are.
//
// A table maps the Windows face names the content uses to free faces with
// the same metrics, whose files (of the Debian font packages the project
// installs) are taken by their path, so text looks the same on every
// machine; other names, and free faces whose files are missing, are found
// through fontconfig. A face that cannot be found falls back to the
// monospaced default face, never to nothing. Rendering is FreeType's; a bold
// or italic style that the face lacks is made from the regular outlines.

#include <cstdint>
#include <memory>
#include <string>

// What the game asks for: a face name, the character height in pixels (the
// em size, as a negative font height asks for it) and the style.
struct PlatformFontDesc {
    std::string faceName;
    int32_t pixelHeight = 0;
    bool bold = false;
    bool italic = false;
    bool antialiased = false;  // false: every pixel is either ink or not
};

// The widths of one character, in whole pixels.
struct PlatformGlyphMetrics {
    int32_t advance = 0;  // how far the pen moves: the character's extent width
    int32_t abcA = 0;     // blank before the ink (may be negative)
    int32_t abcB = 0;     // width of the ink
    int32_t abcC = 0;     // blank after the ink; A + B + C = advance
};

// The face a name resolves to.
struct PlatformFaceMatch {
    std::string family;  // the family of the face found
    std::string file;
    int32_t index = 0;   // face within the file
    bool fallback = false;  // the name was not found: the default face stands in
};

// The monospaced face that stands in for faces that cannot be found.
extern const char* const kPlatformFallbackFace;

// Resolves a face name through the face-name table, the project's font
// files and fontconfig; false only when not even the fallback face exists.
bool PlatformFont_ResolveFace(const std::string& faceName, bool bold, bool italic, PlatformFaceMatch* match);

class PlatformFont {
public:
    // Null with the error text set when no face could be opened or the
    // height is not positive.
    static std::unique_ptr<PlatformFont> Create(const PlatformFontDesc& desc, std::string* error);
    ~PlatformFont();
    PlatformFont(const PlatformFont&) = delete;
    PlatformFont& operator=(const PlatformFont&) = delete;

    // Cell height: ascent plus descent.
    int32_t GetHeight() const { return m_Ascent + m_Descent; }
    int32_t GetAscent() const { return m_Ascent; }
    int32_t GetDescent() const { return m_Descent; }
    const PlatformFaceMatch& GetFace() const { return m_Face; }

    // Measured on first use; a character without a glyph measures 0.
    const PlatformGlyphMetrics& GetGlyphMetrics(uint8_t character);

    // Draws one character in white into a 32-bit top-down image (bytes B, G,
    // R, A; the alpha byte is left alone) with its cell's top left at (x, y),
    // clipped to the image. Ink covers what lies below it where it is
    // brighter. False when the glyph cannot be rendered.
    bool DrawCharacter(uint8_t character, int32_t x, int32_t y, uint32_t* pixels, int32_t width, int32_t height,
                       int32_t pitchPixels);

private:
    PlatformFont() = default;
    struct FaceHandle;

    std::unique_ptr<FaceHandle> m_Handle;
    PlatformFaceMatch m_Face;
    PlatformFontDesc m_Desc;
    int32_t m_Ascent = 0;
    int32_t m_Descent = 0;
    bool m_MakeBold = false;
    bool m_MakeItalic = false;
    PlatformGlyphMetrics m_Metrics[256];
};
