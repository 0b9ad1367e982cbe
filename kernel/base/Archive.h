#pragma once
// The engine's file stream: it either reads or writes, according to the
// direction fixed by Open, so one Serialize routine per class both loads and
// saves. Values are stored little-endian without padding or tags: 32-bit
// words as 4 bytes (floats as IEEE single precision), bytes as 1 byte,
// strings as a u32 length followed by the bytes without terminator.
//
// Small transfers go through a block buffer (or straight from the file
// system's memory), so a Serialize routine that moves one word at a time does
// not pay a file-system call per word. Lengths
// and counts read from the file are checked against the bytes that remain:
// a short or lying file gives a failed read, never a huge allocation.

#include "kernel/base/FileSystem.h"

#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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
    // Writes what the buffer holds and has the file system put it on its
    // medium; false (and HasFailed) when any write of the file failed.
    bool Flush();
    int32_t Tell();
    int Seek(int32_t offset, int32_t origin);
    uint32_t GetSize();
    // Bytes between the position and the end of the file.
    uint32_t GetRemaining() {
        if (direction == ARCHIVE_READING && m_readStart >= 0) {
            const int64_t position = m_readStart + (m_readPtr - m_readBase);
            return position < m_fileSize ? static_cast<uint32_t>(m_fileSize - position) : 0;
        }
        return GetRemainingSlow();
    }

    // Each moves the value from memory to the file or back, by direction,
    // and returns the number of whole items moved. The common cases are
    // inline: a Serialize routine moves one small field at a time.
    uint32_t SerializeBytes(void* data, uint32_t count) {
        if (count == 0) return 0;
        return direction == ARCHIVE_READING ? ReadRaw(data, count) : WriteRaw(data, count);
    }
    uint32_t SerializeDwords(void* data, uint32_t count) {
        if (count == 0 || count > UINT32_MAX / 4) return 0;
        return (direction == ARCHIVE_READING ? ReadRaw(data, count * 4) : WriteRaw(data, count * 4)) / 4;
    }
    uint32_t SerializeDword(void* data) {
        return (direction == ARCHIVE_READING ? ReadRaw(data, 4) : WriteRaw(data, 4)) / 4;
    }
    // Used as x = SerializeInt(x); a failed read returns the value passed in.
    int32_t SerializeInt(int32_t value) { return SerializeValue(value); }
    uint8_t SerializeByte(uint8_t value) { return SerializeValue(value); }
    // Reading: a length of 0 or below (as a signed word) leaves the string as
    // it was; a NUL inside the stored bytes ends it there. A length beyond
    // the bytes that remain fails and leaves the string unchanged. 1 when
    // the whole value was moved.
    uint32_t SerializeString(std::string& text) {
        if (direction == ARCHIVE_READING && m_readLimit - m_readPtr >= 4) {
            uint32_t length;
            std::memcpy(&length, m_readPtr, 4);
            // Text that lies whole in the window is taken from there.
            if (length - 1 < 0x7FFFFFFFu && length <= static_cast<size_t>(m_readLimit - m_readPtr) - 4) {
                const char* bytes = reinterpret_cast<const char*>(m_readPtr + 4);
                m_readPtr += 4 + length;
                text.assign(bytes, TextLength(bytes, length, static_cast<size_t>(m_readLimit - m_readPtr) + length));
                return 1;
            }
        }
        return SerializeStringSlow(text);
    }
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

    // Set by a transfer that moved less than asked (a short or lying file, a
    // failed write) since the last Open; a caller that must not take a
    // partial file tests it once at the end.
    bool HasFailed() const { return m_failed; }

    uint32_t direction = ARCHIVE_READING;
    void* handle = nullptr;
    CQVFileSystem* fileSystem = nullptr;

