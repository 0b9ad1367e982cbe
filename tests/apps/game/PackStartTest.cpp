#include "apps/game/FrameLoop.h"
#include "apps/game/GameMain.h"
#include "kernel/base/FileSystem.h"
#include "kernel/base/PackFileSystem.h"
#include "platform/Window.h"
#include "tools/fixtures/EmptyActorFile.h"
#include "tools/fixtures/PackWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

// Runs the game in a folder until a few frames have passed and returns what
// the file systems were while it ran.
struct Observed {
    CQVFileSystem* current = nullptr;
    CQVPackFileSystem* pack = nullptr;
};

Observed RunGameIn(const std::filesystem::path& dir) {
    const auto oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    Observed seen;
    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> stop{false};
    std::thread quitter([&] {
        for (int i = 0; i < 3000 && !stop; ++i) {
            if (g_FrameNumber >= firstFrame + 2) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        seen.current = g_CurrentFileSystem;
        seen.pack = g_PackFileSystem;
        Platform_RequestQuit();
    });
    WinMain(nullptr, nullptr, "-win=1 -w=800", 1);
    stop = true;
    quitter.join();
    std::filesystem::current_path(oldDir);
    return seen;
}

class PackStart : public testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("qv_packstart_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "init.txt") << ".\nStart.qva\n\nPack Test\n";
        ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(PackStart, PackInTheWorkingFolderBecomesCurrentUntilShutdown) {
    const std::vector<uint8_t> bytes = PackWriter_Build({{"data\\text.txt", "packed"}});
    std::ofstream(dir / "pack.csa", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const Observed seen = RunGameIn(dir);
    ASSERT_NE(seen.pack, nullptr);
    EXPECT_EQ(seen.current, seen.pack);
    EXPECT_EQ(g_PackFileSystem, nullptr);
    EXPECT_EQ(g_CurrentFileSystem, nullptr);
}

TEST_F(PackStart, WithoutPackFilesComeFromTheDisk) {
    std::ofstream(dir / "pack.csa") << "not an archive";
    const Observed seen = RunGameIn(dir);
    EXPECT_EQ(seen.pack, nullptr);
    EXPECT_EQ(seen.current, nullptr);
}

}  // namespace
