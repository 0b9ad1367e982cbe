// The Door on the game's frame step: its movement, events and sounds frame
// by frame, its lock worked with keys and with "Action" held, the
// auto-close that a character in the doorway holds off, its parts and its
// portal.

#include "actors/gameplay/Door.h"
#include "actors/scene/DrawGroupConnector.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

#include <cmath>

namespace gameplay_test {
namespace {

class DoorTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        Room();
        door = Make<CQVDoor>(CLASS_DOOR, "Door");
        PutInRoom(door);
        Send(door, MSG_SET_DOOR_TYPE, DOOR_SINGLE);
        Make(CLASS_SOUND, "Opening", door);
        Make(CLASS_SOUND, "Closing", door);
        Send(door, MSG_PRECALCULATE);
        Send(door, MSG_SET_DOOR_OPEN_TIME, 0.25f);
        Send(door, MSG_SET_DOOR_CLOSE_TIME, 0.25f);
        Send(door, MSG_SET_DOOR_AUTOCLOSE_TIME, 0.5f);
        hero = Make(CLASS_CHARACTER, "Hero");
        Send(hero, MSG_SET_MASTER, 1u);
        heroBody.flags = COLOBJ_ACTIVE | 0x40;
        heroBody.owner = hero;
        // The new actors settle into the room, as a level's do before anyone acts.
        Frames(2);
    }

    CQVActor* Leaf(int i) const { return door->m_Leaves[i].target; }

    // What the door told and played, from now on, by the frame counted from now.
    void Listen() {
        Watch({MSG_ON_DOOR_OPEN, MSG_ON_DOOR_OPENED, MSG_ON_DOOR_CLOSE, MSG_ON_DOOR_CLOSED, MSG_ON_DOOR_LOCK,
               MSG_ON_DOOR_UNLOCK, MSG_ON_DOOR_LOCKED},
              {door});
        std::vector<CQVActor*> sounds;
        for (ActorLink& sound : door->m_Sounds) sounds.push_back(sound.target);
        Watch({MSG_PLAY_SOUND, MSG_STOP_SOUND}, sounds);
        Watch({MSG_LOCK_ATTEMPT_NOTICE}, {CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY)});
        g_Heard.clear();
        start = g_FrameNumber;
    }
    std::vector<std::string> Heard(std::vector<uint32_t> ids = {}) const {
        std::vector<std::string> lines;
        for (const gameplay_test::Heard& heard : g_Heard) {
            if (!ids.empty() && std::find(ids.begin(), ids.end(), heard.id) == ids.end()) continue;
            lines.push_back(std::to_string(heard.frame - start) + " " + heard.who + " " +
                            GetCommandDesc(heard.id).name);
        }
        return lines;
    }

    void Use(uint32_t item = 0xFFFFFFFF) {
        const uint32_t use[2] = {hero->m_Id, item};
        door->HandleMessage(MSG_ACTION, Args_Of(use));
    }
    void Touch() {
        ColObj* pair[2] = {&heroBody, door->m_ColObjs.empty() ? &heroBody : &door->m_ColObjs[0]};
        door->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    }
    StandInItem* Key(uint32_t groups, float multiplier) {
        auto* key = Make<StandInItem>(CLASS_GAME_OBJECT, "Key");
        key->kind = 2;
        key->keyGroups = groups;
        key->keyTime = multiplier;
        return key;
    }

    CQVDoor* door = nullptr;
    CQVActor* hero = nullptr;
    ColObj heroBody;
    uint32_t start = 0;
};

bool Near(const Quaternion& a, const Quaternion& b) {
    return std::fabs(a.x - b.x) < 1e-4f && std::fabs(a.y - b.y) < 1e-4f && std::fabs(a.z - b.z) < 1e-4f &&
           std::fabs(a.w - b.w) < 1e-4f;
}

class DoorTiming : public DoorTest, public testing::WithParamInterface<uint32_t> {};

