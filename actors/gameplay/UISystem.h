#pragma once
// The root of one user interface (a menu screen, the save-game menu or a HUD
// layer). Its subtree is laid out in reference units, a virtual screen of
// "Ref Width" by "Ref Height"; the UI System scales itself to the viewport,
// so its children's transforms place them in pixels. While active it pauses
// the game as the pause actor, moves its "Cursor" child by the look actions
// and hands the cursor to the focused window's subtree.

#include "kernel/actors/Actor.h"

class CQVUISystem : public CQVActor {
public:
    CQVUISystem();
    ~CQVUISystem() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    static void RegisterProperties();

    // Scale x and y from the viewport and the reference size; the subtree
    // takes the new world matrices.
    void RecomputeScale();
    int Activate();
    int Deactivate();
    CQVActor* Cursor() const { return m_Cursor.target; }

    // The cursor moves this many reference units per unit of a look action.
    static constexpr float CURSOR_SPEED = 20.0f;
    // The cursor image's top-left corner lies this far up and left of its hot spot.
    static constexpr float CURSOR_HOT_SPOT = 8.0f;

    uint32_t m_Type = 0;
    float m_RefWidth = 800.0f;
    float m_RefHeight = 600.0f;
    ActorLink m_Cursor; // the descendant "Cursor"; not saved
    float m_CursorX = 100.0f;
    float m_CursorY = 70.0f;
    float m_CursorDepth = 0.0f;
    uint32_t m_UIActive = 0;
    TimedMessage* m_ProcessRecord = nullptr;
};
