#include "apps/game/FrameLoop.h"

#include "apps/game/GameMain.h"

#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "platform/Window.h"
#include "services/input/Input.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/kernel/actors/AdoptActor.h"

#include <SDL2/SDL.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// The frame's measured intervals, in order; an empty queue measures 1/60 s.
std::deque<double> g_Intervals;
int g_IntervalsTaken = 0;

double NextInterval() {
    ++g_IntervalsTaken;
    if (g_Intervals.empty()) return 1.0 / 60.0;
    const double interval = g_Intervals.front();
    g_Intervals.pop_front();
    return interval;
}

// Counts its per-frame step and its update, and notes the frame number at each.
class CountingActor : public RecordingActor {
public:
    void Process() override { processFrames.push_back(g_FrameNumber); }
    void Update() override {
        updateFrames.push_back(g_FrameNumber);
        CQVActor::Update();
    }
    std::vector<uint32_t> processFrames;
    std::vector<uint32_t> updateFrames;
};

class FrameLoopTest : public ActorSystemFixture {
protected:
    void SetUp() override {
        ActorSystemFixture::SetUp();
        g_Intervals.clear();
        g_IntervalsTaken = 0;
        FrameClock_SetSource(&NextInterval);
    }

    // A counting actor under Global, in the table under a system-range id.
    CountingActor* MakeCounting(uint32_t id) { return AdoptActor(new CountingActor, id, global); }

    void Run(int frames) {
        for (int i = 0; i < frames; ++i) ASSERT_EQ(FrameStep(system), 1);
    }
};

TEST_F(FrameLoopTest, StepsExactFramesOnAFixedClock) {
    CountingActor* actor = MakeCounting(7600);
    system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    Run(10);
    EXPECT_EQ(g_FrameNumber, 10u);
    EXPECT_FLOAT_EQ(g_FrameTime, 1.0f / 60.0f);
    EXPECT_NEAR(g_GlobalClock.time, 10.0f / 60.0f, 1e-5f);
    EXPECT_EQ(actor->processFrames, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(g_IntervalsTaken, 10);
}

// Actors queued for deletion ("Delete", an orphan found by "Build Tree",
// "Kill Post") go at the start of the next frame, the last queued first.
TEST_F(FrameLoopTest, QueuedDeletesHappenAtTheStartOfTheNextFrame) {
    CQVActor* first = Make("First");
    CQVActor* second = Make("Second");
    const uint32_t firstId = first->m_Id, secondId = second->m_Id;
    first->HandleMessage(MSG_DELETE, nullptr);
    second->HandleMessage(MSG_KILL_POST, nullptr);
    ASSERT_EQ(system->GetActorById(firstId), first);
    g_Seen.clear();
    Run(1);
    EXPECT_EQ(system->GetActorById(firstId), nullptr);
    EXPECT_EQ(system->GetActorById(secondId), nullptr);
    EXPECT_TRUE(g_PendingDeletes.empty());
    // Global heard of the second child's removal before the first's.
    std::vector<uint32_t> removed;
    for (const SeenMessage& seen : g_Seen) {
        if (seen.actorId == ACTOR_ID_GLOBAL && seen.id == MSG_CALLBACK_CHILD_REMOVED) removed.push_back(seen.word);
    }
    EXPECT_EQ(removed, (std::vector<uint32_t>{secondId, firstId}));
}

TEST_F(FrameLoopTest, ADelayedActionArrivesInTheFrameAfterItsDelay) {
    CountingActor* actor = MakeCounting(7600);
    actor->m_ActionStartDelay = 0.125f;
    // 1/64 s frames add up exactly: the clock reaches 0.125 at frame 8, and
    // a record fires once the clock has passed its time.
    g_Intervals.assign(12, 1.0 / 64.0);
    Run(1);
    actor->HandleMessage(MSG_ACTION_START_PRE, nullptr);
    std::vector<uint32_t> startFrames;
    for (int i = 0; i < 11; ++i) {
        g_Seen.clear();
        Run(1);
        for (const SeenMessage& seen : g_Seen) {
            if (seen.actorId == actor->m_Id && seen.id == MSG_ACTION_START) startFrames.push_back(g_FrameNumber);
        }
    }
    EXPECT_EQ(startFrames, std::vector<uint32_t>{10}) << "scheduled at 1/64 s, due after 9/64 s";
}

TEST_F(FrameLoopTest, LongFramesAdvanceTheGameByTheClampedTime) {
    g_Intervals = {0.1, 0.5, 0.03};
    Run(1);
    EXPECT_FLOAT_EQ(g_GlobalClock.time, 0.06f);
    Run(1);
    EXPECT_FLOAT_EQ(g_GlobalClock.time, 0.06f + 1.0f / 120.0f);
    EXPECT_FLOAT_EQ(g_FrameTime, 1.0f / 120.0f);
    Run(1);
    EXPECT_NEAR(g_GlobalClock.time, 0.06f + 1.0f / 120.0f + 0.03f, 1e-6f);
}

TEST_F(FrameLoopTest, GlobalSpeedScalesThePassTimeButNotTheFrameTime) {
    system->m_GlobalSpeedMultiplier = 0.5f;
    g_Intervals = {0.04};
    Run(1);
    EXPECT_FLOAT_EQ(g_FrameTime, 0.04f);
    EXPECT_FLOAT_EQ(g_GlobalClock.dt, 0.02f);
    system->m_GlobalSpeedMultiplier = 1.0f;
}

// Notes which pass of the frame reached it: the actor system's own step
// (a queued deletion of its child), the timed messages ("Process"), the
// collision pass (an event) and the draw pass (its update).
std::vector<std::string> g_Passes;
float g_VisibleDt = -1.0f;

class PassActor : public RecordingActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_CALLBACK_CHILD_REMOVED) g_Passes.push_back("system");
        if (id == MSG_COLLISION_EVENT) g_Passes.push_back("collision");
        return RecordingActor::HandleMessage(id, args);
    }
    void Process() override { g_Passes.push_back("timed"); }
    void Update() override { g_Passes.push_back("draw"); }
};

