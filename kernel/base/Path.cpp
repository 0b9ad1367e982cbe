#include "kernel/base/Path.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path.empty() ? std::string(".") : path, error);
}

// The entry of folder whose name equals part ignoring case; the smallest
// such name when several differ only in case, so the choice never depends
// on the order the folder lists them.
bool FindNoCase(const std::string& folder, std::string_view part, std::string* found) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, error);
    if (error) return false;
    bool any = false;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (EqualNoCase(name, part) && (!any || name < *found)) {
            *found = std::move(name);
            any = true;
        }
    }
    return any;
}

}  // namespace

bool Path_StaysInside(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find_first_of("/\\", at);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(at, end - at) == "..") return false;
        at = end + 1;
    }
    return true;
}

void Path_MakeKey(std::string_view name, std::string* key) {
    key->resize(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        (*key)[i] = c == '/' ? '\\' : LowerAscii(c);
    }
}

void Path_LowerAscii(std::string* text) {
    for (char& c : *text) c = LowerAscii(c);
}

uint32_t Path_Hash(std::string_view key) {
    // h = h * M + c over n bytes equals the sum of c[i] * M^(n-1-i); four
    // lanes over every fourth byte with M^4 break the chain of multiplies.
    constexpr uint32_t M1 = 65599u;
    constexpr uint32_t M2 = M1 * M1;
    constexpr uint32_t M3 = M2 * M1;
    constexpr uint32_t M4 = M2 * M2;
    auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(key[i]))); };
    const size_t head = key.size() % 4;
    uint32_t h = 0;
    for (size_t i = 0; i < head; ++i) h = h * M1 + byte(i);
    uint32_t lane0 = 0, lane1 = 0, lane2 = 0, lane3 = h;
    for (size_t i = head; i < key.size(); i += 4) {
        lane0 = lane0 * M4 + byte(i);
        lane1 = lane1 * M4 + byte(i + 1);
        lane2 = lane2 * M4 + byte(i + 2);
        lane3 = lane3 * M4 + byte(i + 3);
    }
    return lane0 * M3 + lane1 * M2 + lane2 * M1 + lane3;
}

CQVFilePath::CQVFilePath(std::string_view name) : m_nameSize(static_cast<uint32_t>(name.size())) {
    m_text.resize(name.size() * 2 + 1);
    char* text = m_text.data();
    std::memcpy(text, name.data(), name.size());
    text[name.size()] = '\0';
    char* key = text + name.size() + 1;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        key[i] = c == '/' ? '\\' : LowerAscii(c);
    }
    m_hash = Path_Hash(std::string_view(key, name.size()));
}

std::string CQVFilePath::Resolve() const {
    std::string written(GetName());
    for (char& c : written) {
        if (c == '\\') c = '/';
    }
    if (Exists(written)) return written;

    // Walk the parts: each one that exists as written is kept, else the
    // folder is searched ignoring case; from the first part found in no
    // case on, the rest stays as written.
    std::string resolved;
    size_t at = 0;
    if (!written.empty() && written[0] == '/') {
        resolved = "/";
        at = 1;
    }
    // The name is built in place, each part appended once, so the walk is
    // linear in the length of the name; a prefix longer than any path the
    // disk can hold is not searched.
    constexpr size_t kLongestPath = 4096;
    resolved.reserve(written.size());
    bool searching = true;
    std::string found;
    while (at <= written.size()) {
        size_t end = written.find('/', at);
        if (end == std::string::npos) end = written.size();
        const std::string_view part(written.data() + at, end - at);
        const bool last = end == written.size();
        if (part.empty()) {
            if (!last) resolved += '/';
            at = end + 1;
            continue;
        }
        const size_t folderSize = resolved.size();
        resolved += part;
        if (searching && resolved.size() > kLongestPath) searching = false;
        if (searching && part != "." && part != ".." && !Exists(resolved)) {
            const std::string folder = resolved.substr(0, folderSize);
            if (FindNoCase(folder, part, &found)) {
                resolved.resize(folderSize);
                resolved += found;
            } else {
                searching = false;
            }
        }
        if (!last) resolved += '/';
        at = end + 1;
    }
    return resolved;
}
