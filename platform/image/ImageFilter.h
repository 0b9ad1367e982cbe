#pragma once
// Scaling of ARGB pixels (rows top first) for texture sizes and mip chains.

#include <cstdint>
#include <vector>

// The pixels at another size: a target pixel averages the source area it
// covers when shrinking, and blends the nearest source pixels when growing.
std::vector<uint32_t> Image_Resize(const uint32_t* pixels, uint32_t width, uint32_t height, uint32_t newWidth,
                                   uint32_t newHeight);

// The next mip level: half the width and height (at least 1), each pixel
// the mean of the 2x2 it covers (the device's box filter).
std::vector<uint32_t> Image_NextMip(const uint32_t* pixels, uint32_t width, uint32_t height);
