// JPEG files through libjpeg-turbo: colour and grey, baseline and
// progressive, CMYK and YCCK converted to RGB. The library reports a broken
// file by calling its error exit, which here jumps back to the decoder
// with the library's text instead of ending the process.

#include "platform/image/Image.h"
#include "platform/image/ImageRows.h"
#include "platform/image/JpegErrorExit.h"

#include <optional>

namespace {

// Everything a jump may cross lives outside the function that sets the
// jump point, so no local object of it is left half-changed.
struct JpegJob {
    const uint8_t* data;
    size_t size;
    ImageNeed need;
    ImageLevel* level;
    std::optional<ImageRows>* rows;
    std::vector<uint8_t>* row;
    bool grey;
    const char* refusal;
};

// Huffman-coded data spends at least one bit on every 8 x 8 block of the
// picture (the first scan codes each block's DC difference), so a file
// with fewer bytes than that cannot hold the picture its frame announces.
bool HoldsTheBlocks(const jpeg_decompress_struct& info, size_t size) {
    if (info.arith_code) return true;
    const uint64_t blocks = (uint64_t{info.image_width} + 7) / 8 * ((uint64_t{info.image_height} + 7) / 8);
    return blocks / 8 <= size;
}

bool RunJpeg(jpeg_decompress_struct* info, JpegErrorExit* exit, JpegJob* job) {
    if (setjmp(exit->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(info, TRUE);
    if (!Image_SizeAllowed(info->image_width, info->image_height)) {
        job->refusal = "JPEG size out of range";
        return false;
    }
    if (!HoldsTheBlocks(*info, job->size)) {
        job->refusal = "JPEG data too short for its size";
        return false;
    }
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    job->grey = info->jpeg_color_space == JCS_GRAYSCALE;
    info->out_color_space = job->grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(info);
    const uint32_t width = info->output_width;
    ImageRows& rows = job->rows->emplace(width, info->output_height, job->need, job->level);
    job->row->resize(static_cast<size_t>(width) * 4);
    while (info->output_scanline < info->output_height) {
        const uint32_t y = info->output_scanline;
        uint32_t* out = rows.Row(y);
        // Colour rows land straight in the pixels: B, G, R, A bytes are ARGB words.
        JSAMPROW target = job->grey || cmyk ? job->row->data() : reinterpret_cast<JSAMPROW>(out);
        jpeg_read_scanlines(info, &target, 1);
        const uint8_t* row = job->row->data();
        if (job->grey) {
            for (uint32_t x = 0; x < width; ++x) out[x] = 0xFF000000u | row[x] * 0x010101u;
        } else if (cmyk) {
            // Files with the Adobe marker store the inks inverted.
            const bool inverted = info->saw_Adobe_marker;
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t light[4];
                for (int i = 0; i < 4; ++i) light[i] = inverted ? row[x * 4 + i] : 255u - row[x * 4 + i];
                const uint32_t r = light[0] * light[3] / 255, g = light[1] * light[3] / 255, b = light[2] * light[3] / 255;
                out[x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        }
        rows.Done(y);
    }
    rows.Finish();
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

bool Image_DecodeJpeg(const uint8_t* data, size_t size, ImageData* image, std::string* error, ImageNeed need) {
    jpeg_decompress_struct info{};
    JpegErrorExit exit{};
    info.err = JpegErrorExit_Install(&exit);
    ImageLevel level;
    std::optional<ImageRows> rows;
    std::vector<uint8_t> row;
    JpegJob job{data, size, need, &level, &rows, &row, false, nullptr};
    const bool decoded = RunJpeg(&info, &exit, &job);
    const uint32_t width = info.image_width, height = info.image_height;
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        *error = job.refusal != nullptr ? job.refusal : std::string("JPEG: ") + exit.text;
        return false;
    }
    image->info.Width = width;
    image->info.Height = height;
    image->info.Format = job.grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    image->info.ImageFileFormat = D3DXIFF_JPG;
    image->levels.push_back(std::move(level));
    return true;
}
