// Files and names made to hurt the game: saves that must keep the old file
// whatever happens to the new one, names that leave the data folder, and
// File actors that import without end.

#include "tests/kernel/fileactors/FileActorsFixture.h"
#include "tests/support/FileSizeLimit.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class HostileFiles : public FileActorsTest {
protected:
    CQVActor* Clipboard() { return system->GetActorById(ACTOR_ID_CLIPBOARD); }

    static std::vector<std::string> DataFiles() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator("Data")) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A save that runs out of room (as on a full disk) fails and leaves the
// old file as it was, even when every byte of the new one waits in the
// buffers until the end.
TEST_F(HostileFiles, ASaveThatCannotFinishKeepsTheOldFile) {
    CQVActor* clipboard = Clipboard();
    Make(CLASS_BASE, "Small", clipboard, 7000);
    ASSERT_EQ(Save(clipboard, "Start.qva"), 1);
    const std::string before = ReadData("Start.qva");
    for (uint32_t i = 1; i < 200; ++i) Make(CLASS_BASE, "A rather long actor name", clipboard, 7000 + i);
    ASSERT_EQ(Save(clipboard, "Big.qva"), 1);
    const size_t bigSize = ReadData("Big.qva").size();
    constexpr rlim_t kRoom = 8192;
    ASSERT_GT(bigSize, kRoom);
    ASSERT_LT(bigSize, 65536u) << "the whole file fits the archive's buffer";
    std::filesystem::remove(std::filesystem::path("Data") / "Big.qva");

    const int saved = FileSizeLimit_Run(kRoom, [&] { return Save(clipboard, "Start.qva"); });

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadData("Start.qva"), before);
    EXPECT_EQ(DataFiles(), std::vector<std::string>{"Start.qva"}) << "no temporary file is left behind";
}

// The temporary file of a save is a new file: a link planted beside the
// target, under the name a save might pick, is neither followed nor moved.
TEST_F(HostileFiles, ASaveFollowsNoPlantedLink) {
    WriteData("../victim.txt", "keep");
    std::filesystem::create_symlink(root / "victim.txt", std::filesystem::path("Data") / "Start.qva.tmp");
    Make(CLASS_BASE, "Crate", Clipboard(), 7000);
    ASSERT_EQ(Save(Clipboard(), "Start.qva"), 1);
    EXPECT_EQ(ReadData("../victim.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::path("Data") / "Start.qva.tmp"));
    EXPECT_EQ(DataFiles(), (std::vector<std::string>{"Start.qva", "Start.qva.tmp"}));
}

// Names from files and scripts stay inside the data folder: saves, opens
// and imports of absolute names or names with ".." are refused.
TEST_F(HostileFiles, NamesThatLeaveTheDataFolderAreRefused) {
    Make(CLASS_BASE, "Crate", Clipboard(), 7000);
    ASSERT_EQ(Save(Clipboard(), "Part.qva"), 1);
    std::filesystem::copy_file(std::filesystem::path("Data") / "Part.qva", root / "Outside.qva");
    const std::string absolute = (root / "Absolute.qva").string();
    for (const std::string& name : {std::string("../victim.txt"), std::string("..\\victim.txt"),
                                    std::string("Sub/../../victim.txt"), absolute, std::string("\\victim.txt"),
                                    std::string("C:\\victim.txt")}) {
        EXPECT_EQ(Save(Clipboard(), name), 0) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(root / "victim.txt"));
    EXPECT_FALSE(std::filesystem::exists(absolute));
    EXPECT_EQ(Open(scenery, "../Outside.qva"), 0);

    auto* file = static_cast<CQVFile*>(Make(CLASS_FILE, "Spawner", scenery));
    file->HandleMessage(MSG_SET_FILENAME, Args_Of("../Outside.qva"));
    file->m_Selected = 0;
    EXPECT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 0);
    EXPECT_TRUE(file->m_Children.empty());
    // Inside the folder the same file loads.
    file->m_Files[0] = "Part.qva";
    EXPECT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 1);
    EXPECT_EQ(file->m_Children.size(), 1u);
}

// Levels whose File actors import files of File actors, eight to a file,
// five files deep, would make tens of thousands of imports: the load stops
// at its limit, fails, and says why.
TEST_F(HostileFiles, ALoadStopsAtItsLimits) {
    constexpr int kDepth = 5;
    constexpr uint32_t kFanOut = 8;
    for (int level = kDepth; level >= 0; --level) {
        for (uint32_t i = 0; i < kFanOut; ++i) {
            if (level == kDepth) {
                Make(CLASS_BASE, "Leaf", Clipboard(), 7000 + i);
                continue;
            }
            auto* file = static_cast<CQVFile*>(Make(CLASS_FILE, "Spawner", Clipboard(), 7000 + i));
            std::string next("L");
            next += std::to_string(level + 1);
            next += ".qva";
            file->HandleMessage(MSG_SET_FILENAME, Args_Of(next.c_str()));
        }
        ASSERT_EQ(Save(Clipboard(), "L" + std::to_string(level) + ".qva"), 1);
        Clipboard()->HandleMessage(MSG_UNLOAD_FILE, nullptr);
    }
    EXPECT_EQ(Open(scenery, "L0.qva"), 0);
    EXPECT_NE(std::string(system->GetError()).find("4096 imports"), std::string::npos) << system->GetError();

    // Within the limits (584 imports) the same files load whole.
    EXPECT_EQ(Open(scenery, "L2.qva"), 1) << system->GetError();
}

// A level whose actors stand in one chain, each the parent of the next:
// past 1,000 levels every message that goes down the tree would run out of
// stack, so such a file is refused and says why; a chain within the limit
// loads and takes its actions.
TEST_F(HostileFiles, ATreeDeeperThanItsLimitIsRefused) {
    for (const uint32_t length : {1100u, 900u}) {
        SCOPED_TRACE(length);
        CQVActor* parent = Clipboard();
        for (uint32_t i = 0; i < length; ++i) parent = Make(CLASS_BASE, "Link", parent, 7000 + i);
        const std::string name = "Chain" + std::to_string(length) + ".qva";
        ASSERT_EQ(Save(Clipboard(), name), 1);
        Clipboard()->HandleMessage(MSG_UNLOAD_FILE, nullptr);
        if (length > g_ActorLoadLimits.depth) {
            EXPECT_EQ(Open(scenery, name), 0);
            EXPECT_NE(std::string(system->GetError()).find("1000 levels"), std::string::npos) << system->GetError();
            EXPECT_EQ(system->GetActorById(7000), nullptr);
            continue;
        }
        ASSERT_EQ(Open(scenery, name), 1) << system->GetError();
        CQVActor* top = system->GetActorById(7000);
        ASSERT_NE(top, nullptr);
        top->HandleMessage(MSG_ACTION_START_PRE, nullptr);
        top->HandleMessage(MSG_ACTION_STOP_PRE, nullptr);
        EXPECT_NE(system->GetActorById(7000 + length - 1), nullptr);
    }
}

}  // namespace
