#include "tests/kernel/script/ScriptTestSupport.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/ScriptMessages.h"

#include <cstring>
#include <map>

namespace {

using ScriptRunTest = ScriptFixture;

// "Set Selection Max Count" carries one word and does nothing in the base
// actor: the tests use it to see which actor a statement reached.
constexpr uint32_t MSG_MARK = MSG_SET_SELECTION_MAX_COUNT;

// Keeps the block of the last message it got, as many bytes as the message's arguments take.
class CaptureActor : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (args && id != MSG_COMMAND_SPY)
            blocks[id].assign(args.Data(), args.Data() + MessageArgs_GetBlockSize(id, args));
        return RecordingActor::HandleMessage(id, args);
    }
    std::map<uint32_t, std::vector<uint8_t>> blocks;  // the last block of each message
};

// Runs the text it holds through "Execute Text" whenever it is started.
class TextOnStart : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_START && !text.empty()) {
            const std::string run = text;
            text.clear();
            RecordingActor::HandleMessage(MSG_EXECUTE_TEXT, Args_Of(run.c_str()));
        }
        return RecordingActor::HandleMessage(id, args);
    }
    std::string text;
};

CQVScript& AddScript(CQVActor* actor, const char* name, const char* source, uint32_t bound = 0) {
    CQVScript script;
    script.name = name;
    script.source = source;
    script.owner = actor;
    script.boundMessage = bound;
    actor->m_Scripts.push_back(std::move(script));
    return actor->m_Scripts.back();
}

// The marks each actor received, as "name:value" in order.
std::vector<std::string> Marks() {
    std::vector<std::string> marks;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.id != MSG_MARK) continue;
        CQVActor* actor = CQVActorSystem::GetActorById(seen.actorId);
        marks.push_back((actor ? actor->m_Name : std::string("?")) + ":" + std::to_string(seen.word));
    }
    return marks;
}

using Marks_t = std::vector<std::string>;

TEST_F(ScriptRunTest, EveryOperandReachesItsTarget) {
    CQVActor* door = Make("Door", owner);
    CQVActor* knob = Make("Knob", door);
    CQVActor* caller = Make("Caller");
    CQVActor* pad = Make("Pad", caller);
    CQVActor* slot = Make("GA12_Gate");
    slot->HandleMessage(MSG_SET_NAME, Args_Of("GA12_Gate"));
    CQVActor* bolt = Make("Bolt", slot);
    AddScript(owner, "All",
              "this.set_selection_max_count(1);\n"
              "local.set_selection_max_count(2);\n"
              "Door.set_selection_max_count(3);\n"
              "Door/Knob.set_selection_max_count(4);\n"
              "local/Pad.set_selection_max_count(5);\n"
              "[ga]GA12.set_selection_max_count(6);\n"
              "[ga]GA12/Bolt.set_selection_max_count(7);\n"
              "/Global/Owner/Door.set_selection_max_count(8);\n");
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts[0].Execute(caller), 1);
    EXPECT_EQ(Marks(), (Marks_t{"Owner:1", "Caller:2", "Door:3", "Knob:4", "Pad:5", "GA12_Gate:6", "Bolt:7",
                                "Door:8"}));
    (void)knob;
    (void)pad;
    (void)bolt;
}

TEST_F(ScriptRunTest, MissingTargetsTakeTheMessageAndTheScriptGoesOn) {
    AddScript(owner, "Gaps",
              "Nowhere.set_selection_max_count(1);\n"
              "[safe]Nowhere.set_selection_max_count(2);\n"
              "[ga]GA77.set_selection_max_count(3);\n"
              "local.set_selection_max_count(4);\n"
              "local/Pad.set_selection_max_count(5);\n"
              "this.set_selection_max_count(6);\n");
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts[0].Execute(nullptr), 1);
    EXPECT_EQ(Marks(), Marks_t{"Owner:6"});
}

TEST_F(ScriptRunTest, EmptyScriptRunsAndReturnsOne) {
    CQVScript& script = AddScript(owner, "Empty", "");
    EXPECT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(CodeOf(script).size(), 4u);
}

TEST_F(ScriptRunTest, ScriptThatDoesNotCompileRunsNothingAndCompilesAgainNextTime) {
    CQVScript& script = AddScript(owner, "Bad", "this.set_selection_max_count(1) ;");
    g_Seen.clear();
    EXPECT_EQ(script.Execute(nullptr), 0);
    EXPECT_TRUE(Marks().empty());
    EXPECT_EQ(script.code.length, 0u);
    script.source = "this.set_selection_max_count(1);";
    EXPECT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(Marks(), Marks_t{"Owner:1"});
}

