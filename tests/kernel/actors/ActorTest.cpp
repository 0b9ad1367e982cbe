#include "ActorTestSupport.h"

#include "kernel/actors/SimState.h"
#include "kernel/base/Random.h"

namespace {

using ActorTest = ActorSystemFixture;

TEST(ActorDefaults, NewActorStartsUnplacedStaticAndSaved) {
    CQVActor actor;
    EXPECT_EQ(actor.m_ClassType, 0u);
    EXPECT_EQ(actor.m_Id, 0xFFFFFFFFu);
    EXPECT_EQ(actor.m_ParentId, 0xFFFFFFFFu);
    EXPECT_EQ(actor.m_DrawGroupId, 0xFFFFFFFFu);
    EXPECT_EQ(actor.m_Scale.x, 1.0f);
    EXPECT_EQ(actor.m_Scale.z, 1.0f);
    EXPECT_EQ(actor.m_Rotation.w, 1.0f);
    EXPECT_EQ(actor.m_Rotation.x, 0.0f);
    EXPECT_EQ(actor.m_Flags, 0x9900u);
    EXPECT_EQ(actor.m_Activity, 3u);
    EXPECT_EQ(actor.m_Clock, &g_GlobalClock);
    EXPECT_EQ(actor.m_SelectedColObj, -1);
    EXPECT_EQ(actor.m_World.m[0][0], 1.0f);
    EXPECT_EQ(actor.m_World.m[3][0], 0.0f);
    EXPECT_EQ(actor.m_Parent, nullptr);
}

TEST(ActorDefaults, BaseActorStaysSmall) { EXPECT_LT(sizeof(CQVActor), 1024u); }

TEST_F(ActorTest, ParentMoveInvalidatesTheWholeSubtree) {
    CQVActor* parent = Make("parent");
    CQVActor* child = Make("child", parent);
    CQVActor* grandchild = Make("grandchild", child);
    parent->m_Position = Vector3(1.0f, 0.0f, 0.0f);
    child->m_Position = Vector3(0.0f, 2.0f, 0.0f);
    child->m_Scale = Vector3(2.0f, 2.0f, 2.0f);
    grandchild->m_Position = Vector3(0.0f, 0.0f, 3.0f);
    parent->InvalidateTransform();
    for (CQVActor* actor : {parent, child, grandchild}) {
        EXPECT_FALSE(actor->m_Flags & (ACTOR_LOCAL_VALID | ACTOR_WORLD_VALID | ACTOR_INVERSE_VALID));
        EXPECT_TRUE(actor->m_Flags & ACTOR_MOVED);
        EXPECT_NE(actor->m_BaseProcessRecord, nullptr);
    }
    // Reading the grandchild recomputes its ancestors first.
    const Vector3 world = grandchild->GetWorldPosition();
    EXPECT_FLOAT_EQ(world.x, 1.0f);
    EXPECT_FLOAT_EQ(world.y, 2.0f);
    EXPECT_FLOAT_EQ(world.z, 6.0f);
    for (CQVActor* actor : {parent, child, grandchild}) EXPECT_TRUE(actor->m_Flags & ACTOR_WORLD_VALID);
    const Matrix& inverse = grandchild->GetInverseWorldMatrix();
    EXPECT_FLOAT_EQ(inverse.m[3][2], -3.0f);
    EXPECT_TRUE(grandchild->m_Flags & ACTOR_INVERSE_VALID);
}

TEST_F(ActorTest, OneBaseProcessRecordWhileMovingAndOneMoreAtRest) {
    CQVActor* actor = Make("mover");
    actor->InvalidateTransform();
    TimedMessage* record = actor->m_BaseProcessRecord;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->messageId, static_cast<uint32_t>(MSG_BASEPROCESS));
    EXPECT_EQ(record->mode, 1);
    EXPECT_EQ(record->channel, 3);
    actor->InvalidateTransform();
    EXPECT_EQ(actor->m_BaseProcessRecord, record);
    EXPECT_EQ(actor->m_TimedMessages.size(), 1u);

    // A moving step: the delta follows the world position.
    g_FrameNumber = 1;
    actor->Update();
    g_FrameNumber = 2;
    actor->m_Position = Vector3(2.0f, 0.0f, 0.0f);
    actor->InvalidateTransform();
    Fire(record);
    EXPECT_FLOAT_EQ(actor->m_DeltaPosition.x, 2.0f);
    EXPECT_FALSE(actor->m_Flags & ACTOR_STATIC);
    EXPECT_TRUE(actor->m_Flags & ACTOR_MOVED_LAST_STEP);
    EXPECT_EQ(actor->m_BaseProcessRecord, record);

