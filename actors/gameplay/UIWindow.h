#pragma once
// One page of a menu or HUD under a UI System. Only the window with focus
// is updated and drawn, and only it receives the UI cursor; focus moves
// between windows with a one-step memory, so stopping a page gives focus
// back to the page that was open before it.

#include "kernel/actors/Actor.h"

#include <vector>

class CQVUIWindow : public CQVActor {
public:
    CQVUIWindow();
    ~CQVUIWindow() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // The window's stored fields after the base actor's (the Save Game menu
    // keeps the same form): the type and three words written as 0 and
    // dropped when read. 1, or 0 for a damaged file.
    static int SerializeWindowFields(CQVActor* actor, CQVActorArchive* archive, uint32_t flags, uint32_t* type);

    void TakeFocus();
    void GiveFocusBack();
    // The UI Button descendants collected when the window last took focus,
    // those of nested windows left out; buttons that died since are skipped.
    std::vector<CQVActor*> Buttons() const;

    uint32_t m_Type = 0;
    uint32_t m_HasFocus = 0;
    std::vector<ActorLink> m_Buttons;
    uint32_t m_CurrentButton = 0;
    // The direct children whose name begins with "Button_", in child order.
    std::vector<ActorLink> m_NamedButtons;
};

// The window with focus, which receives the UI cursor, and the one focus
// returns to. A window clears them when it dies; a UI System's deactivation
// clears both.
extern CQVUIWindow* g_FocusWindow;
extern CQVUIWindow* g_PreviousWindow;