TEST_F(ScriptRunTest, ArgumentsArePackedAsTheMessageListsThem) {
    CaptureActor direct;
    direct.m_Name = "Direct";
    direct.HandleMessage(MSG_SET_NAME, Args_Of("GA40"));
    CQVScript script;
    script.owner = owner;

    script.source = "[ga]GA40.set_position((1.5, -2, .25));";
    ASSERT_EQ(script.Execute(nullptr), 1);
    ASSERT_EQ(direct.blocks[MSG_SET_POSITION].size(), 12u);
    float v[3];
    std::memcpy(v, direct.blocks[MSG_SET_POSITION].data(), 12);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], -2.0f);
    EXPECT_EQ(v[2], 0.25f);

    script.code.Clear();
    script.source = "[ga]GA40.blendmotion(\"Run\", 7);";
    ASSERT_EQ(script.Execute(nullptr), 1);
    ASSERT_EQ(direct.blocks[MSG_BLENDMOTION].size(), 132u);
    EXPECT_STREQ(reinterpret_cast<const char*>(direct.blocks[MSG_BLENDMOTION].data()), "Run");
    uint32_t word;
    std::memcpy(&word, direct.blocks[MSG_BLENDMOTION].data() + 128, 4);
    EXPECT_EQ(word, 7u);

    // An actor pointer is the resolved actor itself; a missing one is the null actor.
    script.code.Clear();
    script.source = "[ga]GA40.if_command(this, get_enabled, set_selection_max_count(5));";
    ASSERT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(StoredPointer<CQVActor>(direct.blocks[MSG_IF_COMMAND].data()), owner);
    EXPECT_EQ(direct.blocks[MSG_SET_SELECTION_MAX_COUNT], (std::vector<uint8_t>{5, 0, 0, 0}));
    script.code.Clear();
    script.source = "[ga]GA40.if_command(Nobody, get_enabled, set_selection_max_count(6));";
    ASSERT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(StoredPointer<CQVActor>(direct.blocks[MSG_IF_COMMAND].data()), GetNullActor(0));
    EXPECT_EQ(direct.blocks[MSG_SET_SELECTION_MAX_COUNT], (std::vector<uint8_t>{5, 0, 0, 0}));
}

TEST_F(ScriptRunTest, TextPointerArgumentPointsIntoTheCode) {
    // The text stays where it stands in the code, which the script keeps.
    const uint8_t code[] = {SCRIPT_ARG_VALUE, 0, 0, 0, 'S', 'p', 'i', 'n', 'e', 0};
    uint32_t position = 0;
    g_ScriptArgs.Bind(g_ScriptArgs.data, SCRIPT_ARG_AREA_SIZE, 0);
    ASSERT_TRUE(PushScriptArgument(code, sizeof code, &position, VT_STRINGPTR));
    EXPECT_EQ(position, sizeof code);
    ASSERT_EQ(g_ScriptArgs.length, sizeof(const char*));
    EXPECT_EQ(StoredPointer<const char>(g_ScriptArgs.data), reinterpret_cast<const char*>(code + 4));
    // A text without its NUL is corrupt code.
    position = 0;
    EXPECT_FALSE(PushScriptArgument(code, sizeof code - 1, &position, VT_STRINGPTR));
    EXPECT_EQ(g_ScriptAbort, 1);
    g_ScriptAbort = 0;
    g_ScriptArgs.Bind(g_ScriptArgs.data, SCRIPT_ARG_AREA_SIZE, 0);
}

TEST_F(ScriptRunTest, TimerCommandSchedulesTheNestedCommand) {
    CQVScript& script = AddScript(owner, "Later", "this.timercommand(2.5, start_game());");
    EXPECT_EQ(script.Execute(nullptr), 1);
    TimedMessage* record = owner->FindTimedMessage(MSG_START_GAME);
    ASSERT_NE(record, nullptr);
    g_Seen.clear();
    Fire(record);
    EXPECT_EQ(SeenBy(owner), std::vector<uint32_t>{MSG_START_GAME});
}

