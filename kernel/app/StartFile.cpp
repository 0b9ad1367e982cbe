#include "kernel/app/StartFile.h"

#include <cstdio>

namespace {

// One line without its line end; false at the end of the file.
bool ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

}  // namespace

bool StartFile_Read(const std::string& path, StartFile* out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    *out = StartFile{};
    std::string* lines[] = {&out->baseDirectory, &out->startScene, &out->globalsFile, &out->windowTitle};
    for (std::string* line : lines) {
        if (!ReadLine(file, *line)) break;
    }
    std::fclose(file);
    return true;
}
