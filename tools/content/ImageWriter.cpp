#include "tools/content/ImageWriter.h"

#include "platform/graphics/TextureFormats.h"
#include "platform/image/ImageFilter.h"
#include "platform/image/PixelFormat.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    Put8(out, v);
    Put8(out, v >> 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v);
    Put16(out, v >> 16);
}
void PutBytes(std::vector<uint8_t>& out, uint32_t value, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) Put8(out, value >> (8 * i));
}
void PutValue(uint8_t* out, uint32_t value, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The distinct colours in first-seen order, and each pixel's index; false
// beyond limit colours.
bool BuildPalette(const uint32_t* pixels, size_t count, size_t limit, std::vector<uint32_t>* palette,
                  std::vector<uint32_t>* indices) {
    std::map<uint32_t, uint32_t> known;
    for (size_t i = 0; i < count; ++i) {
        auto found = known.find(pixels[i]);
        if (found == known.end()) {
            if (palette->size() == limit) return false;
            found = known.emplace(pixels[i], static_cast<uint32_t>(palette->size())).first;
            palette->push_back(pixels[i]);
        }
        indices->push_back(found->second);
    }
    return true;
}

// One pixel in a device format, as the little-endian value of its bytes.
uint32_t EncodePixel(D3DFORMAT format, uint32_t argb) {
    const TextureFormatInfo& info = *TextureFormat_Find(format);
    uint8_t bytes[4] = {};
    TextureFormat_Encode(info, &argb, 1, 1, bytes, 4, false);
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t ChannelMask(PixelChannel channel) {
    return channel.bits == 0 ? 0 : ((uint32_t{1} << channel.bits) - 1) << channel.shift;
}

// TGA run-length packets over the whole stream of values: runs of two or
// more equal values as one repeated value, everything else as raw packets.
void WriteTgaRle(std::vector<uint8_t>& out, const std::vector<uint32_t>& values, uint32_t bytes) {
    size_t i = 0;
    while (i < values.size()) {
        size_t run = 1;
        while (i + run < values.size() && run < 128 && values[i + run] == values[i]) ++run;
        if (run >= 2) {
            Put8(out, 0x80 | (run - 1));
            PutBytes(out, values[i], bytes);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < values.size() && raw < 128 &&
               !(i + raw + 1 < values.size() && values[i + raw] == values[i + raw + 1]))
            ++raw;
        Put8(out, raw - 1);
        for (size_t k = 0; k < raw; ++k) PutBytes(out, values[i + k], bytes);
        i += raw;
    }
}

// One BMP row of 8-bit indices as runs and absolute stretches, ended by an
// end-of-line code.
void WriteBmpRle8Row(std::vector<uint8_t>& out, const uint32_t* indices, uint32_t width) {
    uint32_t x = 0;
    while (x < width) {
        uint32_t run = 1;
        while (x + run < width && run < 255 && indices[x + run] == indices[x]) ++run;
        if (run >= 2 || width - x < 3) {
            Put8(out, run);
            Put8(out, indices[x]);
            x += run;
            continue;
        }
        uint32_t raw = 1;
        while (x + raw < width && raw < 255 && !(x + raw + 1 < width && indices[x + raw] == indices[x + raw + 1]))
            ++raw;
        if (raw < 3) {
            Put8(out, 1);
            Put8(out, indices[x]);
            ++x;
            continue;
        }
        Put8(out, 0);
        Put8(out, raw);
        for (uint32_t k = 0; k < raw; ++k) Put8(out, indices[x + k]);
        if (raw & 1) Put8(out, 0);
        x += raw;
    }
    Put16(out, 0);
}

}  // namespace

std::vector<uint8_t> ImageWriter_Tga(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const TgaWriteOptions& options) {
    const size_t count = size_t{width} * height;
    // Pixels in stored order.
    std::vector<uint32_t> ordered(count);
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = options.topDown ? row : height - 1 - row;
        for (uint32_t column = 0; column < width; ++column) {
            const uint32_t x = options.rightToLeft ? width - 1 - column : column;
            ordered[size_t{row} * width + column] = pixels[size_t{y} * width + x];
        }
    }
    std::vector<uint32_t> palette, values;
    bool paletteAlpha = false;
    if (options.palette) {
        if (!BuildPalette(ordered.data(), count, 256, &palette, &values)) return {};
        for (uint32_t c : palette) paletteAlpha = paletteAlpha || (c >> 24) != 255;
    } else {
        for (uint32_t p : ordered) {
            values.push_back(options.bits == 16 ? EncodePixel(D3DFMT_A1R5G5B5, p)
                             : options.bits == 8 ? (p >> 16) & 0xFF
                                                 : p);
        }
    }
    const uint32_t type = options.palette ? 1 : options.bits == 8 ? 3 : 2;
    const uint32_t alphaBits = options.palette ? 0 : options.bits == 32 ? 8 : options.bits == 16 ? 1 : 0;
    const uint32_t mapBits = paletteAlpha ? 32 : 24;
    std::vector<uint8_t> out;
    Put8(out, 0);
    Put8(out, options.palette ? 1 : 0);
    Put8(out, type + (options.rle ? 8 : 0));
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(palette.size()));
    Put8(out, options.palette ? mapBits : 0);
    Put32(out, 0);
    Put16(out, width);
    Put16(out, height);
    Put8(out, options.palette ? 8 : options.bits);
    Put8(out, alphaBits | (options.topDown ? 0x20 : 0) | (options.rightToLeft ? 0x10 : 0));
    for (uint32_t c : palette) PutBytes(out, c, mapBits / 8);
    const uint32_t bytes = options.palette ? 1 : options.bits / 8;
    if (options.rle) {
        WriteTgaRle(out, values, bytes);
    } else {
        for (uint32_t v : values) PutBytes(out, v, bytes);
    }
    return out;
}

