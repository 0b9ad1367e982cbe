// The Player driven by keys, buttons and mouse motion pushed into the real
// input layer, one fixed frame of the frame loop at a time: what its
// Character and the menu's key actors are sent, the look settings, slow
// motion on the actor system's clock, and the developer chord's counter.

#include "tests/actors/characters/PlayerTestSupport.h"

#include "tests/actors/characters/CharacterTestSupport.h"

#include "actors/scene/Camera.h"
#include "tests/support/ActorRecordFile.h"

#include <cmath>
#include <cstring>

namespace {

using namespace playertest;

class PlayerTest : public PlayerFixture {};

TEST_F(PlayerTest, TheClassRecordsHoldTheirSheets) {
    const ClassRecord& record = g_ClassRecords[CLASS_PLAYER];
    EXPECT_EQ(record.name, "Player");
    EXPECT_EQ(record.description, "Player");
    EXPECT_EQ(record.chain, (std::vector<uint32_t>{0, 9}));
    ExpectSheet(record, {
                            {"Player Properties", 0x0d, 0, 0},
                            {"Type:|Foo|0|Kabal|1|", 0x10, MSG_SET_PLAYER_TYPE, MSG_GET_PLAYER_TYPE},
                            {"Control:|Control 1|0|Control 2|1|", 0x10, MSG_SET_CONTROLLERSET, MSG_GET_CONTROLLERSET},
                            {"Master:", 0x11, MSG_SET_MASTER, MSG_GET_MASTER},
                        });
    const ClassRecord& placeholder = g_ClassRecords[CLASS_PLAYER_2];
    EXPECT_EQ(placeholder.name, "Player 2");
    EXPECT_EQ(placeholder.description, "Do Not Use This!!!");
    EXPECT_EQ(placeholder.chain, (std::vector<uint32_t>{0, 49}));
    ExpectSheet(placeholder, {{"Player 2 Properties", 0x0d, 0, 0}});
}

// A new Player brings back normal speed: the slow-motion record and the
// actor system's clock.
TEST_F(PlayerTest, MakingAPlayerRestoresNormalSpeed) {
    g_CharactersState.slowMotion = SlowMotionState{0.2f, 0.3f, 1, 0.0f};
    ActorClock* clock = g_ActorSystem->m_Clock;
    clock->ownScale = 0.2f;
    clock->effectiveScale = 0.2f;
    clock->time = 12.0f;
    clock->dt = 0.004f;
    ASSERT_NE(MakePlayer(CHARACTER_FIRST_PERSON), nullptr);
    EXPECT_EQ(g_CharactersState.slowMotion.timeScale, 1.0f);
    EXPECT_EQ(g_CharactersState.slowMotion.burstActive, 0u);
    EXPECT_EQ(g_CharactersState.slowMotion.timeSinceRelease, 10.0f);
    EXPECT_EQ(clock->ownScale, 1.0f);
    EXPECT_EQ(clock->effectiveScale, 1.0f);
    EXPECT_EQ(clock->time, 0.0f);
    EXPECT_EQ(clock->dt, 0.0f);
}

TEST_F(PlayerTest, PairsStoreAndTheCharacterComesWithItsType) {
    CQVPlayer* player = MakePlayer(CHARACTER_THIRD_PERSON_SHOOTER);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->Character(), character);
    EXPECT_EQ(player->m_CharacterType, 4u);
    CQVActor* answer = nullptr;
    player->HandleMessage(MSG_GET_CHARACTER, Args_Of(&answer));
    EXPECT_EQ(answer, character);
    // The game's start hands the character as the block itself.
    g_StandInType = CHARACTER_CONSOLE;
    auto* other = g_ActorSystem->CreateActor(CLASS_CHARACTER, "Other", nullptr, scenery, ACTOR_ID_ANY, 1, 1);
    player->HandleMessage(MSG_SET_CHARACTER, MessageArgs(other, sizeof(CQVActor)));
    EXPECT_EQ(player->Character(), other);
    EXPECT_EQ(player->m_CharacterType, 5u);
    for (const auto& [set, get, value] : {std::tuple{MSG_SET_PLAYER_TYPE, MSG_GET_PLAYER_TYPE, 1u},
                                          std::tuple{MSG_SET_CONTROLLERSET, MSG_GET_CONTROLLERSET, 1u},
                                          std::tuple{MSG_SET_HOST, MSG_GET_HOST, 1u}}) {
        player->HandleMessage(set, Args_Of(&value));
        uint32_t read = 7;
        player->HandleMessage(get, Args_Of(&read));
        EXPECT_EQ(read, value) << set;
    }
    // A deleted Character counts as none.
    g_ActorSystem->DeleteActor(other);
    EXPECT_EQ(player->Character(), nullptr);
    Frames(30);
}

