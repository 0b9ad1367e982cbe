// File actors: weighted choices, per-scene maximums, loading, saving and
// unloading their files; FileIO actors opening and unloading whole files.

#include "tests/kernel/fileactors/FileActorsFixture.h"

#include "kernel/actors/DrawGroups.h"
#include "kernel/base/Random.h"

namespace {

class FileActor : public FileActorsTest {
protected:
    CQVFile* MakeFile(std::initializer_list<std::pair<const char*, uint32_t>> files, uint32_t percent = 0) {
        auto* file = static_cast<CQVFile*>(Make(CLASS_FILE, "Spawner", scenery));
        for (const auto& [name, weight] : files) {
            file->HandleMessage(MSG_SET_FILENAME, Args_Of(name));
            file->m_Weights.back() = weight;
        }
        file->HandleMessage(MSG_SET_NON_FILE_RAND_WEIGHT, Args_Of(&percent));
        return file;
    }

    // A small actor file in the level range: a root with one child.
    void WritePart(const char* fileName, const char* rootName) {
        CQVActor* clipboard = system->GetActorById(ACTOR_ID_CLIPBOARD);
        CQVActor* root = Make(CLASS_BASE, rootName, clipboard, 7000);
        Make(CLASS_BASE, "Piece", root, 7001);
        ASSERT_EQ(Save(clipboard, fileName), 1);
        clipboard->HandleMessage(MSG_UNLOAD_FILE, nullptr);
    }
};

TEST_F(FileActor, OneFileIsAlwaysChosenUnlessThePercentageSaysNothing) {
    Random_Seed(7);
    CQVFile* file = MakeFile({{"A.qva", 1}});
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(file->ChooseFile(), 1);
        EXPECT_EQ(file->m_Selected, 0);
    }
    const uint32_t all = 100;
    file->HandleMessage(MSG_SET_NON_FILE_RAND_WEIGHT, Args_Of(&all));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(file->ChooseFile(), 0);
        EXPECT_EQ(file->m_Selected, -1);
    }
}

TEST_F(FileActor, WeightsSetTheOdds) {
    Random_Seed(1234);
    CQVFile* file = MakeFile({{"A.qva", 1}, {"B.qva", 3}});
    int chosen[2] = {0, 0};
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(file->ChooseFile(), 1);
        ++chosen[file->m_Selected];
    }
    EXPECT_NEAR(static_cast<double>(chosen[1]) / chosen[0], 3.0, 0.3);
    // The same seed draws the same files.
    Random_Seed(99);
    std::vector<int32_t> first;
    for (int i = 0; i < 20; ++i) first.push_back((file->ChooseFile(), file->m_Selected));
    Random_Seed(99);
    for (int i = 0; i < 20; ++i) EXPECT_EQ((file->ChooseFile(), file->m_Selected), first[i]);
}

TEST_F(FileActor, MaximumPerSceneMovesLaterActorsToOtherFilesOrNone) {
    Random_Seed(5);
    std::vector<int32_t> picks;
    for (int i = 0; i < 3; ++i) {
        CQVFile* file = MakeFile({{"Rare.qva", 100}});
        uint32_t two = 2;
        file->m_Selected = 0;
        file->HandleMessage(MSG_SET_MAX_COUNT, Args_Of(&two));
        file->HandleMessage(MSG_SET_NON_FILE_RAND_WEIGHT, Args_Of(&(two = 0)));
        // Two files so that the shortcut for a single file does not apply.
        file->HandleMessage(MSG_SET_FILENAME, Args_Of("Other.qva"));
        file->m_Weights.back() = 1;
        picks.push_back((file->ChooseFile(), file->m_Selected));
    }
    ASSERT_EQ(g_FileCountTable.size(), 1u);
    EXPECT_EQ(g_FileCountTable[0].name, "Rare.qva");
    EXPECT_EQ(g_FileCountTable[0].count, 2u);
    EXPECT_EQ(std::count(picks.begin(), picks.end(), 0), 2);
    EXPECT_EQ(picks[2], 1);  // the third draws again among the others

    // Only the limited file: the third selects nothing.
    FileCountTable_Clear();
    for (int i = 0; i < 3; ++i) {
        CQVFile* file = MakeFile({{"Rare.qva", 1}, {"Rare.qva", 1}});
        file->m_MaxCounts = {2, 2};
        EXPECT_EQ(file->ChooseFile(), i < 2 ? 1 : 0) << i;
    }
}

