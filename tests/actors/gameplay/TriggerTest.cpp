// The Trigger: actors moving through its sphere on the real collision pass,
// frame after frame on the fixed clock, and the enter and exit scripts that
// run for them, with them as callers, one frame behind the contacts.

#include "actors/gameplay/Trigger.h"
#include "tests/actors/gameplay/GameplayTestSupport.h"

namespace gameplay_test {
namespace {

class TriggerTest : public GameplayTest {
protected:
    void SetUp() override {
        GameplayTest::SetUp();
        if (HasFatalFailure()) return;
        Room();
        trigger = Make<CQVTrigger>(CLASS_TRIGGER, "Trigger");
        for (uint32_t event : {MSG_ON_TRIGGER_ENTER_FIRST, MSG_ON_TRIGGER_EXIT, MSG_ON_TRIGGER_EXIT_LAST}) {
            CQVScript script;
            script.name = GetCommandDesc(event).name;
            script.boundMessage = event;
            script.owner = trigger;
            trigger->m_Scripts.push_back(script);
        }
        Send(trigger, MSG_SET_TRIGGER_RADIUS, 100.0f);
    }

    // A character that walks: a sphere of radius 10 that tells what it meets.
    CQVActor* Walker(const char* name) {
        CQVActor* walker = Make(CLASS_CHARACTER, name);
        ColObj body;
        body.type = COLOBJ_SPHERE;
        body.boxMin = Vector3(0.0f, 0.0f, 0.0f);
        body.boxMax = Vector3(10.0f, 0.0f, 0.0f);
        body.flags = COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_SOLID;
        body.owner = walker;
        body.UpdateDerivedGroups(CLASS_CHARACTER);
        walker->m_ColObjs.push_back(body);
        walker->m_Flags &= ~ACTOR_STATIC;
        PutInRoom(walker);
        return walker;
    }

    // The next count frames; before frame n (from 1 on) each walker stands
    // at its place for n, lag frames behind.
    void Walk(int count, const std::vector<std::pair<CQVActor*, int>>& walkers) {
        for (int i = 0; i < count; ++i) {
            ++step;
            for (const auto& [walker, lag] : walkers) {
                Send(walker, MSG_SET_POSITION, Vector3(-295.0f + 20.0f * static_cast<float>(step - lag), 0.0f, 0.0f));
            }
            Frames(1);
        }
    }

    // The scripts run, with their frame counted from the first walked frame.
    std::vector<std::pair<int, ScriptRun>> Runs(uint32_t firstFrame) const {
        std::vector<std::pair<int, ScriptRun>> runs;
        for (const ScriptRun& run : g_ScriptRuns) {
            if (run.owner == "Trigger") runs.push_back({static_cast<int>(run.frame - firstFrame + 1), run});
        }
        return runs;
    }

    static ScriptRun Run(uint32_t event, const char* caller) {
        return {"Trigger", event, event == MSG_ON_TRIGGER_ENTER ? "On Trigger" : GetCommandDesc(event).name, caller};
    }

