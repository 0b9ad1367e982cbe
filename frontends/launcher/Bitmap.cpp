#include "frontends/launcher/Bitmap.h"

#include "frontends/common/Paths.h"
#include "platform/shell/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr uint16_t kBmpType = 0x4D42;  // "BM"
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxPaletteEntries = 256;
// Menu pictures are a screen or less; anything larger is a damaged header.
constexpr int32_t kMaxSide = 16384;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool ReadExactly(std::FILE* f, void* buffer, size_t bytes) { return std::fread(buffer, 1, bytes, f) == bytes; }

}  // namespace

bool CQVBitmap::SetInfo(const BitmapInfoHeader& header) {
    if (header.width <= 0 || header.height <= 0 || header.width > kMaxSide || header.height > kMaxSide ||
        header.colorsUsed > kMaxPaletteEntries)
        return false;
    m_Info = header;
    m_PaletteEntries = header.colorsUsed != 0 ? header.colorsUsed : kMaxPaletteEntries;
    m_Palette.assign(m_PaletteEntries, 0);
    m_Stride = ((static_cast<size_t>(header.bitCount) * static_cast<size_t>(header.width) + 31) & ~size_t{31}) / 8;
    m_HasInfo = true;
    return true;
}

bool CQVBitmap::AllocBits() {
    if (!m_HasInfo || m_Stride == 0) return false;
    m_Bits.assign(m_Stride * static_cast<size_t>(m_Info.height), 0);
    return true;
}

bool CQVBitmap::LoadFromFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(Frontend_OpenFile(path));
    return file && LoadFromStream(file.get());
}

bool CQVBitmap::LoadFromStream(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    if (end < 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
    uint64_t remaining = static_cast<uint64_t>(end);

    uint8_t fileHeader[kFileHeaderSize];
    uint8_t info[kInfoHeaderSize];
    if (!ReadExactly(f, fileHeader, sizeof fileHeader) || U16(fileHeader) != kBmpType) return false;
    if (!ReadExactly(f, info, sizeof info)) return false;
    remaining -= kFileHeaderSize + kInfoHeaderSize;

    BitmapInfoHeader header;
    header.size = U32(info);
    header.width = static_cast<int32_t>(U32(info + 4));
    header.height = static_cast<int32_t>(U32(info + 8));
    header.planes = U16(info + 12);
    header.bitCount = U16(info + 14);
    header.compression = U32(info + 16);
    header.sizeImage = U32(info + 20);
    header.xPelsPerMeter = static_cast<int32_t>(U32(info + 24));
    header.yPelsPerMeter = static_cast<int32_t>(U32(info + 28));
    header.colorsUsed = U32(info + 32);
    header.colorsImportant = U32(info + 36);
    // The pixels are read right after the header and palette: only the
    // plain 40-byte header, uncompressed rows and 8 or 24 bits read right.
    if (header.size != kInfoHeaderSize || header.compression != 0) return false;
    if (header.bitCount != 8 && header.bitCount != 24) return false;
    if (!SetInfo(header)) return false;

    if (header.bitCount == 8) {
        const uint64_t paletteBytes = uint64_t{m_PaletteEntries} * 4;
        if (paletteBytes > remaining) return false;
        std::vector<uint8_t> palette(static_cast<size_t>(paletteBytes));
        if (!ReadExactly(f, palette.data(), palette.size())) return false;
        for (uint32_t i = 0; i < m_PaletteEntries; ++i) m_Palette[i] = U32(palette.data() + i * 4) & 0xFFFFFFu;
        remaining -= paletteBytes;
    }
    // The rows must all be there before anything is allocated for them.
    if (static_cast<uint64_t>(m_Stride) * static_cast<uint64_t>(header.height) > remaining) return false;
    if (!AllocBits()) return false;
    // The file's first row (the bottom one) goes last in memory.
    for (int32_t row = 0; row < header.height; ++row) {
        uint8_t* target = m_Bits.data() + static_cast<size_t>(header.height - 1 - row) * m_Stride;
        if (!ReadExactly(f, target, m_Stride)) {
            m_Bits.clear();
            return false;
        }
    }
    return true;
}

bool CQVBitmap::CreateFrom(const CQVBitmap* other) {
    if (other == nullptr || !other->m_HasInfo) return false;
    // The composition picture is always 24-bit, whatever the background's
    // depth, so every picture can be copied into it.
    BitmapInfoHeader header = other->m_Info;
    header.bitCount = 24;
    header.colorsUsed = 0;
    header.colorsImportant = 0;
    header.sizeImage = 0;
    return SetInfo(header) && AllocBits();
}

void CQVBitmap::DrawTo(CQVBitmap* target, int x, int y) const {
    if (target == nullptr || m_Bits.empty() || target->m_Bits.empty() || target->m_Info.bitCount != 24) return;
    const int width = m_Info.width, height = m_Info.height;
    const int targetWidth = target->m_Info.width, targetHeight = target->m_Info.height;
    const int x0 = std::max(x, 0), x1 = std::min(x + width, targetWidth);
    if (x0 >= x1) return;
    for (int row = 0; row < height; ++row) {
        const int targetRow = targetHeight - y - 1 - row;
        if (targetRow < 0 || targetRow >= targetHeight) continue;
        const uint8_t* source = GetRow(row);
        uint8_t* out = target->m_Bits.data() + static_cast<size_t>(targetRow) * target->m_Stride;
        if (m_Info.bitCount == 24) {
            std::memcpy(out + static_cast<size_t>(x0) * 3, source + static_cast<size_t>(x0 - x) * 3,
                        static_cast<size_t>(x1 - x0) * 3);
            continue;
        }
        for (int column = x0; column < x1; ++column) {
            const uint8_t index = source[column - x];
            const uint32_t colour = index < m_PaletteEntries ? m_Palette[index] : 0;
            uint8_t* p = out + static_cast<size_t>(column) * 3;
            p[0] = static_cast<uint8_t>(colour);
            p[1] = static_cast<uint8_t>(colour >> 8);
            p[2] = static_cast<uint8_t>(colour >> 16);
        }
    }
}

bool CQVBitmap::Draw(PlatformCanvas* canvas, int x, int y) const {
    if (canvas == nullptr || m_Bits.empty() || m_Info.bitCount != 24) return false;
    canvas->DrawBgr(x, y, m_Info.width, m_Info.height, m_Bits.data(), m_Stride, true);
    return true;
}
