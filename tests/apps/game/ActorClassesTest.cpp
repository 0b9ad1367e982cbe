#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"
#include "kernel/fileactors/FileIO.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

namespace {

struct ClassName {
    uint32_t type;
    const char* name;
};

const ClassName CLASS_NAMES[] = {
#define QV_CLASS_NAME(id, sym, name) {id, name},
    QV_CLASS_TYPES(QV_CLASS_NAME)
#undef QV_CLASS_NAME
};

class ActorClassesTest : public testing::Test {
protected:
    void SetUp() override {
        delete g_ActorSystem;
        // The engine is made here only when no earlier test made it; a
        // headless frame that follows must find none.
        m_MadeEngine = CQVEngine::GetInstance() == nullptr;
        // A mesh actor is made with the library's fallback mesh 3 and material 4,
        // a Sound with the library's default sound 1.
        ASSERT_EQ(CQVEngine::Create(), 1);
        g_Library.SetItem(1, new CQVSoundItem);
        auto* mesh = new CQVMeshItem;
        mesh->subsetInfos.resize(1);
        g_Library.SetItem(3, mesh);
        g_Library.SetItem(4, new CQVMaterialItem);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
    }
    void TearDown() override {
        delete g_ActorSystem;
        ResetGlobals();
        if (m_MadeEngine) {
            delete g_Engine;
            g_Engine = nullptr;
        }
    }

private:
    bool m_MadeEngine = false;
};

TEST_F(ActorClassesTest, TheFactoryMakesEveryClassWithItsRecord) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    int made = 0;
    for (const ClassName& entry : CLASS_NAMES) {
        const ClassRecord& record = g_ClassRecords[entry.type];
        EXPECT_EQ(record.name, entry.name) << entry.type;
        if (entry.type == CLASS_ACTOR_SYSTEM) continue;
        CQVActor* actor = g_ActorSystem->CreateActor(entry.type, entry.name, nullptr, scenery, ACTOR_ID_ANY, 1, 0);
        ASSERT_NE(actor, nullptr) << entry.name;
        EXPECT_EQ(actor->m_ClassType, entry.type) << entry.name;
        EXPECT_EQ(actor->m_Name, entry.name);
        ASSERT_FALSE(record.chain.empty()) << entry.name;
        EXPECT_EQ(record.chain.back(), entry.type) << entry.name;
        ++made;
    }
    // 54 types less the actor system and type 39, which has no class.
    EXPECT_EQ(made, 52);
    EXPECT_EQ(g_ActorSystem->CreateActor(39, "x", nullptr, scenery, ACTOR_ID_ANY, 1, 0), nullptr);
    EXPECT_EQ(g_ClassRecords[CLASS_PARTICLE].chain, (std::vector<uint32_t>{0, 3, 18}));
    EXPECT_EQ(g_ClassRecords[CLASS_SKINOBJECT].chain, (std::vector<uint32_t>{0, 3, 17}));
    EXPECT_EQ(g_ClassRecords[CLASS_CLASS].chain, (std::vector<uint32_t>{8}));
    EXPECT_EQ(g_ClassRecords[CLASS_DOOR].chain, (std::vector<uint32_t>{0, 13}));
    const std::pair<uint32_t, const char*> descriptions[] = {{CLASS_REFERENCE, "A Reference to another Actor"},
                                                             {CLASS_AI_PLAYER, "AI Player"},
                                                             {CLASS_AI_HELPER, "AI Helper"},
                                                             {CLASS_SKINOBJECT, "SkinObject"},
                                                             {CLASS_GAME_OBJECT, "Game Object"}};
    for (const auto& [type, description] : descriptions) EXPECT_EQ(g_ClassRecords[type].description, description);
    size_t count = 0;
    ActorClasses_GetList(&count);
    EXPECT_EQ(count, 51u);
}

// Every class's message table binds its pairs to fields of the value type
// the vocabulary registers for them.
TEST_F(ActorClassesTest, EveryMessageTableAgreesWithTheVocabulary) {
    size_t tables = 0;
    for (const ClassRecord& record : g_ClassRecords) {
        if (record.messageRows == nullptr) continue;
        ++tables;
        EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "") << record.name;
    }
    EXPECT_GE(tables, 3u);
}

TEST_F(ActorClassesTest, StartUpGivesTheFileActorsTheirRanges) {
    struct Range {
        uint32_t id;
        uint32_t first;
        uint32_t last;
        const char* file;
    };
    for (const Range& r : {Range{1, 10, 2999, "Globals.qva"}, Range{2, 3000, 6999, "Scenery.qva"},
                           Range{3, 7000, 7999, "Clipboard.qva"}}) {
        auto* fileIO = static_cast<CQVFileIO*>(CQVActorSystem::GetActorById(r.id));
        ASSERT_NE(fileIO, nullptr);
        ASSERT_EQ(fileIO->m_ClassType, CLASS_FILEIO);
        EXPECT_EQ(fileIO->m_FirstId, r.first);
        EXPECT_EQ(fileIO->m_LastId, r.last);
        EXPECT_EQ(fileIO->m_FileName, r.file);
    }
    EXPECT_EQ(CQVActorSystem::GetActorClassById(ACTOR_ID_ENVIRONMENT), static_cast<int32_t>(CLASS_ENVIRONMENT));
    EXPECT_EQ(CQVActorSystem::GetActorClassById(ACTOR_ID_INVENTORY), static_cast<int32_t>(CLASS_INVENTORY));
}

}  // namespace
