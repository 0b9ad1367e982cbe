#include "kernel/base/Archive.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <unistd.h>

// The buffer comes with the first write or the first read the file system
// cannot lend its own bytes for: a stream on a file held in memory never
// needs it.
CQVArchive::CQVArchive() : fileSystem(FileSystem_GetCurrent()) {}

uint8_t* CQVArchive::Buffer() {
    if (!m_buffer) m_buffer.reset(new uint8_t[ARCHIVE_BUFFER_SIZE]);
    return m_buffer.get();
}

CQVArchive::~CQVArchive() { Close(); }

bool CQVArchive::Open(const char* name, const char* mode) {
    Close();
    if (name == nullptr || mode == nullptr) return false;
    direction = std::strchr(mode, 'w') != nullptr ? ARCHIVE_WRITING : ARCHIVE_READING;
    m_failed = false;
    handle = fileSystem->Open(name, mode);
    if (handle == nullptr) return false;
    m_writing = direction == ARCHIVE_WRITING;
    if (m_writing) Buffer();
    m_fileSize = direction == ARCHIVE_READING ? fileSystem->GetSize(handle) : 0;
    return true;
}

// Without a handle nothing is buffered, so transfers fail until the next Open.
int CQVArchive::Close() {
    if (handle == nullptr) return 0;
    Sync();
    const int result = fileSystem->Close(handle);
    handle = nullptr;
    m_writing = false;
    m_fileSize = 0;
    return result;
}

bool CQVArchive::Flush() {
    if (handle == nullptr) return false;
    Sync();
    if (direction == ARCHIVE_WRITING && fileSystem->Flush(handle) != 0) m_failed = true;
    return !m_failed;
}

void CQVArchive::Sync() {
    if (handle == nullptr) return;
    if (m_writeUsed > 0) {
        if (fileSystem->Write(m_buffer.get(), 1, m_writeUsed, handle) != m_writeUsed) m_failed = true;
        m_writeUsed = 0;
    }
    if (m_readStart >= 0) {
        if (m_readPtr < m_readLimit) {
            fileSystem->Seek(handle, static_cast<int32_t>(m_readStart + (m_readPtr - m_readBase)), FILE_SEEK_SET);
        }
        DropWindow();
    }
}

int32_t CQVArchive::Tell() {
    if (handle == nullptr) return -1;
    if (m_readStart >= 0) return static_cast<int32_t>(m_readStart + (m_readPtr - m_readBase));
    const int32_t position = fileSystem->Tell(handle);
    return position < 0 ? position : position + static_cast<int32_t>(m_writeUsed);
}

int CQVArchive::Seek(int32_t offset, int32_t origin) {
    if (handle == nullptr) return -1;
    if (origin == FILE_SEEK_CUR) {
        const int64_t target = static_cast<int64_t>(Tell()) + offset;
        if (target < 0 || target > INT32_MAX) return -1;
        offset = static_cast<int32_t>(target);
        origin = FILE_SEEK_SET;
    }
    Sync();
    return fileSystem->Seek(handle, offset, origin);
}

uint32_t CQVArchive::GetSize() {
    if (handle == nullptr) return 0;
    if (m_writeUsed > 0) Sync();
    return fileSystem->GetSize(handle);
}

uint32_t CQVArchive::GetRemainingSlow() {
    const int32_t position = Tell();
    if (position < 0) return 0;
    const uint32_t size = direction == ARCHIVE_READING ? m_fileSize : GetSize();
    return static_cast<uint32_t>(position) < size ? size - static_cast<uint32_t>(position) : 0;
}

uint32_t CQVArchive::ReadSlow(void* data, uint32_t bytes) {
    const uint32_t moved = ReadSlowPart(data, bytes);
    if (moved < bytes) m_failed = true;
    return moved;
}

uint32_t CQVArchive::ReadSlowPart(void* data, uint32_t bytes) {
    if (handle == nullptr) return 0;
    if (m_writing) {
        // A read on a writing stream goes straight to the file.
        Sync();
        return fileSystem->Read(data, 1, bytes, handle);
    }
    auto* out = static_cast<uint8_t*>(data);
    const uint32_t buffered = static_cast<uint32_t>(m_readLimit - m_readPtr);
    if (buffered > 0) std::memcpy(out, m_readPtr, buffered);
    const uint32_t rest = bytes - buffered;
    const int64_t next = m_readStart >= 0 ? m_readStart + (m_readLimit - m_readBase) : fileSystem->Tell(handle);
    DropWindow();
    if (next < 0) return buffered + fileSystem->Read(out + buffered, 1, rest, handle);

    // A file system that holds the file in memory lends its bytes.
    uint32_t mapped = 0;
    const uint8_t* view = fileSystem->MapRead(handle, &mapped);
    if (view != nullptr && mapped > 0 && mapped <= INT32_MAX &&
        fileSystem->Seek(handle, static_cast<int32_t>(mapped), FILE_SEEK_CUR) == 0) {
        m_readBase = m_readPtr = view;
        m_readLimit = view + mapped;
    } else if (rest >= ARCHIVE_BUFFER_SIZE) {
        // Large reads go straight into place.
        return buffered + fileSystem->Read(out + buffered, 1, rest, handle);
    } else {
        m_readBase = m_readPtr = Buffer();
        m_readLimit = m_readBase + fileSystem->Read(Buffer(), 1, ARCHIVE_BUFFER_SIZE, handle);
    }
    m_readStart = next;
    const uint32_t take = std::min(rest, static_cast<uint32_t>(m_readLimit - m_readPtr));
    if (take > 0) std::memcpy(out + buffered, m_readPtr, take);
    m_readPtr += take;
    return buffered + take;
}

