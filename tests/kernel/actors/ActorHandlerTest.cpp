#include "ActorTestSupport.h"

#include "kernel/actors/MessageArgs.h"
#include "kernel/base/FrameTime.h"

#include <algorithm>

namespace {

std::vector<std::string> g_ScriptRuns;

int RecordScriptRun(CQVScript* script, CQVActor* caller) {
    g_ScriptRuns.push_back(script->owner->m_Name + ":" + script->name);
    return 1;
}

class ActorHandlerTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        g_ScriptRuns.clear();
        g_ScriptExecute = &RecordScriptRun;
    }
    void TearDown() override {
        g_ScriptExecute = nullptr;
        ActorSystemFixture::TearDown();
    }

    static void Bind(CQVActor* actor, const char* name, uint32_t message) {
        CQVScript script;
        script.name = name;
        script.boundMessage = message;
        script.owner = actor;
        actor->m_Scripts.push_back(script);
    }

    // The values an actor was sent with one message, in order.
    std::vector<float> ValuesOf(const CQVActor* actor, uint32_t message) const {
        std::vector<float> values;
        for (const SeenMessage& seen : g_Seen) {
            if (seen.actorId == actor->m_Id && seen.id == message) values.push_back(seen.real);
        }
        return values;
    }

    static void AddSpy(CQVActor* actor, CQVActor* spy) {
        actor->m_CommandSpies.push_back(std::make_unique<ActorLink>());
        actor->m_CommandSpies.back()->SetTarget(spy);
    }

    static void Send(CQVActor* actor, uint32_t message, float value) {
        actor->HandleMessage(message, Args_Of(&value));
    }
    static void Send(CQVActor* actor, uint32_t message, uint32_t value) {
        actor->HandleMessage(message, Args_Of(&value));
    }
};

TEST_F(ActorHandlerTest, SpiesSeeEveryMessageFirstAndADeadSpyDropsOut) {
    CQVActor* actor = Make("Door");
    CQVActor* spy = Make("Spy");
    AddSpy(actor, spy);
    AddSpy(actor, spy);
    g_Seen.clear();
    Send(actor, MSG_SET_MASTER, 1u);
    // The recording class notes the message, then the spies see it, then
    // the base case runs.
    ASSERT_EQ(g_Seen.size(), 3u);
    EXPECT_EQ(g_Seen[1].actorId, spy->m_Id);
    EXPECT_EQ(g_Seen[1].id, MSG_COMMAND_SPY);
    EXPECT_EQ(g_Seen[1].word, static_cast<uint32_t>(MSG_SET_MASTER));
    EXPECT_EQ(g_Seen[2].actorId, spy->m_Id);

    ASSERT_EQ(system->DeleteActor(spy), 1);
    EXPECT_EQ(actor->m_CommandSpies.size(), 2u);
    g_Seen.clear();
    Send(actor, MSG_SET_MASTER, 0u);
    ASSERT_EQ(g_Seen.size(), 1u);
    EXPECT_EQ(g_Seen[0].actorId, actor->m_Id);
}

// An actor that spies on itself, and two that spy on each other: each
// message is told to each spy once, and the notices are not told again.
TEST_F(ActorHandlerTest, SpiesOnThemselvesOrEachOtherAreToldOnce) {
    CQVActor* self = Make("Mirror");
    AddSpy(self, self);
    CQVActor* left = Make("Left");
    CQVActor* right = Make("Right");
    AddSpy(left, right);
    AddSpy(right, left);
    g_Seen.clear();
    Send(self, MSG_SET_MASTER, 1u);
    EXPECT_EQ(SeenBy(self), (std::vector<uint32_t>{MSG_SET_MASTER, MSG_COMMAND_SPY}));
    g_Seen.clear();
    Send(left, MSG_SET_MASTER, 1u);
    EXPECT_EQ(SeenBy(left), std::vector<uint32_t>{MSG_SET_MASTER});
    EXPECT_EQ(SeenBy(right), std::vector<uint32_t>{MSG_COMMAND_SPY});
    self->m_CommandSpies.clear();
    left->m_CommandSpies.clear();
    right->m_CommandSpies.clear();
}

