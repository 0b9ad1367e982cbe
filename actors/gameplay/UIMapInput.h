#pragma once
// The element of the key-binding menu that stands for one input action: its
// "Text" child shows the names of the keys bound to the action, a click on
// its "Frame" makes it wait for the next key that changes state, and that
// key becomes the action's primary binding. It saves the live bindings of
// its action with the menu and puts them back when the menu is set up.

#include "actors/gameplay/UISupport.h"
#include "kernel/actors/Actor.h"

#include <string>

class CQVUIMapInput : public CQVActor {
public:
    CQVUIMapInput();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // A saved code not yet taken from the engine's bindings.
    static constexpr uint32_t CODE_UNSET = 0xFFFFFFFF;
    // Focus comes from a click this long after the element started or last
    // changed focus; a key is captured this long after focus began.
    static constexpr float FOCUS_DELAY = 0.5f;
    static constexpr float CAPTURE_DELAY = 0.1f;

    // The actions of the engine's binding table, 1 to 32; another number
    // (a new element's 0, before the designer picks one) binds nothing.
    bool HasAction() const;
    void SetAction(uint32_t action);
    // The names of the action's keys in row 0, from the text table: "primary
    // / secondary", the primary alone, or "".
    std::string BindingLabel() const;
    void ShowBindings();
    void OnPrecalculate();
    void OnCursor(MessageArgs args);
    void BuildChildren();

    uint32_t m_Action = 0;
    uint32_t m_SavedPrimary = CODE_UNSET;
    uint32_t m_SavedSecondary = CODE_UNSET;
    uint32_t m_AxisMode = 0;
    uint32_t m_Focused = 0;
    ActorLink m_Frame;
    ActorLink m_Text;
    ActorLink m_Label;
    ActorLink m_OverActor;
    ActorLink m_FocusActor;
    UIRect m_Rect{0, 0, 0, 0};
    uint32_t m_Over = 0;
    float m_Time = 0.0f;
    float m_ActionValue = 0.0f;
};
