#pragma once
// The scene classes on the game's own class table, with library items put
// straight into the library: meshes that hold only their shape records and
// frame count (no device needed) and plain materials.

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// One subset's shape record: collision shape type and material item id.
struct TestShape {
    uint32_t type = 0;
    uint32_t material = 4;
    Box box{};
    Sphere sphere{};
};

class ObjectSceneFixture : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        // The fallbacks every mesh actor relies on.
        AddMesh(3, "Fallback Mesh", {TestShape{}}, 1);
        AddMaterial(4, "Fallback Material");
    }
    void TearDown() override {
        g_GlobalClock.flags = clockFlags;
        delete g_ActorSystem;
        g_ActorSystem = nullptr;
        ResetGlobals();
    }

    // A mesh item that holds its shape records and frame count only.
    CQVMeshItem* AddMesh(uint32_t id, const char* name, const std::vector<TestShape>& shapes, uint32_t frames) {
        auto* mesh = new CQVMeshItem;
        mesh->name = name;
        mesh->frameWord = frames;
        mesh->loaded = 1;
        for (const TestShape& shape : shapes) {
            SubsetInfo info;
            info.shapeType = shape.type;
            info.shapeParam = shape.material;
            info.box = shape.box;
            info.sphere = shape.sphere;
            mesh->subsetInfos.push_back(info);
        }
        g_Library.SetItem(id, mesh);
        return mesh;
    }
    CQVMaterialItem* AddMaterial(uint32_t id, const char* name, uint32_t collisionMaterial = 0,
                                 uint32_t collisionFlags = 15) {
        auto* material = new CQVMaterialItem;
        material->name = name;
        material->collisionMaterial = collisionMaterial;
        material->collisionFlags = collisionFlags;
        material->loaded = 1;
        g_Library.SetItem(id, material);
        return material;
    }

    CQVActor* Make(uint32_t type, const char* name, CQVActor* parent = nullptr) {
        return g_ActorSystem->CreateActor(type, name, nullptr, parent ? parent : scenery, ACTOR_ID_ANY, 1, 0);
    }

    template <typename T>
    static int Send(CQVActor* actor, uint32_t id, T value) {
        return actor->HandleMessage(id, Args_Of(&value));
    }
    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id, T initial = T{}) {
        T value = initial;
        actor->HandleMessage(id, Args_Of(&value));
        return value;
    }

    // One draw-pass step of the actor with a frame of dt seconds on the
    // global clock, held by hand.
    void Step(CQVActor* actor, float dt) {
        g_GlobalClock.flags |= CLOCK_MANUAL;
        g_GlobalClock.dt = dt;
        g_GlobalClock.previousTime = g_GlobalClock.time;
        g_GlobalClock.time += dt;
        actor->Update();
    }

    CQVActor* scenery = nullptr;
    uint32_t clockFlags = g_GlobalClock.flags;
};
