// The stand-in for a program the front ends start: writes the folder it was
// started in, the name it was started by and its arguments, one a line, to the file $QV_RECORD_FILE
// (written beside it and renamed, so a reader sees it whole), then ends.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const char* record = std::getenv("QV_RECORD_FILE");
    if (record == nullptr) return 1;
    char folder[4096];
    if (::getcwd(folder, sizeof folder) == nullptr) return 1;
    const std::string program = argv[0];
    std::string text = std::string(folder) + "\n" + program.substr(program.rfind('/') + 1) + "\n";
    for (int i = 1; i < argc; ++i) text += std::string(argv[i]) + "\n";
    const std::string partial = std::string(record) + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (f == nullptr) return 1;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) return 1;
    return std::rename(partial.c_str(), record) == 0 ? 0 : 1;
}