TEST_F(PlayerTest, ACopyTakesTheFieldsAndTheCharacter) {
    CQVPlayer* player = MakePlayer(CHARACTER_THIRD_PERSON);
    player->m_PlayerType = 1;
    player->m_ControlSet = 1;
    player->m_Host = 1;
    player->m_CharacterPath = "../Body";
    auto* copy = static_cast<CQVPlayer*>(g_ActorSystem->CloneActor(player, scenery, 1));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_PlayerType, 1u);
    EXPECT_EQ(copy->m_ControlSet, 1u);
    EXPECT_EQ(copy->m_Host, 1u);
    EXPECT_EQ(copy->m_CharacterType, 3u);
    EXPECT_EQ(copy->Character(), character);
}

TEST_F(PlayerTest, TheRecordEndsWithItsFourFieldsAndFindsItsCharacterByPath) {
    CQVPlayer* player = MakePlayer(CHARACTER_THIRD_PERSON);
    player->m_PlayerType = 1;
    player->m_ControlSet = 1;
    player->m_Host = 1;
    ActorRecordFile file;
    const uint32_t id = player->m_Id;
    const std::string path = CQVActorSystem::GetActorPath(character, player);
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(file.WriteAndForget(player, 70));
    const std::vector<char> bytes = file.Bytes();
    ASSERT_GE(bytes.size(), 16 + path.size());
    const char* tail = bytes.data() + bytes.size() - (16 + path.size());
    const uint32_t words[4] = {1, 3, 1, static_cast<uint32_t>(path.size())};
    EXPECT_EQ(std::memcmp(tail, words, 16), 0);
    EXPECT_EQ(std::string(tail + 16, path.size()), path);

    ASSERT_EQ(file.Load(), 1);
    auto* loaded = static_cast<CQVPlayer*>(CQVActorSystem::GetActorById(id));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_Host, 0u) << "not saved";
    EXPECT_EQ(loaded->m_CharacterType, 3u);
    EXPECT_EQ(loaded->m_CharacterPath, path);
    g_ActorSystem->MoveActor(loaded, scenery);
    loaded->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(loaded->Character(), character);
    EXPECT_NE(loaded->FindTimedMessage(MSG_PROCESS), nullptr);
}

// "Start Game" makes the master Player and hands it the clone of
// "PlayerCharacter" named "GA1_Player".
TEST_F(PlayerTest, StartGameGivesTheMasterPlayerItsCharacter) {
    g_StandInType = CHARACTER_FIRST_PERSON;
    ASSERT_NE(g_ActorSystem->CreateActor(CLASS_CHARACTER, "PlayerCharacter", nullptr, scenery, ACTOR_ID_ANY, 1, 1),
              nullptr);
    g_ActorSystem->HandleMessage(MSG_START_GAME, nullptr);
    const std::vector<uint32_t> players = CQVActorSystem::FindActorsByName("MASTERPLAYER", CLASS_PLAYER);
    ASSERT_EQ(players.size(), 1u);
    auto* player = static_cast<CQVPlayer*>(CQVActorSystem::GetActorById(players[0]));
    EXPECT_TRUE(player->m_Flags & ACTOR_MASTER);
    ASSERT_NE(player->Character(), nullptr);
    EXPECT_EQ(player->Character()->m_Name, "GA1_Player");
    EXPECT_EQ(Script_GetGAVariable(1), player->Character());
    EXPECT_EQ(player->m_CharacterType, 1u);
    EXPECT_NE(player->FindTimedMessage(MSG_PROCESS), nullptr);

    WarmUp();
    PushKey(SDL_SCANCODE_SPACE, true);
    Frames(1);
    EXPECT_EQ(HeardBy("GA1_Player", {MSG_CC_JUMP}), std::vector<uint32_t>{MSG_CC_JUMP});
}

// The first 0.4 s of running time the Player sends nothing.
TEST_F(PlayerTest, TheWarmUpSendsNothing) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    PushKey(SDL_SCANCODE_W, true);
    Frames(19);
    EXPECT_EQ(LastHeard("Body", MSG_SET_DESIRED_MOVEMENT), nullptr) << "0.38 s";
    Frames(2);
    EXPECT_NE(LastHeard("Body", MSG_SET_DESIRED_MOVEMENT), nullptr) << "0.42 s";
}

struct SchemeCase {
    uint32_t type;
    bool master;
    bool acts;
};

void PrintTo(const SchemeCase& c, std::ostream* out) { *out << "type " << c.type << (c.master ? " master" : ""); }

class Schemes : public PlayerFixture, public testing::WithParamInterface<SchemeCase> {};

// The keyboard schemes need the Master flag; the analog-stick scheme runs
// for any Player; the other types do nothing.
TEST_P(Schemes, SendOnlyForTheirTypes) {
    const SchemeCase& c = GetParam();
    MakePlayer(c.type, c.master);
    WarmUp();
    const bool sent = LastHeard("Body", MSG_SET_DESIRED_MOVEMENT) || LastHeard("Body", MSG_SET_ROT_Y_3D0);
    EXPECT_EQ(sent, c.acts);
}

