#include "kernel/base/FileSystem.h"
#include "kernel/base/Path.h"
#include "tests/kernel/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(PathKey, SeparatorsAndCaseFoldToOneKey) {
    const CQVFilePath a("Data/Tex/A.TGA");
    const CQVFilePath b("data\\tex\\a.tga");
    EXPECT_EQ(a.GetKey(), "data\\tex\\a.tga");
    EXPECT_EQ(a.GetKey(), b.GetKey());
    EXPECT_EQ(a.GetHash(), b.GetHash());
    EXPECT_EQ(a.GetName(), "Data/Tex/A.TGA");
    // Only A to Z are folded: Windows-1252 letters keep their bytes.
    EXPECT_EQ(CQVFilePath("\xC4X").GetKey(), "\xC4x");
}

TEST(PathKey, HashTakesBytesAsSigned) {
    EXPECT_EQ(Path_Hash(""), 0u);
    EXPECT_EQ(Path_Hash("a"), 97u);
    EXPECT_EQ(Path_Hash("ab"), 97u * 65599u + 98u);
    // 0xE9 counts as -23.
    EXPECT_EQ(Path_Hash("a\xE9"), 97u * 65599u - 23u);
    // Every length agrees with the plain step h = h * 65599 + c.
    const std::string text = "data\\levels\\mission_\xE9\xFF_01.qva";
    for (size_t n = 0; n <= text.size(); ++n) {
        uint32_t h = 0;
        for (size_t i = 0; i < n; ++i) h = h * 65599u + static_cast<uint32_t>(static_cast<signed char>(text[i]));
        EXPECT_EQ(Path_Hash(std::string_view(text).substr(0, n)), h) << n;
    }
}

// A temporary folder that the test enters, so that relative engine paths
// resolve inside it.
class PathFolder : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        fs::create_directories(root / "Data" / "Levels");
        WriteFile("Data/Levels/Mission_01.qva", "m1");
        WriteFile("Data/text.txt", "t");
    }
    static std::string ReadAll(const std::string& name) {
        CQVFileSystem* disk = CQVStdioFileSystem::GetInstance();
        void* handle = disk->Open(name.c_str(), "rb");
        if (handle == nullptr) return "<none>";
        std::string text(disk->GetSize(handle), '\0');
        disk->Read(text.data(), 1, static_cast<uint32_t>(text.size()), handle);
        disk->Close(handle);
        return text;
    }
};

struct ResolveCase {
    const char* name;
    const char* expected;  // relative to the folder
};

class PathResolve : public PathFolder, public testing::WithParamInterface<ResolveCase> {};

TEST_P(PathResolve, FindsEachPartIgnoringCase) {
    EXPECT_EQ(CQVFilePath(GetParam().name).Resolve(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EnginePaths, PathResolve,
    testing::Values(ResolveCase{"Data/Levels/Mission_01.qva", "Data/Levels/Mission_01.qva"},
                    ResolveCase{"data\\levels\\mission_01.QVA", "Data/Levels/Mission_01.qva"},
                    ResolveCase{"DATA\\Text.TXT", "Data/text.txt"},
                    ResolveCase{".\\Data\\\\text.txt", "./Data//text.txt"},
                    // From the first missing part on the name stays as written.
                    ResolveCase{"data\\New\\File.Bin", "Data/New/File.Bin"},
                    ResolveCase{"data\\levels\\Mission_02.qva", "Data/Levels/Mission_02.qva"}));

TEST_F(PathFolder, AbsolutePathsWithBackslashesResolveFromTheRoot) {
    const std::string engine = root.string() + "\\DATA\\levels\\MISSION_01.qva";
    EXPECT_EQ(CQVFilePath(engine).Resolve(), root.string() + "/Data/Levels/Mission_01.qva");
}

TEST_F(PathFolder, ExactCaseWinsAndTheChoiceIsStable) {
    WriteFile("Data/TEXT.txt", "upper");
    EXPECT_EQ(CQVFilePath("Data\\TEXT.txt").Resolve(), "Data/TEXT.txt");
    EXPECT_EQ(CQVFilePath("Data\\text.txt").Resolve(), "Data/text.txt");
    // Neither as written: the smallest of the names that match.
    EXPECT_EQ(CQVFilePath("Data\\Text.txt").Resolve(), "Data/TEXT.txt");
}

TEST_F(PathFolder, DiskFileSystemOpensMixedCaseAndCreatesInTheExistingFolder) {
    EXPECT_EQ(ReadAll("data\\LEVELS\\mission_01.qva"), "m1");
    EXPECT_EQ(ReadAll("Data\\missing.qva"), "<none>");

    CQVFileSystem* disk = CQVStdioFileSystem::GetInstance();
    void* out = disk->Open("DATA\\Levels\\Save_A.qva", "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(disk->Write("abc", 1, 3, out), 3u);
    disk->Close(out);
    EXPECT_TRUE(fs::exists(root / "Data" / "Levels" / "Save_A.qva"));
    // Writing over an existing file in another case replaces that file.
    out = disk->Open("data\\levels\\SAVE_a.QVA", "wb");
    ASSERT_NE(out, nullptr);
    disk->Write("xy", 1, 2, out);
    disk->Close(out);
    EXPECT_EQ(ReadAll("Data\\Levels\\Save_A.qva"), "xy");
    EXPECT_FALSE(fs::exists(root / "Data" / "Levels" / "SAVE_a.QVA"));
}

// A name of half a million "./" parts resolves in one pass over it (the
// base folder comes from the start file, whatever it holds).
TEST_F(PathFolder, AVeryLongNameResolvesInOnePass) {
    std::string name;
    for (int i = 0; i < 512 * 1024; ++i) name += ".\\";
    std::string resolved = CQVFilePath(name + "data\\text.txt").Resolve();
    ASSERT_EQ(resolved.size(), name.size() + 13);
    EXPECT_EQ(resolved.substr(name.size()), "data/text.txt") << "beyond any path the disk holds nothing is searched";
    // Short enough to exist, the same name is still found whatever its case.
    EXPECT_EQ(CQVFilePath(".\\.\\.\\DATA\\Text.txt").Resolve(), "./././Data/text.txt");
}

struct InsideCase {
    const char* name;
    bool inside;
};

TEST(PathInside, AbsoluteNamesAndParentPartsLeave) {
    const InsideCase cases[] = {{"Level.qva", true},        {"Sub\\Level.qva", true},  {"a..b.qva", true},
                                {"...", true},              {"", false},                {"../x", false},
                                {"..\\x", false},          {"a/../../x", false},       {"a\\..", false},
                                {"/etc/passwd", false},     {"\\x", false},            {"C:\\x", false}};
    for (const InsideCase& c : cases) EXPECT_EQ(Path_StaysInside(c.name), c.inside) << c.name;
}

}  // namespace
