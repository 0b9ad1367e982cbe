// Any bytes as "pack.csa": the reader refuses or serves them, and every
// entry it serves reads, seeks and closes within its own bytes.

#include "kernel/base/PackFileSystem.h"
#include "fuzz/files/FuzzCheck.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Reads the entry from its start in steps of varying size: every byte is
// the archive's byte at the entry's offset, and none lies past its end.
void ReadEntry(CQVPackFileSystem* pack, void* handle, uint32_t step, const uint8_t* archive) {
    // A stored name with '/' is never found (requests turn '/' into '\'):
    // such an open passes through to the underlying file system.
    const PackEntry* entry = static_cast<PackFileHandle*>(handle)->entry;
    if (entry == nullptr) return;
    const uint32_t size = pack->GetSize(handle);
    Check(size == entry->size);
    pack->Seek(handle, 0, FILE_SEEK_SET);
    std::vector<uint8_t> buffer(step);
    uint32_t total = 0;
    for (int guard = 0; guard < 64; ++guard) {
        const uint32_t got = pack->Read(buffer.data(), 1, step, handle);
        Check(got <= step && total + got <= size);
        Check(std::memcmp(buffer.data(), archive + entry->offset + total, got) == 0);
        total += got;
        if (got < step) break;
    }
    Check(total == size || total == 64 * step);
    pack->Seek(handle, -3, FILE_SEEK_END);
    pack->Read(buffer.data(), 1, step, handle);
    pack->Seek(handle, -100, FILE_SEEK_CUR);
    Check(pack->Tell(handle) >= 0);
    pack->IsEof(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    CQVPackFileSystem* pack = CQVPackFileSystem::Open("pack.csa", &file);
    if (pack == nullptr) return 0;

    const uint32_t count = pack->GetEntryCount();
    std::vector<void*> open;
    for (uint32_t i = 0; i < count && i < 64; ++i) {
        const PackEntry* entry = pack->GetEntry(i);
        if (entry->name[0] == '\0') continue;
        void* handle = pack->Open(entry->name, "rb");
        if (handle == nullptr) continue;
        ReadEntry(pack, handle, 1 + (i * 37) % 700, data);
        // Every third handle stays open while the next ones are read, the
        // cache is released and slots change hands.
        if (i % 3 == 0) {
            open.push_back(handle);
        } else {
            pack->Close(handle);
        }
        if (i % 5 == 4) pack->ReleaseCache();
    }
    for (void* handle : open) {
        ReadEntry(pack, handle, 13, data);
        pack->Close(handle);
    }
    delete pack;
    return 0;
}
