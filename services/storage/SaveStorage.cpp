#include "services/storage/SaveStorage.h"

#include "kernel/base/Path.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

SaveStorage g_SaveStorage;
std::string g_StorageRoot = "C:";

namespace {

namespace fs = std::filesystem;

constexpr char DEVICE_NAME[] = "Hard Disc";
constexpr char FREE_SPACE_TEXT[] = "100 MB";
constexpr char OPEN_ERROR[] = "File Open Error:";
constexpr char WRITE_ERROR[] = "File Write Error:";
constexpr char READ_ERROR[] = "File Read Error:";

std::string DiskPath(const std::string& name) { return CQVFilePath(g_StorageRoot + "\\" + name).Resolve(); }

void CopyText(const char* text, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) return;
    const size_t length = std::min<size_t>(std::strlen(text), size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
}

// A save is named by a plain file name: a separator or a parent step would
// put the file outside the save folder.
bool IsPlainName(const char* name) {
    if (name == nullptr || name[0] == 0) return false;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    const size_t length = std::strlen(name);
    if (length >= sizeof(SaveEntry::name)) return false;
    return std::strpbrk(name, "/\\") == nullptr;
}

void PutWord(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

bool WriteAll(std::FILE* file, const void* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size;
}

}  // namespace

int Storage_Init(uint32_t) {
    g_SaveStorage.deviceCount = 1;
    g_SaveStorage.deviceName = DEVICE_NAME;
    return 1;
}

void Storage_SetRoot(const std::string& root) {
    g_StorageRoot = root;
    g_SaveStorage.listCurrent = 0;
}

int Storage_SetError(const char* text) {
    g_SaveStorage.errorText = text ? text : "";
    return 0;
}

const char* Storage_GetError() { return g_SaveStorage.errorText.c_str(); }

uint32_t Storage_GetDeviceState(uint32_t) { return STORAGE_DEVICE_STATE_READY; }

int Storage_GetDeviceCount(uint32_t, uint32_t* count) {
    if (count) *count = g_SaveStorage.deviceCount;
    return 1;
}

int Storage_GetDeviceName(uint32_t, char* buffer, uint32_t size) {
    CopyText(DEVICE_NAME, buffer, size);
    return 1;
}

int Storage_GetDeviceSize(uint32_t, uint32_t* freeBytes, uint32_t* totalBytes) {
    if (freeBytes) *freeBytes = STORAGE_DEVICE_BYTES;
    if (totalBytes) *totalBytes = STORAGE_DEVICE_BYTES;
    return 1;
}

int Storage_GetFreeSpaceText(uint32_t, char* buffer, uint32_t size) {
    CopyText(FREE_SPACE_TEXT, buffer, size);
    return 1;
}

int Storage_Write(uint32_t, const char* name, const void* data, uint32_t size) {
    if (data == nullptr || size == 0) return 0;
    if (!IsPlainName(name)) return Storage_SetError(OPEN_ERROR);
    g_SaveStorage.listCurrent = 0;
    const std::string target = DiskPath(name);
    const std::string temporary = target + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return Storage_SetError(OPEN_ERROR);
    uint8_t header[SAVE_FILE_HEADER_SIZE];
    PutWord(header, SAVE_FILE_FORMAT);
    PutWord(header + 4, size);
    bool written = WriteAll(file, header, sizeof header) && WriteAll(file, data, size);
    written = (std::fflush(file) == 0) && written;
    written = (std::fclose(file) == 0) && written;
    std::error_code error;
    if (written) {
        fs::rename(temporary, target, error);
        if (!error) return 1;
    }
    fs::remove(temporary, error);
    return Storage_SetError(WRITE_ERROR);
}

int Storage_List(uint32_t, uint32_t* count) {
    if (count == nullptr) return 0;
    SaveStorage& storage = g_SaveStorage;
    if (storage.listCurrent) {
        *count = static_cast<uint32_t>(storage.entries.size());
        return 1;
    }
    storage.entries.clear();
    *count = 0;
    std::error_code error;
    const fs::path folder = CQVFilePath(g_StorageRoot).Resolve();
    fs::directory_iterator it(folder, error);
    if (error) return 0;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        // Only regular files hold saves: a folder holds none, and a pipe or
        // a device would hold the game at its opening or never end.
        if (!it->is_regular_file(error) || error) continue;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name.size() >= sizeof(SaveEntry::name)) continue;
        std::FILE* file = std::fopen((folder / name).c_str(), "rb");
        // A file that cannot be read, or is too short for its header, is no save.
        if (file == nullptr) continue;
        uint8_t header[SAVE_FILE_HEADER_SIZE];
        const bool whole = std::fread(header, 1, sizeof header, file) == sizeof header;
        std::fclose(file);
        if (!whole) continue;
        SaveEntry& entry = storage.entries.emplace_back();
        std::memcpy(entry.name, name.c_str(), name.size() + 1);
        entry.size = GetWord(header + 4);
    }
    *count = static_cast<uint32_t>(storage.entries.size());
    storage.listCurrent = 1;
    return storage.entries.empty() ? 0 : 1;
}

int Storage_Read(uint32_t, uint32_t index, void* buffer, uint32_t size) {
    const SaveEntry* entry = Storage_GetEntry(index);
    if (entry == nullptr || buffer == nullptr || size != entry->size) return 0;
    std::FILE* file = std::fopen(DiskPath(entry->name).c_str(), "rb");
    if (file == nullptr) return Storage_SetError(OPEN_ERROR);
    uint8_t header[SAVE_FILE_HEADER_SIZE];
    bool whole = std::fread(header, 1, sizeof header, file) == sizeof header;
    // A file that changed since it was listed is read only when it still
    // holds the size listed, so the buffer never gets more than it holds.
    whole = whole && GetWord(header + 4) == size && std::fread(buffer, 1, size, file) == size;
    std::fclose(file);
    return whole ? 1 : Storage_SetError(READ_ERROR);
}

int Storage_Find(uint32_t, const char* name, uint32_t* index) {
    if (name == nullptr || index == nullptr) return 0;
    const std::vector<SaveEntry>& entries = g_SaveStorage.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (strcasecmp(entries[i].name, name) == 0) {
            *index = static_cast<uint32_t>(i);
            return 1;
        }
    }
    return 0;
}

const SaveEntry* Storage_GetEntry(uint32_t index) {
    return index < g_SaveStorage.entries.size() ? &g_SaveStorage.entries[index] : nullptr;
}

void Storage_Reset() {
    g_SaveStorage.entries.clear();
    g_SaveStorage.listCurrent = 0;
    g_SaveStorage.errorText.clear();
    g_StorageRoot = "C:";
}
