#include "ActorTestSupport.h"
#include "AdoptActor.h"

#include "kernel/actors/DrawGroups.h"

#include <algorithm>
#include <memory>

namespace {

uint32_t g_NextTestId = 7000;

void Record(const CQVActor* actor, uint32_t id) { g_Seen.push_back(SeenMessage{actor->m_Id, id, 0, 0.0f}); }

class TestGroup : public CQVDrawGroupBase {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_ON_DRAW_START || id == MSG_ON_DRAW_STOP) Record(this, id);
        return CQVDrawGroupBase::HandleMessage(id, args);
    }
    void OnVisible(float dt) override {
        ++visibleCount;
        CQVDrawGroupBase::OnVisible(dt);
    }
    int visibleCount = 0;
};

class TestConnector : public CQVDrawGroupConnectorBase {
public:
    void OnVisible(float dt) override { ++visibleCount; }
    int visibleCount = 0;
};

// Notes its updates, and the draw and membership messages it receives.
class Member : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_ON_DRAW_START:
        case MSG_ON_DRAW_STOP:
        case MSG_ON_ENTER_DRAWGROUP:
        case MSG_ON_EXIT_DRAWGROUP:
        case MSG_ON_INVALID_DRAWGROUP:
        case MSG_CALLBACK_START_MOVING:
        case MSG_CALLBACK_END_MOVING:
            Record(this, id);
            break;
        default:
            break;
        }
        return CQVActor::HandleMessage(id, args);
    }
    void Update() override {
        g_Updates.push_back(m_Id);
        CQVActor::Update();
    }
    void OnVisible(float dt) override { ++visibleCount; }
    int visibleCount = 0;
    static inline std::vector<uint32_t> g_Updates;
};

class DrawGroupTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        // New actors were not drawn in the frame before.
        g_GlobalClock.previousTime = -1.0f;
        Member::g_Updates.clear();
        g_NextTestId = 7000;
    }

    // Puts an actor into the table under its parent (Global when none).
    template <typename T>
    T* Adopt(T* actor, CQVActor* parent = nullptr) {
        return AdoptActor(actor, g_NextTestId++, parent ? parent : global);
    }

    TestGroup* Group(const Vector3& min, const Vector3& max, bool open = false) {
        TestGroup* group = Adopt(new TestGroup);
        group->m_BoxMin = min;
        group->m_BoxMax = max;
        group->m_Open = open ? 1 : 0;
        group->m_Flags |= ACTOR_DRAWGROUP_INHERITED;
        return group;
    }

    // A cube of side 10 starting at x0.
    TestGroup* Cell(float x0, bool open = false) {
        return Group(Vector3(x0, 0.0f, 0.0f), Vector3(x0 + 10.0f, 10.0f, 10.0f), open);
    }

    TestConnector* Join(TestGroup* a, TestGroup* b, bool open) {
        TestConnector* connector = Adopt(new TestConnector);
        connector->m_GroupIds = {a->m_DrawGroupId, b->m_DrawGroupId};
        connector->m_Open = open ? 1 : 0;
        a->m_Connectors.push_back(connector->m_Id);
        b->m_Connectors.push_back(connector->m_Id);
        return connector;
    }

    // A moving, collision-free actor listed in a group.
    Member* Listed(TestGroup* group) {
        Member* member = Adopt(new Member);
        member->m_Flags &= ~(ACTOR_STATIC | ACTOR_COLLISION_ENABLED);
        member->m_DrawGroupId = group->m_DrawGroupId;
        system->AddToDrawGroup(member, 0);
        return member;
    }

    static std::vector<uint32_t> DrawnIds() {
        std::vector<uint32_t> ids;
        for (CQVDrawGroupBase* group : g_DrawGroups) {
            if (group && group->m_Drawn) ids.push_back(group->m_DrawGroupId);
        }
        return ids;
    }

    std::vector<uint32_t> SeenIds(const CQVActor* actor) const { return SeenBy(actor); }
};

