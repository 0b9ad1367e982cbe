#include "ActorTestSupport.h"

#include <cstring>

namespace {

using NullActorTest = ActorSystemFixture;

TEST_F(NullActorTest, TheNullActorsAnswerEverythingAndChangeNothing) {
    NullActor* plain = GetNullActor(0);
    NullActor* safe = GetNullActor(1);
    ASSERT_NE(plain, safe);
    EXPECT_EQ(plain->m_Name, "NULLACTOR");
    EXPECT_EQ(safe->m_Name, "NULLACTOR(safe)");
    EXPECT_EQ(plain->m_ClassType, 39u);
    EXPECT_EQ(plain->m_Word, 0u);
    for (uint32_t id : {0u, 32u, 48u, 158u, 213u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(plain->HandleMessage(id, Args_Of("Renamed")), 1);
    }
    EXPECT_EQ(plain->m_Name, "NULLACTOR");
    EXPECT_FALSE(plain->m_Flags & ACTOR_DELETE_PENDING);
    EXPECT_TRUE(g_PendingDeletes.empty());
    plain->Update();
    plain->Process();
    // The factory never makes one, and no delete takes it.
    EXPECT_EQ(system->CreateActor(39, "x", nullptr, global, ACTOR_ID_ANY, 1, 0), nullptr);
    EXPECT_EQ(system->DeleteActor(plain), 1);
    EXPECT_EQ(GetNullActor(0)->m_Name, "NULLACTOR");
}

TEST_F(NullActorTest, ReplicationChangesNothingUntilRecordingIsOn) {
    float value = 2.0f;
    system->ReplicateMessage(16, MSG_SET_KILL_DELAY, Args_Of(&value));
    system->ReplicateMessageFromCharacter(16, MSG_SET_KILL_DELAY, Args_Of(&value));
    EXPECT_TRUE(system->m_ReplayLog.empty());

    // What recording and a network layer would see.
    static std::vector<uint8_t> sent;
    static uint32_t sentTo = 0;
    g_NetworkSend = [](uint32_t peer, const uint8_t* packet, uint32_t size) {
        sentTo = peer;
        sent.assign(packet, packet + size);
    };
    system->m_ReplayState = 2;
    system->m_ReplayFrame = 9;
    system->ReplicateMessageTo(3, 16, MSG_SET_KILL_DELAY, Args_Of(&value));
    g_NetworkSend = nullptr;
    ASSERT_EQ(system->m_ReplayLog.size(), 1u);
    const ReplayLogEntry& entry = system->m_ReplayLog[0];
    EXPECT_EQ(entry.frame, 9u);
    EXPECT_EQ(entry.targetId, 16u);
    EXPECT_EQ(entry.messageId, static_cast<uint32_t>(MSG_SET_KILL_DELAY));
    ASSERT_NE(entry.args, nullptr);
    EXPECT_EQ(std::memcmp(entry.args, &value, 4), 0);
    EXPECT_EQ(sentTo, 3u);
    ASSERT_EQ(sent.size(), 12u);
    EXPECT_EQ(Args_Get<uint32_t>(Args_Of(sent.data(), sent.size())), static_cast<uint32_t>(MSG_SET_KILL_DELAY));
    EXPECT_EQ(Args_Get<uint32_t>(Args_Of(sent.data(), sent.size()), 4), 16u);
    EXPECT_EQ(Args_Get<float>(Args_Of(sent.data(), sent.size()), 8), 2.0f);
}

}  // namespace
