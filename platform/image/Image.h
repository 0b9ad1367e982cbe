#pragma once
// Image files decoded from memory: BMP, TGA, DDS, JPEG and PNG, told apart
// by their first bytes (a file that is none of the others is read as TGA,
// which has no signature). BMP, TGA and DDS are small readers of our own;
// JPEG goes through libjpeg-turbo and PNG through libpng.
//
// Every size and count in a file is checked against the bytes present
// before anything is allocated or copied: a short, damaged or lying file
// gives false and an error text, never a partial image.

#include "platform/graphics/D3D8Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The kind of file an image came from (the utility library's numbering).
enum : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
};

// What a file says about itself: its size, stored levels and own format.
struct D3DXIMAGE_INFO {
    uint32_t Width;
    uint32_t Height;
    uint32_t Depth;
    uint32_t MipLevels;
    D3DFORMAT Format;
    uint32_t ResourceType;
    uint32_t ImageFileFormat;
};

// One level of a decoded image.
struct ImageLevel {
    uint32_t width = 0;
    uint32_t height = 0;
    // 32-bit ARGB (alpha in the top byte), rows top first: for images whose
    // storage is D3DFMT_A8R8G8B8.
    std::vector<uint32_t> pixels;
    // The file's own 4x4 blocks, rows of blocks top first: for DXT storage.
    std::vector<uint8_t> blocks;
};

struct ImageData {
    D3DXIMAGE_INFO info{};
    // D3DFMT_A8R8G8B8 when the levels hold pixels, else the DXT format of
    // their blocks (DDS files keep their compression).
    D3DFORMAT storage = D3DFMT_A8R8G8B8;
    // The file carries alpha (an alpha channel, or a palette with alpha).
    bool hasAlpha = false;
    // Level 0 first; more than one only for DDS files with stored mip maps.
    std::vector<ImageLevel> levels;
};

// Limits on what a decoder accepts: the largest picture a texture of the
// game holds is 4096 x 4096 (or as many pixels in another shape). Larger
// files are refused from their header, before their pixels are allocated.
constexpr uint32_t kImageMaxSide = 16384;
constexpr uint64_t kImageMaxPixels = uint64_t{1} << 24;

// The size a texture needs of a picture (0: the picture's own). A picture
// at least twice as large on both sides may be decoded reduced by a power
// of two, each pixel the mean of the block it covers, never below the
// need; info still gives the file's own size. DDS files keep the stored
// levels from the smallest that still covers the need; PNG files are
// decoded whole.
struct ImageNeed {
    uint32_t width = 0;
    uint32_t height = 0;
};

// Decodes a whole file held in memory. False with an error text for a file
// that is truncated, damaged or of an unsupported kind.
bool Image_Decode(const void* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});

// The decoders behind Image_Decode, for callers that know the kind.
bool Image_DecodeBmp(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});
bool Image_DecodeTga(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});
bool Image_DecodeDds(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});
bool Image_DecodeJpeg(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});
bool Image_DecodePng(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need = {});

// Level 0 or a stored mip level as ARGB pixels, whatever its storage.
std::vector<uint32_t> Image_LevelPixels(const ImageData& image, size_t level);

// True when the width and height fit the decoders' limits.
bool Image_SizeAllowed(uint64_t width, uint64_t height);

// The number of levels of a full mip chain down to 1x1.
uint32_t Image_FullMipCount(uint32_t width, uint32_t height);
