#include "platform/graphics/TextureFormats.h"

#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/GraphicsDevice.h"

#include <cstring>

using namespace glfn;

namespace {

const TextureFormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 1, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {}},
    // Formats without alpha read alpha as 1, in sampling and in blending.
    {D3DFMT_X8R8G8B8, 4, 1, GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, {}},
    {D3DFMT_R8G8B8, 3, 1, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {}},
    {D3DFMT_R5G6B5, 2, 1, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {}},
    {D3DFMT_X1R5G5B5, 2, 1, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {}},
    {D3DFMT_A1R5G5B5, 2, 1, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {}},
    {D3DFMT_A4R4G4B4, 2, 1, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {}},
    {D3DFMT_X4R4G4B4, 2, 1, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {}},
    {D3DFMT_A8, 1, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}},
    {D3DFMT_L8, 1, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}},
    {D3DFMT_A8L8, 2, 1, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}},
};

}  // namespace

const TextureFormatInfo* TextureFormat_Find(D3DFORMAT format) {
    for (const TextureFormatInfo& info : kFormats)
        if (info.format == format) return &info;
    return nullptr;
}

uint32_t TextureFormat_Pitch(const TextureFormatInfo& info, uint32_t width) {
    return (width + info.blockSize - 1) / info.blockSize * info.bytesPerBlock;
}

uint32_t TextureFormat_Rows(const TextureFormatInfo& info, uint32_t height) {
    return (height + info.blockSize - 1) / info.blockSize;
}

void TextureFormat_Upload(PlatformTexture& texture, uint32_t level) {
    const TextureFormatInfo* info = TextureFormat_Find(texture.format);
    if (info == nullptr || texture.glTexture == 0) return;
    const PlatformTexture::Level& l = texture.levels[level];
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture.glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(l.pitch / info->bytesPerBlock));
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                    static_cast<GLsizei>(l.height), info->glFormat, info->glType, l.bits.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

void TextureFormat_FromArgb(D3DFORMAT format, const uint32_t* argb, uint32_t width, uint32_t height, uint8_t* out,
                            uint32_t pitch) {
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = argb[static_cast<size_t>(y) * width + x];
            // The unused bits of formats without alpha read as set, as the
            // X byte of 32-bit pixels does.
            const bool noAlpha = format == D3DFMT_X1R5G5B5 || format == D3DFMT_X4R4G4B4;
            const uint32_t a = noAlpha ? 0xFF : p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            uint16_t v16 = 0;
            switch (format) {
            case D3DFMT_R5G6B5: v16 = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); break;
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5:
                v16 = static_cast<uint16_t>(((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                break;
            case D3DFMT_A4R4G4B4:
            case D3DFMT_X4R4G4B4:
                v16 = static_cast<uint16_t>(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
                break;
            case D3DFMT_R8G8B8:
                row[x * 3] = static_cast<uint8_t>(b);
                row[x * 3 + 1] = static_cast<uint8_t>(g);
                row[x * 3 + 2] = static_cast<uint8_t>(r);
                continue;
            default: std::memcpy(row + x * 4, &p, 4); continue;
            }
            std::memcpy(row + x * 2, &v16, 2);
        }
    }
}
