// The engine's input wrappers over keys pushed through the window pump.

#include "services/engine/Engine.h"
#include "tests/services/input/InputTestSupport.h"

namespace {

using namespace inputtest;

class EngineInput : public InputTest {
protected:
    static void EngineFrame() {
        Pump();
        CQVEngine::UpdateInput(0.01f, 1);
    }
};

TEST_F(EngineInput, ForwardIsHeldButNeverPressed) {
    PushKey(SDL_SCANCODE_W, true);
    PushKey(SDL_SCANCODE_SPACE, true);
    EngineFrame();
    EXPECT_EQ(CQVEngine::IsKeyDown('W'), 1);
    EXPECT_EQ(CQVEngine::WasKeyPressed('W'), 1);
    EXPECT_EQ(CQVEngine::IsActionDown(QVDI_BUTTONFORWARD, 0), 1);
    EXPECT_EQ(CQVEngine::WasActionPressed(QVDI_BUTTONFORWARD, 0), 0);
    EXPECT_EQ(CQVEngine::WasActionPressed(15, 0), 1);  // Jump

    PushKey(SDL_SCANCODE_W, false);
    PushKey(SDL_SCANCODE_SPACE, false);
    EngineFrame();
    EXPECT_EQ(CQVEngine::WasKeyReleased('W'), 1);
    EXPECT_EQ(CQVEngine::WasActionReleased(QVDI_BUTTONFORWARD, 0), 1);
    EXPECT_EQ(CQVEngine::IsActionDown(QVDI_BUTTONFORWARD, 0), 0);
}

TEST_F(EngineInput, UpdateRecentresTheCursorWhenAsked) {
    const int cx = Platform_GetScreenWidth() / 2;
    const int cy = Platform_GetScreenHeight() / 2;
    PushMotion(cx + 100, cy);
    Pump();
    CQVEngine::UpdateInput(0.01f, 0);
    EXPECT_FLOAT_EQ(CQVEngine::GetActionValue(1, 0), 3.2f);  // "Axis X" on the mouse: 100 px x 0.032
    int x = 0, y = 0;
    Platform_GetCursorPos(&x, &y);
    EXPECT_EQ(x, cx + 100);
    CQVEngine::UpdateInput(0.01f, 1);
    Platform_GetCursorPos(&x, &y);
    EXPECT_EQ(x, cx);
    EXPECT_EQ(y, cy);
}

}  // namespace
