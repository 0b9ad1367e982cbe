#pragma once
// A picture in memory: rows top to bottom, pitch bytes apart, at 32 bits per
// pixel the bytes B, G, R, A. Written out as an uncompressed TGA file.

#include <cstdint>
#include <memory>

class ImageBuffer {
public:
    // Stores the size, recomputes the layout and allocates the pixels anew
    // (their contents undefined); false when the size is negative, the bits
    // per pixel are not a whole number of bytes from 8 to 32, or the pixels
    // would not fit in memory.
    bool Create(int32_t width, int32_t height, int32_t bitsPerPixel);
    void Free();
    int32_t GetWidth() const { return width; }
    int32_t GetHeight() const { return height; }
    // bytes per pixel = bits / 8; pitch = width x bits / 8; size = height x pitch.
    void UpdateLayout();
    // An 18-byte TGA header (uncompressed true colour, origin bottom left),
    // then the rows from the last to the first, into a new file beside the
    // name that replaces it once whole. 1 when written, 0 when the file
    // cannot be created or written (an older file is then kept).
    int WriteTga(const char* fileName) const;

    std::unique_ptr<uint8_t[]> pixels;
    int32_t width = 0, height = 0;
    int32_t bitsPerPixel = 0;
    int32_t pitch = 0;          // bytes per row
    int32_t bytesPerPixel = 0;
    int32_t size = 0;           // bytes of pixel data
};
