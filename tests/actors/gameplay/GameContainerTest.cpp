// The Game Container on the game's frame step: its parts, the search held
// frame after frame and dropped by one missed frame, the content handed
// over, put in and listened to, a trap set better the longer it is held,
// touch activation and the fitted event box.

#include "actors/gameplay/Door.h"
#include "actors/gameplay/GameContainer.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

namespace gameplay_test {
namespace {

class GameContainerTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        Room();
        container = Make<CQVGameContainer>(CLASS_GAME_CONTAINER, "Chest");
        PutInRoom(container);
        hero = Make(CLASS_CHARACTER, "Hero");
        Send(hero, MSG_SET_MASTER, 1u);
        // The container takes no use in its first second.
        Frames(33);
        std::vector<CQVActor*> sounds;
        for (ActorLink& sound : container->m_Sounds) sounds.push_back(sound.target);
        Watch({MSG_PLAY_SOUND, MSG_SET_FREQUENCY}, sounds);
        Watch({MSG_SEARCH_NOTICE, MSG_TRAP_SETUP_NOTICE}, {CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY)});
    }

    StandInItem* Item(uint32_t kind, const char* name = "Item") {
        auto* item = Make<StandInItem>(CLASS_GAME_OBJECT, name, container->m_SpawnPoint.target);
        item->kind = kind;
        return item;
    }
    void Use(uint32_t item = 0xFFFFFFFF) {
        const uint32_t use[2] = {hero->m_Id, item};
        container->HandleMessage(MSG_ACTION, Args_Of(use));
    }
    // Uses it before each of the next count frames.
    void Hold(int count, uint32_t item = 0xFFFFFFFF) {
        for (int i = 0; i < count; ++i) {
            Use(item);
            Frames(1);
        }
    }
    size_t Heard(const std::string& who, uint32_t id) const { return HeardBy(who, {id}).size(); }

    CQVGameContainer* container = nullptr;
    CQVActor* hero = nullptr;
};

TEST_F(GameContainerTest, ANewContainerIsAnObjectWithItsSpawnPointSoundsAndEventBox) {
    std::vector<std::string> names;
    for (CQVActor* child : container->m_Children) names.push_back(child->m_Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Object", "Spawn", "Empty Sound", "Item Sound", "Trap Sound"}));
    EXPECT_EQ(container->m_SpawnPoint.target, container->m_Children[1]);
    EXPECT_EQ(container->m_Sounds[CONTAINER_SOUND_TRAP].target, container->m_Children[4]);
    ASSERT_EQ(container->m_ColObjs.size(), 1u);
    const ColObj& box = container->m_ColObjs[0];
    EXPECT_EQ(box.name, "Event");
    EXPECT_EQ(box.boxMin.y, 10.0f);
    EXPECT_EQ(box.boxMax.x, 20.0f);
    EXPECT_EQ(box.flags, COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_RECEIVES);
    EXPECT_TRUE(container->HasProcess());
}

// Two seconds of use hand the item over; one frame without use starts the
// search over.
TEST_F(GameContainerTest, TheSearchNeedsTheUseHeldEveryFrame) {
    Send(container, MSG_SET_SEARCH_TIME, 2.0f);
    StandInItem* item = Item(3);
    Hold(40);
    EXPECT_EQ(container->m_Searching, 1u);
    Frames(1);
    EXPECT_EQ(container->m_Searching, 0u) << "let go for a frame";
    EXPECT_EQ(container->m_SearchElapsed, 0.0f);
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 0u);
    EXPECT_EQ(Heard("Inventory", MSG_SEARCH_NOTICE), 41u);
    Hold(64);
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 0u);
    Hold(1);
    const std::vector<gameplay_test::Heard> given = HeardBy("Item", {MSG_SET_STATE_ACTIVATE});
    ASSERT_EQ(given.size(), 1u);
    EXPECT_EQ(given[0].word, hero->m_Id);
    EXPECT_EQ(container->m_Searching, 0u);
    EXPECT_EQ(item->m_Parent, container->m_SpawnPoint.target);
}