INSTANTIATE_TEST_SUITE_P(Types, Schemes,
                         testing::Values(SchemeCase{0, true, false}, SchemeCase{1, true, true},
                                         SchemeCase{1, false, false}, SchemeCase{2, true, false},
                                         SchemeCase{3, true, true}, SchemeCase{4, true, true},
                                         SchemeCase{4, false, false}, SchemeCase{5, false, true},
                                         SchemeCase{6, true, false}, SchemeCase{8, true, false}));

// The mouse's offset from the screen centre is the look step: yaw and the
// pitch (inverted at start) scaled by the sensitivity, each sent twice.
TEST_F(PlayerTest, LookFollowsTheMouseWithSensitivityAndInversion) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    WarmUp();
    const auto moveMouse = [&](int dx, int dy) {
        int left = 0, top = 0, width = 0, height = 0;
        Platform_GetWindowRect(s_Window, &left, &top, &width, &height);
        PushMotion(Platform_GetScreenWidth() / 2 + dx - left, Platform_GetScreenHeight() / 2 + dy - top);
        g_Heard.clear();
        Frames(1);
    };
    const auto look = [&] {
        std::vector<float> values;
        for (const Heard& h : g_Heard) {
            if (h.who == "Body" && std::find(kLook.begin(), kLook.end(), h.id) != kLook.end()) values.push_back(h.value);
        }
        EXPECT_EQ(HeardBy("Body", kLook), kLook) << "yaw, pitch, then the second offsets";
        return values;
    };
    // 100 pixels right and 50 up: axes 3.2 and -1.6.
    moveMouse(100, -50);
    std::vector<float> values = look();
    ASSERT_EQ(values.size(), 4u);
    EXPECT_FLOAT_EQ(values[0], 0.16f);
    EXPECT_FLOAT_EQ(values[1], -0.08f) << "inverted at start";
    EXPECT_FLOAT_EQ(values[2], 0.16f);
    EXPECT_FLOAT_EQ(values[3], -0.08f);

    PushKey(SDL_SCANCODE_F2, true);
    moveMouse(100, -50);
    EXPECT_EQ(g_MouseInvertY, 0u);
    values = look();
    EXPECT_FLOAT_EQ(values[1], 0.08f);
    PushKey(SDL_SCANCODE_F2, false);
    Frames(1);

    // F3 lowers the sensitivity by 0.04 down to 0.07; F4 raises it by 0.07 up to 5.0.
    for (int i = 0; i < 24; ++i) {
        PushKey(SDL_SCANCODE_F3, true);
        Frames(1);
        PushKey(SDL_SCANCODE_F3, false);
        Frames(1);
        if (i == 22) {
            EXPECT_NEAR(g_MouseSensitivity, 0.08f, 1e-5f);
        }
    }
    EXPECT_FLOAT_EQ(g_MouseSensitivity, 0.07f);
    moveMouse(100, 0);
    EXPECT_FLOAT_EQ(look()[0], 3.2f * 0.07f * 0.05f);
    g_MouseSensitivity = 4.99f;
    PushKey(SDL_SCANCODE_F4, true);
    Frames(1);
    EXPECT_FLOAT_EQ(g_MouseSensitivity, 5.0f);
}

struct MoveCase {
    const char* name;
    std::vector<SDL_Scancode> keys;
    Vector3 view;
    Vector3 desired;
    float angle;  // the Character's input-direction angle afterwards
};

void PrintTo(const MoveCase& c, std::ostream* out) { *out << c.name; }

class Movement : public PlayerFixture, public testing::WithParamInterface<MoveCase> {};