class PassGroup : public CQVDrawGroupBase {
public:
    void OnVisible(float dt) override {
        g_VisibleDt = dt;
        CQVDrawGroupBase::OnVisible(dt);
    }
};

// One frame runs its passes in order, each on the frame time the global
// clock scaled (here by a global speed of 0.5: 0.05 s frames pass as
// 0.025 s, which the collision pass takes in one substep, not two).
TEST_F(FrameLoopTest, ThePassesRunInOrderOnTheScaledFrameTime) {
    g_Passes.clear();
    auto* group = AdoptActor(new PassGroup, system->FindFreeActorId(1), global);
    group->m_BoxMin = Vector3(-100.0f, -100.0f, -100.0f);
    group->m_BoxMax = Vector3(100.0f, 100.0f, 100.0f);
    const auto enter = [&](CQVActor* actor, uint32_t flags, bool moving) {
        ColObj object;
        object.type = COLOBJ_SPHERE;
        object.boxMin = Vector3(0.0f, 0.0f, 0.0f);
        object.boxMax = Vector3(5.0f, 0.0f, 0.0f);
        object.flags = flags;
        object.owner = actor;
        actor->m_ColObjs.push_back(object);
        actor->m_Flags |= ACTOR_COLLISION_ENABLED;
        if (moving) actor->m_Flags &= ~ACTOR_STATIC;
        actor->m_DrawGroupId = group->m_DrawGroupId;
        system->AddToDrawGroup(actor, 0);
    };
    auto* actor = AdoptActor(new PassActor, system->FindFreeActorId(1), global);
    enter(actor, COLOBJ_ACTIVE | COLOBJ_RECEIVES, false);
    CQVActor* trigger = AdoptActor(new RecordingActor, system->FindFreeActorId(1), global);
    enter(trigger, COLOBJ_ACTIVE | COLOBJ_TRIGGER | COLOBJ_TRIGGERED, true);
    system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    CQVActor* child = Make("Child", actor);
    child->HandleMessage(MSG_DELETE, nullptr);
    g_DrawCameraPosition = Vector3(0.0f, 0.0f, 0.0f);
    system->m_GlobalSpeedMultiplier = 0.5f;
    g_Intervals = {0.05};
    Run(1);
    system->m_GlobalSpeedMultiplier = 1.0f;
    EXPECT_EQ(g_Passes, (std::vector<std::string>{"system", "timed", "collision", "draw"}));
    EXPECT_EQ(g_CollisionStats.substeps, 1u);
    EXPECT_FLOAT_EQ(g_VisibleDt, 0.025f);
}