// Open 0.25 s, auto-close after 0.5 s, close 0.25 s, at 32 frames a second:
// the door moves in frames 1 to 8, is open from 9, starts closing in 26
// (0.5 s after 9), moves in 27 to 34 and settles in 36, the frame after the
// one that closes its portal.
TEST_P(DoorTiming, OpensClosesAndSoundsFrameByFrame) {
    const uint32_t switched = GetParam();
    Send(door, MSG_SET_SOUND_SWITCH, switched);
    Listen();
    Send(door, MSG_OPEN_DOOR_300);
    Frames(8);
    EXPECT_EQ(door->m_State, DOOR_OPENING);
    Frames(1);
    EXPECT_EQ(door->m_State, DOOR_OPEN);
    const float half = std::sqrt(0.5f);
    EXPECT_TRUE(Near(Leaf(0)->m_Rotation, Quaternion{0.0f, half, 0.0f, half})) << Leaf(0)->m_Rotation.y;
    Frames(27);
    EXPECT_EQ(door->m_State, DOOR_CLOSED);
    EXPECT_TRUE(Near(Leaf(0)->m_Rotation, Quaternion{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_FALSE(door->HasProcess());
    std::vector<std::string> expected = {"1 Open Play Sound", "1 Opening Play Sound", "1 Door On Door Open",
                                         "9 Opening Stop Sound"};
    if (switched) expected.push_back("9 Close Play Sound");
    expected.push_back("9 Door On Door Opened");
    if (switched) expected.push_back("26 Open Play Sound");
    expected.insert(expected.end(), {"26 Closing Play Sound", "26 Door On Door Close", "36 Close Play Sound",
                                     "36 Opening Stop Sound", "36 Closing Stop Sound", "36 Door On Door Closed"});
    EXPECT_EQ(Heard(), expected);
}

INSTANTIATE_TEST_SUITE_P(SoundStyle, DoorTiming, testing::Values(0u, 1u));

TEST_F(DoorTest, AFittingKeyLocksAnOpenableDoorAndOpensItWhenLocked) {
    Send(door, MSG_SET_LOCKGROUP, 0x2u);
    StandInItem* key = Key(0x6, 0.0f);
    Listen();
    Use(key->m_Id);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 1u);
    EXPECT_EQ(door->m_State, DOOR_CLOSED) << "locking does not open";
    // A second of drawn time must pass before the next use counts.
    Frames(31);
    Use(key->m_Id);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 1u);
    Frames(1);
    Use(key->m_Id);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 0u);
    EXPECT_EQ(door->m_State, DOOR_OPENING);
    Frames(1);
    EXPECT_EQ(Heard(), (std::vector<std::string>{"0 Door On Door Lock", "32 Door On Door Unlock", "33 Open Play Sound",
                                                 "33 Opening Play Sound", "33 Door On Door Open"}));
}

struct AttemptCase {
    const char* what;
    uint32_t keyGroups;  // 0: no key in the hand
    float multiplier;
    int frames;          // steps until the lock gives
};

class DoorAttempt : public DoorTest, public testing::WithParamInterface<AttemptCase> {};

// A locked door is worked open by using it frame after frame for the lock
// time, or the lock time scaled by a key's multiplier; the Inventory hears
// of the progress from 0.1 s on.
TEST_P(DoorAttempt, HoldingActionWorksTheLockOpen) {
    Send(door, MSG_SET_LOCKGROUP, 0x2u);
    Send(door, MSG_SET_LOCK_TIME, 1.0f);
    Send(door, MSG_SET_LOCK_LOCKED, 1u);
    const uint32_t item = GetParam().keyGroups ? Key(GetParam().keyGroups, GetParam().multiplier)->m_Id : 0xFFFFFFFF;
    Listen();
    for (int i = 0; i < GetParam().frames - 1; ++i) {
        Use(item);
        Frames(1);
    }
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 1u);
    Use(item);
    Frames(1);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 0u);
    EXPECT_EQ(door->m_State, DOOR_OPENING);
    const std::vector<std::string> events = Heard({MSG_ON_DOOR_LOCKED, MSG_ON_DOOR_UNLOCK, MSG_ON_DOOR_OPEN});
    const std::string last = std::to_string(GetParam().frames);
    EXPECT_EQ(events, (std::vector<std::string>{"0 Door On Door Locked", last + " Door On Door Unlock"}));
    std::vector<gameplay_test::Heard> notices = HeardBy("Inventory", {MSG_LOCK_ATTEMPT_NOTICE});
    ASSERT_EQ(notices.size(), static_cast<size_t>(GetParam().frames - 3));
    EXPECT_EQ(notices.front().frame - start, 4u);
    EXPECT_EQ(notices.back().real, static_cast<float>(GetParam().frames) / 32.0f);
}

