#include "platform/image/ImageFilter.h"

#include <algorithm>
#include <cmath>

namespace {

// What one target column (or row) takes from the source ones.
struct Tap {
    uint32_t first;
    std::vector<float> weights;
};

std::vector<Tap> Taps(uint32_t from, uint32_t to) {
    std::vector<Tap> taps(to);
    const double scale = static_cast<double>(from) / to;
    for (uint32_t i = 0; i < to; ++i) {
        Tap& tap = taps[i];
        if (to <= from) {
            const double begin = i * scale, end = (i + 1) * scale;
            tap.first = static_cast<uint32_t>(begin);
            for (uint32_t s = tap.first; s < from && s < end; ++s)
                tap.weights.push_back(static_cast<float>(std::min<double>(end, s + 1) - std::max<double>(begin, s)));
        } else {
            const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, from - 1.0);
            tap.first = static_cast<uint32_t>(centre);
            const float f = static_cast<float>(centre - tap.first);
            tap.weights.push_back(1.0f - f);
            if (tap.first + 1 < from) tap.weights.push_back(f);
        }
    }
    return taps;
}

}  // namespace

std::vector<uint32_t> Image_Resize(const uint32_t* pixels, uint32_t width, uint32_t height, uint32_t newWidth,
                                   uint32_t newHeight) {
    if (newWidth == width && newHeight == height) return std::vector<uint32_t>(pixels, pixels + size_t{width} * height);
    const std::vector<Tap> columns = Taps(width, newWidth), rows = Taps(height, newHeight);
    // Across first, into four floats per pixel; then down.
    std::vector<float> across(size_t{newWidth} * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* source = pixels + size_t{y} * width;
        float* out = across.data() + size_t{y} * newWidth * 4;
        for (uint32_t x = 0; x < newWidth; ++x) {
            const Tap& tap = columns[x];
            float sum[4] = {}, total = 0.0f;
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const uint32_t p = source[tap.first + k];
                const float w = tap.weights[k];
                for (int c = 0; c < 4; ++c) sum[c] += w * static_cast<float>((p >> (8 * c)) & 0xFF);
                total += w;
            }
            for (int c = 0; c < 4; ++c) out[x * 4 + c] = sum[c] / total;
        }
    }
    std::vector<uint32_t> result(size_t{newWidth} * newHeight);
    for (uint32_t y = 0; y < newHeight; ++y) {
        const Tap& tap = rows[y];
        for (uint32_t x = 0; x < newWidth; ++x) {
            float sum[4] = {}, total = 0.0f;
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const float* p = across.data() + (size_t{tap.first + static_cast<uint32_t>(k)} * newWidth + x) * 4;
                const float w = tap.weights[k];
                for (int c = 0; c < 4; ++c) sum[c] += w * p[c];
                total += w;
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                const float v = std::floor(sum[c] / total + 0.5f);
                pixel |= static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f)) << (8 * c);
            }
            result[size_t{y} * newWidth + x] = pixel;
        }
    }
    return result;
}

namespace {

// The rounded mean of four ARGB words, channel by channel: the even and the
// odd bytes are summed two at a time in 16-bit lanes, which four bytes of at
// most 255 cannot overflow.
inline uint32_t MeanOfFour(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    constexpr uint32_t kLanes = 0x00FF00FFu, kHalf = 0x00020002u;
    const uint32_t even = (a & kLanes) + (b & kLanes) + (c & kLanes) + (d & kLanes) + kHalf;
    const uint32_t odd = ((a >> 8) & kLanes) + ((b >> 8) & kLanes) + ((c >> 8) & kLanes) + ((d >> 8) & kLanes) + kHalf;
    return ((even >> 2) & kLanes) | ((odd >> 2) & kLanes) << 8;
}

}  // namespace

std::vector<uint32_t> Image_NextMip(const uint32_t* pixels, uint32_t width, uint32_t height) {
    const uint32_t w = std::max(1u, width / 2), h = std::max(1u, height / 2);
    std::vector<uint32_t> result(size_t{w} * h);
    // An odd last row or column is left out; a side of 1 is read twice.
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t* top = pixels + size_t{std::min(2 * y, height - 1)} * width;
        const uint32_t* bottom = pixels + size_t{std::min(2 * y + 1, height - 1)} * width;
        uint32_t* out = result.data() + size_t{y} * w;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t left = std::min(2 * x, width - 1), right = std::min(2 * x + 1, width - 1);
            out[x] = MeanOfFour(top[left], top[right], bottom[left], bottom[right]);
        }
    }
    return result;
}
