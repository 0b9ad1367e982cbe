// Writes the sample data folder that `make run` starts the game on.
//
// Usage: qv_make_sample <folder> [--camera=x,y,z,yaw,pitch] [--capture=seconds:file]... [--size=WxH]
//
// --camera holds the camera still at a place in place of the ride through
// the rooms; each --capture has the game save a picture of its screen at
// that time of the level ("Capture Save" into the folder) and end after the
// last one; --size is the pictures' size (640x480 unless given).

#include "tools/sampledata/SampleData.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
    const std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0) return false;
    *rest = text.substr(p.size());
    return true;
}

bool ParseCamera(const std::string& text, SampleShot* shot) {
    return std::sscanf(text.c_str(), "%f,%f,%f,%f,%f", &shot->position.x, &shot->position.y, &shot->position.z,
                       &shot->yaw, &shot->pitch) == 5;
}

bool ParseCapture(const std::string& text, SampleCapture* capture) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    char* end = nullptr;
    capture->seconds = std::strtof(text.c_str(), &end);
    capture->file = text.substr(colon + 1);
    // A file name only: the game writes it into its own folder.
    return end == text.c_str() + colon && capture->seconds >= 0.0f && capture->file.find('/') == std::string::npos;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: qv_make_sample <folder> [--camera=x,y,z,yaw,pitch] [--capture=seconds:file]... "
                 "[--size=WxH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    SampleOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        if (StartsWith(argument, "--camera=", &value)) {
            options.fixedCamera = ParseCamera(value, &options.shot);
            if (!options.fixedCamera) return Usage();
        } else if (StartsWith(argument, "--capture=", &value)) {
            SampleCapture capture;
            if (!ParseCapture(value, &capture)) return Usage();
            options.captures.push_back(capture);
        } else if (StartsWith(argument, "--size=", &value)) {
            if (std::sscanf(value.c_str(), "%dx%d", &options.captureWidth, &options.captureHeight) != 2 ||
                options.captureWidth <= 0 || options.captureHeight <= 0)
                return Usage();
        } else {
            return Usage();
        }
    }
    std::string error;
    return SampleData_Write(argv[1], options, &error) ? 0 : 1;
}
