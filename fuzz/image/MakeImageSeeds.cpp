// Writes the image fuzzer's seed files: small images in every layout the
// decoders read. Usage: qv_make_image_seeds <folder>

#include "tools/content/ImageWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::vector<uint32_t> Picture(uint32_t width, uint32_t height) {
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            pixels.push_back((0x30u + x * 24) << 24 | (x * 30) << 16 | (y * 36) << 8 | ((x + y) % 3) * 100);
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_image_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const uint32_t w = 7, h = 5;
    const std::vector<uint32_t> pixels = Picture(w, h);
    const std::vector<uint32_t> square = Picture(8, 8);
    bool ok = true;
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        ok = !bytes.empty() && ImageWriter_Save((folder / name).string(), bytes) && ok;
    };
    const struct {
        const char* name;
        TgaWriteOptions options;
    } tgas[] = {
        {"tga32.tga", {32, false, false, false, false}},      {"tga32_rle_topdown.tga", {32, false, true, true, false}},
        {"tga24_mirrored.tga", {24, false, false, false, true}}, {"tga16_rle.tga", {16, false, true, false, false}},
        {"tga_grey.tga", {8, false, false, false, false}},    {"tga_palette_rle.tga", {8, true, true, false, false}},
    };
    for (const auto& t : tgas) save(t.name, ImageWriter_Tga(pixels.data(), w, h, t.options));
    const struct {
        const char* name;
        BmpWriteOptions options;
    } bmps[] = {
        {"bmp24.bmp", {24, false, false, false}}, {"bmp32_masks.bmp", {32, true, false, true}},
        {"bmp16.bmp", {16, false, false, false}}, {"bmp16_masks.bmp", {16, true, false, false}},
        {"bmp8_rle.bmp", {8, false, true, false}}, {"bmp4.bmp", {4, false, false, false}},
        {"bmp1.bmp", {1, false, false, false}},
    };
    // Palettes hold few colours: paletted layouts get a picture of two or four.
    auto fewColours = [&](uint32_t count) {
        std::vector<uint32_t> few = pixels;
        for (size_t i = 0; i < few.size(); ++i) few[i] = 0xFF000000u | (i % count) * 0x3F3F3Fu;
        return few;
    };
    const std::vector<uint32_t> four = fewColours(4), two = fewColours(2);
    for (const auto& b : bmps) {
        const uint32_t* source = b.options.bits == 1 ? two.data() : b.options.bits <= 8 ? four.data() : pixels.data();
        save(b.name, ImageWriter_Bmp(source, w, h, b.options));
    }
    const struct {
        const char* name;
        DdsWriteOptions options;
    } ddss[] = {
        {"dxt1.dds", {D3DFMT_DXT1, 4}},     {"dxt3.dds", {D3DFMT_DXT3, 0}},   {"dxt5.dds", {D3DFMT_DXT5, 2}},
        {"a8r8g8b8.dds", {D3DFMT_A8R8G8B8, 4}}, {"r5g6b5.dds", {D3DFMT_R5G6B5, 0}}, {"a8l8.dds", {D3DFMT_A8L8, 1}},
    };
    for (const auto& d : ddss) save(d.name, ImageWriter_Dds(square.data(), 8, 8, d.options));
    save("rgba.png", ImageWriter_Png(pixels.data(), w, h, PNG_LAYOUT_RGBA));
    save("palette.png", ImageWriter_Png(four.data(), w, h, PNG_LAYOUT_PALETTE));
    save("colour.jpg", ImageWriter_Jpeg(pixels.data(), w, h, 75));
    if (!ok) std::fprintf(stderr, "qv_make_image_seeds: a seed could not be written\n");
    return ok ? 0 : 1;
}
