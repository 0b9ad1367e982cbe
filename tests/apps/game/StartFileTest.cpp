#include "apps/game/StartFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

class StartFileRead : public testing::Test {
protected:
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("qv_init_" + std::to_string(::getpid()) + ".txt");
    void Write(const std::string& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    void TearDown() override { std::filesystem::remove(path); }
};

TEST_F(StartFileRead, FourLinesWithCrLfOrLf) {
    Write("C:\\Game\r\nMission 01.qva\n\r\n  My Game  \r\nignored\r\n");
    StartFile start;
    ASSERT_TRUE(StartFile_Read(path.string(), &start));
    EXPECT_EQ(start.baseDirectory, "C:\\Game");
    EXPECT_EQ(start.startScene, "Mission 01.qva");
    EXPECT_EQ(start.globalsFile, "");
    EXPECT_EQ(start.windowTitle, "  My Game  ");
}

TEST_F(StartFileRead, MissingLinesAreEmptyAndLongLinesWhole) {
    const std::string longLine(5000, 'a');
    Write(longLine);
    StartFile start;
    start.windowTitle = "stale";
    ASSERT_TRUE(StartFile_Read(path.string(), &start));
    EXPECT_EQ(start.baseDirectory, longLine);
    EXPECT_EQ(start.startScene, "");
    EXPECT_EQ(start.windowTitle, "");
}

TEST_F(StartFileRead, MissingFileFails) {
    StartFile start;
    std::string problem;
    EXPECT_FALSE(StartFile_Read((path.string() + ".none"), &start, &problem));
    EXPECT_EQ(problem, "cannot be opened");
}

// A line longer than the start file's buffers is refused as soon as it
// overflows them, however long the file runs on.
TEST_F(StartFileRead, ALineLongerThanItsBufferIsRefused) {
    Write("Base\n" + std::string(kStartLineMax * 64, 'x'));
    StartFile start;
    std::string problem;
    EXPECT_FALSE(StartFile_Read(path.string(), &start, &problem));
    EXPECT_EQ(problem, "line 2 is longer than 65536 bytes");
    EXPECT_EQ(start.baseDirectory, "");
    Write(std::string(kStartLineMax, 'x') + "\r\n");
    EXPECT_TRUE(StartFile_Read(path.string(), &start));
    EXPECT_EQ(start.baseDirectory.size(), kStartLineMax);
}

}  // namespace
