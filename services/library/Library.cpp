#include "services/library/Library.h"

#include "kernel/base/Archive.h"
#include "kernel/base/FileSystem.h"
#include "kernel/base/Path.h"
#include "services/engine/Engine.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

LibraryState g_Library;

namespace {

constexpr char kOpenError[] = "Serialize File Open Error";
constexpr char kUnknownKind[] = "Fatal Library Serialization Error - Unknown Class ID";
constexpr char kDamaged[] = "Fatal Library Serialization Error";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Eight bytes of a name with A to Z lowered, all at once: a byte gets 0x20
// where it is below 0x80, at least 'A' and at most 'Z'.
uint64_t LowerAscii8(uint64_t x) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    const uint64_t low7 = x & ~kHigh;
    const uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
    const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
    const uint64_t upper = atLeastA & ~aboveZ & ~x & kHigh;
    return x | (upper >> 2);
}

template <typename Word>
uint64_t LoadWord(const char* bytes) {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The name with A to Z lowered, hashed eight bytes at a time (names equal
// ignoring case hash alike). The bytes after the last whole word are read
// in whole loads that may overlap bytes already taken (a byte-by-byte copy
// into a word stalls the load that follows it); the length is mixed in
// first, so the overlap is the same for every name of that length.
uint32_t NameHash(std::string_view name) {
    const char* bytes = name.data();
    const size_t length = name.size();
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ length;
    auto mix = [&hash](uint64_t word) {
        hash = (hash ^ LowerAscii8(word)) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
    };
    size_t at = 0;
    for (; at + 8 <= length; at += 8) mix(LoadWord<uint64_t>(bytes + at));
    const size_t left = length - at;
    if (left > 0) {
        if (length >= 8) mix(LoadWord<uint64_t>(bytes + length - 8));
        else if (left >= 4) mix(LoadWord<uint32_t>(bytes) | LoadWord<uint32_t>(bytes + left - 4) << 32);
        else mix(static_cast<uint8_t>(bytes[0]) | static_cast<uint64_t>(static_cast<uint8_t>(bytes[left / 2])) << 8 |
                 static_cast<uint64_t>(static_cast<uint8_t>(bytes[left - 1])) << 16);
    }
    hash ^= hash >> 29;
    hash *= 0x94D049BB133111EBull;
    hash ^= hash >> 32;
    return static_cast<uint32_t>(hash);
}

// Twice the slots, rounded up to a power of two.
constexpr uint32_t kNameIndexSize = std::bit_ceil(2 * kLibraryItemSlots);

// The smallest stored forms, for checking stored counts against the bytes left.
constexpr uint32_t kStoredGroupSize = 4;   // its string count
constexpr uint32_t kStoredStringSize = 4;  // its length

int ReadHeader(CQVArchive* archive, uint32_t* version) {
    // Versions 1 to 7 exist; any other first word is not a library.
    if (!archive->SerializeDword(version) || *version < 1 || *version > LIBRARY_FILE_VERSION) return 0;
    g_Library.fileVersion = *version;
    if (*version >= 2) {
        float scale = 0.0f;
        if (!archive->SerializeDword(&scale) || !archive->SerializeDwords(g_Library.headerWords, 4)) return 0;
        // Every acceleration is multiplied by it and divided by it: a scale
        // that is not a positive number is a damaged file.
        if (!(scale > 0.0f) || !std::isfinite(scale)) return 0;
        if (CQVEngine* engine = CQVEngine::GetInstance()) {
            engine->worldScale = scale;
            engine->inverseWorldScale = 1.0f / scale;
        }
    }
    uint32_t groupCount = 0;
    if (!archive->SerializeCount(&groupCount, kStoredGroupSize)) return 0;
    g_Library.groups.assign(groupCount, {});
    for (std::vector<std::string>& group : g_Library.groups) {
        uint32_t count = 0;
        if (!archive->SerializeCount(&count, kStoredStringSize)) return 0;
        group.resize(count);
        for (std::string& text : group) {
            if (!archive->SerializeString(text)) return 0;
        }
    }
    return 1;
}

// A folder's "QVLibrary_Bak.qvf" takes a copy of the file about to be replaced.
bool BackUp(const std::string& fileName) {
    const std::string target = CQVFilePath(fileName).Resolve();
    std::error_code error;
    if (!std::filesystem::exists(target, error)) return true;
    const size_t slash = fileName.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
    const std::string backup = CQVFilePath(folder + LIBRARY_BACKUP_NAME).Resolve();
    return std::filesystem::copy_file(target, backup, std::filesystem::copy_options::overwrite_existing, error);
}

}  // namespace

bool Library_NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

LibraryState::LibraryState()
    : m_items(kLibraryItemSlots, nullptr), m_hashes(kLibraryItemSlots, 0), m_nameIndex(kNameIndexSize, {kNoEntry, 0}) {
    m_pending.reserve(kLibraryItemSlots);
}

LibraryState::~LibraryState() {
    for (CQVLibraryItem* item : m_items) delete item;
}

void LibraryState::Clear() {
    for (CQVLibraryItem*& item : m_items) {
        delete item;
        item = nullptr;
    }
    m_items.assign(kLibraryItemSlots, nullptr);
    m_hashes.assign(kLibraryItemSlots, 0);
    m_nameIndex.assign(kNameIndexSize, {kNoEntry, 0});
    m_pending.clear();
    fileVersion = LIBRARY_FILE_VERSION;
    std::fill(std::begin(headerWords), std::end(headerWords), 0u);
    groups.clear();
}

bool LibraryState::Place(uint32_t id, CQVLibraryItem* item) {
    CQVLibraryItem* old = m_items[id];
    if (old == item) return false;
    if (old != nullptr) Unindex(id);
    // An item someone holds stays alive with its holder.
    if (old != nullptr && !old->shared) delete old;
    m_items[id] = item;
    if (item != nullptr) item->id = id;
    return true;
}

bool LibraryState::SetItem(uint32_t id, CQVLibraryItem* item) {
    if (id >= m_items.size()) return false;
    if (!Place(id, item)) Reindex(id);
    else if (item != nullptr) Index(id);
    return true;
}

bool LibraryState::SetItemDeferred(uint32_t id, CQVLibraryItem* item) {
    if (id >= m_items.size()) return false;
    if (!Place(id, item)) {
        Reindex(id);
        return true;
    }
    if (item == nullptr) return true;
    m_hashes[id] = NameHash(item->name);
    // A slot refilled while waiting was flushed by its Unindex: each slot
    // waits at most once, so the reserved room always holds them.
    m_pending.push_back(id);
    return true;
}

void LibraryState::FlushIndex() const {
    // Outside a read nothing waits, and a lookup writes nothing.
    if (m_pending.empty()) return;
    for (uint32_t id : m_pending) Insert(id, m_hashes[id]);
    m_pending.clear();
}

CQVLibraryItem* LibraryState::TakeItem(uint32_t id) {
    if (id >= m_items.size()) return nullptr;
    Unindex(id);
    CQVLibraryItem* item = m_items[id];
    m_items[id] = nullptr;
    return item;
}

void LibraryState::Reindex(uint32_t id) {
    if (id >= m_items.size()) return;
    Unindex(id);
    if (m_items[id] != nullptr) Index(id);
}

void LibraryState::Unindex(uint32_t id) {
    if (m_items[id] == nullptr) return;
    FlushIndex();
    const uint32_t mask = kNameIndexSize - 1;
    uint32_t hole = m_hashes[id] & mask;
    while (m_nameIndex[hole].id != id) {
        if (m_nameIndex[hole].id == kNoEntry) return;
        hole = (hole + 1) & mask;
    }
    // Entries after the hole move back into it unless their own home lies
    // cyclically after the hole, so that every run stays unbroken.
    for (uint32_t next = (hole + 1) & mask;; next = (next + 1) & mask) {
        const NameEntry entry = m_nameIndex[next];
        if (entry.id == kNoEntry) break;
        const uint32_t home = entry.hash & mask;
        const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (stays) continue;
        m_nameIndex[hole] = entry;
        hole = next;
    }
    m_nameIndex[hole] = {kNoEntry, 0};
}

void LibraryState::Index(uint32_t id) {
    const uint32_t hash = NameHash(m_items[id]->name);
    m_hashes[id] = hash;
    Insert(id, hash);
}

void LibraryState::Insert(uint32_t id, uint32_t hash) const {
    const uint32_t mask = kNameIndexSize - 1;
    uint32_t at = hash & mask;
    while (m_nameIndex[at].id != kNoEntry) at = (at + 1) & mask;
    m_nameIndex[at] = {id, hash};
}

CQVLibraryItem* LibraryState::Find(std::string_view name, int32_t kind) const {
    const uint32_t hash = NameHash(name);
    const uint32_t mask = kNameIndexSize - 1;
    FlushIndex();
    // Entries of one name may lie anywhere in the run: the lowest id wins.
    uint32_t best = kNoEntry;
    for (uint32_t at = hash & mask; m_nameIndex[at].id != kNoEntry; at = (at + 1) & mask) {
        const NameEntry entry = m_nameIndex[at];
        if (entry.hash != hash || entry.id >= best) continue;
        const CQVLibraryItem* item = m_items[entry.id];
        if ((kind == -1 || item->kind == static_cast<uint32_t>(kind)) && Library_NamesEqual(item->name, name))
            best = entry.id;
    }
    return best != kNoEntry ? m_items[best] : nullptr;
}

void Library_Reset() { g_Library.Clear(); }

namespace {

int ReadItems(CQVArchive* archive, uint32_t mode) {
    uint32_t version = 0;
    uint32_t itemCount = 0;
    if (!ReadHeader(archive, &version) || !archive->SerializeDword(&itemCount)) return CQVEngine::SetError(kDamaged);
    // Items come one at a time, each from its own bytes: a count larger than
    // the file holds ends in a failed read, never in an allocation.
    for (uint32_t index = 0; index < itemCount; ++index) {
        uint32_t kindAndId[2];
        if (archive->SerializeDwords(kindAndId, 2) != 2) return CQVEngine::SetError(kDamaged);
        CQVLibraryItem* item = LibraryItem_Create(kindAndId[0]);
        if (item == nullptr) return CQVEngine::SetError(kUnknownKind);
        if (kindAndId[1] >= g_Library.GetSlotCount()) {
            delete item;
            return CQVEngine::SetError("%s - Item ID %u Out Of Range", kDamaged, kindAndId[1]);
        }
        item->id = kindAndId[1];
        if (!item->Serialize(archive, mode, version)) {
            delete item;
            return CQVEngine::SetError(kDamaged);
        }
        g_Library.SetItemDeferred(kindAndId[1], item);
    }
    return 1;
}

}  // namespace

int Library_Read(CQVArchive* archive, uint32_t mode) {
    const int result = ReadItems(archive, mode);
    g_Library.FlushIndex();
    return result;
}

int Library_ReadFile(const std::string& fileName, uint32_t mode) {
    CQVArchive archive;
    if (!archive.Open(fileName.c_str(), "rb")) return CQVEngine::SetError(kOpenError);
    return Library_Read(&archive, mode);
}

int Library_Write(CQVArchive* archive, const LibraryState& library, float worldScale, uint32_t version) {
    if (version < 1 || version > LIBRARY_FILE_VERSION) return CQVEngine::SetError(kDamaged);
    archive->SerializeDword(&version);
    if (version >= 2) {
        archive->SerializeDword(&worldScale);
        uint32_t words[4];
        std::copy(std::begin(library.headerWords), std::end(library.headerWords), words);
        archive->SerializeDwords(words, 4);
    }
    uint32_t groupCount = static_cast<uint32_t>(library.groups.size());
    archive->SerializeDword(&groupCount);
    for (const std::vector<std::string>& group : library.groups) {
        uint32_t count = static_cast<uint32_t>(group.size());
        archive->SerializeDword(&count);
        for (std::string text : group) archive->SerializeString(text);
    }
    uint32_t itemCount = 0;
    for (uint32_t id = 0; id < library.GetSlotCount(); ++id) itemCount += library.At(id) != nullptr ? 1 : 0;
    archive->SerializeDword(&itemCount);
    for (uint32_t id = 0; id < library.GetSlotCount(); ++id) {
        CQVLibraryItem* item = library.At(id);
        if (item != nullptr && !item->Serialize(archive, SERIALIZE_WRITE, version)) return CQVEngine::SetError(kDamaged);
    }
    return archive->HasFailed() ? CQVEngine::SetError(kDamaged) : 1;
}

int Library_WriteFile(const std::string& fileName, const LibraryState& library, float worldScale, uint32_t version) {
    if (!BackUp(fileName)) return CQVEngine::SetError("Library Backup Error");
    // Written whole into a new file beside its name, then put in place: a
    // failed write leaves the old file as it was.
    CQVArchive archive;
    archive.fileSystem = CQVStdioFileSystem::GetInstance();
    std::string temporary;
    if (!Archive_OpenTemporaryBeside(&archive, fileName, &temporary)) return CQVEngine::SetError(kOpenError);
    const std::string temporaryPath = CQVFilePath(temporary).Resolve();
    const int written = Library_Write(&archive, library, worldScale, version);
    // Every byte must be on the disk before the old file goes: the last
    // buffer is written by the flush, so the check comes after it.
    const bool flushed = archive.Flush();
    const bool closed = archive.Close() == 0;
    if (!written || !flushed || !closed) {
        std::remove(temporaryPath.c_str());
        return written ? CQVEngine::SetError(kOpenError) : 0;
    }
    if (!File_ReplaceOnDisk(temporaryPath, CQVFilePath(fileName).Resolve())) return CQVEngine::SetError(kOpenError);
    return 1;
}

uint32_t Library_GetItemId(const CQVLibraryItem* item) { return item != nullptr ? item->id : LIBRARY_NO_ITEM; }

const char* Library_GetItemName(const CQVLibraryItem* item) { return item != nullptr ? item->name.c_str() : nullptr; }

int Library_LoadItem(CQVLibraryItem* item) {
    if (item != nullptr) item->Load();
    return 1;
}

int Library_UnloadItem(CQVLibraryItem* item) {
    if (item != nullptr) item->Unload();
    return 1;
}
