// The Simulation body: its default volume, start and stop with the
// collision switch, the centre of mass from its child, the per-frame step
// that follows its contacts, its sheet's squared thresholds and its file.

#include "tests/actors/scene/LightTestSupport.h"

#include "actors/scene/Simulation.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"

#include <cstring>

namespace {

class SimulationTest : public LightActorTest {
protected:
    void SetUp() override {
        LightActorTest::SetUp();
        body = Make<CQVSimulation>(CLASS_SIMULATION, "Crate");
    }
    bool Simulated() const { return (body->m_Flags & ACTOR_SIMULATED) != 0; }
    bool CollisionOn() const { return (body->m_Flags & ACTOR_COLLISION_ENABLED) != 0; }
    void SetCollision(bool on) { Send<uint32_t>(body, MSG_SET_COLLISION_ENABLE, on ? 1 : 0); }
    bool Processing() const {
        for (TimedMessage* record : body->m_TimedMessages) {
            if (record->messageId == MSG_PROCESS && !(record->state & TIMED_STATE_CANCELLED)) return true;
        }
        return false;
    }
    void Touch() {
        ColObj* pair[2] = {&body->m_ColObjs[0], &body->m_ColObjs[0]};
        body->HandleMessage(MSG_COLLISION_EVENT, Args_Of(pair));
    }

