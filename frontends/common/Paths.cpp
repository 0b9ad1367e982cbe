#include "frontends/common/Paths.h"

#include "kernel/base/Path.h"

#include <filesystem>
#include <system_error>

std::string Frontend_DiskPath(const std::string& name) { return CQVFilePath(name).Resolve(); }

std::FILE* Frontend_OpenFile(const std::string& name) {
    if (name.empty()) return nullptr;
    const std::string path = Frontend_DiskPath(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    return std::fopen(path.c_str(), "rb");
}
