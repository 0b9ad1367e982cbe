#include "platform/graphics/TextureFormats.h"

#include "platform/graphics/GLFunctions.h"
#include "platform/graphics/GraphicsDevice.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace glfn;

namespace {

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
void Store16(uint8_t* p, uint32_t v) {
    const uint16_t h = static_cast<uint16_t>(v);
    std::memcpy(p, &h, 2);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
uint32_t A(uint32_t c) { return c >> 24; }
uint32_t R(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t G(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t B(uint32_t c) { return c & 0xFF; }

// Channels of fewer bits widen by repeating their high bits, which is how
// GL reads them too; they narrow by rounding.
uint32_t Widen(uint32_t v, uint32_t bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); }
uint32_t Narrow(uint32_t c, uint32_t bits) { return (c * ((1u << bits) - 1) + 127) / 255; }
uint32_t Widen4(uint32_t v) { return v * 17; }

// Texel formats.
void DecodeA8R8G8B8(const uint8_t* in, uint32_t* out) { *out = Load32(in); }
void EncodeA8R8G8B8(const uint32_t* in, uint8_t* out) { std::memcpy(out, in, 4); }
// The unused bits of formats without alpha read and write as set.
void DecodeX8R8G8B8(const uint8_t* in, uint32_t* out) { *out = Load32(in) | 0xFF000000u; }
void EncodeX8R8G8B8(const uint32_t* in, uint8_t* out) {
    const uint32_t v = *in | 0xFF000000u;
    std::memcpy(out, &v, 4);
}
void DecodeR8G8B8(const uint8_t* in, uint32_t* out) { *out = Argb(255, in[2], in[1], in[0]); }
void EncodeR8G8B8(const uint32_t* in, uint8_t* out) {
    out[0] = static_cast<uint8_t>(B(*in));
    out[1] = static_cast<uint8_t>(G(*in));
    out[2] = static_cast<uint8_t>(R(*in));
}
void DecodeR5G6B5(const uint8_t* in, uint32_t* out) {
    const uint32_t v = Load16(in);
    *out = Argb(255, Widen(v >> 11, 5), Widen((v >> 5) & 63, 6), Widen(v & 31, 5));
}
void EncodeR5G6B5(const uint32_t* in, uint8_t* out) {
    Store16(out, Narrow(R(*in), 5) << 11 | Narrow(G(*in), 6) << 5 | Narrow(B(*in), 5));
}
uint32_t Decode555(uint32_t v, uint32_t alpha) {
    return Argb(alpha, Widen((v >> 10) & 31, 5), Widen((v >> 5) & 31, 5), Widen(v & 31, 5));
}
uint32_t Encode555(uint32_t c) { return Narrow(R(c), 5) << 10 | Narrow(G(c), 5) << 5 | Narrow(B(c), 5); }
void DecodeX1R5G5B5(const uint8_t* in, uint32_t* out) { *out = Decode555(Load16(in), 255); }
void EncodeX1R5G5B5(const uint32_t* in, uint8_t* out) { Store16(out, 0x8000u | Encode555(*in)); }
void DecodeA1R5G5B5(const uint8_t* in, uint32_t* out) {
    const uint32_t v = Load16(in);
    *out = Decode555(v, (v & 0x8000) ? 255 : 0);
}
void EncodeA1R5G5B5(const uint32_t* in, uint8_t* out) { Store16(out, (A(*in) >= 128 ? 0x8000u : 0) | Encode555(*in)); }
void DecodeA4R4G4B4(const uint8_t* in, uint32_t* out) {
    const uint32_t v = Load16(in);
    *out = Argb(Widen4(v >> 12), Widen4((v >> 8) & 15), Widen4((v >> 4) & 15), Widen4(v & 15));
}
uint32_t Encode444(uint32_t c) { return Narrow(R(c), 4) << 8 | Narrow(G(c), 4) << 4 | Narrow(B(c), 4); }
void EncodeA4R4G4B4(const uint32_t* in, uint8_t* out) { Store16(out, Narrow(A(*in), 4) << 12 | Encode444(*in)); }
void DecodeX4R4G4B4(const uint8_t* in, uint32_t* out) {
    DecodeA4R4G4B4(in, out);
    *out |= 0xFF000000u;
}
void EncodeX4R4G4B4(const uint32_t* in, uint8_t* out) { Store16(out, 0xF000u | Encode444(*in)); }
void DecodeA8(const uint8_t* in, uint32_t* out) { *out = static_cast<uint32_t>(in[0]) << 24; }
void EncodeA8(const uint32_t* in, uint8_t* out) { out[0] = static_cast<uint8_t>(A(*in)); }
// Luminance is the mean of the three channels.
uint32_t Luminance(uint32_t c) { return (R(c) + G(c) + B(c) + 1) / 3; }
void DecodeL8(const uint8_t* in, uint32_t* out) { *out = Argb(255, in[0], in[0], in[0]); }
void EncodeL8(const uint32_t* in, uint8_t* out) { out[0] = static_cast<uint8_t>(Luminance(*in)); }
void DecodeA8L8(const uint8_t* in, uint32_t* out) { *out = Argb(in[1], in[0], in[0], in[0]); }
void EncodeA8L8(const uint32_t* in, uint8_t* out) {
    out[0] = static_cast<uint8_t>(Luminance(*in));
    out[1] = static_cast<uint8_t>(A(*in));
}

// DXT colour block: two 5:6:5 end points and sixteen 2-bit indices. The
// four-colour palette interpolates thirds; with the first end point not
// above the second (DXT1 only) the palette has the midpoint and transparent
// black instead.
uint32_t Expand565(uint32_t v) { return Argb(255, Widen(v >> 11, 5), Widen((v >> 5) & 63, 6), Widen(v & 31, 5)); }

void ColorPalette(uint32_t c0, uint32_t c1, bool fourColors, uint32_t palette[4]) {
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    auto mix = [&](uint32_t wa, uint32_t wb, uint32_t d) {
        const uint32_t a = palette[0], b = palette[1];
        return Argb(255, (R(a) * wa + R(b) * wb) / d, (G(a) * wa + G(b) * wb) / d, (B(a) * wa + B(b) * wb) / d);
    };
    if (fourColors || c0 > c1) {
        palette[2] = mix(2, 1, 3);
        palette[3] = mix(1, 2, 3);
    } else {
        palette[2] = mix(1, 1, 2);
        palette[3] = 0;
    }
}

void DecodeColorBlock(const uint8_t* in, bool fourColors, uint32_t* out) {
    uint32_t palette[4];
    ColorPalette(Load16(in), Load16(in + 2), fourColors, palette);
    const uint32_t indices = Load32(in + 4);
    for (uint32_t i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

uint32_t Distance(uint32_t a, uint32_t b) {
    const int dr = static_cast<int>(R(a)) - static_cast<int>(R(b));
    const int dg = static_cast<int>(G(a)) - static_cast<int>(G(b));
    const int db = static_cast<int>(B(a)) - static_cast<int>(B(b));
    return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

// End points span the colour box of the block (of its opaque texels when
// transparent ones need the DXT1 three-colour palette), along the diagonal
// that follows the block's colours: a channel that falls while the widest
// one rises has its ends swapped. Each texel takes the nearest entry.
void EncodeColorBlock(const uint32_t* in, bool allowTransparent, uint8_t* out) {
    bool transparent = false;
    uint32_t lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    int sum[3] = {0, 0, 0}, count = 0;
    for (uint32_t i = 0; i < 16; ++i) {
        if (allowTransparent && A(in[i]) < 128) {
            transparent = true;
            continue;
        }
        const uint32_t c[3] = {R(in[i]), G(in[i]), B(in[i])};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], c[k]);
            hi[k] = std::max(hi[k], c[k]);
            sum[k] += static_cast<int>(c[k]);
        }
        ++count;
    }
    if (count == 0) lo[0] = lo[1] = lo[2] = hi[0] = hi[1] = hi[2] = 0;  // every texel transparent
    int widest = 0;
    for (int k = 1; k < 3; ++k)
        if (hi[k] - lo[k] > hi[widest] - lo[widest]) widest = k;
    int covariance[3] = {0, 0, 0};
    for (uint32_t i = 0; i < 16 && count > 0; ++i) {
        if (allowTransparent && A(in[i]) < 128) continue;
        const int c[3] = {static_cast<int>(R(in[i])), static_cast<int>(G(in[i])), static_cast<int>(B(in[i]))};
        for (int k = 0; k < 3; ++k)
            covariance[k] += (c[k] * count - sum[k]) * (c[widest] * count - sum[widest]) / (count * count);
    }
    for (int k = 0; k < 3; ++k)
        if (covariance[k] < 0) std::swap(lo[k], hi[k]);
    uint32_t c0 = Narrow(hi[0], 5) << 11 | Narrow(hi[1], 6) << 5 | Narrow(hi[2], 5);
    uint32_t c1 = Narrow(lo[0], 5) << 11 | Narrow(lo[1], 6) << 5 | Narrow(lo[2], 5);
    // The four-colour palette needs c0 above c1; the three-colour one the reverse.
    if (transparent ? c0 > c1 : c0 < c1) std::swap(c0, c1);
    const bool fourColors = !transparent;
    uint32_t palette[4];
    ColorPalette(c0, c1, fourColors, palette);
    uint32_t indices = 0;
    for (uint32_t i = 0; i < 16; ++i) {
        uint32_t best = 0;
        if (transparent && A(in[i]) < 128) {
            best = 3;
        } else {
            uint32_t bestDistance = 0xFFFFFFFFu;
            for (uint32_t k = 0; k < (fourColors ? 4u : 3u); ++k) {
                const uint32_t d = Distance(in[i], palette[k]);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = k;
                }
            }
        }
        indices |= best << (2 * i);
    }
    Store16(out, c0);
    Store16(out + 2, c1);
    std::memcpy(out + 4, &indices, 4);
}

void DecodeDxt1(const uint8_t* in, uint32_t* out) { DecodeColorBlock(in, false, out); }
void EncodeDxt1(const uint32_t* in, uint8_t* out) { EncodeColorBlock(in, true, out); }

// DXT2 and DXT3: sixteen explicit 4-bit alphas, then a four-colour block.
void DecodeDxt3(const uint8_t* in, uint32_t* out) {
    DecodeColorBlock(in + 8, true, out);
    for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t a = (in[i / 2] >> (4 * (i & 1))) & 15;
        out[i] = (out[i] & 0xFFFFFFu) | Widen4(a) << 24;
    }
}
void EncodeDxt3(const uint32_t* in, uint8_t* out) {
    std::memset(out, 0, 8);
    for (uint32_t i = 0; i < 16; ++i) out[i / 2] |= static_cast<uint8_t>(Narrow(A(in[i]), 4) << (4 * (i & 1)));
    EncodeColorBlock(in, false, out + 8);
}

// DXT4 and DXT5: two alpha end points and sixteen 3-bit indices into eight
// alphas (the first end point above the second) or six alphas, 0 and 255.
void AlphaPalette(uint32_t a0, uint32_t a1, uint32_t palette[8]) {
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) palette[i + 1] = (a0 * (7 - i) + a1 * i) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i) palette[i + 1] = (a0 * (5 - i) + a1 * i) / 5;
        palette[6] = 0;
        palette[7] = 255;
    }
}

