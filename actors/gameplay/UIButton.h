#pragma once
// A screen rectangle in pixels that turns the UI cursor into the events
// "On UI Button Over", "Out", "Down" and "Up", and those into "Action Start"
// and "Action Stop" of its children "On_Input_Over", "On_Input_Up" and
// "On_Input_Down", whose scripts carry out the menu's commands.

#include "actors/gameplay/UISupport.h"
#include "kernel/actors/Actor.h"

class CQVUIButton : public CQVActor {
public:
    CQVUIButton();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // The rectangle from the first UI Text child, else the first UI Sprite
    // child, else 120 x 40 pixels centred on the world position.
    void CalculateRect();
    void OnCursor(MessageArgs args);
    uint32_t Active() const { return UI_Started(*this); }
    void SetActive(uint32_t value) { UI_SetStarted(*this, value); }

    uint32_t m_Type = 0;
    UIRect m_Rect{0, 0, 64, 64};
    uint32_t m_Over = 0;
    uint32_t m_Static = 0;
    uint32_t m_Default = 0; // stored, copied and saved; nothing here acts on it
    ActorLink m_OverAction;
    ActorLink m_UpAction;
    ActorLink m_DownAction;
};
