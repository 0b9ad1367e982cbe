#pragma once
// What the user-interface classes share: the messages they send each other
// by number, the blocks those carry, and small helpers for sending a value
// or finding a named descendant.

#include "kernel/actors/Actor.h"
#include "kernel/actors/MessageIds.h"

#include <cstdint>
#include <initializer_list>
#include <string>

// The UI cursor message: the cursor in viewport pixels and the left mouse
// button's edges this frame.
struct UICursorArgs {
    int32_t x;
    int32_t y;
    uint32_t released;
    uint32_t pressed;
};

// A rectangle in pixels, and the same unrounded.
struct UIRect {
    int32_t left, top, right, bottom;
    // Strictly inside: the border pixels are outside.
    bool Contains(int32_t x, int32_t y) const { return left < x && x < right && top < y && y < bottom; }
};
struct UIRectF {
    float left, top, right, bottom;
};

// Horizontal and vertical alignment of texts and sprites.
enum : uint32_t { UI_ALIGN_START = 0, UI_ALIGN_CENTRE = 1, UI_ALIGN_END = 2 };

// Orientation styles of texts and sprites: flat on the screen, or at the
// screen projection of the world position, faded by camera distance.
enum : uint32_t { UI_STYLE_2D = 0, UI_STYLE_3D_LABEL = 1, UI_STYLE_3D = 2 };
// A new 3D label fades out between these camera distances.
constexpr float UI_LABEL_FADE_DISTANCE = 400.0f;
constexpr float UI_LABEL_MAX_DISTANCE = 600.0f;

// How much a label at distance d from the camera still shows: 1 nearer than
// the fade distance, 0 at the max distance or beyond, linear between; 1
// always when max is 0 (no fading).
float UI_DistanceFade(float distance, float fade, float max);
// The factor of a 3D label at a world position: UI_DistanceFade of its
// distance from the engine's camera.
float UI_LabelFade(const Vector3& position, float fade, float max);

// A float truncated toward zero, held to the int32 range (NaN gives 0).
int32_t UI_Truncate(float value);

// How far an aligned box starts before its anchor: 0, half or the whole size.
float UI_AlignOffset(uint32_t align, float size);

// The base actor's started bit, which UI actors show as "Visible" or
// "Active": read as 0 or 1, set from bit 0 of a value.
inline uint32_t UI_Started(const CQVActor& actor) { return (actor.m_Activity & ACTIVITY_ENABLED) ? 1 : 0; }
inline void UI_SetStarted(CQVActor& actor, uint32_t value) {
    actor.m_Activity = (value & 1) ? (actor.m_Activity | ACTIVITY_ENABLED) : (actor.m_Activity & ~ACTIVITY_ENABLED);
}

// Schedules the actor's "Process" (every frame, channel 2) unless one is held.
void UI_ScheduleProcess(CQVActor* actor);
// Brings the actor's clock up to the current frame; the seconds it advanced.
float UI_RefreshClock(CQVActor* actor);

// The text with each "%s" in turn replaced by the next value (a "%s" past
// the values stays); the text is never taken as a format, so whatever else
// it holds is shown as it is.
std::string UI_FillText(const std::string& text, std::initializer_list<std::string> values);

// The name of the library item with that id; "" when there is none.
const char* UI_ItemName(int32_t id);

inline int UI_Send(CQVActor* actor, uint32_t id) { return actor ? actor->HandleMessage(id, nullptr) : 0; }
template <typename T>
int UI_SendValue(CQVActor* actor, uint32_t id, T value) {
    return actor ? actor->HandleMessage(id, Args_Of(&value)) : 0;
}
inline int UI_SendText(CQVActor* actor, uint32_t id, const char* text) {
    return actor ? actor->HandleMessage(id, Args_Of(text)) : 0;
}
template <typename T>
T UI_Ask(CQVActor* actor, uint32_t id, T initial = T{}) {
    T value = initial;
    if (actor) actor->HandleMessage(id, Args_Of(&value));
    return value;
}

// The first descendant of that name (depth first), or null.
inline CQVActor* UI_Find(CQVActor* from, const char* name) {
    return from ? CQVActor::FindDescendantByName(from, name) : nullptr;
}