void DecodeDxt5(const uint8_t* in, uint32_t* out) {
    DecodeColorBlock(in + 8, true, out);
    uint32_t palette[8];
    AlphaPalette(in[0], in[1], palette);
    uint64_t indices = 0;
    for (int i = 0; i < 6; ++i) indices |= static_cast<uint64_t>(in[2 + i]) << (8 * i);
    for (uint32_t i = 0; i < 16; ++i) out[i] = (out[i] & 0xFFFFFFu) | palette[(indices >> (3 * i)) & 7] << 24;
}
void EncodeDxt5(const uint32_t* in, uint8_t* out) {
    uint32_t lo = 255, hi = 0;
    for (uint32_t i = 0; i < 16; ++i) {
        lo = std::min(lo, A(in[i]));
        hi = std::max(hi, A(in[i]));
    }
    // Eight interpolated alphas; a flat block uses its one value.
    uint32_t palette[8];
    const uint32_t a0 = hi, a1 = lo;
    AlphaPalette(a0, a1, palette);
    uint64_t indices = 0;
    for (uint32_t i = 0; i < 16; ++i) {
        uint32_t best = 0, bestDistance = 0xFFFFFFFFu;
        for (uint32_t k = 0; k < 8; ++k) {
            const uint32_t d = static_cast<uint32_t>(std::abs(static_cast<int>(A(in[i])) - static_cast<int>(palette[k])));
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
            }
        }
        indices |= static_cast<uint64_t>(best) << (3 * i);
    }
    out[0] = static_cast<uint8_t>(a0);
    out[1] = static_cast<uint8_t>(a1);
    for (int i = 0; i < 6; ++i) out[2 + i] = static_cast<uint8_t>(indices >> (8 * i));
    EncodeColorBlock(in, false, out + 8);
}