TEST_F(ActorHandlerTest, SpyBlockNamesMessageBlockAndActor) {
    class Capture : public CQVActor {
    public:
        int HandleMessage(uint32_t id, MessageArgs args) override {
            if (id == MSG_COMMAND_SPY) {
                // {message id, its block, the spied actor}
                message = Args_Get<uint32_t>(args);
                const MessageArgs* spied = Args_Pointer<const MessageArgs>(id, args, 4);
                value = spied ? Args_Get<uint32_t>(*spied) : 0;
                actor = Args_Pointer<CQVActor>(id, args, 4 + sizeof(void*));
                alreadyHandled = actor && actor->m_KillDelay != 0.0f;
            }
            return 1;
        }
        uint32_t message = 0;
        uint32_t value = 0;
        CQVActor* actor = nullptr;
        bool alreadyHandled = true;
    } spy;
    CQVActor* actor = Make("Door");
    AddSpy(actor, &spy);
    Send(actor, MSG_SET_KILL_DELAY, 7u);
    EXPECT_EQ(spy.message, static_cast<uint32_t>(MSG_SET_KILL_DELAY));
    EXPECT_EQ(spy.value, 7u);
    EXPECT_EQ(spy.actor, actor);
    EXPECT_FALSE(spy.alreadyHandled);
    EXPECT_NE(actor->m_KillDelay, 0.0f);
    actor->m_CommandSpies.clear();
}

TEST_F(ActorHandlerTest, StartWithoutDelaysRunsTheChainAtOnceWithItsScripts) {
    CQVActor* actor = Make("Lamp");
    Bind(actor, "pre", MSG_ACTION_START_PRE);
    Bind(actor, "start", MSG_ACTION_START);
    Bind(actor, "post", MSG_ACTION_START_POST);
    Bind(actor, "start2", MSG_ACTION_START);
    g_Seen.clear();
    actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    EXPECT_EQ(SeenBy(actor),
              (std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_START, MSG_ACTION_START_POST}));
    // Each step's scripts run when the step has been handled, so the inner
    // steps finish first.
    EXPECT_EQ(g_ScriptRuns, (std::vector<std::string>{"Lamp:post", "Lamp:start", "Lamp:start2", "Lamp:pre"}));
    EXPECT_TRUE(actor->m_TimedMessages.size() <= 1u);
}

// "Action Start Post" sends "Action Stop Pre" and "Action Stop Post" sends
// "Action Start Pre", with no delays and no times: the actor turns over
// once a frame instead of starting and stopping itself without end.
TEST_F(ActorHandlerTest, AnActorThatStopsOnStartAndStartsOnStopTurnsOverOncePerFrame) {
    CQVActor* actor = Make("Blinker");
    Send(actor, MSG_SET_STOPPRE_ON_STARTPOST, 1u);
    Send(actor, MSG_SET_STARTPRE_ON_STOPPOST, 1u);
    g_Seen.clear();
    actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    const std::vector<uint32_t> turn{MSG_ACTION_START_PRE, MSG_ACTION_START, MSG_ACTION_START_POST,
                                     MSG_ACTION_STOP_PRE,  MSG_ACTION_STOP,  MSG_ACTION_STOP_POST};
    EXPECT_EQ(SeenBy(actor), turn);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_NE(actor->FindTimedMessage(MSG_ACTION_START_PRE), nullptr);
        g_Seen.clear();
        g_FrameTime = 0.1f;
        ++g_FrameNumber;
        system->UpdateClock(&g_GlobalClock);
        system->RunTimedMessagePass();
        std::vector<uint32_t> steps = SeenBy(actor);
        // The pass's own per-frame step is no part of the chain.
        steps.erase(std::remove(steps.begin(), steps.end(), static_cast<uint32_t>(MSG_BASEPROCESS)), steps.end());
        EXPECT_EQ(steps, turn);
    }
}

