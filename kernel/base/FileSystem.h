#pragma once
// Every file the game reads or writes goes through one small interface: the
// disk, byte buffers in memory, or the pack archive (PackFileSystem.h). New
// streams bind to g_CurrentFileSystem, or to the disk while it is null.

#include <cstdint>
#include <memory>
#include <string>

// Seek origins, as for fseek.
constexpr int32_t FILE_SEEK_SET = 0;
constexpr int32_t FILE_SEEK_CUR = 1;
constexpr int32_t FILE_SEEK_END = 2;

class CQVFileSystem {
public:
    virtual ~CQVFileSystem() = default;

    // mode as for fopen ("rb", "wb"; "wbx" creates a new file and fails
    // when the name exists, even as a symbolic link); an opaque handle, or null.
    virtual void* Open(const char* name, const char* mode) = 0;
    virtual int Close(void* handle) = 0;
    // Both return the number of whole items moved.
    virtual uint32_t Read(void* destination, uint32_t size, uint32_t count, void* handle) = 0;
    virtual uint32_t Write(const void* source, uint32_t size, uint32_t count, void* handle) = 0;
    virtual int32_t Tell(void* handle) = 0;
    // 0 on success.
    virtual int Seek(void* handle, int32_t offset, int32_t origin) = 0;
    virtual int IsEof(void* handle) = 0;
    // Puts every byte written so far on the medium itself; 0 on success.
    // A writer that replaces a file asks it before the replacement, since
    // an error that only shows at the last write must keep the old file.
    virtual int Flush(void* handle) { return 0; }
    // Size in bytes; by default measured by seeking to the end and back.
    virtual uint32_t GetSize(void* handle);
    // The bytes from the position to the end when the file lies in memory
    // (valid while the handle is open), with their count; null otherwise.
    // The position does not move.
    virtual const uint8_t* MapRead(void* handle, uint32_t* size) { return nullptr; }
};

// The disk: a handle is a stdio stream. Names are engine paths ('\' or '/'
// between folders, any case), resolved on this disk by CQVFilePath.
class CQVStdioFileSystem : public CQVFileSystem {
public:
    static CQVStdioFileSystem* GetInstance();

    void* Open(const char* name, const char* mode) override;
    int Close(void* handle) override;
    uint32_t Read(void* destination, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* source, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int32_t origin) override;
    int IsEof(void* handle) override;
    int Flush(void* handle) override;
};

// A handle of the memory file system: a window on bytes already in memory.
// owner keeps the bytes alive while the handle is open (a cached pack entry
// may leave its cache slot before its last reader closes it).
struct MemoryFileHandle {
    uint8_t* begin = nullptr;
    uint32_t current = 0;  // offset from begin; may lie beyond size after a seek
    uint32_t size = 0;
    bool writable = false;
    std::shared_ptr<const void> owner;
};

// Memory: reads and writes are clipped to the handle's bytes. Open by name
// always fails; handles are made over buffers with OpenBuffer.
class CQVMemoryFileSystem : public CQVFileSystem {
public:
    static CQVMemoryFileSystem* GetInstance();

    void* OpenBuffer(uint8_t* begin, uint32_t size, bool writable, std::shared_ptr<const void> owner = nullptr);

    void* Open(const char* name, const char* mode) override;
    int Close(void* handle) override;
    uint32_t Read(void* destination, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* source, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int32_t origin) override;
    int IsEof(void* handle) override;
    uint32_t GetSize(void* handle) override;
    const uint8_t* MapRead(void* handle, uint32_t* size) override;
};

extern CQVFileSystem* g_CurrentFileSystem;
extern CQVStdioFileSystem g_StdioFileSystem;
extern CQVMemoryFileSystem* g_MemoryFileSystem;  // null until first used

// The file system new streams bind to: the current one, or the disk.
CQVFileSystem* FileSystem_GetCurrent();

// Replaces the file target on the disk by the complete file written at
// temporary (both disk names), and makes the replacement last through a
// power cut; false, with the temporary file removed, when it fails.
bool File_ReplaceOnDisk(const std::string& temporary, const std::string& target);

// "." and the characters after the last '.' of the name, in a static 16-byte
// buffer that each call overwrites (".tga" for "a.b.tga").
const char* File_GetExtension(const char* name);
