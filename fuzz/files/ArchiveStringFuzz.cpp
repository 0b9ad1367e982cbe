// Any bytes as a stored stream: strings, C strings, counts and words read in
// an order the bytes choose never overrun, never allocate beyond the file
// and never read a string longer than the bytes that remained.

#include "kernel/base/Archive.h"
#include "fuzz/files/FuzzCheck.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FixedMemoryFileSystem file;
    // The first byte chooses the order of reads; the rest is the stream.
    const uint8_t plan = data[0];
    file.bytes.assign(data + 1, data + size);
    CQVFileSystem* previous = g_CurrentFileSystem;
    g_CurrentFileSystem = &file;
    {
        CQVActorArchive ar;
        g_CurrentFileSystem = previous;
        if (!ar.Open("stream.qva", "rb")) return 0;
        ar.version = ar.SerializeInt(0);
        std::string text;
        char name[32] = "start";
        for (int step = 0; step < 256 && ar.GetRemaining() > 0; ++step) {
            const uint32_t before = ar.GetRemaining();
            switch ((plan >> (step % 4 * 2)) & 3) {
            case 0:
                text.clear();
                if (ar.SerializeString(text)) Check(text.size() + 4 <= before);
                break;
            case 1:
                if (ar.SerializeCString(name, sizeof name)) Check(std::strlen(name) + 4 <= before);
                Check(std::strlen(name) < sizeof name);
                break;
            case 2: {
                uint32_t count = 0;
                if (ar.SerializeCount(&count, 4)) Check(static_cast<uint64_t>(count) * 4 <= before);
                break;
            }
            default: {
                float v[3];
                ar.SerializeDwords(v, 3);
                ar.SerializeByte(0);
                break;
            }
            }
            Check(ar.GetRemaining() <= before);
            Check(ar.Tell() >= 0 && static_cast<size_t>(ar.Tell()) <= size - 1);
        }
    }
    return 0;
}
