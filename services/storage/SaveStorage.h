#pragma once
// Save games: one file per save in the "SaveGames" folder under the base
// folder, offered through one storage device, "Hard Disc". A save file is
// u32 1, u32 data size, then the data (little-endian). The list of saves is
// read from the folder once and kept until a write changes the folder.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SaveEntry {
    char name[512] = {};
    uint32_t size = 0;                 // bytes of save data
    std::unique_ptr<uint8_t[]> data;   // null for listed entries
    uint32_t reserved[2] = {0, 0};
};

struct SaveStorage {
    uint32_t deviceCount = 0;
    std::string deviceName;
    std::vector<SaveEntry> entries;
    uint32_t listCurrent = 0;  // 1 while the list matches the folder
    std::string errorText;
};

extern SaveStorage g_SaveStorage;
// The folder holding the saves, in the engine's path form ('\' between
// folders); "C:" until the engine learns its base folder.
extern std::string g_StorageRoot;

constexpr uint32_t SAVE_FILE_HEADER_SIZE = 8;
constexpr uint32_t SAVE_FILE_FORMAT = 1;
constexpr uint32_t STORAGE_DEVICE_BYTES = 0x1400000;  // what the one device reports, free and total
constexpr uint32_t STORAGE_DEVICE_STATE_READY = 3;

// One device named "Hard Disc"; always 1.
int Storage_Init(uint32_t device);
void Storage_SetRoot(const std::string& root);
// Keeps the text as the storage error text; always 0.
int Storage_SetError(const char* text);
const char* Storage_GetError();
uint32_t Storage_GetDeviceState(uint32_t device);
int Storage_GetDeviceCount(uint32_t device, uint32_t* count);
// Copies "Hard Disc" into a buffer of size bytes (cut to fit, always terminated).
int Storage_GetDeviceName(uint32_t device, char* buffer, uint32_t size);
// Free and total bytes; either out-parameter may be null.
int Storage_GetDeviceSize(uint32_t device, uint32_t* freeBytes, uint32_t* totalBytes);
int Storage_GetFreeSpaceText(uint32_t device, char* buffer, uint32_t size);

// Writes the save as root\name. The bytes go to a temporary file first,
// which then replaces the save, so a failed write leaves an older save as
// it was. 1, or 0 (no data, a name that is not a plain file name, or a
// file that cannot be written whole) with the error text set.
int Storage_Write(uint32_t device, const char* name, const void* data, uint32_t size);
// The number of saves; the folder is searched only when a write has
// happened since the last search. Only regular files (or links to them)
// of at least the header's length are saves. 1, or 0 when the folder holds none.
int Storage_List(uint32_t device, uint32_t* count);
// Reads the listed save at index into the buffer; size must be its listed
// size. 1, or 0 (bad index, other size, a file gone or shorter than listed)
// with the buffer untouched in the first two cases.
int Storage_Read(uint32_t device, uint32_t index, void* buffer, uint32_t size);
// The index of the listed save named so, letter case aside; 1, or 0 when
// the list holds none of that name.
int Storage_Find(uint32_t device, const char* name, uint32_t* index);
// The listed save at index, or null.
const SaveEntry* Storage_GetEntry(uint32_t index);

// Forgets the list, the root and the error text (tests).
void Storage_Reset();
