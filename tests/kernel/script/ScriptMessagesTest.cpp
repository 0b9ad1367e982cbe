#include "tests/kernel/script/ScriptTestSupport.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/ScriptMessages.h"
#include "kernel/base/Archive.h"
#include "kernel/base/Random.h"

#include <cstring>
#include <filesystem>

namespace {

using ScriptMessagesTest = ScriptFixture;

constexpr uint32_t MSG_MARK = MSG_SET_SELECTION_MAX_COUNT;
// Not answered by the base actor: a query to it leaves the result 0.
constexpr uint32_t MSG_SILENT_QUERY = MSG_GET_SELECTION_MAX_COUNT;

// An argument block built field by field, as the script packer lays it out.
struct Block {
    std::vector<uint8_t> bytes;
    template <typename T>
    Block& Put(const T& value) {
        const size_t at = bytes.size();
        bytes.resize(at + sizeof value);
        std::memcpy(bytes.data() + at, &value, sizeof value);
        return *this;
    }
    Block& Text(const char* text) {
        const size_t at = bytes.size(), size = std::strlen(text) + 1;
        bytes.resize(at + size);
        std::memcpy(bytes.data() + at, text, size);
        return *this;
    }
    Block& Mark(uint32_t value) { return Put(static_cast<uint32_t>(MSG_MARK)).Put(value); }
    MessageArgs Args() { return Args_Of(bytes.data(), bytes.size()); }
};

std::vector<uint32_t> MarksOf(const CQVActor* actor) {
    std::vector<uint32_t> marks;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.actorId == actor->m_Id && seen.id == MSG_MARK) marks.push_back(seen.word);
    }
    return marks;
}

// Keeps a position for "Copy Value": Set Position stores it, Get Position answers it.
class PositionActor : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_SET_POSITION) m_Position = Args_Get<Vector3>(args);
        if (id == MSG_GET_POSITION) Args_Set(args, 0, m_Position);
        return RecordingActor::HandleMessage(id, args);
    }
};

TEST_F(ScriptMessagesTest, ConditionsSendTheirCommandByTheQueryResult) {
    struct Case {
        uint32_t message;
        uint32_t query;
        bool sent;
    };
    const Case cases[] = {
        {MSG_IF_COMMAND, MSG_GET_ENABLED, true},           {MSG_IF_COMMAND, MSG_SILENT_QUERY, false},
        {MSG_CONDITION_COMMAND, MSG_GET_ENABLED, true},    {MSG_CONDITION_COMMAND, MSG_SILENT_QUERY, false},
        {MSG_IF_NOT_COMMAND, MSG_GET_ENABLED, false},      {MSG_IF_NOT_COMMAND, MSG_SILENT_QUERY, true},
    };
    CQVActor* asked = Make("Asked");
    for (const Case& c : cases) {
        g_Seen.clear();
        Block block;
        block.Put(asked).Put(c.query).Mark(4);
        owner->HandleMessage(c.message, block.Args());
        EXPECT_EQ(MarksOf(owner), c.sent ? std::vector<uint32_t>{4} : std::vector<uint32_t>{})
            << "message " << c.message << " query " << c.query;
    }
    // No actor to ask answers nothing.
    g_Seen.clear();
    Block none;
    none.Put(static_cast<CQVActor*>(nullptr)).Put(static_cast<uint32_t>(MSG_GET_ENABLED)).Mark(4);
    owner->HandleMessage(MSG_IF_COMMAND, none.Args());
    EXPECT_TRUE(MarksOf(owner).empty());
}

TEST_F(ScriptMessagesTest, IfElseFindsTheSecondCommandAfterATextArgument) {
    CQVActor* first = Make("First");
    CQVActor* second = Make("Second");
    for (uint32_t query : {static_cast<uint32_t>(MSG_GET_ENABLED), MSG_SILENT_QUERY}) {
        first->m_Name = "First";
        g_Seen.clear();
        Block block;
        block.Put(owner).Put(query).Put(first).Put(static_cast<uint32_t>(MSG_SET_NAME)).Text("Renamed");
        block.Put(second).Mark(6);
        owner->HandleMessage(MSG_IF_ELSE_COMMAND, block.Args());
        const bool yes = query == MSG_GET_ENABLED;
        EXPECT_EQ(first->m_Name, yes ? "Renamed" : "First");
        EXPECT_EQ(MarksOf(second), yes ? std::vector<uint32_t>{} : std::vector<uint32_t>{6});
    }
}

