#include "platform/image/ImageEncode.h"

#include "platform/image/JpegErrorExit.h"

#include <cstdlib>
#include <map>

#include <png.h>

namespace {

struct PngLayoutDesc {
    PngLayout layout;
    uint32_t format;
    uint32_t bytesPerPixel;
};

const PngLayoutDesc kPngLayouts[] = {
    {PNG_LAYOUT_RGBA, PNG_FORMAT_BGRA, 4},
    {PNG_LAYOUT_RGB, PNG_FORMAT_BGR, 3},
    {PNG_LAYOUT_GREY, PNG_FORMAT_GRAY, 1},
    {PNG_LAYOUT_GREY_ALPHA, PNG_FORMAT_GA, 2},
    {PNG_LAYOUT_PALETTE, PNG_FORMAT_BGRA_COLORMAP, 1},
};

// The pixel bytes in the layout's order; palette layouts fill the colour map.
bool PackPixels(const uint32_t* pixels, size_t count, PngLayout layout, std::vector<uint8_t>* bytes,
                std::vector<uint32_t>* colormap) {
    std::map<uint32_t, uint8_t> indices;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        const uint8_t r = static_cast<uint8_t>(p >> 16), g = static_cast<uint8_t>(p >> 8), b = static_cast<uint8_t>(p),
                      a = static_cast<uint8_t>(p >> 24);
        switch (layout) {
        case PNG_LAYOUT_RGBA: bytes->insert(bytes->end(), {b, g, r, a}); break;
        case PNG_LAYOUT_RGB: bytes->insert(bytes->end(), {b, g, r}); break;
        case PNG_LAYOUT_GREY: bytes->push_back(r); break;
        case PNG_LAYOUT_GREY_ALPHA: bytes->insert(bytes->end(), {r, a}); break;
        case PNG_LAYOUT_PALETTE: {
            auto found = indices.find(p);
            if (found == indices.end()) {
                if (colormap->size() == 256) return false;
                found = indices.emplace(p, static_cast<uint8_t>(colormap->size())).first;
                colormap->push_back(p);
            }
            bytes->push_back(found->second);
            break;
        }
        }
    }
    return true;
}

struct JpegJob {
    const uint32_t* pixels;
    uint32_t width, height;
    int quality;
    bool grey;
    std::vector<uint8_t>* row;
    unsigned char* output;
    unsigned long outputSize;
};

bool RunJpeg(jpeg_compress_struct* info, JpegErrorExit* exit, JpegJob* job) {
    if (setjmp(exit->jump)) return false;
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &job->output, &job->outputSize);
    info->image_width = job->width;
    info->image_height = job->height;
    info->input_components = job->grey ? 1 : 4;
    info->in_color_space = job->grey ? JCS_GRAYSCALE : JCS_EXT_BGRA;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    jpeg_start_compress(info, TRUE);
    job->row->resize(job->width);
    while (info->next_scanline < info->image_height) {
        const uint32_t* source = job->pixels + static_cast<size_t>(info->next_scanline) * job->width;
        JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const uint8_t*>(source));
        if (job->grey) {
            for (uint32_t x = 0; x < job->width; ++x) (*job->row)[x] = static_cast<uint8_t>(source[x] >> 16);
            row = job->row->data();
        }
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

// libpng reports a failed write by calling its error function, which jumps
// back here; the output goes into a vector.
bool RunBlankPng(png_structp png, png_infop info, uint32_t width, uint32_t height, std::vector<uint8_t>* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) png_write_row(png, row->data());
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool Image_EncodeBlankPng(uint32_t width, uint32_t height, std::vector<uint8_t>* file) {
    if (width == 0 || height == 0) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    file->clear();
    png_set_write_fn(
        png, file,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + length);
        },
        nullptr);
    std::vector<uint8_t> row((width + 7) / 8, 0);
    const bool written = RunBlankPng(png, info, width, height, &row);
    png_destroy_write_struct(&png, &info);
    return written;
}

bool Image_EncodePng(const uint32_t* pixels, uint32_t width, uint32_t height, PngLayout layout,
                     std::vector<uint8_t>* file) {
    const PngLayoutDesc* desc = nullptr;
    for (const PngLayoutDesc& d : kPngLayouts)
        if (d.layout == layout) desc = &d;
    if (desc == nullptr || width == 0 || height == 0) return false;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> colormap;
    if (!PackPixels(pixels, size_t{width} * height, layout, &bytes, &colormap)) return false;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = desc->format;
    png.colormap_entries = static_cast<uint32_t>(colormap.size());
    const auto stride = static_cast<png_int_32>(width * desc->bytesPerPixel);
    const void* map = colormap.empty() ? nullptr : colormap.data();
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, bytes.data(), stride, map)) return false;
    file->resize(size);
    const bool written = png_image_write_to_memory(&png, file->data(), &size, 0, bytes.data(), stride, map) != 0;
    file->resize(size);
    png_image_free(&png);
    return written;
}

bool Image_EncodeJpeg(const uint32_t* pixels, uint32_t width, uint32_t height, int quality, bool grey,
                      std::vector<uint8_t>* file) {
    if (width == 0 || height == 0) return false;
    jpeg_compress_struct info{};
    JpegErrorExit exit{};
    info.err = JpegErrorExit_Install(&exit);
    std::vector<uint8_t> row;
    JpegJob job{pixels, width, height, quality, grey, &row, nullptr, 0};
    const bool written = RunJpeg(&info, &exit, &job);
    jpeg_destroy_compress(&info);
    if (written) file->assign(job.output, job.output + job.outputSize);
    std::free(job.output);
    return written;
}
