// Any bytes as "pack.csa": the reader refuses or serves them, and every
// entry it serves reads, seeks and closes within its own bytes.

#include "kernel/base/PackFileSystem.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A broken promise stops the run where it was found.
void CheckAt(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define Check(condition) CheckAt((condition), #condition, __LINE__)

// Reads the whole entry in steps of varying size and checks the position.
void ReadEntry(CQVPackFileSystem* pack, void* handle, uint32_t step) {
    const uint32_t size = pack->GetSize(handle);
    std::vector<uint8_t> buffer(step);
    uint32_t total = 0;
    for (int guard = 0; guard < 64; ++guard) {
        const uint32_t got = pack->Read(buffer.data(), 1, step, handle);
        total += got;
        Check(got <= step);
        if (got < step) break;
    }
    Check(total <= size);
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
        ReadEntry(pack, handle, 1 + (i * 37) % 700);
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
        ReadEntry(pack, handle, 13);
        pack->Close(handle);
    }
    delete pack;
    return 0;
}
