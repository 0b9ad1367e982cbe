#pragma once
// The user-interface classes on the game's class table and a 1024 x 768
// windowed device, made once for the binary; input comes from toolkit
// events pushed through the window's procedure, and frames run through the
// game's own frame step on a fixed clock.

#include "actors/gameplay/UISupport.h"
#include "actors/gameplay/UIWindow.h"
#include "apps/game/ActorClasses.h"
#include "apps/game/FrameLoop.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/TextTable.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/input/Input.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/overlay/Overlay.h"
#include "tests/support/ResetGlobals.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace uitest {

constexpr uint32_t kWidth = 1024, kHeight = 768;
// Frames of a thirtieth of a second.
constexpr double kFrameStep = 1.0 / 30.0;
// Mouse pixels per reference unit of cursor travel: an axis gives 0.032 per
// pixel off the screen's centre, and the cursor moves 20 units per unit.
constexpr double kPixelsPerUnit = 1.0 / (0.032 * 20.0);

inline LRESULT WindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Input_HandleWindowMessage(window, message, wParam, lParam);
    return Platform_DefWindowProc(window, message, wParam, lParam);
}

inline double FixedStep() { return kFrameStep; }

// One message an actor saw, by the actor's name.
struct Seen {
    std::string actor;
    uint32_t id;
    bool operator==(const Seen&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Seen& seen) { return os << seen.actor << ":" << seen.id; }

// Records the watched messages that reach the actors it is attached to.
class Spy : public CQVActor {
public:
    explicit Spy(std::vector<uint32_t> watched) : m_Watched(std::move(watched)) {}
    void Attach(CQVActor* actor) {
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(this);
        actor->m_CommandSpies.push_back(std::move(link));
    }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id != MSG_COMMAND_SPY) return CQVActor::HandleMessage(id, args);
        const auto spied = Args_Get<CommandSpyArgs>(args);
        if (std::find(m_Watched.begin(), m_Watched.end(), spied.id) == m_Watched.end()) return 1;
        seen.push_back({spied.actor->m_Name, spied.id});
        if (spied.id == MSG_UI_CURSOR) cursors.push_back(Args_Get<UICursorArgs>(*spied.args));
        return 1;
    }
    std::vector<Seen> seen;
    std::vector<UICursorArgs> cursors;

private:
    std::vector<uint32_t> m_Watched;
};

// An actor file whose last field is a text of `length` bytes, with that
// text replaced by one of `newLength` bytes of `fill`.
inline std::vector<char> WithLastText(std::vector<char> bytes, uint32_t length, uint32_t newLength, char fill) {
    bytes.resize(bytes.size() - 4 - length);
    bytes.insert(bytes.end(), reinterpret_cast<const char*>(&newLength), reinterpret_cast<const char*>(&newLength) + 4);
    bytes.insert(bytes.end(), newLength, fill);
    return bytes;
}

class UIFixture : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        ASSERT_EQ(CQVEngine::Create(), 1);
        if (CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
        ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"UITest", WindowProc}));
        s_Window = Platform_CreateWindow("UITest", "UITest", 0, 0, kWidth, kHeight);
        ASSERT_NE(s_Window, nullptr) << Platform_GetError();
        // The frame a windowed game's window has, so the client area is the size asked for.
        Platform_SetWindowFrame(s_Window, 5, 35, 5, 5);
        CQVEngine* engine = CQVEngine::GetInstance();
        ASSERT_EQ(engine->Init(kWidth, kHeight, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, s_Window), 1)
            << engine->GetErrorText();
    }

    void SetUp() override {
        Pump();
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        Font_CreateDefault();
        ASSERT_TRUE(CQVTextTable::Create());
        CQVTextTable::GetInstance()->pairs.clear();
        ASSERT_EQ(Input_Init(s_Window, nullptr), 1);
        Input_BindDefaultKeys();
        FindClientOrigin();
        Input_Update(0.0f);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        global = CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL);
        FrameClock_SetSource(&FixedStep);
        FrameClock_TakeDelta();
    }

    void TearDown() override {
        spy.reset();
        ResetGlobals();
    }

    static void Pump() {
        WindowMessage m;
        while (Platform_PeekMessage(&m, true)) Platform_DispatchMessage(m);
    }

    CQVActor* Make(uint32_t type, const char* name, CQVActor* parent) {
        return g_ActorSystem->CreateActor(type, name, nullptr, parent ? parent : global, ACTOR_ID_ANY, 1, 0);
    }

    template <typename T>
    static int Send(CQVActor* actor, uint32_t id, T value) {
        return actor->HandleMessage(id, Args_Of(&value));
    }
    static int Send(CQVActor* actor, uint32_t id) { return actor->HandleMessage(id, nullptr); }
    static int SendText(CQVActor* actor, uint32_t id, const char* text) {
        return actor->HandleMessage(id, Args_Of(text));
    }
    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id, T initial = T{}) {
        T value = initial;
        actor->HandleMessage(id, Args_Of(&value));
        return value;
    }
    static std::string AskText(CQVActor* actor, uint32_t id) {
        char text[256] = {};
        actor->HandleMessage(id, Args_Of(text));
        return text;
    }

    Spy& Watch(std::vector<CQVActor*> actors, std::vector<uint32_t> ids) {
        spy = std::make_unique<Spy>(std::move(ids));
        for (CQVActor* actor : actors) spy->Attach(actor);
        return *spy;
    }

    // Where the window's client area starts on the screen: a motion to its
    // corner, read back as the cursor's screen position; the mouse then
    // goes back to the screen's centre.
    static void FindClientOrigin() {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        SDL_PushEvent(&e);
        Pump();
        Platform_GetCursorPos(&s_OriginX, &s_OriginY);
        Input_CenterCursor();
        s_MouseX = s_MouseY = 0;
    }
    // The mouse moved by (dx, dy) pixels off the screen's centre, where each
    // frame's input update puts it back.
    static void MoveMouse(int dx, int dy) {
        s_MouseX = dx;
        s_MouseY = dy;
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = Platform_GetScreenWidth() / 2 + dx - s_OriginX;
        e.motion.y = Platform_GetScreenHeight() / 2 + dy - s_OriginY;
        SDL_PushEvent(&e);
    }
    // The cursor moved by (x, y) reference units.
    static void MoveCursor(float x, float y) {
        MoveMouse(static_cast<int>(std::lround(x * kPixelsPerUnit)), static_cast<int>(std::lround(y * kPixelsPerUnit)));
    }
    // The left button, where the mouse stands.
    static void PushButton(bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = Platform_GetScreenWidth() / 2 + s_MouseX - s_OriginX;
        e.button.y = Platform_GetScreenHeight() / 2 + s_MouseY - s_OriginY;
        SDL_PushEvent(&e);
    }
    static void PushKey(SDL_Scancode code, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        SDL_PushEvent(&e);
    }

    // One frame of the game on the fixed clock, with the pushed events.
    static void Frame() {
        Pump();
        FrameStep(g_ActorSystem);
        s_MouseX = s_MouseY = 0;
    }
    static void Frames(int count) {
        for (int i = 0; i < count; ++i) Frame();
    }

    static inline HWND s_Window = nullptr;
    static inline int s_OriginX = 0, s_OriginY = 0; // the client area's corner on the screen
    static inline int s_MouseX = 0, s_MouseY = 0;   // the mouse off the screen's centre
    CQVActor* global = nullptr;
    std::unique_ptr<Spy> spy;
};

}  // namespace uitest
