#pragma once
// Small pictures that the image tests write in every layout and expect back.

#include "platform/graphics/TextureFormats.h"

#include <cstdint>
#include <vector>

// An ARGB pixel as the device format keeps it: encoded and read back.
inline uint32_t ThroughFormat(D3DFORMAT format, uint32_t argb) {
    const TextureFormatInfo& info = *TextureFormat_Find(format);
    uint8_t bytes[4] = {};
    TextureFormat_Encode(info, &argb, 1, 1, bytes, 4, false);
    uint32_t back = 0;
    TextureFormat_Decode(info, bytes, 4, 1, 1, &back);
    return back;
}

struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;  // ARGB, rows top first
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// 5 x 3 (odd sizes, so rows need padding) with no two pixels alike and a
// different alpha in every column.
inline Picture ColourPicture() {
    Picture p{5, 3, {}};
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            p.pixels.push_back((0x40u + x * 0x2Fu) << 24 | (x * 60u) << 16 | (y * 120u) << 8 | (200u - x * 20u - y * 50u));
    return p;
}

// The colour picture opaque.
inline Picture OpaquePicture() {
    Picture p = ColourPicture();
    for (uint32_t& c : p.pixels) c |= 0xFF000000u;
    return p;
}

// Opaque greys.
inline Picture GreyPicture() {
    Picture p = ColourPicture();
    for (uint32_t& c : p.pixels) c = 0xFF000000u | ((c >> 8) & 0xFF) * 0x010101u;
    return p;
}

// Greys with the colour picture's alpha.
inline Picture GreyAlphaPicture() {
    Picture p = ColourPicture();
    for (uint32_t& c : p.pixels) c = (c & 0xFF000000u) | ((c >> 8) & 0xFF) * 0x010101u;
    return p;
}

// Two opaque colours (for 1-bit palettes).
inline Picture TwoColourPicture() {
    Picture p = ColourPicture();
    for (size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = (i * 7 % 3 == 0) ? 0xFF102030u : 0xFFE0D0C0u;
    return p;
}
