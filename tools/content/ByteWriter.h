#pragma once
// Little-endian values appended to a file being built in memory.

#include <cstdint>
#include <vector>

inline void ByteWriter_Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

inline void ByteWriter_Put32(std::vector<uint8_t>* out, uint32_t value) {
    ByteWriter_Put16(out, value & 0xFFFF);
    ByteWriter_Put16(out, value >> 16);
}
