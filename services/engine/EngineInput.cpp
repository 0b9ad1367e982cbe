#include "services/engine/Engine.h"

#include "services/input/Input.h"

void CQVEngine::UpdateInput(float frameTime, uint32_t recentre) {
    Input_Update(frameTime);
    if (recentre) Input_CenterCursor();
}

int CQVEngine::IsKeyDown(uint32_t code) { return Input_IsKeyDown(code) ? 1 : 0; }
int CQVEngine::WasKeyPressed(uint32_t code) { return Input_WasKeyPressed(code) ? 1 : 0; }
int CQVEngine::WasKeyReleased(uint32_t code) { return Input_WasKeyReleased(code) ? 1 : 0; }
int CQVEngine::IsActionDown(uint32_t action, uint32_t row) { return Input_IsActionDown(action, row) ? 1 : 0; }

int CQVEngine::WasActionPressed(uint32_t action, uint32_t row) {
    // "Forward" is read held while walking; a press of it starts nothing.
    if (action == QVDI_BUTTONFORWARD) return 0;
    return Input_WasActionPressed(action, row) ? 1 : 0;
}

int CQVEngine::WasActionReleased(uint32_t action, uint32_t row) {
    return Input_WasActionReleased(action, row) ? 1 : 0;
}

float CQVEngine::GetActionValue(uint32_t action, uint32_t row) { return Input_GetActionValue(action, row); }