TEST_F(DrawGroupTest, FindsTheFirstGroupStrictlyHoldingThePoint) {
    TestGroup* a = Cell(0.0f);
    TestGroup* b = Group(Vector3(5.0f, 0.0f, 0.0f), Vector3(20.0f, 10.0f, 10.0f));
    EXPECT_EQ(a->m_DrawGroupId, 2u);
    EXPECT_EQ(b->m_DrawGroupId, 3u);
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(7.0f, 5.0f, 5.0f), 2), 2u);
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(7.0f, 5.0f, 5.0f), 3), 3u);
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(15.0f, 5.0f, 5.0f), 2), 3u);
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(10.0f, 10.0f, 5.0f), 2), DRAWGROUP_NONE) << "on the boundary";
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(7.0f, 5.0f, 5.0f), 4), DRAWGROUP_NONE);
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(7.0f, 5.0f, 5.0f), 1000), DRAWGROUP_NONE);
    // The box follows the group's world matrix.
    a->m_Position = Vector3(100.0f, 0.0f, 0.0f);
    a->InvalidateTransform();
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(105.0f, 5.0f, 5.0f), 2), 2u);
    // The built-in groups are never found.
    EXPECT_EQ(system->FindDrawGroupAt(Vector3(0.0f, 0.0f, 0.0f), 0), DRAWGROUP_NONE);
}

TEST_F(DrawGroupTest, PortalsLeadOnlyThroughOpenConnectors) {
    TestGroup* a = Cell(0.0f);
    TestGroup* b = Cell(10.0f);
    TestGroup* c = Cell(20.0f);
    TestGroup* d = Cell(30.0f);
    TestConnector* ab = Join(a, b, true);
    TestConnector* ac = Join(a, c, false);
    Join(b, d, true);
    Member* inA = Listed(a);
    Member* inB = Listed(b);
    Member* inC = Listed(c);
    Member* inD = Listed(d);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    g_GlobalClock.time = 2.0f;

    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(DrawnIds(), (std::vector<uint32_t>{a->m_DrawGroupId, b->m_DrawGroupId, d->m_DrawGroupId}));
    EXPECT_EQ(Member::g_Updates, (std::vector<uint32_t>{inA->m_Id, inB->m_Id, inD->m_Id}));
    EXPECT_EQ(ab->visibleCount, 1) << "met from both of its groups, made visible once";
    EXPECT_EQ(ac->visibleCount, 1) << "a closed connector is visible, the group behind it is not";
    EXPECT_EQ(c->visibleCount, 0);
    EXPECT_EQ(SeenIds(a), std::vector<uint32_t>{MSG_ON_DRAW_START});
    EXPECT_FLOAT_EQ(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY)->m_LastUpdateTime, 2.0f);
    EXPECT_TRUE(std::find(Member::g_Updates.begin(), Member::g_Updates.end(), inC->m_Id) == Member::g_Updates.end());

    // The camera moves behind the closed connector: the others stop drawing.
    g_Seen.clear();
    Member::g_Updates.clear();
    g_DrawCameraPosition = Vector3(25.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(DrawnIds(), (std::vector<uint32_t>{c->m_DrawGroupId}));
    EXPECT_EQ(SeenIds(c), std::vector<uint32_t>{MSG_ON_DRAW_START});
    for (TestGroup* stopped : {a, b, d}) EXPECT_EQ(SeenIds(stopped), std::vector<uint32_t>{MSG_ON_DRAW_STOP});
    EXPECT_EQ(Member::g_Updates, std::vector<uint32_t>{inC->m_Id});
}

TEST_F(DrawGroupTest, CameraOutsideEveryGroupUpdatesOnlyTheHud) {
    TestGroup* a = Cell(0.0f);
    Member* inA = Listed(a);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    g_Seen.clear();
    Member::g_Updates.clear();
    g_GlobalClock.time = 3.0f;
    g_DrawCameraPosition = Vector3(-50.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    EXPECT_TRUE(g_Seen.empty()) << "no group stops drawing";
    EXPECT_TRUE(Member::g_Updates.empty());
    EXPECT_EQ(a->m_Drawing, 1u);
    EXPECT_FLOAT_EQ(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY)->m_LastUpdateTime, 3.0f);
    (void)inA;
}

TEST_F(DrawGroupTest, AnOpenGroupShowsTheNextGroupHoldingTheCamera) {
    TestGroup* outer = Group(Vector3(0.0f, 0.0f, 0.0f), Vector3(100.0f, 10.0f, 10.0f), true);
    TestGroup* inner = Cell(0.0f);
    TestGroup* third = Cell(0.0f);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(DrawnIds(), (std::vector<uint32_t>{outer->m_DrawGroupId, inner->m_DrawGroupId}))
        << "the closed inner group hides the third";
    outer->m_Open = 0;
    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(DrawnIds(), std::vector<uint32_t>{outer->m_DrawGroupId});
    (void)third;
}

