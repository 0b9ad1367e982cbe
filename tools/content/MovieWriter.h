#pragma once
// Short movies for the sample data and test fixtures: each frame one
// colour (or a picture), with a tone as the sound track.

#include "platform/movie/Movie.h"

#include <cstdint>
#include <string>
#include <vector>

struct MovieClip {
    MovieWriteSettings settings;
    // One ARGB colour per frame.
    std::vector<uint32_t> frameColours;
    // Frequency of the sound track's tone in Hz (0: silence).
    double toneHz = 440.0;
};

// Writes the clip (".mpg" or ".avi" by the path's ending); false with the
// reason in error.
bool MovieWriter_WriteClip(const std::string& path, const MovieClip& clip, std::string* error);

// The sample data's logo movie: three seconds of 320 x 240 at 25 frames a
// second, a ring opening over a dark field and a bar sweeping through it,
// fading in and out, over a low tone.
bool MovieWriter_WriteLogo(const std::string& path, std::string* error);

// Writes frames given as whole pictures (width x height ARGB each), with the tone.
bool MovieWriter_WriteFrames(const std::string& path, const MovieWriteSettings& settings,
                             const std::vector<std::vector<uint32_t>>& frames, double toneHz, std::string* error);
