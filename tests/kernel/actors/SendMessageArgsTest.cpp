#include "ActorTestSupport.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/PooledList.h"

#include <cstring>

namespace {

// Keeps a copy of the block of the last message it received.
class BlockCatcher : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        lastId = id;
        const uint32_t size = args ? MessageArgs_GetBlockSize(id, args) : 0;
        block.assign(args.Data(), args.Data() + size);
        // The shortcut's "Copy Value" block holds no source pointer: only its packing is looked at.
        return id == MSG_COPY_VALUE ? 1 : CQVActor::HandleMessage(id, args);
    }
    uint32_t lastId = 0;
    std::vector<uint8_t> block;
};

class SendMessageArgsTest : public testing::Test {
protected:
    void SetUp() override { RegisterBaseClass(); }
    BlockCatcher actor;
};

TEST_F(SendMessageArgsTest, ColourPacksItsChannelsIntoOneWord) {
    actor.SendMessageArgs(MSG_GET_COLOR, ColorValue{1.2f, 0.5f, -0.1f, 1.0f});
    ASSERT_EQ(actor.lastId, static_cast<uint32_t>(MSG_GET_COLOR));
    // The block is packed as the word; the message's own size is that of a colour.
    uint32_t word = 0;
    std::memcpy(&word, actor.block.data(), 4);
    EXPECT_EQ(word, 0xFFFF8000u);
}

TEST_F(SendMessageArgsTest, TextIsCopiedWithItsTerminatorAndNothingMore) {
    std::memset(g_MessageArgBuffer, 0x55, 16);
    actor.SendMessageArgs(MSG_SET_NAME, "Door");
    EXPECT_EQ(actor.m_Name, "Door");
    EXPECT_EQ(std::memcmp(g_MessageArgBuffer, "Door\0", 5), 0);
    EXPECT_EQ(g_MessageArgBuffer[5], 0x55);
}

TEST_F(SendMessageArgsTest, WordsRealsAndPointersFollowEachOther) {
    // "Copy Value" is CommandID, ActorPointer, CommandID: the shortcut packs
    // no actor pointer, so the two ids follow each other.
    actor.SendMessageArgs(MSG_COPY_VALUE, MSG_SET_KILL_DELAY, MSG_GET_KILL_DELAY);
    EXPECT_EQ(Args_Get<uint32_t>(Args_Of(g_MessageArgBuffer), 0), static_cast<uint32_t>(MSG_SET_KILL_DELAY));
    EXPECT_EQ(Args_Get<uint32_t>(Args_Of(g_MessageArgBuffer), 4), static_cast<uint32_t>(MSG_GET_KILL_DELAY));
    CQVActor* pointer = &actor;
    actor.SendMessageArgs(MSG_INVALID_ACTORPOINTER, pointer);
    EXPECT_EQ(Args_Pointer<CQVActor>(MSG_INVALID_ACTORPOINTER, Args_Of(g_MessageArgBuffer)), pointer);
    actor.SendMessageArgs(MSG_SET_KILL_DELAY, 2.5);
    EXPECT_FLOAT_EQ(actor.m_KillDelay, 2.5f);
    actor.SendMessageArgs(MSG_SET_MASTER, 1u);
    EXPECT_TRUE(actor.m_Flags & ACTOR_MASTER);
}

TEST_F(SendMessageArgsTest, LongTextsAreCutAtTheBufferEnd) {
    const std::string huge(10000, 'x');
    actor.SendMessageArgs(MSG_SET_NAME, huge.c_str());
    EXPECT_EQ(actor.m_Name.size(), 4095u);
}

TEST(PooledListTest, AppendsCopiesAndClears) {
    PooledList list;
    EXPECT_EQ(list.GetCount(), 0u);
    for (uint32_t v : {3u, 1u, 4u}) ASSERT_TRUE(list.Append(v));
    EXPECT_EQ(list.GetValues(), (std::vector<uint32_t>{3, 1, 4}));
    PooledList other;
    other.Append(9);
    other = list;
    EXPECT_EQ(other.GetValues(), (std::vector<uint32_t>{3, 1, 4}));
    EXPECT_EQ(other.GetCount(), 3u);
    PooledList copy(list);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.GetValues().empty());
    EXPECT_EQ(copy.GetValues(), (std::vector<uint32_t>{3, 1, 4}));
    copy = copy;
    EXPECT_EQ(copy.GetCount(), 3u);
}

TEST(HashMapTest, KeysOfEqualHashShareOneEntry) {
    HashMap map(4096);
    ASSERT_NE(map.Insert("start_game", 0x9a, false), nullptr);
    EXPECT_EQ(map.Insert("start_game", 7, false), nullptr);
    EXPECT_EQ(map.Find("start_game")->value, 0x9au);
    EXPECT_EQ(map.Insert("start_game", 7, true)->value, 7u);
    EXPECT_EQ(map.GetCount(), 1u);
    EXPECT_EQ(map.Find("stop_game"), nullptr);
    const uint32_t hash = HashMap::Hash("ab");
    EXPECT_EQ(hash, static_cast<uint32_t>('a') * 65599u + 'b');
    EXPECT_EQ(HashMap::Hash(""), 0u);
}

}  // namespace
