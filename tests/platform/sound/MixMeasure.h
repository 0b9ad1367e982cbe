#pragma once
// Measures on a rendered stereo mix (16-bit, interleaved left and right), as
// the sound tests hear what plays.

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

struct StereoMix {
    std::vector<int16_t> samples;  // left, right, left, right ...

    uint32_t Frames() const { return static_cast<uint32_t>(samples.size() / 2); }
    int16_t At(uint32_t frame, uint32_t channel) const { return samples[2 * frame + channel]; }

    // Root mean square of one channel over [first, first + count), as a
    // fraction of full scale.
    double Rms(uint32_t channel, uint32_t first, uint32_t count) const {
        double sum = 0.0;
        for (uint32_t frame = first; frame < first + count; ++frame) {
            const double value = At(frame, channel) / 32768.0;
            sum += value * value;
        }
        return count != 0 ? std::sqrt(sum / count) : 0.0;
    }
    // Both channels together.
    double Rms(uint32_t first, uint32_t count) const {
        const double left = Rms(0, first, count), right = Rms(1, first, count);
        return std::sqrt((left * left + right * right) / 2.0);
    }
    // Left and right root mean squares over the range.
    std::pair<double, double> Sides(uint32_t first, uint32_t count) const {
        return {Rms(0, first, count), Rms(1, first, count)};
    }
    // The tone's frequency in Hz from its rising zero crossings over the range.
    double Frequency(uint32_t channel, uint32_t first, uint32_t count, uint32_t sampleRate) const {
        int crossings = 0;
        uint32_t firstCrossing = 0, lastCrossing = 0;
        for (uint32_t frame = first + 1; frame < first + count; ++frame) {
            if (At(frame - 1, channel) < 0 && At(frame, channel) >= 0) {
                if (crossings == 0) firstCrossing = frame;
                lastCrossing = frame;
                ++crossings;
            }
        }
        if (crossings < 2) return 0.0;
        return (crossings - 1) * static_cast<double>(sampleRate) / (lastCrossing - firstCrossing);
    }
};
