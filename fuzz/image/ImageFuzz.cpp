// Any bytes as an image file: decoding either fails with a reason and no
// levels, or gives levels whose sizes follow the header and whose pixels
// can all be read, converted and filtered. Decoded again for a texture a
// third of its size, it gives the same header and a first level between
// that need and the picture.

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
    const ImageNeed need{std::max(1u, image.info.Width / 3), std::max(1u, image.info.Height / 3)};
    ImageData reduced;
    Check(Image_Decode(data, size, &reduced, &error, need));
    Check(reduced.info.Width == image.info.Width && reduced.info.Height == image.info.Height);
    Check(reduced.info.MipLevels == image.info.MipLevels);
    const ImageLevel& first = reduced.levels[0];
    Check(first.width >= need.width && first.width <= image.info.Width);
    Check(first.height >= need.height && first.height <= image.info.Height);
    Check(Image_LevelPixels(reduced, 0).size() == size_t{first.width} * first.height);
    return 0;
}
