#include "kernel/base/FileSystem.h"

#include "kernel/base/Path.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <unistd.h>

CQVFileSystem* g_CurrentFileSystem = nullptr;
CQVStdioFileSystem g_StdioFileSystem;
CQVMemoryFileSystem* g_MemoryFileSystem = nullptr;

uint32_t CQVFileSystem::GetSize(void* handle) {
    const int32_t position = Tell(handle);
    Seek(handle, 0, FILE_SEEK_END);
    const int32_t size = Tell(handle);
    Seek(handle, position, FILE_SEEK_SET);
    return size < 0 ? 0u : static_cast<uint32_t>(size);
}

CQVFileSystem* FileSystem_GetCurrent() {
    return g_CurrentFileSystem != nullptr ? g_CurrentFileSystem : CQVStdioFileSystem::GetInstance();
}

CQVStdioFileSystem* CQVStdioFileSystem::GetInstance() { return &g_StdioFileSystem; }

void* CQVStdioFileSystem::Open(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr) return nullptr;
    const std::string path = CQVFilePath(name).Resolve();
    return std::fopen(path.c_str(), mode);
}

int CQVStdioFileSystem::Close(void* handle) { return std::fclose(static_cast<std::FILE*>(handle)); }

int CQVStdioFileSystem::Flush(void* handle) {
    std::FILE* file = static_cast<std::FILE*>(handle);
    if (std::fflush(file) != 0 || std::ferror(file)) return -1;
    return fsync(fileno(file)) == 0 ? 0 : -1;
}

bool File_ReplaceOnDisk(const std::string& temporary, const std::string& target) {
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    // The new name lives in the folder: it lasts once the folder is on the disk.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : target.substr(0, slash);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
    return true;
}

uint32_t CQVStdioFileSystem::Read(void* destination, uint32_t size, uint32_t count, void* handle) {
    return static_cast<uint32_t>(std::fread(destination, size, count, static_cast<std::FILE*>(handle)));
}

uint32_t CQVStdioFileSystem::Write(const void* source, uint32_t size, uint32_t count, void* handle) {
    return static_cast<uint32_t>(std::fwrite(source, size, count, static_cast<std::FILE*>(handle)));
}

int32_t CQVStdioFileSystem::Tell(void* handle) {
    return static_cast<int32_t>(std::ftell(static_cast<std::FILE*>(handle)));
}

int CQVStdioFileSystem::Seek(void* handle, int32_t offset, int32_t origin) {
    return std::fseek(static_cast<std::FILE*>(handle), offset, origin);
}

int CQVStdioFileSystem::IsEof(void* handle) { return std::feof(static_cast<std::FILE*>(handle)); }

CQVMemoryFileSystem* CQVMemoryFileSystem::GetInstance() {
    static CQVMemoryFileSystem instance;
    g_MemoryFileSystem = &instance;
    return &instance;
}

void* CQVMemoryFileSystem::OpenBuffer(uint8_t* begin, uint32_t size, bool writable,
                                      std::shared_ptr<const void> owner) {
    auto* memory = new (std::nothrow) MemoryFileHandle;
    if (memory == nullptr) return nullptr;
    memory->begin = begin;
    memory->size = begin != nullptr ? size : 0;
    memory->writable = writable;
    memory->owner = std::move(owner);
    return memory;
}

void* CQVMemoryFileSystem::Open(const char* name, const char* mode) { return nullptr; }

int CQVMemoryFileSystem::Close(void* handle) {
    delete static_cast<MemoryFileHandle*>(handle);
    return 0;
}

namespace {

// Bytes that a transfer of count items of size may move at the handle's
// position: never past the end of its buffer.
uint32_t Available(const MemoryFileHandle& memory, uint32_t size, uint32_t count) {
    const uint64_t wanted = static_cast<uint64_t>(size) * count;
    const uint64_t left = memory.current < memory.size ? memory.size - memory.current : 0;
    return static_cast<uint32_t>(std::min(wanted, left));
}

}  // namespace

uint32_t CQVMemoryFileSystem::Read(void* destination, uint32_t size, uint32_t count, void* handle) {
    auto* memory = static_cast<MemoryFileHandle*>(handle);
    if (size == 0) return 0;
    const uint32_t bytes = Available(*memory, size, count);
    if (bytes > 0) std::memcpy(destination, memory->begin + memory->current, bytes);
    memory->current += bytes;
    return bytes / size;
}

uint32_t CQVMemoryFileSystem::Write(const void* source, uint32_t size, uint32_t count, void* handle) {
    auto* memory = static_cast<MemoryFileHandle*>(handle);
    if (size == 0 || !memory->writable) return 0;
    const uint32_t bytes = Available(*memory, size, count);
    if (bytes > 0) std::memcpy(memory->begin + memory->current, source, bytes);
    memory->current += bytes;
    return bytes / size;
}

int32_t CQVMemoryFileSystem::Tell(void* handle) {
    return static_cast<int32_t>(static_cast<MemoryFileHandle*>(handle)->current);
}

int CQVMemoryFileSystem::Seek(void* handle, int32_t offset, int32_t origin) {
    auto* memory = static_cast<MemoryFileHandle*>(handle);
    int64_t base;
    switch (origin) {
    case FILE_SEEK_SET: base = 0; break;
    case FILE_SEEK_CUR: base = memory->current; break;
    case FILE_SEEK_END: base = memory->size; break;
    default: return 0;
    }
    // A position before the buffer is refused, one beyond it reads nothing.
    const int64_t target = base + offset;
    if (target < 0 || target > INT32_MAX) return -1;
    memory->current = static_cast<uint32_t>(target);
    return 0;
}

int CQVMemoryFileSystem::IsEof(void* handle) {
    const auto* memory = static_cast<MemoryFileHandle*>(handle);
    return memory->current >= memory->size ? 1 : 0;
}

uint32_t CQVMemoryFileSystem::GetSize(void* handle) { return static_cast<MemoryFileHandle*>(handle)->size; }

const uint8_t* CQVMemoryFileSystem::MapRead(void* handle, uint32_t* size) {
    const auto* memory = static_cast<MemoryFileHandle*>(handle);
    if (memory->current >= memory->size) return nullptr;
    *size = memory->size - memory->current;
    return memory->begin + memory->current;
}

const char* File_GetExtension(const char* name) {
    // One byte beyond the 16 keeps the result terminated whatever the name.
    static char buffer[17];
    buffer[16] = '\0';
    int out = 15;
    const char* p = name + std::strlen(name);
    buffer[out--] = *p;  // the terminating NUL
    int copied = 1;
    while (copied < 15 && p > name) {
        --p;
        if (*p == '.' || p == name) break;
        buffer[out--] = *p;
        ++copied;
    }
    buffer[out] = '.';
    return buffer + out;
}
