#include "platform/image/ImageTexture.h"

#include "platform/graphics/TextureFormats.h"
#include "platform/image/ImageFilter.h"

#include <cstring>

namespace {

bool Given(uint32_t value) { return value != 0 && value != D3DX_DEFAULT; }

// A texture is asked for at most this many times the picture's own side:
// past it an item asks for a picture it does not have.
constexpr uint64_t kMostGrowth = 4;

// The size asked for, when the device can make it and it is in proportion
// to the picture; otherwise the picture's own size.
void BoundRequest(const D3DCAPS8& caps, const D3DXIMAGE_INFO& picture, uint32_t* width, uint32_t* height) {
    const uint64_t w = *width, h = *height;
    const bool fits = w <= caps.MaxTextureWidth && h <= caps.MaxTextureHeight && w <= kMostGrowth * picture.Width &&
                      h <= kMostGrowth * picture.Height && w * h <= kImageMaxPixels;
    if (fits) return;
    *width = picture.Width;
    *height = picture.Height;
}

// Writes a level as it is stored: the texture's own blocks or pixels.
HRESULT CopyLevel(PlatformTexture* texture, uint32_t level, const ImageLevel& stored) {
    D3DLOCKED_RECT locked{};
    HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (!Succeeded(result)) return result;
    const PlatformTexture::Level& l = texture->levels[level];
    const TextureFormatInfo& info = *TextureFormat_Find(texture->format);
    const uint8_t* source = info.blockSize > 1 ? stored.blocks.data() : reinterpret_cast<const uint8_t*>(stored.pixels.data());
    const size_t rowBytes = TextureFormat_Pitch(info, l.width);
    for (uint32_t row = 0; row < TextureFormat_Rows(info, l.height); ++row)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t{row} * locked.Pitch, source + row * rowBytes, rowBytes);
    return texture->UnlockRect(level);
}

// Writes a level from ARGB pixels in the texture's format.
HRESULT EncodeLevel(PlatformTexture* texture, uint32_t level, const uint32_t* pixels) {
    D3DLOCKED_RECT locked{};
    HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (!Succeeded(result)) return result;
    const PlatformTexture::Level& l = texture->levels[level];
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    if (texture->format == D3DFMT_A8R8G8B8) {
        // ARGB words are the format's own bytes: rows are copied.
        for (uint32_t row = 0; row < l.height; ++row)
            std::memcpy(bits + size_t{row} * locked.Pitch, pixels + size_t{row} * l.width, size_t{l.width} * 4);
    } else {
        TextureFormat_Encode(*TextureFormat_Find(texture->format), pixels, l.width, l.height, bits,
                             static_cast<uint32_t>(locked.Pitch), false);
    }
    return texture->UnlockRect(level);
}

// A level half the size of the one above (each side halved, or kept at 1).
bool IsHalf(uint32_t above, uint32_t side) { return above == 2 * side || (above == 1 && side == 1); }

}  // namespace

D3DFORMAT Image_ChooseTextureFormat(const ImageData& image, D3DFORMAT format) {
    const D3DFORMAT wanted = format == D3DFMT_UNKNOWN || format == D3DX_DEFAULT ? image.info.Format : format;
    if (TextureFormat_Find(wanted) != nullptr) return wanted;
    return image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

HRESULT Image_FillTexture(PlatformTexture* texture, const ImageData& image) {
    // The level above as ARGB pixels, for the level below: the image's own
    // pixels where it stores them so, else a level made here.
    std::vector<uint32_t> made;
    const uint32_t* above = nullptr;
    uint32_t aboveWidth = 0, aboveHeight = 0;
    const uint32_t count = texture->GetLevelCount();
    for (uint32_t i = 0; i < count; ++i) {
        const PlatformTexture::Level& l = texture->levels[i];
        const ImageLevel* stored = nullptr;
        size_t storedIndex = 0;
        for (size_t s = 0; s < image.levels.size(); ++s) {
            if (image.levels[s].width == l.width && image.levels[s].height == l.height) {
                stored = &image.levels[s];
                storedIndex = s;
                break;
            }
        }
        const bool copied = stored != nullptr && image.storage == texture->format;
        const uint32_t* pixels = nullptr;
        std::vector<uint32_t> level;
        if (stored != nullptr && image.storage == D3DFMT_A8R8G8B8) {
            pixels = stored->pixels.data();
        } else if (stored != nullptr) {
            // Blocks copied as they are need pixels only for a level below.
            if (!copied || i + 1 < count) level = Image_LevelPixels(image, storedIndex);
        } else if (i == 0) {
            const std::vector<uint32_t> top = Image_LevelPixels(image, 0);
            level = Image_Resize(top.data(), image.levels[0].width, image.levels[0].height, l.width, l.height);
        } else if (IsHalf(aboveWidth, l.width) && IsHalf(aboveHeight, l.height)) {
            // The usual chain: the 2x2 box filter, the same average as a resize to half.
            level = Image_NextMip(above, aboveWidth, aboveHeight);
        } else {
            level = Image_Resize(above, aboveWidth, aboveHeight, l.width, l.height);
        }
        if (pixels == nullptr) pixels = level.data();
        const HRESULT result = copied ? CopyLevel(texture, i, *stored) : EncodeLevel(texture, i, pixels);
        if (!Succeeded(result)) return result;
        if (!level.empty()) {
            made = std::move(level);
            pixels = made.data();
        }
        above = pixels;
        aboveWidth = l.width;
        aboveHeight = l.height;
    }
    return D3D_OK;
}

HRESULT Image_CreateTextureFromMemory(PlatformDevice* device, const void* data, size_t size, uint32_t width,
                                      uint32_t height, uint32_t mipLevels, D3DFORMAT format, D3DPOOL pool,
                                      D3DXIMAGE_INFO* info, PlatformTexture** texture, std::string* error) {
    if (texture == nullptr || device == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    // The decoder need not keep more of the picture than the texture asked for.
    ImageNeed need;
    if (Given(width) && Given(height) && width <= caps.MaxTextureWidth && height <= caps.MaxTextureHeight)
        need = ImageNeed{width, height};
    ImageData image;
    if (!Image_Decode(data, size, &image, error, need)) return D3DXERR_INVALIDDATA;
    if (info != nullptr) *info = image.info;
    uint32_t w = Given(width) ? width : image.info.Width;
    uint32_t h = Given(height) ? height : image.info.Height;
    BoundRequest(caps, image.info, &w, &h);
    const uint32_t levels = Given(mipLevels) ? std::min(mipLevels, Image_FullMipCount(w, h)) : 0;
    PlatformTexture* made = nullptr;
    HRESULT result =
        device->CreateTexture(w, h, levels, 0, Image_ChooseTextureFormat(image, format), pool, &made);
    if (Succeeded(result)) result = Image_FillTexture(made, image);
    if (!Succeeded(result)) {
        if (made != nullptr) made->Release();
        *error = std::string("texture creation failed: ") + Image_GetErrorName(result);
        return result;
    }
    *texture = made;
    return D3D_OK;
}

const char* Image_GetErrorName(HRESULT result) {
    return result == D3DXERR_INVALIDDATA ? "D3DXERR_INVALIDDATA" : Graphics_GetErrorName(result);
}