TEST_F(FileActor, WeightsAndPercentagesAreClamped) {
    CQVFile* file = MakeFile({{"A.qva", 1}});
    file->m_Selected = 0;
    uint32_t weight = 0;
    file->HandleMessage(MSG_SET_FILE_RAND_WEIGHT, Args_Of(&weight));
    file->HandleMessage(MSG_GET_FILE_RAND_WEIGHT, Args_Of(&weight));
    EXPECT_EQ(weight, 1u);
    weight = 250;
    file->HandleMessage(MSG_SET_FILE_RAND_WEIGHT, Args_Of(&weight));
    EXPECT_EQ(file->m_Weights[0], 100u);
    uint32_t percent = 300;
    file->HandleMessage(MSG_SET_NON_FILE_RAND_WEIGHT, Args_Of(&percent));
    EXPECT_EQ(file->m_NoFilePercent, 100u);
    // Weights of 0 (never stored through the messages) choose nothing.
    file->HandleMessage(MSG_SET_FILENAME, Args_Of("B.qva"));
    file->m_Weights = {0, 0};
    file->m_NoFilePercent = 0;
    EXPECT_EQ(file->ChooseFile(), 0);
    EXPECT_EQ(file->m_Selected, -1);
    // Out-of-range selections are ignored.
    file->m_Selected = 7;
    weight = 5;
    file->HandleMessage(MSG_SET_FILE_RAND_WEIGHT, Args_Of(&weight));
    file->HandleMessage(MSG_DELETE_FILEOBJECT, nullptr);
    EXPECT_EQ(file->m_Files.size(), 2u);
}

TEST_F(FileActor, SelectingDeletingAndListingFiles) {
    CQVFile* file = MakeFile({{"A.qva", 1}, {"B.qva", 2}, {"A.qva", 3}});
    file->HandleMessage(MSG_SET_FILE_STRINGLIST, Args_Of("A.qva"));
    EXPECT_EQ(file->m_Selected, 2);
    char name[64] = {};
    file->HandleMessage(MSG_GET_FILENAME, Args_Of(name));
    EXPECT_STREQ(name, "A.qva");
    file->HandleMessage(MSG_DELETE_FILEOBJECT, nullptr);
    std::vector<std::string> names;
    std::vector<std::string>* out = &names;
    file->HandleMessage(MSG_GET_FILE_STRINGLIST, Args_Of(&out));
    EXPECT_EQ(names, (std::vector<std::string>{"A.qva", "B.qva"}));
    EXPECT_EQ(file->m_Weights, (std::vector<uint32_t>{1, 2}));
}

TEST_F(FileActor, SetResourceNeedsTheFile) {
    CQVFile* file = MakeFile({{"Kept.qva", 4}});
    EXPECT_EQ(file->HandleMessage(MSG_SET_RESOURCE, Args_Of("Absent")), 0);
    EXPECT_EQ(file->m_Files, std::vector<std::string>{"Kept.qva"});
    WriteData("Crates.qva", Bytes().Words({70, 0, 3000, 0}).data);
    EXPECT_EQ(file->HandleMessage(MSG_SET_RESOURCE, Args_Of("Crates")), 1);
    EXPECT_EQ(file->m_Files, std::vector<std::string>{"Crates.qva"});
    EXPECT_EQ(file->m_Weights, std::vector<uint32_t>{1});
}

TEST_F(FileActor, LoadsOnceUnlessAlwaysReloaded) {
    WritePart("Part.qva", "Crate");
    CQVFile* file = MakeFile({{"Part.qva", 1}});
    file->m_Selected = 0;
    // Loaded by the message alone, the imported actors stand below it at once.
    ASSERT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 1);
    ASSERT_EQ(file->m_Children.size(), 1u);
    CQVActor* first = file->m_Children[0];
    EXPECT_EQ(first->m_Name, "Crate");
    EXPECT_GE(first->m_Id, ACTOR_ID_FIRST_FREE);
    ASSERT_EQ(first->m_Children.size(), 1u);
    EXPECT_EQ(first->m_Children[0]->m_Name, "Piece");
    EXPECT_EQ(system->GetLoadVersion(), 0xFFFFFFFFu);

    ASSERT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 1);
    EXPECT_EQ(file->m_Children.size(), 1u);
    EXPECT_EQ(file->m_Children[0], first);

    const uint32_t on = 1;
    file->HandleMessage(MSG_SET_ALWAYS_LOAD, Args_Of(&on));
    const uint32_t firstId = first->m_Id;
    ASSERT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 1);
    ASSERT_EQ(file->m_Children.size(), 1u);
    EXPECT_EQ(system->GetActorById(firstId)->m_Name, "Crate");  // imported again at the freed ids

    file->HandleMessage(MSG_UNLOAD_FILEOBJECT, nullptr);
    EXPECT_TRUE(file->m_Children.empty());
    EXPECT_EQ(file->m_Loaded, 0u);
    EXPECT_EQ(system->GetActorById(firstId), nullptr);

    // A file that is not there fails the load.
    CQVFile* missing = MakeFile({{"Absent.qva", 1}});
    missing->m_Selected = 0;
    EXPECT_EQ(missing->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 0);
}