// Held keys make a movement vector; the Character gets it turned by the
// camera's heading and negated, and its input-direction angle from the raw
// vector.
TEST_P(Movement, HeldKeysGiveTheDesiredMovement) {
    const MoveCase& c = GetParam();
    MakePlayer(CHARACTER_THIRD_PERSON);
    character->m_DesiredYawOffset = 0.7f;
    LookAlong(c.view);
    WarmUp();
    for (SDL_Scancode key : c.keys) PushKey(key, true);
    Frames(2);
    const Heard* movement = LastHeard("Body", MSG_SET_DESIRED_MOVEMENT);
    ASSERT_NE(movement, nullptr);
    EXPECT_NEAR(movement->vector.x, c.desired.x, 1e-5f);
    EXPECT_EQ(movement->vector.y, 0.0f);
    EXPECT_NEAR(movement->vector.z, c.desired.z, 1e-5f);
    EXPECT_NEAR(character->m_DesiredYawOffset, c.angle, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Movement,
    testing::Values(MoveCase{"Forward", {SDL_SCANCODE_W}, {0, 0, 1}, {0, 0, -1}, 0.0f},
                    MoveCase{"BackwardByArrow", {SDL_SCANCODE_DOWN}, {0, 0, 1}, {0, 0, 1}, 3.14159265f},
                    MoveCase{"Right", {SDL_SCANCODE_D}, {0, 0, 1}, {-1, 0, -0.05f}, std::acos(0.05f / std::sqrt(1.0025f))},
                    MoveCase{"Left", {SDL_SCANCODE_A}, {0, 0, 1}, {1, 0, -0.05f}, -std::acos(0.05f / std::sqrt(1.0025f))},
                    // Both sides cancel and leave a slow forward creep.
                    MoveCase{"LeftAndRight", {SDL_SCANCODE_A, SDL_SCANCODE_D}, {0, 0, 1}, {0, 0, -0.1f}, 0.0f},
                    MoveCase{"ForwardWithTheCameraAlongX", {SDL_SCANCODE_W}, {1, 0, 0}, {-1, 0, 0}, 0.0f},
                    // No input still sends a zero vector and keeps the angle.
                    MoveCase{"Nothing", {}, {0, 0, 1}, {0, 0, 0}, 0.7f}),
    [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

struct StanceCase {
    const char* name;
    uint32_t type;
    char letter;
    SDL_Scancode key;
    std::vector<uint32_t> onPress;
    std::vector<uint32_t> onRelease;
};

void PrintTo(const StanceCase& c, std::ostream* out) { *out << c.name; }

class Stance : public PlayerFixture, public testing::WithParamInterface<StanceCase> {};

TEST_P(Stance, CrouchAndRunToggle) {
    const StanceCase& c = GetParam();
    MakePlayer(c.type);
    character->m_MotionLetter = c.letter;
    WarmUp();
    g_Heard.clear();
    PushKey(c.key, true);
    Frames(3);
    EXPECT_EQ(HeardBy("Body", kCommands), c.onPress);
    g_Heard.clear();
    PushKey(c.key, false);
    Frames(1);
    EXPECT_EQ(HeardBy("Body", kCommands), c.onRelease);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Stance,
    testing::Values(
        StanceCase{"Crouch", 3, 'N', SDL_SCANCODE_LCTRL, {MSG_CC_STATE_CROUCH}, {MSG_CC_STATE_NEUTRAL}},
        StanceCase{"Run", 1, 'N', SDL_SCANCODE_LSHIFT, {MSG_CC_STATE_RUN}, {MSG_CC_STATE_NEUTRAL}},
        StanceCase{"NoRunWhileCrouching", 3, 'C', SDL_SCANCODE_LSHIFT, {}, {MSG_CC_STATE_NEUTRAL}},
        // The shooter rests running: the toggle walks and both releases run again.
        StanceCase{"ShooterWalks", 4, 'R', SDL_SCANCODE_LSHIFT, {MSG_CC_STATE_NEUTRAL}, {MSG_CC_STATE_RUN}},
        StanceCase{"ShooterCrouches", 4, 'R', SDL_SCANCODE_LCTRL, {MSG_CC_STATE_CROUCH}, {MSG_CC_STATE_RUN}},
        StanceCase{"Jump", 1, 'N', SDL_SCANCODE_SPACE, {MSG_CC_JUMP}, {MSG_CC_JUMP_STOP}}),
    [](const testing::TestParamInfo<StanceCase>& info) { return std::string(info.param.name); });

struct HandCase {
    const char* name;
    uint32_t type;
    bool inventoryOpen;
    std::vector<uint32_t> fire1;   // left mouse button: press frame, one held frame, release
    std::vector<uint32_t> action;  // E, the same
};

void PrintTo(const HandCase& c, std::ostream* out) { *out << c.name; }

class Hands : public PlayerFixture, public testing::WithParamInterface<HandCase> {};

TEST_P(Hands, TheHandTableOfTheType) {
    const HandCase& c = GetParam();
    MakePlayer(c.type);
    g_InventoryVisible = c.inventoryOpen;
    WarmUp();
    const auto run = [&](auto press, auto release) {
        g_Heard.clear();
        press();
        Frames(2);
        release();
        Frames(1);
        return HeardBy("Body", kCommands);
    };
    EXPECT_EQ(run([] { PushButton(SDL_BUTTON_LEFT, true); }, [] { PushButton(SDL_BUTTON_LEFT, false); }), c.fire1);
    EXPECT_EQ(run([] { PushKey(SDL_SCANCODE_E, true); }, [] { PushKey(SDL_SCANCODE_E, false); }), c.action);
}

constexpr uint32_t R1 = MSG_CC_RACTION1, R1S = MSG_CC_RACTION1_START, R1E = MSG_CC_RACTION1_STOP;
constexpr uint32_t L1 = MSG_CC_LACTION1, L1S = MSG_CC_LACTION1_START, L1E = MSG_CC_LACTION1_STOP;

INSTANTIATE_TEST_SUITE_P(
    Types, Hands,
    testing::Values(HandCase{"FirstPerson", 1, false, {R1, R1S, R1, R1E}, {L1, L1S, L1, L1E}},
                    // With the selector open only "Action" still reaches the left hand.
                    HandCase{"FirstPersonSelecting", 1, true, {}, {L1, L1S, L1, L1E}},
                    HandCase{"ThirdPerson", 3, false, {}, {R1, L1, R1S, L1S, R1, L1, R1E, L1E}},
                    HandCase{"ThirdPersonSelecting", 3, true, {}, {}},
                    HandCase{"Shooter", 4, false, {L1, L1S, L1, L1E}, {}}),
    [](const testing::TestParamInfo<HandCase>& info) { return std::string(info.param.name); });

// Fire 1's release frame: held is false by then, so only the stop goes.
TEST_F(PlayerTest, AReleaseFrameSendsOnlyTheStop) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    WarmUp();
    PushButton(SDL_BUTTON_LEFT, true);
    Frames(1);
    g_Heard.clear();
    PushButton(SDL_BUTTON_LEFT, false);
    Frames(1);
    EXPECT_EQ(HeardBy("Body", kCommands), std::vector<uint32_t>{R1E});
}

// Keys and actions reach the actors at their fixed paths under the Inventory.
TEST_F(PlayerTest, KeyActionsReachTheInventorysActors) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    Input_BindKey(QVDI_BUTTONM, 'K', 0);  // "Knock" has no key of its own
    const struct {
        const char* name;
        SDL_Scancode key;
        bool stops;
    } keys[] = {
        {"QuickSave", SDL_SCANCODE_F5, false}, {"QuickLoad", SDL_SCANCODE_F6, false}, {"Tab", SDL_SCANCODE_TAB, true},
        {"pow2", SDL_SCANCODE_R, true},        {"E", SDL_SCANCODE_K, true},           {"Q", SDL_SCANCODE_G, true},
        {"Return", SDL_SCANCODE_RETURN, true}, {"PAD0", SDL_SCANCODE_KP_0, true},     {"PAD7", SDL_SCANCODE_KP_7, true},
        {"PAD9", SDL_SCANCODE_KP_9, true},     {"F1", SDL_SCANCODE_F1, true},         {"F4", SDL_SCANCODE_F4, true},
    };
    for (const auto& key : keys) MakeAt(std::string("Inventory/") + key.name);
    WarmUp();
    for (const auto& key : keys) {
        g_Heard.clear();
        PushKey(key.key, true);
        Frames(2);
        PushKey(key.key, false);
        Frames(1);
        const std::vector<uint32_t> expected =
            key.stops ? std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE}
                      : std::vector<uint32_t>{MSG_ACTION_START_PRE};
        EXPECT_EQ(HeardBy(key.name, kKeyActions), expected) << key.name;
    }
    EXPECT_EQ(g_ReloadStarted, 1u);
}

