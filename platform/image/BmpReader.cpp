// BMP files: the core header and the information headers of every
// version, 1, 4 and 8-bit palettes (plain, or run-length encoded at 4 and
// 8 bits), 16 and 32-bit pixels with default or explicit bit-field masks,
// 24-bit pixels; bottom-up, or top-down when the height is negative.

#include "platform/image/ByteReader.h"
#include "platform/image/Image.h"
#include "platform/image/ImageRows.h"
#include "platform/image/PixelFormat.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace {

enum : uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6 };

struct BmpHeader {
    int64_t width = 0, height = 0;
    uint32_t bits = 0;
    uint32_t compression = BI_RGB;
    uint32_t paletteUsed = 0;
    uint32_t masks[4] = {};  // red, green, blue, alpha
    uint32_t paletteEntryBytes = 4;
};

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

bool ReadHeader(ByteReader& in, BmpHeader* header, std::string* error) {
    const uint32_t headerSize = in.U32();
    if (headerSize == 12) {
        header->width = in.U16();
        header->height = static_cast<int16_t>(in.U16());
        in.U16();
        header->bits = in.U16();
        header->paletteEntryBytes = 3;
    } else if (headerSize >= 40) {
        header->width = in.I32();
        header->height = in.I32();
        in.U16();
        header->bits = in.U16();
        header->compression = in.U32();
        in.Skip(12);  // image size, resolution
        header->paletteUsed = in.U32();
        in.U32();
        if (headerSize >= 52) {
            for (int i = 0; i < (headerSize >= 56 ? 4 : 3); ++i) header->masks[i] = in.U32();
        }
        if (!in.Seek(14 + static_cast<size_t>(headerSize))) return Fail(error, "BMP header truncated");
        // Masks after a plain information header.
        if (headerSize == 40 && (header->compression == BI_BITFIELDS || header->compression == BI_ALPHABITFIELDS)) {
            for (int i = 0; i < (header->compression == BI_ALPHABITFIELDS ? 4 : 3); ++i) header->masks[i] = in.U32();
        }
    } else {
        return Fail(error, "unsupported BMP header");
    }
    if (in.Failed()) return Fail(error, "BMP header truncated");
    return true;
}

// Palette indices of a run-length encoded image, one row at a time, bottom
// first: each row goes to emit as it is finished, so only one row is held
// whatever size the header announces. Pixels the runs never reach keep
// index 0.
bool ReadRle(ByteReader& in, const BmpHeader& header, uint32_t width, uint32_t height,
             const std::function<bool(uint32_t row, const uint8_t* indices)>& emit, std::string* error) {
    std::vector<uint8_t> indices(width, 0);
    const bool four = header.compression == BI_RLE4;
    uint32_t x = 0, y = 0;
    auto put = [&](uint8_t index) {
        if (x < width) indices[x] = index;
        ++x;
    };
    auto nextRow = [&]() {
        if (!emit(y, indices.data())) return false;
        std::fill(indices.begin(), indices.end(), uint8_t{0});
        ++y;
        return true;
    };
    while (y < height) {
        const uint8_t count = in.U8();
        const uint8_t value = in.U8();
        if (in.Failed()) return Fail(error, "BMP pixel data truncated");
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            if (!nextRow()) return false;
            x = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += in.U8();
            // A move down leaves the rest of each row it passes at index 0.
            for (uint32_t down = in.U8(); down > 0 && y < height; --down)
                if (!nextRow()) return false;
        } else {
            const size_t bytes = four ? (value + 1u) / 2u : value;
            const uint8_t* run = in.Take(bytes + (bytes & 1));
            if (run == nullptr) return Fail(error, "BMP pixel data truncated");
            for (uint32_t i = 0; i < value; ++i) put(four ? (i & 1 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
        }
        if (in.Failed()) return Fail(error, "BMP pixel data truncated");
    }
    while (y < height)
        if (!nextRow()) return false;
    return true;
}

}  // namespace

