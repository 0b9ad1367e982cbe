#pragma once
// Interned names that many records share (the bone names of skeletons and
// key-frame tracks): each name is stored once and referred to by its index,
// which names the same string for the rest of the run.

#include <cstdint>

class CQVNameTable {
public:
    static constexpr uint32_t kMaxEntries = 4096;

    CQVNameTable();
    ~CQVNameTable();
    CQVNameTable(const CQVNameTable&) = delete;
    CQVNameTable& operator=(const CQVNameTable&) = delete;

    // The index of the name, added when new (case-sensitive). The empty name
    // is 0; so is a new name once the table is full.
    uint32_t FindOrAdd(const char* name);
    // The name at an index; "" for an index never given.
    const char* GetName(uint32_t index) const;

    char** entries;  // entry 0 is a static empty string, the rest are owned
    uint32_t count;
};

extern CQVNameTable g_NameTable;
