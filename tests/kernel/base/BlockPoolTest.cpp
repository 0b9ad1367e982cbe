#include "kernel/base/BlockPool.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

TEST(BlockPool, FirstAllocGrowsOneBlockAndHandsOutItsLastNode) {
    CQVBlockPool pool;
    EXPECT_EQ(pool.blockCount, 0u);
    PoolNode* node = pool.Alloc();
    ASSERT_EQ(pool.blockCount, 1u);
    EXPECT_EQ(node, &pool.blocks[0][255]);
    EXPECT_EQ(pool.freeCount, 255u);
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(node->previous, nullptr);
    EXPECT_EQ(node->value, 0u);
    // Then downwards in address order.
    EXPECT_EQ(pool.Alloc(), &pool.blocks[0][254]);
}

TEST(BlockPool, The257thNodeAddsASecondBlock) {
    CQVBlockPool pool;
    std::set<PoolNode*> seen;
    for (int i = 0; i < 256; ++i) seen.insert(pool.Alloc());
    EXPECT_EQ(pool.blockCount, 1u);
    EXPECT_EQ(seen.size(), 256u);
    PoolNode* node = pool.Alloc();
    EXPECT_EQ(pool.blockCount, 2u);
    EXPECT_EQ(node, &pool.blocks[1][255]);
    EXPECT_EQ(seen.count(node), 0u);
    // Nodes of both blocks return to the one free list, which has room for all.
    for (PoolNode* n : seen) pool.Free(n);
    pool.Free(node);
    EXPECT_EQ(pool.freeCount, 256u + 255u + 1u);
}

TEST(BlockPool, FreedNodesComeBackLastInFirstOutAndZeroed) {
    CQVBlockPool pool;
    PoolNode* a = pool.Alloc();
    PoolNode* b = pool.Alloc();
    a->next = b;
    a->value = 77;
    b->previous = a;
    pool.Free(a);
    pool.Free(b);
    EXPECT_EQ(pool.Alloc(), b);
    PoolNode* again = pool.Alloc();
    EXPECT_EQ(again, a);
    EXPECT_EQ(again->next, nullptr);
    EXPECT_EQ(again->value, 0u);
}

TEST(BlockPool, ExtraFreesDoNotOverrunTheFreeList) {
    CQVBlockPool pool;
    PoolNode* node = pool.Alloc();
    pool.Free(node);
    pool.Free(node);  // the free list is already full
    EXPECT_EQ(pool.freeCount, 256u);
}

TEST(BlockPool, StopsAtTheBlockLimit) {
    CQVBlockPool pool;
    for (uint32_t i = 0; i < CQVBlockPool::kMaxBlocks; ++i) ASSERT_TRUE(pool.Grow());
    EXPECT_FALSE(pool.Grow());
    EXPECT_EQ(pool.blockCount, CQVBlockPool::kMaxBlocks);
}

TEST(BlockPoolDeathTest, AllocBeyondTheLimitStopsWithAMessage) {
    EXPECT_DEATH(
        {
            CQVBlockPool pool;
            for (uint32_t i = 0; i < CQVBlockPool::kMaxBlocks * CQVBlockPool::kNodesPerBlock + 1; ++i) pool.Alloc();
        },
        "Out of list nodes");
}

TEST(BlockPool, GlobalPoolServesNodes) {
    PoolNode* node = g_NodePool.Alloc();
    ASSERT_NE(node, nullptr);
    g_NodePool.Free(node);
    EXPECT_EQ(g_NodePool.Alloc(), node);
    g_NodePool.Free(node);
}

}  // namespace