TEST_F(ScriptMessagesTest, ChanceIsAPercentageWithTwoDecimals) {
    for (float percent : {0.0f, 12.5f, 100.0f}) {
        for (uint32_t seed = 1; seed < 40; ++seed) {
            Random_Seed(seed);
            const int r = Random_Next() % 10000;
            Random_Seed(seed);
            g_Seen.clear();
            Block block;
            block.Put(percent).Mark(1);
            owner->HandleMessage(MSG_RANDCOMMAND, block.Args());
            const bool expected = percent == 100.0f || (percent == 12.5f && r < 1250);
            EXPECT_EQ(MarksOf(owner).size(), expected ? 1u : 0u) << percent << " r=" << r;
        }
    }
    CQVActor* a = Make("A");
    CQVActor* b = Make("B");
    for (float percent : {0.0f, 100.0f}) {
        g_Seen.clear();
        Block block;
        block.Put(percent).Put(a).Put(static_cast<uint32_t>(MSG_SET_NAME)).Text("Long name here");
        block.Put(b).Mark(2);
        owner->HandleMessage(MSG_RANDELSECOMMAND, block.Args());
        EXPECT_EQ(a->m_Name, percent == 100.0f ? "Long name here" : "A");
        EXPECT_EQ(MarksOf(b).size(), percent == 100.0f ? 0u : 1u);
        a->m_Name = "A";
    }
}

TEST_F(ScriptMessagesTest, CopyValueAsksTheSourceAndSetsItself) {
    PositionActor source;
    source.m_Position = Vector3(1.0f, 2.0f, 3.0f);
    source.HandleMessage(MSG_SET_NAME, Args_Of("GA60"));
    PositionActor self;
    self.HandleMessage(MSG_SET_NAME, Args_Of("GA61"));
    CQVScript script;
    script.owner = &self;
    script.source = "this.copy_value(set_position, [ga]GA60, get_position);";
    ASSERT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(self.m_Position.x, 1.0f);
    EXPECT_EQ(self.m_Position.y, 2.0f);
    EXPECT_EQ(self.m_Position.z, 3.0f);
}

TEST_F(ScriptMessagesTest, SpiesSeeEveryLaterMessageFirst) {
    CQVActor* spy = Make("Spy");
    uint32_t spyId = spy->m_Id;
    owner->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&spyId));
    owner->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&spyId));
    uint32_t missing = 7777;
    owner->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&missing));
    ASSERT_EQ(owner->m_CommandSpies.size(), 2u);

    g_Seen.clear();
    uint32_t value = 3;
    owner->HandleMessage(MSG_MARK, Args_Of(&value));
    // The actor notes the message as it arrives; each of the two entries then reports it.
    ASSERT_EQ(g_Seen.size(), 3u);
    EXPECT_EQ(g_Seen[0].actorId, owner->m_Id);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(g_Seen[i].actorId, spy->m_Id);
        EXPECT_EQ(g_Seen[i].id, static_cast<uint32_t>(MSG_COMMAND_SPY));
        EXPECT_EQ(g_Seen[i].word, static_cast<uint32_t>(MSG_MARK));
    }

    owner->HandleMessage(MSG_REMOVE_COMMANDSPY, Args_Of(&spyId));
    EXPECT_EQ(owner->m_CommandSpies.size(), 1u);
    owner->HandleMessage(MSG_REMOVE_ALL_COMMANDSPY, nullptr);
    EXPECT_TRUE(owner->m_CommandSpies.empty());

    // A spy that dies leaves no dangling entry behind.
    owner->HandleMessage(MSG_ADD_COMMANDSPY, Args_Of(&spyId));
    ASSERT_EQ(system->DeleteActor(spy), 1);
    g_Seen.clear();
    owner->HandleMessage(MSG_MARK, Args_Of(&value));
    ASSERT_EQ(g_Seen.size(), 1u);
    EXPECT_EQ(g_Seen[0].actorId, owner->m_Id);
}

TEST_F(ScriptMessagesTest, ScriptsAreRunFoundAndDeletedByName) {
    CQVActor* caller = Make("Caller");
    auto add = [this](const char* name, const char* source) {
        CQVScript script;
        script.name = name;
        script.source = source;
        script.owner = owner;
        owner->m_Scripts.push_back(std::move(script));
    };
    add("Goes", "this.set_selection_max_count(1);");
    add("Other", "this.set_selection_max_count(2);");
    add("Goes", "this.set_selection_max_count(3);local.set_selection_max_count(4);");
    g_Seen.clear();
    owner->HandleMessage(MSG_SCRIPT_EXECUTE, Args_Of("Goes"));
    owner->HandleMessage(MSG_SAFE_SCRIPT_EXECUTE, Args_Of("Other"));
    EXPECT_EQ(MarksOf(owner), (std::vector<uint32_t>{1, 3, 2}));

    ScriptLookupArgs lookup{"Goes", nullptr};
    owner->HandleMessage(MSG_FIND_SCRIPT, Args_Of(&lookup));
    ASSERT_EQ(lookup.script, &owner->m_Scripts[0]);

    // Run through its record, with this actor as the caller.
    g_Seen.clear();
    CQVScript* third = &owner->m_Scripts[2];
    caller->HandleMessage(MSG_SCRIPT_EXECUT, Args_Of(&third));
    EXPECT_EQ(MarksOf(owner), std::vector<uint32_t>{3});
    EXPECT_EQ(MarksOf(caller), std::vector<uint32_t>{4});

    owner->HandleMessage(MSG_DELETE_SCRIPT, Args_Of("Goes"));
    ASSERT_EQ(owner->m_Scripts.size(), 2u);
    EXPECT_EQ(owner->m_Scripts[0].name, "Other");
    EXPECT_EQ(owner->m_Scripts[1].name, "Goes");
    lookup = ScriptLookupArgs{"None", &owner->m_Scripts[0]};
    owner->HandleMessage(MSG_FIND_SCRIPT, Args_Of(&lookup));
    EXPECT_EQ(lookup.script, nullptr);
}