    CQVSimulation* body = nullptr;
};

TEST_F(SimulationTest, ANewBodyHasItsDefaultSphere) {
    ASSERT_EQ(body->m_ColObjs.size(), 1u);
    const ColObj& volume = body->m_ColObjs[0];
    EXPECT_EQ(volume.name, "Simulation");
    EXPECT_EQ(volume.type, static_cast<uint32_t>(COLOBJ_SPHERE));
    EXPECT_EQ(volume.boxMin.x, 0.0f);
    EXPECT_EQ(volume.boxMax.x, 50.0f);
    EXPECT_EQ(volume.boxMax.y, 0.0f);
    EXPECT_EQ(volume.flags & 0x66u, 0x66u);
    EXPECT_EQ(volume.owner, body);
    EXPECT_NE(body->m_SimState, nullptr);  // "Precalculate" made the contact record
    // A copy takes the base fields only: the source's volume, no second one.
    CQVActor* copy = g_ActorSystem->CreateActor(CLASS_SIMULATION, "Copy", body, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_ColObjs.size(), 1u);
}

// Action start and stop switch the simulation, and the collision only when
// it is not already as wanted.
struct ActionCase {
    const char* label;
    bool collisionBefore;
    uint32_t message;
    bool simulated;
    bool collisionAfter;
};

class SimulationActions : public SimulationTest, public testing::WithParamInterface<ActionCase> {};

TEST_P(SimulationActions, SwitchSimulationAndCollision) {
    const ActionCase& c = GetParam();
    if (c.message != MSG_ACTION_START) body->HandleMessage(MSG_START_SIMULATE, nullptr);
    SetCollision(c.collisionBefore);
    body->HandleMessage(c.message, nullptr);
    EXPECT_EQ(Simulated(), c.simulated) << c.label;
    EXPECT_EQ(CollisionOn(), c.collisionAfter) << c.label;
    EXPECT_EQ((body->m_ColObjs[0].flags & COLOBJ_ACTIVE) != 0, c.collisionAfter) << c.label;
}

INSTANTIATE_TEST_SUITE_P(Table, SimulationActions,
                         testing::Values(ActionCase{"start switches collision on", false, MSG_ACTION_START, true, true},
                                         ActionCase{"start only starts", true, MSG_ACTION_START, true, true},
                                         ActionCase{"stop switches collision off", true, MSG_ACTION_STOP_POST, false,
                                                    false},
                                         ActionCase{"stop only stops", false, MSG_ACTION_STOP_POST, false, false},
                                         ActionCase{"kill post stops", true, MSG_KILL_POST, false, false}));

TEST_F(SimulationTest, TheStepRunsWhileContactsLastAndStopsOneFrameAfter) {
    EXPECT_FALSE(Processing());
    Touch();
    EXPECT_TRUE(Processing());
    Touch();  // a second contact in the frame schedules no second step
    int steps = 0;
    for (TimedMessage* record : body->m_TimedMessages) steps += record->messageId == MSG_PROCESS;
    EXPECT_EQ(steps, 1);
    for (int frame = 0; frame < 3; ++frame) {
        Frame(1.0f / 60.0f);
        EXPECT_EQ(body->m_WasInContact, 1u);
        EXPECT_TRUE(Processing());
        Touch();
    }
    Frame(1.0f / 60.0f);  // the last contact's frame
    EXPECT_TRUE(Processing());
    Frame(1.0f / 60.0f);  // one frame without: the contact has ended
    EXPECT_FALSE(Processing());
    EXPECT_EQ(body->m_WasInContact, 0u);
    Touch();
    EXPECT_TRUE(Processing());
    // Switching collision on forgets the contacts.
    SetCollision(false);
    SetCollision(true);
    EXPECT_EQ(body->m_InContact, 0u);
}

TEST_F(SimulationTest, ACenterOfMassChildGivesTheBlocksCentre) {
    ASSERT_EQ(body->m_SimParams, nullptr);
    body->HandleMessage(MSG_PRECALCULATE, nullptr);
    EXPECT_EQ(body->m_SimParams, nullptr);  // no child: nothing made or changed
    CQVActor* centre = Make(CLASS_BASE, "CenterOfMass", body);
    Send(centre, MSG_SET_POSITION, Vector3(1.0f, -2.0f, 3.0f));
    body->HandleMessage(MSG_PRECALCULATE, nullptr);
    ASSERT_NE(body->m_SimParams, nullptr);
    float offset[3];
    std::memcpy(offset, &body->m_SimParams->words[2], sizeof offset);
    EXPECT_EQ(offset[0], 1.0f);
    EXPECT_EQ(offset[1], -2.0f);
    EXPECT_EQ(offset[2], 3.0f);
    EXPECT_EQ(body->m_SimParams->words[SIM_WORD_FLAGS] & 0x2u, 0u);
}

TEST_F(SimulationTest, ThresholdsAreEnteredAsSpeedsAndStoredSquared) {
    const ClassRecord& record = g_ClassRecords[CLASS_SIMULATION];
    int squared = 0;
    for (const PropertyDesc& row : record.properties) {
        if (row.conversion == nullptr) continue;
        ++squared;
        double value = 30.0;
        row.conversion(&value, 1);
        Send(body, row.setMessage, static_cast<float>(value));
        const float stored = Ask<float>(body, row.getMessage);
        EXPECT_EQ(stored, 900.0f) << row.label;
        double shown = stored;
        row.conversion(&shown, 0);
        EXPECT_EQ(shown, 30.0) << row.label;
    }
    EXPECT_EQ(squared, 3);
}

TEST_F(SimulationTest, FilesFromVersion21KeepTheContactInterval) {
    body->m_ContactInterval = 0.25f;
    body->m_Reserved = 7;
    for (uint32_t version : {20u, 21u, 70u}) {
        const std::string bytes = LightTest_WritePayload(body, version);
        auto* loaded = Make<CQVSimulation>(CLASS_SIMULATION, "Loaded");
        ASSERT_EQ(LightTest_ReadPayload(loaded, bytes, version), 1) << version;
        EXPECT_EQ(loaded->m_ContactInterval, version >= 21 ? 0.25f : 0.0f) << version;
        EXPECT_EQ(loaded->m_Reserved, version >= 21 ? 7u : 0u) << version;
    }
}

}  // namespace

namespace {

// The bound pairs of the three classes' tables carry the value types their
// messages are registered with.
TEST(LightClassTables, AgreeWithTheRegisteredArgumentTypes) {
    ResetGlobals();
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    for (uint32_t type : {CLASS_LIGHT, CLASS_LIGHT_SENSOR, CLASS_SIMULATION}) {
        const ClassRecord& record = g_ClassRecords[type];
        ASSERT_NE(record.messageRows, nullptr) << record.name;
        EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "") << record.name;
    }
    ResetGlobals();
}

}  // namespace