TEST_F(ScriptRunTest, BlocksRunByNameOnTheirTargets) {
    CQVActor* door = Make("Door", owner);
    CQVActor* caller = Make("Caller");
    AddScript(owner, "Open", "this.set_selection_max_count(1);local.set_selection_max_count(10);");
    AddScript(door, "Open", "this.set_selection_max_count(2);local.set_selection_max_count(20);");
    AddScript(door, "Open", "this.set_selection_max_count(3);");
    AddScript(caller, "Open", "this.set_selection_max_count(4);");
    AddScript(owner, "Main", "this.Open();Door.Open();local.[safe]Open();");
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts.back().Execute(caller), 1);
    // A block runs with the calling script's owner as its local actor.
    EXPECT_EQ(Marks(), (Marks_t{"Owner:1", "Owner:10", "Door:2", "Owner:20", "Door:3", "Caller:4"}));
}

TEST_F(ScriptRunTest, CompiledBlockCallsSurviveChangesOfTheScriptList) {
    AddScript(owner, "Open", "this.set_selection_max_count(1);");
    AddScript(owner, "Main", "this.Open();");
    ASSERT_EQ(owner->m_Scripts[1].Compile(owner, nullptr, nullptr), 1);
    // The vector moves every record.
    for (int i = 0; i < 64; ++i) AddScript(owner, "Filler", "");
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts[1].Execute(nullptr), 1);
    EXPECT_EQ(Marks(), Marks_t{"Owner:1"});
    // A block deleted since the compile is no longer called.
    owner->HandleMessage(MSG_DELETE_SCRIPT, Args_Of("Open"));
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts[0].name, "Main");
    EXPECT_EQ(owner->m_Scripts[0].Execute(nullptr), 1);
    EXPECT_TRUE(Marks().empty());
}

TEST_F(ScriptRunTest, ABlockThatCallsItselfEnds) {
    AddScript(owner, "Loop", "this.set_selection_max_count(1);this.Loop();");
    g_Seen.clear();
    owner->HandleMessage(MSG_SCRIPT_EXECUTE, Args_Of("Loop"));
    EXPECT_EQ(Marks().size(), static_cast<size_t>(SCRIPT_MAX_RUN_DEPTH));
    EXPECT_EQ(g_ScriptThis, nullptr);
    EXPECT_EQ(g_ScriptArgs.length, 0u);
}

TEST_F(ScriptRunTest, AScriptThatDeletesItselfFinishesItsRun) {
    AddScript(owner, "Once", "this.delete_script(\"Once\");this.set_selection_max_count(5);");
    g_Seen.clear();
    owner->HandleMessage(MSG_SCRIPT_EXECUTE, Args_Of("Once"));
    EXPECT_TRUE(owner->m_Scripts.empty());
    EXPECT_EQ(Marks(), Marks_t{"Owner:5"});
}

TEST_F(ScriptRunTest, NestedRunsKeepTheirOwnStateAndArguments) {
    CQVActor* other = Make("Other");
    AddScript(other, "Inner", "this.set_selection_max_count(2);local.set_selection_max_count(3);");
    AddScript(owner, "Outer",
              "this.set_selection_max_count(1);parent/Other.Inner();this.set_selection_max_count(4);"
              "local.set_selection_max_count(5);");
    CQVActor* caller = Make("Caller");
    g_Seen.clear();
    EXPECT_EQ(owner->m_Scripts[0].Execute(caller), 1);
    EXPECT_EQ(Marks(), (Marks_t{"Owner:1", "Other:2", "Owner:3", "Owner:4", "Caller:5"}));
    EXPECT_EQ(g_ScriptThis, nullptr);
    EXPECT_EQ(g_ScriptLocal, nullptr);
}

TEST_F(ScriptRunTest, EventScriptsFireWhenTheirEventIsHandled) {
    AddScript(owner, "OnStart", "this.set_selection_max_count(9);", MSG_START_GAME);
    AddScript(owner, "OnOther", "this.set_selection_max_count(8);", MSG_START_GAME + 1);
    // Bound to a message that is no event: never run by it.
    AddScript(owner, "OnMark", "this.set_selection_max_count(7);", MSG_MARK);
    g_Seen.clear();
    owner->HandleMessage(MSG_START_GAME, nullptr);
    EXPECT_EQ(Marks(), Marks_t{"Owner:9"});
    g_Seen.clear();
    uint32_t one = 1;
    owner->HandleMessage(MSG_MARK, Args_Of(&one));
    EXPECT_EQ(Marks(), Marks_t{"Owner:1"});
}

