#pragma once
// How each texture and surface format is laid out in memory, turned to and
// from 32-bit ARGB, and handed to GL.

#include "platform/graphics/D3D8Types.h"

#include <cstddef>

class PlatformTexture;

// One texel or 4x4 block of a format to and from ARGB. A block codec reads
// and writes 16 texels, rows of four, top first.
using TexelDecode = void (*)(const uint8_t* in, uint32_t* argb);
using TexelEncode = void (*)(const uint32_t* argb, uint8_t* out);

struct TextureFormatInfo {
    D3DFORMAT format;
    uint32_t bytesPerBlock;  // bytes per pixel, or per 4x4 block when blockSize is 4
    uint32_t blockSize;
    uint32_t glInternal, glFormat, glType;  // the layout GL holds or, for blocks, the compressed format
    int32_t swizzle[4];      // GL swizzle of r, g, b, a (all 0: keep the default)
    TexelDecode decode;
    TexelEncode encode;
    bool premultiplied;      // colour is stored multiplied by alpha
};

// Null for a format the device cannot hold.
const TextureFormatInfo* TextureFormat_Find(D3DFORMAT format);

// Bytes of one row of a level (a row of blocks for block formats), and its rows.
uint32_t TextureFormat_Pitch(const TextureFormatInfo& info, uint32_t width);
uint32_t TextureFormat_Rows(const TextureFormatInfo& info, uint32_t height);

// Whole surfaces between ARGB rows (top first, width apart) and a format.
// Encoding premultiplies the colour of formats that store it so unless
// premultiplied says the pixels already are.
void TextureFormat_Encode(const TextureFormatInfo& info, const uint32_t* argb, uint32_t width, uint32_t height,
                          uint8_t* out, uint32_t pitch, bool premultiplied);
void TextureFormat_Decode(const TextureFormatInfo& info, const uint8_t* bits, uint32_t pitch, uint32_t width,
                          uint32_t height, uint32_t* argb);

// Halves a level with a box filter: each texel of the smaller level is the
// rounded mean of the (up to) 2x2 texels it covers.
void TextureFormat_Downsample(const uint32_t* argb, uint32_t width, uint32_t height, uint32_t* out,
                              uint32_t outWidth, uint32_t outHeight);

// Adds area (texels) to a level's written rectangle, what its next upload sends.
void TextureFormat_MarkWritten(RECT* written, const RECT& area);
// Sends what was written into a level's CPU copy since its last upload to
// its GL texture: the whole level the first time, then only the written
// rectangle (whole rows of blocks for block formats). The texture is bound
// for the call. Compressed levels go as blocks when the texture is held
// compressed, else as decoded texels.
void TextureFormat_Upload(PlatformTexture& texture, uint32_t level);
