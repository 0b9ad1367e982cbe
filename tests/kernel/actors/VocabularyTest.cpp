#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/CommandKeywords.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"

namespace {

class Vocabulary : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterBaseClass(); }
};

bool IsRegistered(uint32_t id)
{
    return GetCommandDesc(id).owner != 0xFFFFFFFFu;
}

TEST_F(Vocabulary, RegistersEveryIdOnceWithTheTableSizedByTheHighestId)
{
    EXPECT_EQ(g_CommandDescs.size(), 0x700u + 10u);
    uint32_t registered = 0, unnamed = 0;
    std::set<uint32_t> unnamedIds;
    for (uint32_t id = 0; id < g_CommandDescs.size(); ++id) {
        if (!IsRegistered(id))
            continue;
        ++registered;
        if (g_CommandDescs[id].name.empty())
            unnamedIds.insert(id);
    }
    unnamed = static_cast<uint32_t>(unnamedIds.size());
    EXPECT_EQ(registered, 1492u);
    EXPECT_EQ(unnamed, 12u);
    EXPECT_EQ(unnamedIds, (std::set<uint32_t>{0x233, 0x234, 0x2ee, 0x419, 0x522, 0x523, 0x52a, 0x52b, 0x5c7, 0x5c8,
                                              0x5cf, 0x5d0}));
    for (uint32_t id : unnamedIds)
        EXPECT_EQ(GetCommandDesc(id).flags & (COMMAND_EVENT | COMMAND_SCRIPT), 0u) << id;
}

TEST_F(Vocabulary, IdsWithoutRegistrationHaveTheDefaultEntry)
{
    std::vector<uint32_t> ids = {0x2b, 0x15c, 0x44, 0x45, 0x55, 0x47a, 0x4bb, 0x6eb, 0x6ec, 0x701, 0x709, 0x70a, 99999};
    for (uint32_t id = 0x01; id <= 0x1f; ++id)
        ids.push_back(id);
    for (uint32_t id = 0xac; id <= 0xb9; ++id)
        ids.push_back(id);
    for (uint32_t id : ids) {
        const CommandDesc& desc = GetCommandDesc(id);
        EXPECT_TRUE(desc.name.empty()) << id;
        EXPECT_EQ(desc.owner, 0xFFFFFFFFu) << id;
        EXPECT_EQ(desc.argSize, 0) << id;
        EXPECT_TRUE(desc.argTypes.empty()) << id;
        EXPECT_EQ(desc.flags, COMMAND_PLAIN) << id;
    }
}

TEST_F(Vocabulary, EachClassOwnsItsNumberOfMessages)
{
    const std::pair<uint32_t, uint32_t> expected[] = {
        {0, 276}, {1, 45}, {2, 37}, {3, 22}, {4, 26}, {5, 17}, {6, 3}, {7, 16}, {9, 10}, {10, 32}, {11, 14},
        {12, 148}, {13, 47}, {14, 19}, {15, 17}, {16, 221}, {17, 43}, {18, 3}, {19, 28}, {20, 10}, {21, 21},
        {23, 1}, {25, 67}, {26, 6}, {27, 7}, {29, 95}, {30, 11}, {31, 12}, {32, 6}, {33, 8}, {34, 10}, {35, 31},
        {36, 22}, {38, 8}, {42, 47}, {44, 3}, {45, 14}, {46, 6}, {47, 13}, {50, 63}, {52, 7}};
    std::vector<uint32_t> counts(kClassRecordCount, 0);
    for (const CommandDesc& desc : g_CommandDescs) {
        if (desc.owner != 0xFFFFFFFFu) {
            ASSERT_LT(desc.owner, kClassRecordCount);
            ++counts[desc.owner];
        }
    }
    std::vector<uint32_t> want(kClassRecordCount, 0);
    for (auto [cls, count] : expected)
        want[cls] = count;
    EXPECT_EQ(counts, want);
    uint32_t owningNone = 0;
    for (uint32_t c : counts)
        owningNone += c == 0;
    EXPECT_EQ(owningNone, 13u);
    EXPECT_EQ(GetCommandDesc(0x6e4).owner, CLASS_SKINOBJECT);
    EXPECT_EQ(GetCommandDesc(0x447).owner, CLASS_SKINOBJECT);
    EXPECT_EQ(GetCommandDesc(0x680).owner, CLASS_UI_TEXT);
}

