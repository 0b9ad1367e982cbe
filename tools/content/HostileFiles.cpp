#include "tools/content/HostileFiles.h"

#include "platform/image/ImageEncode.h"
#include "tools/content/ImageWriter.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::vector<uint8_t> HostileFile_RleBmp(uint32_t width, uint32_t height) {
    constexpr uint32_t kHeaders = 14 + 40, kPalette = 256 * 4;
    const uint8_t pixels[] = {0, 1};  // the end of the picture
    std::vector<uint8_t> file{'B', 'M'};
    Put32(file, kHeaders + kPalette + sizeof pixels);
    Put32(file, 0);
    Put32(file, kHeaders + kPalette);
    Put32(file, 40);
    Put32(file, width);
    Put32(file, height);
    Put16(file, 1);
    Put16(file, 8);
    Put32(file, 1);  // BI_RLE8
    Put32(file, sizeof pixels);
    for (int i = 0; i < 4; ++i) Put32(file, 0);  // resolution, colours used and important
    for (uint32_t i = 0; i < 256; ++i) Put32(file, i * 0x010101u);
    file.insert(file.end(), pixels, pixels + sizeof pixels);
    return file;
}

std::vector<uint8_t> HostileFile_RleTga(uint32_t width, uint32_t height) {
    std::vector<uint8_t> file{0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // run-length grey
    Put16(file, width);
    Put16(file, height);
    file.push_back(8);
    file.push_back(0);
    const uint64_t packets = (uint64_t{width} * height + 127) / 128;
    file.reserve(file.size() + packets * 2);
    for (uint64_t i = 0; i < packets; ++i) {
        file.push_back(0xFF);  // a run of 128
        file.push_back(static_cast<uint8_t>(i));
    }
    return file;
}

std::vector<uint8_t> HostileFile_BlankPng(uint32_t width, uint32_t height) {
    std::vector<uint8_t> file;
    if (!Image_EncodeBlankPng(width, height, &file)) file.clear();
    return file;
}

std::vector<uint8_t> HostileFile_ShortJpeg(uint32_t width, uint32_t height) {
    const std::vector<uint32_t> pixels(16 * 16, 0xFF808080u);
    std::vector<uint8_t> file = ImageWriter_Jpeg(pixels.data(), 16, 16, 75, true);
    // The baseline frame header: marker, length, precision, then height and width, big-endian.
    for (size_t i = 0; i + 9 < file.size(); ++i) {
        if (file[i] != 0xFF || file[i + 1] != 0xC0) continue;
        file[i + 5] = static_cast<uint8_t>(height >> 8);
        file[i + 6] = static_cast<uint8_t>(height);
        file[i + 7] = static_cast<uint8_t>(width >> 8);
        file[i + 8] = static_cast<uint8_t>(width);
        return file;
    }
    return {};
}

std::vector<uint8_t> HostileFile_Dds(uint32_t width, uint32_t height) {
    const std::vector<uint32_t> pixels(16 * 16, 0xFF336699u);
    DdsWriteOptions options;
    options.format = D3DFMT_DXT1;
    std::vector<uint8_t> file = ImageWriter_Dds(pixels.data(), 16, 16, options);
    // Height and width follow the magic, the header size and its flags.
    for (uint32_t i = 0; i < 4; ++i) {
        file[12 + i] = static_cast<uint8_t>(height >> (8 * i));
        file[16 + i] = static_cast<uint8_t>(width >> (8 * i));
    }
    return file;
}
