#pragma once
// String values of the settings store, as both front ends use them: the
// launcher's settings and support address, the router's installation
// folder. A key is a root path and a sub-key joined as "root\sub-key".

#include <cstddef>
#include <string>

// The programs' root path.
inline constexpr const char* kRegistryRootPath = "SOFTWARE\\Marn QV";
// The longest key path, and the longest value a read takes.
constexpr size_t kRegistryMaxKeyPath = 255;
constexpr size_t kRegistryValueBuffer = 516;

class CQVRegistry {
public:
    // True when the sub-key of the programs' root path exists and can be read.
    bool KeyExists(const char* subKey);
    // Stores text as the named value of an existing key; false when the key
    // does not exist or cannot be written.
    bool WriteString(const char* subKey, const char* valueName, const char* text,
                     const char* rootPath = kRegistryRootPath);
    // The named value into *text; false, *text unchanged, when the key or the
    // value does not exist or the value is longer than kRegistryValueBuffer.
    // Needs read access only.
    bool ReadString(const char* subKey, const char* valueName, std::string* text,
                    const char* rootPath = kRegistryRootPath);

    // "root\sub-key"; false when it would be longer than kRegistryMaxKeyPath.
    static bool MakeKeyPath(const char* rootPath, const char* subKey, std::string* path);
};