TEST_F(DrawGroupTest, AGroupSeveralOpenGroupsLeadToIsVisitedOnce) {
    // Two open rooms joined by an open portal, inside a large cell made after
    // them: both lead on to the large cell, which is visited (and its tree
    // updated) once.
    TestGroup* a = Cell(0.0f, true);
    TestGroup* b = Cell(10.0f, true);
    TestGroup* world = Group(Vector3(-100.0f, -100.0f, -100.0f), Vector3(100.0f, 100.0f, 100.0f));
    Join(a, b, true);
    Member* carried = Adopt(new Member, world);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(DrawnIds(), (std::vector<uint32_t>{a->m_DrawGroupId, b->m_DrawGroupId, world->m_DrawGroupId}));
    EXPECT_EQ(world->visibleCount, 1);
    EXPECT_EQ(std::count(Member::g_Updates.begin(), Member::g_Updates.end(), carried->m_Id), 1);
}

TEST_F(DrawGroupTest, ADoorConnectorMakesItsDoorVisible) {
    TestGroup* a = Cell(0.0f);
    TestGroup* b = Cell(10.0f);
    Member* door = Adopt(new Member);
    TestConnector* connector = Adopt(new TestConnector, door);
    connector->m_Type = CONNECTOR_TYPE_DOOR;
    connector->m_GroupIds = {a->m_DrawGroupId, b->m_DrawGroupId};
    a->m_Connectors.push_back(connector->m_Id);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    EXPECT_EQ(door->visibleCount, 1);
    EXPECT_EQ(connector->visibleCount, 0);
    EXPECT_EQ(DrawnIds(), std::vector<uint32_t>{a->m_DrawGroupId}) << "a closed door";
}

TEST_F(DrawGroupTest, AddingTwiceEntersOnceUnlessForced) {
    TestGroup* a = Cell(0.0f);
    Member* member = Listed(a);
    system->AddToDrawGroup(member, 0);
    EXPECT_EQ(a->m_Actors.size(), 1u);
    system->AddToDrawGroup(member, 1);
    EXPECT_EQ(a->m_Actors.size(), 2u);
    system->RemoveFromDrawGroup(member, 0);
    EXPECT_EQ(a->m_Actors.size(), 1u);
    EXPECT_EQ(member->m_Flags & ACTOR_IN_DRAWGROUP, 0u);
    EXPECT_EQ(g_DrawGroupCounters.calls, 4u);
}

// Leaving takes the actor out wherever it stands, the others keep their
// order, and an actor still leaves its group after the lists were reset
// (where it stood is forgotten then, not followed into emptied lists).
TEST_F(DrawGroupTest, LeavingKeepsTheOrderOfTheOthers) {
    TestGroup* a = Cell(0.0f);
    Member* first = Listed(a);
    Member* middle = Listed(a);
    Member* last = Listed(a);
    system->RemoveFromDrawGroup(middle, 0);
    EXPECT_EQ(a->m_Actors, (std::list<CQVActor*>{first, last}));
    system->AddToDrawGroup(middle, 0);
    EXPECT_EQ(a->m_Actors, (std::list<CQVActor*>{first, last, middle}));

    Member* mover = Adopt(new Member);
    mover->m_Flags &= ~ACTOR_STATIC;
    mover->m_ColObjs.resize(1);
    mover->m_ColObjs[0].flags = 0x10;
    mover->m_DrawGroupId = a->m_DrawGroupId;
    system->AddToDrawGroup(mover, 0);
    ASSERT_EQ(g_PassiveMovers, std::list<CQVActor*>{mover});
    DrawGroups_Reset();
    // The group stays reachable by its id (and leaves the table when it goes).
    ASSERT_EQ(g_DrawGroups.size(), a->m_DrawGroupId);
    g_DrawGroups.push_back(a);
    a->m_Slot = a->m_DrawGroupId;
    system->RemoveFromDrawGroup(last, 0);
    system->RemoveFromDrawGroup(mover, 0);
    EXPECT_EQ(a->m_Actors, (std::list<CQVActor*>{first, middle}));
    EXPECT_TRUE(g_PassiveMovers.empty());
}

TEST_F(DrawGroupTest, AChildFollowsItsEnteredParent) {
    TestGroup* a = Cell(0.0f);
    Member* parent = Adopt(new Member);
    parent->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    Member* child = Adopt(new Member, parent);
    child->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    parent->m_DrawGroupId = a->m_DrawGroupId;
    system->AddToDrawGroup(parent, 0);
    EXPECT_EQ(child->m_DrawGroupId, a->m_DrawGroupId) << "the subtree follows through Set DrawGroup";
    EXPECT_NE(child->m_Flags & ACTOR_IN_DRAWGROUP, 0u);
    EXPECT_EQ(a->m_Actors, std::list<CQVActor*>{parent});
}