private:
    template <typename T>
    T SerializeValue(T value) {
        if (direction != ARCHIVE_READING) {
            WriteRaw(&value, sizeof value);
            return value;
        }
        T copy;
        return ReadRaw(&copy, sizeof copy) == sizeof copy ? copy : value;
    }
    // Bytes moved; the fast paths serve transfers that fit the buffer.
    uint32_t ReadRaw(void* data, uint32_t bytes) {
        if (bytes <= static_cast<size_t>(m_readLimit - m_readPtr)) [[likely]] {
            std::memcpy(data, m_readPtr, bytes);
            m_readPtr += bytes;
            return bytes;
        }
        return ReadSlow(data, bytes);
    }
    uint32_t WriteRaw(const void* data, uint32_t bytes) {
        if (m_writing && bytes <= ARCHIVE_BUFFER_SIZE - m_writeUsed) [[likely]] {
            std::memcpy(m_buffer.get() + m_writeUsed, data, bytes);
            m_writeUsed += bytes;
            return bytes;
        }
        return WriteSlow(data, bytes);
    }
    // Bytes before the first NUL; stored names are short, so a word at a
    // time inline beats a call.
    // Bytes before the first NUL. Stored names are short and of every
    // length: two 16-byte compares with the tail masked off, without a
    // branch per byte, when the window has 32 bytes to spare.
    static uint32_t TextLength(const char* bytes, uint32_t length, size_t readable) {
#if defined(__SSE2__)
        if (length <= 32 && readable >= 32) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
            uint32_t nuls = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, zero))) |
                            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, zero))) << 16;
            if (length < 32) nuls &= (1u << length) - 1;
            return nuls == 0 ? length : static_cast<uint32_t>(std::countr_zero(nuls));
        }
#endif
        const void* nul = std::memchr(bytes, 0, length);
        return nul != nullptr ? static_cast<uint32_t>(static_cast<const char*>(nul) - bytes) : length;
    }
    [[gnu::cold]] uint32_t ReadSlow(void* data, uint32_t bytes);
    uint32_t ReadSlowPart(void* data, uint32_t bytes);
    [[gnu::cold]] uint32_t SerializeStringSlow(std::string& text);
    [[gnu::cold]] uint32_t WriteSlow(const void* data, uint32_t bytes);
    uint32_t WriteSlowPart(const void* data, uint32_t bytes);
    // Gives buffered state back to the file system: pending writes are
    // written, read-ahead is dropped and the file moved back to the
    // stream's position.
    void Sync();
    void DropWindow() {
        m_readStart = -1;
        m_readBase = m_readPtr = m_readLimit = nullptr;
    }
    void SkipRead(uint32_t bytes);
    uint32_t GetRemainingSlow();
    uint8_t* Buffer();

    static constexpr uint32_t ARCHIVE_BUFFER_SIZE = 64 * 1024;
    std::unique_ptr<uint8_t[]> m_buffer;
    // Reading goes through a window on the file: the buffer, or the file
    // system's own bytes when it holds the file in memory. The file
    // system's position is at the window's end.
    const uint8_t* m_readBase = nullptr;
    const uint8_t* m_readPtr = nullptr;    // next unread byte
    const uint8_t* m_readLimit = nullptr;  // end of the window
    int64_t m_readStart = -1;              // file position of the window's first byte, -1 without one
    uint32_t m_writeUsed = 0;    // bytes of the buffer waiting to be written
    bool m_writing = false;      // the buffer collects writes
    uint32_t m_fileSize = 0;     // reading: the size when opened
    bool m_failed = false;       // see HasFailed
    std::vector<char> m_scratch;
};

// An actor file's stream: Serialize routines read the fields that later
// versions added only when version is at least the version that added them.
class CQVActorArchive : public CQVArchive {
public:
    // The first word of a file being loaded, 70 when saving.
    uint32_t version = 0;
};

// Opens the archive for writing a new file beside fileName (a name as Open
// takes it): a name nobody can predict, created only where no file (nor a
// symbolic link) stands, so that a file replaced by renaming this one over
// it is never written through a planted link. The name goes to
// *temporaryName; false when no such file could be made.
bool Archive_OpenTemporaryBeside(CQVArchive* archive, const std::string& fileName, std::string* temporaryName);