TEST_F(ActorHandlerTest, DelayedStartIsScheduledAndRunsWhenFired) {
    CQVActor* actor = Make("Lamp");
    g_GlobalClock.time = 5.0f;
    Send(actor, MSG_SET_ACTION_START_DELAY, 2.0f);
    g_Seen.clear();
    actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    EXPECT_EQ(SeenBy(actor), std::vector<uint32_t>{MSG_ACTION_START_PRE});
    TimedMessage* start = actor->FindTimedMessage(MSG_ACTION_START);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->mode, 2);
    EXPECT_EQ(start->channel, 1);
    EXPECT_EQ(start->tag, 0);
    EXPECT_TRUE(start->state & TIMED_STATE_SAVED);
    EXPECT_FLOAT_EQ(start->fireTime, 7.0f);
    Fire(start);
    EXPECT_EQ(SeenBy(actor),
              (std::vector<uint32_t>{MSG_ACTION_START_PRE, MSG_ACTION_START, MSG_ACTION_START_POST}));
    g_GlobalClock.time = 0.0f;
}

TEST_F(ActorHandlerTest, StopCancelsADelayedStart) {
    CQVActor* actor = Make("Lamp");
    Send(actor, MSG_SET_ACTION_START_DELAY, 2.0f);
    actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    TimedMessage* start = actor->FindTimedMessage(MSG_ACTION_START);
    ASSERT_NE(start, nullptr);
    actor->HandleMessage(MSG_ACTION_STOP_PRE, nullptr);
    EXPECT_TRUE(start->state & TIMED_STATE_CANCELLED);
}

TEST_F(ActorHandlerTest, AStopFadeTakesOverFromTheValueTheStartReached) {
    CQVActor* actor = Make("Lamp");
    Send(actor, MSG_SET_ACTION_START_TIME, 1.0f);
    Send(actor, MSG_SET_ACTION_STOP_TIME, 2.0f);
    g_Seen.clear();
    actor->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(ValuesOf(actor, MSG_ACTION_START_VALUE), std::vector<float>{0.0f});
    TimedMessage* fade = actor->FindTimedMessageByTag(0xFF);
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->messageId, static_cast<uint32_t>(MSG_COMMAND_LERP));
    EXPECT_EQ(fade->mode, 13);
    EXPECT_FLOAT_EQ(fade->period, 0.033333335f);
    EXPECT_FLOAT_EQ(fade->endTime - fade->fireTime, 1.0f);
    TimedMessage* post = actor->FindTimedMessageByTag(0xFE);
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->messageId, static_cast<uint32_t>(MSG_ACTION_START_POST));

    // The pass has walked the fade to 0.4 of its time.
    fade->nextFire = fade->fireTime + 0.4f;
    Args_Set(fade->args, 0, 0.4f);
    Fire(fade);
    EXPECT_FLOAT_EQ(ValuesOf(actor, MSG_ACTION_START_VALUE).back(), 0.4f);

    actor->HandleMessage(MSG_ACTION_STOP, nullptr);
    EXPECT_TRUE(fade->state & TIMED_STATE_CANCELLED);
    EXPECT_TRUE(post->state & TIMED_STATE_CANCELLED);
    const std::vector<float> stopValues = ValuesOf(actor, MSG_ACTION_STOP_VALUE);
    ASSERT_EQ(stopValues.size(), 1u);
    EXPECT_FLOAT_EQ(stopValues[0], 0.4f);
    TimedMessage* stopFade = nullptr;
    for (TimedMessage* record : actor->m_TimedMessages) {
        if (record->tag == 0xFF && !(record->state & TIMED_STATE_CANCELLED)) stopFade = record;
    }
    ASSERT_NE(stopFade, nullptr);
    EXPECT_FLOAT_EQ(Args_Get<float>(stopFade->args, 8), 0.4f);
    EXPECT_FLOAT_EQ(Args_Get<float>(stopFade->args, 16), 0.0f);
    // Its last step lands on the end value.
    Args_Set(stopFade->args, 0, 1.0f);
    Fire(stopFade);
    EXPECT_FLOAT_EQ(ValuesOf(actor, MSG_ACTION_STOP_VALUE).back(), 0.0f);
}