    // The step after the last movement notes the rest and ends the record.
    Fire(record);
    EXPECT_FLOAT_EQ(actor->m_DeltaPosition.x, 0.0f);
    EXPECT_TRUE(actor->m_Flags & ACTOR_STATIC);
    EXPECT_EQ(actor->m_BaseProcessRecord, nullptr);
    EXPECT_TRUE(record->state & TIMED_STATE_CANCELLED);
}

TEST_F(ActorTest, ClockRefreshFollowsPauseAndSpeed) {
    CQVActor* actor = Make("clocked");
    ActorClock clock;
    clock.ownScale = 0.5f;
    clock.flags = CLOCK_GLOBAL_SPEED;
    system->m_GlobalSpeedMultiplier = 2.0f;
    g_FrameTime = 0.1f;
    g_FrameNumber = 7;
    actor->UpdateClock(&clock);
    EXPECT_FLOAT_EQ(clock.effectiveScale, 1.0f);
    EXPECT_FLOAT_EQ(clock.time, 0.1f);
    EXPECT_EQ(clock.frameStamp, 7u);
    system->m_PauseWord = 1;
    actor->UpdateClock(&clock);
    EXPECT_FLOAT_EQ(clock.time, 0.1f);
    EXPECT_FLOAT_EQ(clock.previousTime, 0.1f);
    EXPECT_FLOAT_EQ(clock.olderTime, 0.0f);
    system->m_PauseWord = 0;

    // A clock owned by an actor on a scaled clock takes that clock's scale.
    ActorClock parentClock;
    parentClock.effectiveScale = 3.0f;
    parentClock.flags = CLOCK_MANUAL;
    CQVActor* timeInstance = Make("time");
    CQVActor* owner = Make("owner");
    timeInstance->m_Clock = &parentClock;
    parentClock.owner = timeInstance;
    ActorClock ownerClock;
    ownerClock.owner = timeInstance;
    owner->m_Clock = &ownerClock;
    ActorClock child;
    child.owner = owner;
    child.flags = 0;
    actor->UpdateClock(&child);
    EXPECT_FLOAT_EQ(child.effectiveScale, 3.0f);
    timeInstance->m_Clock = &g_GlobalClock;
    owner->m_Clock = &g_GlobalClock;
}

struct LinkOwner : public RecordingActor {
    std::vector<ActorLink*> invalid;
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_INVALID_ACTORPOINTER) invalid.push_back(Args_Pointer<ActorLink>(id, args));
        return RecordingActor::HandleMessage(id, args);
    }
};

TEST_F(ActorTest, DestroyingATargetClearsEveryLinkAndTellsTheOwners) {
    CQVActor* target = Make("Target");
    LinkOwner first;
    LinkOwner second;
    ActorLink a;
    ActorLink b;
    ActorLink c;
    a.SetOwner(&first);
    b.SetOwner(&second);
    c.SetOwner(&second);
    a.SetTarget(target);
    b.SetTarget(target);
    c.SetTarget(target);
    EXPECT_EQ(target->m_BackLinks.size(), 3u);
    c.Unlink();
    EXPECT_EQ(target->m_BackLinks.size(), 2u);
    ASSERT_EQ(system->DeleteActor(target), 1);
    EXPECT_EQ(a.target, nullptr);
    EXPECT_EQ(b.target, nullptr);
    EXPECT_EQ(first.invalid, std::vector<ActorLink*>{&a});
    EXPECT_EQ(second.invalid, std::vector<ActorLink*>{&b});
    EXPECT_NE(a.trace.find("  _ADD:Target"), std::string::npos);
    EXPECT_EQ(a.trace.rfind("  _Ow:", 0), 0u);
}

TEST_F(ActorTest, ALinkThatDiesFirstLeavesItsTarget) {
    CQVActor* target = Make("Target");
    {
        ActorLink link;
        link.SetTarget(target);
        ActorLink copy = link;
        EXPECT_EQ(target->m_BackLinks.size(), 2u);
    }
    EXPECT_TRUE(target->m_BackLinks.empty());
}

