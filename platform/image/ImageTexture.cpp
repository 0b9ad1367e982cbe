#include "platform/image/ImageTexture.h"

#include "platform/graphics/TextureFormats.h"
#include "platform/image/ImageFilter.h"

#include <cstring>

namespace {

bool Given(uint32_t value) { return value != 0 && value != D3DX_DEFAULT; }

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
HRESULT EncodeLevel(PlatformTexture* texture, uint32_t level, const std::vector<uint32_t>& pixels) {
    D3DLOCKED_RECT locked{};
    HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (!Succeeded(result)) return result;
    const PlatformTexture::Level& l = texture->levels[level];
    TextureFormat_Encode(*TextureFormat_Find(texture->format), pixels.data(), l.width, l.height,
                         static_cast<uint8_t*>(locked.pBits), static_cast<uint32_t>(locked.Pitch), false);
    return texture->UnlockRect(level);
}

}  // namespace

D3DFORMAT Image_ChooseTextureFormat(const ImageData& image, D3DFORMAT format) {
    const D3DFORMAT wanted = format == D3DFMT_UNKNOWN || format == D3DX_DEFAULT ? image.info.Format : format;
    if (TextureFormat_Find(wanted) != nullptr) return wanted;
    return image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

HRESULT Image_FillTexture(PlatformTexture* texture, const ImageData& image) {
    // The level above, as pixels, while the next one may need it.
    std::vector<uint32_t> above;
    uint32_t aboveWidth = 0, aboveHeight = 0;
    for (uint32_t i = 0; i < texture->GetLevelCount(); ++i) {
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
        HRESULT result;
        if (stored != nullptr && image.storage == texture->format) {
            // Stored in the texture's own format: copied unchanged.
            result = CopyLevel(texture, i, *stored);
            above.clear();
            if (i + 1 < texture->GetLevelCount()) above = Image_LevelPixels(image, storedIndex);
        } else {
            std::vector<uint32_t> pixels;
            if (stored != nullptr) {
                pixels = Image_LevelPixels(image, storedIndex);
            } else if (i == 0) {
                const std::vector<uint32_t> top = Image_LevelPixels(image, 0);
                pixels = Image_Resize(top.data(), image.levels[0].width, image.levels[0].height, l.width, l.height);
            } else {
                pixels = Image_Resize(above.data(), aboveWidth, aboveHeight, l.width, l.height);
            }
            result = EncodeLevel(texture, i, pixels);
            above = std::move(pixels);
        }
        if (!Succeeded(result)) return result;
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
    ImageData image;
    if (!Image_Decode(data, size, &image, error)) return D3DXERR_INVALIDDATA;
    if (info != nullptr) *info = image.info;
    const uint32_t w = Given(width) ? width : image.info.Width;
    const uint32_t h = Given(height) ? height : image.info.Height;
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
