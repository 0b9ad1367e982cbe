#include "platform/shell/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

std::string Escape(const std::string& text, bool name) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '=':
            if (name) {
                out += "\\=";
                break;
            }
            [[fallthrough]];
        default: out += c;
        }
    }
    return out;
}

// One line into its name and value; false for a line that holds no value.
bool ParseLine(const std::string& line, std::string* name, std::string* value) {
    std::string* out = name;
    bool separated = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            c = line[++i];
            if (c == 'n') c = '\n';
            if (c == 'r') c = '\r';
        } else if (c == '=' && !separated) {
            separated = true;
            out = value;
            continue;
        }
        *out += c;
    }
    return separated && !name->empty();
}

bool ReadValues(const std::string& file, Values* values) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) return false;
    std::string line;
    auto take = [&]() {
        std::string name, value;
        if (ParseLine(line, &name, &value)) values->emplace_back(std::move(name), std::move(value));
        line.clear();
    };
    for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
        if (c == '\n') {
            take();
        } else {
            line += static_cast<char>(c);
        }
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (!line.empty()) take();
    return ok;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The new contents beside the file, then renamed over it.
bool ReplaceFile(const std::string& file, const std::string& bytes) {
    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    struct stat old {};
    const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

bool MakeFolders(const std::string& file) {
    for (size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1)) {
        const std::string folder = file.substr(0, at);
        if (::mkdir(folder.c_str(), 0755) != 0) {
            struct stat info {};
            if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
        }
    }
    return true;
}

}  // namespace

std::string SettingsStore_KeyFile(const std::string& keyPath) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (true) {
        const size_t end = keyPath.find('\\', at);
        std::string part = keyPath.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos ||
            part.find('\0') != std::string::npos)
            return {};
        parts.push_back(std::move(part));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    if (EqualNoCase(parts.front(), "SOFTWARE")) parts.erase(parts.begin());
    if (parts.empty()) return {};
    std::string file = ConfigHome();
    for (const std::string& part : parts) file += "/" + part;
    return file + ".conf";
}

bool SettingsStore_KeyExists(const std::string& keyPath) {
    const std::string file = SettingsStore_KeyFile(keyPath);
    if (file.empty()) return false;
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(file.c_str(), R_OK) == 0;
}

bool SettingsStore_CreateKey(const std::string& keyPath) {
    if (SettingsStore_KeyExists(keyPath)) return true;
    const std::string file = SettingsStore_KeyFile(keyPath);
    return !file.empty() && MakeFolders(file) && ReplaceFile(file, std::string());
}

bool SettingsStore_ReadValue(const std::string& keyPath, const std::string& name, std::string* value) {
    const std::string file = SettingsStore_KeyFile(keyPath);
    Values values;
    if (file.empty() || !ReadValues(file, &values)) return false;
    for (const auto& entry : values) {
        if (EqualNoCase(entry.first, name)) {
            *value = entry.second;
            return true;
        }
    }
    return false;
}

bool SettingsStore_WriteValue(const std::string& keyPath, const std::string& name, const std::string& value) {
    const std::string file = SettingsStore_KeyFile(keyPath);
    Values values;
    if (name.empty() || file.empty() || !SettingsStore_KeyExists(keyPath) || !ReadValues(file, &values)) return false;
    bool found = false;
    for (auto& entry : values) {
        if (EqualNoCase(entry.first, name)) {
            entry = {name, value};
            found = true;
        }
    }
    if (!found) values.emplace_back(name, value);
    std::string bytes;
    for (const auto& entry : values) bytes += Escape(entry.first, true) + "=" + Escape(entry.second, false) + "\n";
    return ReplaceFile(file, bytes);
}
