// The small classes: the Developer's dart shot at the player's character,
// the Developer 2's voice commands to the AI the character faces, the
// Developer 3's step, the inert Reference and the State.

#include "actors/gameplay/Developer.h"
#include "actors/gameplay/Developer2.h"
#include "actors/gameplay/Developer3.h"
#include "actors/gameplay/Reference.h"
#include "actors/gameplay/State.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

#include <cmath>

namespace gameplay_test {
namespace {

class TestActorsTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        Room();
        hero = Make(CLASS_CHARACTER, "Hero");
        Send(hero, MSG_SET_MASTER, 1u);
        PutInRoom(hero);
        body.flags = COLOBJ_ACTIVE;
        body.owner = hero;
    }
    void Touch(CQVActor* actor, ColObj* partner) {
        ColObj* pair[2] = {partner, partner};
        actor->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    }

    CQVActor* hero = nullptr;
    ColObj body;
};

TEST_F(TestActorsTest, TheDeveloperShootsTheDartAtThePlayerAndWaits) {
    auto* silent = Make<CQVDeveloper>(CLASS_DEVELOPER, "NoDart");
    Touch(silent, &body);
    EXPECT_EQ(CQVActorSystem::FindActorsByName("Dart", CLASS_GAME_OBJECT).size(), 0u) << "no dart, no shot";

    Make(CLASS_GAME_OBJECT, "Dart");
    auto* developer = Make<CQVDeveloper>(CLASS_DEVELOPER, "Developer");
    Send(developer, MSG_SET_POSITION, Vector3(0.0f, 0.0f, -100.0f));
    Send(hero, MSG_SET_POSITION, Vector3(0.0f, 0.0f, 200.0f));
    Random_Seed(5);
    const int roll = Random_Next() % 10;
    Random_Seed(5);
    Touch(developer, &body);
    const std::vector<uint32_t> darts = CQVActorSystem::FindActorsByName("Dart", CLASS_GAME_OBJECT);
    ASSERT_EQ(darts.size(), 2u);
    CQVActor* shot = CQVActorSystem::GetActorById(darts[1]);
    EXPECT_EQ(shot->m_Parent, scenery);
    EXPECT_EQ(shot->m_Position.z, -100.0f);
    EXPECT_FLOAT_EQ(shot->m_DeltaPosition.z, 400.0f);
    const std::vector<gameplay_test::Heard> performed = HeardBy("Dart", {MSG_PERFORM_ACTION});
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].word, developer->m_Id);
    EXPECT_EQ(developer->m_DartDelay, 6.0f + static_cast<float>(roll));
    // Touches do nothing until the delay has run out on its clock.
    Touch(developer, &body);
    Frames(static_cast<int>(developer->m_DartDelay * 32.0f) - 1);
    Touch(developer, &body);
    EXPECT_EQ(CQVActorSystem::FindActorsByName("Dart", CLASS_GAME_OBJECT).size(), 2u);
    Frames(1);
    Touch(developer, &body);
    EXPECT_EQ(CQVActorSystem::FindActorsByName("Dart", CLASS_GAME_OBJECT).size(), 3u);
    // Only the player's character is shot at.
    Send(hero, MSG_SET_MASTER, 0u);
    developer->m_DartDelay = 0.0f;
    Touch(developer, &body);
    EXPECT_EQ(CQVActorSystem::FindActorsByName("Dart", CLASS_GAME_OBJECT).size(), 3u);
}

// A voice command reaches the "AI" of the actor the character faced at the
// last touch, for that frame and the next only.
TEST_F(TestActorsTest, TheDeveloper2PassesVoiceCommandsToTheFacedActorsAI) {
    auto* tester = Make<CQVDeveloper2>(CLASS_DEVELOPER_2, "Voice", hero);
    CQVActor* guard = Make(CLASS_STATE, "Guard");
    Make(CLASS_CHARACTER, "AI", guard);
    ColObj guardBody;
    guardBody.type = COLOBJ_SPHERE;
    guardBody.owner = guard;
    guardBody.worldMin = Vector3(100.0f, 0.0f, 10.0f);  // well to the side
    Touch(tester, &guardBody);
    Send(tester, MSG_SEND_AI_PLAYER2_VOICE_COMMAND, 3u);
    EXPECT_TRUE(HeardBy("AI", {MSG_AI_PLAYER2_VOICE_COMMAND}).empty());
    guardBody.worldMin = Vector3(10.0f, 0.0f, 100.0f);  // ahead
    Touch(tester, &guardBody);
    Frames(1);
    Send(tester, MSG_SEND_AI_PLAYER2_VOICE_COMMAND, 3u);
    const std::vector<gameplay_test::Heard> heard = HeardBy("AI", {MSG_AI_PLAYER2_VOICE_COMMAND});
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].pointer, reinterpret_cast<uintptr_t>(hero)) << "the speaker is the character";
    EXPECT_EQ(heard[0].afterPointer, 3u);
    Frames(1);
    Send(tester, MSG_SEND_AI_PLAYER2_VOICE_COMMAND, 3u);
    EXPECT_EQ(HeardBy("AI", {MSG_AI_PLAYER2_VOICE_COMMAND}).size(), 1u) << "forgotten after the next frame";
}

TEST_F(TestActorsTest, TheDeveloper3KeepsItsStepScheduled) {
    auto* tester = Make<CQVDeveloper3>(CLASS_DEVELOPER_3, "Step");
    EXPECT_TRUE(tester->HasProcess());
    Frames(3);
    EXPECT_TRUE(tester->HasProcess());
}

TEST_F(TestActorsTest, AReferenceAnswersEveryMessageAndChangesNothing) {
    auto* reference = Make<CQVReference>(CLASS_REFERENCE, "Ref");
    reference->m_Path = "/Scenery/Door";
    EXPECT_EQ(reference->HandleMessage(MSG_SET_NAME, Args_Of("Other")), 1);
    EXPECT_EQ(reference->m_Name, "Ref");
    EXPECT_EQ(Send(reference, MSG_SET_POSITION, Vector3(1.0f, 2.0f, 3.0f)), 1);
    EXPECT_EQ(reference->m_Position.x, 0.0f);
    EXPECT_EQ(reference->HandleMessage(MSG_SET_REFERENCE_PATH, Args_Of("/Elsewhere")), 1);
    EXPECT_EQ(reference->m_Path, "/Scenery/Door");
    const ClassRecord& record = g_ClassRecords[CLASS_REFERENCE];
    ASSERT_EQ(record.properties.size(), 2u);
    EXPECT_EQ(record.properties[1].label, "Path:");
    EXPECT_EQ(record.properties[1].setMessage, 1698u);
}

TEST_F(TestActorsTest, AStateRunsItsEventScriptsAsAnyActor) {
    auto* state = Make<CQVState>(CLASS_STATE, "Mission");
    CQVScript script;
    script.name = "Begin";
    script.boundMessage = MSG_START_GAME;
    script.owner = state;
    state->m_Scripts.push_back(script);
    Send(state, MSG_START_GAME);
    ASSERT_EQ(g_ScriptRuns.size(), 1u);
    EXPECT_EQ(g_ScriptRuns[0], (ScriptRun{"Mission", MSG_START_GAME, "Begin", "-"}));
}

}  // namespace
}  // namespace gameplay_test
