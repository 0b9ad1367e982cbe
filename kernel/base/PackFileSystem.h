#pragma once
// The read-only archive "pack.csa": one file holding many data files. Reads of
// a name it holds are served from it; every other name, and every open for
// writing, passes through to the underlying file system (the disk).
//
// Layout (little-endian): "GEEK", 12 header bytes not interpreted, u32 entry
// count, then per entry u32 offset from the start of the file, u32 size and a
// 128-byte NUL-terminated name with '\' between folders.

#include "kernel/base/FileSystem.h"
#include "kernel/base/Path.h"

#include <cstdint>
#include <memory>
#include <vector>

constexpr uint32_t PACK_MAGIC = 0x4B454547;      // "GEEK"
constexpr uint32_t PACK_HEADER_SIZE = 16;
constexpr uint32_t PACK_TABLE_OFFSET = 20;       // header and entry count
constexpr uint32_t PACK_ENTRY_SIZE = 136;
constexpr uint32_t PACK_NAME_SIZE = 128;
constexpr uint32_t PACK_CACHE_SLOTS = 32;
constexpr uint32_t PACK_CACHE_LIMIT = 16384;     // entries below this size are cached
constexpr uint32_t PACK_HASH_BUCKETS = 4096;

struct PackEntry {
    uint32_t useCount = 0;  // opens since the last cache release
    // The entry's bytes while it sits in a cache slot; open memory handles
    // share it, so it outlives the slot until they are closed.
    std::shared_ptr<std::vector<uint8_t>> cachedBuffer;
    uint32_t offset = 0;
    uint32_t size = 0;
    char name[PACK_NAME_SIZE] = {};  // A to Z lowered
};

struct PackFileHandle {
    uint32_t owns = 0;    // 1: the underlying handle is closed with this one; 0: the archive's lent handle
    uint32_t direct = 0;  // 1: operations pass straight on; 0: positions are relative to the entry
    PackEntry* entry = nullptr;  // null for a pass-through file
    CQVFileSystem* fileSystem = nullptr;
    void* handle = nullptr;
};

class CQVPackFileSystem : public CQVFileSystem {
public:
    // Opens the archive through underlying (null: the disk). Null when the
    // file is missing, is not an archive, or its table does not fit the file.
    static CQVPackFileSystem* Open(const char* path, CQVFileSystem* underlying = nullptr);
    ~CQVPackFileSystem() override;

    // The entry the archive holds under name (any case, '\' or '/'), or null.
    PackEntry* FindEntry(const CQVFilePath& path) const;
    // Frees every cached buffer and sets every use count to 0.
    void ReleaseCache();

    uint32_t GetEntryCount() const { return entryCount; }
    const PackEntry* GetEntry(uint32_t index) const { return index < entryCount ? &entries[index] : nullptr; }
    const PackEntry* GetCacheSlot(uint32_t slot) const { return slot < PACK_CACHE_SLOTS ? cacheSlots[slot] : nullptr; }
    // Entries of the table left out because their name, offset or size was damaged.
    uint32_t GetRefusedCount() const { return refusedCount; }

    void* Open(const char* name, const char* mode) override { return OpenEntry(name, mode); }
    void* OpenEntry(const char* name, const char* mode);
    int Close(void* handle) override;
    uint32_t Read(void* destination, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* source, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int32_t origin) override;
    int IsEof(void* handle) override;
    int Flush(void* handle) override;
    uint32_t GetSize(void* handle) override;
    const uint8_t* MapRead(void* handle, uint32_t* size) override;

private:
    struct HashNode {
        uint32_t hash;
        uint32_t entry;   // index into entries
        int32_t next;     // index into nodes, -1 ends the chain
        uint32_t nameAt;  // the entry's name in names
    };

    CQVPackFileSystem() = default;
    bool ReadTable(uint32_t fileSize);
    void AddToHash(uint32_t index, std::string_view key);
    bool NodeNameIs(const HashNode& node, std::string_view key) const;
    bool CacheEntry(PackEntry* entry);

    PackEntry* cacheSlots[PACK_CACHE_SLOTS] = {};
    void* archiveHandle = nullptr;  // null while lent to an open entry
    CQVFileSystem* underlying = nullptr;
    uint8_t header[PACK_HEADER_SIZE] = {};
    uint32_t entryCount = 0;
    std::vector<PackEntry> entries;
    std::vector<int32_t> buckets;  // head node of each chain, -1 when empty
    std::vector<HashNode> nodes;
    // The names once more, NUL-separated: lookups compare names here, close
    // together, rather than in the large entry records.
    std::string names;
    std::string archivePath;
    uint32_t refusedCount = 0;
};

extern CQVPackFileSystem* g_PackFileSystem;
