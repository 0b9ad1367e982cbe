#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"
#include "kernel/app/ActorClasses.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"

#include <gtest/gtest.h>

namespace {

// Every scene class the factory makes reports its own type and has its
// record's chain from the base actor down to it.
TEST(SceneClasses, TheFactoryMakesEachWithItsChain) {
    delete g_ActorSystem;
    // The mesh actors are made with the fallback mesh 3 and material 4.
    ASSERT_EQ(CQVEngine::Create(), 1);
    auto* mesh = new CQVMeshItem;
    mesh->subsetInfos.resize(1);
    g_Library.SetItem(3, mesh);
    g_Library.SetItem(4, new CQVMaterialItem);
    ActorClasses_Install();
    ASSERT_EQ(RegisterActorClasses(), 1);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    const uint32_t types[] = {CLASS_OBJECT};
    for (uint32_t type : types) {
        CQVActor* actor = g_ActorSystem->CreateActor(type, "scene", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
        ASSERT_NE(actor, nullptr) << type;
        EXPECT_EQ(actor->m_ClassType, type);
        const ClassRecord& record = g_ClassRecords[type];
        ASSERT_FALSE(record.chain.empty());
        EXPECT_EQ(record.chain.front(), CLASS_BASE);
        EXPECT_EQ(record.chain.back(), type);
    }
    delete g_ActorSystem;
    g_ActorSystem = nullptr;
    Library_Reset();
}

}  // namespace
