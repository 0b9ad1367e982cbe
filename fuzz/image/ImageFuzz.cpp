// Any bytes as an image file: decoding either fails with a reason and no
// levels, or gives levels whose sizes follow the header and whose pixels
// can all be read, converted and filtered.

#include "fuzz/files/FuzzCheck.h"
#include "platform/graphics/TextureFormats.h"
#include "platform/image/Image.h"
#include "platform/image/ImageFilter.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageData image;
    std::string error;
    if (!Image_Decode(data, size, &image, &error)) {
        Check(!error.empty());
        Check(image.levels.empty());
        return 0;
    }
    Check(!image.levels.empty());
    Check(image.info.Width == image.levels[0].width && image.info.Height == image.levels[0].height);
    Check(image.info.MipLevels == image.levels.size());
    for (size_t i = 0; i < image.levels.size(); ++i) {
        const ImageLevel& level = image.levels[i];
        Check(level.width == std::max(1u, image.info.Width >> i));
        Check(level.height == std::max(1u, image.info.Height >> i));
        const std::vector<uint32_t> pixels = Image_LevelPixels(image, i);
        Check(pixels.size() == size_t{level.width} * level.height);
        // Small levels go through the texture path: filtered and compressed.
        if (pixels.size() <= 4096) {
            const std::vector<uint32_t> next = Image_NextMip(pixels.data(), level.width, level.height);
            Check(next.size() == size_t{std::max(1u, level.width / 2)} * std::max(1u, level.height / 2));
            const TextureFormatInfo& dxt5 = *TextureFormat_Find(D3DFMT_DXT5);
            const uint32_t pitch = TextureFormat_Pitch(dxt5, level.width);
            std::vector<uint8_t> blocks(size_t{pitch} * TextureFormat_Rows(dxt5, level.height));
            TextureFormat_Encode(dxt5, pixels.data(), level.width, level.height, blocks.data(), pitch, false);
        }
    }
    return 0;
}
