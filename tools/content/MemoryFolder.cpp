#include "tools/content/MemoryFolder.h"

#include "kernel/base/Path.h"

#include <cstring>

void* MemoryFolder::Open(const char* name, const char* mode) {
    if (name == nullptr || mode == nullptr) return nullptr;
    std::string key;
    Path_MakeKey(name, &key);
    std::shared_ptr<std::vector<uint8_t>>& file = m_files[key];
    const bool writing = std::strchr(mode, 'w') != nullptr;
    if (writing) {
        file = std::make_shared<std::vector<uint8_t>>();
    } else if (file == nullptr) {
        m_files.erase(key);
        return nullptr;
    }
    return OpenBuffer(file->data(), static_cast<uint32_t>(file->size()), writing, file);
}

// A writing handle's owner is its file, which grows to take what is written.
uint32_t MemoryFolder::Write(const void* source, uint32_t size, uint32_t count, void* handle) {
    auto* memory = static_cast<MemoryFileHandle*>(handle);
    if (!memory->writable) return 0;
    auto* file = const_cast<std::vector<uint8_t>*>(static_cast<const std::vector<uint8_t>*>(memory->owner.get()));
    const uint64_t end = static_cast<uint64_t>(memory->current) + static_cast<uint64_t>(size) * count;
    if (end > UINT32_MAX) return 0;
    if (end > file->size()) file->resize(end);
    memory->begin = file->data();
    memory->size = static_cast<uint32_t>(file->size());
    return CQVMemoryFileSystem::Write(source, size, count, handle);
}

const std::vector<uint8_t>* MemoryFolder::Find(const std::string& name) const {
    std::string key;
    Path_MakeKey(name, &key);
    const auto found = m_files.find(key);
    return found != m_files.end() ? found->second.get() : nullptr;
}

void MemoryFolder::Put(const std::string& name, std::vector<uint8_t> bytes) {
    std::string key;
    Path_MakeKey(name, &key);
    m_files[key] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}