TEST_F(ActorTest, ALinkResolvesPathsAndGlobalSlots) {
    CQVActor* door = Make("GA5_Door");
    door->HandleMessage(MSG_SET_NAME, Args_Of("GA5_Door"));
    CQVActor* handle = Make("Handle", door);
    ActorLink link;
    link.SetOwner(global);
    link.targetName = "GA5/Handle";
    EXPECT_EQ(link.Resolve(), 1);
    EXPECT_EQ(link.target, handle);
    link.targetName = "GA6";
    EXPECT_EQ(link.Resolve(), 1);
    EXPECT_EQ(link.target, handle); // not found: the binding stays
    link.targetName = "../Scenery";
    EXPECT_EQ(link.Resolve(), 1);
    EXPECT_EQ(link.target, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY));
    link.targetName = "";
    EXPECT_EQ(link.Resolve(), 0);
}

struct GACase {
    const char* name;
    int slot;
};

class GAIndexTest : public testing::TestWithParam<GACase> {};

TEST_P(GAIndexTest, ParsesTheSlotNumber) { EXPECT_EQ(Script_ParseGAIndex(GetParam().name), GetParam().slot); }

INSTANTIATE_TEST_SUITE_P(Names, GAIndexTest,
                         testing::Values(GACase{"GA1", 1}, GACase{"GA12", 12}, GACase{"GA123", 123},
                                         GACase{"GA1234", 0}, GACase{"GA12_Door", 12}, GACase{"GA1X", 1},
                                         GACase{"Ga5", 0}, GACase{"GAx", 0}, GACase{"GA", 0}, GACase{"", 0}));

TEST_F(ActorTest, GlobalSlotsGoWithTheirActor) {
    CQVActor* first = Make("a");
    CQVActor* second = Make("b");
    first->HandleMessage(MSG_SET_NAME, Args_Of("GA7_Lift"));
    second->HandleMessage(MSG_SET_NAME, Args_Of("GA7_Other"));
    EXPECT_EQ(g_GAVariables[7], first);
    EXPECT_FALSE(second->m_Flags & ACTOR_HOLDS_GA_SLOT);
    first->HandleMessage(MSG_SET_NAME, Args_Of("GA12_Lift"));
    EXPECT_EQ(g_GAVariables[7], nullptr);
    EXPECT_EQ(g_GAVariables[12], first);
    ASSERT_EQ(system->DeleteActor(first), 1);
    EXPECT_EQ(g_GAVariables[12], nullptr);
}

TEST_F(ActorTest, CopyTakesNothingThatBelongsToTheSource) {
    CQVActor* source = Make("source");
    CQVActor* spy = Make("spy");
    source->m_SimParams = new SimParams;
    source->m_SimState = new SimState;
    source->m_SimState->contactCount = 5;
    source->m_CommandSpies.push_back(std::make_unique<ActorLink>());
    source->m_CommandSpies.back()->SetTarget(spy);
    source->ScheduleMessage(MSG_KILL, nullptr, 0x1200, 1.0f, 0.0f, 0.0f);
    system->QueueDelete(source);
    ActorLink link;
    link.SetTarget(source);

    CQVActor copy;
    copy.CopyFrom(*source);
    EXPECT_NE(copy.m_SimParams, source->m_SimParams);
    ASSERT_NE(copy.m_SimState, nullptr);
    EXPECT_EQ(copy.m_SimState->contactCount, 5u);
    EXPECT_TRUE(copy.m_TimedMessages.empty());
    EXPECT_TRUE(copy.m_BackLinks.empty());
    EXPECT_FALSE(copy.m_Flags & ACTOR_DELETE_PENDING);
    ASSERT_EQ(copy.m_CommandSpies.size(), 1u);
    EXPECT_EQ(copy.m_CommandSpies[0]->target, spy);
    EXPECT_EQ(spy->m_BackLinks.size(), 2u);
    copy.m_Children.clear();
    copy.m_Id = ACTOR_ID_NONE;
}

size_t RecordsOf(const CQVActor* actor) {
    size_t count = 0;
    for (const auto& channel : g_GlobalClock.channels) {
        for (const TimedMessageList* list : {&channel.perFrame, &channel.timed}) {
            for (const TimedMessage* r = list->head.next; r != &list->tail; r = r->next) count += r->actor == actor;
        }
    }
    return count;
}

