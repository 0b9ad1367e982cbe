#pragma once
// The overlay service: 2D quads and texts drawn after the scene (the queues
// are the engine's, CQVEngine::AddQuad and the rest), and fonts as the game
// uses them: font items of the resource library, each
// with its rasteriser, the default font the engine makes with its device,
// and the current font that queued texts take.

#include <cstdint>

class CQVFontItem;

// The default font's face and size.
extern const char* const kDefaultFontFace;  // "Lucida Console"
constexpr uint32_t DEFAULT_FONT_SIZE = 6;

// A colour of four channels 0..1 as ARGB: 1 or more gives 255, 0 or less
// gives 0, else c x 255 + 0.5 truncated.
uint32_t Overlay_ColorToArgb(float r, float g, float b, float a);

CQVFontItem* Font_GetDefault();
// Loads the font and makes it current; null makes the default font current.
void Font_SetCurrent(CQVFontItem* font);
CQVFontItem* Font_GetCurrent();
// The whole text's size in pixels (the font loaded first; null: the default
// font); 0 x 0 without a font.
void Font_GetTextExtent(CQVFontItem* font, const char* text, float* width, float* height);
// Draws at once, centred on x when asked; null: the default font. Nothing
// without a font.
void Font_DrawText(float x, float y, float depth, float r, float g, float b, float a, const char* text,
                   uint32_t centred, CQVFontItem* font);

// The engine's device set-up: the default font, made current. A default
// font of an earlier device is given up first.
void Font_CreateDefault();

// The engine's device set-up: the default font, and the programs of the
// overlay quads built before any frame needs them.
void Overlay_SetUpDevice();
// The programs of overlay quads in every alpha mode, textured or not.
void Overlay_PrepareDraws();

// Forgets the default and current fonts (the default font is freed) and
// empties the overlay queues, as after start; for tests, which make devices
// and libraries one after another.
void Overlay_Reset();