constexpr GLenum kDxt1 = 0x83F1, kDxt3 = 0x83F2, kDxt5 = 0x83F3;  // the S3TC formats of GL

const TextureFormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, 1, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {}, DecodeA8R8G8B8, EncodeA8R8G8B8, false},
    // Formats without alpha read alpha as 1, in sampling and in blending.
    {D3DFMT_X8R8G8B8, 4, 1, GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, {}, DecodeX8R8G8B8, EncodeX8R8G8B8, false},
    {D3DFMT_R8G8B8, 3, 1, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {}, DecodeR8G8B8, EncodeR8G8B8, false},
    {D3DFMT_R5G6B5, 2, 1, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {}, DecodeR5G6B5, EncodeR5G6B5, false},
    {D3DFMT_X1R5G5B5, 2, 1, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {}, DecodeX1R5G5B5, EncodeX1R5G5B5, false},
    {D3DFMT_A1R5G5B5, 2, 1, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {}, DecodeA1R5G5B5, EncodeA1R5G5B5, false},
    {D3DFMT_A4R4G4B4, 2, 1, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {}, DecodeA4R4G4B4, EncodeA4R4G4B4, false},
    {D3DFMT_X4R4G4B4, 2, 1, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {}, DecodeX4R4G4B4, EncodeX4R4G4B4, false},
    {D3DFMT_A8, 1, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, DecodeA8, EncodeA8, false},
    {D3DFMT_L8, 1, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, DecodeL8, EncodeL8, false},
    {D3DFMT_A8L8, 2, 1, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}, DecodeA8L8, EncodeA8L8, false},
    // DXT2 and DXT4 lay out their blocks as DXT3 and DXT5 do; their colour
    // is stored premultiplied and sampled as stored.
    {D3DFMT_DXT1, 8, 4, kDxt1, 0, 0, {}, DecodeDxt1, EncodeDxt1, false},
    {D3DFMT_DXT2, 16, 4, kDxt3, 0, 0, {}, DecodeDxt3, EncodeDxt3, true},
    {D3DFMT_DXT3, 16, 4, kDxt3, 0, 0, {}, DecodeDxt3, EncodeDxt3, false},
    {D3DFMT_DXT4, 16, 4, kDxt5, 0, 0, {}, DecodeDxt5, EncodeDxt5, true},
    {D3DFMT_DXT5, 16, 4, kDxt5, 0, 0, {}, DecodeDxt5, EncodeDxt5, false},
};

