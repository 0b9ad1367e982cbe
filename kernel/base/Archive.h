#pragma once
// The engine's file stream: it either reads or writes, according to the
// direction fixed by Open, so one Serialize routine per class both loads and
// saves. Values are stored little-endian without padding or tags: 32-bit
// words as 4 bytes (floats as IEEE single precision), bytes as 1 byte,
// strings as a u32 length followed by the bytes without terminator.
//
// Small transfers go through a block buffer, so a Serialize routine that
// moves one word at a time does not pay a file-system call per word. Lengths
// and counts read from the file are checked against the bytes that remain:
// a short or lying file gives a failed read, never a huge allocation.

#include "kernel/base/FileSystem.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little, "stored words are the machine's words");

constexpr uint32_t ARCHIVE_READING = 0;
constexpr uint32_t ARCHIVE_WRITING = 1;

class CQVArchive {
public:
    // Binds to the current file system (the disk while none is current).
    CQVArchive();
    virtual ~CQVArchive();
    CQVArchive(const CQVArchive&) = delete;
    CQVArchive& operator=(const CQVArchive&) = delete;

    // Writing when the mode holds a 'w' anywhere, else reading.
    bool Open(const char* name, const char* mode);
    int Close();
    int32_t Tell();
    int Seek(int32_t offset, int32_t origin);
    uint32_t GetSize();
    // Bytes between the position and the end of the file.
    uint32_t GetRemaining();

    // Each moves the value from memory to the file or back, by direction,
    // and returns the number of whole items moved.
    uint32_t SerializeBytes(void* data, uint32_t count);
    uint32_t SerializeDwords(void* data, uint32_t count);
    uint32_t SerializeDword(void* data) { return SerializeDwords(data, 1); }
    // Used as x = SerializeInt(x); a failed read returns the value passed in.
    int32_t SerializeInt(int32_t value);
    uint8_t SerializeByte(uint8_t value);
    // Reading: a length of 0 or below (as a signed word) leaves the string as
    // it was; a NUL inside the stored bytes ends it there. A length beyond
    // the bytes that remain fails and leaves the string unchanged.
    uint32_t SerializeString(std::string& text);
    // A NUL-terminated text in a buffer of capacity bytes. Reading a length
    // that does not fit (capacity - 1 characters at most) skips the stored
    // bytes, leaves the buffer empty and fails.
    uint32_t SerializeCString(char* buffer, uint32_t capacity);
    // A u32 count of items that take at least itemSize bytes each in the
    // file. Reading fails, and sets the count to 0, when the rest of the file
    // cannot hold that many.
    uint32_t SerializeCount(uint32_t* count, uint32_t itemSize);

    // One item of size bytes, whatever the direction.
    uint32_t Read(void* data, uint32_t size);
    uint32_t Write(const void* data, uint32_t size);

    uint32_t direction = ARCHIVE_READING;
    void* handle = nullptr;
    CQVFileSystem* fileSystem = nullptr;

private:
    // Bytes moved; the fast paths serve transfers that fit the buffer.
    uint32_t ReadRaw(void* data, uint32_t bytes) {
        if (bytes <= m_readEnd - m_readAt) {
            std::memcpy(data, m_buffer.get() + m_readAt, bytes);
            m_readAt += bytes;
            return bytes;
        }
        return ReadSlow(data, bytes);
    }
    uint32_t WriteRaw(const void* data, uint32_t bytes) {
        if (m_writing && bytes <= ARCHIVE_BUFFER_SIZE - m_writeUsed) {
            std::memcpy(m_buffer.get() + m_writeUsed, data, bytes);
            m_writeUsed += bytes;
            return bytes;
        }
        return WriteSlow(data, bytes);
    }
    uint32_t ReadSlow(void* data, uint32_t bytes);
    uint32_t WriteSlow(const void* data, uint32_t bytes);
    // Gives buffered state back to the file system: pending writes are
    // written, read-ahead is dropped and the file moved back to the
    // stream's position.
    void Sync();
    void SkipRead(uint32_t bytes);

    static constexpr uint32_t ARCHIVE_BUFFER_SIZE = 64 * 1024;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_readAt = 0;       // next unread byte of the buffer
    uint32_t m_readEnd = 0;      // bytes of the buffer holding file data
    int64_t m_readStart = -1;    // file position of the buffer's first byte, -1 with nothing buffered
    uint32_t m_writeUsed = 0;    // bytes of the buffer waiting to be written
    bool m_writing = false;      // the buffer collects writes
    uint32_t m_fileSize = 0;     // reading: the size when opened
    std::vector<char> m_scratch;
};

// An actor file's stream: Serialize routines read the fields that later
// versions added only when version is at least the version that added them.
class CQVActorArchive : public CQVArchive {
public:
    // The first word of a file being loaded, 70 when saving.
    uint32_t version = 0;
};
