#include "kernel/actors/ActorSystemHandler.h"

#include "kernel/actors/DrawGroups.h"
#include "tests/kernel/actors/ActorSystemGameSupport.h"

#include <cmath>
#include <cstring>

namespace {

class ActorSystemHandlerTest : public ActorSystemGameFixture {};

std::vector<uint32_t> Ids(const std::vector<SeenMessage>& seen, uint32_t actorId) {
    std::vector<uint32_t> ids;
    for (const SeenMessage& s : seen) {
        if (s.actorId == actorId) ids.push_back(s.id);
    }
    return ids;
}

bool Saw(uint32_t actorId, uint32_t message) {
    for (const SeenMessage& s : g_Seen) {
        if (s.actorId == actorId && s.id == message) return true;
    }
    return false;
}

TEST_F(ActorSystemHandlerTest, StartGameWithoutPlayerCharacterMakesOnlyThePlayer) {
    CQVActor* lamp = Make("Lamp", scenery);
    SetUint(MSG_SET_DIFFICULTY_LEVEL, 2);
    g_Seen.clear();
    system->HandleMessage(MSG_START_GAME, nullptr);

    const std::vector<uint32_t> players = CQVActorSystem::FindActorsByName("MASTERPLAYER", CLASS_PLAYER);
    ASSERT_EQ(players.size(), 1u);
    CQVActor* player = system->GetActorById(players[0]);
    EXPECT_EQ(player->m_Parent, scenery);
    EXPECT_TRUE(player->m_Flags & ACTOR_MASTER);
    EXPECT_TRUE(CQVActorSystem::FindActorsByName("Camera", CLASS_CAMERA).empty());
    EXPECT_EQ(CQVActorSystem::FindActorByName("GA1_Player", ACTOR_ID_ANY), nullptr);
    // The whole tree hears the start and the difficulty, in that order.
    for (CQVActor* actor : {lamp, global, player}) {
        const std::vector<uint32_t> ids = Ids(g_Seen, actor->m_Id);
        auto start = std::find(ids.begin(), ids.end(), MSG_START_GAME);
        auto level = std::find(ids.begin(), ids.end(), MSG_ON_DIFFICULTY_LEVEL_2);
        ASSERT_NE(start, ids.end()) << actor->m_Name;
        ASSERT_NE(level, ids.end()) << actor->m_Name;
        EXPECT_LT(start, level);
    }
    EXPECT_FALSE(Saw(lamp->m_Id, MSG_ON_DIFFICULTY_LEVEL_1));
}

struct CharacterCase {
    uint32_t type;
    bool camera;
    float fov;
    uint32_t cameraType;
    bool healthChanged;
};

class StartGameCharacter : public ActorSystemHandlerTest, public testing::WithParamInterface<CharacterCase> {};

TEST_P(StartGameCharacter, ClonesTheCharacterAndGivesItItsCamera) {
    const CharacterCase& c = GetParam();
    auto* source = static_cast<TestCharacter*>(
        system->CreateActor(CLASS_CHARACTER, "PlayerCharacter", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    source->m_Type = c.type;
    CQVActor* start = Make("PlayerLocalStart", scenery);
    start->m_Position = Vector3(5.0f, 6.0f, 7.0f);
    start->InvalidateTransform();
    g_Seen.clear();
    system->HandleMessage(MSG_START_GAME, nullptr);

    auto* clone = static_cast<TestCharacter*>(CQVActorSystem::FindActorByName("GA1_Player", CLASS_CHARACTER));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, source);
    EXPECT_TRUE(clone->m_Flags & ACTOR_MASTER);
    EXPECT_EQ(clone->m_Orientation, start);
    auto* player = static_cast<TestPlayer*>(system->GetActorById(CQVActorSystem::FindActorsByName("MASTERPLAYER", CLASS_PLAYER)[0]));
    EXPECT_EQ(player->m_Character, clone);
    EXPECT_EQ(clone->m_HealthChange, c.healthChanged ? -1.0f : 0.0f);

    const std::vector<uint32_t> cameras = CQVActorSystem::FindActorsByName("Camera", CLASS_CAMERA);
    ASSERT_EQ(cameras.size(), c.camera ? 1u : 0u);
    if (!c.camera) return;
    auto* camera = static_cast<TestCamera*>(system->GetActorById(cameras[0]));
    EXPECT_EQ(camera->m_Parent, scenery);
    EXPECT_FLOAT_EQ(camera->m_Fov, c.fov);
    EXPECT_EQ(camera->m_CameraType, c.cameraType);
    EXPECT_EQ(camera->m_Target, clone);
    EXPECT_EQ(camera->m_Active, 1u);
    EXPECT_EQ(camera->m_Position.y, 50.0f);
    EXPECT_EQ(clone->m_NotifyCamera, camera);
}

INSTANTIATE_TEST_SUITE_P(Types, StartGameCharacter,
                         testing::Values(CharacterCase{2, false, 0.0f, 0, false}, CharacterCase{3, true, 1.4f, 1, false},
                                         CharacterCase{4, true, 1.45f, 5, true}));

TEST_F(ActorSystemHandlerTest, ListenerEffectsStack) {
    SetUint(MSG_PUSH_LISTENER_EFFECT, 7);
    SetUint(MSG_PUSH_LISTENER_EFFECT, 9);
    system->HandleMessage(MSG_POP_LISTENER_EFFECT, nullptr);
    system->HandleMessage(MSG_POP_LISTENER_EFFECT, nullptr);
    system->HandleMessage(MSG_POP_LISTENER_EFFECT, nullptr);
    EXPECT_EQ(g_ServiceLog.listenerEffects, (std::vector<uint32_t>{7, 9, 7, 25, 25}));
}

struct SpeedCase {
    float speed;
    uint32_t slow, freeze;
};

class GlobalSpeed : public ActorSystemHandlerTest, public testing::WithParamInterface<SpeedCase> {};

TEST_P(GlobalSpeed, AnswersSlowAndFrozen) {
    float speed = GetParam().speed;
    system->HandleMessage(MSG_SET_GLOBAL_SPEED_MULTIPLIER, Args_Of(&speed));
    uint32_t slow = 7, freeze = 7;
    system->HandleMessage(MSG_SLOWMOTION_IS_ACTIVE, Args_Of(&slow));
    system->HandleMessage(MSG_FREEZEMOTION_IS_ACTIVE, Args_Of(&freeze));
    EXPECT_EQ(slow, GetParam().slow);
    EXPECT_EQ(freeze, GetParam().freeze);
    float answer = -1.0f;
    system->HandleMessage(MSG_GET_GLOBAL_SPEED_MULTIPLIER, Args_Of(&answer));
    EXPECT_EQ(answer, speed);
}

INSTANTIATE_TEST_SUITE_P(Table, GlobalSpeed,
                         testing::Values(SpeedCase{0.5f, 1, 0}, SpeedCase{0.0f, 1, 1}, SpeedCase{1.0f, 0, 0},
                                         SpeedCase{2.0f, 0, 0}));

TEST_F(ActorSystemHandlerTest, AssignDrawGroupIdsOrdersTheGroupsBySize) {
    ASSERT_EQ(g_DrawGroups.size(), 2u);
    const float diagonals[] = {10.0f, 3.0f, 7.0f};
    std::vector<CQVDrawGroupBase*> groups;
    for (float d : diagonals) {
        auto* group = AdoptActor(new CQVDrawGroupBase, system->FindFreeActorId(1), scenery);
        group->m_BoxMax = Vector3(0.0f, d, 0.0f);
        groups.push_back(group);
    }
    system->HandleMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
    ASSERT_EQ(g_DrawGroups.size(), 5u);
    EXPECT_EQ(g_DrawGroups[2], groups[1]);
    EXPECT_EQ(g_DrawGroups[3], groups[2]);
    EXPECT_EQ(g_DrawGroups[4], groups[0]);
    for (uint32_t i = 2; i < 5; ++i) EXPECT_EQ(g_DrawGroups[i]->m_DrawGroupId, i);
    // The smallest group holding a point is found first.
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(0.0f, 0.0f, 0.0f), 2), DRAWGROUP_NONE);
}

