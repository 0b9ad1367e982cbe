#include "kernel/base/PackFileSystem.h"

#include <algorithm>
#include <cstring>
#include <new>

CQVPackFileSystem* g_PackFileSystem = nullptr;

namespace {

uint32_t ReadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The stored name is usable only when it ends inside its 128 bytes.
bool NameTerminated(const uint8_t* name) { return std::memchr(name, 0, PACK_NAME_SIZE) != nullptr; }

// The low bits of the name hash repeat for names that differ only in a few
// digits (mission_00001 ... mission_09999 fill a fifth of the buckets), so
// the bucket comes from the top bits of the hash times a large odd number.
static_assert(PACK_HASH_BUCKETS == 1u << 12);
uint32_t Bucket(uint32_t hash) { return (hash * 2654435761u) >> 20; }

}  // namespace

CQVPackFileSystem* CQVPackFileSystem::Open(const char* path, CQVFileSystem* underlying) {
    if (path == nullptr) return nullptr;
    auto* pack = new (std::nothrow) CQVPackFileSystem;
    if (pack == nullptr) return nullptr;
    pack->underlying = underlying != nullptr ? underlying : CQVStdioFileSystem::GetInstance();
    pack->archivePath = path;
    pack->buckets.assign(PACK_HASH_BUCKETS, -1);

    pack->archiveHandle = pack->underlying->Open(path, "rb");
    if (pack->archiveHandle == nullptr) {
        delete pack;
        return nullptr;
    }
    const uint32_t fileSize = pack->underlying->GetSize(pack->archiveHandle);
    if (pack->underlying->Read(pack->header, 1, PACK_HEADER_SIZE, pack->archiveHandle) != PACK_HEADER_SIZE ||
        ReadU32(pack->header) != PACK_MAGIC || !pack->ReadTable(fileSize)) {
        delete pack;
        return nullptr;
    }
    return pack;
}

// Reads the entry table. A count that the file cannot hold refuses the whole
// archive; a single entry whose name is not terminated or whose bytes lie
// beyond the file is left out of the lookup, so the disk file of that name
// stays reachable.
bool CQVPackFileSystem::ReadTable(uint32_t fileSize) {
    uint8_t countBytes[4];
    if (underlying->Read(countBytes, 1, 4, archiveHandle) != 4) return false;
    const uint32_t count = ReadU32(countBytes);
    if (fileSize < PACK_TABLE_OFFSET || count > (fileSize - PACK_TABLE_OFFSET) / PACK_ENTRY_SIZE) return false;

    std::vector<uint8_t> table(static_cast<size_t>(count) * PACK_ENTRY_SIZE);
    if (count > 0 && underlying->Read(table.data(), PACK_ENTRY_SIZE, count, archiveHandle) != count) return false;

    entryCount = count;
    entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* raw = table.data() + static_cast<size_t>(i) * PACK_ENTRY_SIZE;
        PackEntry& entry = entries[i];
        entry.offset = ReadU32(raw);
        entry.size = ReadU32(raw + 4);
        std::memcpy(entry.name, raw + 8, PACK_NAME_SIZE);
        if (!NameTerminated(raw + 8) || static_cast<uint64_t>(entry.offset) + entry.size > fileSize) {
            entry.name[0] = '\0';
            ++refusedCount;
            continue;
        }
        std::string key(entry.name);
        Path_LowerAscii(&key);
        std::memcpy(entry.name, key.c_str(), key.size() + 1);
        AddToHash(i, key);
    }
    return true;
}

bool CQVPackFileSystem::NodeNameIs(const HashNode& node, std::string_view key) const {
    return node.nameAt + key.size() < names.size() && names[node.nameAt + key.size()] == '\0' &&
           std::memcmp(names.data() + node.nameAt, key.data(), key.size()) == 0;
}