TEST_F(GameContainerTest, WithNoSearchTimeTheContentGoesAtOnceAndTheContainerWithIt) {
    Send(container, MSG_SET_SEARCH_TIME, 0.0f);
    Send(container, MSG_SET_DELETE_AFTER_ACTIVATION, 1u);
    Item(3);
    const uint32_t id = container->m_Id;
    Use();
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 1u);
    Frames(1);
    EXPECT_EQ(CQVActorSystem::GetActorById(id), nullptr) << "deleted after its content was taken";
}

// An empty container sounds empty: at once without a search time, at the
// end of a whole search with one.
TEST_F(GameContainerTest, AnEmptyContainerSoundsEmptyWhenTheSearchEnds) {
    Send(container, MSG_SET_SEARCH_TIME, 0.5f);
    Hold(16);
    EXPECT_EQ(Heard("Empty Sound", MSG_PLAY_SOUND), 0u);
    Hold(1);
    EXPECT_EQ(Heard("Empty Sound", MSG_PLAY_SOUND), 1u);
    Frames(40);
    Send(container, MSG_SET_SEARCH_TIME, 0.0f);
    Use();
    EXPECT_EQ(Heard("Empty Sound", MSG_PLAY_SOUND), 2u);
}

TEST_F(GameContainerTest, AnItemInTheHandIsPutInAndListenedTo) {
    Send(container, MSG_LISTEN_TO_CONTAINER);
    EXPECT_EQ(Heard("Empty Sound", MSG_PLAY_SOUND), 1u);
    auto* coin = Make<StandInItem>(CLASS_GAME_OBJECT, "Coin");
    coin->kind = 0;
    Use(coin->m_Id);
    EXPECT_EQ(coin->m_Parent, container->m_SpawnPoint.target);
    EXPECT_EQ(Heard("Coin", MSG_SET_STATE_CONTAINER), 1u);
    Send(container, MSG_LISTEN_TO_CONTAINER);
    EXPECT_EQ(Heard("Item Sound", MSG_PLAY_SOUND), 1u);
    coin->kind = 1;
    Send(container, MSG_LISTEN_TO_CONTAINER);
    EXPECT_EQ(Heard("Trap Sound", MSG_PLAY_SOUND), 1u);
    EXPECT_EQ(HeardBy("Trap Sound", {MSG_SET_FREQUENCY})[0].real, 1.2f);
}

TEST_F(GameContainerTest, ADoorContainerOpensItsDoorWhenUsed) {
    Send(container, MSG_SET_CONTAINER_TYPE, CONTAINER_DOOR);
    ASSERT_EQ(container->m_Children[0]->m_ClassType, CLASS_DOOR);
    auto* door = static_cast<CQVDoor*>(container->m_Children[0]);
    Send(container, MSG_PRECALCULATE);
    Frames(33);
    Send(container, MSG_SET_SEARCH_TIME, 0.0f);
    Use();
    EXPECT_EQ(door->m_State, DOOR_OPENING);
}

struct TrapCase {
    const char* what;
    int uses;           // uses before the frame that lets go
    bool set;
    float quality;
};

class GameContainerTrap : public GameContainerTest, public testing::WithParamInterface<TrapCase> {};