uint32_t Premultiply(uint32_t c) {
    const uint32_t a = A(c);
    auto scale = [a](uint32_t v) { return (v * a + 127) / 255; };
    return Argb(a, scale(R(c)), scale(G(c)), scale(B(c)));
}

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

void TextureFormat_Encode(const TextureFormatInfo& info, const uint32_t* argb, uint32_t width, uint32_t height,
                          uint8_t* out, uint32_t pitch, bool premultiplied) {
    const bool premultiply = info.premultiplied && !premultiplied;
    if (info.blockSize == 1) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = out + static_cast<size_t>(y) * pitch;
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t c = argb[static_cast<size_t>(y) * width + x];
                if (premultiply) c = Premultiply(c);
                info.encode(&c, row + x * info.bytesPerBlock);
            }
        }
        return;
    }
    // Blocks past the right or bottom edge repeat the edge texels.
    uint32_t block[16];
    for (uint32_t by = 0; by < TextureFormat_Rows(info, height); ++by) {
        for (uint32_t bx = 0; bx * 4 < width; ++bx) {
            for (uint32_t i = 0; i < 16; ++i) {
                const uint32_t x = std::min(bx * 4 + (i & 3), width - 1), y = std::min(by * 4 + i / 4, height - 1);
                block[i] = argb[static_cast<size_t>(y) * width + x];
                if (premultiply) block[i] = Premultiply(block[i]);
            }
            info.encode(block, out + static_cast<size_t>(by) * pitch + bx * info.bytesPerBlock);
        }
    }
}