std::vector<uint8_t> ImageWriter_Bmp(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const BmpWriteOptions& options) {
    const uint32_t bits = options.bits;
    const bool indexed = bits <= 8;
    const bool rle = options.rle && bits == 8;
    std::vector<uint32_t> palette, indices;
    if (indexed && !BuildPalette(pixels, size_t{width} * height, size_t{1} << bits, &palette, &indices)) return {};
    if (indexed) palette.resize(size_t{1} << bits, 0);
    // Masks go in a version 4 header: R5G6B5 at 16 bits, A8R8G8B8 at 32.
    const bool masks = options.masks && (bits == 16 || bits == 32);
    const D3DFORMAT format = bits == 16   ? (masks ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5)
                             : bits == 24 ? D3DFMT_R8G8B8
                             : masks      ? D3DFMT_A8R8G8B8
                                          : D3DFMT_X8R8G8B8;
    const PixelFormatDesc* layout = PixelFormat_Find(format);
    const uint32_t headerSize = masks ? 108 : 40;
    const uint32_t pixelOffset = 14 + headerSize + static_cast<uint32_t>(palette.size()) * 4;
    const uint32_t stride = (width * bits + 31) / 32 * 4;

    std::vector<uint8_t> data;
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = options.topDown ? row : height - 1 - row;
        if (rle) {
            WriteBmpRle8Row(data, indices.data() + size_t{y} * width, width);
            continue;
        }
        std::vector<uint8_t> line(stride, 0);
        for (uint32_t x = 0; x < width; ++x) {
            const size_t i = size_t{y} * width + x;
            if (indexed) {
                const uint32_t bit = x * bits;
                line[bit / 8] = static_cast<uint8_t>(line[bit / 8] | indices[i] << (8 - bits - bit % 8));
            } else {
                PutValue(&line[size_t{x} * (bits / 8)], EncodePixel(format, pixels[i]), bits / 8);
            }
        }
        data.insert(data.end(), line.begin(), line.end());
    }
    if (rle) {
        data.pop_back();
        data.pop_back();
        Put16(data, 0x0100);  // end of bitmap in place of the last end of line
    }

    std::vector<uint8_t> out;
    Put16(out, 0x4D42);
    Put32(out, pixelOffset + static_cast<uint32_t>(data.size()));
    Put32(out, 0);
    Put32(out, pixelOffset);
    Put32(out, headerSize);
    Put32(out, width);
    Put32(out, options.topDown ? static_cast<uint32_t>(-static_cast<int32_t>(height)) : height);
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, rle ? 1 : masks ? 3 : 0);
    Put32(out, static_cast<uint32_t>(data.size()));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<uint32_t>(palette.size()));
    Put32(out, 0);
    if (masks) {
        Put32(out, ChannelMask(layout->r));
        Put32(out, ChannelMask(layout->g));
        Put32(out, ChannelMask(layout->b));
        Put32(out, ChannelMask(layout->a));
        out.resize(14 + headerSize, 0);
    }
    for (uint32_t c : palette) Put32(out, c & 0xFFFFFF);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> ImageWriter_Dds(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const DdsWriteOptions& options) {
    const TextureFormatInfo* info = TextureFormat_Find(options.format);
    if (info == nullptr) return {};
    const bool compressed = info->blockSize > 1;
    const PixelFormatDesc* layout = PixelFormat_Find(options.format);
    if (!compressed && layout == nullptr) return {};
    const uint32_t levels = std::max(1u, options.mipLevels);

    std::vector<uint8_t> data;
    std::vector<uint32_t> level(pixels, pixels + size_t{width} * height);
    uint32_t w = width, h = height;
    for (uint32_t i = 0; i < levels; ++i) {
        if (i > 0) {
            level = Image_NextMip(level.data(), w, h);
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
        const uint32_t pitch = TextureFormat_Pitch(*info, w);
        std::vector<uint8_t> bytes(size_t{pitch} * TextureFormat_Rows(*info, h));
        TextureFormat_Encode(*info, level.data(), w, h, bytes.data(), pitch, false);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }

    constexpr uint32_t CAPS = 0x1, HEIGHT = 0x2, WIDTH = 0x4, PITCH = 0x8, PIXELFORMAT = 0x1000;
    constexpr uint32_t MIPMAPCOUNT = 0x20000, LINEARSIZE = 0x80000;
    std::vector<uint8_t> out{'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out, CAPS | HEIGHT | WIDTH | PIXELFORMAT | (compressed ? LINEARSIZE : PITCH) |
                   (options.mipLevels > 0 ? MIPMAPCOUNT : 0));
    Put32(out, height);
    Put32(out, width);
    Put32(out, compressed ? TextureFormat_Pitch(*info, width) * TextureFormat_Rows(*info, height)
                          : TextureFormat_Pitch(*info, width));
    Put32(out, 0);
    Put32(out, options.mipLevels);
    for (int i = 0; i < 11; ++i) Put32(out, 0);
    Put32(out, 32);
    if (compressed) {
        Put32(out, 0x4);
        Put32(out, options.format);
        for (int i = 0; i < 5; ++i) Put32(out, 0);
    } else {
        const bool alpha = layout->a.bits != 0 && !layout->paddingAlpha;
        const bool colour = layout->r.bits != 0;
        Put32(out, (alpha ? 0x1 : 0) | (layout->luminance ? 0x20000 : colour ? 0x40 : 0x2));
        Put32(out, 0);
        Put32(out, layout->bytesPerPixel * 8);
        Put32(out, ChannelMask(layout->r));
        Put32(out, ChannelMask(layout->g));
        Put32(out, ChannelMask(layout->b));
        Put32(out, alpha ? ChannelMask(layout->a) : 0);
    }
    Put32(out, 0x1000 | (options.mipLevels > 0 ? 0x400008 : 0));
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> ImageWriter_Png(const uint32_t* pixels, uint32_t width, uint32_t height, PngLayout layout) {
    std::vector<uint8_t> file;
    if (!Image_EncodePng(pixels, width, height, layout, &file)) file.clear();
    return file;
}

std::vector<uint8_t> ImageWriter_Jpeg(const uint32_t* pixels, uint32_t width, uint32_t height, int quality,
                                      bool grey) {
    std::vector<uint8_t> file;
    if (!Image_EncodeJpeg(pixels, width, height, quality, grey, &file)) file.clear();
    return file;
}

bool ImageWriter_Save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}
