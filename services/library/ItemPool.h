#pragma once
// Memory for library items. Reading a library makes thousands of small
// objects of a handful of sizes, and the library going frees them all at
// once: through the general heap the next read paid for sorting and merging
// every block the last one freed. Here each size (in steps of 16 bytes, up
// to kItemPoolLargest) has its own list of free blocks, carved from chunks
// that serve that size alone: a block goes back on its size's list when its
// item goes, and the next item of that size takes it at once.
//
// The lists are the calling thread's own, so no call takes a lock. A block
// freed on another thread than the one that made it goes on the freeing
// thread's list; chunks are never given back, so a block stays valid memory
// wherever it is listed. What a thread that ends still has listed is not
// reused.
//
// Builds with a sanitizer that watches the heap (address, memory, thread)
// give items plain new and delete instead, so a use after free or a leak of
// an item is still caught there (QV_ITEM_POOL is 0).

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_ITEM_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define QV_ITEM_POOL 0
#endif
#endif
#ifndef QV_ITEM_POOL
#define QV_ITEM_POOL 1
#endif

// The largest block a size class serves; larger requests get their own chunk.
constexpr size_t kItemPoolLargest = 1024;

// A block of at least size bytes, aligned for any item (16 bytes); null
// when the system has no memory left.
void* ItemPool_Allocate(size_t size) noexcept;
// Gives a block back; null does nothing. The block's size is found from
// the chunk it was carved from.
void ItemPool_Free(void* block) noexcept;
// True when library items are made from the pool in this build.
constexpr bool ItemPool_InUse() { return QV_ITEM_POOL != 0; }
