// The item pool's blocks: whatever mix of sizes is made, freed and made
// again, no two live blocks share a byte, every block is aligned for any
// item, and blocks freed on another thread than their maker stay usable.

#include "services/library/ItemPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Block {
    uint8_t* bytes;
    size_t size;
    uint8_t mark;
};

// Fills a block with its mark: a block that overlaps another shows as a
// mark overwritten.
Block Make(size_t size, uint8_t mark) {
    auto* bytes = static_cast<uint8_t*>(ItemPool_Allocate(size));
    if (bytes != nullptr) std::memset(bytes, mark, size);
    return {bytes, size, mark};
}

bool Intact(const Block& block) {
    for (size_t i = 0; i < block.size; ++i) {
        if (block.bytes[i] != block.mark) return false;
    }
    return true;
}

// Sizes of every kind of class: the smallest, class edges, the items'
// own sizes, the largest pooled, and blocks that get a chunk of their own
// (one larger than a chunk).
constexpr size_t kSizes[] = {0, 1, 15, 16, 17, 128, 160, 216, 272, 520, 1008, 1024, 1025, 4000, 70000};

TEST(ItemPool, BlocksNeverOverlapThroughMakeFreeAndMakeAgain) {
    std::vector<Block> live;
    uint8_t mark = 1;
    const auto next = [&mark] { return mark = static_cast<uint8_t>(mark % 250 + 1); };
    // Enough blocks of each size to fill several chunks of their class.
    for (int round = 0; round < 2; ++round) {
        for (size_t size : kSizes) {
            const int count = size > 4000 ? 3 : 200;
            for (int n = 0; n < count; ++n) {
                Block block = Make(size, next());
                ASSERT_NE(block.bytes, nullptr) << size;
                EXPECT_EQ(reinterpret_cast<uintptr_t>(block.bytes) % 16, 0u) << size;
                live.push_back(block);
            }
        }
        // Free every other block, so that the next round takes freed blocks
        // between live ones.
        std::vector<Block> kept;
        for (size_t i = 0; i < live.size(); ++i) {
            if (i % 2 == 0) ItemPool_Free(live[i].bytes);
            else kept.push_back(live[i]);
        }
        live = std::move(kept);
    }
    for (const Block& block : live) EXPECT_TRUE(Intact(block)) << block.size;
    for (const Block& block : live) ItemPool_Free(block.bytes);
    ItemPool_Free(nullptr);
}

TEST(ItemPool, BlocksFreedOnAnotherThreadStayUsable) {
    std::vector<Block> made;
    std::thread maker([&made] {
        for (size_t size : kSizes) made.push_back(Make(size, 7));
    });
    maker.join();
    // The maker has ended; its blocks are still whole and go back here.
    for (const Block& block : made) {
        ASSERT_NE(block.bytes, nullptr);
        EXPECT_TRUE(Intact(block)) << block.size;
        ItemPool_Free(block.bytes);
    }
    std::vector<Block> again;
    for (size_t size : kSizes) again.push_back(Make(size, 9));
    for (size_t size : kSizes) again.push_back(Make(size, 11));
    for (const Block& block : again) EXPECT_TRUE(Intact(block)) << block.size;
    for (const Block& block : again) ItemPool_Free(block.bytes);
}

}  // namespace
