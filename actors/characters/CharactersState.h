#pragma once
// The characters library's module state, held once for the process: the
// player's look settings, the developer switch, the reload latch, the last
// heading of the analog-stick scheme and the game's slow motion. Nothing of
// it is saved; it lives for the whole run. The design's names stay as
// forwards into the record.

#include <cstdint>

// The game's slow motion, run by the Player every frame and reset when a
// Player is made and when a mission starts.
struct SlowMotionState {
    float timeScale = 1.0f;         // the actor system clock's own scale; 1.0 is normal speed
    float burstCountdown = 0.0f;    // seconds left of a time-freeze burst
    uint32_t burstActive = 0;
    float timeSinceRelease = 10.0f; // seconds since "Slowmotion" was last released
};

struct CharactersState {
    uint32_t mouseInvertY = 1;      // while set the vertical look step is inverted
    float mouseSensitivity = 1.0f;  // multiplies the look axes; 0.07 to 5.0
    // Set by the developer key chord, never cleared; the frame loop shows
    // its frame-rate counter only while it is set.
    uint32_t developerMode = 0;
    uint32_t reloadStarted = 0;     // a "Reload" press has sent its start; never cleared
    float consoleHeading = 0.0f;    // radians, last heading of the analog-stick scheme
    SlowMotionState slowMotion;
};

extern CharactersState g_CharactersState;

inline uint32_t& g_MouseInvertY = g_CharactersState.mouseInvertY;
inline float& g_MouseSensitivity = g_CharactersState.mouseSensitivity;
inline uint32_t& g_DeveloperMode = g_CharactersState.developerMode;
inline uint32_t& g_ReloadStarted = g_CharactersState.reloadStarted;
inline float& g_ConsoleHeading = g_CharactersState.consoleHeading;

// Normal speed again, as a mission starts: the slow-motion record back to
// its start and the actor system's clock at scale 1.0 (its own scale, the
// simulation multiplier and the effective scale).
void SlowMotion_Reset();

// The whole record back to the values of a program start, for tests.
void Characters_Reset();
