// Writes the sample data folder that `make run` starts the game on.
// Usage: qv_make_sample <folder>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "qv_make_sample: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_sample <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::error_code error;
    std::filesystem::create_directories(root / "Data", error);
    if (error) {
        std::fprintf(stderr, "qv_make_sample: cannot create %s: %s\n", root.c_str(), error.message().c_str());
        return 1;
    }
    // Base folder "." (the sample folder itself), start scene, globals file, window title.
    if (!WriteFile(root / "init.txt", ".\r\nStart.qva\r\nGlobals.qva\r\nQV Engine Sample\r\n")) return 1;
    return 0;
}