struct NamedId {
    uint32_t id;
    const char* name;
};

class VocabularyNames : public Vocabulary, public ::testing::WithParamInterface<NamedId> {};

TEST_P(VocabularyNames, NameIsByteExact)
{
    EXPECT_EQ(GetCommandDesc(GetParam().id).name, std::string(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(OddNames, VocabularyNames,
                         ::testing::Values(NamedId{0x1eb, "Light Fade "}, NamedId{0x2b8, "Set Weapon "},
                                           NamedId{0x2cb, "Get Weapon "}, NamedId{0x1f0, "Get  File Stringlist"},
                                           NamedId{0x0, "Unknown"}, NamedId{0x104, "x"}, NamedId{0x158, "HK"},
                                           NamedId{0x15a, "nO Spawned"}, NamedId{0x6d4, "set_autoaim_AUTORELEASETARGET"},
                                           NamedId{0x6d8, "jkhj"}, NamedId{0x700, "Set LightSensor Min Color"},
                                           NamedId{0x638, "On AI Player2 Start Hostage Victim"},
                                           NamedId{0x639, "On AI Player2 Stop Hostage Victim"},
                                           NamedId{0x63a, "On AI Player2 Start Hostage Taker"},
                                           NamedId{0x63b, "On AI Player2 Stop Hostage Taker"}));

struct KeywordCase {
    const char* text;
    uint32_t id;
};

class KeywordLookup : public Vocabulary, public ::testing::WithParamInterface<KeywordCase> {};

TEST_P(KeywordLookup, FindsTheCommand)
{
    EXPECT_EQ(FindCommandByKeyword(GetParam().text), GetParam().id) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, KeywordLookup,
    ::testing::Values(KeywordCase{"Start Game", 0x9a}, KeywordCase{"start game", 0x9a}, KeywordCase{"start_game", 0x9a},
                      KeywordCase{"START_GAME", 0x9a}, KeywordCase{"On Jump Start", 0x42c},
                      KeywordCase{"On Jump Stop", 0x42d}, KeywordCase{"Character Is Neutral", 0x360},
                      KeywordCase{"Set Name", 0x20}, KeywordCase{"set_position", 0x3f},
                      KeywordCase{"Cur_DG", 0x37}, KeywordCase{"cur_dg", 0x37}, KeywordCase{"Get Name", 0},
                      KeywordCase{"Unknown", 0}, KeywordCase{"Recursive Command", 0},
                      KeywordCase{"no such message", 0}, KeywordCase{"", 0},
                      KeywordCase{"On AI Player2 Stop Hostage Taker", 0x63b},
                      KeywordCase{"Set Weapon ", 0x2ca}, KeywordCase{"set_weapon_", 0x2ca}));

TEST_F(Vocabulary, KeywordMapHoldsEveryFlaggedNameUnderItsHash)
{
    // "Unknown" is a keyword too; its id is also the map's answer for an absent key.
    EXPECT_EQ(g_CommandKeywords.Find(Keyword_Hash("unknown")), 0u);
    std::set<uint32_t> hashes;
    for (uint32_t id = 0; id < g_CommandDescs.size(); ++id) {
        const CommandDesc& desc = g_CommandDescs[id];
        if (desc.flags & (COMMAND_EVENT | COMMAND_SCRIPT))
            hashes.insert(Keyword_Hash(desc.name.c_str()));
    }
    EXPECT_EQ(g_CommandKeywords.GetCount(), hashes.size());
    EXPECT_EQ(FindCommandByKeyword(std::string(300, 'a').c_str()), 0u);
    EXPECT_EQ(FindCommandByKeyword(nullptr), 0u);
}

TEST(KeywordHash, IsTheMultiplicativeHashOverSignedConvertedBytes)
{
    EXPECT_EQ(Keyword_Hash(""), 0u);
    EXPECT_EQ(Keyword_Hash("a"), 97u);
    EXPECT_EQ(Keyword_Hash("A b"), (97u * 65599u + '_') * 65599u + 'b');
    EXPECT_EQ(Keyword_Hash("\xe9"), 0xFFFFFFE9u);
    EXPECT_EQ(Keyword_Hash("Start Game"), Keyword_Hash("start_game"));
}

TEST(KeywordMap, EqualHashesShareOneNodeAndTheLaterValueWins)
{
    CQVKeywordMap map;
    map.Insert(5, 100);
    map.Insert(5 + CQVKeywordMap::kBucketCount, 200);  // same bucket, other hash
    map.Insert(5, 300);
    EXPECT_EQ(map.GetCount(), 2u);
    EXPECT_EQ(map.Find(5), 300u);
    EXPECT_EQ(map.Find(5 + CQVKeywordMap::kBucketCount), 200u);
    EXPECT_EQ(map.Find(6), 0u);
    map.defaultValue = 7;
    EXPECT_EQ(map.Find(6), 7u);
    map.Clear();
    EXPECT_EQ(map.GetCount(), 0u);
    EXPECT_EQ(map.Find(5), 7u);
}

TEST_F(Vocabulary, StatedFlagsAreKept)
{
    const std::pair<uint32_t, uint32_t> stated[] = {
        {0x00, 1}, {0x20, 2}, {0x21, 0}, {0x2c, 0}, {0x2f, 1}, {0x9a, 3}, {0x9e, 0}, {0xa7, 0}, {0xd6, 1},
        {0xd9, 2}, {0xee, 1}, {0xfa, 0}, {0x17b, 2}, {0x8d, 2}, {0x17f, 2}, {0x3c6, 2}, {0x39, 2}, {0x6e5, 1},
        {0x6f1, 1}, {0x638, 1}, {0x63b, 1}};
    for (auto [id, flags] : stated)
        EXPECT_EQ(GetCommandDesc(id).flags & (COMMAND_EVENT | COMMAND_SCRIPT), flags) << id;
}

TEST_F(Vocabulary, GetterBitFollowsTheNameIgnoringCase)
{
    EXPECT_TRUE(GetCommandDesc(MSG_GET_NAME).flags & COMMAND_GETTER);
    EXPECT_FALSE(GetCommandDesc(MSG_SET_NAME).flags & COMMAND_GETTER);
    EXPECT_TRUE(GetCommandDesc(MSG_GET_AUTOAIM_TYPE).flags & COMMAND_GETTER);
    EXPECT_TRUE(GetCommandDesc(MSG_GET_FILE_STRINGLIST).flags & COMMAND_GETTER);
    EXPECT_FALSE(GetCommandDesc(MSG_GHGH).flags & COMMAND_GETTER);
}

TEST_F(Vocabulary, NamedArgumentsKeepTheirNames)
{
    const CommandDesc& towards = GetCommandDesc(MSG_ADDFORCETOWARDS);
    EXPECT_EQ(towards.argTypes, (std::vector<uint32_t>{VT_ACTORPOINTER, VT_REAL, VT_REAL, VT_REAL, VT_REAL}));
    EXPECT_EQ(towards.argNames,
              (std::vector<std::string>{"Actor", "DecayByDistance", "Strength", "StrengthRand", "AngleRand"}));
    EXPECT_EQ(GetCommandDesc(MSG_ADDFORCEINDIRECTION).argNames[2], "AnlgeRand");
    EXPECT_EQ(GetCommandDesc(MSG_SET_BLEND_VALUE).argTypes, (std::vector<uint32_t>{VT_REAL, VT_UINT32}));
    EXPECT_TRUE(GetCommandDesc(MSG_SET_POSITION).argNames.empty());
    uint32_t named = 0;
    for (const CommandDesc& desc : g_CommandDescs)
        named += !desc.argNames.empty();
    EXPECT_EQ(named, 9u);
}

TEST_F(Vocabulary, KernelMessagesCarryTheirArgumentTypes)
{
    EXPECT_EQ(GetCommandDesc(MSG_COMMAND_LERP).argTypes, (std::vector<uint32_t>{VT_REAL, VT_COMMAND, VT_COMMAND}));
    EXPECT_EQ(GetCommandDesc(MSG_TIMED_COMMAND_LERP).argTypes,
              (std::vector<uint32_t>{VT_REAL, VT_REAL, VT_COMMAND, VT_COMMAND}));
    EXPECT_EQ(GetCommandDesc(MSG_COLLISION_EVENT).argTypes,
              (std::vector<uint32_t>{VT_COLOBJPOINTER, VT_COLOBJPOINTER}));
    EXPECT_EQ(GetCommandDesc(MSG_IF_ELSE_COMMAND).argTypes,
              (std::vector<uint32_t>{VT_ACTORPOINTER, VT_COMMANDID, VT_ACTORPOINTER, VT_COMMAND, VT_ACTORPOINTER,
                                     VT_COMMAND}));
    EXPECT_EQ(GetCommandDesc(MSG_SET_LOD_LEVEL_COUNT).argTypes, (std::vector<uint32_t>{VT_UINT32}));
    EXPECT_EQ(GetCommandDesc(MSG_SET_TIMEINSTANCE_MULTIPLIER).argTypes, (std::vector<uint32_t>{VT_REAL}));
}

TEST_F(Vocabulary, FindEventCommandMatchesEventsExactly)
{
    EXPECT_EQ(FindEventCommand("On Draw Start"), 0xeeu);
    EXPECT_EQ(FindEventCommand("on draw start"), 0u);
    EXPECT_EQ(FindEventCommand("Start Game"), 0x9au);
    EXPECT_EQ(FindEventCommand("Set Name"), 0u);
    // Registered twice as events: the lower id is the first in id order.
    EXPECT_EQ(FindEventCommand("On Jump Start"), 0x42au);
    EXPECT_EQ(FindEventCommand("no such event"), 0u);
}

// The table says for each entry how its flags were obtained; entries whose
// flags were not given must follow the naming rule.
struct TableEntry {
    uint32_t id;
    uint32_t flags;
    int basis;
    const char* name;
};
enum { STATED, TYPES_STATED, INFERRED };
const TableEntry kTable[] = {
#define QV_MESSAGE(id, sym, owner, flags, basis, name, ...) {id, flags, basis, name},
#define QV_MESSAGE_NAMED(id, sym, owner, flags, basis, name, ...) {id, flags, basis, name},
#include "kernel/actors/MessageTable.inc"
#undef QV_MESSAGE
#undef QV_MESSAGE_NAMED
};

// The rule for flags the Parts do not give: notifications ("On ...",
// "Callback ...", the chains' "... Post") are events, a chain's "... Pre"
// an event that scripts also send; a message that carries raw pointers is
// for the engine's own calls and no keyword; any other named message is a
// script command.
uint32_t RuleFlags(const std::string& name, const std::vector<uint32_t>& types)
{
    if (name.empty())
        return 0;
    for (uint32_t type : types) {
        if (type == VT_POINTER || type == VT_COLOBJPOINTER || type == VT_SCRIPTPOINTER)
            return 0;
    }
    const auto ends = [&name](const std::string& tail) {
        return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (name.rfind("On ", 0) == 0 || name.rfind("Callback ", 0) == 0 || ends(" Post"))
        return COMMAND_EVENT;
    if (ends(" Pre"))
        return COMMAND_EVENT | COMMAND_SCRIPT;
    return COMMAND_SCRIPT;
}

TEST_F(Vocabulary, FlagsNotGivenFollowTheNamingRule)
{
    uint32_t stated = 0;
    for (const TableEntry& entry : kTable) {
        EXPECT_EQ(GetCommandDesc(entry.id).name, entry.name);
        if (entry.basis == STATED) {
            ++stated;
            continue;
        }
        EXPECT_EQ(entry.flags, RuleFlags(entry.name, GetCommandDesc(entry.id).argTypes)) << entry.id;
    }
    EXPECT_EQ(sizeof(kTable) / sizeof(kTable[0]), 1492u);
    EXPECT_GT(stated, 60u);
}

}  // namespace
