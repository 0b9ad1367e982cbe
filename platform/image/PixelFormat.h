#pragma once
// The uncompressed pixel layouts image files store, described as bit
// fields, so that any masks a file gives can be read as 32-bit ARGB and
// named as a texture format where one matches. Writing texture formats is
// the device's (platform/graphics/TextureFormats.h).

#include "platform/graphics/D3D8Types.h"

#include <cstdint>

// One channel of a pixel: bits wide, starting at shift (0 bits: absent).
struct PixelChannel {
    uint8_t bits;
    uint8_t shift;
};

struct PixelFormatDesc {
    D3DFORMAT format;
    uint32_t bytesPerPixel;
    PixelChannel a, r, g, b;
    // Luminance formats keep one grey value in the r channel.
    bool luminance;
    // The a channel is unused padding: written as ones, read as opaque.
    bool paddingAlpha;
};

// Null for a format that is not a plain bit-field format (DXT, palettes, depth).
const PixelFormatDesc* PixelFormat_Find(D3DFORMAT format);

// The bit-field format whose masks match, or null.
const PixelFormatDesc* PixelFormat_FindByMasks(uint32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask,
                                               uint32_t blueMask, uint32_t alphaMask, bool luminance);

// A layout for any masks of 8 to 32-bit pixels whose set bits lie together
// (at most 16 per channel): the known format when one matches, else a
// description of format D3DFMT_UNKNOWN. False for masks that cannot be read.
bool PixelFormat_DescribeMasks(uint32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                               uint32_t alphaMask, bool luminance, PixelFormatDesc* desc);

// A channel of n bits widened to 8 by repeating its bits (31 -> 255, 16 -> 132).
uint32_t PixelFormat_Widen(uint32_t value, uint32_t bits);

// One pixel of the format (its bytes little-endian in value) as ARGB.
uint32_t PixelFormat_ToArgb(const PixelFormatDesc& desc, uint32_t value);

// A row of pixels of the format as ARGB.
void PixelFormat_ReadRow(const PixelFormatDesc& desc, const uint8_t* source, uint32_t count, uint32_t* argb);
