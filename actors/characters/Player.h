#pragma once
// The local player's controller: once per frame it reads the engine's
// action states and turns them into commands, look and movement values for
// one Character, into key actions for the actors under "/Global/Inventory",
// and into the game's slow motion. Only a Player with the Master flag reads
// the keyboard and mouse; the analog-stick scheme of a Console character
// runs for any Player.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <string>

class CQVPlayer : public CQVActor {
public:
    CQVPlayer();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    CQVActor* Character() const { return m_Character.target; }

    uint32_t m_PlayerType = 0;     // "Type:" (0 "Foo", 1 "Kabal"); kept, changes nothing
    uint32_t m_CharacterType = 0;  // the Character's type at "Set Character": the control scheme
    uint32_t m_Host = 0;           // copied, not saved, no effect
    uint32_t m_ControlSet = 0;     // binding row of the stance, movement, jump and hand actions
    // The driven Character; a deleted one counts as none.
    ActorLink m_Character;
    std::string m_CharacterPath;   // relative to this Player; resolved at "Precalculate"

private:
    void SetCharacter(CQVActor* character);
    void Precalculate();
    // The schemes of the per-frame step, by character type.
    // Every message goes through the link, read anew: a handler may delete the Character.
    void KeyboardMouseStep();
    void AnalogStep();
    // Pieces of the keyboard and mouse scheme, in the order they run.
    void StanceStep();
    void HandStep();
    void DeveloperChordStep();
    void SlowMotionStep();
    void KeyActionStep();
    void EscapePressed();
};
