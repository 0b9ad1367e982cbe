#pragma once
// The launcher's pictures: uncompressed BMP files of 8 or 24 bits read
// into memory, copied into one another row by row, and drawn 1:1. Loaded
// pictures keep their rows top first; a picture made with CreateFrom (the
// menu's offscreen composition) keeps the file order, bottom row first, and
// is what Draw shows.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class PlatformCanvas;

// The 40-byte information header of a BMP file.
struct BitmapInfoHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    uint32_t colorsImportant = 0;
};

class CQVBitmap {
public:
    // Reads a BMP file (a name as the launcher's files write it). False for
    // a file that is not a BMP of 8 or 24 bits without compression, whose
    // sizes or palette count are out of range, or that is shorter than they say.
    bool LoadFromFile(const std::string& path);
    // The same from an open stream of the file's bytes, read from its start.
    bool LoadFromStream(std::FILE* file);
    // A black 24-bit picture of the other's size; false when the other has no header.
    bool CreateFrom(const CQVBitmap* other);
    // Copies this picture's rows into target (a 24-bit picture) with its
    // top-left at (x, y) counted from the target's top: memory row r goes to
    // the target's memory row (target height - y - 1 - r). Clipped to the
    // target; 8-bit pixels are turned into colours through the palette.
    void DrawTo(CQVBitmap* target, int x, int y) const;
    // Draws the picture 1:1, its rows taken in file order, with its top-left
    // at (x, y); false when there is nothing to draw.
    bool Draw(PlatformCanvas* canvas, int x, int y) const;

    bool HasInfo() const { return m_HasInfo; }
    bool HasBits() const { return !m_Bits.empty(); }
    const BitmapInfoHeader& GetInfo() const { return m_Info; }
    int GetWidth() const { return m_Info.width; }
    int GetHeight() const { return m_Info.height; }
    size_t GetStride() const { return m_Stride; }
    uint32_t GetPaletteEntries() const { return m_PaletteEntries; }
    const uint32_t* GetPalette() const { return m_Palette.data(); }
    // The bytes of one memory row.
    const uint8_t* GetRow(int row) const { return m_Bits.data() + static_cast<size_t>(row) * m_Stride; }

private:
    bool SetInfo(const BitmapInfoHeader& header);
    bool AllocBits();

    bool m_HasInfo = false;
    BitmapInfoHeader m_Info;
    std::vector<uint32_t> m_Palette;  // room for m_PaletteEntries entries, 0x00RRGGBB as the file holds them
    std::vector<uint8_t> m_Bits;
    size_t m_Stride = 0;
    uint32_t m_PaletteEntries = 0;
};
