#pragma once
// The menu that saves and loads games. Its windows are its own descendants,
// found by name: the save slots ("SavedGameSlots" with "SaveSlot_01" ...),
// the device window and three dialogs; the buttons' scripts send it the
// choices. A save game is one file, "SaveGame", holding a buffer in which
// each slot keeps the mission it was saved at: saving copies the current
// mission from the Inventory's save block into the chosen slot; loading
// hands the Inventory a fresh block with the slot's mission, which restarts
// that mission.

#include "actors/gameplay/MissionFlow.h"
#include "kernel/actors/Actor.h"

#include <string>
#include <vector>

struct SaveSlotRecord {
    uint32_t empty = 1;   // no save in this slot
    uint32_t mission = 0; // the mission saved there
    ActorLink button;     // the "SaveSlot_%02d" window
    ActorLink image;      // its "Img" sprite
};

struct SaveDeviceRecord {
    std::string name; // the device's shown text
};

class CQVSaveGame : public CQVActor {
public:
    CQVSaveGame();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override {}
    void Update() override;
    static void RegisterProperties();

    enum : uint32_t { STATE_LOAD = 0, STATE_SAVE = 1 };
    // The most slot windows looked for.
    static constexpr uint32_t MAX_SLOTS = 20;
    // A pending save or load waits this long, so its dialog is drawn first.
    static constexpr float PENDING_DELAY = 0.1f;
    // How long the "saving" and "loading" dialogs stay before closing.
    static constexpr float DIALOG_HOLD_TIME = 2.0f;
    // A device with less free room cannot take a save.
    static constexpr uint32_t MIN_FREE_BYTES = 0x10000;
    // The one save file.
    static constexpr const char* SAVE_FILE = "SaveGame";

    void FindMenuActors();
    void SelectDevice(int32_t device);
    void SelectSlot(uint32_t slot);
    void Answer(uint32_t answer);
    void Back();
    void ShowDeviceChoice();
    void BuildGameList();
    int SaveGame();
    int LoadGame();
    // The end of a load, after its dialog has shown for a while.
    void FinishLoad();

    uint32_t m_Type = 0;
    uint32_t m_State = STATE_LOAD;
    uint32_t m_MenuActive = 0;
    std::vector<SaveDeviceRecord> m_Devices;
    int32_t m_SelectedDevice = -1;
    int32_t m_SelectedSlot = -1;
    std::vector<SaveSlotRecord> m_Slots;
    ActorLink m_InfoDialog, m_InfoText;
    ActorLink m_InfoOkDialog, m_InfoOkText;
    ActorLink m_YesNoDialog, m_YesNoText;
    ActorLink m_GameList;
    ActorLink m_DeviceWindow;
    float m_Delay = 0.0f;
    uint32_t m_SavePending = 0;
    uint32_t m_LoadPending = 0;
    uint32_t m_OverwriteQuestion = 0;
    uint32_t m_QuitQuestion = 0;
    // The waits that keep the dialogs up while frames go on being drawn.
    float m_LoadWait = 0.0f;   // seconds until a load hands over its block
    uint32_t m_LoadWaiting = 0;
    uint32_t m_LoadMission = 0;
    float m_InfoCloseWait = 0.0f; // seconds until the info dialog closes after a save
    uint32_t m_InfoClosing = 0;

private:
    void ShowInfo(const char* key);
    void ShowInfoOk(const char* text);
    void ShowDeviceRemoved(const char* operation);
    void DropPending();
};

// The buffer the one save file holds: word 0 the mission of the last save,
// word 1 the slots in use, word 2 + i the mission saved in slot i.
extern uint32_t g_SaveBuffer[SAVE_BLOCK_WORDS];
// The buffer as at program start (tests).
void SaveGame_Reset();