uint32_t CQVArchive::WriteSlow(const void* data, uint32_t bytes) {
    const uint32_t moved = WriteSlowPart(data, bytes);
    if (moved < bytes) m_failed = true;
    return moved;
}

uint32_t CQVArchive::WriteSlowPart(const void* data, uint32_t bytes) {
    if (handle == nullptr) return 0;
    if (!m_writing) {
        // A write on a reading stream goes straight to the file, at the
        // stream's position.
        Sync();
        const uint32_t written = fileSystem->Write(data, 1, bytes, handle);
        const int32_t end = fileSystem->Tell(handle);
        if (end > 0) m_fileSize = std::max(m_fileSize, static_cast<uint32_t>(end));
        return written;
    }
    Sync();
    if (bytes >= ARCHIVE_BUFFER_SIZE) return fileSystem->Write(data, 1, bytes, handle);
    std::memcpy(m_buffer.get(), data, bytes);
    m_writeUsed = bytes;
    return bytes;
}

void CQVArchive::SkipRead(uint32_t bytes) { Seek(static_cast<int32_t>(std::min<uint32_t>(bytes, INT32_MAX)), FILE_SEEK_CUR); }

uint32_t CQVArchive::SerializeStringSlow(std::string& text) {
    if (direction != ARCHIVE_READING) {
        const uint32_t length = static_cast<uint32_t>(text.size());
        if (WriteRaw(&length, 4) != 4) return 0;
        return length == 0 || WriteRaw(text.data(), length) == length ? 1 : 0;
    }
    uint32_t length;
    if (ReadRaw(&length, 4) != 4) return 0;
    if (static_cast<int32_t>(length) <= 0) return 1;
    if (length > GetRemaining()) {
        m_failed = true;
        return 0;
    }
    m_scratch.resize(length);
    if (ReadRaw(m_scratch.data(), length) != length) return 0;
    text.assign(m_scratch.data(), strnlen(m_scratch.data(), length));
    return 1;
}

uint32_t CQVArchive::SerializeCString(char* buffer, uint32_t capacity) {
    if (direction != ARCHIVE_READING) {
        const uint32_t length = static_cast<uint32_t>(strnlen(buffer, capacity));
        if (WriteRaw(&length, 4) != 4) return 0;
        return length == 0 || WriteRaw(buffer, length) == length ? 1 : 0;
    }
    uint32_t length;
    if (ReadRaw(&length, 4) != 4) return 0;
    if (capacity > 0) buffer[0] = '\0';
    if (length == 0) return capacity > 0 ? 1 : 0;
    if (static_cast<int32_t>(length) < 0 || length > GetRemaining()) {
        m_failed = true;
        return 0;
    }
    if (length >= capacity) {
        // Stored for a larger buffer: skipped, so the fields after it still read right.
        SkipRead(length);
        return 0;
    }
    if (ReadRaw(buffer, length) != length) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[length] = '\0';
    return 1;
}

uint32_t CQVArchive::SerializeCount(uint32_t* count, uint32_t itemSize) {
    if (direction != ARCHIVE_READING) return WriteRaw(count, 4) == 4 ? 1 : 0;
    uint32_t stored;
    // A product in 64 bits asks the same as a division by the item size,
    // without a division for every count of every record.
    if (ReadRaw(&stored, 4) != 4 ||
        static_cast<uint64_t>(stored) * std::max<uint32_t>(itemSize, 1) > GetRemaining()) {
        m_failed = true;
        *count = 0;
        return 0;
    }
    *count = stored;
    return 1;
}

uint32_t CQVArchive::Read(void* data, uint32_t size) {
    if (size == 0) return 0;
    return ReadRaw(data, size) == size ? 1 : 0;
}

uint32_t CQVArchive::Write(const void* data, uint32_t size) {
    if (size == 0) return 0;
    return WriteRaw(data, size) == size ? 1 : 0;
}

bool Archive_OpenTemporaryBeside(CQVArchive* archive, const std::string& fileName, std::string* temporaryName) {
    static uint32_t s_Serial = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const uint64_t salt = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.%llx.tmp", static_cast<int>(getpid()), ++s_Serial,
                      static_cast<unsigned long long>(salt * 0x9E3779B97F4A7C15ull >> 20));
        *temporaryName = fileName + suffix;
        if (archive->Open(temporaryName->c_str(), "wbx")) return true;
        if (errno != EEXIST) break;
    }
    return false;
}
