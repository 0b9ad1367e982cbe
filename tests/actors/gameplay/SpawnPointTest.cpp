// The Spawn Point: its gates (interval, totals, percent), its seeded
// weighted draw, where the clones go (itself, a child, a box, a character
// standing above it facing back), extern lists, the sheet's list editing
// and the warp.

#include "actors/gameplay/SpawnPoint.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

#include <cmath>
#include <map>
#include <numbers>

namespace gameplay_test {
namespace {

#pragma pack(push, 1)
struct ActorReference {
    CQVActor* actor;
    char name[64];
};
#pragma pack(pop)

class SpawnPointTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        templates = Make(CLASS_STATE, "Templates");
        spawner = Make<CQVSpawnPoint>(CLASS_SPAWN_POINT, "Spawner");
    }

    CQVActor* Template(const char* name, uint32_t type = CLASS_STATE) { return Make(type, name, templates); }
    // Adds an entry for the template by its path and selects it.
    void Add(CQVSpawnPoint* point, CQVActor* chosen) {
        ActorReference reference{};
        std::snprintf(reference.name, sizeof reference.name, "%s", CQVActorSystem::GetActorPath(chosen, nullptr));
        point->HandleMessage(MSG_SPAWN_ADD_ENTRY, Args_Of(&reference));
    }
    CQVActor* Spawn(CQVSpawnPoint* point = nullptr) { return (point ? point : spawner)->PlaceSpawned(); }
    static size_t Count(const char* name) { return CQVActorSystem::FindActorsByName(name, CLASS_STATE).size(); }

    CQVActor* templates = nullptr;
    CQVSpawnPoint* spawner = nullptr;
};

TEST_F(SpawnPointTest, TheIntervalAndTheTotalGateTheSpawns) {
    Add(spawner, Template("Crate"));
    Send(spawner, MSG_SET_MIN_SPAWN_TIME, 5.0f);
    Send(spawner, MSG_SET_SPAWN_MAX_COUNT, 2u);
    Send(spawner, MSG_PRECALCULATE);
    EXPECT_NE(Spawn(), nullptr) << "the first request after the level starts spawns at once";
    Frames(96);
    EXPECT_EQ(Spawn(), nullptr) << "3 s later";
    Frames(64);
    EXPECT_NE(Spawn(), nullptr) << "5 s later";
    Frames(200);
    EXPECT_EQ(Spawn(), nullptr) << "the total is spent";
    EXPECT_EQ(Ask<uint32_t>(spawner, MSG_GET_SPAWN_COUNTER), 2u);
    EXPECT_EQ(Count("Crate"), 3u);
}

// Tickets by weight from a seeded generator: the heavier entry three times
// as often, until its own total is spent.
TEST_F(SpawnPointTest, TheWeightedDrawFollowsTheTicketsAndTheEntryTotals) {
    Send(spawner, MSG_SET_NAME, "Crate");  // clones go under the spawner itself
    Add(spawner, Template("Crate"));
    Add(spawner, Template("Barrel"));
    Send(spawner, MSG_SET_SPAWN_ENTRY_WEIGHT, 3u);
    Random_Seed(1);
    for (int i = 0; i < 400; ++i) ASSERT_NE(Spawn(), nullptr);
    const size_t crates = Count("Crate") - 1;  // the template
    const size_t barrels = Count("Barrel") - 1;
    EXPECT_EQ(crates + barrels, 400u);
    EXPECT_NEAR(static_cast<double>(barrels) / 400.0, 0.75, 0.05) << crates << " crates, " << barrels << " barrels";
    EXPECT_EQ(spawner->m_Entries[0].spawnedCount, crates);

    Send(spawner, MSG_SET_SPAWN_ENTRY_MAX_COUNT, static_cast<uint32_t>(barrels + 5));
    for (int i = 0; i < 100; ++i) Spawn();
    EXPECT_EQ(Count("Barrel") - 1, barrels + 5) << "an entry whose total is spent gets no ticket";
}

