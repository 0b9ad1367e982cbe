#pragma once
// The mission sequence that the Inventory actor runs between levels: a
// level reports its end with "Level Completed", the screen fades to black
// and the save-or-continue menu shows, or the next mission starts at once;
// starting a mission plays its movie and has the actor system load the
// mission's level with the globals file. The same sequence restarts the
// current mission on request, and hands the Save Game menu the block a save
// game keeps (message 582) and takes a loaded one back (581), which
// restarts the saved mission.
//
// The Inventory owns one CQVMissionFlow and forwards to it: its handler
// gives HandleMessage the first look at every message, its "Start Game"
// calls StartGame, and its per-frame step advances the fade and calls
// ChangeMission on the step on which the fade ends.

#include "actors/gameplay/GameplayState.h"
#include "kernel/actors/Actor.h"
#include "kernel/actors/MessageIds.h"

#include <cstdint>

// A save game's block of the Inventory's state, copied whole.
constexpr uint32_t SAVE_BLOCK_SIZE = 16488;
constexpr uint32_t SAVE_BLOCK_WORDS = SAVE_BLOCK_SIZE / 4;

struct InventorySaveBlock {
    uint32_t mission = 0;   // 1-based number of the mission the save starts
    uint32_t slotCount = 6; // save slots in use
    uint32_t reserved[24] = {};
    uint32_t words[4096] = {};
};
static_assert(sizeof(InventorySaveBlock) == SAVE_BLOCK_SIZE);

// MSG_TAKE_SAVE_BLOCK (a loaded block to restart from; answers 1 when
// taken) and MSG_DESCRIBE_SAVE_BLOCK (fills the record with the block to
// save) to the Inventory both carry a SaveRecord.

#pragma pack(push, 1)
struct SaveRecord {
    char title[128];
    uint32_t mission;
    void* data;
    uint32_t size;
};
#pragma pack(pop)

// g_CurrentMission (the running mission, from 1, set when a mission
// starts), g_MissionMapPending (set then; the next "Start Game" shows its
// map) and g_ShowSaveContinueMenu (set by "Level Completed": the fade's end
// shows the save-or-continue menu) live in the gameplay state record.

// Files of mission n.
constexpr const char* kMissionGlobalsFile = "data\\Globals1_XBox.qva";
constexpr const char* kMissionLevelFormat = "data\\Mission_%02d_Release.qva";
constexpr const char* kMissionMovieFormat = "Mission_%02d";
constexpr const char* kMissionMapFormat = "MissionMap_%02d";
// The mission without a map, a HUD or a light sensor.
constexpr uint32_t kMissionWithoutHud = 26;

// The fade to and from black between missions.
struct ScreenFade {
    uint32_t active = 0;
    float time = 0.0f;  // seconds left
    float level = 0.0f; // black's opacity, 0 to 1
    float speed = 0.0f; // opacity change per second

    // Nothing while a fade runs.
    void Down(float seconds);
    void Up(float seconds);
    // A fade to black started again from (nearly) black: the screen stays
    // dark and the fade ends after the seconds.
    void Restart(float seconds);
    // Advances a running fade by dt; true on the step on which it ends.
    bool Advance(float dt);
};

class CQVMissionFlow {
public:
    // "Level Completed", 581, 582 and "Inventory Hack" 5, 6 and 255 sent to
    // the Inventory: the handler's result when the message ends there, else
    // -1 (the Inventory goes on with it).
    int HandleMessage(CQVActor& inventory, uint32_t id, MessageArgs args);
    // "Start Game": the HUD on, the new mission's map shown, the fade from black.
    void StartGame(CQVActor& inventory);
    // At the end of a fade: the save-or-continue menu, or the pending mission.
    void ChangeMission(CQVActor& inventory);
    int LevelCompleted(CQVActor& inventory, uint32_t index);
    // Plays mission index + 1's movie, then asks for its level and the
    // globals file; index 200 starts mission 3.
    static void StartMission(uint32_t index, uint32_t newGameFlag);

    int32_t pendingMission = -1; // 0-based index of the mission to start at the fade's end
    InventorySaveBlock saveBlock;
    ScreenFade fade;
    uint32_t hudShown = 0;
};

// The globals back to their start (tests).
void MissionFlow_Reset();
