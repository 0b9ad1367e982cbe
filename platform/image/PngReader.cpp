// PNG files through libpng's simplified reader: every colour type and bit
// depth, palettes with transparency, gamma brought to sRGB; errors come
// back as the library's text.

#include "platform/image/Image.h"

#include <png.h>

namespace {

// The format a PNG describes, as the texture formats name it.
D3DFORMAT FormatOf(uint32_t pngFormat) {
    if (pngFormat & PNG_FORMAT_FLAG_COLORMAP) return D3DFMT_P8;
    const bool alpha = (pngFormat & PNG_FORMAT_FLAG_ALPHA) != 0;
    if (pngFormat & PNG_FORMAT_FLAG_COLOR) return alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8;
    return alpha ? D3DFMT_A8L8 : D3DFMT_L8;
}

// Deflate packs at most 1032 bytes into one, and a row of a PNG holds a
// filter byte and at least one bit a pixel: a file too small for the rows
// its header announces is refused before they are allocated.
constexpr uint64_t kDeflateMostRatio = 1032;

bool HoldsTheRows(uint64_t width, uint64_t height, size_t size) {
    return height * (1 + (width + 7) / 8) <= kDeflateMostRatio * size;
}

}  // namespace

// PNG files are decoded whole: the simplified reader fills one buffer.
bool Image_DecodePng(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        *error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    if (!Image_SizeAllowed(png.width, png.height)) {
        png_image_free(&png);
        *error = "PNG size out of range";
        return false;
    }
    if (!HoldsTheRows(png.width, png.height, size)) {
        png_image_free(&png);
        *error = "PNG data too short for its size";
        return false;
    }
    const uint32_t fileFormat = png.format;
    ImageLevel level;
    level.width = png.width;
    level.height = png.height;
    level.pixels.resize(static_cast<size_t>(level.width) * level.height);
    // B, G, R, A bytes are ARGB words.
    png.format = PNG_FORMAT_BGRA;
    if (!png_image_finish_read(&png, nullptr, level.pixels.data(), static_cast<png_int_32>(level.width * 4), nullptr)) {
        *error = std::string("PNG: ") + png.message;
        png_image_free(&png);
        return false;
    }
    png_image_free(&png);
    image->info.Width = level.width;
    image->info.Height = level.height;
    image->info.Format = FormatOf(fileFormat);
    image->info.ImageFileFormat = D3DXIFF_PNG;
    image->hasAlpha = (fileFormat & PNG_FORMAT_FLAG_ALPHA) != 0;
    image->levels.push_back(std::move(level));
    return true;
}
