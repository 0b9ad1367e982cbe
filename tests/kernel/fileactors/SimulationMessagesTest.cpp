// Collision-object, simulation and force messages of the base actor, and the
// UVAnimation and Class actors that switch or ignore them.

#include "tests/kernel/fileactors/FileActorsFixture.h"

#include "kernel/actors/SimState.h"
#include "kernel/actors/SimulationMessages.h"
#include "kernel/base/Random.h"

namespace {

using CollisionMessages = FileActorsTest;

// Records the messages an actor of the class receives.
template <typename Class>
class Watched : public Class {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        seen.push_back(id);
        return Class::HandleMessage(id, args);
    }
    std::vector<uint32_t> seen;
};

// Puts an actor made outside the factory into the table below a parent.
template <typename T>
T* Place(T* actor, uint32_t id, CQVActor* parent) {
    actor->m_Id = id;
    if (g_ActorTable.size() <= id) g_ActorTable.resize(id + 1);
    g_ActorTable[id] = actor;
    actor->m_Parent = parent;
    actor->m_ParentId = parent->m_Id;
    parent->m_Children.push_back(actor);
    return actor;
}


template <typename T>
T Get(CQVActor* actor, uint32_t id) {
    T value{};
    actor->HandleMessage(id, Args_Of(&value));
    return value;
}

