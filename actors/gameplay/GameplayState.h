#pragma once
// The gameplay library's module state, held once for the process: the
// mission that runs, the total score and the volume options of the in-game
// menu. The Inventory actor is made anew whenever a globals file holds it,
// so what must outlive it lives here. Nothing of it is saved except through
// the Inventory's save block; the design's names stay as forwards into the
// record.

#include <cstdint>

// The option steps run 0 to 4; the volume is (step + 1) x 0.1 + 0.5.
constexpr uint32_t kVolumeStepCount = 5;

struct GameplayState {
    uint32_t currentMission = 0;      // 1-based number of the running mission
    uint32_t missionMapPending = 0;   // the next "Start Game" shows the mission's map
    float totalScore = 0.0f;
    uint32_t showSaveContinueMenu = 0;  // the fade's end shows the save-or-continue menu
    uint32_t musicVolumeStep = kVolumeStepCount - 1;
    uint32_t effectVolumeStep = kVolumeStepCount - 1;
    float musicVolume = 1.0f;         // sound group 1
    float effectVolume = 1.0f;        // sound group 0
    // The HUD's film grain texture offsets and its light sensor's smoothed colour.
    float grainU = 0.0f, grainV = 0.0f;
    float sensorColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

extern GameplayState g_GameplayState;

inline uint32_t& g_CurrentMission = g_GameplayState.currentMission;
inline uint32_t& g_MissionMapPending = g_GameplayState.missionMapPending;
inline float& g_TotalScore = g_GameplayState.totalScore;
inline uint32_t& g_ShowSaveContinueMenu = g_GameplayState.showSaveContinueMenu;
inline uint32_t& g_MusicVolumeStep = g_GameplayState.musicVolumeStep;
inline uint32_t& g_EffectVolumeStep = g_GameplayState.effectVolumeStep;
inline float& g_MusicVolume = g_GameplayState.musicVolume;
inline float& g_EffectVolume = g_GameplayState.effectVolume;

// The whole record back to the values of a program start, for tests.
void Gameplay_Reset();
