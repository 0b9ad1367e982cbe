#include "platform/image/ImageRows.h"

#include <algorithm>

uint32_t Image_ReductionFactor(uint32_t width, uint32_t height, ImageNeed need) {
    if (need.width == 0 || need.height == 0) return 1;
    uint32_t factor = 1;
    while (width / (factor * 2) >= need.width && height / (factor * 2) >= need.height) factor *= 2;
    return factor;
}

ImageRows::ImageRows(uint32_t width, uint32_t height, ImageNeed need, ImageLevel* level)
    : m_Level(level), m_Width(width), m_Factor(Image_ReductionFactor(width, height, need)) {
    // A partial block at the right or bottom edge is a pixel of its own.
    level->width = (width + m_Factor - 1) / m_Factor;
    level->height = (height + m_Factor - 1) / m_Factor;
    level->pixels.assign(size_t{level->width} * level->height, 0);
    if (m_Factor > 1) {
        m_Row.resize(width);
        m_Sums.resize(size_t{level->width} * 4);
    }
}

uint32_t* ImageRows::Row(uint32_t y) {
    return m_Factor == 1 ? m_Level->pixels.data() + size_t{y} * m_Width : m_Row.data();
}

void ImageRows::Done(uint32_t y) {
    if (m_Factor == 1) return;
    const uint32_t block = y / m_Factor;
    if (block != m_Block) {
        StoreBlock();
        m_Block = block;
    }
    for (uint32_t x = 0; x < m_Width; ++x) {
        uint64_t* sum = &m_Sums[size_t{x / m_Factor} * 4];
        const uint32_t p = m_Row[x];
        for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
    }
    ++m_RowsInBlock;
}

void ImageRows::Finish() {
    if (m_Factor > 1) StoreBlock();
}

void ImageRows::StoreBlock() {
    if (m_RowsInBlock == 0) return;
    uint32_t* out = m_Level->pixels.data() + size_t{m_Block} * m_Level->width;
    for (uint32_t x = 0; x < m_Level->width; ++x) {
        const uint64_t columns = std::min(m_Factor, m_Width - x * m_Factor);
        const uint64_t count = columns * m_RowsInBlock;
        uint64_t* sum = &m_Sums[size_t{x} * 4];
        uint32_t pixel = 0;
        for (int c = 0; c < 4; ++c) {
            pixel |= static_cast<uint32_t>((sum[c] + count / 2) / count) << (8 * c);
            sum[c] = 0;
        }
        out[x] = pixel;
    }
    m_RowsInBlock = 0;
}
