#include "tests/kernel/script/ScriptTestSupport.h"

#include <cstring>
#include <sstream>

namespace {

// The expected code of a case, one item per blank-separated word:
//   this local sys !this       operands (plain, or marked by "[safe]")
//   path:P lpath:P ga:N gapath:N:P   operands with data ('~' in P stands for a blank)
//   w:N                        a word (decimal or 0x)
//   v c cmd                    argument tags 11, 12 and 13
//   f:X i:N s:T s128:T         a float, an int, a text with its NUL, a 128-byte text
//   end                        the closing "_End"
std::vector<uint8_t> Code(const std::string& words)
{
    std::vector<uint8_t> out;
    auto word = [&out](uint32_t w) {
        uint8_t bytes[4];
        std::memcpy(bytes, &w, 4);
        out.insert(out.end(), bytes, bytes + 4);
    };
    auto text = [&out](std::string t, size_t slot) {
        for (char& c : t)
            c = c == '~' ? ' ' : c;
        out.insert(out.end(), t.begin(), t.end());
        out.insert(out.end(), slot ? slot - t.size() : 1, 0);
    };
    auto operand = [&out](uint8_t kind, bool safe) {
        out.push_back(safe ? SCRIPT_OPERAND_SAFE : SCRIPT_OPERAND_PLAIN);
        out.push_back(kind);
    };
    std::istringstream in(words);
    std::string item;
    while (in >> item) {
        const size_t colon = item.find(':');
        const std::string head = item.substr(0, colon);
        const std::string rest = colon == std::string::npos ? "" : item.substr(colon + 1);
        if (head == "this" || head == "!this")
            operand(OPERAND_THIS, head[0] == '!');
        else if (head == "local")
            operand(OPERAND_LOCAL, false);
        else if (head == "sys")
            operand(OPERAND_SYSTEM, false);
        else if (head == "path" || head == "lpath") {
            operand(head == "path" ? OPERAND_PATH : OPERAND_LOCAL_PATH, false);
            text(rest, 0);
        } else if (head == "ga") {
            operand(OPERAND_GA, false);
            word(static_cast<uint32_t>(std::stoul(rest)));
        } else if (head == "gapath") {
            operand(OPERAND_GA_PATH, false);
            const size_t split = rest.find(':');
            word(static_cast<uint32_t>(std::stoul(rest.substr(0, split))));
            text(rest.substr(split + 1), 0);
        } else if (head == "w")
            word(static_cast<uint32_t>(std::stoul(rest, nullptr, 0)));
        else if (head == "v")
            word(SCRIPT_ARG_VALUE);
        else if (head == "c")
            word(SCRIPT_ARG_MEMBERS);
        else if (head == "cmd")
            word(SCRIPT_ARG_COMMAND);
        else if (head == "f") {
            const float f = std::stof(rest);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            word(bits);
        } else if (head == "i")
            word(static_cast<uint32_t>(std::stoi(rest)));
        else if (head == "s")
            text(rest, 0);
        else if (head == "s128")
            text(rest, 128);
        else if (head == "end")
            word(SCRIPT_END);
        else
            ADD_FAILURE() << "unknown item " << item;
    }
    return out;
}

struct CompileCase {
    const char* source;
    const char* code;
};

std::ostream& operator<<(std::ostream& os, const CompileCase& c) { return os << c.source; }

class ScriptCompileTable : public ScriptFixture, public testing::WithParamInterface<CompileCase> {};

TEST_P(ScriptCompileTable, CompilesToTheExpectedWords)
{
    CQVScript script;
    script.source = GetParam().source;
    const char* error = "unset";
    uint32_t position = 99;
    ASSERT_EQ(script.Compile(owner, &error, &position), 1) << error;
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(CodeOf(script), Code(GetParam().code));
}

// Ids: set_name 0x20, start_game 0x9a, timercommand 0x39, set_position 0x3f,
// set_enabled 0x22, if_command 0x3c, randcommand 0x3a, copy_value 0x15d,
// get_enabled 0x23, set_drawgroup 0x31, add_ammo 0x413, blendmotion 0x46e,
// get_bone 0x460, set_diffuse_color 0x1d5, calculate_aabox 0x97,
// set_aimtarget 0x6da, if_else_command 0x3e.
INSTANTIATE_TEST_SUITE_P(
    Sources, ScriptCompileTable,
    testing::Values(
        CompileCase{"", "end"},
        CompileCase{" \t\r\n// note\n/* block */ ", "end"},
        CompileCase{"this.set_name(\"Door\");", "this w:0x20 v s:Door end"},
        CompileCase{"this.timercommand(2.5, start_game());", "this w:0x39 v f:2.5 cmd w:0x9a end"},
        CompileCase{"this.start_game();", "this w:0x9a end"},
        CompileCase{"this.Start_Game();", "this w:0x9a end"},
        CompileCase{"[safe]this.start_game();", "!this w:0x9a end"},
        CompileCase{"local.start_game();", "local w:0x9a end"},
        CompileCase{"sys.start_game();", "sys w:0x9a end"},
        CompileCase{"Door/Knob.start_game();", "path:Door/Knob w:0x9a end"},
        CompileCase{"local/Door.start_game();", "lpath:Door w:0x9a end"},
        CompileCase{"[ga]GA12.start_game();", "ga:12 w:0x9a end"},
        CompileCase{"[ga]GA7/Door/Knob.start_game();", "gapath:7:Door/Knob w:0x9a end"},
        CompileCase{"[ga]GA999.start_game();", "ga:999 w:0x9a end"},
        CompileCase{"this.start_game();\nthis.start_game();", "this w:0x9a this w:0x9a end"},
        CompileCase{"this.set_name(Door Open);", "this w:0x20 v s:Door~Open end"},
        CompileCase{"this.set_name();", "this w:0x20 v s: end"},
        CompileCase{"this.set_enabled(1);", "this w:0x22 v i:1 end"},
        CompileCase{"this.set_enabled( // on\n 1);", "this w:0x22 v i:1 end"},
        CompileCase{"this.set_drawgroup(4294967295);", "this w:0x31 v i:-1 end"},
        CompileCase{"this.add_ammo(3, -7);", "this w:0x413 v i:3 v i:-7 end"},
        CompileCase{"this.blendmotion(\"Run\" 2);", "this w:0x46e v s128:Run v i:2 end"},
        CompileCase{"this.set_position((1.0, -2.5, .5));", "this w:0x3f c v f:1 v f:-2.5 v f:0.5 end"},
        CompileCase{"this.set_wsposition((1,2,3));", "this w:0x46 c v f:1 v f:2 v f:3 end"},
        CompileCase{"this.on_enter_drawgroup(5);", "this w:0x62 v i:5 end"},
        CompileCase{"this.set_position(vec(1, 2, 3));", "this w:0x3f c v f:1 v f:2 v f:3 end"},
        CompileCase{"this.set_diffuse_color((1, 0.5, 0, 1));", "this w:0x1d5 c v f:1 v f:0.5 v f:0 v f:1 end"},
        CompileCase{"this.calculate_aabox(((1,2,3),(4,5,6)));",
                    "this w:0x97 c c v f:1 v f:2 v f:3 c v f:4 v f:5 v f:6 end"},
        CompileCase{"this.blendmotion(\"Run\", 2);", "this w:0x46e v s128:Run v i:2 end"},
        CompileCase{"this.blendmotion(Walk, 2);", "this w:0x46e v s128:Walk v i:2 end"},
        CompileCase{"this.if_command(Door, get_enabled, set_name(\"Open\"));",
                    "this w:0x3c v path:Door v w:0x23 cmd w:0x20 v s:Open end"},
        CompileCase{"this.if_command([ga]GA3/Lamp, get_enabled, start_game());",
                    "this w:0x3c v gapath:3:Lamp v w:0x23 cmd w:0x9a end"},
        CompileCase{"this.if_command([safe]this, get_enabled, start_game());",
                    "this w:0x3c v !this v w:0x23 cmd w:0x9a end"},
        CompileCase{"this.randcommand(12.5, timercommand(1, start_game()));",
                    "this w:0x3a v f:12.5 cmd w:0x39 v f:1 cmd w:0x9a end"},
        CompileCase{"this.copy_value(set_enabled, local, get_enabled);",
                    "this w:0x15d v w:0x22 v local v w:0x23 end"},
        CompileCase{"this.set_aimtarget(Hero);", "this w:0x6da v path:Hero end"},
        CompileCase{"this.set_aimtarget((Hero, \"Head\"));", "this w:0x6da c v path:Hero v s:Head end"},
        CompileCase{"local.Open();", "local w:2 s:Open end"},
        CompileCase{"Door.[safe]Open();", "path:Door w:3 s:Open end"},
        CompileCase{"local/Door.Open();", "lpath:Door w:2 s:Open end"},
        CompileCase{"this.nothing();", "this w:1 w:0 end"}));

struct ErrorCase {
    const char* source;
    const char* error;
    uint32_t position;
};

std::ostream& operator<<(std::ostream& os, const ErrorCase& c) { return os << c.source; }

class ScriptErrorTable : public ScriptFixture, public testing::WithParamInterface<ErrorCase> {};

TEST_P(ScriptErrorTable, FailsWithTheTextAndCompilesNothing)
{
    CQVScript script;
    script.source = GetParam().source;
    const char* error = nullptr;
    uint32_t position = 0;
    g_ScriptAbort = 0;
    EXPECT_EQ(script.Compile(owner, &error, &position), 0);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error, GetParam().error);
    EXPECT_EQ(position, GetParam().position);
    EXPECT_EQ(g_ScriptAbort, 1);
    EXPECT_EQ(script.code.length, 0u);
    g_ScriptAbort = 0;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ScriptErrorTable,
    testing::Values(
        ErrorCase{"this.start_game() ;", "Expected ';' Parse Sync Error!", 17},
        ErrorCase{"this.start_game()", "Expected ';' Parse Sync Error!", 17},
        ErrorCase{"[ga]GA0.start_game();", "Invalid GAindex! must be in the range 1 - 999", 7},
        ErrorCase{"[ga]GA1000.start_game();", "Invalid GAindex! must be in the range 1 - 999", 10},
        ErrorCase{"[ga]Door.start_game();", "Invalid GAindex! must be in the range 1 - 999", 8},
        ErrorCase{"this", "Unexpected end of script!", 4},
        ErrorCase{"sys", "Unexpected end of script!", 3},
        ErrorCase{"this.", "Unexpected end of script!", 5},
        ErrorCase{"this start_game();", "Expected '.' after ActorAccess", 4},
        ErrorCase{"this.start_game;", "ParseParamRecursive() _1_ Expected '('", 16},
        ErrorCase{"this.start_game(1);", "Expected ')' Parse Sync Error!", 16},
        ErrorCase{"this.set_enabled(1, 2);", "To many params, Expected ')' Parse Sync Error!", 18},
        ErrorCase{"this.set_enabled(1", "ParseParamRecursive() FORBIDDEN POINT", 18},
        ErrorCase{"this.set_enabled(1.5);", "ParseParamRecursive() FORBIDDEN POINT", 18},
        ErrorCase{"this.set_position((1.0, 2.0, 3.0.5));", "ParseParamRecursive() FORBIDDEN POINT", 32},
        ErrorCase{"this.set_enabled(\"1\");", "ParseParamRecursive() Unexpected start of string", 17},
        ErrorCase{"this.set_name(x\"1\");", "ParseParamRecursive() Unexpected start of string", 15},
        ErrorCase{"this.timercommand(1, start_game);", "ParseParamRecursive() QV_CMDD_COMMAND Expected a '('", 31},
        ErrorCase{"this.timercommand(1, no_such_thing());", "Parse_CommandID() No such Command! FORBIDDEN POINT", 21},
        ErrorCase{"this.timercommand(1, start_game x());", "ParseParamRecursive() _2_ Expected '('", 32},
        ErrorCase{"this.timercommand(1, start_game(;", "ParseParamRecursive() Expected ')'", 32},
        ErrorCase{"this.set_position((1, 2, 3);", "Expected ')' Parse Sync Error!", 27},
        ErrorCase{"this.set_position(1);", "ParseParamRecursive() Expected '(' for this value", 19},
        ErrorCase{"this.copy_value(bogus, this, get_enabled);", "Parse_CommandID() No such Command! FORBIDDEN POINT",
                  16},
        ErrorCase{"sys.Open();", "Checking ActorAccessType: Parse Sync Error!", 9},
        ErrorCase{"[ga]GA4.Open();", "Checking ActorAccessType: Parse Sync Error!", 13},
        ErrorCase{"this.set_enabled(/* open", "Missing end of comment!", 24},
        ErrorCase{"this.if_command([ga]GA0, get_enabled, start_game());",
                  "Invalid GAindex! must be in the range 1 - 999", 16}));

