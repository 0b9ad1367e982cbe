#include "frontends/common/Registry.h"
#include "platform/shell/SettingsStore.h"
#include "tests/frontends/FrontendTest.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kKey = "SOFTWARE\\Marn QV\\Corvane";

class Registry : public FrontendTest {};

TEST_F(Registry, AKeyThatWasNeverMadeIsNeitherReadNorWritten) {
    CQVRegistry registry;
    EXPECT_FALSE(registry.KeyExists("Corvane"));
    EXPECT_FALSE(registry.WriteString("Corvane", "Width", "1024"));
    std::string text = "before";
    EXPECT_FALSE(registry.ReadString("Corvane", "Width", &text));
    EXPECT_EQ(text, "before");
    // Writing does not make the key.
    EXPECT_FALSE(registry.KeyExists("Corvane"));
}

TEST_F(Registry, ValuesRoundTripThroughTheStore) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    CQVRegistry registry;
    EXPECT_TRUE(registry.KeyExists("Corvane"));
    EXPECT_TRUE(registry.WriteString("Corvane", "Depth", "32"));
    EXPECT_TRUE(registry.WriteString("Corvane", "Odd", "a=b\\c\nline two\r"));
    EXPECT_TRUE(registry.WriteString("Corvane", "Empty", ""));
    std::string text;
    EXPECT_TRUE(registry.ReadString("Corvane", "Depth", &text));
    EXPECT_EQ(text, "32");
    // Names compare without case, as the registry's do; a write replaces.
    EXPECT_TRUE(registry.WriteString("Corvane", "DEPTH", "16"));
    EXPECT_TRUE(registry.ReadString("Corvane", "depth", &text));
    EXPECT_EQ(text, "16");
    EXPECT_TRUE(registry.ReadString("Corvane", "Odd", &text));
    EXPECT_EQ(text, "a=b\\c\nline two\r");
    EXPECT_TRUE(registry.ReadString("Corvane", "Empty", &text));
    EXPECT_EQ(text, "");
    text = "kept";
    EXPECT_FALSE(registry.ReadString("Corvane", "Missing", &text));
    EXPECT_EQ(text, "kept");
}

TEST_F(Registry, AValueLongerThanTheBufferIsNotRead) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    CQVRegistry registry;
    const std::string longest(kRegistryValueBuffer, 'x');
    ASSERT_TRUE(registry.WriteString("Corvane", "Long", longest.c_str()));
    std::string text;
    EXPECT_TRUE(registry.ReadString("Corvane", "Long", &text));
    EXPECT_EQ(text, longest);
    ASSERT_TRUE(registry.WriteString("Corvane", "Long", (longest + "x").c_str()));
    text = "kept";
    EXPECT_FALSE(registry.ReadString("Corvane", "Long", &text));
    EXPECT_EQ(text, "kept");
}

// The key path is joined within its bound, never past it.
TEST_F(Registry, AKeyPathPastItsBoundIsRefused) {
    const std::string longKey(300, 'k');
    const std::string fits(kRegistryMaxKeyPath - std::string(kRegistryRootPath).size() - 1, 'k');
    ASSERT_TRUE(SettingsStore_CreateKey(std::string(kRegistryRootPath) + "\\" + fits));
    std::string path;
    EXPECT_FALSE(CQVRegistry::MakeKeyPath(kRegistryRootPath, longKey.c_str(), &path));
    EXPECT_TRUE(CQVRegistry::MakeKeyPath(kRegistryRootPath, fits.c_str(), &path));
    EXPECT_EQ(path.size(), kRegistryMaxKeyPath);
    CQVRegistry registry;
    EXPECT_TRUE(registry.KeyExists(fits.c_str()));
    EXPECT_TRUE(registry.WriteString(fits.c_str(), "A", "1"));
    EXPECT_FALSE(registry.KeyExists(longKey.c_str()));
    EXPECT_FALSE(registry.WriteString(longKey.c_str(), "A", "1"));
    std::string text;
    EXPECT_FALSE(registry.ReadString((fits + "k").c_str(), "A", &text));
}

// Reads need no write access: a key the user may only read is read.
TEST_F(Registry, AReadOnlyKeyIsRead) {
    ASSERT_TRUE(SettingsStore_CreateKey(kKey));
    CQVRegistry registry;
    ASSERT_TRUE(registry.WriteString("Corvane", "TargetDir", "/opt/corvane"));
    const std::string file = SettingsStore_KeyFile(kKey);
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    std::string text;
    EXPECT_TRUE(registry.KeyExists("Corvane"));
    EXPECT_TRUE(registry.ReadString("Corvane", "TargetDir", &text));
    EXPECT_EQ(text, "/opt/corvane");
    // Where the permissions hold (not for the superuser), a write fails and
    // leaves the value as it was.
    if (::geteuid() != 0) {
        EXPECT_FALSE(registry.WriteString("Corvane", "TargetDir", "/elsewhere"));
        EXPECT_TRUE(registry.ReadString("Corvane", "TargetDir", &text));
        EXPECT_EQ(text, "/opt/corvane");
    }
    ::chmod(folder.c_str(), 0755);
}

}  // namespace
