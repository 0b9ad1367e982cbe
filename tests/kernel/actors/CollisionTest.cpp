#include "kernel/actors/Collision.h"

#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/SimState.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/kernel/actors/AdoptActor.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t SOLID = COLOBJ_ACTIVE | COLOBJ_SOLID;
constexpr uint32_t BLOCKER = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
constexpr uint32_t CUSTOM_MATERIAL = 1;

struct ReceivedEvent {
    uint32_t actorId;
    const ColObj* first;
    const ColObj* second;
};
std::vector<ReceivedEvent> g_Events;

// Notes the "Collision Event"s that reach it.
class Receiver : public TestClass<TEST_TYPE> {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_COLLISION_EVENT) {
            g_Events.push_back(ReceivedEvent{m_Id, Args_Pointer<ColObj>(id, args, 0),
                                             Args_Pointer<ColObj>(id, args, sizeof(ColObj*))});
        }
        return TestClass::HandleMessage(id, args);
    }
};

// Deletes the actor of g_DeleteOnEvent when a "Collision Event" reaches it,
// as a level's script may on a touch.
uint32_t g_DeleteOnEvent = 0;
class Deleter : public Receiver {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        const int result = Receiver::HandleMessage(id, args);
        if (id == MSG_COLLISION_EVENT && g_DeleteOnEvent)
            g_ActorSystem->DeleteActor(CQVActorSystem::GetActorById(g_DeleteOnEvent));
        return result;
    }
};

class CollisionTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        g_Events.clear();
        g_DeleteOnEvent = 0;
        scenery = system->GetActorById(ACTOR_ID_SCENERY);
        group = AdoptActor(new CQVDrawGroupBase, system->FindFreeActorId(1), scenery);
        group->m_BoxMin = Vector3(-1000.0f, -1000.0f, -1000.0f);
        group->m_BoxMax = Vector3(1000.0f, 1000.0f, 1000.0f);
        // No gravity unless a test asks for it: the Environment does not answer.
    }

    // An actor at a place with one collision object, entered into the group
    // as a mover or a static collider.
    template <typename Class = Receiver>
    Class* Body(const Vector3& at, uint32_t type, const Vector3& a, const Vector3& b, uint32_t flags,
                   bool moving) {
        auto* actor = AdoptActor(new Class, system->FindFreeActorId(1), scenery);
        actor->m_Position = at;
        actor->m_PrevPosition = at;
        ColObj object;
        object.type = type;
        object.boxMin = a;
        object.boxMax = b;
        object.flags = flags;
        object.owner = actor;
        actor->m_ColObjs.push_back(object);
        if (moving) actor->m_Flags &= ~ACTOR_STATIC;
        actor->m_DrawGroupId = group->m_DrawGroupId;
        system->AddToDrawGroup(actor, 0);
        return actor;
    }
    Receiver* Sphere(const Vector3& at, float r, uint32_t flags, bool moving = true) {
        return Body(at, COLOBJ_SPHERE, Vector3(0, 0, 0), Vector3(r, 0, 0), flags, moving);
    }
    Receiver* Box(const Vector3& at, float half, uint32_t flags, bool moving = false) {
        return Body(at, COLOBJ_BOX, Vector3(-half, -half, -half), Vector3(half, half, half), flags, moving);
    }

    static Vector3 World(CQVActor* actor) { return actor->GetWorldPosition(); }

    CQVActor* scenery = nullptr;
    CQVDrawGroupBase* group = nullptr;
};

struct SubstepCase {
    float dt;
    uint32_t steps;
    float fraction;
};

class Substeps : public testing::TestWithParam<SubstepCase> {};

TEST_P(Substeps, FollowTheFrameTime) {
    uint32_t steps = 0;
    float fraction = 0.0f;
    Collision_Substeps(GetParam().dt, &steps, &fraction);
    EXPECT_EQ(steps, GetParam().steps);
    EXPECT_FLOAT_EQ(fraction, GetParam().fraction);
}

INSTANTIATE_TEST_SUITE_P(Table, Substeps,
                         testing::Values(SubstepCase{0.02f, 1, 1.0f}, SubstepCase{0.05f, 2, 0.5f},
                                         SubstepCase{0.06f, 2, 1.0f / 3.0f}, SubstepCase{0.0f, 1, 1.0f}));