TEST_F(DrawGroupTest, StaticCollidersFileTheirVolumesMoversTheirActors) {
    TestGroup* a = Cell(0.0f);
    Member* wall = Adopt(new Member);
    wall->m_ColObjs.resize(3);
    wall->m_DrawGroupId = a->m_DrawGroupId;
    system->AddToDrawGroup(wall, 0);
    std::vector<ColObj*>& list = g_DrawGroupColObjs[a->m_DrawGroupId];
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2], &wall->m_ColObjs[2]);
    EXPECT_EQ(wall->m_ColObjs[0].owner, wall);
    EXPECT_EQ(SeenIds(wall), std::vector<uint32_t>{MSG_CALLBACK_END_MOVING});
    EXPECT_EQ(g_DrawGroupCounters.staticColObjs, 3u);

    Member* mover = Adopt(new Member);
    mover->m_Flags &= ~ACTOR_STATIC;
    mover->m_ColObjs.resize(1);
    mover->m_ColObjs[0].flags = COLOBJ_ACTIVE | 0x10;
    mover->m_DrawGroupId = a->m_DrawGroupId;
    system->AddToDrawGroup(mover, 0);
    Member* passive = Adopt(new Member);
    passive->m_Flags &= ~ACTOR_STATIC;
    passive->m_ColObjs.resize(1);
    passive->m_ColObjs[0].flags = 0x10;
    passive->m_DrawGroupId = a->m_DrawGroupId;
    system->AddToDrawGroup(passive, 0);
    EXPECT_EQ(g_ActiveMovers, std::list<CQVActor*>{mover});
    EXPECT_EQ(g_PassiveMovers, std::list<CQVActor*>{passive});
    EXPECT_NE(mover->m_SimState, nullptr) << "the contact record is made first";
    EXPECT_EQ(SeenIds(mover), std::vector<uint32_t>{MSG_CALLBACK_START_MOVING});
    EXPECT_EQ(g_DrawGroupCounters.movers, 2u);

    system->RemoveFromDrawGroup(wall, 0);
    system->RemoveFromDrawGroup(mover, 0);
    system->RemoveFromDrawGroup(passive, 0);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(g_ActiveMovers.empty());
    EXPECT_TRUE(g_PassiveMovers.empty());
    EXPECT_EQ(g_DrawGroupCounters.staticColObjs, 0u);
}

TEST_F(DrawGroupTest, IdsBeyondTheListTableAreRefused) {
    Cell(0.0f);
    Member* member = Adopt(new Member);
    member->m_ColObjs.resize(1);
    for (uint32_t id : {3u, 1024u, 5000u, 0xFFFFFFF0u}) {
        member->m_DrawGroupId = id;
        EXPECT_EQ(system->AddToDrawGroup(member, 0), 0) << id;
        EXPECT_EQ(member->m_Flags & ACTOR_IN_DRAWGROUP, 0u);
        EXPECT_EQ(system->RemoveFromDrawGroup(member, 1), 1) << id;
    }
    // A group table grown past the lists still refuses those ids.
    std::vector<std::unique_ptr<TestGroup>> groups;
    while (g_DrawGroups.size() <= DRAWGROUP_LIST_COUNT) groups.push_back(std::make_unique<TestGroup>());
    member->m_DrawGroupId = DRAWGROUP_LIST_COUNT;
    EXPECT_EQ(system->AddToDrawGroup(member, 0), 0);
    EXPECT_EQ(system->RemoveFromDrawGroup(member, 1), 1);
    member->m_DrawGroupId = DRAWGROUP_NONE;
}