struct GACase {
    const char* name;
    int slot;
};

class GAIndexTable : public testing::TestWithParam<GACase> {};

TEST_P(GAIndexTable, GivesTheSlotNumber) { EXPECT_EQ(Script_ParseGAIndex(GetParam().name), GetParam().slot); }

INSTANTIATE_TEST_SUITE_P(Names, GAIndexTable,
                         testing::Values(GACase{"GA1", 1}, GACase{"GA12", 12}, GACase{"GA123", 123},
                                         GACase{"GA1234", 0}, GACase{"GA12_Door", 12}, GACase{"GA1X", 1},
                                         GACase{"Ga5", 0}, GACase{"GA", 0}, GACase{"GAx", 0}, GACase{"", 0},
                                         GACase{"GA007", 7}, GACase{"XGA5", 0}));

TEST_F(ScriptMessagesTest, SlotsStayWithTheirFirstHolderAndFreeOnDeletion) {
    CQVActor* first = Make("First");
    CQVActor* second = Make("Second");
    first->HandleMessage(MSG_SET_NAME, Args_Of("GA5"));
    second->HandleMessage(MSG_SET_NAME, Args_Of("GA5_Too"));
    EXPECT_EQ(Script_GetGAVariable(5), first);
    CQVActor* door = Make("Door", first);
    EXPECT_EQ(owner->ResolveActorName("GA5/Door"), door);
    EXPECT_EQ(owner->ResolveActorName("GA5"), first);
    EXPECT_EQ(owner->ResolveActorName("GA1234"), nullptr);

    // A script addressing the slot follows its holder.
    CQVScript script;
    script.owner = owner;
    script.source = "[ga]GA5/Door.set_selection_max_count(1);";
    g_Seen.clear();
    ASSERT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(MarksOf(door), std::vector<uint32_t>{1});

    ActorLink link;
    link.SetOwner(owner);
    link.targetName = "GA5/Door";
    link.Resolve();
    ASSERT_EQ(link.target, door);
    ASSERT_EQ(system->DeleteActor(first), 1);
    EXPECT_EQ(Script_GetGAVariable(5), nullptr);
    EXPECT_EQ(link.target, nullptr);
    // The slot is empty now: the same script reaches no actor, and the link keeps what it has.
    g_Seen.clear();
    EXPECT_EQ(script.Execute(nullptr), 1);
    EXPECT_TRUE(g_Seen.empty());
    link.SetTarget(second);
    link.Resolve();
    EXPECT_EQ(link.target, second);
    EXPECT_NE(link.trace.find("  _NotFound(GA5/Door)"), std::string::npos);
}

TEST_F(ScriptMessagesTest, TwoLinksOfOneOwnerGiveTwoInvalidPointerMessages) {
    struct Owner : public RecordingActor {
        std::vector<ActorLink*> invalid;
        int HandleMessage(uint32_t id, MessageArgs args) override {
            if (id == MSG_INVALID_ACTORPOINTER) invalid.push_back(Args_Pointer<ActorLink>(id, args));
            return RecordingActor::HandleMessage(id, args);
        }
    } holder;
    CQVActor* target = Make("Target");
    ActorLink a;
    ActorLink b;
    a.SetOwner(&holder);
    b.SetOwner(&holder);
    a.SetTarget(target);
    b.SetTarget(target);
    ASSERT_EQ(system->DeleteActor(target), 1);
    EXPECT_EQ(holder.invalid, (std::vector<ActorLink*>{&a, &b}));
    EXPECT_EQ(a.target, nullptr);
    EXPECT_EQ(b.target, nullptr);
}

TEST_F(ScriptMessagesTest, ALinkIsStoredByNameOrByItsTargetsPath) {
    CQVActor* door = Make("Door", owner);
    const std::string file = (std::filesystem::path(testing::TempDir()) / "link_archive.bin").string();
    {
        ActorLink named;
        named.targetName = "GA9/Lock";
        ActorLink bound;
        bound.SetOwner(owner);
        bound.SetTarget(door);
        CQVArchive out;
        ASSERT_TRUE(out.Open(file.c_str(), "wb"));
        EXPECT_EQ(named.Serialize(&out), 0);
        EXPECT_EQ(bound.Serialize(&out), 0);
        out.Close();
    }
    CQVArchive in;
    ASSERT_TRUE(in.Open(file.c_str(), "rb"));
    ActorLink named;
    ActorLink bound;
    bound.SetOwner(owner);
    named.Serialize(&in);
    bound.Serialize(&in);
    in.Close();
    EXPECT_EQ(named.targetName, "GA9/Lock");
    EXPECT_EQ(bound.targetName, CQVActorSystem::GetActorPath(door, nullptr));
    EXPECT_EQ(bound.target, nullptr);
    bound.Resolve();
    EXPECT_EQ(bound.target, door);
    std::filesystem::remove(file);
}

}  // namespace
