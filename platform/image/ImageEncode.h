#pragma once
// PNG and JPEG encoding of ARGB pixels (rows top first), for the content
// tools that write images and for test fixtures.

#include <cstdint>
#include <vector>

// How a PNG stores its pixels.
enum PngLayout : uint32_t {
    PNG_LAYOUT_RGBA,
    PNG_LAYOUT_RGB,
    PNG_LAYOUT_GREY,        // the red channel as grey
    PNG_LAYOUT_GREY_ALPHA,  // the red channel as grey, with alpha
    PNG_LAYOUT_PALETTE,     // at most 256 distinct ARGB colours, alpha kept
};

// False when the layout cannot hold the pixels (a palette of more than 256).
bool Image_EncodePng(const uint32_t* pixels, uint32_t width, uint32_t height, PngLayout layout,
                     std::vector<uint8_t>* file);

// Quality 1 to 100; grey files take the red channel.
bool Image_EncodeJpeg(const uint32_t* pixels, uint32_t width, uint32_t height, int quality, bool grey,
                      std::vector<uint8_t>* file);

// A black picture at one bit a pixel, deflated as far as it goes: the
// smallest PNG of its size (fixtures of pictures large for their bytes).
// Rows are written one at a time, so any size costs one row of memory.
bool Image_EncodeBlankPng(uint32_t width, uint32_t height, std::vector<uint8_t>* file);
