#include "kernel/base/BlockPool.h"

#include <cstdio>
#include <cstdlib>

CQVBlockPool g_NodePool;

CQVBlockPool::CQVBlockPool()
    : blocks(new PoolNode*[kMaxBlocks]()), blockCount(0), freeList(nullptr), freeCount(0) {}

CQVBlockPool::~CQVBlockPool() {
    for (uint32_t i = 0; i < blockCount; ++i) delete[] blocks[i];
    delete[] blocks;
    delete[] freeList;
}

bool CQVBlockPool::Grow() {
    if (blockCount == kMaxBlocks) return false;
    PoolNode* block = new PoolNode[kNodesPerBlock];
    blocks[blockCount++] = block;
    // Grow runs only when every node is in use, so the old free list holds
    // nothing worth copying.
    delete[] freeList;
    freeList = new PoolNode*[static_cast<size_t>(blockCount) * kNodesPerBlock];
    for (uint32_t i = 0; i < kNodesPerBlock; ++i) freeList[i] = &block[i];
    freeCount = kNodesPerBlock;
    return true;
}

PoolNode* CQVBlockPool::Alloc() {
    if (freeCount == 0 && !Grow()) {
        // Half a million list nodes in use: the game cannot go on, and a null
        // node would only fault later somewhere less telling.
        std::fputs("Out of list nodes\n", stderr);
        std::abort();
    }
    PoolNode* node = freeList[--freeCount];
    node->next = nullptr;
    node->previous = nullptr;
    node->value = 0;
    return node;
}

void CQVBlockPool::Free(PoolNode* node) {
    // A node freed twice would run past the free list; it is dropped instead.
    if (node == nullptr || freeCount == blockCount * kNodesPerBlock) return;
    freeList[freeCount++] = node;
}