// A Reload press while "Action" is held starts nothing; its release still
// stops once an earlier press set the latch.
TEST_F(PlayerTest, ReloadWaitsForTheActionKey) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    MakeAt("Inventory/pow2");
    WarmUp();
    PushKey(SDL_SCANCODE_E, true);
    Frames(1);
    PushKey(SDL_SCANCODE_R, true);
    Frames(1);
    PushKey(SDL_SCANCODE_R, false);
    Frames(1);
    EXPECT_TRUE(HeardBy("pow2", kKeyActions).empty());
    EXPECT_EQ(g_ReloadStarted, 0u);
    PushKey(SDL_SCANCODE_E, false);
    PushKey(SDL_SCANCODE_R, true);
    Frames(1);
    PushKey(SDL_SCANCODE_E, true);
    PushKey(SDL_SCANCODE_R, false);
    Frames(1);
    PushKey(SDL_SCANCODE_R, true);
    Frames(1);
    PushKey(SDL_SCANCODE_R, false);
    Frames(1);
    EXPECT_EQ(HeardBy("pow2", kKeyActions),
              (std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE, MSG_ACTION_STOP_PRE}));
}

// The right button's key action goes out only while the selector is closed.
TEST_F(PlayerTest, TheRightButtonsActionWaitsForAClosedSelector) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    MakeAt("Inventory/RMouseButton");
    WarmUp();
    g_InventoryVisible = 1;
    PushButton(SDL_BUTTON_RIGHT, true);
    Frames(1);
    PushButton(SDL_BUTTON_RIGHT, false);
    Frames(1);
    EXPECT_TRUE(HeardBy("RMouseButton", kKeyActions).empty());
    g_InventoryVisible = 0;
    PushButton(SDL_BUTTON_RIGHT, true);
    Frames(1);
    PushButton(SDL_BUTTON_RIGHT, false);
    Frames(1);
    EXPECT_EQ(HeardBy("RMouseButton", kKeyActions), (std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE}));
}

// Paused, the look and the key actions still go out; stance, movement and
// hands do not.
TEST_F(PlayerTest, WhilePausedOnlyLookAndKeyActionsGoOut) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    MakeAt("Inventory/F1");
    WarmUp();
    // Paused with the normal frame still running, so the Player's step runs.
    g_ActorSystem->SetPaused(1, nullptr, 1);
    g_Heard.clear();
    PushKey(SDL_SCANCODE_W, true);
    PushKey(SDL_SCANCODE_LCTRL, true);
    PushKey(SDL_SCANCODE_F1, true);
    PushButton(SDL_BUTTON_LEFT, true);
    Frames(2);
    EXPECT_EQ(HeardBy("Body", kLook).size(), 8u);
    EXPECT_TRUE(HeardBy("Body", kCommands).empty());
    EXPECT_EQ(LastHeard("Body", MSG_SET_DESIRED_MOVEMENT), nullptr);
    EXPECT_EQ(HeardBy("F1", kKeyActions), std::vector<uint32_t>{MSG_ACTION_START_PRE});
    g_ActorSystem->SetPaused(0, nullptr, 0);
}

