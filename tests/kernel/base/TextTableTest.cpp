#include "kernel/base/TextTable.h"

#include "kernel/base/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A temporary data folder holding one "text.txt".
class TextFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qv_text_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& bytes) {
        const std::string path = folder_ + "/text.txt";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    std::string folder_;
};

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<TextPair> pairs;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class TextTableParse : public TextFile, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(TextTableParse, Pairs) {
    CQVTextTable table;
    ASSERT_EQ(table.Load(Write(GetParam().bytes).c_str()), 1);
    ASSERT_EQ(table.pairs.size(), GetParam().pairs.size());
    for (size_t i = 0; i < table.pairs.size(); ++i) {
        EXPECT_EQ(table.pairs[i].key, GetParam().pairs[i].key) << i;
        EXPECT_EQ(table.pairs[i].text, GetParam().pairs[i].text) << i;
    }
}

const std::string kLongField(4095, 'x');

INSTANTIATE_TEST_SUITE_P(
    TextTable, TextTableParse,
    ::testing::Values(
        ParseCase{"CrLf", "12\r\nSTART_GAME }\r\nStart game }\r\nQUIT }\r\nQuit }\r\n",
                  {{"START_GAME", "Start game"}, {"QUIT", "Quit"}}},
        ParseCase{"LineFeedOnly", "12\nSTART_GAME }\nStart game }\n", {{"START_GAME", "Start game"}}},
        ParseCase{"EmptyField", "1\r\n}\r\nEMPTY_KEY }\r\nX }\r\n}\r\n", {{"", "EMPTY_KEY"}, {"X", ""}}},
        ParseCase{"LastBraceEndsTheFile", "1\r\nA }\r\nB }\r\nC }\r\nD }", {{"A", "B"}}},
        ParseCase{"KeyWithoutText", "1\r\nA }\r\nB }\r\nC }\r\n", {{"A", "B"}}},
        ParseCase{"RestOfLineSkipped", "7 texts follow\r\nKEY }ignored\r\nText !}ignored too\r\n",
                  {{"KEY", "Text "}}},
        ParseCase{"TextOverLines", "1\r\nHELP }\r\nLine one\r\nLine two }\r\n", {{"HELP", "Line one\nLine two"}}},
        ParseCase{"Windows1252Bytes", "1\r\nSUMMER }\r\n\xC9t\xE9 \x80 }\r\n", {{"SUMMER", "\xC9t\xE9 \x80"}}},
        ParseCase{"NumberAfterBlankLines", "\r\n\r\n  42 x\r\nK }\r\nT }\r\n", {{"K", "T"}}},
        ParseCase{"NoLeadingNumber", "KEY }\r\nText }\r\n", {}},
        ParseCase{"NumberOnly", "3\r\n", {}},
        ParseCase{"Empty", "", {}},
        ParseCase{"LongestField", "1\r\n" + kLongField + "}\r\nT }\r\n", {{kLongField.substr(1), "T"}}},
        ParseCase{"FieldTooLongEndsTheLoad", "1\r\nA }\r\nB }\r\n" + kLongField + "x}\r\nT }\r\nC }\r\nD }\r\n",
                  {{"A", "B"}}}));

TEST_F(TextFile, UnknownKeysAreAddedOnceAndKeysAreCaseSensitive) {
    CQVTextTable table;
    ASSERT_EQ(table.Load(Write("1\r\nSTART_GAME }\r\nStart game }\r\n").c_str()), 1);
    EXPECT_EQ(table.GetText("START_GAME"), "Start game");
    EXPECT_EQ(table.GetText("start_game"), "start_game");
    EXPECT_EQ(table.GetText("MISSING"), "MISSING");
    EXPECT_EQ(table.GetText("MISSING"), "MISSING");
    EXPECT_EQ(table.GetText("START_GAME "), "START_GAME ");
    ASSERT_EQ(table.pairs.size(), 4u);
    EXPECT_EQ(table.pairs[1].key, "start_game");
    EXPECT_EQ(table.pairs[2].text, "MISSING");
    // Reloading starts from the file again.
    ASSERT_EQ(table.Load(table.path.c_str()), 1);
    EXPECT_EQ(table.pairs.size(), 1u);
}

TEST_F(TextFile, MissingFileLeavesTheTableEmpty) {
    CQVTextTable table;
    const std::string path = Write("1\r\nA }\r\nB }\r\n");
    ASSERT_EQ(table.Load(path.c_str()), 1);
    EXPECT_EQ(table.Load((folder_ + "/none.txt").c_str()), 0);
    EXPECT_TRUE(table.pairs.empty());
    EXPECT_EQ(table.path, path);
    EXPECT_EQ(table.GetText("A"), "A");
}

TEST_F(TextFile, EnginePathsResolve) {
    Write("1\r\nA }\r\nB }\r\n");
    CQVTextTable table;
    // The data directory as the engine writes it: backslashes, any case.
    EXPECT_EQ(table.Load((folder_ + "\\TEXT.TXT").c_str()), 1);
    EXPECT_EQ(table.GetText("A"), "B");
}

// Serves one name from bytes in memory, as the pack archive serves the
// files it holds.
class OneFileSystem : public CQVMemoryFileSystem {
public:
    OneFileSystem(const char* name, std::string bytes) : name_(name), bytes_(std::move(bytes)) {}
    void* Open(const char* name, const char* mode) override {
        if (name_ != name) return nullptr;
        return OpenBuffer(reinterpret_cast<uint8_t*>(bytes_.data()), static_cast<uint32_t>(bytes_.size()), false);
    }

private:
    std::string name_;
    std::string bytes_;
};

TEST(TextTable, ReadsThroughTheCurrentFileSystem) {
    OneFileSystem fs("Data\\text.txt", "1\r\nKEY }\r\nFrom memory }\r\n");
    g_CurrentFileSystem = &fs;
    CQVTextTable table;
    const int loaded = table.Load("Data\\text.txt");
    g_CurrentFileSystem = nullptr;
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(table.GetText("KEY"), "From memory");
}

TEST(TextTable, CreateMakesOneTable) {
    ASSERT_TRUE(CQVTextTable::Create());
    CQVTextTable* table = CQVTextTable::GetInstance();
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(CQVTextTable::Create());
    EXPECT_EQ(CQVTextTable::GetInstance(), table);
    EXPECT_EQ(g_TextTable, table);
}

}  // namespace
