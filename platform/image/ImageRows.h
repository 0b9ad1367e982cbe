#pragma once
// The rows of a picture as a decoder delivers them, stored into level 0 at
// the picture's own size or reduced by a power of two for what the texture
// needs (Image.h, ImageNeed): a stored pixel is then the rounded mean of the
// block of picture pixels it covers, as a shrink to that size averages them.
// Rows come one direction (top first or bottom first), each once; picture
// memory is only the level's, whatever the picture's size.

#include "platform/image/Image.h"

#include <cstdint>
#include <vector>

class ImageRows {
public:
    // Level 0 of width x height pixels (rows the decoder never delivers stay 0).
    ImageRows(uint32_t width, uint32_t height, ImageNeed need, ImageLevel* level);

    // Where the decoder writes picture row y: width ARGB pixels.
    uint32_t* Row(uint32_t y);
    // Row y is written.
    void Done(uint32_t y);
    // The last block of rows is stored; call once after the last row.
    void Finish();

    uint32_t Factor() const { return m_Factor; }

private:
    void StoreBlock();

    ImageLevel* m_Level;
    uint32_t m_Width;
    uint32_t m_Factor = 1;
    std::vector<uint32_t> m_Row;
    // Channel sums of the block row being gathered: four per stored pixel.
    std::vector<uint64_t> m_Sums;
    uint32_t m_Block = UINT32_MAX;  // the stored row being gathered
    uint32_t m_RowsInBlock = 0;
};

// The power of two a picture may be reduced by for a need (1: none).
uint32_t Image_ReductionFactor(uint32_t width, uint32_t height, ImageNeed need);
