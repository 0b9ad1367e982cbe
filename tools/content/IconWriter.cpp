#include "tools/content/IconWriter.h"

#include "tools/content/ByteWriter.h"

std::vector<uint8_t> IconWriter_Encode(const uint32_t* pixels, uint32_t width, uint32_t height, bool cursor,
                                       uint32_t hotspotX, uint32_t hotspotY) {
    const uint32_t maskStride = (width + 31) / 32 * 4;
    const uint32_t imageBytes = 40 + width * height * 4 + maskStride * height;
    std::vector<uint8_t> out;
    // Directory: reserved, type (1 icon, 2 cursor), one entry.
    ByteWriter_Put16(&out, 0);
    ByteWriter_Put16(&out, cursor ? 2 : 1);
    ByteWriter_Put16(&out, 1);
    out.push_back(static_cast<uint8_t>(width >= 256 ? 0 : width));
    out.push_back(static_cast<uint8_t>(height >= 256 ? 0 : height));
    out.push_back(0);  // colours in a palette: none
    out.push_back(0);
    ByteWriter_Put16(&out, cursor ? hotspotX : 1);   // icons: colour planes
    ByteWriter_Put16(&out, cursor ? hotspotY : 32);  // icons: bits per pixel
    ByteWriter_Put32(&out, imageBytes);
    ByteWriter_Put32(&out, 6 + 16);
    // The picture: an information header of twice the height (colour rows,
    // then mask rows), bottom row first.
    ByteWriter_Put32(&out, 40);
    ByteWriter_Put32(&out, width);
    ByteWriter_Put32(&out, height * 2);
    ByteWriter_Put16(&out, 1);
    ByteWriter_Put16(&out, 32);
    for (int i = 0; i < 6; ++i) ByteWriter_Put32(&out, 0);
    for (uint32_t row = height; row-- > 0;) {
        for (uint32_t x = 0; x < width; ++x) ByteWriter_Put32(&out, pixels[size_t{row} * width + x]);
    }
    for (uint32_t row = height; row-- > 0;) {
        std::vector<uint8_t> mask(maskStride, 0);
        for (uint32_t x = 0; x < width; ++x) {
            if ((pixels[size_t{row} * width + x] >> 24) == 0) mask[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}