INSTANTIATE_TEST_SUITE_P(Keys, DoorAttempt,
                         testing::Values(AttemptCase{"bare hands", 0, 0.0f, 33},
                                         AttemptCase{"a key of another group", 0x1, 0.0f, 33},
                                         AttemptCase{"a slow key", 0x2, 0.5f, 17}),
                         [](const testing::TestParamInfo<AttemptCase>& info) {
                             std::string name = info.param.what;
                             std::erase(name, ' ');
                             return name;
                         });

TEST_F(DoorTest, LettingGoForOneFrameDropsTheAttemptSilently) {
    Send(door, MSG_SET_LOCKGROUP, 0x1u);
    Send(door, MSG_SET_LOCK_TIME, 1.0f);
    Send(door, MSG_SET_LOCK_LOCKED, 1u);
    Listen();
    for (int i = 0; i < 10; ++i) {
        Use();
        Frames(1);
    }
    Frames(1);
    EXPECT_EQ(door->m_Attempt.active, 0u);
    EXPECT_FALSE(door->HasProcess()) << "a closed door with nothing to count has no step";
    Frames(40);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 1u);
    EXPECT_EQ(Heard({MSG_ON_DOOR_LOCKED, MSG_ON_DOOR_UNLOCK}), (std::vector<std::string>{"0 Door On Door Locked"}));
    // The next use starts over.
    Use();
    EXPECT_EQ(door->m_Attempt.active, 1u);
    EXPECT_EQ(door->m_Attempt.elapsed, 0.0f);
}

// A script may open a locked door while someone works its lock; when that
// attempt is dropped, the door still moves to its end.
TEST_F(DoorTest, ADroppedAttemptDoesNotFreezeADoorThatMoves) {
    Send(door, MSG_SET_LOCKGROUP, 0x1u);
    Send(door, MSG_SET_LOCK_LOCKED, 1u);
    Use();
    Frames(1);
    Send(door, MSG_OPEN_DOOR_300);
    Use();
    Frames(1);
    ASSERT_EQ(door->m_State, DOOR_OPENING);
    Frames(1);  // no use: the attempt is dropped
    EXPECT_EQ(door->m_Attempt.active, 0u);
    Frames(10);
    EXPECT_EQ(door->m_State, DOOR_OPEN);
}

TEST_F(DoorTest, ACharacterInTheDoorwayHoldsOffTheAutoClose) {
    auto* camera = Make(CLASS_CAMERA, "Camera");
    static_cast<StandInCharacter*>(hero)->camera = camera;
    Send(door, MSG_OPEN_DOOR_300);
    Frames(9 + 16);
    for (int i = 0; i < 20; ++i) {
        Touch();
        Frames(1);
    }
    EXPECT_EQ(door->m_State, DOOR_OPEN);
    Frames(2);
    EXPECT_EQ(door->m_State, DOOR_CLOSING);
    // Without the flag the door closes on time, touched or not.
    Send(door, MSG_SET_DOOR_NEVER_AUTOCLOSE_ON_COLLISION, 0u);
    Frames(11);
    ASSERT_EQ(door->m_State, DOOR_CLOSED);
    Send(door, MSG_OPEN_DOOR_300);
    Frames(9 + 16);
    Touch();
    Frames(1);
    EXPECT_EQ(door->m_State, DOOR_CLOSING);
}

