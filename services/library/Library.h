#pragma once
// The resource library: one table of items whose slot index is the item id,
// read once at start-up from "DARarezev.edo" in the base folder, and the
// writer of that file that our tools use. The file: u32 version; from
// version 2 a f32 world scale and four u32; u32 group count, each group a
// u32 string count and its strings; u32 item count, each item u32 kind, u32
// id and its own fields (LibraryItem.h). Version gates, from oldest:
// 2 world scale; 3 texture types read as stored, mesh bounds; 4 mesh frame
// word; 5 sound volume; 6 mesh scale; 7 light-map ids.

#include "services/library/LibraryItem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CQVArchive;

constexpr uint32_t kLibraryItemSlots = 7000;
constexpr uint32_t LIBRARY_FILE_VERSION = 7;
constexpr char LIBRARY_FILE_NAME[] = "DARarezev.edo";
// The copy of the old file taken before every write, in the same folder.
constexpr char LIBRARY_BACKUP_NAME[] = "QVLibrary_Bak.qvf";

// The library's state: the item table with an index of the item names, and
// what the file held beside its items, which a rewrite keeps.
class LibraryState {
public:
    LibraryState();
    ~LibraryState();
    LibraryState(const LibraryState&) = delete;
    LibraryState& operator=(const LibraryState&) = delete;

    uint32_t GetSlotCount() const { return static_cast<uint32_t>(m_items.size()); }
    // The item in a slot; null for an empty slot or an id outside the table.
    CQVLibraryItem* At(uint32_t id) const { return id < m_items.size() ? m_items[id] : nullptr; }
    // Puts an item into slot id and sets its id; an item it replaces is
    // deleted unless someone holds it. False, and nothing changes, for an id
    // outside the table.
    bool SetItem(uint32_t id, CQVLibraryItem* item);
    // As SetItem, for reading many items in a row: the names wait and go
    // into the index together at the next FlushIndex, where their scattered
    // writes into the index overlap instead of each stalling the read of
    // the item after it. Every other call (Find too) flushes first, so the
    // items are found at once.
    bool SetItemDeferred(uint32_t id, CQVLibraryItem* item);
    void FlushIndex() const;
    // Takes an item out of its slot without deleting it.
    CQVLibraryItem* TakeItem(uint32_t id);
    // To be called after an item in the table was renamed.
    void Reindex(uint32_t id);
    // The first item in id order of the kind (-1 any) whose name equals the
    // name with A to Z compared ignoring case; null when none.
    CQVLibraryItem* Find(std::string_view name, int32_t kind) const;
    // Deletes every item and gives back an empty table of 7000 slots and the
    // header of a new file.
    void Clear();

    uint32_t fileVersion = LIBRARY_FILE_VERSION;
    uint32_t headerWords[4] = {};  // stored after the world scale; kept as read
    std::vector<std::vector<std::string>> groups;

private:
    void Unindex(uint32_t id);
    void Index(uint32_t id);
    void Insert(uint32_t id, uint32_t hash) const;
    // Puts the item into its slot, deleting the one it replaces unless held;
    // false when the slot already holds it.
    bool Place(uint32_t id, CQVLibraryItem* item);

    // One entry of the name index: a filled slot and the hash of its name.
    struct NameEntry {
        uint32_t id;
        uint32_t hash;
    };
    static constexpr uint32_t kNoEntry = 0xFFFFFFFF;

    std::vector<CQVLibraryItem*> m_items;
    // The hash each filled slot is indexed under, kept so that an item
    // renamed before its Reindex is still found for removal.
    std::vector<uint32_t> m_hashes;
    // Open addressing with linear probing, at most half full (every slot of
    // the table fits twice over): reading a library adds one entry per item
    // without allocating, and a lookup touches one short run of entries.
    // Mutable: a lookup puts the waiting names in first.
    mutable std::vector<NameEntry> m_nameIndex;
    // Slots SetItemDeferred filled, in order, whose names are not yet in
    // the index (their hashes are in m_hashes); room for every slot.
    mutable std::vector<uint32_t> m_pending;
};

extern LibraryState g_Library;

// Deletes every item of the game's library: an empty table of 7000 slots.
void Library_Reset();

// Reads a library file into g_Library: items go into their slots, and with
// mode 0 are loaded at once; the world scale goes to the engine. 1, or 0
// with the engine's error text set; items read before a failure stay.
int Library_Read(CQVArchive* archive, uint32_t mode);
int Library_ReadFile(const std::string& fileName, uint32_t mode);
// Writes the header, then every item of the table in id order, in the form
// of a version (the latest unless a tool asks for an older one). The file
// is written beside its name and put in place when whole; an existing file
// is first copied to "QVLibrary_Bak.qvf" in its folder.
int Library_Write(CQVArchive* archive, const LibraryState& library, float worldScale,
                  uint32_t version = LIBRARY_FILE_VERSION);
int Library_WriteFile(const std::string& fileName, const LibraryState& library, float worldScale,
                      uint32_t version = LIBRARY_FILE_VERSION);

// An item's id, LIBRARY_NO_ITEM for null.
uint32_t Library_GetItemId(const CQVLibraryItem* item);
// An item's name (empty when unset), null for null.
const char* Library_GetItemName(const CQVLibraryItem* item);
// Load or Unload of a non-null item; always 1.
int Library_LoadItem(CQVLibraryItem* item);
int Library_UnloadItem(CQVLibraryItem* item);

// What a texture item asks of the texture service, by the engine's texture
// format code and size divisor: a size (0 keeps the file's) and a format
// (unknown keeps the file's).
struct TextureRequest {
    uint32_t width;
    uint32_t height;
    D3DFORMAT format;
};
TextureRequest Library_GetTextureRequest(const CQVTextureItem& item, const std::string& path, uint32_t formatCode,
                                         uint32_t divisor);

// Equal ignoring the case of A to Z, as names compare.
bool Library_NamesEqual(std::string_view a, std::string_view b);