// Escape works after a second of running time: the hands of the character
// in slot GA1 let go and the menu's Esc actor starts.
TEST_F(PlayerTest, EscapeOpensTheMenuAfterASecond) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    character->HandleMessage(MSG_SET_NAME, Args_Of("GA1_Player"));
    MakeAt("Inventory/Esc");
    Frames(30);  // 0.6 s
    PushKey(SDL_SCANCODE_ESCAPE, true);
    Frames(1);
    PushKey(SDL_SCANCODE_ESCAPE, false);
    Frames(1);
    EXPECT_TRUE(HeardBy("Esc", kKeyActions).empty());
    Frames(20);
    g_Heard.clear();
    PushKey(SDL_SCANCODE_ESCAPE, true);
    Frames(1);
    ASSERT_EQ(HeardBy("GA1_Player", kCommands),
              (std::vector<uint32_t>{MSG_CC_RACTION1_STOP, MSG_CC_RACTION2_STOP, MSG_CC_LACTION1_STOP}));
    EXPECT_EQ(HeardBy("Esc", kKeyActions), std::vector<uint32_t>{MSG_ACTION_START_PRE});
    PushKey(SDL_SCANCODE_ESCAPE, false);
    Frames(1);
    EXPECT_EQ(HeardBy("Esc", kKeyActions), (std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE}));
}

// The time scale of slow motion, read from the actor system's clock, over
// frames of 1/50 s: down by (1 - dt) while held, not below 0.1; up by
// (1 + dt) after; a press within 0.2 s of a release freezes time for 0.5 s
// and leaves 0.005. The time instance "/Global/ti_ga1" runs at the root of
// the scale, and the ScriptSoul amount pays for it.
TEST_F(PlayerTest, SlowMotionCurveAndBurstOnTheClock) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    auto* amount = static_cast<ListeningActor*>(MakeAt("ScriptSoul/Amount"));
    auto* consume = static_cast<ListeningActor*>(MakeAt("ScriptSoul/ConsumeMul"));
    MakeAt("ti_ga1");
    amount->m_Time = 100.0f;
    consume->m_Time = 2.0f;
    Input_BindKey(QVDI_BUTTONN, QVI_MOUSEM, 0);
    WarmUp();
    const ActorClock* clock = g_ActorSystem->m_Clock;
    const float dt = static_cast<float>(kFrameStep);
    PushButton(SDL_BUTTON_MIDDLE, true);
    float expected = 1.0f;
    for (int i = 0; i < 10; ++i) {
        Frames(1);
        expected -= dt * expected;
        ASSERT_NEAR(clock->ownScale, expected, 1e-5f) << i;
    }
    EXPECT_NEAR(amount->m_Time, 100.0f - 10 * dt * 2.0f * 0.111f, 1e-4f);
    const Heard* multiplier = LastHeard("ti_ga1", MSG_SET_TIMEINSTANCE_MULTIPLIER);
    ASSERT_NE(multiplier, nullptr);
    EXPECT_NEAR(multiplier->value, std::sqrt(expected), 1e-5f);
    ASSERT_NE(LastHeard("ti_ga1", MSG_SET_TIMEINSTANCE_SIMMULTIPLIER), nullptr);
    EXPECT_NEAR(LastHeard("ti_ga1", MSG_SET_TIMEINSTANCE_SIMMULTIPLIER)->value, std::sqrt(expected), 1e-5f);
    // The next frame's passes run on the scaled time.
    Frames(1);
    EXPECT_NEAR(clock->dt, dt * expected, 1e-6f);
    Frames(200);
    EXPECT_FLOAT_EQ(clock->ownScale, 0.1f) << "held long";

    // A press 0.14 s after the release: a burst.
    PushButton(SDL_BUTTON_MIDDLE, false);
    Frames(8);
    EXPECT_GT(clock->ownScale, 0.1f);
    const float amountBefore = amount->m_Time;
    PushButton(SDL_BUTTON_MIDDLE, true);
    Frames(1);
    EXPECT_EQ(clock->ownScale, 0.0f);
    EXPECT_EQ(g_CharactersState.slowMotion.burstActive, 1u);
    EXPECT_NEAR(amount->m_Time, amountBefore - dt * 2.0f * 0.111f - 2.0f * 0.5f, 1e-4f) << "held, then the burst";
    PushButton(SDL_BUTTON_MIDDLE, false);
    Frames(1);
    EXPECT_EQ(clock->dt, 0.0f) << "nothing moves while it lasts";
    int frozen = 2;
    while (clock->ownScale == 0.0f && frozen < 40) {
        Frames(1);
        ++frozen;
    }
    EXPECT_NEAR(frozen, 25, 1) << "0.5 s of frames, in real time";
    EXPECT_FLOAT_EQ(clock->ownScale, 0.005f);
    Frames(1);
    EXPECT_FLOAT_EQ(clock->ownScale, 0.006f) << "the recovering floor";

    // A press 0.24 s after the release is no double tap.
    Frames(10);
    PushButton(SDL_BUTTON_MIDDLE, true);
    Frames(1);
    PushButton(SDL_BUTTON_MIDDLE, false);
    Frames(13);
    PushButton(SDL_BUTTON_MIDDLE, true);
    Frames(1);
    EXPECT_EQ(g_CharactersState.slowMotion.burstActive, 0u);
    EXPECT_GT(clock->ownScale, 0.0f);
}

