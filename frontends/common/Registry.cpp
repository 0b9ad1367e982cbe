#include "frontends/common/Registry.h"

#include "platform/shell/SettingsStore.h"

bool CQVRegistry::MakeKeyPath(const char* rootPath, const char* subKey, std::string* path) {
    if (rootPath == nullptr || subKey == nullptr) return false;
    std::string joined = std::string(rootPath) + "\\" + subKey;
    if (joined.size() > kRegistryMaxKeyPath) return false;
    *path = std::move(joined);
    return true;
}

bool CQVRegistry::KeyExists(const char* subKey) {
    std::string path;
    return MakeKeyPath(kRegistryRootPath, subKey, &path) && SettingsStore_KeyExists(path);
}

bool CQVRegistry::WriteString(const char* subKey, const char* valueName, const char* text, const char* rootPath) {
    std::string path;
    if (valueName == nullptr || text == nullptr || !MakeKeyPath(rootPath, subKey, &path)) return false;
    return SettingsStore_WriteValue(path, valueName, text);
}

bool CQVRegistry::ReadString(const char* subKey, const char* valueName, std::string* text, const char* rootPath) {
    std::string path, value;
    if (valueName == nullptr || text == nullptr || !MakeKeyPath(rootPath, subKey, &path)) return false;
    if (!SettingsStore_ReadValue(path, valueName, &value) || value.size() > kRegistryValueBuffer) return false;
    *text = std::move(value);
    return true;
}