TEST_F(CollisionTest, ASolidIsPushedOutOfWhatBlocksIt) {
    Receiver* box = Box(Vector3(0, 0, 0), 10.0f, BLOCKER);
    Receiver* ball = Sphere(Vector3(0, 12, 0), 5.0f, SOLID);
    box->m_ColObjs[0].physique = CUSTOM_MATERIAL;
    ball->m_ColObjs[0].physique = CUSTOM_MATERIAL;
    ball->m_DeltaPosition = Vector3(0, -10, 0);
    system->RunCollisionPass(0.02f);
    EXPECT_NEAR(World(ball).y, 15.0f, 0.01f);
    // The material of neither bounces: the speed into the box is gone.
    EXPECT_NEAR(ball->m_DeltaPosition.y, 0.0f, 1e-4f);
    EXPECT_EQ(g_CollisionStats.hits, 1u);
    EXPECT_FALSE(ball->m_Flags & ACTOR_CONTACTED);
}

TEST_F(CollisionTest, OwnObjectsAndExcludedGroupsNeverMeet) {
    Receiver* twin = Sphere(Vector3(0, 0, 0), 5.0f, SOLID | COLOBJ_BLOCKS);
    ColObj second = twin->m_ColObjs[0];
    twin->m_ColObjs.push_back(second);
    Receiver* other = Sphere(Vector3(50, 0, 0), 5.0f, SOLID);
    Receiver* blocker = Sphere(Vector3(54, 0, 0), 5.0f, BLOCKER);
    other->m_ColObjs[0].groupsExclude = 2;
    blocker->m_ColObjs[0].groups = 2;
    system->RunCollisionPass(0.02f);
    EXPECT_EQ(g_CollisionStats.hits, 0u);
    EXPECT_EQ(World(other).x, 50.0f);
    // Without the exclusion they meet.
    other->m_ColObjs[0].groupsExclude = 0;
    blocker->m_ColObjs[0].groupsReceive = 1;
    system->RunCollisionPass(0.02f);
    EXPECT_EQ(g_CollisionStats.hits, 1u);
    EXPECT_LT(World(other).x, 50.0f);
}

TEST_F(CollisionTest, ATriggerReportsOncePerFrame) {
    // A trigger volume of the editor (subtype 3) is a mover of the active list.
    Receiver* trigger = Sphere(Vector3(0, 0, 0), 5.0f, COLOBJ_ACTIVE | COLOBJ_TRIGGER | COLOBJ_TRIGGERED);
    Receiver* box = Box(Vector3(3, 0, 0), 4.0f, COLOBJ_ACTIVE | COLOBJ_RECEIVES);
    auto toBox = [&] {
        std::vector<ReceivedEvent> events;
        for (const ReceivedEvent& e : g_Events) {
            if (e.actorId == box->m_Id) events.push_back(e);
        }
        return events;
    };
    system->RunCollisionPass(0.05f);  // two substeps
    EXPECT_EQ(g_CollisionStats.substeps, 2u);
    ASSERT_EQ(toBox().size(), 1u);
    EXPECT_EQ(toBox()[0].first, &trigger->m_ColObjs[0]);
    EXPECT_EQ(toBox()[0].second, &box->m_ColObjs[0]);
    system->RunCollisionPass(0.05f);
    EXPECT_EQ(toBox().size(), 2u);
}

// The trigger touches two boxes; the first box's owner deletes the trigger
// when told. The second box's event names the trigger's object, which no
// longer exists: it is not delivered.
TEST_F(CollisionTest, AnEventNeverHandsOnTheObjectOfADeletedActor) {
    Receiver* trigger = Sphere(Vector3(0, 0, 0), 5.0f, COLOBJ_ACTIVE | COLOBJ_TRIGGER | COLOBJ_TRIGGERED);
    auto* first = Body<Deleter>(Vector3(3, 0, 0), COLOBJ_BOX, Vector3(-4, -4, -4), Vector3(4, 4, 4),
                                COLOBJ_ACTIVE | COLOBJ_RECEIVES, false);
    Receiver* second = Box(Vector3(-3, 0, 0), 4.0f, COLOBJ_ACTIVE | COLOBJ_RECEIVES);
    g_DeleteOnEvent = trigger->m_Id;
    system->RunCollisionPass(0.02f);
    ASSERT_EQ(g_Events.size(), 1u);
    EXPECT_EQ(g_Events[0].actorId, first->m_Id);
    EXPECT_EQ(CQVActorSystem::GetActorById(g_DeleteOnEvent), nullptr);
    (void)second;
}