// In play, the stop fade starts from the last value the start fade showed,
// not from where its next step would have gone.
TEST_F(ActorHandlerTest, AStopFadeInPlayStartsFromTheLastValueShown) {
    CQVActor* actor = Make("Lamp");
    Send(actor, MSG_SET_ACTION_START_TIME, 1.0f);
    Send(actor, MSG_SET_ACTION_STOP_TIME, 1.0f);
    actor->HandleMessage(MSG_ACTION_START, nullptr);
    for (int frame = 0; frame < 20; ++frame) {
        g_FrameTime = 1.0f / 60.0f;
        ++g_FrameNumber;
        system->UpdateClock(&g_GlobalClock);
        system->RunTimedMessagePass();
    }
    const std::vector<float> shown = ValuesOf(actor, MSG_ACTION_START_VALUE);
    ASSERT_GT(shown.size(), 2u);
    ASSERT_GT(shown.back(), 0.1f);
    actor->HandleMessage(MSG_ACTION_STOP, nullptr);
    const std::vector<float> stopValues = ValuesOf(actor, MSG_ACTION_STOP_VALUE);
    ASSERT_EQ(stopValues.size(), 1u);
    EXPECT_FLOAT_EQ(stopValues[0], shown.back());
}

TEST_F(ActorHandlerTest, BlockFlagsStopPropagation) {
    CQVActor* parent = Make("parent");
    CQVActor* open = Make("open", parent);
    CQVActor* closed = Make("closed", parent);
    Send(closed, MSG_SET_BLOCKSTARTFROMPARENT, 1u);
    g_Seen.clear();
    parent->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(SeenBy(open).front(), static_cast<uint32_t>(MSG_ACTION_START_PRE));
    EXPECT_TRUE(SeenBy(closed).empty());

    Send(parent, MSG_SET_BLOCKSTARTTOCHILDREN, 1u);
    g_Seen.clear();
    parent->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_TRUE(SeenBy(open).empty());
    EXPECT_FALSE(SeenBy(parent).empty());

    Send(open, MSG_SET_DONTEXECACTIONCOMMAND, 1u);
    uint32_t command[2] = {MSG_SET_MASTER, 1};
    parent->HandleMessage(MSG_ACTION_COMMAND, Args_Of(command));
    EXPECT_TRUE(parent->m_Flags & ACTOR_MASTER);
    EXPECT_FALSE(open->m_Flags & ACTOR_MASTER);
    EXPECT_TRUE(closed->m_Flags & ACTOR_MASTER);
}

TEST_F(ActorHandlerTest, AKilledParentGoesWithItsLastChild) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Send(child, MSG_SET_BLOCKKILLFROMPARENT, 1u);
    const uint32_t parentId = parent->m_Id;
    parent->HandleMessage(MSG_KILL_PRE, nullptr);
    EXPECT_TRUE(parent->m_Activity & ACTIVITY_KILLED);
    EXPECT_FALSE(parent->m_Flags & ACTOR_DELETE_PENDING);
    EXPECT_FALSE(child->m_Activity & ACTIVITY_KILLED);
    // A killed actor ignores a start.
    g_Seen.clear();
    parent->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(SeenBy(parent), std::vector<uint32_t>{MSG_ACTION_START});
    ASSERT_EQ(system->DeleteActor(child), 1);
    EXPECT_TRUE(parent->m_Flags & ACTOR_DELETE_PENDING);
    EXPECT_EQ(parent->m_Name, "__parent");
    system->RunPendingDeletes();
    EXPECT_EQ(CQVActorSystem::GetActorById(parentId), nullptr);
}