// A later entry of the same name replaces the earlier one.
void CQVPackFileSystem::AddToHash(uint32_t index, std::string_view key) {
    const uint32_t hash = Path_Hash(key);
    int32_t& head = buckets[Bucket(hash)];
    for (int32_t n = head; n >= 0; n = nodes[n].next) {
        if (nodes[n].hash == hash && NodeNameIs(nodes[n], key)) {
            nodes[n].entry = index;
            return;
        }
    }
    nodes.push_back(HashNode{hash, index, head, static_cast<uint32_t>(names.size())});
    names.append(key);
    names.push_back('\0');
    head = static_cast<int32_t>(nodes.size() - 1);
}

CQVPackFileSystem::~CQVPackFileSystem() {
    ReleaseCache();
    if (archiveHandle != nullptr) underlying->Close(archiveHandle);
}

PackEntry* CQVPackFileSystem::FindEntry(const CQVFilePath& path) const {
    const std::string_view key = path.GetKey();
    if (key.size() >= PACK_NAME_SIZE) return nullptr;
    const uint32_t hash = path.GetHash();
    for (int32_t n = buckets[Bucket(hash)]; n >= 0; n = nodes[n].next) {
        const HashNode& node = nodes[n];
        if (node.hash == hash && NodeNameIs(node, key)) return const_cast<PackEntry*>(&entries[node.entry]);
    }
    return nullptr;
}

void CQVPackFileSystem::ReleaseCache() {
    for (PackEntry* slot : cacheSlots) {
        if (slot != nullptr) slot->cachedBuffer.reset();
    }
    for (PackEntry& entry : entries) {
        entry.useCount = 0;
        entry.cachedBuffer.reset();
    }
}

// Puts the entry into a cache slot: the first slot that is empty or whose
// entry has been opened fewer times than this one. False when no slot
// qualifies or the bytes cannot be read.
bool CQVPackFileSystem::CacheEntry(PackEntry* entry) {
    uint32_t slot = 0;
    while (slot < PACK_CACHE_SLOTS && cacheSlots[slot] != nullptr && cacheSlots[slot]->useCount >= entry->useCount) {
        ++slot;
    }
    if (slot == PACK_CACHE_SLOTS) return false;

    auto buffer = std::make_shared<std::vector<uint8_t>>(entry->size);
    if (underlying->Seek(archiveHandle, static_cast<int32_t>(entry->offset), FILE_SEEK_SET) != 0 ||
        underlying->Read(buffer->data(), 1, entry->size, archiveHandle) != entry->size) {
        return false;
    }
    if (cacheSlots[slot] != nullptr) cacheSlots[slot]->cachedBuffer.reset();
    cacheSlots[slot] = entry;
    entry->cachedBuffer = std::move(buffer);
    return true;
}

void* CQVPackFileSystem::OpenEntry(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr) return nullptr;
    const CQVFilePath path(name);
    PackEntry* entry = FindEntry(path);
    auto* record = new (std::nothrow) PackFileHandle;
    if (record == nullptr) return nullptr;

    if (entry == nullptr || mode[0] == 'w') {
        // Pass-through; the disk finds the name whatever its case.
        record->owns = 1;
        record->direct = 1;
        record->fileSystem = underlying;
        record->handle = underlying->Open(name, mode);
        if (record->handle == nullptr) {
            delete record;
            return nullptr;
        }
        return record;
    }

    record->entry = entry;
    ++entry->useCount;
    if (archiveHandle != nullptr && entry->size < PACK_CACHE_LIMIT &&
        (entry->cachedBuffer != nullptr || CacheEntry(entry))) {
        record->owns = 1;
        record->direct = 1;
        record->fileSystem = CQVMemoryFileSystem::GetInstance();
        record->handle = CQVMemoryFileSystem::GetInstance()->OpenBuffer(entry->cachedBuffer->data(), entry->size,
                                                                         false, entry->cachedBuffer);
        if (record->handle == nullptr) {
            delete record;
            return nullptr;
        }
        return record;
    }

    if (archiveHandle != nullptr) {
        record->owns = 0;
        record->handle = archiveHandle;
        archiveHandle = nullptr;
    } else {
        // The archive's own handle is lent to another open entry.
        record->owns = 1;
        record->handle = underlying->Open(archivePath.c_str(), "rb");
        if (record->handle == nullptr) {
            delete record;
            return nullptr;
        }
    }
    record->fileSystem = underlying;
    underlying->Seek(record->handle, static_cast<int32_t>(entry->offset), FILE_SEEK_SET);
    return record;
}

