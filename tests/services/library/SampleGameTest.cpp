// The sample data that `make run` starts on, made by our own tool: the game
// reads its resource library at start and runs frames.

#include "apps/game/FrameLoop.h"
#include "apps/game/GameMain.h"
#include "kernel/base/FrameTime.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tests/services/library/SampleFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <filesystem>
#include <functional>
#include <thread>
#include <unistd.h>

namespace {

struct SeenItem {
    uint32_t kind;
    std::string name, fileName;
};

// Runs the game in the folder until it has drawn a few frames; the items
// the library held then.
std::vector<SeenItem> RunGameIn(const std::filesystem::path& dir, uint32_t* framesRun) {
    const auto oldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::vector<SeenItem> items;
    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> stop{false};
    std::thread quitter([&] {
        for (int i = 0; i < 5000 && !stop && g_FrameNumber < firstFrame + 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (uint32_t id = 0; id < g_Library.GetSlotCount(); ++id) {
            if (const CQVLibraryItem* item = g_Library.At(id)) items.push_back({item->kind, item->name, item->fileName});
        }
        Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=320 -h=240 -s=0", 1);
    stop = true;
    quitter.join();
    std::filesystem::current_path(oldDir);
    EXPECT_EQ(result, 0);
    *framesRun = g_FrameNumber - firstFrame;
    return items;
}

TEST(SampleGame, StartsWithTheSampleLibraryAndRunsFrames) {
    Library_Reset();
    SampleFolder sample;
    const std::filesystem::path& dir = sample.dir;
    ASSERT_TRUE(sample.Make());
    ASSERT_TRUE(std::filesystem::exists(dir / "DARarezev.edo"));
    uint32_t frames = 0;
    const std::vector<SeenItem> items = RunGameIn(dir, &frames);
    EXPECT_GE(frames, 2u);
    EXPECT_EQ(CQVEngine::GetInstance()->worldScale, 100.0f);
    // Every kind, and every file an item names lies in the data folder.
    uint32_t perKind[LIBRARY_KIND_LIMIT] = {};
    for (const SeenItem& item : items) {
        ++perKind[item.kind];
        if (!item.fileName.empty()) {
            EXPECT_TRUE(std::filesystem::exists(dir / "Data" / item.fileName)) << item.name << ": " << item.fileName;
        }
    }
    // With the HUD's ten pictures (a texture and a material each), its fade
    // material "Black" and its font "GameFont".
    const uint32_t expected[LIBRARY_KIND_LIMIT] = {21, 20, 9, 0, 30, 1, 9, 2};
    EXPECT_EQ(std::vector<uint32_t>(perKind, perKind + LIBRARY_KIND_LIMIT),
              std::vector<uint32_t>(expected, expected + LIBRARY_KIND_LIMIT));
}

// A library that cannot be read ends the game at start with status 1 and
// says why on standard error: cut short, an item of kind 3, no file at all.
TEST(SampleGame, ALibraryThatCannotBeReadEndsTheGameWithItsErrorText) {
    SampleFolder sample;
    const std::filesystem::path& dir = sample.dir;
    ASSERT_TRUE(sample.Make());
    const auto library = dir / "DARarezev.edo";
    std::vector<char> bytes(std::filesystem::file_size(library));
    std::ifstream(library, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const auto put = [&](const std::vector<char>& content) {
        std::ofstream(library, std::ios::binary | std::ios::trunc).write(content.data(), static_cast<std::streamsize>(content.size()));
    };
    // The first item's kind: after the version, world scale, four words and the group and item counts.
    constexpr size_t kFirstKind = 8 * 4;
    std::vector<char> kindThree = bytes;
    kindThree[kFirstKind] = 3;
    const struct {
        std::function<void()> damage;
        const char* text;
    } cases[] = {
        {[&] { put(std::vector<char>(bytes.begin(), bytes.end() - 3)); }, "Fatal Library Serialization Error"},
        {[&] { put(kindThree); }, "Fatal Library Serialization Error - Unknown Class ID"},
        {[&] { std::filesystem::remove(library); }, "Serialize File Open Error"},
    };
    for (const auto& c : cases) {
        c.damage();
        const auto errors = dir / "errors.txt";
        EXPECT_EQ(RunProgram("game", {"-win=1", "-w=320", "-h=240", "-s=0"}, dir, errors), 1) << c.text;
        std::ifstream in(errors);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find(std::string("DARarezev.edo\": ") + c.text + "\n"), std::string::npos) << text;
    }
}

}  // namespace