TEST_F(ActorHandlerTest, KillWithATimeFadesAndDeletesAfterIt) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Send(parent, MSG_SET_KILL_DELAY, 1.0f);
    Send(parent, MSG_SET_KILL_TIME, 3.0f);
    Send(parent, MSG_SET_FORCEDELETE_ON_KILLPOST, 1u);
    parent->HandleMessage(MSG_KILL_PRE, nullptr);
    TimedMessage* kill = parent->FindTimedMessage(MSG_KILL);
    ASSERT_NE(kill, nullptr);
    EXPECT_FLOAT_EQ(kill->fireTime, 1.0f);
    g_Seen.clear();
    Fire(kill);
    EXPECT_EQ(ValuesOf(parent, MSG_KILL_VALUE), std::vector<float>{1.0f});
    EXPECT_EQ(SeenBy(child).front(), static_cast<uint32_t>(MSG_KILL_PRE));
    TimedMessage* post = parent->FindTimedMessage(MSG_KILL_POST);
    ASSERT_NE(post, nullptr);
    EXPECT_FLOAT_EQ(post->fireTime, 3.0f);
    Fire(post);
    EXPECT_TRUE(parent->m_Flags & ACTOR_DELETE_PENDING);
}

TEST_F(ActorHandlerTest, InitLoadRegistersTheNameAndRepairsOldFiles) {
    CQVActor* actor = system->CreateActor(TEST_TYPE, "", nullptr, global, ACTOR_ID_ANY, 0, 0);
    ASSERT_NE(actor, nullptr);
    // As the file reader leaves an actor: fields set, nothing registered.
    actor->m_Name = "GA9_Loaded";
    actor->m_ActionFlags = ACTION_BLOCK_KILL_TO_CHILDREN;
    actor->m_ColObjs.resize(1);
    actor->m_ColObjs[0].flags = 0x41;
    actor->m_DrawGroupId = 4;
    actor->m_Flags |= ACTOR_PRECALCULATED | ACTOR_IN_DRAWGROUP;
    TimedMessage* saved = NewTimedMessage();
    saved->actor = actor;
    saved->messageId = MSG_ACTION_START;
    saved->mode = 2;
    actor->m_TimedMessages.push_back(saved);
    system->SetLoadVersion(56);
    actor->HandleMessage(MSG_INIT_LOAD, nullptr);
    system->SetLoadVersion(0xFFFFFFFF);

    EXPECT_EQ(actor->m_Name, "GA9_Loaded");
    EXPECT_EQ(g_GAVariables[9], actor);
    EXPECT_EQ(actor->m_ActionFlags, 0u);
    EXPECT_EQ(actor->m_DrawGroupId, 0xFFFFFFFFu);
    EXPECT_FALSE(actor->m_Flags & (ACTOR_PRECALCULATED | ACTOR_IN_DRAWGROUP));
    EXPECT_TRUE(actor->m_Flags & ACTOR_COLLISION_ENABLED);
    EXPECT_EQ(actor->m_ColObjs[0].owner, actor);
    // Subtype bit 6, and the group bit of the owner's class (the test class is a Door's).
    EXPECT_EQ(actor->m_ColObjs[0].groups, 1u | (1u << 16) | (1u << 25));
    EXPECT_TRUE(saved->state & TIMED_STATE_LINKED);
    EXPECT_EQ(g_GlobalClock.channels[1].timed.head.next, saved);

    // A newer file keeps its action flags; an actor without volumes loses
    // its collision bit.
    CQVActor* other = system->CreateActor(TEST_TYPE, "Other", nullptr, global, ACTOR_ID_ANY, 0, 0);
    other->m_ActionFlags = ACTION_BLOCK_KILL_TO_CHILDREN;
    system->SetLoadVersion(70);
    other->HandleMessage(MSG_INIT_LOAD, nullptr);
    EXPECT_EQ(other->m_ActionFlags, static_cast<uint32_t>(ACTION_BLOCK_KILL_TO_CHILDREN));
    EXPECT_FALSE(other->m_Flags & ACTOR_COLLISION_ENABLED);
}

TEST_F(ActorHandlerTest, StartAndStopTurnTheVolumesOnAndOff) {
    CQVActor* actor = Make("Trap");
    actor->m_ColObjs.resize(1);
    actor->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    g_Seen.clear();
    actor->HandleMessage(MSG_ACTION_START, nullptr);
    const std::vector<uint32_t> seen = SeenBy(actor);
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<uint32_t>(MSG_SET_COLLISION_ENABLE)), seen.end());
    EXPECT_EQ(ValuesOf(actor, MSG_SET_COLLISION_ENABLE).size(), 1u);
}

