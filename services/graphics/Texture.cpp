// Still textures and what every texture record shares.

#include "services/graphics/Texture.h"

#include "kernel/base/Archive.h"
#include "platform/image/ImageTexture.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/VideoTexturePlayback.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The last diagnostic; the trace channels it was written for keep nothing.
char g_TextureError[512];

}  // namespace

void Texture_SetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_TextureError, sizeof g_TextureError, format, args);
    va_end(args);
}

const char* Texture_GetLastError() { return g_TextureError; }

CQVVideoTexture* Texture_CreateFromFile(const char* path, uint32_t width, uint32_t height, D3DFORMAT format,
                                        uint32_t mipLevels) {
    auto* record = new CQVVideoTexture{};
    // The file is read whole, in one read.
    std::vector<uint8_t> bytes;
    CQVArchive archive;
    bool read = path != nullptr && archive.Open(path, "rb");
    if (read) {
        bytes.resize(archive.GetSize());
        read = bytes.empty() || archive.Read(bytes.data(), static_cast<uint32_t>(bytes.size())) == 1;
        archive.Close();
    }
    if (!read) {
        Texture_SetError("   Texture_CreateFromFile - Open\n   %s", path != nullptr ? path : "");
        delete record;
        return nullptr;
    }
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    std::string reason;
    const HRESULT result =
        device == nullptr ? D3DERR_INVALIDCALL
                          : Image_CreateTextureFromMemory(device, bytes.data(), bytes.size(), width, height, mipLevels,
                                                          format, D3DPOOL_MANAGED, &record->sourceInfo,
                                                          &record->texture, &reason);
    if (!Succeeded(result)) {
        Texture_SetError("   Texture_CreateFromFile()\n   %s\n   %s", path, Image_GetErrorName(result));
        delete record;
        return nullptr;
    }
    record->texture->GetLevelDesc(0, &record->levelDesc);
    return record;
}

void Texture_Bind(CQVVideoTexture* texture, uint32_t stage) {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    if (device != nullptr) device->SetTexture(stage, texture != nullptr ? texture->texture : nullptr);
}

uint32_t Texture_GetWidth(CQVVideoTexture* texture) { return texture != nullptr ? texture->sourceInfo.Width : 0; }
uint32_t Texture_GetHeight(CQVVideoTexture* texture) { return texture != nullptr ? texture->sourceInfo.Height : 0; }

uint32_t Texture_AddRef(CQVVideoTexture* texture) {
    return texture != nullptr && texture->texture != nullptr ? texture->texture->AddRef() : 0;
}

void Texture_Release(CQVVideoTexture* texture) {
    if (texture == nullptr) return;
    // The movie stops and its worker ends before the texture it writes goes.
    VideoTexturePlayback_Delete(texture->playback);
    if (texture->texture != nullptr) texture->texture->Release();
    delete texture;
}

void Texture_Reset() {
    Movie_Close();
    g_TextureError[0] = '\0';
    Movie_SetClock(nullptr, nullptr);
}
