#pragma once
// How each texture and surface format is laid out in memory and handed to GL.

#include "platform/graphics/D3D8Types.h"

class PlatformTexture;

struct TextureFormatInfo {
    D3DFORMAT format;
    uint32_t bytesPerBlock;  // bytes per pixel, or per 4x4 block when blockSize is 4
    uint32_t blockSize;
    uint32_t glInternal, glFormat, glType;
    int32_t swizzle[4];      // GL swizzle of r, g, b, a (0: keep the default)
};

// Null for a format the device cannot hold.
const TextureFormatInfo* TextureFormat_Find(D3DFORMAT format);

// Bytes of one row of a level.
uint32_t TextureFormat_Pitch(const TextureFormatInfo& info, uint32_t width);
uint32_t TextureFormat_Rows(const TextureFormatInfo& info, uint32_t height);

// Sends a level's CPU copy to its GL texture.
void TextureFormat_Upload(PlatformTexture& texture, uint32_t level);

// Writes 32-bit ARGB pixels (rows top first) in the given format.
void TextureFormat_FromArgb(D3DFORMAT format, const uint32_t* argb, uint32_t width, uint32_t height, uint8_t* out,
                            uint32_t pitch);
