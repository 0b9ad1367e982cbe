#pragma once
// Icon (".ico") and cursor (".cur") files: a directory of pictures of
// several sizes, each a BMP information header with its pixels followed by
// a 1-bit mask of the transparent pixels, or a whole PNG file. A cursor's
// entries give its hot spot. Every size and offset is checked against the
// bytes present.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct IconPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;  // ARGB, rows top first, alpha 0 where transparent
    uint32_t hotspotX = 0;         // cursors only
    uint32_t hotspotY = 0;
    bool cursor = false;
};

// The picture whose size is nearest to wantedSize (the first of equals).
// False with an error text for a file that is not an icon or cursor, or
// whose chosen picture is damaged.
bool Image_DecodeIcon(const uint8_t* data, size_t size, uint32_t wantedSize, IconPicture* picture, std::string* error);