TEST_F(FrameLoopTest, PausedFramesRunOnlyThePauseActor) {
    CountingActor* game = MakeCounting(7600);
    CountingActor* pause = MakeCounting(7601);
    system->ScheduleMessage(game, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    Run(2);
    system->SetPaused(1, pause, 0);
    g_Intervals = {0.1, 0.5, 0.02};
    Run(3);
    EXPECT_EQ(g_FrameNumber, 2u);
    EXPECT_NEAR(g_GlobalClock.time, 2.0f / 60.0f, 1e-6f) << "game time stands still";
    EXPECT_EQ(game->processFrames.size(), 2u);
    EXPECT_EQ(pause->processFrames, (std::vector<uint32_t>{2, 2, 2}));
    EXPECT_EQ(pause->updateFrames, (std::vector<uint32_t>{2, 2, 2}));
    // The paused frame's own time: above 0.2 s it is 1/30 s, with no lower clamp.
    EXPECT_FLOAT_EQ(g_GlobalClock.dt, 0.02f);
}

TEST_F(FrameLoopTest, PausedWithoutAPauseActorRunsNoActor) {
    CountingActor* pause = MakeCounting(7601);
    system->SetPaused(1, nullptr, 0);
    g_Intervals = {0.5};
    Run(1);
    EXPECT_FLOAT_EQ(g_GlobalClock.dt, 1.0f / 30.0f);
    EXPECT_TRUE(pause->processFrames.empty());
    EXPECT_EQ(g_FrameNumber, 0u);
}

TEST_F(FrameLoopTest, OverriddenPauseRunsNormalFramesWithTheClockStopped) {
    CountingActor* game = MakeCounting(7600);
    system->ScheduleMessage(game, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    system->SetPaused(1, nullptr, 1);
    Run(2);
    EXPECT_EQ(g_FrameNumber, 2u);
    EXPECT_FLOAT_EQ(g_GlobalClock.time, 0.0f);
    EXPECT_EQ(game->processFrames.size(), 2u);
}

TEST_F(FrameLoopTest, LeavingThePauseDropsThePausedInterval) {
    system->SetPaused(1, nullptr, 0);
    Run(1);
    g_Intervals = {5.0, 0.02};
    system->SetPaused(0, nullptr, 0);
    EXPECT_EQ(g_Intervals.size(), 1u) << "the interval spent paused was taken and dropped";
    Run(1);
    EXPECT_FLOAT_EQ(g_FrameTime, 0.02f);
}

TEST_F(FrameLoopTest, FpsIsCountedOverEachSecondOfFrameTime) {
    // 1/32 s adds up exactly: the 32nd frame reaches 1 s, which is not yet over it.
    g_Intervals.assign(33, 0.03125);
    Run(32);
    EXPECT_FLOAT_EQ(g_FpsCounter.fps, 0.0f);
    Run(1);
    EXPECT_FLOAT_EQ(g_FpsCounter.fps, 33.0f / 1.03125f);
    EXPECT_FLOAT_EQ(g_FpsCounter.frames, 0.0f);
    EXPECT_FLOAT_EQ(g_FpsCounter.time, 0.03125f);
    // Clamped frames count with the time they advanced the game.
    g_Intervals.assign(17, 0.1);
    Run(17);
    EXPECT_NEAR(g_FpsCounter.fps, 17.0f / (0.03125f + 17 * 0.06f), 1e-3f);
}

TEST_F(FrameLoopTest, ListenerVelocityIsThePreviousPositionMinusTheCurrent) {
    g_DrawCameraPosition = Vector3(3.0f, 0.0f, 1.0f);
    Run(1);
    EXPECT_FLOAT_EQ(g_FrameListener.velocity.x, -3.0f);
    EXPECT_FLOAT_EQ(g_FrameListener.velocity.z, -1.0f);
    g_DrawCameraPosition = Vector3(4.0f, 0.0f, 1.0f);
    Run(1);
    EXPECT_FLOAT_EQ(g_FrameListener.velocity.x, -1.0f);
    EXPECT_FLOAT_EQ(g_FrameListener.velocity.z, 0.0f);
}

TEST_F(FrameLoopTest, ActorsOfTheCamerasGroupUpdateAfterTheirStep) {
    CountingActor* actor = MakeCounting(7600);
    system->ScheduleMessage(actor, MSG_PROCESS, nullptr, 0x100, 0.0f, 0.0f, 0.0f, nullptr, 2);
    auto* group = new CQVDrawGroupBase;
    group->m_BoxMin = Vector3(-10.0f, -10.0f, -10.0f);
    group->m_BoxMax = Vector3(10.0f, 10.0f, 10.0f);
    group->m_Actors.push_back(actor);
    Run(3);
    EXPECT_EQ(actor->updateFrames, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(actor->processFrames, (std::vector<uint32_t>{1, 2, 3}));
    g_DrawCameraPosition = Vector3(50.0f, 0.0f, 0.0f);
    Run(1);
    EXPECT_EQ(actor->updateFrames.size(), 3u) << "the camera left the group";
    group->m_Actors.clear();
    delete group;
}

void PushF12(bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = SDL_SCANCODE_F12;
    SDL_PushEvent(&e);
    WindowMessage message;
    while (Platform_PeekMessage(&message, true)) Platform_DispatchMessage(message);
}

TEST_F(FrameLoopTest, F12TogglesTheFpsTextOncePerPress) {
    ASSERT_TRUE(Platform_Init()) << Platform_GetError();
    ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"FrameLoopTest", Platform_DefWindowProc}));
    HWND window = Platform_CreateWindow("FrameLoopTest", "FrameLoopTest", 0, 0, 320, 240);
    ASSERT_NE(window, nullptr) << Platform_GetError();
    PushF12(true);
    Run(3);
    EXPECT_EQ(g_ShowFps, 1u) << "held for three frames, toggled once";
    PushF12(false);
    Run(1);
    PushF12(true);
    Run(1);
    EXPECT_EQ(g_ShowFps, 0u);
    PushF12(false);
    Run(1);
    // Read through the program's key poll: with polling off F12 does nothing.
    g_KeyPollEnabled = 0;
    PushF12(true);
    Run(1);
    EXPECT_EQ(g_ShowFps, 0u);
    PushF12(false);
    Run(1);
    Platform_DestroyWindow(window);
    WindowMessage message;
    while (Platform_PeekMessage(&message, true)) Platform_DispatchMessage(message);
}

