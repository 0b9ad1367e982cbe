// DDS files: 2D textures in DXT1 to DXT5 (kept compressed) or in any
// bit-field layout of 8 to 32 bits (colour, luminance, alpha), with their
// stored mip levels. The mip count is checked against the full chain and
// the bytes of every level against the file.

#include "platform/image/ByteReader.h"
#include "platform/graphics/TextureFormats.h"
#include "platform/image/Image.h"
#include "platform/image/PixelFormat.h"

#include <algorithm>

namespace {

enum : uint32_t {
    DDSD_MIPMAPCOUNT = 0x20000,
    DDPF_ALPHAPIXELS = 0x1,
    DDPF_ALPHA = 0x2,
    DDPF_FOURCC = 0x4,
    DDPF_RGB = 0x40,
    DDPF_LUMINANCE = 0x20000,
    DDSCAPS2_CUBEMAP = 0x200,
    DDSCAPS2_VOLUME = 0x200000,
};

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

}  // namespace

bool Image_DecodeDds(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need) {
    ByteReader in(data, size);
    in.Skip(4);  // "DDS "
    const uint32_t headerSize = in.U32();
    const uint32_t flags = in.U32();
    const uint32_t height = in.U32();
    const uint32_t width = in.U32();
    in.U32();  // pitch or linear size: levels are packed, whatever it says
    in.U32();  // depth
    const uint32_t storedMips = in.U32();
    in.Skip(44);
    in.U32();  // pixel-format size
    const uint32_t formatFlags = in.U32();
    const uint32_t fourCC = in.U32();
    const uint32_t bitCount = in.U32();
    const uint32_t masks[4] = {in.U32(), in.U32(), in.U32(), in.U32()};
    in.U32();  // caps
    const uint32_t caps2 = in.U32();
    in.Skip(12);
    if (in.Failed()) return Fail(error, "DDS header truncated");
    if (headerSize != 124) return Fail(error, "not a DDS file");
    if (caps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) return Fail(error, "DDS cube maps and volumes are not 2D images");
    if (!Image_SizeAllowed(width, height)) return Fail(error, "DDS size out of range");

    // Compressed formats stay as blocks; everything else is read by its masks.
    D3DFORMAT format = D3DFMT_UNKNOWN;
    PixelFormatDesc layout{};
    const TextureFormatInfo* blocks = nullptr;
    if (formatFlags & DDPF_FOURCC) {
        format = fourCC;
        const TextureFormatInfo* device = TextureFormat_Find(format);
        if (device != nullptr && device->blockSize > 1) {
            blocks = device;
        } else {
            // Some writers put a plain format's number where the code goes.
            const PixelFormatDesc* known = PixelFormat_Find(fourCC);
            if (known == nullptr) return Fail(error, "unsupported DDS format");
            layout = *known;
        }
    } else {
        const bool luminance = (formatFlags & DDPF_LUMINANCE) != 0;
        const uint32_t alpha = (formatFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) ? masks[3] : 0;
        const bool colour = (formatFlags & (DDPF_RGB | DDPF_LUMINANCE)) != 0;
        if (!PixelFormat_DescribeMasks(bitCount, colour ? masks[0] : 0, colour && !luminance ? masks[1] : 0,
                                       colour && !luminance ? masks[2] : 0, alpha, luminance, &layout) ||
            (!colour && alpha == 0))
            return Fail(error, "unsupported DDS pixel format");
        format = layout.format != D3DFMT_UNKNOWN ? layout.format : alpha != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    const bool compressed = blocks != nullptr;
    auto levelBytes = [&](uint32_t w, uint32_t h) {
        return compressed ? uint64_t{TextureFormat_Pitch(*blocks, w)} * TextureFormat_Rows(*blocks, h)
                          : uint64_t{w} * h * layout.bytesPerPixel;
    };

    uint32_t mips = (flags & DDSD_MIPMAPCOUNT) && storedMips > 0 ? storedMips : 1;
    if (mips > Image_FullMipCount(width, height)) return Fail(error, "DDS mip count beyond the full chain");
    uint64_t total = 0;
    for (uint32_t i = 0; i < mips; ++i) {
        const uint32_t w = std::max(1u, width >> i), h = std::max(1u, height >> i);
        total += levelBytes(w, h);
    }
    if (total > in.Remaining()) return Fail(error, "DDS levels truncated");

    image->storage = compressed ? format : D3DFMT_A8R8G8B8;
    // Levels above the smallest stored one that still covers the need are
    // passed over: the texture is made from that one down.
    auto covers = [&](uint32_t i) {
        return need.width != 0 && need.height != 0 && std::max(1u, width >> i) >= need.width &&
               std::max(1u, height >> i) >= need.height;
    };
    uint32_t first = 0;
    while (first + 1 < mips && covers(first + 1)) ++first;
    for (uint32_t i = 0; i < first; ++i) in.Skip(levelBytes(std::max(1u, width >> i), std::max(1u, height >> i)));
    for (uint32_t i = first; i < mips; ++i) {
        ImageLevel level;
        level.width = std::max(1u, width >> i);
        level.height = std::max(1u, height >> i);
        if (compressed) {
            const size_t bytes = levelBytes(level.width, level.height);
            const uint8_t* blocks = in.Take(bytes);
            level.blocks.assign(blocks, blocks + bytes);
        } else {
            const size_t rowBytes = static_cast<size_t>(level.width) * layout.bytesPerPixel;
            level.pixels.resize(static_cast<size_t>(level.width) * level.height);
            for (uint32_t y = 0; y < level.height; ++y)
                PixelFormat_ReadRow(layout, in.Take(rowBytes), level.width,
                                    level.pixels.data() + static_cast<size_t>(y) * level.width);
        }
        image->levels.push_back(std::move(level));
    }

    image->info.Width = width;
    image->info.Height = height;
    image->info.MipLevels = mips;
    image->info.Format = format;
    image->info.ImageFileFormat = D3DXIFF_DDS;
    // DXT1 may hold one-bit alpha.
    image->hasAlpha = compressed || (layout.a.bits != 0 && !layout.paddingAlpha);
    return true;
}
