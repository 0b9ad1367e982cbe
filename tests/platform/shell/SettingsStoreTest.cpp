#include "platform/shell/SettingsStore.h"
#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

constexpr const char* kKey = "SOFTWARE\\Marn QV\\Corvane";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsStore : public testing::Test {
protected:
    std::filesystem::path config;
    void SetUp() override {
        config = TestFolder_Path("qv_store_");
        std::filesystem::remove_all(config);
        std::filesystem::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(config); }
};

TEST_F(SettingsStore, AKeyPathNamesOneFileInTheConfigurationFolder) {
    EXPECT_EQ(SettingsStore_KeyFile(kKey), (config / "Marn QV" / "Corvane.conf").string());
    EXPECT_EQ(SettingsStore_KeyFile("Other\\Key"), (config / "Other" / "Key.conf").string());
    for (const char* bad : {"", "SOFTWARE", "SOFTWARE\\..\\x", "SOFTWARE\\\\x", "SOFTWARE\\a/b", "SOFTWARE\\x\\"})
        EXPECT_EQ(SettingsStore_KeyFile(bad), "") << bad;
    EXPECT_FALSE(SettingsStore_CreateKey("SOFTWARE\\..\\escape"));
    EXPECT_FALSE(std::filesystem::exists(config.parent_path() / "escape.conf"));
}

TEST_F(SettingsStore, TheFileHoldsOneLinePerValue) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "Width", "1024"));
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "a=b", "x\ny\\"));
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "Width", "800"));
    EXPECT_EQ(ReadAll(SettingsStore_KeyFile(kKey)), "Width=800\na\\=b=x\\ny\\\\\n");
    std::string value;
    ASSERT_TRUE(SettingsStore_ReadValue(kKey, "a=b", &value));
    EXPECT_EQ(value, "x\ny\\");
}

// A write replaces the file whole: a reader that opened it before sees the
// values before the write, one that opens it after sees the new ones, and
// nothing is left beside it.
TEST_F(SettingsStore, AWriteReplacesTheFileAtOnce) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "Depth", "32"));
    const std::string file = SettingsStore_KeyFile(kKey);
    std::FILE* before = std::fopen(file.c_str(), "rb");
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "Depth", "16"));
    ASSERT_TRUE(SettingsStore_WriteValue(kKey, "Width", "640"));
    char old[64] = {};
    std::fread(old, 1, sizeof old - 1, before);
    std::fclose(before);
    EXPECT_STREQ(old, "Depth=32\n");
    EXPECT_EQ(ReadAll(file), "Depth=16\nWidth=640\n");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(config / "Marn QV")) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(SettingsStore, DamagedLinesAreSkipped) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    std::ofstream(SettingsStore_KeyFile(kKey), std::ios::binary) << "no separator\n=no name\nTargetDir=/opt/x";
    std::string value;
    EXPECT_TRUE(SettingsStore_ReadValue(kKey, "TargetDir", &value));
    EXPECT_EQ(value, "/opt/x");
    EXPECT_FALSE(SettingsStore_ReadValue(kKey, "no separator", &value));
}

}  // namespace