TEST_F(ActorHandlerTest, InvalidateOldPositionTakesTheSubtreeToRest) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    parent->m_Position = Vector3(4.0f, 0.0f, 0.0f);
    child->m_Position = Vector3(0.0f, 1.0f, 0.0f);
    parent->InvalidateTransform();
    parent->HandleMessage(MSG_INVALIDATE_OLDPOSITION, nullptr);
    EXPECT_FLOAT_EQ(parent->m_PrevPosition.x, 4.0f);
    EXPECT_FLOAT_EQ(child->m_PrevWorldPosition.x, 4.0f);
    EXPECT_FLOAT_EQ(child->m_PrevWorldPosition.y, 1.0f);
}

TEST_F(ActorHandlerTest, CreateWithoutSourceIsInitNew) {
    CQVActor* actor = system->CreateActor(TEST_TYPE, "fresh", nullptr, global, ACTOR_ID_ANY, 0, 0);
    ASSERT_NE(actor, nullptr);
    CQVActor* none = nullptr;
    g_Seen.clear();
    actor->HandleMessage(MSG_CREATE, Args_Of(&none));
    EXPECT_EQ(SeenBy(actor), (std::vector<uint32_t>{MSG_CREATE, MSG_INIT_NEW, MSG_PRECALCULATE}));
    EXPECT_TRUE(actor->m_Flags & ACTOR_PRECALCULATED);
    EXPECT_NE(actor->m_BaseProcessRecord, nullptr);
}

TEST_F(ActorHandlerTest, ACopyOfASlotHolderLeavesTheSlotWithItsSource) {
    CQVActor* door = Make("x");
    door->HandleMessage(MSG_SET_NAME, Args_Of("GA7_Door"));
    ASSERT_EQ(g_GAVariables[7], door);
    CQVActor* copy = system->CloneActor(door, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Name, "OGA7_Door");
    EXPECT_FALSE(copy->m_Flags & ACTOR_HOLDS_GA_SLOT);
    EXPECT_EQ(g_GAVariables[7], door);
    ASSERT_EQ(system->DeleteActor(copy), 1);
    EXPECT_EQ(g_GAVariables[7], door);
}

TEST_F(ActorHandlerTest, ACopyOnATimeInstanceClockIsConnectedAgain) {
    CQVActor* timeInstance = Make("Time");
    ActorClock clock;
    clock.owner = timeInstance;
    clock.flags = 0;
    CQVActor* source = Make("Walker");
    source->m_Clock = &clock;
    g_Seen.clear();
    CQVActor* copy = system->CloneActor(source, global, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_Clock, &g_GlobalClock);
    const std::vector<uint32_t> told = SeenBy(timeInstance);
    EXPECT_NE(std::find(told.begin(), told.end(), static_cast<uint32_t>(MSG_TIMEINSTANCE_CONNECT_ACTOR)), told.end());
    // The clock is about to go: nothing may stay linked into it.
    for (TimedMessage* record : std::vector<TimedMessage*>(source->m_TimedMessages)) {
        system->ReleaseTimedMessage(record);
    }
    source->m_Clock = &g_GlobalClock;
}

TEST_F(ActorHandlerTest, CommandLerpSendsTheMixOfTwoCommands) {
    CQVActor* actor = Make("Lamp");
    struct {
        float t;
        uint32_t a;
        float from;
        uint32_t b;
        float to;
    } block{0.25f, MSG_ACTION_START_VALUE, 2.0f, MSG_ACTION_START_VALUE, 6.0f};
    g_Seen.clear();
    actor->HandleMessage(MSG_COMMAND_LERP, Args_Of(&block));
    EXPECT_EQ(ValuesOf(actor, MSG_ACTION_START_VALUE), std::vector<float>{3.0f});
    block.b = MSG_ACTION_STOP_VALUE;
    g_Seen.clear();
    actor->HandleMessage(MSG_COMMAND_LERP, Args_Of(&block));
    EXPECT_EQ(SeenBy(actor), std::vector<uint32_t>{MSG_COMMAND_LERP});
}