void TextureFormat_Decode(const TextureFormatInfo& info, const uint8_t* bits, uint32_t pitch, uint32_t width,
                          uint32_t height, uint32_t* argb) {
    if (info.blockSize == 1) {
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                info.decode(bits + static_cast<size_t>(y) * pitch + x * info.bytesPerBlock,
                            argb + static_cast<size_t>(y) * width + x);
        return;
    }
    uint32_t block[16];
    for (uint32_t by = 0; by * 4 < height; ++by) {
        for (uint32_t bx = 0; bx * 4 < width; ++bx) {
            info.decode(bits + static_cast<size_t>(by) * pitch + bx * info.bytesPerBlock, block);
            for (uint32_t i = 0; i < 16; ++i) {
                const uint32_t x = bx * 4 + (i & 3), y = by * 4 + i / 4;
                if (x < width && y < height) argb[static_cast<size_t>(y) * width + x] = block[i];
            }
        }
    }
}

void TextureFormat_Downsample(const uint32_t* argb, uint32_t width, uint32_t height, uint32_t* out,
                              uint32_t outWidth, uint32_t outHeight) {
    for (uint32_t y = 0; y < outHeight; ++y) {
        for (uint32_t x = 0; x < outWidth; ++x) {
            const uint32_t x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            const uint32_t y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
            const uint32_t c[4] = {argb[y0 * width + x0], argb[y0 * width + x1], argb[y1 * width + x0],
                                   argb[y1 * width + x1]};
            uint32_t result = 0;
            for (uint32_t shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 2;
                for (uint32_t k = 0; k < 4; ++k) sum += (c[k] >> shift) & 0xFF;
                result |= (sum / 4) << shift;
            }
            out[static_cast<size_t>(y) * outWidth + x] = result;
        }
    }
}

void TextureFormat_MarkWritten(RECT* written, const RECT& area) {
    if (area.right <= area.left || area.bottom <= area.top) return;
    if (written->right <= written->left || written->bottom <= written->top) {
        *written = area;
        return;
    }
    written->left = std::min(written->left, area.left);
    written->top = std::min(written->top, area.top);
    written->right = std::max(written->right, area.right);
    written->bottom = std::max(written->bottom, area.bottom);
}

void TextureFormat_Upload(PlatformTexture& texture, uint32_t level) {
    const TextureFormatInfo* info = TextureFormat_Find(texture.format);
    if (info == nullptr || texture.glTexture == 0) return;
    PlatformTexture::Level& l = texture.levels[level];
    // The part to send, clamped to the level; a level GL has never had whole
    // goes whole, so no texel of it is left undefined once it is written.
    RECT area = l.written;
    if (!l.stored) area = RECT{0, 0, static_cast<int32_t>(l.width), static_cast<int32_t>(l.height)};
    l.written = RECT{0, 0, 0, 0};
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, static_cast<int32_t>(l.width));
    area.bottom = std::min(area.bottom, static_cast<int32_t>(l.height));
    if (area.right <= area.left || area.bottom <= area.top) return;
    l.stored = true;
    // Uploads go through a texture unit that no stage samples from.
    glActiveTexture(GL_TEXTURE0 + D3D_MAX_TEXTURE_STAGES);
    glBindTexture(GL_TEXTURE_2D, texture.glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (info->blockSize > 1) {
        // Whole rows of blocks, the full width: a block row is contiguous.
        const uint32_t top = static_cast<uint32_t>(area.top) & ~3u;
        const uint32_t bottom = std::min(l.height, (static_cast<uint32_t>(area.bottom) + 3) & ~3u);
        const uint32_t rows = bottom - top;
        const uint8_t* bits = l.bits.data() + static_cast<size_t>(top / 4) * l.pitch;
        if (texture.compressed) {
            glCompressedTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, static_cast<GLint>(top),
                                      static_cast<GLsizei>(l.width), static_cast<GLsizei>(rows), info->glInternal,
                                      static_cast<GLsizei>(static_cast<size_t>((rows + 3) / 4) * l.pitch), bits);
        } else {
            // Without compressed textures in GL the blocks are expanded here.
            std::vector<uint32_t> texels(static_cast<size_t>(l.width) * rows);
            TextureFormat_Decode(*info, bits, l.pitch, l.width, rows, texels.data());
            glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, static_cast<GLint>(top),
                            static_cast<GLsizei>(l.width), static_cast<GLsizei>(rows), GL_BGRA, GL_UNSIGNED_BYTE,
                            texels.data());
        }
    } else {
        const uint8_t* bits = l.bits.data() + static_cast<size_t>(area.top) * l.pitch +
                              static_cast<size_t>(area.left) * info->bytesPerBlock;
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(l.pitch / info->bytesPerBlock));
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), area.left, area.top, area.right - area.left,
                        area.bottom - area.top, info->glFormat, info->glType, bits);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
}
