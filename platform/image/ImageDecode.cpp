#include "platform/image/Image.h"

#include "platform/graphics/TextureFormats.h"

#include <algorithm>
#include <cstring>

namespace {

struct ImageKind {
    const char* signature;
    size_t length;
    bool (*decode)(const uint8_t*, size_t, ImageData*, std::string*, ImageNeed);
};

// Files are told apart by their first bytes; TGA has no signature and
// takes whatever the others do not claim.
const ImageKind kImageKinds[] = {
    {"DDS ", 4, Image_DecodeDds},
    {"\x89PNG\r\n\x1a\n", 8, Image_DecodePng},
    {"\xFF\xD8", 2, Image_DecodeJpeg},
    {"BM", 2, Image_DecodeBmp},
};

}  // namespace

bool Image_Decode(const void* data, size_t size, ImageData* image, std::string* error, ImageNeed need) {
    *image = ImageData{};
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (bytes == nullptr || size == 0) {
        *error = "empty image file";
        return false;
    }
    bool (*decode)(const uint8_t*, size_t, ImageData*, std::string*, ImageNeed) = Image_DecodeTga;
    for (const ImageKind& kind : kImageKinds) {
        if (size >= kind.length && std::memcmp(bytes, kind.signature, kind.length) == 0) {
            decode = kind.decode;
            break;
        }
    }
    if (!decode(bytes, size, image, error, need)) {
        *image = ImageData{};
        return false;
    }
    image->info.Depth = 1;
    image->info.ResourceType = D3DRTYPE_TEXTURE;
    // What the file stores, also when levels above the need were left out.
    if (image->info.MipLevels == 0) image->info.MipLevels = static_cast<uint32_t>(image->levels.size());
    return true;
}

std::vector<uint32_t> Image_LevelPixels(const ImageData& image, size_t level) {
    if (level >= image.levels.size()) return {};
    const ImageLevel& l = image.levels[level];
    if (image.storage == D3DFMT_A8R8G8B8) return l.pixels;
    const TextureFormatInfo* info = TextureFormat_Find(image.storage);
    std::vector<uint32_t> pixels(size_t{l.width} * l.height);
    TextureFormat_Decode(*info, l.blocks.data(), TextureFormat_Pitch(*info, l.width), l.width, l.height,
                         pixels.data());
    // Premultiplied blocks (DXT2, DXT4) give straight colour, as every other image does.
    if (info->premultiplied) {
        for (uint32_t& p : pixels) {
            const uint32_t a = p >> 24;
            auto straight = [a](uint32_t c) { return a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
            p = a << 24 | straight((p >> 16) & 0xFF) << 16 | straight((p >> 8) & 0xFF) << 8 | straight(p & 0xFF);
        }
    }
    return pixels;
}

bool Image_SizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kImageMaxSide && height <= kImageMaxSide &&
           width * height <= kImageMaxPixels;
}

uint32_t Image_FullMipCount(uint32_t width, uint32_t height) {
    uint32_t count = 1;
    while ((width >> count) > 0 || (height >> count) > 0) ++count;
    return count;
}