// A Console character follows the left stick of a joystick, with or
// without the Master flag: the stick's length picks the motion, the turn
// speed and the skin's motion speed, the heading adds the camera's, and
// the right stick orbits the character's camera while the left one rests.
TEST_F(PlayerTest, TheAnalogStickSteersAConsoleCharacter) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 4, 4, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    ASSERT_NE(stick, nullptr);
    ASSERT_EQ(Input_Init(s_Window, nullptr), 1);
    Input_BindDefaultKeys();
    const uint32_t axes[][2] = {{QVDI_AXISX, 0}, {QVDI_AXISY, 1}, {QVDI_AXIS1, 2}, {QVDI_AXIS2, 3}};
    for (const auto& [action, axis] : axes) {
        Input_BindKey(action, 0, 0);
        Input_BindKey(action, QVI_JOYAXIS0 + axis, 0);
    }
    MakePlayer(CHARACTER_CONSOLE, false);
    CQVActor* skin = MakeAt("Skin");
    g_ActorSystem->MoveActor(skin, character);
    skin->m_ClassType = CLASS_SKINOBJECT;
    character->m_Camera.SetTarget(MakeAt("Camera"));
    WarmUp();
    const auto frame = [&](int16_t x, int16_t y, int16_t rightX, int16_t rightY) {
        SDL_JoystickSetVirtualAxis(stick, 0, x);
        SDL_JoystickSetVirtualAxis(stick, 1, y);
        SDL_JoystickSetVirtualAxis(stick, 2, rightX);
        SDL_JoystickSetVirtualAxis(stick, 3, rightY);
        g_Heard.clear();
        Frames(1);
    };
    constexpr float kHalfPi = 1.57079633f;

    // Full right: running, turning fast, towards +x.
    frame(32767, 0, 0, 0);
    ASSERT_NE(LastHeard("Body", MSG_SET_MOTION), nullptr);
    EXPECT_EQ(LastHeard("Body", MSG_SET_MOTION)->text, "R_Forward");
    EXPECT_FLOAT_EQ(LastHeard("Body", MSG_SET_TURN_SPEED)->value, 15.0f);
    EXPECT_NEAR(LastHeard("Skin", MSG_SET_MOTION_SPEED)->value, 1.0f, 1e-3f);
    EXPECT_NEAR(LastHeard("Body", MSG_SET_ROT_Y_3D0)->value, kHalfPi, 1e-3f);
    EXPECT_EQ(LastHeard("Camera", MSG_SET_RELATIVE_ROTY), nullptr);

    // Four tenths forward with the camera along +x: walking, heading +x.
    LookAlong(Vector3(1, 0, 0));
    frame(0, 13107, 0, 0);
    EXPECT_EQ(LastHeard("Body", MSG_SET_MOTION)->text, "N_Forward");
    EXPECT_FLOAT_EQ(LastHeard("Body", MSG_SET_TURN_SPEED)->value, 10.0f);
    EXPECT_NEAR(LastHeard("Skin", MSG_SET_MOTION_SPEED)->value, 0.4f * 1.5f + 0.1f, 2e-3f);
    EXPECT_NEAR(LastHeard("Body", MSG_SET_ROT_Y_3D0)->value, kHalfPi, 1e-3f);
    EXPECT_NEAR(g_ConsoleHeading, kHalfPi, 1e-3f);

    // At rest the right stick orbits the camera by its value x frame time x 2;
    // the character keeps its heading.
    LookAlong(Vector3(0, 0, 1));
    frame(0, 0, 32767, 32767);
    EXPECT_EQ(LastHeard("Body", MSG_SET_MOTION)->text, "N_Neutral");
    EXPECT_EQ(LastHeard("Skin", MSG_SET_MOTION_SPEED)->value, 1.0f);
    EXPECT_EQ(LastHeard("Body", MSG_SET_TURN_SPEED), nullptr);
    EXPECT_NEAR(LastHeard("Body", MSG_SET_ROT_Y_3D0)->value, kHalfPi, 1e-3f);
    ASSERT_NE(LastHeard("Camera", MSG_SET_RELATIVE_ROTY), nullptr);
    EXPECT_NEAR(LastHeard("Camera", MSG_SET_RELATIVE_ROTY)->value, 1.0f * 0.02f * 2.0f, 1e-4f);
    ASSERT_NE(LastHeard("Camera", MSG_SET_RELATIVE_ROTX), nullptr);
    EXPECT_NEAR(LastHeard("Camera", MSG_SET_RELATIVE_ROTX)->value, -1.0f * 0.02f * 2.0f, 1e-4f);

    // Jump goes out every frame it is held.
    PushKey(SDL_SCANCODE_SPACE, true);
    Frames(3);
    EXPECT_EQ(HeardBy("Body", kCommands), (std::vector<uint32_t>{MSG_CC_JUMP, MSG_CC_JUMP, MSG_CC_JUMP}));

    ASSERT_EQ(Input_Init(s_Window, nullptr), 1);  // closes the device before it goes
    const SDL_JoystickID id = SDL_JoystickInstanceID(stick);
    SDL_JoystickClose(stick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
}