TEST_F(DoorTest, AutoOpenOpensForThePlayerUnlessLocked) {
    Send(door, MSG_SET_DOOR_AUTOOPEN, 1u);
    Send(door, MSG_SET_LOCKGROUP, 0x1u);
    Send(door, MSG_SET_LOCK_LOCKED, 1u);
    Touch();
    EXPECT_EQ(door->m_State, DOOR_CLOSED);
    Send(door, MSG_SET_LOCK_LOCKED, 0u);
    Send(hero, MSG_SET_MASTER, 0u);
    Touch();
    EXPECT_EQ(door->m_State, DOOR_CLOSED) << "only the player's character opens it";
    Send(hero, MSG_SET_MASTER, 1u);
    Touch();
    EXPECT_EQ(door->m_State, DOOR_OPENING);
}

struct AwayCase {
    Vector3 opener;
    float sign;
};

class DoorAway : public DoorTest, public testing::WithParamInterface<AwayCase> {};

TEST_P(DoorAway, TheLeafTurnsAwayFromTheOpener) {
    Send(door, MSG_SET_DOOR_OPEN_AWAY_FROM_OPENER, 1u);
    Send(hero, MSG_SET_POSITION, GetParam().opener);
    Send(door, MSG_OPEN_DOOR_302, hero->m_Id);
    EXPECT_FLOAT_EQ(door->m_AngularSpeed, GetParam().sign * 1.5707964f / 0.25f);
    Frames(9 + 17);
    ASSERT_EQ(door->m_State, DOOR_CLOSING);
    EXPECT_FLOAT_EQ(door->m_AngularSpeed, -GetParam().sign * 1.5707964f / 0.25f) << "closing turns back";
}

INSTANTIATE_TEST_SUITE_P(Sides, DoorAway,
                         testing::Values(AwayCase{Vector3(10.0f, 0.0f, 50.0f), 1.0f},
                                         AwayCase{Vector3(10.0f, 0.0f, -50.0f), -1.0f},
                                         // x exactly 0 never turns away, as "Open Door" without an opener.
                                         AwayCase{Vector3(0.0f, 0.0f, -50.0f), 1.0f}));

TEST_F(DoorTest, TheSettersKeepTheirRanges) {
    Send(door, MSG_SET_DOOR_OPEN_TIME, 0.0f);
    EXPECT_EQ(Ask<float>(door, MSG_GET_DOOR_OPEN_TIME), 0.01f);
    Send(door, MSG_SET_OPEN_LENGTH, 0.5f);
    EXPECT_EQ(Ask<float>(door, MSG_GET_OPEN_LENGTH), 1.0f);
    Send(door, MSG_SET_OPEN_ANGLE, 90.0f);
    EXPECT_FLOAT_EQ(door->m_OpenAngle, 1.5707964f);
    EXPECT_NEAR(Ask<float>(door, MSG_GET_OPEN_ANGLE), 90.0f, 1e-4f);
    Send(door, MSG_SET_DOORAXIS, 2u);
    EXPECT_EQ(Ask<Vector3>(door, MSG_GET_DOOR_AXIS).z, -1.0f);
    Send(door, MSG_SET_DOORAXIS, 9u);
    EXPECT_EQ(Ask<Vector3>(door, MSG_GET_DOOR_AXIS).z, -1.0f) << "an unknown code keeps the axis";
    // A door of no lock group has no lock.
    Listen();
    Send(door, MSG_SET_LOCK_LOCKED, 1u);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCK_LOCKED), 0u);
    EXPECT_EQ(Heard(), (std::vector<std::string>{"0 Door On Door Unlock"}));
    const struct {
        uint32_t group;
        uint32_t on;
    } groups[] = {{3, 1}, {32, 1}, {0, 1}, {33, 1}, {3, 0}};
    for (const auto& g : groups) Send(door, MSG_SET_LOCK_GROUP, g);
    EXPECT_EQ(Ask<uint32_t>(door, MSG_GET_LOCKGROUP), 0x80000000u);
}

