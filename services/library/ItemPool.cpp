#include "services/library/ItemPool.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t kGranule = 16;
constexpr size_t kClasses = kItemPoolLargest / kGranule;  // class c serves blocks of (c + 1) * 16 bytes
// Chunks are aligned to their size, so a block finds its chunk's header by
// masking its address: freeing needs no size and no search.
constexpr size_t kChunkSize = 64 * 1024;
// The header keeps the blocks after it on their own cache lines.
constexpr size_t kHeaderSize = 64;
constexpr uint32_t kOwnChunk = 0xFFFFFFFF;  // one large block, freed with its chunk

struct ChunkHeader {
    uint32_t sizeClass;  // kOwnChunk for a large block's own chunk
};

struct FreeBlock {
    FreeBlock* next;
};

// Zero at thread start, with nothing to construct or destroy, so reaching
// the calling thread's pool is one address computation.
struct ThreadPool {
    FreeBlock* free[kClasses];
    char* carve[kClasses];  // next uncarved block of the class's current chunk
    char* carveEnd[kClasses];
};
constinit thread_local ThreadPool t_pool{};

ChunkHeader* ChunkOf(void* block) {
    return reinterpret_cast<ChunkHeader*>(reinterpret_cast<uintptr_t>(block) & ~(uintptr_t{kChunkSize} - 1));
}

void* NewChunk(size_t bytes, uint32_t sizeClass) {
    // aligned_alloc wants a whole number of alignments.
    const size_t rounded = (bytes + kChunkSize - 1) / kChunkSize * kChunkSize;
    void* memory = std::aligned_alloc(kChunkSize, rounded);
    if (memory != nullptr) static_cast<ChunkHeader*>(memory)->sizeClass = sizeClass;
    return memory;
}

[[gnu::noinline]] void* CarveFromNewChunk(ThreadPool& pool, size_t sizeClass) {
    char* chunk = static_cast<char*>(NewChunk(kChunkSize, static_cast<uint32_t>(sizeClass)));
    if (chunk == nullptr) return nullptr;
    // What is left of the old chunk stays unused: its class has moved on.
    const size_t blockSize = (sizeClass + 1) * kGranule;
    pool.carve[sizeClass] = chunk + kHeaderSize + blockSize;
    pool.carveEnd[sizeClass] = chunk + kChunkSize;
    return chunk + kHeaderSize;
}

}  // namespace

void* ItemPool_Allocate(size_t size) noexcept {
    if (size > kItemPoolLargest) {
        char* chunk = static_cast<char*>(NewChunk(kHeaderSize + size, kOwnChunk));
        return chunk != nullptr ? chunk + kHeaderSize : nullptr;
    }
    const size_t sizeClass = size == 0 ? 0 : (size - 1) / kGranule;
    ThreadPool& pool = t_pool;
    if (FreeBlock* block = pool.free[sizeClass]) {
        pool.free[sizeClass] = block->next;
        return block;
    }
    const size_t blockSize = (sizeClass + 1) * kGranule;
    if (static_cast<size_t>(pool.carveEnd[sizeClass] - pool.carve[sizeClass]) < blockSize)
        return CarveFromNewChunk(pool, sizeClass);
    void* block = pool.carve[sizeClass];
    pool.carve[sizeClass] += blockSize;
    return block;
}

void ItemPool_Free(void* block) noexcept {
    if (block == nullptr) return;
    ChunkHeader* chunk = ChunkOf(block);
    if (chunk->sizeClass == kOwnChunk) {
        std::free(chunk);
        return;
    }
    ThreadPool& pool = t_pool;
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = pool.free[chunk->sizeClass];
    pool.free[chunk->sizeClass] = freed;
}