// A body whose base step never runs (here none runs) is pressed into a wall
// every frame: its recorded contacts are those of the last pass, not all.
TEST_F(CollisionTest, ABodysContactsHoldOnePassAtMost) {
    Box(Vector3(0, 0, 0), 10.0f, BLOCKER);
    Receiver* ball = Sphere(Vector3(0, 12, 0), 5.0f, SOLID);
    ASSERT_NE(ball->m_SimState, nullptr);  // a mover's, made when it entered its group
    for (int frame = 0; frame < 50; ++frame) {
        ball->m_Position = Vector3(0, 12, 0);
        ball->InvalidateTransform();
        system->RunCollisionPass(0.02f);
    }
    EXPECT_EQ(ball->m_SimState->contacts.size(), 1u);
    EXPECT_EQ(ball->m_SimState->contactCount, 1u);
}

// Gravity without an Environment: 9.81 world units per second squared
// (times the world unit and the pass's factor 1.8), then a little drag.
TEST_F(CollisionTest, AFallingBodyTakesTheDefaultGravity) {
    Receiver* ball = Sphere(Vector3(0, 100, 0), 1.0f, SOLID);
    ball->m_Flags |= ACTOR_SIMULATED;
    ball->m_SimParams = new SimParams;
    g_CollisionWorldUnit = 1.0f;
    g_GlobalClock.dt = 0.02f;
    system->RunCollisionPass(0.02f);
    g_CollisionWorldUnit = 100.0f;
    const float fall = 9.81f * 0.02f * 1.8f;
    const float drag = 0.02f * 1.0f * 0.0005f * fall;  // default air resistance 1.0, drag 1 per axis
    EXPECT_NEAR(ball->m_DeltaPosition.y, -fall * (1.0f - drag), 1e-6f);
}

TEST_F(CollisionTest, CommandsOfAnObjectAreQueuedToBothOwners) {
    Receiver* sender = Sphere(Vector3(0, 0, 0), 5.0f, COLOBJ_ACTIVE | COLOBJ_SENDS | COLOBJ_SOLID);
    Receiver* listener = Sphere(Vector3(6, 0, 0), 5.0f, COLOBJ_ACTIVE | COLOBJ_RECEIVES, false);
    auto command = [](uint32_t id, uint32_t value) {
        std::vector<uint8_t> bytes(8);
        std::memcpy(bytes.data(), &id, 4);
        std::memcpy(bytes.data() + 4, &value, 4);
        return bytes;
    };
    sender->m_ColObjs[0].commandToOther = command(MSG_SET_DIFFICULTY_LEVEL, 7);
    sender->m_ColObjs[0].commandToSelf = command(MSG_SET_ENABLED, 0);
    g_Seen.clear();
    system->RunCollisionPass(0.02f);
    // The event, then the command to the other, then the one to itself; all after the substeps.
    std::vector<std::pair<uint32_t, uint32_t>> seen;
    for (const SeenMessage& s : g_Seen) {
        if (s.id == MSG_COLLISION_EVENT || s.id == MSG_SET_DIFFICULTY_LEVEL || s.id == MSG_SET_ENABLED) {
            seen.emplace_back(s.actorId, s.id);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint32_t>>{{listener->m_Id, MSG_COLLISION_EVENT},
                                                                {listener->m_Id, MSG_SET_DIFFICULTY_LEVEL},
                                                                {sender->m_Id, MSG_SET_ENABLED}}));
    EXPECT_EQ(g_CollisionStats.delivered, 3u);
}

TEST_F(CollisionTest, FullFrictionStopsABodyDead) {
    g_PhysicsMaterials[CUSTOM_MATERIAL].Friction = 1.0f;
    g_PhysicsMaterials[CUSTOM_MATERIAL].Bounce = 0.5f;
    Receiver* ground = Box(Vector3(0, 0, 0), 10.0f, BLOCKER);
    Receiver* ball = Sphere(Vector3(0, 14, 0), 5.0f, SOLID);
    ground->m_ColObjs[0].physique = CUSTOM_MATERIAL;
    ball->m_ColObjs[0].physique = CUSTOM_MATERIAL;
    ball->m_DeltaPosition = Vector3(30, -20, 0);
    system->RunCollisionPass(0.02f);
    EXPECT_EQ(ball->m_DeltaPosition.x, 0.0f);
    EXPECT_EQ(ball->m_DeltaPosition.y, 0.0f);

    // Half friction keeps half the sliding speed and bounces off the surface.
    g_PhysicsMaterials[CUSTOM_MATERIAL].Friction = std::sqrt(0.5f);
    ball->m_Position = Vector3(0, 14, 0);
    ball->InvalidateTransform();
    ball->m_DeltaPosition = Vector3(30, -20, 0);
    system->RunCollisionPass(0.02f);
    EXPECT_NEAR(ball->m_DeltaPosition.x, 15.0f, 1e-3f);
    EXPECT_NEAR(ball->m_DeltaPosition.y, 5.0f, 1e-3f);
}

