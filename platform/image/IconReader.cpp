#include "platform/image/IconReader.h"

#include "platform/image/ByteReader.h"
#include "platform/image/Image.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kDirectorySize = 6;
constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint8_t kPngSignature[4] = {0x89, 'P', 'N', 'G'};

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A picture stored as a BMP information header: its colour rows read as a
// BMP file of half the header's height (the mask takes the other half),
// then the mask applied.
bool DecodeDib(const uint8_t* data, size_t size, IconPicture* picture, std::string* error) {
    ByteReader in(data, size);
    const uint32_t headerSize = in.U32();
    const int32_t width = in.I32();
    const int32_t doubledHeight = in.I32();
    in.U16();
    const uint32_t bits = in.U16();
    const uint32_t compression = in.U32();
    if (in.Failed() || headerSize < kInfoHeaderSize || headerSize > size) return Fail(error, "icon header truncated");
    if (width <= 0 || doubledHeight <= 0 || doubledHeight % 2 != 0 || compression != 0)
        return Fail(error, "unsupported icon picture");
    const uint32_t height = static_cast<uint32_t>(doubledHeight / 2);

    // 32-bit rows carry alpha: read them as a BMP with an alpha mask.
    const bool alpha = bits == 32;
    const size_t masks = alpha ? 16 : 0;
    std::vector<uint8_t> bmp(14 + kInfoHeaderSize + masks);
    bmp[0] = 'B';
    bmp[1] = 'M';
    std::memcpy(bmp.data() + 14, data, kInfoHeaderSize);
    Put32(bmp, 14, kInfoHeaderSize);
    Put32(bmp, 14 + 8, height);
    if (alpha) {
        Put32(bmp, 14 + 16, 6);  // colour masks with alpha follow the header
        Put32(bmp, 54, 0x00FF0000u);
        Put32(bmp, 58, 0x0000FF00u);
        Put32(bmp, 62, 0x000000FFu);
        Put32(bmp, 66, 0xFF000000u);
    }
    Put16(bmp, 14 + 12, 1);
    bmp.insert(bmp.end(), data + headerSize, data + size);
    ImageData image;
    if (!Image_DecodeBmp(bmp.data(), bmp.size(), &image, error)) return false;

    // Where the colour rows end the mask begins; it makes pixels transparent.
    const uint64_t paletteEntries = [&]() -> uint64_t {
        if (bits > 8) return 0;
        const uint32_t used = static_cast<uint32_t>(data[32]) | data[33] << 8 | data[34] << 16 |
                              static_cast<uint32_t>(data[35]) << 24;
        return used != 0 && used < (1u << bits) ? used : (1u << bits);
    }();
    const uint64_t colourStride = (uint64_t{static_cast<uint32_t>(width)} * bits + 31) / 32 * 4;
    const uint64_t maskStride = (uint64_t{static_cast<uint32_t>(width)} + 31) / 32 * 4;
    const uint64_t maskStart = headerSize + paletteEntries * 4 + colourStride * height;
    ImageLevel& level = image.levels[0];
    bool anyAlpha = false;
    if (alpha) {
        for (uint32_t p : level.pixels) anyAlpha = anyAlpha || (p >> 24) != 0;
    }
    if (!anyAlpha) {
        for (uint32_t& p : level.pixels) p |= 0xFF000000u;
    }
    if (!anyAlpha && maskStart + maskStride * height <= size) {
        for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
            const uint8_t* mask = data + maskStart + maskStride * fileRow;
            uint32_t* row = level.pixels.data() + static_cast<size_t>(height - 1 - fileRow) * level.width;
            for (uint32_t x = 0; x < level.width; ++x) {
                if ((mask[x / 8] >> (7 - x % 8)) & 1) row[x] &= 0x00FFFFFFu;
            }
        }
    }
    picture->width = level.width;
    picture->height = level.height;
    picture->pixels = std::move(level.pixels);
    return true;
}

}  // namespace

bool Image_DecodeIcon(const uint8_t* data, size_t size, uint32_t wantedSize, IconPicture* picture, std::string* error) {
    ByteReader in(data, size);
    const uint16_t reserved = in.U16();
    const uint16_t type = in.U16();
    const uint16_t count = in.U16();
    if (in.Failed() || reserved != 0 || (type != 1 && type != 2) || count == 0)
        return Fail(error, "not an icon or cursor file");
    if (uint64_t{count} * kEntrySize > in.Remaining()) return Fail(error, "icon directory truncated");

    // The entry nearest the size asked for.
    size_t chosen = 0;
    uint32_t chosenDistance = UINT32_MAX;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kDirectorySize + i * kEntrySize;
        const uint32_t side = entry[0] == 0 ? 256 : entry[0];
        const uint32_t distance = static_cast<uint32_t>(std::abs(static_cast<int>(side) - static_cast<int>(wantedSize)));
        if (distance < chosenDistance) {
            chosen = i;
            chosenDistance = distance;
        }
    }
    ByteReader entry(data + kDirectorySize + chosen * kEntrySize, kEntrySize);
    entry.Skip(4);
    const uint16_t hotspotX = entry.U16();
    const uint16_t hotspotY = entry.U16();
    const uint32_t bytes = entry.U32();
    const uint32_t offset = entry.U32();
    if (offset > size || bytes > size - offset || bytes < 8) return Fail(error, "icon picture outside the file");

    const uint8_t* image = data + offset;
    if (std::memcmp(image, kPngSignature, sizeof kPngSignature) == 0) {
        ImageData png;
        if (!Image_DecodePng(image, bytes, &png, error)) return false;
        picture->width = png.levels[0].width;
        picture->height = png.levels[0].height;
        picture->pixels = std::move(png.levels[0].pixels);
    } else if (!DecodeDib(image, bytes, picture, error)) {
        return false;
    }
    picture->cursor = type == 2;
    picture->hotspotX = picture->cursor ? hotspotX : 0;
    picture->hotspotY = picture->cursor ? hotspotY : 0;
    return true;
}
