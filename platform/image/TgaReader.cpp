// TGA files: true colour (15, 16, 24, 32 bits), grey (8 bits, or 16 with
// alpha) and colour-mapped (8 or 16-bit indices into a palette of 15 to 32
// bits), each stored plain or run-length encoded, bottom-up or top-down,
// left-to-right or mirrored.

#include "platform/image/ByteReader.h"
#include "platform/image/Image.h"
#include "platform/image/ImageRows.h"
#include "platform/image/PixelFormat.h"

#include <algorithm>

namespace {

enum TgaKind { TGA_MAPPED, TGA_TRUE, TGA_GREY };

struct TgaType {
    uint8_t code;
    TgaKind kind;
    bool rle;
};

const TgaType kTgaTypes[] = {
    {1, TGA_MAPPED, false}, {2, TGA_TRUE, false}, {3, TGA_GREY, false},
    {9, TGA_MAPPED, true},  {10, TGA_TRUE, true}, {11, TGA_GREY, true},
};

// The pixel layout of a stored value by kind and bit depth; 16-bit colour
// uses its top bit as alpha only when the descriptor claims alpha bits.
struct TgaLayout {
    TgaKind kind;
    uint8_t bits;
    D3DFORMAT format;
    D3DFORMAT formatWithAlphaBits;
};

const TgaLayout kTgaLayouts[] = {
    {TGA_TRUE, 15, D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5}, {TGA_TRUE, 16, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
    {TGA_TRUE, 24, D3DFMT_R8G8B8, D3DFMT_R8G8B8},     {TGA_TRUE, 32, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8},
    {TGA_GREY, 8, D3DFMT_L8, D3DFMT_L8},             {TGA_GREY, 16, D3DFMT_A8L8, D3DFMT_A8L8},
};

const PixelFormatDesc* LayoutFor(TgaKind kind, uint32_t bits, bool alphaBits) {
    for (const TgaLayout& layout : kTgaLayouts)
        if (layout.kind == kind && layout.bits == bits)
            return PixelFormat_Find(alphaBits ? layout.formatWithAlphaBits : layout.format);
    return nullptr;
}

uint32_t ReadValue(const uint8_t* p, uint32_t bytes) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

// The stored values of the pixels in file order, one row at a time, with
// run-length packets expanded (a packet may run on into the next row).
class TgaValues {
public:
    TgaValues(ByteReader& in, bool rle, uint32_t bytesPerValue) : m_In(in), m_Rle(rle), m_Bytes(bytesPerValue) {}

    // Checks that the file can hold count values at all: a packet of
    // 1 + bytesPerValue bytes covers at most 128 pixels.
    bool Enough(uint64_t count) const {
        if (!m_Rle) return count * m_Bytes <= m_In.Remaining();
        return count <= static_cast<uint64_t>(m_In.Remaining()) / (1 + m_Bytes) * 128;
    }
    bool ReadRow(uint32_t* values, uint32_t count, std::string* error) {
        if (!m_Rle) {
            const uint8_t* bytes = m_In.Take(size_t{count} * m_Bytes);
            if (bytes == nullptr) return Fail(error, "TGA pixel data truncated");
            for (uint32_t i = 0; i < count; ++i) values[i] = ReadValue(bytes + size_t{i} * m_Bytes, m_Bytes);
            return true;
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (m_Left == 0) {
                const uint8_t header = m_In.U8();
                m_Left = (header & 0x7Fu) + 1u;
                m_Repeat = (header & 0x80) != 0;
                if (m_Repeat) {
                    const uint8_t* bytes = m_In.Take(m_Bytes);
                    if (bytes == nullptr) return Fail(error, "TGA pixel data truncated");
                    m_Value = ReadValue(bytes, m_Bytes);
                }
                if (m_In.Failed()) return Fail(error, "TGA pixel data truncated");
            }
            if (!m_Repeat) {
                const uint8_t* bytes = m_In.Take(m_Bytes);
                if (bytes == nullptr) return Fail(error, "TGA pixel data truncated");
                m_Value = ReadValue(bytes, m_Bytes);
            }
            values[i] = m_Value;
            --m_Left;
        }
        return true;
    }

private:
    ByteReader& m_In;
    bool m_Rle;
    uint32_t m_Bytes;
    uint32_t m_Left = 0;  // pixels left in the current packet
    bool m_Repeat = false;
    uint32_t m_Value = 0;
};

}  // namespace

bool Image_DecodeTga(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need) {
    ByteReader in(data, size);
    const uint8_t idLength = in.U8();
    const uint8_t mapType = in.U8();
    const uint8_t typeCode = in.U8();
    const uint16_t mapFirst = in.U16();
    const uint16_t mapLength = in.U16();
    const uint8_t mapBits = in.U8();
    in.Skip(4);  // origin
    const uint32_t width = in.U16();
    const uint32_t height = in.U16();
    const uint8_t bits = in.U8();
    const uint8_t descriptor = in.U8();
    if (in.Failed()) return Fail(error, "TGA header truncated");

    const TgaType* type = nullptr;
    for (const TgaType& t : kTgaTypes)
        if (t.code == typeCode) type = &t;
    if (type == nullptr || mapType > 1) return Fail(error, "not a TGA file or an unsupported TGA type");
    if (!Image_SizeAllowed(width, height)) return Fail(error, "TGA size out of range");
    const bool alphaBits = (descriptor & 0x0F) != 0;
    if (!in.Skip(idLength)) return Fail(error, "TGA header truncated");

    // The palette: kept for colour-mapped images, skipped otherwise.
    std::vector<uint32_t> palette;
    bool paletteAlpha = false;
    if (mapType == 1) {
        const PixelFormatDesc* entry = LayoutFor(TGA_TRUE, mapBits, alphaBits);
        if (entry == nullptr) return Fail(error, "unsupported TGA palette entry size");
        const uint32_t entryBytes = (mapBits + 7u) / 8u;
        const uint8_t* bytes = in.Take(static_cast<size_t>(mapLength) * entryBytes);
        if (bytes == nullptr) return Fail(error, "TGA palette truncated");
        for (uint32_t i = 0; i < mapLength; ++i) {
            palette.push_back(PixelFormat_ToArgb(*entry, ReadValue(bytes + i * entryBytes, entryBytes)));
            paletteAlpha = paletteAlpha || (palette.back() >> 24) != 255;
        }
    }

    const PixelFormatDesc* layout = nullptr;
    if (type->kind == TGA_MAPPED) {
        if (mapType != 1 || (bits != 8 && bits != 16)) return Fail(error, "unsupported TGA colour-mapped layout");
    } else {
        layout = LayoutFor(type->kind, bits, alphaBits);
        if (layout == nullptr) return Fail(error, "unsupported TGA pixel depth");
    }

    TgaValues values(in, type->rle, (bits + 7u) / 8u);
    if (!values.Enough(static_cast<uint64_t>(width) * height)) return Fail(error, "TGA pixel data truncated");

    ImageLevel level;
    ImageRows rows(width, height, need, &level);
    std::vector<uint32_t> stored(width);
    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    for (uint32_t row = 0; row < height; ++row) {
        if (!values.ReadRow(stored.data(), width, error)) return false;
        const uint32_t y = topDown ? row : height - 1 - row;
        uint32_t* out = rows.Row(y);
        for (uint32_t column = 0; column < width; ++column) {
            const uint32_t x = rightToLeft ? width - 1 - column : column;
            const uint32_t value = stored[column];
            uint32_t argb;
            if (layout != nullptr) {
                argb = PixelFormat_ToArgb(*layout, value);
            } else {
                if (value < mapFirst || value - mapFirst >= palette.size())
                    return Fail(error, "TGA palette index out of range");
                argb = palette[value - mapFirst];
            }
            out[x] = argb;
        }
        rows.Done(y);
    }
    rows.Finish();

    image->info.Width = width;
    image->info.Height = height;
    image->info.Format = layout != nullptr ? layout->format : D3DFMT_P8;
    image->info.ImageFileFormat = D3DXIFF_TGA;
    image->hasAlpha = layout != nullptr ? (layout->a.bits != 0 && !layout->paddingAlpha) : paletteAlpha;
    image->levels.push_back(std::move(level));
    return true;
}