    CQVTrigger* trigger = nullptr;
    int step = 0;
};

TEST_F(TriggerTest, ANewTriggerIsASphereForCharactersWithAnEnterScript) {
    ASSERT_EQ(trigger->m_ColObjs.size(), 1u);
    const ColObj& sphere = trigger->m_ColObjs[0];
    EXPECT_EQ(sphere.name, "Trigger");
    EXPECT_EQ(sphere.type, COLOBJ_SPHERE);
    EXPECT_EQ(sphere.groupsReceive, 1u << 26);
    EXPECT_EQ(sphere.flags, COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_RECEIVES);
    EXPECT_EQ(Ask<float>(trigger, MSG_GET_TRIGGER_RADIUS), 100.0f);
    EXPECT_EQ(trigger->m_Scripts[0].name, "On Trigger");
    EXPECT_EQ(trigger->m_Scripts[0].boundMessage, MSG_ON_TRIGGER_ENTER);
    EXPECT_EQ(Ask<uint32_t>(trigger, MSG_GET_SELECTION_MAX_COUNT), 1u);
    // Its room is found from where it stands.
    EXPECT_EQ(trigger->m_DrawGroupId, static_cast<CQVDrawGroupBase*>(room)->m_DrawGroupId);
    // Without a sphere the radius is no one's.
    trigger->m_ColObjs.clear();
    Send(trigger, MSG_SET_TRIGGER_RADIUS, 5.0f);
    EXPECT_EQ(Ask<float>(trigger, MSG_GET_TRIGGER_RADIUS, -1.0f), -1.0f);
}

struct WalkCase {
    uint32_t maxCount;
    std::vector<std::pair<int, std::pair<uint32_t, const char*>>> expected;
};

class TriggerWalk : public TriggerTest, public testing::WithParamInterface<WalkCase> {};

// A touches the sphere in the collision passes of frames 10 to 20, B (three
// frames behind) in those of frames 13 to 23. Enters run in the step of the
// next frame; exits in the step two frames after the last touch.
TEST_P(TriggerWalk, TwoWalkersEnterAndLeaveInOrder) {
    Send(trigger, MSG_SET_SELECTION_MAX_COUNT, GetParam().maxCount);
    CQVActor* a = Walker("A");
    CQVActor* b = Walker("B");
    const uint32_t first = g_FrameNumber + 1;
    Walk(30, {{a, 0}, {b, 3}});
    std::vector<std::pair<int, ScriptRun>> expected;
    for (const auto& [frame, run] : GetParam().expected) expected.push_back({frame, Run(run.first, run.second)});
    EXPECT_EQ(Runs(first), expected);
    EXPECT_TRUE(trigger->m_Contacts.empty());
    EXPECT_EQ(trigger->m_Occupied, 0u);
    EXPECT_FALSE(trigger->HasProcess()) << "an idle trigger has no per-frame step";
}

INSTANTIATE_TEST_SUITE_P(
    MaxCount, TriggerWalk,
    testing::Values(
        WalkCase{2,
                 {{11, {MSG_ON_TRIGGER_ENTER_FIRST, "A"}},
                  {11, {MSG_ON_TRIGGER_ENTER, "A"}},
                  {14, {MSG_ON_TRIGGER_ENTER, "B"}},
                  {22, {MSG_ON_TRIGGER_EXIT, "A"}},
                  {25, {MSG_ON_TRIGGER_EXIT, "B"}},
                  {25, {MSG_ON_TRIGGER_EXIT_LAST, "B"}}}},
        // One at a time: B counts from the pass after A's record went.
        WalkCase{1,
                 {{11, {MSG_ON_TRIGGER_ENTER_FIRST, "A"}},
                  {11, {MSG_ON_TRIGGER_ENTER, "A"}},
                  {22, {MSG_ON_TRIGGER_EXIT, "A"}},
                  {22, {MSG_ON_TRIGGER_EXIT_LAST, "A"}},
                  {23, {MSG_ON_TRIGGER_ENTER_FIRST, "B"}},
                  {23, {MSG_ON_TRIGGER_ENTER, "B"}},
                  {25, {MSG_ON_TRIGGER_EXIT, "B"}},
                  {25, {MSG_ON_TRIGGER_EXIT_LAST, "B"}}}},
        WalkCase{0, {}}));

TEST_F(TriggerTest, AWalkerThatDiesInsideLeavesWithoutAnExit) {
    Send(trigger, MSG_SET_SELECTION_MAX_COUNT, 2u);
    CQVActor* a = Walker("A");
    CQVActor* b = Walker("B");
    Walk(12, {{a, 0}, {b, 0}});
    ASSERT_EQ(trigger->ContactCount(), 2u);
    g_ActorSystem->DeleteActor(a);
    EXPECT_EQ(trigger->ContactCount(), 1u);
    g_ScriptRuns.clear();
    Walk(18, {{b, 0}});
    ASSERT_EQ(g_ScriptRuns.size(), 2u);
    EXPECT_EQ(g_ScriptRuns[0], Run(MSG_ON_TRIGGER_EXIT, "B"));
    EXPECT_EQ(g_ScriptRuns[1], Run(MSG_ON_TRIGGER_EXIT_LAST, "B"));
}

// The scripts of an enter may kill the actor that entered: the step goes
// on with the others and never reaches the dead one.
TEST_F(TriggerTest, AnEnterScriptThatKillsItsCallerEndsNothingElse) {
    Send(trigger, MSG_SET_SELECTION_MAX_COUNT, 2u);
    CQVActor* a = Walker("A");
    CQVActor* b = Walker("B");
    Walk(10, {{a, 0}, {b, 0}});
    g_ScriptExecute = [](CQVScript* script, CQVActor* caller) {
        RecordScriptRun(script, caller);
        if (caller && caller->m_Name == "A" && script->boundMessage == MSG_ON_TRIGGER_ENTER_FIRST) {
            g_ActorSystem->DeleteActor(caller);
        }
        return 1;
    };
    g_ScriptRuns.clear();
    Walk(1, {{a, 0}, {b, 0}});
    ASSERT_EQ(g_ScriptRuns.size(), 2u);
    EXPECT_EQ(g_ScriptRuns[0], Run(MSG_ON_TRIGGER_ENTER_FIRST, "A"));
    EXPECT_EQ(g_ScriptRuns[1], Run(MSG_ON_TRIGGER_ENTER, "B"));
    EXPECT_EQ(trigger->ContactCount(), 1u);
}

// A copy tracks the same actors; its count is its list's, so the last exit
// is the last and new actors are taken afterwards.
TEST_F(TriggerTest, ACopyTracksTheSameActorsAndCountsThem) {
    CQVActor* a = Walker("A");
    Walk(12, {{a, 0}});
    auto* copy = static_cast<CQVTrigger*>(g_ActorSystem->CloneActor(trigger, room, 1));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_DrawGroupId, trigger->m_DrawGroupId) << "a clone goes into its parent's draw group";
    Send(copy, MSG_SET_NAME, "Copy");
    ASSERT_EQ(copy->ContactCount(), 1u);
    EXPECT_EQ(copy->m_Contacts.front().link.target, a);
    g_ActorSystem->DeleteActor(trigger);
    copy->ScheduleProcess();
    g_ScriptRuns.clear();
    Walk(20, {{a, 0}});
    std::vector<std::string> runs;
    for (const ScriptRun& run : g_ScriptRuns) runs.push_back(run.name + " " + run.caller);
    EXPECT_EQ(runs, (std::vector<std::string>{"On Trigger Exit A", "On Trigger Exit Last A"}));
    CQVActor* b = Walker("B");
    step = 0;
    Walk(12, {{b, 0}});
    EXPECT_EQ(copy->ContactCount(), 1u) << "a new actor is taken";
}

TEST_F(TriggerTest, CommandSelectionReachesEveryActorInside) {
    Send(trigger, MSG_SET_SELECTION_MAX_COUNT, 3u);
    CQVActor* a = Walker("A");
    CQVActor* b = Walker("B");
    Walk(11, {{a, 0}, {b, 0}});
    g_Heard.clear();
    struct {
        uint32_t id;
        Vector3 at;
    } command{MSG_SET_POSITION, Vector3(7.0f, 8.0f, 9.0f)};
    trigger->HandleMessage(MSG_COMMANDSELECTION, Args_Of(&command));
    EXPECT_EQ(HeardBy("A", {MSG_SET_POSITION}).size(), 1u);
    EXPECT_EQ(HeardBy("B", {MSG_SET_POSITION}).size(), 1u);
    EXPECT_EQ(b->m_Position.z, 9.0f);
}

// Stopped, it tracks nothing new; an old file's enter scripts bound to the
// collision itself are bound to the enter.
TEST_F(TriggerTest, StopSwitchesItsSphereOffAndOldScriptsAreRebound) {
    Send(trigger, MSG_STOP);
    EXPECT_FALSE(trigger->m_ColObjs[0].flags & COLOBJ_ACTIVE);
    EXPECT_EQ(Ask<uint32_t>(trigger, MSG_GET_ENABLED), 0u);
    CQVActor* a = Walker("A");
    Walk(15, {{a, 0}});
    EXPECT_TRUE(g_ScriptRuns.empty());
    Send(trigger, MSG_START);
    EXPECT_TRUE(trigger->m_ColObjs[0].flags & COLOBJ_ACTIVE);

    CQVTrigger* old = Make<CQVTrigger>(CLASS_TRIGGER, "Old");
    old->m_Scripts[0].boundMessage = MSG_COLLISION_EVENT;
    old->m_Flags &= ~ACTOR_PRECALCULATED;
    Send(old, MSG_PRECALCULATE);
    EXPECT_EQ(old->m_Scripts[0].boundMessage, MSG_ON_TRIGGER_ENTER);
}

}  // namespace
}  // namespace gameplay_test