TEST_F(ScriptRunTest, ExecuteTextRunsOnceAndLeavesNoScript) {
    AddScript(owner, "Keep", "");
    g_Seen.clear();
    owner->HandleMessage(MSG_EXECUTE_TEXT, Args_Of("this.set_selection_max_count(3);"));
    EXPECT_EQ(Marks(), Marks_t{"Owner:3"});
    ASSERT_EQ(owner->m_Scripts.size(), 1u);
    EXPECT_EQ(owner->m_Scripts[0].name, "Keep");
    owner->HandleMessage(MSG_EXECUTE_TEXT, Args_Of("this.set_selection_max_count(3) ;"));
    ASSERT_EQ(owner->m_Scripts.size(), 1u);
    EXPECT_EQ(owner->m_Scripts[0].name, "Keep");
}

TEST_F(ScriptRunTest, ExecuteTextInsideARunningTemporaryScriptLeavesItRunning) {
    TextOnStart runner;
    runner.m_Name = "Runner";
    runner.text = "this.set_selection_max_count(2);";
    runner.HandleMessage(MSG_SET_NAME, Args_Of("GA50"));
    // The outer text starts the runner, whose handler runs a second text on
    // the same actor; the second removes every temporary script, the outer
    // one included, while the outer one still has statements to run.
    runner.HandleMessage(MSG_EXECUTE_TEXT,
                         Args_Of("this.set_selection_max_count(1);this.start();this.set_selection_max_count(3);"));
    std::vector<uint32_t> marks;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.id == MSG_MARK) marks.push_back(seen.word);
    }
    EXPECT_EQ(marks, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_TRUE(runner.m_Scripts.empty());
}

TEST_F(ScriptRunTest, CorruptCodeStopsTheRun) {
    auto run = [this](std::vector<uint8_t> bytes) {
        CQVScript script;
        script.owner = owner;
        script.code.Append(bytes.data(), static_cast<uint32_t>(bytes.size()));
        return script.Execute(nullptr);
    };
    auto word = [](uint32_t w) {
        std::vector<uint8_t> b(4);
        std::memcpy(b.data(), &w, 4);
        return b;
    };
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const std::vector<uint8_t> self{SCRIPT_OPERAND_PLAIN, OPERAND_THIS};
    EXPECT_EQ(run(join({{22, 42}, word(MSG_START_GAME), word(SCRIPT_END)})), 0);   // unknown operand kind
    EXPECT_EQ(run(join({self, word(5), word(SCRIPT_END)})), 0);                    // word below 32
    EXPECT_EQ(run(join({self, word(0x7FFFFFFF), word(SCRIPT_END)})), 0);           // no such command
    EXPECT_EQ(run(join({self, word(MSG_MARK), word(99), word(1), word(SCRIPT_END)})), 0);  // unknown tag
    EXPECT_EQ(run(join({self, word(MSG_MARK), word(SCRIPT_ARG_VALUE)})), 0);       // ends inside an argument
    EXPECT_EQ(run(join({self, word(MSG_START_GAME)})), 0);                         // no end word
    EXPECT_EQ(run(join({{22, OPERAND_PATH, 'D'}})), 0);                            // path without its NUL
    EXPECT_EQ(run(join({{22, OPERAND_GA}, word(5000), word(MSG_START_GAME), word(SCRIPT_END)})), 1);
    EXPECT_EQ(run(join({{22, OPERAND_ACTOR_ID}, word(owner->m_Id), word(MSG_MARK), word(SCRIPT_ARG_VALUE), word(6),
                        word(SCRIPT_END)})),
              1);
    EXPECT_EQ(Marks(), Marks_t{"Owner:6"});
}

TEST_F(ScriptRunTest, ArgumentsBeyondTheStaticAreaStopTheStatement) {
    CQVScript& script = AddScript(owner, "Big", "this.blendmotion(\"Run\", 1);this.set_selection_max_count(1);");
    g_ScriptArgs.Bind(g_ScriptArgs.data, SCRIPT_ARG_AREA_SIZE, SCRIPT_ARG_AREA_SIZE - 100);
    g_Seen.clear();
    EXPECT_EQ(script.Execute(nullptr), 0);
    EXPECT_TRUE(Marks().empty());
    EXPECT_EQ(g_ScriptArgs.length, SCRIPT_ARG_AREA_SIZE - 100);
    g_ScriptArgs.Bind(g_ScriptArgs.data, SCRIPT_ARG_AREA_SIZE, 0);
    EXPECT_EQ(script.Execute(nullptr), 1);
    EXPECT_EQ(Marks(), Marks_t{"Owner:1"});
}

}  // namespace