TEST_F(CollisionTest, AWedgedBodyGoesBackToTheFramesStart) {
    // Walls on four sides, each 3 into the ball: no single push frees it.
    for (const Vector3& at : {Vector3(-7, 0, 0), Vector3(7, 0, 0), Vector3(0, -7, 0), Vector3(0, 7, 0)}) {
        Box(at, 5.0f, BLOCKER);
    }
    Receiver* ball = Sphere(Vector3(0, 0, 0), 5.0f, SOLID);
    ball->m_PrevPosition = Vector3(0, 30, 0);
    ball->m_DeltaPosition = Vector3(0, -3, 0);
    g_Seen.clear();
    system->RunCollisionPass(0.02f);
    EXPECT_EQ(g_CollisionStats.iterations, COLLISION_MAX_ITERATIONS);
    EXPECT_EQ(World(ball).y, 30.0f);
    EXPECT_EQ(ball->m_DeltaPosition.y, 0.0f);
    ASSERT_FALSE(SeenBy(ball).empty());
    EXPECT_EQ(SeenBy(ball).back(), MSG_COLLISION_STUCK);
    EXPECT_FALSE(ball->m_Flags & ACTOR_CONTACTED);
}

TEST_F(CollisionTest, TwoSolidsShareThePushByMass) {
    Receiver* light = Sphere(Vector3(0, 0, 0), 5.0f, SOLID | COLOBJ_BLOCKS);
    Receiver* heavy = Sphere(Vector3(8, 0, 0), 5.0f, SOLID | COLOBJ_BLOCKS);
    heavy->m_SimParams = new SimParams;
    const float mass = 3.0f;
    std::memcpy(&heavy->m_SimParams->words[1], &mass, 4);
    system->RunCollisionPass(0.02f);
    // An overlap of 2: the light one moves 1.5, the heavy one 0.5.
    EXPECT_NEAR(World(light).x, -1.5f, 1e-3f);
    EXPECT_NEAR(World(heavy).x, 8.5f, 1e-3f);
}

TEST_F(CollisionTest, ASimulatedBodyFallsAndComesToRest) {
    Receiver* ground = Box(Vector3(0, -10, 0), 10.0f, BLOCKER);
    (void)ground;
    Receiver* ball = Sphere(Vector3(0, 2, 0), 1.0f, SOLID);
    ball->m_Flags |= ACTOR_SIMULATED;
    ball->m_SimParams = new SimParams;
    ball->m_SimParams->words[0] = 1;  // a style with states
    g_Seen.clear();
    // Gravity comes from the Environment; here a world unit of 1 and the default 9.81.
    g_CollisionWorldUnit = 1.0f;
    float lowest = 1e9f;
    for (int frame = 0; frame < 120; ++frame) {
        g_GlobalClock.dt = 1.0f / 60.0f;
        system->RunCollisionPass(1.0f / 60.0f);
        lowest = std::min(lowest, World(ball).y);
    }
    g_CollisionWorldUnit = 100.0f;
    EXPECT_GE(lowest, 0.99f);       // never sinks into the ground
    EXPECT_NEAR(World(ball).y, 1.0f, 0.01f);
    EXPECT_EQ(ball->m_SimParams->words[SIM_WORD_STATE], SIM_STATE_SLIDING);
    const std::vector<uint32_t> seen = SeenBy(ball);
    EXPECT_NE(std::find(seen.begin(), seen.end(), MSG_ON_SIM_FREE_STOP), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), MSG_ON_SIM_SLIDE_START), seen.end());
    // Slow enough on the ground: it asked to stop simulating.
    EXPECT_NE(ball->FindTimedMessage(MSG_STOP_SIMULATE), nullptr);
}

