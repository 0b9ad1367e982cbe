#pragma once
// The one actor that carries the game across levels (id 16, "Inventory",
// under "Global"): the weapon selector of the player's character, the total
// score, the fades to and from black, a script's pause, the volume options
// of the in-game menu, the mission sequence and the block a save game
// keeps; its update step draws the HUD.
//
// Other actors are held by link or by id, never by a bare pointer: the
// character, its hands and its items may be deleted whenever a level goes.

#include "actors/gameplay/MissionFlow.h"
#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorLink.h"

#include <cstdint>
#include <string>

class CQVFontItem;
class CQVMaterialItem;
class CQVCharacter;

// The selector offers at most this many weapons.
constexpr uint32_t kSelectorCapacity = 100;
// The selector fades in or out over this many seconds, at this opacity change per second.
constexpr float kSelectorFadeTime = 0.25f;
constexpr float kSelectorFadeSpeed = 4.0f;

class CQVInventory : public CQVActor {
public:
    CQVInventory();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;
    // Draws the HUD (InventoryHud.cpp).
    void Update() override;
    static void RegisterProperties();

    // Nothing while a fade runs.
    void FadeDown(float seconds);
    void FadeUp(float seconds);

    CQVCharacter* MasterCharacter() const;
    // The selector's entry, or null when it is out of range or its item is gone.
    CQVActor* SelectorItem(int32_t index) const;

    // The mission sequence and the block a save game keeps; with it the
    // screen fade and whether the HUD is shown.
    CQVMissionFlow m_Mission;

    CQVFontItem* m_GameFont = nullptr;
    CQVMaterialItem* m_AmmoFlare = nullptr;
    CQVMaterialItem* m_SoulIcon = nullptr;
    CQVMaterialItem* m_SoulIcon02 = nullptr;
    CQVMaterialItem* m_SoulIconFill = nullptr;
    CQVMaterialItem* m_Black = nullptr;
    CQVMaterialItem* m_FilmGrain = nullptr;
    CQVMaterialItem* m_LightSensor = nullptr;
    CQVMaterialItem* m_LightSensor2 = nullptr;
    CQVMaterialItem* m_EnduranceBack = nullptr;
    CQVMaterialItem* m_EnduranceMark = nullptr;
    // The viewport in pixels; the second size places the fade quad.
    uint32_t m_ViewX = 0, m_ViewY = 0;
    uint32_t m_ViewW = 800, m_ViewH = 600;
    uint32_t m_HalfW = 400, m_HalfH = 300;
    uint32_t m_ViewW2 = 800, m_ViewH2 = 600;

    ActorLink m_MasterCharacter;  // the character of the player "MASTERPLAYER"
    ActorLink m_ItemsActor;       // its descendant "Items"
    ActorLink m_LeftHand;
    ActorLink m_RightHand;
    // Ids of the weapons the selector offers, rebuilt every step.
    uint32_t m_SelectorCount = 0;
    uint32_t m_SelectorItems[kSelectorCapacity] = {};
    uint32_t m_SelectorOpen = 0;
    float m_SelectorAlpha = 0.0f;
    float m_SelectorSpeed = 0.0f;   // opacity change per second
    float m_SelectorTimer = 0.0f;   // seconds left of the opening or closing
    int32_t m_SelectorIndex = -1;

    ActorLink m_MissionTimeActor;   // descendant "MissionTime": the mission clock
    uint32_t m_ShowMissionTime = 1;
    ActorLink m_SoulAmountActor;    // "/Global/ScriptSoul/Amount": the soul gauge's fill
    uint32_t m_ShowSouls = 1;
    // The "AmmoFlare" flash of each hand, and the bullets last shown.
    float m_LeftFlash = 0.0f, m_RightFlash = 0.0f;
    uint32_t m_LeftAmmoValue = 0, m_RightAmmoValue = 0;
    float m_PauseTime = 0.0f;       // seconds left of an "Inventory Pause"
    std::string m_MovieName;        // queued by "Fade Down Play Movie"
    float m_MovieFadeTime = 0.0f;
    uint32_t m_CharacterNotify = 1; // message 1049 to the character every frame
    float m_GrainTimer = 0.0f;      // seconds since the film grain last moved
    float m_FilmGrainColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::string m_MusicLabel, m_EffectLabel;
    uint32_t m_EnduranceShown = 0;

private:
    void Precalculate();
    void StartGame();
    void FindMasterCharacter();
    void BuildSelectorList();
    void StepSelector(float dt);
    void Choose(uint32_t grabMessage);
    void CloseSelector();
    void PlayQueuedMovie();
    void VolumeOption(uint32_t code);
    void ZoomQuad(MessageArgs args);
    void Pause(float seconds);

    // InventoryHud.cpp
    void DrawHud(float dt);
    void DrawHand(CQVActor* hand, bool right, float dt);
    void DrawGauges();
    void DrawMissionClock();
    void DrawFilmGrain(float dt);
    void DrawLightSensor(float dt);
    void DrawEndurance();
    void DrawFade();
};