// A File actor's imported actors are never in the level file: a level saved
// after its File actor imported comes back with the import made again.
TEST_F(FileActor, LevelSavedAfterAnImportComesBackWithIt) {
    WritePart("Part.qva", "Crate");
    auto* file = static_cast<CQVFile*>(Make(CLASS_FILE, "Spawner", scenery, 3000));
    file->HandleMessage(MSG_SET_FILENAME, Args_Of("Part.qva"));
    file->m_Selected = 0;
    ASSERT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr), 1);
    ASSERT_EQ(file->m_Children.size(), 1u);
    ASSERT_EQ(Save(scenery, "Level.qva"), 1);
    ASSERT_EQ(Open(scenery, "Level.qva"), 1);
    auto* loaded = static_cast<CQVFile*>(CQVActor::FindDescendantByName(scenery, "Spawner"));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Children.size(), 1u);
    EXPECT_EQ(loaded->m_Loaded, 1u);

    ASSERT_EQ(Save(scenery, "Again.qva"), 1);
    ASSERT_EQ(Open(scenery, "Again.qva"), 1);
    loaded = static_cast<CQVFile*>(CQVActor::FindDescendantByName(scenery, "Spawner"));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Children.size(), 1u);
    EXPECT_EQ(loaded->m_Children[0]->m_Name, "Crate");
    ASSERT_EQ(loaded->m_Children[0]->m_Children.size(), 1u);
}

TEST_F(FileActor, SavedLoadedFileImportsAgainUnderAnotherFileActor) {
    WritePart("Part.qva", "Crate");
    CQVFile* file = MakeFile({{"Part.qva", 1}});
    file->m_Selected = 0;
    ASSERT_EQ(file->HandleMessage(MSG_LOAD_FILEOBJECT_IN_GAME, nullptr), 1);
    ASSERT_EQ(file->m_Children.size(), 1u);
    // A nested File actor and what it loaded stay out of the saved file.
    CQVActor* nested = Make(CLASS_FILE, "Nested", file->m_Children[0]);
    Make(CLASS_BASE, "FromNested", nested);
    const Vector3 moved(0.0f, 50.0f, 0.0f);
    file->m_Children[0]->HandleMessage(MSG_SET_POSITION, Args_Of(&moved));
    ASSERT_EQ(file->HandleMessage(MSG_SAVE_FILEOBJECT_AS, Args_Of("Saved.qva")), 1);

    const std::string saved = ReadData("Saved.qva");
    ASSERT_GE(saved.size(), 36u);
    EXPECT_EQ(saved.substr(0, 16), Bytes().Words({70, 2, 3000, 2}).data);
    EXPECT_EQ(saved.substr(16, 12), Bytes().Words({CLASS_BASE, 3000, ACTOR_ID_SCENERY}).data);

    CQVFile* second = MakeFile({{"Saved.qva", 1}});
    second->m_Selected = 0;
    ASSERT_EQ(second->HandleMessage(MSG_LOAD_FILEOBJECT_IN_GAME, nullptr), 1);
    ASSERT_EQ(second->m_Children.size(), 1u);
    CQVActor* copy = second->m_Children[0];
    EXPECT_EQ(copy->m_Name, "Crate");
    EXPECT_EQ(copy->m_Position.y, 50.0f);
    ASSERT_EQ(copy->m_Children.size(), 1u);
    EXPECT_EQ(copy->m_Children[0]->m_Name, "Piece");
    // The saved actors kept their own ids and parents.
    EXPECT_EQ(file->m_Children[0]->m_Parent, file);
}

