#include "platform/image/PixelFormat.h"

#include <bit>
#include <cstring>

namespace {

const PixelFormatDesc kPixelFormats[] = {
    {D3DFMT_A8R8G8B8, 4, {8, 24}, {8, 16}, {8, 8}, {8, 0}, false, false},
    {D3DFMT_X8R8G8B8, 4, {8, 24}, {8, 16}, {8, 8}, {8, 0}, false, true},
    {D3DFMT_R8G8B8, 3, {0, 0}, {8, 16}, {8, 8}, {8, 0}, false, false},
    {D3DFMT_R5G6B5, 2, {0, 0}, {5, 11}, {6, 5}, {5, 0}, false, false},
    {D3DFMT_X1R5G5B5, 2, {1, 15}, {5, 10}, {5, 5}, {5, 0}, false, true},
    {D3DFMT_A1R5G5B5, 2, {1, 15}, {5, 10}, {5, 5}, {5, 0}, false, false},
    {D3DFMT_A4R4G4B4, 2, {4, 12}, {4, 8}, {4, 4}, {4, 0}, false, false},
    {D3DFMT_X4R4G4B4, 2, {4, 12}, {4, 8}, {4, 4}, {4, 0}, false, true},
    {D3DFMT_R3G3B2, 1, {0, 0}, {3, 5}, {3, 2}, {2, 0}, false, false},
    {D3DFMT_A8R3G3B2, 2, {8, 8}, {3, 5}, {3, 2}, {2, 0}, false, false},
    {D3DFMT_A8, 1, {8, 0}, {0, 0}, {0, 0}, {0, 0}, false, false},
    {D3DFMT_L8, 1, {0, 0}, {8, 0}, {0, 0}, {0, 0}, true, false},
    {D3DFMT_A8L8, 2, {8, 8}, {8, 0}, {0, 0}, {0, 0}, true, false},
    {D3DFMT_A4L4, 1, {4, 4}, {4, 0}, {0, 0}, {0, 0}, true, false},
};

uint32_t Mask(PixelChannel channel) {
    return channel.bits == 0 ? 0 : ((uint32_t{1} << channel.bits) - 1) << channel.shift;
}

uint32_t Extract(PixelChannel channel, uint32_t value) {
    if (channel.bits == 0) return 0;
    return PixelFormat_Widen((value >> channel.shift) & ((uint32_t{1} << channel.bits) - 1), channel.bits);
}

}  // namespace

const PixelFormatDesc* PixelFormat_Find(D3DFORMAT format) {
    for (const PixelFormatDesc& desc : kPixelFormats)
        if (desc.format == format) return &desc;
    return nullptr;
}

const PixelFormatDesc* PixelFormat_FindByMasks(uint32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask,
                                               uint32_t blueMask, uint32_t alphaMask, bool luminance) {
    for (const PixelFormatDesc& desc : kPixelFormats) {
        if (desc.bytesPerPixel * 8 != bitsPerPixel || desc.luminance != luminance) continue;
        const uint32_t alpha = desc.paddingAlpha ? 0 : Mask(desc.a);
        if (Mask(desc.r) == redMask && Mask(desc.g) == greenMask && Mask(desc.b) == blueMask && alpha == alphaMask)
            return &desc;
    }
    return nullptr;
}

bool PixelFormat_DescribeMasks(uint32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                               uint32_t alphaMask, bool luminance, PixelFormatDesc* desc) {
    if (const PixelFormatDesc* known =
            PixelFormat_FindByMasks(bitsPerPixel, redMask, greenMask, blueMask, alphaMask, luminance)) {
        *desc = *known;
        return true;
    }
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    *desc = PixelFormatDesc{D3DFMT_UNKNOWN, bitsPerPixel / 8, {}, {}, {}, {}, luminance, false};
    const uint32_t masks[4] = {alphaMask, redMask, greenMask, blueMask};
    PixelChannel* channels[4] = {&desc->a, &desc->r, &desc->g, &desc->b};
    for (int i = 0; i < 4; ++i) {
        const uint32_t mask = masks[i];
        if (mask == 0) continue;
        const int shift = std::countr_zero(mask);
        const int bits = std::popcount(mask);
        if (bits > 16 || (mask >> shift) != (uint32_t{1} << bits) - 1) return false;
        *channels[i] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(shift)};
    }
    return true;
}

uint32_t PixelFormat_Widen(uint32_t value, uint32_t bits) {
    if (bits >= 8) return value >> (bits - 8);
    uint32_t wide = 0;
    uint32_t filled = 0;
    while (filled < 8) {
        wide = (wide << bits) | value;
        filled += bits;
    }
    return wide >> (filled - 8);
}

uint32_t PixelFormat_ToArgb(const PixelFormatDesc& desc, uint32_t value) {
    const uint32_t a = desc.paddingAlpha || desc.a.bits == 0 ? 255 : Extract(desc.a, value);
    if (desc.luminance) {
        const uint32_t l = Extract(desc.r, value);
        return a << 24 | l << 16 | l << 8 | l;
    }
    return a << 24 | Extract(desc.r, value) << 16 | Extract(desc.g, value) << 8 | Extract(desc.b, value);
}

void PixelFormat_ReadRow(const PixelFormatDesc& desc, const uint8_t* source, uint32_t count, uint32_t* argb) {
    if (desc.format == D3DFMT_A8R8G8B8) {
        std::memcpy(argb, source, static_cast<size_t>(count) * 4);
        return;
    }
    for (uint32_t x = 0; x < count; ++x, source += desc.bytesPerPixel) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < desc.bytesPerPixel; ++i) value |= static_cast<uint32_t>(source[i]) << (8 * i);
        argb[x] = PixelFormat_ToArgb(desc, value);
    }
}