TEST_F(ActorHandlerTest, TimerCommandsAreScheduledAndDeletedByCommand) {
    CQVActor* actor = Make("Lamp");
    struct {
        float delay;
        uint32_t id;
        uint32_t value;
    } timer{1.5f, MSG_SET_MASTER, 1};
    actor->HandleMessage(MSG_TIMERCOMMAND, Args_Of(&timer));
    TimedMessage* record = actor->FindTimedMessage(MSG_SET_MASTER);
    ASSERT_NE(record, nullptr);
    EXPECT_FLOAT_EQ(record->fireTime, 1.5f);
    EXPECT_EQ(Args_Get<uint32_t>(record->args), 1u);
    Fire(record);
    EXPECT_TRUE(actor->m_Flags & ACTOR_MASTER);

    struct {
        float delay;
        float length;
        uint32_t a;
        float from;
        uint32_t b;
        float to;
    } lerp{0.5f, 2.0f, MSG_ACTION_START_VALUE, 0.0f, MSG_ACTION_START_VALUE, 1.0f};
    actor->HandleMessage(MSG_TIMED_COMMAND_LERP, Args_Of(&lerp));
    TimedMessage* timed = actor->FindTimedMessage(MSG_COMMAND_LERP);
    ASSERT_NE(timed, nullptr);
    EXPECT_EQ(timed->mode, 13);
    EXPECT_FALSE(timed->state & TIMED_STATE_SAVED);
    EXPECT_FLOAT_EQ(timed->fireTime, 0.5f);
    EXPECT_FLOAT_EQ(timed->endTime, 2.5f);
    EXPECT_EQ(Args_Get<uint32_t>(timed->args, 4), static_cast<uint32_t>(MSG_ACTION_START_VALUE));

    Send(actor, MSG_DELETE_TIMERCOMMANDS_BY_CMD, static_cast<uint32_t>(MSG_COMMAND_LERP));
    EXPECT_TRUE(timed->state & TIMED_STATE_CANCELLED);
}

TEST_F(ActorHandlerTest, ActionTimeIsTheLongestOfTheSubtree) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Make("grandchild", child)->m_ActionTime = 7.0f;
    parent->m_ActionTime = 2.0f;
    child->m_ActionTime = 3.0f;
    parent->HandleMessage(MSG_CALC_ACTION_TIME_CC, nullptr);
    EXPECT_FLOAT_EQ(parent->m_ActionTime, 7.0f);
    EXPECT_FLOAT_EQ(child->m_ActionTime, 3.0f);
}

TEST_F(ActorHandlerTest, SettingOperationalPreparesTheAncestorsFirst) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    Send(parent, MSG_SET_OPERATIONAL, 0u);
    EXPECT_FALSE(child->IsOperational());
    parent->m_Flags &= ~ACTOR_PRECALCULATED;
    child->m_Flags &= ~ACTOR_PRECALCULATED;
    g_Seen.clear();
    Send(child, MSG_SET_OPERATIONAL, 1u);
    EXPECT_TRUE(parent->IsOperational());
    EXPECT_TRUE(child->IsOperational());
    ASSERT_GE(g_Seen.size(), 3u);
    EXPECT_EQ(g_Seen[1].actorId, parent->m_Id);
    EXPECT_EQ(g_Seen[1].id, static_cast<uint32_t>(MSG_PRECALCULATE));
    EXPECT_EQ(g_Seen[2].actorId, child->m_Id);
    EXPECT_EQ(g_Seen[2].id, static_cast<uint32_t>(MSG_PRECALCULATE));
}

TEST_F(ActorHandlerTest, EnabledOnlyActsOnAChange) {
    CQVActor* actor = Make("Lamp");
    Bind(actor, "on", MSG_SET_ENABLED);
    g_Seen.clear();
    Send(actor, MSG_SET_ENABLED, 1u);
    EXPECT_EQ(SeenBy(actor), std::vector<uint32_t>{MSG_SET_ENABLED});
    Send(actor, MSG_SET_ENABLED, 0u);
    EXPECT_EQ(ValuesOf(actor, MSG_ACTION_START_VALUE), std::vector<float>{0.0f});
    EXPECT_TRUE(g_ScriptRuns.empty());
    uint32_t enabled = 9;
    actor->HandleMessage(MSG_GET_ENABLED, Args_Of(&enabled));
    EXPECT_EQ(enabled, 1u);
}

