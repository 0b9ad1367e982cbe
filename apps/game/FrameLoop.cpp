#include "apps/game/FrameLoop.h"

#include "actors/characters/CharactersState.h"
#include "actors/scene/Camera.h"

#include "apps/game/GameMain.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/TimedMessage.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/input/Input.h"
#include "services/overlay/Overlay.h"
#include "services/render/Render.h"
#include "services/sound/Sound.h"

#include <cstdio>

uint32_t g_ShowFps = 0;
FpsCounter g_FpsCounter;
FrameListener g_FrameListener;

namespace {

// A paused frame that took longer than this advances its overlays by 1/30 s.
constexpr double PAUSED_STALL = 0.2;
constexpr float PAUSED_STALL_TIME = 1.0f / 30.0f;

int g_PreviousF12 = 0;

// The passes below belong to services that join the frame as they land; each
// is called in its place in the frame's order.

// CQVCamera::UpdateMotion on the current camera, which places the engine's
// camera for the draw pass.
void UpdateCameraMotion() {
    if (CQVCamera* camera = Camera_GetCurrent()) camera->UpdateMotion();
}

// The draw pass, the draw-group lookups and the listener read the engine's
// camera. Without an engine (a headless run) the position stays where the
// caller put it.
void TakeEngineCamera() {
    if (g_Engine) g_DrawCameraPosition = CQVRender::Get().View().cameraPosition;
}

// The listener stands at the engine's camera and faces where it looks: the
// view matrix's third column is the camera's forward axis in the world, its
// second the camera's up. Everything commits together, once a frame.
void CommitSoundListener(const FrameListener& listener) {
    Sound_SetListenerPosition(listener.position);
    if (g_Engine) {
        const Matrix& view = CQVRender::Get().View().viewMatrix;
        Sound_SetListenerFront(Vector3(view.m[0][2], view.m[1][2], view.m[2][2]));
        Sound_SetListenerTop(Vector3(view.m[0][1], view.m[1][1], view.m[2][1]));
    }
    Sound_SetListenerVelocity(listener.velocity);
    Sound_CommitListener();
}

// Clears target, depth and stencil; 0 when the device cannot draw this
// frame. A headless run has no engine: nothing is drawn, and the frame's
// counting still goes on.
int BeginFrame() { return g_Engine ? g_Engine->BeginFrame(1, 1) : 1; }
// The render buckets the draw pass filled, drawn in order.
void DrawRenderBuckets(float dt) {
    if (g_Engine) g_Engine->DrawRenderBuckets();
}
// The overlay quads, the texts, then the fixed quads.
void DrawOverlays() {
    if (!g_Engine) return;
    g_Engine->DrawQuads(1);
    g_Engine->DrawTexts(1);
    g_Engine->DrawFixedQuads();
}
// In the top right corner, right-aligned on x; drawn with the next frame's overlays.
void QueueFpsText(float fps) {
    if (!g_Engine) return;
    char text[64];
    std::snprintf(text, sizeof text, "FPS: %.2f", fps);
    Font_SetCurrent(nullptr);
    const float right = static_cast<float>(CQVGraphics::GetInstance()->GetViewportWidth()) - 14.0f;
    g_Engine->AddText(right, 10.0f, 1.0f, 1.0f, 1.0f, 1.0f, text, 12);
}
// The marker of a frame that took too long and was clamped.
void DrawClampMarker() { Font_DrawText(790.0f, 10.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, "*", 0, nullptr); }
// End of scene and present.
void EndFrame() {
    if (g_Engine) g_Engine->EndFrame(1);
}

void PlaceListener() {
    g_FrameListener.velocity = g_FrameListener.previous - g_DrawCameraPosition;
    g_FrameListener.position = g_DrawCameraPosition;
    CommitSoundListener(g_FrameListener);
    g_FrameListener.previous = g_DrawCameraPosition;
}

void ToggleFpsOnF12() {
    const int f12 = Input_GetAsyncKeyState(VK_F12);
    if (f12 != 0 && g_PreviousF12 == 0) g_ShowFps = !g_ShowFps;
    g_PreviousF12 = f12;
}

void CountFrame(float dt) {
    g_FpsCounter.time += dt;
    g_FpsCounter.frames += 1.0f;
    if (g_FpsCounter.time > 1.0f) {
        g_FpsCounter.fps = g_FpsCounter.frames / g_FpsCounter.time;
        g_FpsCounter.frames = 0.0f;
        g_FpsCounter.time -= 1.0f;
    }
}

void PausedFrame(CQVActorSystem* system) {
    double measured = FrameClock_TakeDelta();
    g_GlobalClock.dt = measured > PAUSED_STALL ? PAUSED_STALL_TIME : static_cast<float>(measured);
    CQVEngine::UpdateInput(g_GlobalClock.dt, system->m_CursorCentring);
    system->ProcessNetworkInput();
    if (CQVActor* pauseActor = system->m_PauseActor) {
        system->Process();
        pauseActor->Process();
        pauseActor->Update();
    }
    if (!BeginFrame()) return;
    DrawOverlays();
    EndFrame();
}

}  // namespace

float FrameTime_Clamp(double measured, int* clampCase) {
    int which = FRAME_CLAMP_NONE;
    float dt = static_cast<float>(measured);
    if (measured > 0.2) {
        dt = 1.0f / 120.0f;
        which = FRAME_CLAMP_STALL;
    } else if (measured > 0.06) {
        dt = 0.06f;
        which = FRAME_CLAMP_SLOW;
    }
    if (clampCase) *clampCase = which;
    return dt;
}

int FrameStep(CQVActorSystem* system) {
    if (system == nullptr) return 1;
    if (system->m_PauseWord == 1 && system->m_PauseOverride == 0) {
        PausedFrame(system);
        return 1;
    }

    int clampCase = FRAME_CLAMP_NONE;
    const float dt = FrameTime_Clamp(FrameClock_TakeDelta(), &clampCase);
    system->ProcessNetworkInput();
    CQVEngine::UpdateInput(dt, 1);
    g_FrameTime = dt;
    g_FrameNumber += 1;
    system->UpdateClock(&g_GlobalClock);
    // From here the passes run on the global clock: the frame time scaled.
    const float passDt = g_GlobalClock.dt;

    system->Process();
    system->RunTimedMessagePass();
    system->RunCollisionPass(passDt);
    UpdateCameraMotion();
    TakeEngineCamera();
    system->DrawVisibleGroups(passDt);
    PlaceListener();

    if (!BeginFrame()) return 1;
    DrawRenderBuckets(passDt);
    DrawOverlays();
    ToggleFpsOnF12();
    CountFrame(dt);
    if (g_ShowFps && g_DeveloperMode) QueueFpsText(g_FpsCounter.fps);
    if (clampCase == FRAME_CLAMP_SLOW && g_DeveloperMode) DrawClampMarker();
    EndFrame();
    return 1;
}

void FrameLoop_Reset() {
    g_ShowFps = 0;
    g_FpsCounter = FpsCounter{};
    g_FrameListener = FrameListener{};
    g_PreviousF12 = 0;
    FrameClock_SetSource(nullptr);
}
