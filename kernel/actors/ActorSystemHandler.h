#pragma once
// What the actor system's game-level commands, its level change and the
// loading screen need of the engine's services and of the program: the
// resource library, the sound listener, the window, the back-buffer
// capture, the frame and its overlays, and the file actors' count table.
// The kernel links none of them; the program installs the calls at
// start-up, and a call that is not installed leaves its step out (a test
// that runs the kernel alone, or a service not yet there).

#include <cstdint>
#include <string>

class CQVActor;
class CQVLibraryItem;

// Library item kinds the actor system asks for.
constexpr int32_t LIBRARY_KIND_ANY = -1;
constexpr int32_t LIBRARY_KIND_TEXTURE = 0;
constexpr int32_t LIBRARY_KIND_MATERIAL = 4;

// The listener effect when no effect is pushed.
constexpr uint32_t LISTENER_EFFECT_DEFAULT = 25;

struct ActorSystemServices {
    // The resource library: the first item of the kind (-1 any) named so.
    CQVLibraryItem* (*findItem)(const char* name, int32_t kind) = nullptr;
    int (*loadItem)(CQVLibraryItem* item) = nullptr;
    int (*unloadItem)(CQVLibraryItem* item) = nullptr;
    // A texture item's video texture: restarted and run, or stopped and rewound.
    void (*restartVideo)(CQVLibraryItem* texture) = nullptr;
    void (*stopVideo)(CQVLibraryItem* texture) = nullptr;
    void (*setListenerEffect)(uint32_t effect) = nullptr;
    // Asks the game window to close; the quit message then ends the game.
    void (*closeWindow)() = nullptr;
    // The back buffer scaled into the capture image, and that image written as a TGA file.
    void (*captureBackBuffer)(int32_t width, int32_t height) = nullptr;
    int (*saveCapture)(const char* fileName) = nullptr;
    // The display text of a key of the text table.
    std::string (*lookupText)(const char* key) = nullptr;

    // The loading screen draws and presents inside the frame.
    void (*getViewport)(int32_t* width, int32_t* height) = nullptr;
    int (*beginFrame)() = nullptr;
    void (*endFrame)() = nullptr;
    // Queues an overlay quad at (x, y) of size w x h in the colour with the
    // material item (null: untextured).
    void (*addQuad)(float x, float y, float w, float h, const float color[4], CQVLibraryItem* material) = nullptr;
    // Queues a text with the current font.
    void (*addText)(float x, float y, const float color[4], const char* text, uint32_t flags) = nullptr;
    // Draws and empties the queued quads, then the queued texts.
    void (*drawOverlays)() = nullptr;
    void (*fillScreenRect)(int32_t left, int32_t top, int32_t right, int32_t bottom, const float color[4]) = nullptr;

    // Tells the current camera that g_GlobalGamma changed (its gamma-changed word).
    void (*markCameraGammaChanged)(CQVActor* camera) = nullptr;
    // Empties the file actors' use-count table.
    void (*clearFileCounts)() = nullptr;
    // A level's resources are loaded: the draws of its render items are
    // prepared now, so that no frame waits for a shader.
    void (*prepareDraws)() = nullptr;
};

extern ActorSystemServices g_ActorSystemServices;

// The actor system's globals of this part back to their start: the capture
// and hit-effect values, the gamma, the loading screen (installed calls stay).
void ActorSystemHandler_Reset();

// The actor system's sheet and message table into its class record.
void ActorSystem_AddSheet(struct ClassRecord& record);

// Read by the AI players when they apply hits.
extern float g_AIPlayerHitEffectMultiplier;
// Red, green and blue gains, then red, green and blue: read by the camera.
extern float g_GlobalGamma[6];