// A trap takes 1 s at the least and 2 s at the most: let go at 1 s it is set
// at half strength, at 2 s at full strength, before 1 s not at all.
TEST_P(GameContainerTrap, TheLongerATrapIsHeldTheStrongerItIsSet) {
    auto* trap = Make<StandInItem>(CLASS_GAME_OBJECT, "Trap");
    trap->kind = 1;
    trap->setupMin = 1.0f;
    trap->setupMax = 2.0f;
    trap->holdTime = 10.0f;
    trap->effects = {{100.0f, 5.0f}, {-20.0f, 1.0f}};
    Hold(GetParam().uses, trap->m_Id);
    Frames(1);
    EXPECT_EQ(container->m_Trap.running, 0u);
    if (!GetParam().set) {
        EXPECT_EQ(trap->m_Parent, scenery);
        EXPECT_EQ(trap->holdTime, 10.0f);
        EXPECT_LT(container->m_TrapDelay, 0.0f);
        return;
    }
    const float q = GetParam().quality;
    EXPECT_EQ(trap->m_Parent, container->m_SpawnPoint.target);
    EXPECT_FLOAT_EQ(trap->holdTime, 10.0f * q);
    EXPECT_FLOAT_EQ(trap->effects[0].value, 100.0f * q);
    EXPECT_FLOAT_EQ(trap->effects[0].time, 5.0f * q);
    EXPECT_FLOAT_EQ(trap->effects[1].value, -20.0f * q);
    EXPECT_EQ(container->m_TrapDelay, 3.0f);
    EXPECT_EQ(Heard("Inventory", MSG_TRAP_SETUP_NOTICE), static_cast<size_t>(GetParam().uses + 1));
    // A spawn point that holds something takes no second trap.
    auto* second = Make<StandInItem>(CLASS_GAME_OBJECT, "Second");
    second->kind = 1;
    Frames(97);
    Use(second->m_Id);
    EXPECT_EQ(container->m_Trap.running, 0u);
}

INSTANTIATE_TEST_SUITE_P(HeldFor, GameContainerTrap,
                         testing::Values(TrapCase{"LetGoEarly", 20, false, 0.0f},
                                         TrapCase{"TheLeastTime", 31, true, 0.5f},
                                         TrapCase{"TheGreatestTime", 63, true, 1.0f}),
                         [](const testing::TestParamInfo<TrapCase>& info) { return std::string(info.param.what); });

// A trap whose least and greatest times are one is set at full strength,
// never by a division by nothing.
TEST_F(GameContainerTest, ATrapOfOneSetupTimeIsSetAtFullStrength) {
    auto* trap = Make<StandInItem>(CLASS_GAME_OBJECT, "Trap");
    trap->kind = 1;
    trap->setupMin = trap->setupMax = 1.0f;
    trap->holdTime = 10.0f;
    Hold(31, trap->m_Id);
    Frames(1);
    EXPECT_EQ(trap->m_Parent, container->m_SpawnPoint.target);
    EXPECT_EQ(trap->holdTime, 10.0f);
}

TEST_F(GameContainerTest, ATouchActivatesOnlyAContainerTriggeredByCollision) {
    Item(3);
    ColObj body;
    body.flags = COLOBJ_ACTIVE | 0x20;
    body.owner = hero;
    ColObj* pair[2] = {&body, &container->m_ColObjs[0]};
    container->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 0u);
    Send(container, MSG_SET_TRIGGER_TYPE, CONTAINER_TRIGGER_ON_COLLISION);
    container->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 1u);
    EXPECT_EQ(container->m_TouchDelay, 4.0f);
    container->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    EXPECT_EQ(Heard("Item", MSG_SET_STATE_ACTIVATE), 1u) << "not again within the touch delay";
}

// The box is fitted to the parts' bounds in the container's own space; with
// nothing that has bounds it keeps the box it had.
TEST_F(GameContainerTest, TheEventBoxFitsThePartsOrStaysAsItWas) {
    Send(container, MSG_SET_POSITION, Vector3(100.0f, 0.0f, 0.0f));
    Send(container->m_Children[0], MSG_SET_POSITION, Vector3(10.0f, 0.0f, 0.0f));
    Send(container, MSG_CALCULATE_EVENT_BOX);
    const ColObj& box = container->m_ColObjs[0];
    EXPECT_NEAR(box.boxMin.x, 5.0f, 1e-4f);
    EXPECT_NEAR(box.boxMax.x, 15.0f, 1e-4f);
    EXPECT_NEAR(box.boxMax.y, 30.0f, 1e-4f);

    Send(container, MSG_SET_CONTAINER_TYPE, CONTAINER_TRAP_WIRE);
    g_ActorSystem->DeleteActor(CQVActor::FindDescendantByName(container, "Wire"));
    Send(container, MSG_CALCULATE_EVENT_BOX);
    EXPECT_EQ(container->m_ColObjs[0].boxMin.x, -20.0f);
    EXPECT_EQ(container->m_ColObjs[0].boxMax.y, 60.0f);
}

}  // namespace
}  // namespace gameplay_test
