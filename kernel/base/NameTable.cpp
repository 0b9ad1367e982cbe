#include "kernel/base/NameTable.h"

#include <cstring>

CQVNameTable g_NameTable;

namespace {
char g_EmptyName[] = "";
}

CQVNameTable::CQVNameTable() : entries(new char*[kMaxEntries]()), count(1) { entries[0] = g_EmptyName; }

CQVNameTable::~CQVNameTable() {
    for (uint32_t i = 1; i < count; ++i) delete[] entries[i];
    delete[] entries;
}

uint32_t CQVNameTable::FindOrAdd(const char* name) {
    if (name == nullptr) name = "";
    for (uint32_t i = 0; i < count; ++i) {
        if (std::strcmp(entries[i], name) == 0) return i;
    }
    if (count == kMaxEntries) return 0;
    const size_t length = std::strlen(name);
    char* copy = new char[length + 1];
    std::memcpy(copy, name, length + 1);
    entries[count] = copy;
    return count++;
}

const char* CQVNameTable::GetName(uint32_t index) const { return index < count ? entries[index] : g_EmptyName; }
