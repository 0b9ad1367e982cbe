#pragma once
// The camera and environment tests: the real actor classes on a fresh actor
// system, with the engine on the offscreen device of the render tests, the
// camera's clock holding a chosen frame time, and a stand-in for the
// character that a following camera asks where it looks.

#include "actors/scene/Camera.h"
#include "actors/scene/Environment.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "tests/services/render/RenderTestSupport.h"

// Answers the two look messages a Character answers; everything else as a base actor.
class StandInCharacter : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_LOOKDIRECTION) Args_Answer(args, lookDirection);
        if (id == MSG_GET_LOOK_ROT_X) Args_Answer(args, lookRotX);
        return CQVActor::HandleMessage(id, args);
    }
    Vector3 lookDirection = Vector3(0.0f, 0.0f, 1.0f);
    float lookRotX = 0.3f;  // the pitch at which a chase camera adds no offset
};

class CameraSceneTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        system = static_cast<CQVEnvironment*>(CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT));
        ASSERT_NE(system, nullptr);
        SetFrameTime(1.0f / 60.0f);
    }
    void TearDown() override {
        RenderTest::TearDown();
        engine->SetFogEnable(0);
        engine->SetClearColor(0);
        engine->SetGamma(1, 1, 1, 0, 0, 0);
        engine->overlayQuads.clear();
    }

    // The frame time every actor's clock shows (nothing advances it here).
    static void SetFrameTime(float dt) { g_GlobalClock.dt = dt; }

    CQVCamera* MakeCamera(uint32_t type, const char* name = "Camera", CQVActor* parent = nullptr) {
        CQVActor* actor = g_ActorSystem->CreateActor(CLASS_CAMERA, name, nullptr, parent ? parent : scenery,
                                                     ACTOR_ID_ANY, 1, 0);
        EXPECT_NE(actor, nullptr);
        auto* camera = static_cast<CQVCamera*>(actor);
        camera->HandleMessage(MSG_SET_CAMERA_TYPE, Args_Of(&type));
        return camera;
    }
    CQVEnvironment* MakeEnvironment(const char* name) {
        return static_cast<CQVEnvironment*>(
            g_ActorSystem->CreateActor(CLASS_ENVIRONMENT, name, nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    }
    static int Activate(CQVActor* camera, uint32_t on) {
        return camera->HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&on));
    }
    static void Link(CQVCamera* camera, CQVActor* target) {
        camera->HandleMessage(MSG_SET_CAMERATARGET1_4C6, Args_Of(&target));
    }

    CQVActor* scenery = nullptr;
    CQVEnvironment* system = nullptr;
};

// A record written alone starts with the class type and id, which the
// actor-file loader reads before it makes the actor.
inline void SkipRecordHead(CQVActorArchive* archive) {
    uint32_t head[2];
    archive->SerializeDwords(head, 2);
}

inline void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}