bool Image_DecodeBmp(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need) {
    ByteReader in(data, size);
    if (in.U16() != 0x4D42) return Fail(error, "not a BMP file");
    in.Skip(8);
    const uint32_t pixelOffset = in.U32();
    BmpHeader header;
    if (in.Failed()) return Fail(error, "BMP header truncated");
    if (!ReadHeader(in, &header, error)) return false;

    const bool topDown = header.height < 0;
    const uint64_t width = static_cast<uint64_t>(std::llabs(header.width));
    const uint64_t height = static_cast<uint64_t>(std::llabs(header.height));
    if (header.width <= 0 || !Image_SizeAllowed(width, height)) return Fail(error, "BMP size out of range");
    const bool rle = header.compression == BI_RLE8 || header.compression == BI_RLE4;
    const bool masked = header.compression == BI_BITFIELDS || header.compression == BI_ALPHABITFIELDS;
    if ((header.compression == BI_RLE8 && header.bits != 8) || (header.compression == BI_RLE4 && header.bits != 4) ||
        (rle && topDown) || (masked && header.bits != 16 && header.bits != 32) ||
        (!rle && !masked && header.compression != BI_RGB))
        return Fail(error, "unsupported BMP compression");

    // The palette follows the headers.
    std::vector<uint32_t> palette;
    const bool indexed = header.bits <= 8;
    if (indexed) {
        if (header.bits != 1 && header.bits != 4 && header.bits != 8) return Fail(error, "unsupported BMP pixel depth");
        const uint32_t entries = header.paletteUsed != 0 && header.paletteUsed < (1u << header.bits)
                                     ? header.paletteUsed
                                     : (1u << header.bits);
        const uint8_t* bytes = in.Take(static_cast<size_t>(entries) * header.paletteEntryBytes);
        if (bytes == nullptr) return Fail(error, "BMP palette truncated");
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = bytes + i * header.paletteEntryBytes;
            palette.push_back(0xFF000000u | static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0]);
        }
    }

    // Pixel layout of direct colour.
    PixelFormatDesc layout{};
    D3DFORMAT format = D3DFMT_P8;
    if (!indexed) {
        if (!masked) {
            static const uint32_t kDefaultMasks[3][4] = {
                {0x7C00, 0x3E0, 0x1F, 0}, {0xFF0000, 0xFF00, 0xFF, 0}, {0xFF0000, 0xFF00, 0xFF, 0}};
            const int row = header.bits == 16 ? 0 : header.bits == 24 ? 1 : header.bits == 32 ? 2 : -1;
            if (row < 0) return Fail(error, "unsupported BMP pixel depth");
            for (int i = 0; i < 4; ++i) header.masks[i] = kDefaultMasks[row][i];
        }
        if (!PixelFormat_DescribeMasks(header.bits, header.masks[0], header.masks[1], header.masks[2],
                                       header.masks[3], false, &layout))
            return Fail(error, "broken BMP colour masks");
        format = layout.format != D3DFMT_UNKNOWN ? layout.format
                 : header.masks[3] != 0          ? D3DFMT_A8R8G8B8
                                                 : D3DFMT_X8R8G8B8;
    }

    if (pixelOffset >= in.Position() && !in.Seek(pixelOffset)) return Fail(error, "BMP pixel data truncated");

    auto lookup = [&](uint32_t index, uint32_t* argb) {
        if (index >= palette.size()) return Fail(error, "BMP palette index out of range");
        *argb = palette[index];
        return true;
    };
    const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    auto pictureRow = [&](uint32_t fileRow) { return topDown ? fileRow : h - 1 - fileRow; };
    const uint64_t stride = (width * header.bits + 31) / 32 * 4;
    // The last row may go without its padding.
    if (!rle && stride * (height - 1) + (width * header.bits + 7) / 8 > in.Remaining())
        return Fail(error, "BMP pixel data truncated");

    ImageLevel level;
    ImageRows rows(w, h, need, &level);
    if (rle) {
        auto emit = [&](uint32_t fileRow, const uint8_t* indices) {
            const uint32_t y = pictureRow(fileRow);
            uint32_t* out = rows.Row(y);
            for (uint32_t x = 0; x < w; ++x)
                if (!lookup(indices[x], &out[x])) return false;
            rows.Done(y);
            return true;
        };
        if (!ReadRle(in, header, w, h, emit, error)) return false;
    } else {
        const uint8_t* base = in.Here();
        for (uint32_t row = 0; row < h; ++row) {
            const uint8_t* source = base + row * stride;
            const uint32_t y = pictureRow(row);
            uint32_t* out = rows.Row(y);
            for (uint64_t x = 0; x < width; ++x) {
                if (indexed) {
                    const uint64_t bit = x * header.bits;
                    const uint32_t index = (source[bit / 8] >> (8 - header.bits - bit % 8)) & ((1u << header.bits) - 1);
                    if (!lookup(index, &out[x])) return false;
                } else {
                    const uint8_t* p = source + x * layout.bytesPerPixel;
                    uint32_t value = 0;
                    for (uint32_t i = 0; i < layout.bytesPerPixel; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
                    out[x] = PixelFormat_ToArgb(layout, value);
                }
            }
            rows.Done(y);
        }
    }
    rows.Finish();

    image->info.Width = w;
    image->info.Height = h;
    image->info.Format = format;
    image->info.ImageFileFormat = D3DXIFF_BMP;
    image->hasAlpha = !indexed && header.masks[3] != 0;
    image->levels.push_back(std::move(level));
    return true;
}