// One entry and no chance to give up: no draw, so the generator is not used.
TEST_F(SpawnPointTest, OneEntryIsTakenWithoutADrawAndAPercentOfAHundredGivesUpEverySpawn) {
    Add(spawner, Template("Crate"));
    Random_Seed(7);
    const int first = Random_Next();
    Random_Seed(7);
    ASSERT_NE(Spawn(), nullptr);
    EXPECT_EQ(Random_Next(), first);

    Send(spawner, MSG_SET_NON_SPAWN_PERCENT, 250u);
    EXPECT_EQ(Ask<uint32_t>(spawner, MSG_GET_NON_SPAWN_PERCENT), 100u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Spawn(), nullptr);
    EXPECT_EQ(Ask<uint32_t>(spawner, MSG_GET_SPAWN_COUNTER), 1u);
}

TEST_F(SpawnPointTest, AChildOfTheTemplatesNameIsWhereItsClonesGo) {
    Add(spawner, Template("Crate"));
    Make(CLASS_STATE, "Left", spawner);
    CQVActor* shelf = Make(CLASS_STATE, "Crate", spawner);
    CQVActor* clone = Spawn();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->m_Parent, shelf);
}

TEST_F(SpawnPointTest, WithoutANamedChildEachPlaceIsDrawnAlike) {
    Add(spawner, Template("Crate"));
    CQVActor* left = Make(CLASS_STATE, "Left", spawner);
    CQVActor* right = Make(CLASS_STATE, "Right", spawner);
    Random_Seed(3);
    std::map<CQVActor*, int> places;
    for (int i = 0; i < 300; ++i) {
        CQVActor* clone = Spawn();
        ASSERT_NE(clone, nullptr);
        ++places[clone->m_Parent];
        // Each clone goes again, so the spawner keeps its two children.
        g_ActorSystem->DeleteActor(clone);
    }
    for (CQVActor* place : {left, right, static_cast<CQVActor*>(spawner)}) EXPECT_NEAR(places[place], 100, 25);
}

TEST_F(SpawnPointTest, TheBoxScattersClonesAroundThePlaceAtItsHeight) {
    Send(spawner, MSG_SET_NAME, "Crate");
    Add(spawner, Template("Crate"));
    Send(spawner, MSG_SET_USE_SPAWN_BOX, 1u);
    Vector3 low(100.0f, 100.0f, 100.0f), high(-100.0f, -100.0f, -100.0f);
    for (int i = 0; i < 200; ++i) {
        CQVActor* clone = Spawn();
        ASSERT_NE(clone, nullptr);
        Vec3_Minimize(&low, low, clone->m_Position);
        Vec3_Maximize(&high, high, clone->m_Position);
    }
    EXPECT_GE(low.x, -25.0f);
    EXPECT_LT(high.x, 25.0f);
    EXPECT_GE(low.z, -25.0f);
    EXPECT_LT(high.z, 25.0f);
    EXPECT_LT(low.x, -20.0f) << "the whole box is used";
    EXPECT_GT(high.z, 20.0f);
    EXPECT_EQ(low.y, 0.0f);
    EXPECT_EQ(high.y, 0.0f);
}

struct FacingCase {
    float yaw;      // of the Spawn Point
    float heading;  // the clone's
};

class SpawnPointFacing : public SpawnPointTest, public testing::WithParamInterface<FacingCase> {};

