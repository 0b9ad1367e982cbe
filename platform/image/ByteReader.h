#pragma once
// Little-endian reads from a file in memory that never pass its end: a
// read beyond it fails and leaves the reader failed.

#include <cstddef>
#include <cstdint>

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    size_t Position() const { return m_Position; }
    size_t Remaining() const { return m_Size - m_Position; }
    bool Failed() const { return m_Failed; }
    const uint8_t* Here() const { return m_Data + m_Position; }

    bool Seek(size_t position) {
        if (position > m_Size) return Fail();
        m_Position = position;
        return true;
    }
    bool Skip(size_t count) { return count <= Remaining() ? Seek(m_Position + count) : Fail(); }
    // The next count bytes, or null when fewer remain.
    const uint8_t* Take(size_t count) {
        if (count > Remaining()) {
            Fail();
            return nullptr;
        }
        const uint8_t* bytes = Here();
        m_Position += count;
        return bytes;
    }
    uint8_t U8() { return static_cast<uint8_t>(Value(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Value(2)); }
    uint32_t U32() { return Value(4); }
    int32_t I32() { return static_cast<int32_t>(Value(4)); }

private:
    bool Fail() {
        m_Failed = true;
        return false;
    }
    uint32_t Value(size_t bytes) {
        const uint8_t* p = Take(bytes);
        if (p == nullptr) return 0;
        uint32_t value = 0;
        for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
        return value;
    }

    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Position = 0;
    bool m_Failed = false;
};
