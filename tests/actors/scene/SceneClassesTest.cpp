#include "actors/scene/AmbientSound.h"
#include "actors/scene/Camera.h"
#include "actors/scene/DrawGroup.h"
#include "actors/scene/DrawGroupConnector.h"
#include "actors/scene/Environment.h"
#include "actors/scene/Light.h"
#include "actors/scene/LightSensor.h"
#include "actors/scene/Lod.h"
#include "actors/scene/MatrixAnimation.h"
#include "actors/scene/Object.h"
#include "actors/scene/Particle.h"
#include "actors/scene/Simulation.h"
#include "actors/scene/Sound.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "tests/actors/scene/SoundActorSupport.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SceneClassCase {
    const char* label;
    uint32_t type;
    const char* name;
    const char* description;
    std::vector<uint32_t> chain;
    bool (*isItsClass)(CQVActor*);  // the factory made an actor of the class's own C++ type
};

template <typename T>
bool Is(CQVActor* actor) {
    return dynamic_cast<T*>(actor) != nullptr;
}

// The engine with a sound device (a Sound is made with a private copy of
// library sound 1), and the fallback mesh 3 and material 4 of the mesh actors.
class SceneClasses : public SoundActorTest, public testing::WithParamInterface<SceneClassCase> {
protected:
    void SetUp() override {
        SoundActorTest::SetUp();
        auto* mesh = new CQVMeshItem;
        mesh->subsetInfos.resize(1);
        g_Library.SetItem(3, mesh);
        g_Library.SetItem(4, new CQVMaterialItem);
    }
};

// Each scene class the factory makes is of its own class, reports its own
// type, and its record names it and holds its chain from the base actor down.
TEST_P(SceneClasses, TheFactoryMakesEachWithItsChain) {
    const SceneClassCase& c = GetParam();
    CQVActor* actor = g_ActorSystem->CreateActor(c.type, "scene", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->m_ClassType, c.type);
    EXPECT_TRUE(c.isItsClass(actor));
    const ClassRecord& record = g_ClassRecords[c.type];
    EXPECT_EQ(record.name, c.name);
    EXPECT_EQ(record.description, c.description);
    EXPECT_EQ(record.chain, c.chain);
    EXPECT_FALSE(record.properties.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Scene, SceneClasses,
    testing::Values(
        SceneClassCase{"Object", CLASS_OBJECT, "Object", "Object", {0, 3}, &Is<CQVObject>},
        SceneClassCase{"Particle", CLASS_PARTICLE, "Particle", "Particle System", {0, 3, 18}, &Is<CQVParticle>},
        SceneClassCase{"Light", CLASS_LIGHT, "Light", "Directional, point or spotlight", {0, 4}, &Is<CQVLight>},
        SceneClassCase{"LightSensor", CLASS_LIGHT_SENSOR, "Light Sensor", "", {0, 52}, &Is<CQVLightSensor>},
        SceneClassCase{"Lod", CLASS_LOD, "Lod", "", {0, 46}, &Is<CQVLod>},
        SceneClassCase{"MatrixAnimation", CLASS_MATRIX_ANIMATION, "Matrix Animation", "Matrix Animation", {0, 28},
                       &Is<CQVMatrixAnimation>},
        SceneClassCase{"Camera", CLASS_CAMERA, "Camera", "Camera", {0, 19}, &Is<CQVCamera>},
        SceneClassCase{"Environment", CLASS_ENVIRONMENT, "Environment", "Environment", {0, 7}, &Is<CQVEnvironment>},
        SceneClassCase{"DrawGroup", CLASS_DRAW_GROUP, "Draw Group", "", {0, 15}, &Is<CQVDrawGroup>},
        SceneClassCase{"DrawGroupConnector", CLASS_DRAW_GROUP_CONNECTOR, "Draw Group Connector",
                       "Connects Draw Groups", {0, 20}, &Is<CQVDrawGroupConnector>},
        SceneClassCase{"Sound", CLASS_SOUND, "Sound", "Sound", {0, 2}, &Is<CQVSound>},
        SceneClassCase{"AmbientSound", CLASS_AMBIENT_SOUND, "Ambient Sound", "Ambient Sound", {0, 30},
                       &Is<CQVAmbientSound>},
        SceneClassCase{"Simulation", CLASS_SIMULATION, "Simulation", "Simulation", {0, 43}, &Is<CQVSimulation>}),
    [](const testing::TestParamInfo<SceneClassCase>& info) { return std::string(info.param.label); });

}  // namespace
