#pragma once
// A folder of files kept in memory: files written through it can be read
// back through it by name (any case, either separator), so fixtures,
// benchmarks and fuzzers move whole files without the disk.

#include "kernel/base/FileSystem.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class MemoryFolder : public CQVMemoryFileSystem {
public:
    // Reading opens a file written before (null when there is none); any
    // mode with a 'w' starts the file anew.
    void* Open(const char* name, const char* mode) override;
    uint32_t Write(const void* source, uint32_t size, uint32_t count, void* handle) override;

    // The file's bytes, or null.
    const std::vector<uint8_t>* Find(const std::string& name) const;
    void Put(const std::string& name, std::vector<uint8_t> bytes);

private:
    std::map<std::string, std::shared_ptr<std::vector<uint8_t>>> m_files;
};
