// A stored argument block as any bytes after a message id: the import takes
// what the bytes hold or refuses them, and never reads past them; what it
// accepts stores and interpolates again.

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/Registries.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (RegisterBaseClass(), true);
    (void)registered;
    if (size < 4) return 0;
    uint32_t id;
    std::memcpy(&id, data, 4);
    id %= static_cast<uint32_t>(g_CommandDescs.size() + 16);
    std::vector<uint8_t> stored(data + 4, data + size);
    ArgBlock block;
    if (!MessageArgs_Import(nullptr, block, id, stored.data(), static_cast<uint32_t>(stored.size()))) return 0;
    if (block.size > stored.size() + kMessageArgsBufferSize) std::abort();
    std::vector<uint8_t> memory(static_cast<const uint8_t*>(block.data),
                                static_cast<const uint8_t*>(block.data) + block.size);
    memory.resize(memory.size() + 1);
    // The block as a handler sees it: sized by what the import made, one
    // spare byte past it that no walk may count.
    const MessageArgs args = Args_Of(memory.data(), block.size);
    if (MessageArgs_GetBlockSize(id, args) > block.size) std::abort();
    ArgBlock again;
    if (!MessageArgs_Export(nullptr, again, id, args)) std::abort();
    MessageArgs_Lerp(0.5f, id, args, args);
    return 0;
}
