// The whole-game benchmark's level: the make-up the benchmark promises, and
// a written level that loads back with every actor it was planned with.

#include "tools/benchlevel/BenchLevel.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "services/engine/Engine.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

struct MakeUp {
    uint32_t actors, meshes, lights, emitters, bodies, sounds;
};

TEST(BenchLevel, EachSizeHasItsShareOfEveryKindAndTheActorsAskedFor) {
    for (const MakeUp& c : {MakeUp{5000, 2000, 64, 20, 200, 50}, MakeUp{1000, 400, 13, 4, 40, 10},
                            MakeUp{20000, 8000, 256, 80, 800, 200}}) {
        const BenchLevelCounts plan = BenchLevel_Plan(c.actors);
        EXPECT_EQ(plan.actors, c.actors);
        EXPECT_EQ(plan.rooms, 100u);
        EXPECT_EQ(plan.meshes, c.meshes) << c.actors;
        EXPECT_EQ(plan.lights, c.lights) << c.actors;
        EXPECT_EQ(plan.emitters, c.emitters) << c.actors;
        EXPECT_EQ(plan.bodies, c.bodies) << c.actors;
        EXPECT_EQ(plan.sounds, c.sounds) << c.actors;
    }
    // Too few actors for the rooms' own: the level holds what the rooms need.
    const BenchLevelCounts small = BenchLevel_Plan(10);
    EXPECT_GT(small.actors, 10u);
    EXPECT_EQ(small.markers, 0u);
}

class BenchLevelFile : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("qv_benchlevel_test_" + std::to_string(::getpid()));
        fs::remove_all(folder);
    }
    void TearDown() override {
        ResetGlobals();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
};

TEST_F(BenchLevelFile, LoadsBackWithEveryPlannedActor) {
    // Past the ids 3000 to 7999 (the start scene's usual range) into the run-time range.
    BenchLevelCounts made;
    std::string error;
    ASSERT_TRUE(BenchLevel_Write(folder, 6000, 60, &made, &error)) << error;
    const BenchLevelCounts plan = BenchLevel_Plan(6000);
    EXPECT_EQ(made.actors, plan.actors);
    EXPECT_EQ(made.meshes, plan.meshes);
    EXPECT_EQ(made.markers, plan.markers);
    for (const char* file : {"init.txt", "DARarezev.edo", "Data/Start.qva", "Data/Globals.qva", "Data/shell15.qvm"})
        EXPECT_TRUE(fs::exists(folder / file)) << file;

    ResetGlobals();
    ASSERT_EQ(CQVEngine::Create(), 1);
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    const std::string start = (folder / "Data" / "Start.qva").string();
    ASSERT_EQ(g_ActorSystem->LoadActors(start.c_str(), 0), 1) << g_ActorSystem->GetError();
    std::map<uint32_t, uint32_t> byClass;
    uint32_t loaded = 0;
    for (uint32_t id = 3000; id < 3000 + made.actors; ++id) {
        const CQVActor* actor = CQVActorSystem::GetActorById(id);
        if (actor == nullptr) continue;
        ++loaded;
        ++byClass[actor->m_ClassType];
    }
    EXPECT_EQ(loaded, made.actors);
    EXPECT_EQ(byClass[CLASS_OBJECT], made.meshes);
    EXPECT_EQ(byClass[CLASS_LIGHT], made.lights);
    EXPECT_EQ(byClass[CLASS_PARTICLE], made.emitters);
    EXPECT_EQ(byClass[CLASS_SIMULATION], made.bodies);
    EXPECT_EQ(byClass[CLASS_SOUND], made.sounds);
    EXPECT_EQ(byClass[CLASS_DRAW_GROUP], made.rooms + 1);  // and the world cell
    EXPECT_EQ(byClass[CLASS_CAMERA], 1u);
}

}  // namespace
