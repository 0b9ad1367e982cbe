#pragma once
// The loading screen of a level change: a text and a progress bar over the
// menu background, drawn and presented straight from inside the frame that
// loads, since no other frame runs until the load is done.

#include <cstdint>

class CQVLibraryItem;

// A pixel rectangle as the screen fills take it.
struct LoadRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct LoadingScreenState {
    uint32_t tick = 0;
    uint32_t interval = 200;  // the screen redraws on the call whose tick reaches it
    float step = 0.0f;        // pixels the fill grows by per redraw
    float progress = 0.0f;
    float barWidth = 0.0f;
    LoadRect border, bar, fill;
    CQVLibraryItem* background = nullptr;  // material "Menu_Back"
    CQVLibraryItem* logo = nullptr;        // material "Menu_MarnLogo"
    uint32_t redraws = 0;                  // frames presented since the screen started
};

extern LoadingScreenState g_LoadingScreen;

// The text table's display text of "LOADING".
const char* LoadingScreen_Title();

void LoadingScreen_Reset();