// "FastDebug" {mode, red, green, blue} reaches the program's switch, which
// gives the current camera its gamma; unset channels take their defaults.
TEST_F(FrameLoopTest, FastDebugSetsTheCurrentCamerasGamma) {
    struct Seen : RecordingActor {
        int HandleMessage(uint32_t id, MessageArgs args) override {
            if (id == MSG_SET_GAMMA) {
                std::vector<float> values;
                for (size_t i = 0; i < 6; ++i) values.push_back(Args_Get<float>(args, 4 * i));
                gammas.push_back(values);
            }
            return RecordingActor::HandleMessage(id, args);
        }
        std::vector<std::vector<float>> gammas;
    };
    Seen* camera = AdoptActor(new Seen, 7601, global);
    CQVActor* sender = Make("Debug");
    g_FastDebugApply = &FastDebug_Apply;
    const uint32_t noCamera[4] = {1, 1, 2, 3};
    sender->HandleMessage(MSG_FASTDEBUG, Args_Of(noCamera));
    g_CurrentCamera = camera;
    const uint32_t defaults[4] = {1, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    const uint32_t given[4] = {1, 10, 0xFFFFFFFF, 30};
    const uint32_t otherMode[4] = {2, 10, 20, 30};
    sender->HandleMessage(MSG_FASTDEBUG, Args_Of(defaults));
    sender->HandleMessage(MSG_FASTDEBUG, Args_Of(given));
    sender->HandleMessage(MSG_FASTDEBUG, Args_Of(otherMode));
    g_FastDebugApply = nullptr;
    ASSERT_EQ(camera->gammas.size(), 2u);
    EXPECT_EQ(camera->gammas[0], (std::vector<float>{1, 1, 1, 60, 140, 200}));
    EXPECT_EQ(camera->gammas[1], (std::vector<float>{1, 1, 1, 10, 140, 30}));
}

}  // namespace