TEST_F(ActorSystemHandlerTest, StoresTheLoadBarLookAndGameValues) {
    const float color[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    system->HandleMessage(MSG_SET_LOAD_BAR_COLOR, Args_Of(&color));
    float answer[4] = {};
    system->HandleMessage(MSG_GET_LOAD_BAR_COLOR, Args_Of(&answer));
    EXPECT_EQ(answer[3], 0.4f);
    const Vector3 position(3.0f, -4.0f, 0.0f);
    system->HandleMessage(MSG_SET_LOAD_BAR_TEXT_POSITION, Args_Of(&position));
    Vector3 read(0, 0, 0);
    system->HandleMessage(MSG_GET_LOAD_BAR_TEXT_POSITION, Args_Of(&read));
    EXPECT_EQ(read.y, -4.0f);
    float text[4] = {};
    system->HandleMessage(MSG_GET_LOAD_BAR_TEXT_COLOR, Args_Of(&text));
    EXPECT_EQ(text[0], 1.0f);

    SetUint(MSG_SET_DIFFICULTY_LEVEL, 3);
    uint32_t level = 0;
    system->HandleMessage(MSG_GET_DIFFICULTY_LEVEL, Args_Of(&level));
    EXPECT_EQ(level, 3u);
    float hit = 2.5f;
    system->HandleMessage(MSG_SET_GLOBAL_MULTIPLIER_AI_PLAYER_HIT_EFFECT, Args_Of(&hit));
    EXPECT_EQ(g_AIPlayerHitEffectMultiplier, 2.5f);
    const float gamma[6] = {1.0f, 0.9f, 0.8f, 0.1f, 0.2f, 0.3f};
    system->HandleMessage(MSG_SET_GLOBAL_GAMMA, Args_Of(&gamma));
    EXPECT_EQ(g_GlobalGamma[5], 0.3f);

    SetUint(MSG_SET_GLOBAL_TIME, 0);
    EXPECT_EQ(g_GlobalClock.time, 0.0f);
    EXPECT_FLOAT_EQ(g_GlobalClock.previousTime, -1.0f / 60.0f);
    EXPECT_FLOAT_EQ(g_GlobalClock.olderTime, -1.0f / 30.0f);
}

TEST_F(ActorSystemHandlerTest, LoadRequestsWaitForTheNextFrame) {
    system->m_BaseDirectory = "Base";
    system->HandleMessage(MSG_LOAD_GAME, Args_Of("Slot1.sav"));
    EXPECT_EQ(system->m_PendingLoad, 1u);
    EXPECT_EQ(system->m_NewGame, 0u);
    EXPECT_EQ(system->m_LoadFileA, "Base\\Slot1.sav");

    char names[256] = {};
    std::strcpy(names, "Data\\Globals.qva");
    std::strcpy(names + 128, "Data\\Mission_01.qva");
    system->HandleMessage(MSG_NEW_GAME, Args_Of(names));
    EXPECT_EQ(system->m_NewGame, 1u);
    EXPECT_EQ(system->m_LoadFileA, "Base\\Data\\Mission_01.qva");
    EXPECT_EQ(system->m_LoadFileB, "Base\\Data\\Globals.qva");
}

// Saves, loads and captures name files relative to the base folder and stay
// in it: absolute names and ".." parts are refused with 0, nothing is
// asked of the file system and no load is asked for.
TEST_F(ActorSystemHandlerTest, NamesThatLeaveTheBaseFolderAreRefused) {
    system->m_BaseDirectory = "Base";
    static std::vector<std::string> captures;
    captures.clear();
    g_ActorSystemServices.saveCapture = [](const char* path) {
        captures.emplace_back(path);
        return 1;
    };
    for (const char* name : {"..\\victim.txt", "../victim.txt", "Sub\\..\\..\\victim.txt", "/tmp/victim.txt",
                             "\\victim.txt", "C:\\victim.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(system->HandleMessage(MSG_SAVE_GAME, Args_Of(name)), 0);
        EXPECT_EQ(system->HandleMessage(MSG_LOAD_GAME, Args_Of(name)), 0);
        EXPECT_EQ(system->HandleMessage(MSG_CAPTURE_SAVE, Args_Of(name)), 0);
        for (int outside = 0; outside < 2; ++outside) {
            char names[256] = {};
            std::strncpy(names + (outside ? 0 : 128), name, 127);
            std::strcpy(names + (outside ? 128 : 0), "Data\\Level.qva");
            EXPECT_EQ(system->HandleMessage(MSG_NEW_GAME, Args_Of(names)), 0);
        }
        EXPECT_EQ(system->m_PendingLoad, 0u);
        EXPECT_TRUE(system->m_LoadFileA.empty());
    }
    EXPECT_TRUE(captures.empty());
    EXPECT_EQ(system->HandleMessage(MSG_CAPTURE_SAVE, Args_Of("Shots\\one.tga")), 1);
    EXPECT_EQ(captures, std::vector<std::string>{"Base\\Shots\\one.tga"});
}

// A capture's size comes as two floats: sizes no back buffer has (not a
// number, negative, beyond a TGA's 16 bits) reach the capture as 0, which
// it refuses, and the others as whole pixels.
TEST_F(ActorSystemHandlerTest, CaptureSizesAreWholePixelsOrZero) {
    static std::vector<std::pair<int32_t, int32_t>> sizes;
    sizes.clear();
    g_ActorSystemServices.captureBackBuffer = [](int32_t w, int32_t h) { sizes.emplace_back(w, h); };
    for (const Vector2 size : {Vector2(NAN, 10.0f), Vector2(1e30f, -5.0f), Vector2(64.9f, 48.0f), Vector2(65536.0f, 1.0f)})
        system->HandleMessage(MSG_CAPTURE_BACKBUFFER, Args_Of(&size));
    EXPECT_EQ(sizes, (std::vector<std::pair<int32_t, int32_t>>{{0, 10}, {0, 0}, {64, 48}, {0, 1}}));
}

TEST_F(ActorSystemHandlerTest, ResourcesAreCollectedOrLoaded) {
    system->HandleMessage(MSG_LOAD_RESOURCE, Args_Of("Rock"));
    EXPECT_EQ(g_ServiceLog.loaded, (std::vector<std::string>{"Rock"}));
    SetUint(MSG_SET_RESOURCE_COLLECTING, 1);
    uint32_t collecting = 0;
    system->HandleMessage(MSG_GET_RESOURCE_COLLECTING, Args_Of(&collecting));
    EXPECT_EQ(collecting, 1u);
    system->HandleMessage(MSG_LOAD_RESOURCE, Args_Of("Tree"));
    system->HandleMessage(MSG_LOAD_RESOURCE, Args_Of("Missing"));
    EXPECT_EQ(system->m_CollectedResources.size(), 2u);
    EXPECT_EQ(system->m_CollectedResources[1], nullptr);
    EXPECT_EQ(g_ServiceLog.loaded.size(), 1u);

    char invalidate[132] = "Rock";
    const uint32_t kind = 4;
    std::memcpy(invalidate + 128, &kind, 4);
    system->HandleMessage(MSG_INVALIDATE_RESOURCES, Args_Of(&invalidate));
    EXPECT_EQ(g_ServiceLog.unloaded, (std::vector<std::string>{"Rock"}));
    EXPECT_EQ(g_ServiceLog.loaded.back(), "Rock");
}

TEST_F(ActorSystemHandlerTest, UnloadAllFileobjectsDestroysRunTimeActors) {
    CQVActor* kept = Make("Level", scenery, 3100);
    CQVActor* made = Make("Spawned", kept);
    ASSERT_GE(made->m_Id, ACTOR_ID_FIRST_FREE);
    const uint32_t madeId = made->m_Id;
    system->HandleMessage(MSG_UNLOAD_ALL_FILEOBJECTS, nullptr);
    EXPECT_TRUE(Saw(kept->m_Id, MSG_UNLOAD_FILEOBJECT));
    EXPECT_EQ(system->GetActorById(madeId), nullptr);
    EXPECT_EQ(system->GetActorById(3100), kept);
    EXPECT_TRUE(kept->m_Children.empty());
    // The parent's class and the ancestors are told, as of any deletion.
    EXPECT_TRUE(Saw(kept->m_Id, MSG_CALLBACK_CHILD_REMOVED));
    EXPECT_TRUE(Saw(ACTOR_ID_SCENERY, MSG_CALLBACK_RELCHILD_REMOVED));
}

TEST_F(ActorSystemHandlerTest, CopyActorClonesUnderTheParent) {
    CQVActor* source = Make("Crate", scenery);
    CQVActor* shelf = Make("Shelf", scenery);
    CQVActor* block[2] = {source, shelf};
    system->HandleMessage(MSG_COPY_ACTOR, Args_Of(&block));
    ASSERT_EQ(shelf->m_Children.size(), 1u);
    EXPECT_EQ(shelf->m_Children[0]->m_Name, "Crate");
    EXPECT_EQ(CQVActorSystem::FindActorsByName("Crate", TEST_TYPE).size(), 2u);
    EXPECT_TRUE(CQVActorSystem::FindActorsByName("crate", TEST_TYPE).empty());
    EXPECT_TRUE(CQVActorSystem::FindActorsByName("Crate", CLASS_CAMERA).empty());
}

TEST_F(ActorSystemHandlerTest, EveryMessageReachesTheBaseHandler) {
    // A script bound to an event of the actor system runs after its own handling.
    system->HandleMessage(MSG_EXIT_ENGINE, nullptr);
    EXPECT_EQ(g_ServiceLog.closes, 1);
    const uint32_t on = 0;
    system->HandleMessage(MSG_SET_OPERATIONAL, Args_Of(&on));
    EXPECT_FALSE(system->IsOperational());
}

}  // namespace