struct PairCase {
    uint32_t set;
    uint32_t get;
    float value;
};

class PropertyPairTest : public ActorHandlerTest, public testing::WithParamInterface<PairCase> {};

TEST_P(PropertyPairTest, SetThenGetGivesTheValueBack) {
    CQVActor* actor = Make("x");
    const PairCase& c = GetParam();
    if (c.value < 0.0f) {
        Send(actor, c.set, 1u);
        uint32_t out = 0;
        actor->HandleMessage(c.get, Args_Of(&out));
        EXPECT_EQ(out, 1u);
        Send(actor, c.set, 0u);
        actor->HandleMessage(c.get, Args_Of(&out));
        EXPECT_EQ(out, 0u);
        EXPECT_EQ(actor->m_ActionFlags, 0u);
    } else {
        Send(actor, c.set, c.value);
        float out = 0.0f;
        actor->HandleMessage(c.get, Args_Of(&out));
        EXPECT_FLOAT_EQ(out, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PropertyPairTest,
    testing::Values(PairCase{MSG_SET_KILL_DELAY, MSG_GET_KILL_DELAY, 1.5f},
                    PairCase{MSG_SET_KILL_TIME, MSG_GET_KILL_TIME, 2.5f},
                    PairCase{MSG_SET_ACTION_START_DELAY, MSG_GET_ACTION_START_DELAY, 3.5f},
                    PairCase{MSG_SET_ACTION_START_TIME, MSG_GET_ACTION_START_TIME, 4.5f},
                    PairCase{MSG_SET_ACTION_STOP_DELAY, MSG_GET_ACTION_STOP_DELAY, 5.5f},
                    PairCase{MSG_SET_ACTION_STOP_TIME, MSG_GET_ACTION_STOP_TIME, 6.5f},
                    PairCase{MSG_SET_ACTION_TIME, MSG_GET_ACTION_TIME, 7.5f},
                    PairCase{MSG_SET_BLOCKSTARTFROMPARENT, MSG_GET_BLOCKSTARTFROMPARENT, -1.0f},
                    PairCase{MSG_SET_BLOCKCMDTOCHILDREN, MSG_GET_BLOCKCMDTOCHILDREN, -1.0f},
                    PairCase{MSG_SET_STOP_LEAVE_DELAYEDSTART, MSG_GET_STOP_LEAVE_DELAYEDSTART, -1.0f},
                    PairCase{MSG_SET_MASTER, MSG_GET_MASTER, -1.0f}));

// Answers the time messages the base only passes on.
class Clocked : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_CURRENT_TIME) Args_Set(args, 0, current);
        if (id == MSG_SET_CURRENT_TIME) current = Args_Get<float>(args);
        if (id == MSG_GET_TOTAL_TIME) Args_Set(args, 0, total);
        return RecordingActor::HandleMessage(id, args);
    }
    float current = 1.0f;
    float total = 4.0f;
};

TEST_F(ActorHandlerTest, TimeMessagesUseTheClassAnswers) {
    Clocked actor;
    Send(&actor, MSG_ADD_CURRENT_TIME, 0.5f);
    EXPECT_FLOAT_EQ(actor.current, 1.5f);
    Send(&actor, MSG_SET_CURRENT_NORMALIZED_TIME, 0.25f);
    EXPECT_FLOAT_EQ(actor.current, 1.0f);
    float normalized = 0.0f;
    actor.HandleMessage(MSG_GET_CURRENT_NORMALIZED_TIME, Args_Of(&normalized));
    EXPECT_FLOAT_EQ(normalized, 0.25f);
    // The base answers no length, and a position without a length is 0.
    CQVActor plain;
    normalized = 5.0f;
    plain.HandleMessage(MSG_GET_CURRENT_NORMALIZED_TIME, Args_Of(&normalized));
    EXPECT_EQ(normalized, 0.0f);
}

}  // namespace
