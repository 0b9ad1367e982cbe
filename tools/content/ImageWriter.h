#pragma once
// Image files written from ARGB pixels (rows top first), for the sample
// data and for test fixtures: TGA, BMP and DDS in the layouts the engine
// reads, PNG and JPEG through the platform's encoders.

#include "platform/graphics/D3D8Types.h"
#include "platform/image/ImageEncode.h"

#include <cstdint>
#include <string>
#include <vector>

struct TgaWriteOptions {
    // 32, 24 or 16 (A1R5G5B5) bits of colour; 8 bits of grey or of palette index.
    uint32_t bits = 32;
    bool palette = false;
    bool rle = false;
    bool topDown = false;
    bool rightToLeft = false;
};

struct BmpWriteOptions {
    // 1, 4 or 8 bits of palette index; 16 (X1R5G5B5, or R5G6B5 with masks),
    // 24 or 32 bits of colour (with alpha when masks are written).
    uint32_t bits = 24;
    bool masks = false;
    bool rle = false;  // 8-bit only
    bool topDown = false;
};

struct DdsWriteOptions {
    // DXT1 to DXT5 or a plain bit-field format (A8R8G8B8, R5G6B5, L8, ...).
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    // 0 writes one level without a mip count; n writes n levels, each
    // filtered from the one above.
    uint32_t mipLevels = 0;
};

std::vector<uint8_t> ImageWriter_Tga(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const TgaWriteOptions& options);
std::vector<uint8_t> ImageWriter_Bmp(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const BmpWriteOptions& options);
std::vector<uint8_t> ImageWriter_Dds(const uint32_t* pixels, uint32_t width, uint32_t height,
                                     const DdsWriteOptions& options);
std::vector<uint8_t> ImageWriter_Png(const uint32_t* pixels, uint32_t width, uint32_t height, PngLayout layout);
std::vector<uint8_t> ImageWriter_Jpeg(const uint32_t* pixels, uint32_t width, uint32_t height, int quality,
                                      bool grey = false);

// Writes bytes to a file; false when it cannot be written whole.
bool ImageWriter_Save(const std::string& path, const std::vector<uint8_t>& bytes);