// The parts are rebuilt whether or not the door has its connector; the new
// leaves move, two in opposite senses or directions.
TEST_F(DoorTest, SetDoorTypeRebuildsThePartsTheLeavesMoveAndTheConnectorGoes) {
    Send(door, MSG_SET_USE_CONNECTOR, 1u);
    Send(door, MSG_SET_USE_CONNECTOR, 1u);
    EXPECT_EQ(door->m_Children.size(), 8u);
    Send(door, MSG_SET_USE_CONNECTOR, 0u);
    Frames(1);
    ASSERT_EQ(door->m_Children.size(), 7u);
    EXPECT_EQ(door->m_Children.back()->m_ClassType, CLASS_DRAW_GROUP_CONNECTOR);

    Send(door, MSG_SET_DOOR_AUTOCLOSE, 0u);
    Send(door, MSG_SET_DOOR_TYPE, DOOR_DOUBLE);
    std::vector<std::string> names;
    for (CQVActor* child : door->m_Children) names.push_back(child->m_Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Door_Frame", "Door_1", "Door_2", "Open", "Close"}));
    ASSERT_NE(Leaf(1), nullptr);
    Send(door, MSG_OPEN_DOOR_300);
    Frames(9);
    EXPECT_NEAR(Leaf(0)->m_Rotation.y, std::sqrt(0.5f), 1e-4f);
    EXPECT_NEAR(Leaf(1)->m_Rotation.y, -std::sqrt(0.5f), 1e-4f);

    Send(door, MSG_SET_DOOR_TYPE, DOOR_DOUBLE_SIDE);
    Send(door, MSG_SET_DOORAXIS, 3u);
    Send(door, MSG_SET_OPEN_LENGTH, 40.0f);
    Frames(20);
    ASSERT_EQ(door->m_State, DOOR_OPEN);
    Send(door, MSG_CLOSE_DOOR);
    Frames(11);
    ASSERT_EQ(door->m_State, DOOR_CLOSED);
    Send(door, MSG_OPEN_DOOR_300);
    Frames(9);
    EXPECT_NEAR(Leaf(0)->m_Position.x, 40.0f, 1e-3f);
    EXPECT_NEAR(Leaf(1)->m_Position.x, -40.0f, 1e-3f);

    Send(door, MSG_SET_DOOR_TYPE, 7u);
    EXPECT_TRUE(door->m_Children.empty()) << "a type beyond the list builds nothing";
    EXPECT_EQ(Leaf(0), nullptr);
}

// With a connector the frame and leaves are updated where the draw pass
// reaches the portal, not by the door's own update.
TEST_F(DoorTest, WithAConnectorThePartsAreUpdatedThroughThePortal) {
    Send(door, MSG_SET_USE_CONNECTOR, 1u);
    Frames(1);
    const float before = Leaf(0)->m_LastUpdateTime;
    const float ready = door->m_ActionReadyTime;
    Frames(1);
    door->Update();
    EXPECT_EQ(Leaf(0)->m_LastUpdateTime, before);
    EXPECT_GT(door->m_ActionReadyTime, ready);
    door->OnVisible(kFrame);
    EXPECT_GT(Leaf(0)->m_LastUpdateTime, before);
}

// The portal opens with the door and closes in the frame its movement ends.
TEST_F(DoorTest, TheConnectorOpensAndClosesWithTheDoor) {
    Send(door, MSG_SET_USE_CONNECTOR, 1u);
    auto* portal = static_cast<CQVDrawGroupConnector*>(door->m_Children.back());
    ASSERT_EQ(portal->m_Name, "Door Connector");
    EXPECT_EQ(portal->m_Type, CONNECTOR_TYPE_DOOR);
    EXPECT_EQ(portal->m_Open, 0u);
    Send(door, MSG_OPEN_DOOR_300);
    EXPECT_EQ(portal->m_Open, 1u);
    Frames(9);
    Send(door, MSG_CLOSE_DOOR);
    Frames(9);
    EXPECT_EQ(portal->m_Open, 0u);
    EXPECT_EQ(door->m_State, DOOR_CLOSING);
    Frames(1);
    EXPECT_EQ(door->m_State, DOOR_CLOSED);
}

}  // namespace
}  // namespace gameplay_test
