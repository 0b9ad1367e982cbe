#include "tools/content/MovieWriter.h"

#include <algorithm>
#include <cmath>

bool MovieWriter_WriteFrames(const std::string& path, const MovieWriteSettings& settings,
                             const std::vector<std::vector<uint32_t>>& frames, double toneHz, std::string* error) {
    std::unique_ptr<PlatformMovieWriter> writer = PlatformMovieWriter::Create(path, settings, error);
    if (writer == nullptr) return false;
    const size_t samplesPerFrame = settings.audioRate / settings.frameRate;
    std::vector<int16_t> tone(samplesPerFrame * settings.audioChannels);
    size_t sample = 0;
    for (const std::vector<uint32_t>& frame : frames) {
        if (frame.size() != size_t{settings.width} * settings.height) {
            *error = "a frame of the wrong size";
            return false;
        }
        if (!writer->AddVideoFrame(frame.data())) {
            *error = "cannot encode a video frame";
            return false;
        }
        if (!settings.withAudio) continue;
        for (size_t i = 0; i < samplesPerFrame; ++i, ++sample) {
            const double t = static_cast<double>(sample) / settings.audioRate;
            const auto value = static_cast<int16_t>(std::lround(8000.0 * std::sin(2.0 * M_PI * toneHz * t)));
            for (uint32_t c = 0; c < settings.audioChannels; ++c) tone[i * settings.audioChannels + c] = value;
        }
        if (!writer->AddAudio(tone.data(), samplesPerFrame)) {
            *error = "cannot encode the sound";
            return false;
        }
    }
    if (!writer->Finish()) {
        *error = "cannot finish " + path;
        return false;
    }
    return true;
}

bool MovieWriter_WriteClip(const std::string& path, const MovieClip& clip, std::string* error) {
    std::vector<std::vector<uint32_t>> frames;
    for (uint32_t colour : clip.frameColours)
        frames.emplace_back(size_t{clip.settings.width} * clip.settings.height, colour);
    return MovieWriter_WriteFrames(path, clip.settings, frames, clip.toneHz, error);
}

bool MovieWriter_WriteLogo(const std::string& path, std::string* error) {
    MovieWriteSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.frameRate = 25;
    constexpr int kFrames = 75;
    std::vector<std::vector<uint32_t>> frames;
    for (int f = 0; f < kFrames; ++f) {
        const double t = static_cast<double>(f) / (kFrames - 1);
        // Brightness rises over the first quarter and falls over the last.
        const double fade = std::min({1.0, t * 4.0, (1.0 - t) * 4.0});
        const double ring = 20.0 + 80.0 * t;
        const double bar = -160.0 + 320.0 * t;
        std::vector<uint32_t> frame(size_t{settings.width} * settings.height);
        for (uint32_t y = 0; y < settings.height; ++y) {
            for (uint32_t x = 0; x < settings.width; ++x) {
                const double dx = x - 160.0, dy = y - 120.0;
                const double r = std::sqrt(dx * dx + dy * dy);
                double red = 10, green = 20, blue = 60 + 40.0 * y / settings.height;
                if (std::fabs(r - ring) < 8.0) {
                    red = 240;
                    green = 190;
                    blue = 40;
                }
                if (std::fabs(dx - bar) < 6.0 && std::fabs(dy) < 30.0) {
                    red = green = blue = 235;
                }
                auto channel = [fade](double v) { return static_cast<uint32_t>(std::lround(v * fade)); };
                frame[size_t{y} * settings.width + x] =
                    0xFF000000u | channel(red) << 16 | channel(green) << 8 | channel(blue);
            }
        }
        frames.push_back(std::move(frame));
    }
    return MovieWriter_WriteFrames(path, settings, frames, 220.0, error);
}