TEST_F(ActorTest, DestroyingAnActorReleasesItsRecords) {
    CQVActor* actor = Make("timed");
    TimedMessage* kill = actor->ScheduleMessage(MSG_KILL, nullptr, 0x1200, 1.0f, 0.0f, 0.0f);
    ASSERT_NE(kill, nullptr);
    actor->CancelTimedMessage(kill);
    actor->InvalidateTransform();
    EXPECT_EQ(RecordsOf(actor), 2u);
    EXPECT_EQ(system->m_CancelledTimedMessages.size(), 1u);
    ASSERT_EQ(system->DeleteActor(actor), 1);
    EXPECT_TRUE(system->m_CancelledTimedMessages.empty());
    EXPECT_EQ(RecordsOf(actor), 0u);
}

TEST_F(ActorTest, TimedMessagesOfTheActor) {
    CQVActor* actor = Make("timed");
    g_GlobalClock.time = 10.0f;
    uint32_t id = 42;
    TimedMessage* spy = actor->ScheduleMessage(MSG_ADD_COMMANDSPY, Args_Of(&id), 0x02FD, 2.0f, 0.0f, 0.0f);
    TimedMessage* kill = actor->ScheduleMessage(MSG_KILL, nullptr, 0x1200, 1.5f, 0.0f, 0.0f);
    ASSERT_TRUE(spy && kill);
    EXPECT_FLOAT_EQ(kill->fireTime, 11.5f);
    EXPECT_EQ(kill->mode, 2);
    EXPECT_TRUE(kill->state & TIMED_STATE_SAVED);
    EXPECT_FALSE(spy->state & TIMED_STATE_SAVED);
    EXPECT_EQ(spy->tag, 0xFD);
    EXPECT_EQ(actor->FindTimedMessage(MSG_KILL), kill);
    EXPECT_EQ(actor->FindTimedMessageWithArg(MSG_ADD_COMMANDSPY, 42), spy);
    EXPECT_EQ(actor->FindTimedMessageWithArg(MSG_ADD_COMMANDSPY, 43), nullptr);
    EXPECT_EQ(actor->FindTimedMessageByTag(0xFD), spy);
    EXPECT_FLOAT_EQ(actor->GetTimedMessageRemaining(kill), 1.5f);
    actor->RescheduleTimedMessage(kill, 4.0f);
    EXPECT_FLOAT_EQ(kill->nextFire, 14.0f);
    actor->CancelTimedMessages(MSG_KILL);
    EXPECT_TRUE(kill->state & TIMED_STATE_CANCELLED);
    actor->CancelTimedMessage(nullptr);
    EXPECT_EQ(system->ScheduleMessage(nullptr, MSG_KILL, nullptr, 0, 0, 0, 0, nullptr, 1), nullptr);
    EXPECT_EQ(system->ScheduleMessage(actor, MSG_KILL, nullptr, 0, 0, 0, 0, nullptr, 4), nullptr);
    // A message with arguments scheduled without a block gets a zeroed one.
    TimedMessage* zeroed = actor->ScheduleMessage(MSG_SET_POSITION, nullptr, 0x1200, 1.0f, 0.0f, 0.0f);
    ASSERT_NE(zeroed->args, nullptr);
    EXPECT_EQ(Args_Get<float>(zeroed->args, 8), 0.0f);
    g_GlobalClock.time = 0.0f;
}

TEST_F(ActorTest, MarkedCollisionObjects) {
    CQVActor* actor = Make("collider");
    actor->m_ColObjs.resize(3);
    actor->m_ColObjs[1].flags |= COLOBJ_MARKED;
    actor->EnableMarkedColObjs(false);
    EXPECT_TRUE(actor->m_ColObjs[0].flags & COLOBJ_ACTIVE);
    EXPECT_FALSE(actor->m_ColObjs[1].flags & COLOBJ_ACTIVE);
    actor->EnableUnmarkedColObjs(false);
    EXPECT_FALSE(actor->m_ColObjs[0].flags & COLOBJ_ACTIVE);
    EXPECT_FALSE(actor->m_ColObjs[2].flags & COLOBJ_ACTIVE);
    actor->EnableMarkedColObjs(true);
    EXPECT_TRUE(actor->m_ColObjs[1].flags & COLOBJ_ACTIVE);
}

TEST(ActorRandom, UnitValuesStayInRange) {
    Random_Seed(1);
    for (int i = 0; i < 1000; ++i) {
        const float unit = Random_Unit();
        const float signedUnit = Random_SignedUnit();
        EXPECT_GE(unit, 0.0f);
        EXPECT_LE(unit, 0.9999f);
        EXPECT_GE(signedUnit, -1.0f);
        EXPECT_LE(signedUnit, 0.9998f);
    }
}

}  // namespace
