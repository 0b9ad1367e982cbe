#pragma once
// Textures made from image files held in memory, as the engine's still
// textures need them: the file decoded, scaled to the asked size, converted
// to the asked format and given its mip chain, in one call.

#include "platform/graphics/GraphicsDevice.h"
#include "platform/image/Image.h"

#include <string>

// A width, height, level count or format of this value takes the file's own.
constexpr uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;
// The result for a file that does not decode.
constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

// A texture of width x height (0 or D3DX_DEFAULT: the file's size) with
// mipLevels levels (0 or D3DX_DEFAULT: the full chain) in format
// (D3DFMT_UNKNOWN: the file's own). A format the device cannot hold becomes
// A8R8G8B8, or X8R8G8B8 for an image without alpha. Stored mip levels of the
// right size are used as they are; the others are filtered from the level
// above. info receives what the file says about itself. On failure the
// texture is null and error holds the reason.
HRESULT Image_CreateTextureFromMemory(PlatformDevice* device, const void* data, size_t size, uint32_t width,
                                      uint32_t height, uint32_t mipLevels, D3DFORMAT format, D3DPOOL pool,
                                      D3DXIMAGE_INFO* info, PlatformTexture** texture, std::string* error);

// The format a texture of this image is made in when format is asked for.
D3DFORMAT Image_ChooseTextureFormat(const ImageData& image, D3DFORMAT format);

// Writes every level of the texture from the image, as above.
HRESULT Image_FillTexture(PlatformTexture* texture, const ImageData& image);

// The name of a result code, the image results included.
const char* Image_GetErrorName(HRESULT result);
