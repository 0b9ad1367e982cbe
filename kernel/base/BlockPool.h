#pragma once
// The pool behind the engine's linked lists (draw-group members, collision
// lists, actor lists): nodes come from blocks of 256, so a list insertion
// never reaches the general heap once the pool has grown. Blocks are kept
// until the program ends.

#include <cstdint>

// Three words laid out by the lists as {next node, previous node, value}. On
// 64-bit each word has native size, since the links and many values are
// pointers. The pool never looks inside a node.
struct PoolNode {
    PoolNode* next;
    PoolNode* previous;
    uintptr_t value;
};

class CQVBlockPool {
public:
    static constexpr uint32_t kNodesPerBlock = 256;
    static constexpr uint32_t kMaxBlocks = 2048;

    CQVBlockPool();
    ~CQVBlockPool();
    CQVBlockPool(const CQVBlockPool&) = delete;
    CQVBlockPool& operator=(const CQVBlockPool&) = delete;

    // A zeroed node; the most recently freed one comes back first.
    PoolNode* Alloc();
    void Free(PoolNode* node);
    // Adds a block of 256 nodes; false at the 2048-block limit.
    bool Grow();

    PoolNode** blocks;
    uint32_t blockCount;
    PoolNode** freeList;  // room for blockCount x 256 entries
    uint32_t freeCount;
};

extern CQVBlockPool g_NodePool;