// A character clone goes into the level, 40 above the Spawn Point, facing
// back along its z axis; it is told of its spawn, and the Spawn Point's
// scripts run with it as the caller.
TEST_P(SpawnPointFacing, ACharacterStandsAboveFacingBack) {
    CQVActor* guard = Template("Guard", CLASS_CHARACTER);
    Add(spawner, guard);
    Send(spawner, MSG_SET_POSITION, Vector3(100.0f, 0.0f, 50.0f));
    Quaternion turn;
    Quat_FromYawPitchRoll(&turn, GetParam().yaw, 0.0f, 0.0f);
    Send(spawner, MSG_SET_QUATERNION, turn);
    CQVScript script;
    script.name = "Spawned";
    script.boundMessage = MSG_ON_SPAWN_ACTOR;
    script.owner = spawner;
    spawner->m_Scripts.push_back(script);
    g_Heard.clear();
    CQVActor* clone = Spawn();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->m_Parent, scenery);
    const std::vector<gameplay_test::Heard> heard = HeardBy("Guard");
    std::vector<uint32_t> ids;
    for (const gameplay_test::Heard& h : heard) ids.push_back(h.id);
    // The clone's own settling first, then the Spawn Point's messages.
    EXPECT_EQ(ids, (std::vector<uint32_t>{MSG_INVALIDATE_OLDPOSITION, MSG_LOAD_RESOURCES, MSG_SET_POSITION,
                                          MSG_SET_ROT_Y_3D0,
                                          MSG_INVALIDATE_OLDPOSITION, MSG_ON_SPAWNED, MSG_SPAWN_NOTIFY,
                                          MSG_LOAD_RESOURCES}));
    EXPECT_FLOAT_EQ(clone->m_Position.x, 100.0f);
    EXPECT_FLOAT_EQ(clone->m_Position.y, 40.0f);
    EXPECT_FLOAT_EQ(clone->m_Position.z, 50.0f);
    EXPECT_NEAR(heard[3].real, GetParam().heading, 1e-5f);
    EXPECT_EQ(heard[6].word, spawner->m_Id);
    ASSERT_EQ(g_ScriptRuns.size(), 1u);
    EXPECT_EQ(g_ScriptRuns[0], (ScriptRun{"Spawner", MSG_ON_SPAWN_ACTOR, "Spawned", "Guard"}));
}

INSTANTIATE_TEST_SUITE_P(Yaw, SpawnPointFacing,
                         testing::Values(FacingCase{0.0f, std::numbers::pi_v<float>},
                                         FacingCase{std::numbers::pi_v<float> / 2, 1.5f * std::numbers::pi_v<float>}));

TEST_F(SpawnPointTest, AnExternListIsDrawnFromWithItsOwnCountersAndGates) {
    auto* store = Make<CQVSpawnPoint>(CLASS_SPAWN_POINT, "Store");
    Add(store, Template("Crate"));
    Send(store, MSG_SET_SPAWN_MAX_COUNT, 1u);
    ActorReference reference{};
    std::snprintf(reference.name, sizeof reference.name, "%s", CQVActorSystem::GetActorPath(store, nullptr));
    Send(spawner, MSG_SET_USE_EXTERN_SPAWN_OBJECT, 1u);
    spawner->HandleMessage(MSG_SET_EXTERN_SPAWN_ACTOR, Args_Of(&reference));
    CQVActor* clone = Spawn();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->m_Parent, spawner);
    EXPECT_EQ(store->m_SpawnCounter, 1u);
    EXPECT_EQ(spawner->m_SpawnCounter, 1u);
    EXPECT_EQ(Spawn(), nullptr) << "the store's total is spent";
    // A path that names no Spawn Point gives nothing; switched off, the path goes.
    std::snprintf(reference.name, sizeof reference.name, "%s", CQVActorSystem::GetActorPath(templates, nullptr));
    spawner->HandleMessage(MSG_SET_EXTERN_SPAWN_ACTOR, Args_Of(&reference));
    EXPECT_EQ(Spawn(), nullptr);
    Send(spawner, MSG_SET_USE_EXTERN_SPAWN_OBJECT, 0u);
    spawner->HandleMessage(MSG_GET_EXTERN_SPAWN_ACTOR, Args_Of(&reference));
    EXPECT_STREQ(reference.name, "");
}

