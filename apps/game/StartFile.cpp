#include "apps/game/StartFile.h"

#include <cstdio>
#include <iterator>

namespace {

enum class LineRead { Line, End, TooLong };

// One line without its line end, read into a buffer of kStartLineMax
// bytes and never more: a line that does not fit is refused.
LineRead ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        // One byte more than the buffer holds: the CR of a CR LF line end.
        if (line.size() > kStartLineMax) return LineRead::TooLong;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kStartLineMax) return LineRead::TooLong;
    return any ? LineRead::Line : LineRead::End;
}

}  // namespace

bool StartFile_Read(const std::string& path, StartFile* out, std::string* problem) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (problem) *problem = "cannot be opened";
        return false;
    }
    *out = StartFile{};
    std::string* lines[] = {&out->baseDirectory, &out->startScene, &out->globalsFile, &out->windowTitle};
    bool good = true;
    for (size_t i = 0; i < std::size(lines) && good; ++i) {
        const LineRead read = ReadLine(file, *lines[i]);
        if (read == LineRead::TooLong) {
            if (problem) {
                *problem = "line " + std::to_string(i + 1) + " is longer than " + std::to_string(kStartLineMax) + " bytes";
            }
            *out = StartFile{};
            good = false;
        } else if (read == LineRead::End) {
            break;
        }
    }
    std::fclose(file);
    return good;
}