template <typename T>
void Set(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

TEST_F(CollisionMessages, CreateAppendsADefaultObjectAndSelectsIt) {
    CQVActor* actor = Make(CLASS_BASE, "A", scenery);
    for (int i = 0; i < 3; ++i) actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    ASSERT_EQ(actor->m_ColObjs.size(), 3u);
    EXPECT_EQ(actor->m_SelectedColObj, 2);
    const ColObj& object = actor->m_ColObjs[2];
    EXPECT_EQ(object.name, "Object 3");
    EXPECT_EQ(object.type, 2u);
    EXPECT_EQ(object.fill, 7u);
    EXPECT_EQ(object.groups, 1u);
    EXPECT_EQ(object.groupsReceive, 1u);
    EXPECT_EQ(object.groupsExclude, 0u);
    EXPECT_EQ(object.owner, actor);
    EXPECT_EQ(Get<uint32_t>(actor, MSG_GET_COLLISION_ACTIVE), 1u);
    EXPECT_EQ(Get<Vector3>(actor, MSG_GET_BOX_MIN).x, -10.0f);
    EXPECT_EQ(Get<Vector3>(actor, MSG_GET_BOX_MAX).z, 10.0f);

    std::vector<std::string> names;
    std::vector<std::string>* out = &names;
    actor->HandleMessage(MSG_GET_COLLISION_STRINGLIST, Args_Of(&out));
    EXPECT_EQ(names, (std::vector<std::string>{"Object 1", "Object 2", "Object 3"}));
    actor->HandleMessage(MSG_SET_COLLISION_STRINGLIST, Args_Of("Object 1"));
    EXPECT_EQ(actor->m_SelectedColObj, 0);
    actor->HandleMessage(MSG_SET_COLLISION_NAME, Args_Of("Feet"));
    char name[32] = {};
    actor->HandleMessage(MSG_GET_COLLISION_NAME, Args_Of(name));
    EXPECT_STREQ(name, "Feet");
    actor->HandleMessage(MSG_SET_COLLISION_STRINGLIST, Args_Of("Nobody"));
    EXPECT_EQ(actor->m_SelectedColObj, 0);

    actor->HandleMessage(MSG_DELETE_COLLISION, nullptr);
    ASSERT_EQ(actor->m_ColObjs.size(), 2u);
    EXPECT_EQ(actor->m_ColObjs[0].name, "Object 2");
    EXPECT_EQ(actor->m_SelectedColObj, 0);
}

TEST_F(CollisionMessages, SelectedObjectFields) {
    CQVActor* actor = Make(CLASS_BASE, "A", scenery);
    // Nothing selected: the setters do nothing, the getters leave the value.
    Set<uint32_t>(actor, MSG_SET_COLLISION_TYPE, 5);
    EXPECT_EQ(Get<uint32_t>(actor, MSG_GET_COLLISION_TYPE), 0u);
    actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    const std::pair<uint32_t, uint32_t> pairs[] = {
        {MSG_SET_COLLISION_TYPE, MSG_GET_COLLISION_TYPE},
        {MSG_SET_COLLISION_FILL, MSG_GET_COLLISION_FILL},
        {MSG_SET_COLLISION_PHYSIQUE, MSG_GET_COLLISION_PHYSIQUE},
        {MSG_SET_COLLISION_GROUPS, MSG_GET_COLLISION_GROUPS},
        {MSG_SET_COLLISION_GROUPS_RECEIVE, MSG_GET_COLLISION_GROUPS_RECEIVE},
        {MSG_SET_COLLISION_GROUPS_EXCLUDE, MSG_GET_COLLISION_GROUPS_EXCLUDE},
        {MSG_SET_COLLISION_GHE_82, MSG_GET_COLLISION_GHE},
    };
    uint32_t value = 40;
    for (const auto& [set, get] : pairs) {
        Set<uint32_t>(actor, set, ++value);
        EXPECT_EQ(Get<uint32_t>(actor, get), value) << set;
    }
    for (uint32_t subtype : {0u, 1u, 2u, 3u}) {
        Set<uint32_t>(actor, MSG_SET_COLLISION_SUBTYPE, subtype);
        EXPECT_EQ(Get<uint32_t>(actor, MSG_GET_COLLISION_SUBTYPE), subtype);
    }
    EXPECT_EQ(actor->m_ColObjs[0].flags & 0x7E, 0x16u);
    Set<uint32_t>(actor, MSG_SET_COLLISION_SYNC_FROM_MESH, 1);
    EXPECT_TRUE(actor->m_ColObjs[0].flags & COLOBJ_GENERATED);
    Set<uint32_t>(actor, MSG_SET_COLLISION_ACTIVE, 0);
    EXPECT_FALSE(actor->m_ColObjs[0].flags & COLOBJ_ACTIVE);
}

TEST_F(CollisionMessages, MessagesForEveryObject) {
    CQVActor* actor = Make(CLASS_BASE, "A", scenery);
    actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    Set(actor, MSG_SET_BOX_MIN, Vector3(0, 0, 0));
    Set(actor, MSG_SET_BOX_MAX, Vector3(2, 2, 2));
    actor->m_ColObjs[0].type = 1;  // a sphere
    Set(actor, MSG_SET_COLLISION_RADIUS, 4.0f);
    EXPECT_EQ(actor->m_ColObjs[1].boxMin.x, -3.0f);
    EXPECT_EQ(actor->m_ColObjs[1].boxMax.y, 5.0f);
    EXPECT_EQ(actor->m_ColObjs[0].boxMax.x, 4.0f);
    EXPECT_EQ(actor->m_ColObjs[0].boxMin.x, -10.0f);

    struct {
        uint32_t group;
        uint32_t on;
    } bit{3, 1};
    actor->HandleMessage(MSG_SET_COLLISION_GROUP, Args_Of(&bit));
    actor->HandleMessage(MSG_SET_COLLISION_EXCLUDE, Args_Of(&bit));
    bit = {1, 0};
    actor->HandleMessage(MSG_SET_COLLISION_RECEIVE, Args_Of(&bit));
    bit = {0, 1};  // groups count from 1
    actor->HandleMessage(MSG_SET_COLLISION_GHE_89, Args_Of(&bit));
    for (const ColObj& object : actor->m_ColObjs) {
        EXPECT_EQ(object.groups, 0x5u);
        EXPECT_EQ(object.groupsExclude, 0x4u);
        EXPECT_EQ(object.groupsReceive, 0x0u);
        EXPECT_EQ(object.hitEffectGroup, 0x0u);
    }

    Set<uint32_t>(actor, MSG_SET_COLLISION_ENABLE, 0);
    EXPECT_EQ(Get<uint32_t>(actor, MSG_GET_COLLISION_ENABLE), 0u);
    for (const ColObj& object : actor->m_ColObjs) EXPECT_FALSE(object.flags & COLOBJ_ACTIVE);
    Set<uint32_t>(actor, MSG_SET_COLLISION_ENABLE, 1);
    for (const ColObj& object : actor->m_ColObjs) EXPECT_TRUE(object.flags & COLOBJ_ACTIVE);
}

TEST_F(CollisionMessages, SimulationParametersAndEvents) {
    CQVActor* parent = Make(CLASS_BASE, "Carrier", scenery);
    Set(parent, MSG_SET_POSITION, Vector3(100, 0, 0));
    CQVActor* body = Make(CLASS_BASE, "Body", parent);
    Set(body, MSG_SET_POSITION, Vector3(0, 20, 0));
    EXPECT_EQ(body->m_SimParams, nullptr);
    EXPECT_EQ(Get<float>(body, MSG_GET_SIM_GRAVITY_MUL), 1.0f);
    ASSERT_NE(body->m_SimParams, nullptr);
    Set<float>(body, MSG_SET_SIM_SLIDE_REST, 7.5f);  // word 12
    EXPECT_EQ(Get<float>(body, MSG_GET_SIM_SLIDE_REST), 7.5f);
    float word12;
    std::memcpy(&word12, &body->m_SimParams->words[12], 4);
    EXPECT_EQ(word12, 7.5f);
    Set(body, MSG_SET_SIM_AIR_RESISTANCE, Vector3(2, 3, 4));
    EXPECT_EQ(Get<Vector3>(body, MSG_GET_SIM_AIR_RESISTANCE).z, 4.0f);
    Set<uint32_t>(body, MSG_SET_SIM_DIRECTION_BY_MOVEMENT, 1);
    EXPECT_EQ(body->m_SimParams->words[15], 0x5u);

    body->HandleMessage(MSG_START_SIMULATE, nullptr);
    EXPECT_EQ(body->m_Parent, scenery);
    EXPECT_TRUE(body->m_Flags & ACTOR_SIMULATED);
    EXPECT_FALSE(body->m_Flags & ACTOR_DRAWGROUP_OPTION2);
    ASSERT_NE(body->m_SimState, nullptr);
    const Vector3 world = body->GetWorldPosition();
    EXPECT_EQ(world.x, 100.0f);
    EXPECT_EQ(world.y, 20.0f);

    body->m_SimParams->words[SIM_WORD_STATE] = SIM_STATE_SLIDING;
    body->HandleMessage(MSG_STOP_SIMULATE, nullptr);
    EXPECT_FALSE(body->m_Flags & ACTOR_SIMULATED);
}

TEST_F(CollisionMessages, StopSimulateSendsTheEventsOfTheMotionState) {
    auto* body = Place(new Watched<CQVActor>, 9000, scenery);
    body->HandleMessage(MSG_START_SIMULATE, nullptr);
    const std::pair<uint32_t, std::vector<uint32_t>> cases[] = {
        {SIM_STATE_FREE, {MSG_STOP_SIMULATE, MSG_ON_SIM_FREE_STOP, MSG_ON_SIM_REST_START}},
        {SIM_STATE_SLIDING, {MSG_STOP_SIMULATE, MSG_ON_SIM_SLIDE_STOP, MSG_ON_SIM_REST_START}},
        {SIM_STATE_RESTING, {MSG_STOP_SIMULATE}},
    };
    for (const auto& [state, expected] : cases) {
        body->m_SimParams->words[SIM_WORD_STATE] = state;
        body->seen.clear();
        body->HandleMessage(MSG_STOP_SIMULATE, nullptr);
        EXPECT_EQ(body->seen, expected) << state;
    }
    // Events switched off: none.
    body->m_SimParams->words[SIM_WORD_FLAGS] &= ~SIM_FLAG_EVENTS;
    body->m_SimParams->words[SIM_WORD_STATE] = SIM_STATE_FREE;
    body->seen.clear();
    body->HandleMessage(MSG_STOP_SIMULATE, nullptr);
    EXPECT_EQ(body->seen, std::vector<uint32_t>{MSG_STOP_SIMULATE});
}

TEST_F(CollisionMessages, ForcesAddToTheDeltaPosition) {
    CQVActor* actor = Make(CLASS_BASE, "A", scenery);
    Set(actor, MSG_ADDFORCE, Vector3(1, 2, 3));
    EXPECT_EQ(actor->m_DeltaPosition.z, 3.0f);
    actor->m_DeltaPosition = Vector3(0, 0, 0);
    // Without jitter: along the world z axis, at full strength.
    const float push[3] = {10.0f, 0.0f, 0.0f};
    actor->HandleMessage(MSG_ADDFORCEINDIRECTION, Args_Of(push));
    EXPECT_NEAR(actor->m_DeltaPosition.z, 10.0f, 1e-5f);
    EXPECT_NEAR(actor->m_DeltaPosition.x, 0.0f, 1e-5f);

    CQVActor* target = Make(CLASS_BASE, "Target", scenery);
    Set(target, MSG_SET_POSITION, Vector3(0, 300, 0));
    actor->m_DeltaPosition = Vector3(0, 0, 0);
    struct __attribute__((packed)) {
        CQVActor* target;
        float falloff, strength, strengthJitter, directionJitter;
    } towards{target, 0.0f, 6.0f, 0.0f, 0.0f};
    actor->HandleMessage(MSG_ADDFORCETOWARDS, Args_Of(&towards));
    EXPECT_NEAR(actor->m_DeltaPosition.y, 6.0f, 1e-5f);
    // Falloff 1 divides by the distance in hundreds: 3 units away gives 1/3.
    actor->m_DeltaPosition = Vector3(0, 0, 0);
    towards.falloff = 1.0f;
    actor->HandleMessage(MSG_ADDFORCETOWARDS, Args_Of(&towards));
    EXPECT_NEAR(actor->m_DeltaPosition.y, 2.0f, 1e-5f);

    // With jitter the same seed gives the same push.
    const float jittered[3] = {10.0f, 0.5f, 0.3f};
    Random_Seed(3);
    actor->m_DeltaPosition = Vector3(0, 0, 0);
    actor->HandleMessage(MSG_ADDFORCEINDIRECTION, Args_Of(jittered));
    const Vector3 first = actor->m_DeltaPosition;
    Random_Seed(3);
    actor->m_DeltaPosition = Vector3(0, 0, 0);
    actor->HandleMessage(MSG_ADDFORCEINDIRECTION, Args_Of(jittered));
    EXPECT_EQ(actor->m_DeltaPosition.x, first.x);
    EXPECT_NE(first.x, 0.0f);
    EXPECT_LE(Vec3_Length(first), 10.0f + 1e-4f);
}

TEST_F(CollisionMessages, UVAnimationSwitchesCollisionWithItsAction) {
    auto* water = Place(new Watched<CQVUVAnimation>, 9000, scenery);
    water->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    water->m_Flags &= ~ACTOR_COLLISION_ENABLED;

    water->seen.clear();
    water->HandleMessage(MSG_KILL, nullptr);
    EXPECT_TRUE(water->m_Flags & ACTOR_COLLISION_ENABLED);
    ASSERT_GE(water->seen.size(), 2u);
    EXPECT_EQ(water->seen[1], static_cast<uint32_t>(MSG_SET_COLLISION_ENABLE));

    // Already enabled: nothing is sent before the base handler.
    water->seen.clear();
    water->HandleMessage(MSG_ACTION_START, nullptr);
    EXPECT_EQ(std::count(water->seen.begin(), water->seen.end(), MSG_SET_COLLISION_ENABLE), 0);

    water->HandleMessage(MSG_ACTION_STOP, nullptr);
    EXPECT_FALSE(water->m_Flags & ACTOR_COLLISION_ENABLED);

    // "Create" with a source does nothing, not even "Init Copy"; with a
    // null source it is "Init New".
    water->seen.clear();
    CQVActor* source = scenery;
    EXPECT_EQ(water->HandleMessage(MSG_CREATE, Args_Of(&source)), 1);
    EXPECT_EQ(water->seen, std::vector<uint32_t>{MSG_CREATE});
    water->seen.clear();
    CQVActor* none = nullptr;
    EXPECT_EQ(water->HandleMessage(MSG_CREATE, Args_Of(&none)), 1);
    EXPECT_EQ(std::count(water->seen.begin(), water->seen.end(), MSG_INIT_NEW), 1);
}

// The factory always hands "Create" a block, which holds a null source for a
// new actor: a new UVAnimation is initialised like any other.
TEST_F(CollisionMessages, NewUVAnimationFromTheFactoryIsInitialised) {
    CQVActor* water = Make(CLASS_UVANIMATION, "Water", scenery);
    ASSERT_NE(water, nullptr);
    EXPECT_TRUE(water->m_Flags & ACTOR_PRECALCULATED);
    EXPECT_EQ(water->m_DrawGroupId, ACTOR_ID_NONE);
}

TEST_F(CollisionMessages, DefaultStepsRunOnlyWhileOperational) {
    CQVActor* manager = Make(CLASS_CLASS, "Classes", scenery);
    g_FrameNumber = 5;
    g_GlobalClock.time = 2.0f;
    manager->Update();
    EXPECT_EQ(manager->m_LastUpdateTime, 2.0f);
    manager->m_Activity &= ~ACTIVITY_OPERATIONAL;
    g_GlobalClock.time = 3.0f;
    manager->Update();
    manager->Process();
    EXPECT_EQ(manager->m_LastUpdateTime, 2.0f);
}

}  // namespace