TEST_F(CollisionTest, RaysHitTheNearestMatchingObjectAhead) {
    Box(Vector3(50, 0, 0), 5.0f, BLOCKER);
    Receiver* near = Box(Vector3(20, 0, 0), 5.0f, BLOCKER);
    Receiver* behind = Sphere(Vector3(-20, 0, 0), 5.0f, BLOCKER);
    (void)behind;
    system->RunCollisionPass(0.02f);  // world volumes
    const RayFilter all{1, 1, 0};
    Vector3 point, normal;
    ColObj* hit = system->RayCast(all, Vector3(0, 0, 0), Vector3(100, 0, 0), &point, &normal);
    ASSERT_EQ(hit, &near->m_ColObjs[0]);
    EXPECT_NEAR(point.x, 15.0f, 1e-4f);
    EXPECT_NEAR(normal.x, -1.0f, 1e-4f);
    // Nothing within reach: the end point comes back.
    EXPECT_EQ(system->RayCast(all, Vector3(0, 0, 0), Vector3(10, 0, 0), &point, nullptr), nullptr);
    EXPECT_EQ(point.x, 10.0f);
    // A filter the objects do not receive.
    EXPECT_EQ(system->RayCast(RayFilter{4, 4, 0}, Vector3(0, 0, 0), Vector3(100, 0, 0), nullptr, nullptr), nullptr);
    EXPECT_EQ(system->RayCast(RayFilter{1, 1, 1}, Vector3(0, 0, 0), Vector3(100, 0, 0), nullptr, nullptr), nullptr);
}

// A walkable surface at height 0 of the owner's mesh, 100 x 100 around its origin.
int FlatGround(uint32_t, uint32_t, const Vector3& p, Vector3* point, Vector3* normal, uint32_t* cache) {
    if (std::fabs(p.x) > 50.0f || std::fabs(p.z) > 50.0f) return 0;
    *point = Vector3(p.x, 0.0f, p.z);
    *normal = Vector3(0.0f, 1.0f, 0.0f);
    if (cache) *cache = 1;
    return 1;
}

int GroundBounds(uint32_t, Vector3* min, Vector3* max) {
    *min = Vector3(-50.0f, -100.0f, -50.0f);
    *max = Vector3(50.0f, 1.0f, 50.0f);
    return 1;
}

struct GroundCase {
    const char* name;
    float y;           // the ball's centre; the ground's surface is at 10
    Vector3 velocity;
    Vector3 end;
};

class GroundContact : public CollisionTest, public testing::WithParamInterface<GroundCase> {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        g_CollisionMeshCalls.findGround = &FlatGround;
        g_CollisionMeshCalls.getBounds = &GroundBounds;
    }
    void TearDown() override {
        g_CollisionMeshCalls = CollisionMeshCalls{};
        CollisionTest::TearDown();
    }
};

TEST_P(GroundContact, KeepsSpheresOnTheWalkableSurface) {
    const GroundCase& c = GetParam();
    Receiver* ground = Body(Vector3(0, 10, 0), COLOBJ_GROUND, Vector3(0, 0, 0), Vector3(0, 0, 0), BLOCKER, false);
    ground->m_ColObjs[0].meshItem = 7;
    Receiver* ball = Sphere(Vector3(0, c.y, 0), 5.0f, SOLID);
    ball->m_DeltaPosition = c.velocity;
    system->RunCollisionPass(0.02f);
    const Vector3 at = World(ball);
    EXPECT_NEAR(at.x, c.end.x, 1e-3f);
    EXPECT_NEAR(at.y, c.end.y, 1e-3f);
}

// World unit 100: a sphere more than 40 below the surface has fallen through.
INSTANTIATE_TEST_SUITE_P(
    Table, GroundContact,
    testing::Values(GroundCase{"Above", 16.0f, Vector3(0, 0, 0), Vector3(0, 16, 0)},
                    GroundCase{"Touching", 13.0f, Vector3(0, 0, 0), Vector3(0, 15.0001f, 0)},
                    GroundCase{"SunkSlow", 5.0f, Vector3(0, -1, 0), Vector3(0, 11, 0)},
                    GroundCase{"SunkMoving", 5.0f, Vector3(20, 0, 0), Vector3(-6, 5, 0)},
                    GroundCase{"FallenThrough", -35.0f, Vector3(0, 0, 0), Vector3(0, -35, 0)}),
    [](const testing::TestParamInfo<GroundCase>& info) { return std::string(info.param.name); });

TEST(CollisionQueue, GrowsInBoundedSteps) {
    Collision_Reset();
    CollisionQueue& queue = g_CollisionQueue;
    ASSERT_EQ(CollisionQueue_Reserve(4), 1);
    EXPECT_EQ(queue.capacity, 16u);
    queue.used = 16;
    ASSERT_EQ(CollisionQueue_Reserve(4), 1);
    EXPECT_EQ(queue.capacity, 32u);
    queue.used = 32;
    ASSERT_EQ(CollisionQueue_Reserve(100), 1);
    EXPECT_EQ(queue.capacity, 132u);
    queue.used = 132;
    ASSERT_EQ(CollisionQueue_Reserve(1), 1);
    EXPECT_EQ(queue.capacity, 264u);
    Collision_Reset();
    EXPECT_EQ(queue.capacity, 0u);
}

}  // namespace
