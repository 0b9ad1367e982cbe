#pragma once
// A fresh actor system with every class per test, cells and portals made by
// the factory, actors that note what reaches them, and one draw pass as the
// frame runs it.

#include "actors/scene/DrawGroup.h"
#include "actors/scene/DrawGroupConnector.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "tests/support/ResetGlobals.h"
#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// The scene classes share one test binary: these names stay in a namespace of their own.
namespace drawgroup_test {

inline const uint32_t kOne = 1;

// Notes the messages it handles and its draw-pass updates.
class Watcher : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        seen.push_back(id);
        return CQVActor::HandleMessage(id, args);
    }
    void Update() override {
        ++updates;
        CQVActor::Update();
    }
    int Count(uint32_t id) const { return static_cast<int>(std::count(seen.begin(), seen.end(), id)); }
    void Clear() {
        seen.clear();
        updates = 0;
    }
    std::vector<uint32_t> seen;
    int updates = 0;
};

// Grows a box it is asked to fill by its own world bounds.
class Bounded : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_CALCULATE_AABOX && args) {
            Vector3 box[2] = {Args_Get<Vector3>(args), Args_Get<Vector3>(args, sizeof(Vector3))};
            Vec3_Minimize(&box[0], box[0], min);
            Vec3_Maximize(&box[1], box[1], max);
            Args_Set(args, 0, box[0]);
            Args_Set(args, sizeof(Vector3), box[1]);
            return 1;
        }
        return CQVActor::HandleMessage(id, args);
    }
    Vector3 min, max;
};

// Stands in for a door: the draw pass calls it in place of its portal.
class Door : public CQVActor {
public:
    void OnVisible(float) override { ++visible; }
    int visible = 0;
};

class DrawGroupScene : public testing::Test {
protected:
    void SetUp() override {
        dir = TestFolder_Path("qv_drawgroups_");
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        Restart();
    }
    void TearDown() override {
        ResetGlobals();
        std::filesystem::remove_all(dir);
    }

    // A new actor system with every class, nothing in the level.
    void Restart() {
        ResetGlobals();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        nextId = 3000;
    }

    static CQVActor* Scenery() { return CQVActorSystem::GetActorById(ACTOR_ID_SCENERY); }

    CQVDrawGroup* Cell(const Vector3& min, const Vector3& max, CQVActor* parent = nullptr) {
        auto* cell = static_cast<CQVDrawGroup*>(g_ActorSystem->CreateActor(
            CLASS_DRAW_GROUP, "Cell", nullptr, parent ? parent : Scenery(), nextId++, 1, 0));
        cell->HandleMessage(MSG_SET_BOX_MIN, Args_Of(&min));
        cell->HandleMessage(MSG_SET_BOX_MAX, Args_Of(&max));
        return cell;
    }

    CQVDrawGroupConnector* Portal(const Vector3& at, float radius, CQVActor* parent = nullptr) {
        auto* portal = static_cast<CQVDrawGroupConnector*>(g_ActorSystem->CreateActor(
            CLASS_DRAW_GROUP_CONNECTOR, "Portal", nullptr, parent ? parent : Scenery(), nextId++, 1, 0));
        portal->HandleMessage(MSG_SET_POSITION, Args_Of(&at));
        portal->HandleMessage(MSG_SET_RADIUS, Args_Of(&radius));
        return portal;
    }

    // Puts an actor of a test's own class into the table under parent.
    template <typename T>
    T* Adopt(T* actor, CQVActor* parent) {
        actor->m_Id = nextId++;
        g_ActorTable[actor->m_Id] = actor;
        actor->m_Parent = parent;
        actor->m_ParentId = parent->m_Id;
        parent->m_Children.push_back(actor);
        return actor;
    }

    Watcher* Watch(CQVActor* parent) { return Adopt(new Watcher, parent); }

    // What the actor system does after loading a level: ids, then portals.
    static void AfterLoad() {
        g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
        g_ActorSystem->BroadcastMessage(MSG_CONNACTOR_DRAWGROUPS, nullptr);
    }

    // One draw pass with the camera at the point.
    static void RunDrawPass(const Vector3& camera) {
        ++g_FrameNumber;
        g_DrawCameraPosition = camera;
        g_ActorSystem->DrawVisibleGroups(0.02f);
    }

    std::filesystem::path dir;
    uint32_t nextId = 3000;
};

}  // namespace drawgroup_test

// The fixture is for every scene test that needs rooms and portals.
using drawgroup_test::DrawGroupScene;