int CQVPackFileSystem::Close(void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    if (record == nullptr) return 0;
    if (record->owns) {
        record->fileSystem->Close(record->handle);
    } else {
        archiveHandle = record->handle;
    }
    delete record;
    return 0;
}

uint32_t CQVPackFileSystem::Read(void* destination, uint32_t size, uint32_t count, void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    if (record->direct) return record->fileSystem->Read(destination, size, count, record->handle);
    if (size == 0) return 0;
    // Reads stop at the end of the entry, never running into the next one.
    const int64_t position = record->fileSystem->Tell(record->handle);
    const int64_t end = static_cast<int64_t>(record->entry->offset) + record->entry->size;
    if (position < record->entry->offset || position >= end) return 0;
    const uint64_t bytes = std::min<uint64_t>(static_cast<uint64_t>(size) * count, static_cast<uint64_t>(end - position));
    const uint32_t got = record->fileSystem->Read(destination, 1, static_cast<uint32_t>(bytes), record->handle);
    return got / size;
}

uint32_t CQVPackFileSystem::Write(const void* source, uint32_t size, uint32_t count, void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    // Entries are read-only.
    if (!record->direct || record->entry != nullptr) return 0;
    return record->fileSystem->Write(source, size, count, record->handle);
}

int32_t CQVPackFileSystem::Tell(void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    const int32_t position = record->fileSystem->Tell(record->handle);
    if (record->direct || position < 0) return position;
    return static_cast<int32_t>(position - static_cast<int64_t>(record->entry->offset));
}

int CQVPackFileSystem::Seek(void* handle, int32_t offset, int32_t origin) {
    auto* record = static_cast<PackFileHandle*>(handle);
    if (record->direct) return record->fileSystem->Seek(record->handle, offset, origin);
    int64_t base;
    switch (origin) {
    case FILE_SEEK_SET: base = 0; break;
    case FILE_SEEK_CUR: base = Tell(handle); break;
    case FILE_SEEK_END: base = record->entry->size; break;
    default: return 0;
    }
    // A position before the entry would read the bytes of another one.
    const int64_t target = base + offset;
    const int64_t absolute = target + record->entry->offset;
    if (target < 0 || absolute > INT32_MAX) return -1;
    return record->fileSystem->Seek(record->handle, static_cast<int32_t>(absolute), FILE_SEEK_SET);
}

int CQVPackFileSystem::IsEof(void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    if (record->direct) return record->fileSystem->IsEof(record->handle);
    const int32_t position = record->fileSystem->Tell(record->handle);
    if (position >= 0 && static_cast<uint32_t>(position) >= record->entry->offset + record->entry->size) return 1;
    return record->fileSystem->IsEof(record->handle);
}

int CQVPackFileSystem::Flush(void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    return record->direct ? record->fileSystem->Flush(record->handle) : 0;
}

uint32_t CQVPackFileSystem::GetSize(void* handle) {
    auto* record = static_cast<PackFileHandle*>(handle);
    if (record->direct) return record->fileSystem->GetSize(record->handle);
    return record->entry->size;
}

const uint8_t* CQVPackFileSystem::MapRead(void* handle, uint32_t* size) {
    auto* record = static_cast<PackFileHandle*>(handle);
    return record->direct ? record->fileSystem->MapRead(record->handle, size) : nullptr;
}