TEST_F(FileActor, CreateCopiesTheFileLists) {
    CQVFile* source = MakeFile({{"A.qva", 4}, {"B.qva", 9}}, 30);
    source->m_AlwaysReload = 1;
    CQVActor* copy = system->CreateActor(CLASS_FILE, "Copy", source, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(copy, nullptr);
    auto* file = static_cast<CQVFile*>(copy);
    EXPECT_EQ(file->m_Files, source->m_Files);
    EXPECT_EQ(file->m_Weights, source->m_Weights);
    EXPECT_EQ(file->m_NoFilePercent, 30u);
    EXPECT_EQ(file->m_AlwaysReload, 1u);
    EXPECT_EQ(copy->HandleMessage(MSG_NO_SPAWNED, nullptr), 0);
}

TEST_F(FileActor, FileIOOpensAndUnloadsItsWholeFile) {
    Make(CLASS_BASE, "Level", scenery, 3000);
    Make(CLASS_BASE, "Other", scenery, 3001);
    ASSERT_EQ(Save(scenery, "Level.qva"), 1);
    scenery->HandleMessage(MSG_UNLOAD_FILE, nullptr);
    EXPECT_TRUE(scenery->m_Children.empty());
    EXPECT_TRUE(static_cast<CQVFileIO*>(scenery)->m_FileName.empty());
    EXPECT_EQ(g_DrawGroups.size(), DRAWGROUP_FIRST_LEVEL);

    ASSERT_EQ(Open(scenery, "Level.qva"), 1);
    EXPECT_EQ(scenery->m_Children.size(), 2u);
    char name[64] = {};
    scenery->HandleMessage(MSG_GET_FILENAME, Args_Of(name));
    EXPECT_STREQ(name, "Level.qva");
    // Opening replaces what was there.
    Make(CLASS_BASE, "Stray", scenery, 3500);
    ASSERT_EQ(Open(scenery, "Level.qva"), 1);
    EXPECT_EQ(system->GetActorById(3500), nullptr);
    EXPECT_EQ(scenery->m_Children.size(), 2u);
    // "Save File" without a name keeps the current one.
    EXPECT_EQ(scenery->HandleMessage(MSG_SAVE_FILE, nullptr), 1);
}

TEST(KernelActors, ClassAndUVAnimationRecords) {
    g_ClassRecords.assign(CLASS_TYPE_COUNT, ClassRecord{});
    CQVClass::RegisterProperties();
    CQVUVAnimation::RegisterProperties();
    CQVFile::RegisterProperties();
    CQVFileIO::RegisterProperties();
    const ClassRecord& manager = g_ClassRecords[CLASS_CLASS];
    EXPECT_EQ(manager.name, "Class");
    EXPECT_EQ(manager.description, "Class Manager");
    EXPECT_EQ(manager.chain, std::vector<uint32_t>{CLASS_CLASS});
    ASSERT_EQ(manager.properties.size(), 4u);
    EXPECT_EQ(manager.properties[1].kind, 0x16u);
    EXPECT_EQ(manager.properties[3].kind, 0x18u);
    EXPECT_EQ(g_ClassRecords[CLASS_UVANIMATION].properties.size(), 1u);
    ASSERT_EQ(g_ClassRecords[CLASS_FILE].properties.size(), 16u);
    EXPECT_EQ(g_ClassRecords[CLASS_FILE].properties[11].label, "Save Loaded File As:|Save As|Actor File (*.qva) |*.qva|||");
    EXPECT_EQ(g_ClassRecords[CLASS_FILE].properties[11].setMessage, static_cast<uint32_t>(MSG_SAVE_FILEOBJECT_AS));
    ASSERT_EQ(g_ClassRecords[CLASS_FILEIO].properties.size(), 6u);
    EXPECT_EQ(g_ClassRecords[CLASS_FILEIO].properties[2].kind, 19u);
}

}  // namespace

namespace {

TEST_F(FileActor, FilesThatIncludeThemselvesStop) {
    // A.qva holds a File actor naming B.qva, which holds one naming A.qva.
    CQVActor* clipboard = system->GetActorById(ACTOR_ID_CLIPBOARD);
    for (const auto& [file, inner] : {std::pair{"A.qva", "B.qva"}, std::pair{"B.qva", "A.qva"}}) {
        CQVActor* nested = Make(CLASS_FILE, file, clipboard, 7000);
        nested->HandleMessage(MSG_SET_FILENAME, Args_Of(inner));
        ASSERT_EQ(Save(clipboard, file), 1);
        clipboard->HandleMessage(MSG_UNLOAD_FILE, nullptr);
    }
    CQVFile* file = MakeFile({{"A.qva", 1}});
    file->m_Selected = 0;
    file->HandleMessage(MSG_LOAD_FILEOBJECT, nullptr);
    CQVActorSystem::BroadcastMessage(MSG_BUILD_TREE, nullptr);
    // A imports B's placeholder, which imports A's, which stops.
    std::vector<std::string> chain;
    for (CQVActor* walk = file; !walk->m_Children.empty(); walk = walk->m_Children[0]) {
        chain.push_back(walk->m_Children[0]->m_Name);
    }
    EXPECT_EQ(chain, (std::vector<std::string>{"A.qva", "B.qva"}));
}

}  // namespace