TEST_F(ScriptFixture, ScriptWithoutOwnerDoesNotCompile)
{
    CQVScript script;
    script.source = "this.start_game();";
    const char* error = nullptr;
    EXPECT_EQ(script.Compile(nullptr, &error, nullptr), 0);
    EXPECT_STREQ(error, "No Owner!");
    EXPECT_EQ(script.Execute(nullptr), 0);
    g_ScriptAbort = 0;
}

TEST_F(ScriptFixture, OpenCommentAtTheEndKeepsTheStatementsBeforeIt)
{
    for (const char* source : {"this.start_game(); /* never closed", "this.start_game();\n// last line"}) {
        CQVScript script;
        script.source = source;
        const char* error = nullptr;
        EXPECT_EQ(script.Compile(owner, &error, nullptr), 1) << source;
        EXPECT_STREQ(error, "Missing end of comment!");
        EXPECT_EQ(CodeOf(script), Code("this w:0x9a end"));
        g_ScriptAbort = 0;
    }
}

TEST_F(ScriptFixture, String128TakesAtMost127Characters)
{
    const std::string fits(127, 'x');
    CQVScript script;
    script.source = "this.blendmotion(\"" + fits + "\", 1);";
    ASSERT_EQ(script.Compile(owner, nullptr, nullptr), 1);
    EXPECT_EQ(CodeOf(script), Code("this w:0x46e v s128:" + fits + " v i:1 end"));
    script.source = "this.blendmotion(\"" + fits + "y\", 1);";
    const char* error = nullptr;
    EXPECT_EQ(script.Compile(owner, &error, nullptr), 0);
    EXPECT_STREQ(error, "ParseParamRecursive() String too long!");
    g_ScriptAbort = 0;
}

TEST_F(ScriptFixture, BlockOfTheOwnerIsNamedByItsRecordNotItsAddress)
{
    owner->m_Scripts.emplace_back();
    owner->m_Scripts.back().name = "Open";
    const uint32_t serial = owner->m_Scripts.back().serial;
    CQVScript script;
    script.source = "this.Open();";
    ASSERT_EQ(script.Compile(owner, nullptr, nullptr), 1);
    EXPECT_EQ(CodeOf(script), Code("this w:1 w:" + std::to_string(serial) + " end"));
}

TEST_F(ScriptFixture, CompilingThousandsOfStatementsGrowsTheCode)
{
    std::string source;
    for (int i = 0; i < 2000; ++i)
        source += "this.set_name(\"Door\");\n";
    CQVScript script;
    script.source = source;
    ASSERT_EQ(script.Compile(owner, nullptr, nullptr), 1);
    EXPECT_EQ(script.code.length, 2000u * (2 + 4 + 4 + 5) + 4);
    EXPECT_GE(script.code.capacity, script.code.length);
}

}  // namespace