class RealCharacterPlayer : public PlayerFixture {
protected:
    RealCharacterPlayer() { m_StandIns = false; }
};

// With the game's own Character: the mouse turns its look yaw, and a held
// key gives the body the desired movement's heading.
TEST_F(RealCharacterPlayer, TheCharacterLooksAndHeadsWhereThePlayerSteers) {
    auto* body = static_cast<CQVCharacter*>(
        g_ActorSystem->CreateActor(CLASS_CHARACTER, "Body", nullptr, scenery, ACTOR_ID_ANY, 1, 1));
    ASSERT_NE(body, nullptr);
    const uint32_t thirdPerson = CHARACTER_THIRD_PERSON;
    body->HandleMessage(MSG_SET_CHARACTER_TYPE, Args_Of(&thirdPerson));
    auto* player = static_cast<CQVPlayer*>(
        g_ActorSystem->CreateActor(CLASS_PLAYER, "Player", nullptr, scenery, ACTOR_ID_ANY, 1, 1));
    player->m_Flags |= ACTOR_MASTER;
    player->HandleMessage(MSG_SET_CHARACTER, MessageArgs(body, sizeof(CQVActor)));
    EXPECT_EQ(player->m_CharacterType, 3u);
    WarmUp();

    const float yaw = body->m_LookRotY;
    int left = 0, top = 0, width = 0, height = 0;
    Platform_GetWindowRect(s_Window, &left, &top, &width, &height);
    PushMotion(Platform_GetScreenWidth() / 2 + 100 - left, Platform_GetScreenHeight() / 2 - top);
    Frames(1);
    EXPECT_NEAR(body->m_LookRotY - yaw, 0.16f, 1e-4f);

    // Right: the desired movement (-1, 0, -0.05), which a ThirdPerson body
    // takes as its heading from its look.
    PushKey(SDL_SCANCODE_D, true);
    Frames(2);
    const float heading = -std::acos(-0.05f / std::sqrt(1.0025f));
    EXPECT_NEAR(body->m_DesiredYawOffset, Character_WrapAngle(heading - body->m_LookRotYSM), 1e-4f);
}

// Holding I, J, K and L switches the developer mode on (and binds slow
// motion to the middle button); then F12 shows "FPS:" in the top right
// corner of the screen.
TEST_F(PlayerTest, TheDeveloperChordShowsTheFrameRate) {
    MakePlayer(CHARACTER_FIRST_PERSON);
    WarmUp();
    // Ink in the top right corner of the screen.
    const auto inkTopRight = [] {
        PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
        const uint32_t width = device->GetPresentParameters().BackBufferWidth;
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(device->ReadBackBuffer(&pixels));
        int ink = 0;
        for (uint32_t y = 0; y < 30; ++y)
            for (uint32_t x = width - 110; x < width; ++x) ink += (pixels[y * width + x] & 0xFFFFFF) != 0;
        return ink;
    };
    PushKey(SDL_SCANCODE_F12, true);
    Frames(3);
    PushKey(SDL_SCANCODE_F12, false);
    Frames(1);
    EXPECT_EQ(g_ShowFps, 1u);
    EXPECT_EQ(inkTopRight(), 0) << "no counter without the developer mode";

    for (SDL_Scancode key : {SDL_SCANCODE_I, SDL_SCANCODE_J, SDL_SCANCODE_K}) PushKey(key, true);
    Frames(2);
    EXPECT_EQ(g_DeveloperMode, 0u) << "three of the four keys";
    PushKey(SDL_SCANCODE_L, true);
    Frames(1);
    EXPECT_EQ(g_DeveloperMode, 1u);
    EXPECT_EQ(Input_GetBinding(QVDI_BUTTONN, 0), static_cast<uint32_t>(QVI_MOUSEM));
    for (SDL_Scancode key : {SDL_SCANCODE_I, SDL_SCANCODE_J, SDL_SCANCODE_K, SDL_SCANCODE_L}) PushKey(key, false);
    Frames(1);
    ASSERT_EQ(CQVEngine::GetInstance()->overlayTexts.size(), 1u);
    EXPECT_EQ(CQVEngine::GetInstance()->overlayTexts[0].text.rfind("FPS: ", 0), 0u);
    Frames(1);
    EXPECT_GT(inkTopRight(), 20);
    EXPECT_EQ(g_DeveloperMode, 1u) << "it stays on";
}

}  // namespace
