#pragma once
// What UI Texts and UI Sprites share: the started bit as their "Visible"
// flag ("Start" and "Action Start" show, "Stop" and "Action Stop Post"
// hide), the alpha multiplier that the action sequence's values set, and
// the orientation style with the camera distances a 3D label fades over.

#include "actors/gameplay/UISupport.h"
#include "kernel/actors/Actor.h"

class CQVUIVisual : public CQVActor {
public:
    uint32_t Visible() const { return UI_Started(*this); }
    void SetVisible(uint32_t value) { UI_SetStarted(*this, value); }
    // Style 1 (a 3D label) fades between 400 and 600; any other does not fade.
    void SetOrientationStyle(uint32_t style);
    // The visibility and alpha messages: true when the id is one of them.
    bool HandleVisualMessage(uint32_t id, MessageArgs args);
    // How much a 3D label at the world position still shows.
    float LabelFade(const Vector3& position) const { return UI_LabelFade(position, m_FadeDistance, m_MaxDistance); }
    // Files between these versions hold the visible flag as a word of its own.
    void SerializeVisibleWord(CQVActorArchive* archive, uint32_t firstVersion);

    float m_ActionValue = 1.0f;
    uint32_t m_Style = UI_STYLE_2D;
    float m_MaxDistance = 0.0f;
    float m_FadeDistance = 0.0f;
};