TEST_F(SpawnPointTest, TheSheetEditsTheSelectedEntry) {
    Add(spawner, Template("Crate"));
    Add(spawner, Template("Barrel"));
    std::vector<std::string> names;
    std::vector<std::string>* list = &names;
    spawner->HandleMessage(MSG_SPAWN_ENTRY_NAMES, Args_Of(&list));
    ASSERT_EQ(names.size(), 2u);
    spawner->HandleMessage(MSG_SPAWN_SELECT_ENTRY, Args_Of(names[0].c_str()));
    EXPECT_EQ(spawner->m_Selected, 0u);
    for (const auto& [set, stored] : {std::pair{0u, 1u}, std::pair{150u, 100u}, std::pair{42u, 42u}}) {
        Send(spawner, MSG_SET_SPAWN_ENTRY_WEIGHT, set);
        EXPECT_EQ(Ask<uint32_t>(spawner, MSG_GET_SPAWN_ENTRY_WEIGHT), stored);
    }
    // The answer is cut to the reference's name field.
    struct {
        CQVActor* actor;
        char name[8];
    } shortReference{};
    spawner->HandleMessage(MSG_SPAWN_GET_ENTRY, Args_Of(&shortReference));
    EXPECT_EQ(std::string(shortReference.name), names[0].substr(0, 7));
    // Deleting keeps the selection's index; past the end the rows do nothing.
    Send(spawner, MSG_SPAWN_DELETE_ENTRY);
    Send(spawner, MSG_SPAWN_DELETE_ENTRY);
    EXPECT_TRUE(spawner->m_Entries.empty());
    Send(spawner, MSG_SET_SPAWN_ENTRY_WEIGHT, 9u);
    EXPECT_EQ(Ask<uint32_t>(spawner, MSG_GET_SPAWN_ENTRY_WEIGHT, 77u), 77u);
    EXPECT_EQ(Spawn(), nullptr);
}

TEST_F(SpawnPointTest, AWarpMovesAndHurtsThePlayersCharacter) {
    auto* other = &spawner->m_ColObjs.emplace_back();
    other->name = "Own";
    Send(spawner, MSG_SET_SPAWNPOINT_TYPE, SPAWN_POINT_WARP);
    ASSERT_EQ(spawner->m_ColObjs.size(), 2u);
    EXPECT_EQ(spawner->m_ColObjs[1].name, "Player Col");
    EXPECT_EQ(spawner->m_ColObjs[1].boxMax.x, 100.0f);
    Send(spawner, MSG_SET_POSITION, Vector3(5.0f, 6.0f, 7.0f));
    CQVActor* hero = Make(CLASS_CHARACTER, "Hero");
    ColObj body;
    body.flags = COLOBJ_ACTIVE | 0x20;
    body.owner = hero;
    ColObj* pair[2] = {&body, &spawner->m_ColObjs[1]};
    spawner->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_TRUE(HeardBy("Hero").empty()) << "only the player's character is warped";
    Send(hero, MSG_SET_MASTER, 1u);
    spawner->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    const std::vector<gameplay_test::Heard> heard = HeardBy("Hero");
    std::vector<uint32_t> ids;
    for (const gameplay_test::Heard& h : heard) ids.push_back(h.id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{MSG_SET_DELTA_POSITION, MSG_INVALIDATE_OLDPOSITION, MSG_SET_POSITION,
                                          MSG_SET_MOVEMENT_34D, MSG_SET_NEXT_MOVEMENT, MSG_CHANGE_CPGAMMARADD,
                                          MSG_CHANGE_CPHEALTH}));
    EXPECT_EQ(heard[2].vector.z, 7.0f);
    EXPECT_EQ(heard[3].text, "Gethit0");
    EXPECT_EQ(heard[4].text, "Neutral");
    EXPECT_EQ(heard[6].real, -10.0f);
    // Any other type removes every collision object, the Spawn Point's own too.
    Send(spawner, MSG_SET_SPAWNPOINT_TYPE, SPAWN_POINT_SPAWN);
    EXPECT_TRUE(spawner->m_ColObjs.empty());
}

}  // namespace
}  // namespace gameplay_test
