// "text.txt" as any bytes: the table loads what it can and never reads past
// the file or keeps a field longer than a line may hold.

#include "kernel/base/FileSystem.h"
#include "kernel/base/TextTable.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Serves the input as the one file it is asked for.
class InputFileSystem : public CQVMemoryFileSystem {
public:
    std::vector<uint8_t> bytes;
    void* Open(const char* name, const char* mode) override {
        return OpenBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), false);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static InputFileSystem fs;
    fs.bytes.assign(data, data + size);
    g_CurrentFileSystem = &fs;
    CQVTextTable table;
    if (table.Load("Data\\text.txt") != 1) std::abort();
    g_CurrentFileSystem = nullptr;
    for (const TextPair& pair : table.pairs) {
        if (pair.key.size() >= 4095 || pair.text.size() >= 4095) std::abort();
    }
    if (!table.pairs.empty() && table.GetText(table.pairs.front().key) != table.pairs.front().text) std::abort();
    const size_t before = table.pairs.size();
    table.GetText("\x01missing");
    table.GetText("\x01missing");
    if (table.pairs.size() > before + 1) std::abort();
    return 0;
}