TEST_F(DrawGroupTest, GroupsConnectThroughOpenConnectorsOnly) {
    TestGroup* a = Cell(0.0f);
    TestGroup* b = Cell(10.0f);
    TestGroup* c = Cell(20.0f);
    Join(a, b, true);
    Join(a, c, false);
    const auto id = [](TestGroup* g) { return static_cast<int32_t>(g->m_DrawGroupId); };
    EXPECT_EQ(system->AreDrawGroupsConnected(5, 5), 1);
    EXPECT_EQ(system->AreDrawGroupsConnected(5, -1), 1);
    EXPECT_EQ(system->AreDrawGroupsConnected(-1, 5), 1);
    EXPECT_EQ(system->AreDrawGroupsConnected(id(a), id(b)), 1);
    EXPECT_EQ(system->AreDrawGroupsConnected(id(b), id(a)), 1);
    EXPECT_EQ(system->AreDrawGroupsConnected(id(a), id(c)), 0);
    EXPECT_EQ(system->AreDrawGroupsConnected(id(b), id(c)), 0);
    EXPECT_EQ(system->AreDrawGroupsConnected(900, id(c)), 0);
}

TEST_F(DrawGroupTest, MovingActorsChangeGroupsWithTheirNotifications) {
    TestGroup* a = Cell(0.0f);
    TestGroup* b = Cell(10.0f);
    Member* member = Adopt(new Member);
    member->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    member->m_Position = Vector3(5.0f, 5.0f, 5.0f);
    member->InvalidateTransform();
    system->UpdateDrawGroup(member);
    EXPECT_EQ(member->m_DrawGroupId, a->m_DrawGroupId);
    EXPECT_EQ(a->m_Actors, std::list<CQVActor*>{member});

    g_Seen.clear();
    member->m_Position = Vector3(15.0f, 5.0f, 5.0f);
    member->InvalidateTransform();
    system->UpdateDrawGroup(member);
    EXPECT_EQ(member->m_DrawGroupId, b->m_DrawGroupId);
    EXPECT_TRUE(a->m_Actors.empty());
    EXPECT_EQ(b->m_Actors, std::list<CQVActor*>{member});
    std::vector<uint32_t> seen = SeenIds(member);
    std::erase(seen, static_cast<uint32_t>(MSG_CALLBACK_END_MOVING));
    EXPECT_EQ(seen, (std::vector<uint32_t>{MSG_ON_EXIT_DRAWGROUP, MSG_ON_ENTER_DRAWGROUP}));

    g_Seen.clear();
    system->UpdateDrawGroup(member);
    EXPECT_TRUE(SeenIds(member).empty()) << "no change, no message";

    member->m_Position = Vector3(500.0f, 5.0f, 5.0f);
    member->InvalidateTransform();
    system->UpdateDrawGroup(member);
    EXPECT_EQ(member->m_DrawGroupId, DRAWGROUP_NONE);
    EXPECT_TRUE(b->m_Actors.empty());
    EXPECT_EQ(SeenIds(member), (std::vector<uint32_t>{MSG_ON_EXIT_DRAWGROUP, MSG_ON_INVALID_DRAWGROUP}));
}

TEST_F(DrawGroupTest, EnteringAGroupTakesOnItsDrawState) {
    TestGroup* drawn = Cell(0.0f);
    TestGroup* hidden = Cell(10.0f);
    g_DrawCameraPosition = Vector3(5.0f, 5.0f, 5.0f);
    system->DrawVisibleGroups(0.02f);
    ASSERT_EQ(drawn->m_Drawing, 1u);

    // Drawn last frame: its last update is the clock's previous time.
    Member* wasDrawn = Adopt(new Member);
    wasDrawn->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    Member* child = Adopt(new Member, wasDrawn);
    wasDrawn->m_LastUpdateTime = g_GlobalClock.previousTime;
    wasDrawn->m_DrawGroupId = hidden->m_DrawGroupId;
    g_Seen.clear();
    system->AddToDrawGroup(wasDrawn, 0);
    EXPECT_EQ(SeenIds(wasDrawn), (std::vector<uint32_t>{MSG_ON_DRAW_STOP, MSG_CALLBACK_END_MOVING}));
    EXPECT_EQ(SeenIds(child), (std::vector<uint32_t>{MSG_CALLBACK_END_MOVING, MSG_ON_DRAW_STOP}))
        << "the child follows into the group, then gets the draw state with its parent";

    Member* notDrawn = Adopt(new Member);
    notDrawn->m_Flags &= ~ACTOR_COLLISION_ENABLED;
    notDrawn->m_LastUpdateTime = g_GlobalClock.previousTime - 1.0f;
    notDrawn->m_DrawGroupId = drawn->m_DrawGroupId;
    g_Seen.clear();
    system->AddToDrawGroup(notDrawn, 0);
    EXPECT_EQ(SeenIds(notDrawn), (std::vector<uint32_t>{MSG_ON_DRAW_START, MSG_CALLBACK_END_MOVING}));
}

}  // namespace
