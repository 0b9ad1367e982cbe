#pragma once
// A growable byte buffer: the compiled code of a script, and the area in
// which the interpreter packs a statement's arguments. Code is never changed
// once compiled (a new compile starts from a cleared buffer), so copies of a
// script share it, and a run holds it while its record is erased or moved.

#include <cstdint>
#include <memory>

class ScriptBuffer {
public:
    // Appending n bytes beyond the capacity allocates max(length + n,
    // capacity + min(capacity, 1024)) bytes, at least 16. A buffer bound to
    // a fixed area never grows: appending beyond it fails.
    bool Append(const void* bytes, uint32_t count);
    // Releases the data: no code, capacity 0.
    void Clear();
    // Writes into area (not owned) from offset length on.
    void Bind(uint8_t* area, uint32_t areaCapacity, uint32_t newLength);
    bool Owns() const { return storage != nullptr; }

    uint32_t capacity = 0;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    std::shared_ptr<uint8_t[]> storage;  // set when the buffer allocated its data
    bool fixed = false;                  // bound to an area it does not own
};
