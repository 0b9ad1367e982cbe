#include "apps/game/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* commandLine;
    GameOption option;
    const char* expected;
};

class GameOptionsParse : public testing::TestWithParam<ParseCase> {};

TEST_P(GameOptionsParse, ValueAfterParsing) {
    const ParseCase& c = GetParam();
    CommandLineOptions options(c.commandLine);
    CommandLine_DeclareGameOptions(options);
    options.Parse();
    EXPECT_EQ(options.GetValue(c.option), c.expected) << "command line: \"" << c.commandLine << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GameOptionsParse,
    testing::Values(
        ParseCase{"", OPT_W, "800"}, ParseCase{"", OPT_H, "600"}, ParseCase{"", OPT_TF, "2"},
        ParseCase{"", OPT_D, "32"}, ParseCase{"", OPT_S, "1"}, ParseCase{"", OPT_LG, "1"},
        ParseCase{"", OPT_NJOIN, "0"},
        ParseCase{"-w=1024 -h=768", OPT_W, "1024"}, ParseCase{"-w=1024 -h=768", OPT_H, "768"},
        // A value outside the list is refused.
        ParseCase{"-w=1000", OPT_W, "800"},
        // The flag form needs '=' and a value for an option with a list.
        ParseCase{"-win", OPT_WIN, "0"}, ParseCase{"-win=1", OPT_WIN, "1"},
        // The later accepted value wins.
        ParseCase{"-s=0 -s=1", OPT_S, "1"}, ParseCase{"-s=1 -s=0", OPT_S, "0"},
        // A refused later value keeps the earlier accepted one.
        ParseCase{"-s=0 -s=7", OPT_S, "0"},
        ParseCase{"-njoin=10.0.0.1", OPT_NJOIN, "10.0.0.1"}, ParseCase{"-njoin", OPT_NJOIN, "0"},
        // The value ends at the next '='.
        ParseCase{"-tq=16=32", OPT_TQ, "16"},
        ParseCase{"win=1", OPT_WIN, "0"},
        ParseCase{"--w=800", OPT_W, "800"}, ParseCase{"--w=1280", OPT_W, "1280"},
        // Width and height are tested apart.
        ParseCase{"-w=1600 -h=600", OPT_W, "1600"}, ParseCase{"-w=1600 -h=600", OPT_H, "600"},
        // Only blanks separate tokens; a tab stays inside the token.
        ParseCase{"-w=1024\t-h=768", OPT_W, "800"}, ParseCase{"   -w=1280    -h=960  ", OPT_H, "960"},
        // Names are case-sensitive.
        ParseCase{"-W=1024", OPT_W, "800"},
        ParseCase{"-=- -= ---", OPT_W, "800"},
        ParseCase{"-tf=0 -tq=32 -lt=1 -d=16", OPT_D, "16"}),
    [](const testing::TestParamInfo<ParseCase>& info) { return "Case" + std::to_string(info.index); });

TEST(CommandLineOptions, OverlongTokenIsCutTo255Characters) {
    // The value is cut with the token: 255 characters in all count.
    const std::string value(400, 'x');
    CommandLineOptions options("-njoin=" + value);
    CommandLine_DeclareGameOptions(options);
    options.Parse();
    EXPECT_EQ(options.GetValue(OPT_NJOIN), std::string(255 - 7, 'x'));
}

TEST(CommandLineOptions, AllowedListTextForms) {
    OptionDecl any("a", "~", 0);
    EXPECT_EQ(any.restricted, 0u);
    EXPECT_EQ(any.valueTest, 1u);
    EXPECT_TRUE(any.allowedValues.empty());

    OptionDecl anything("b", "-", 0);
    EXPECT_EQ(anything.valueTest, 0u);

    OptionDecl list("c", "1::2:3", 1);
    EXPECT_EQ(list.allowedValues, (std::vector<std::string>{"1", "2", "3"}));

    // Only the first 255 characters of a list count.
    std::string longList(254, '9');
    longList += ":5";
    OptionDecl cut("d", longList, 0);
    EXPECT_EQ(cut.allowedValues, (std::vector<std::string>{std::string(254, '9')}));
}

TEST(CommandLineOptions, FreeFormOptionTakesFlagAndBareToken) {
    CommandLineOptions options("-dev -other=4 dev");
    options.AddOption(OptionDecl("dev", "-", 0));
    options.AddOption(OptionDecl("other", "-", 0));
    options.AddOption(OptionDecl("range", "1:2", 7));  // default past the list
    EXPECT_EQ(options.GetValue(0), "0");
    options.Parse();
    // The bare token names "dev" too and carries the error value; it comes last.
    EXPECT_EQ(options.GetValue(0), "Error!");
    EXPECT_EQ(options.GetValue(1), "4");
    EXPECT_EQ(options.GetValue(2), "0");
    EXPECT_EQ(options.GetValue(99), "");
}

}  // namespace
