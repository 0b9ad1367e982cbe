#pragma once
// The lights' state: every light the render service created, the local
// (point and spot) lights that are switched on, and the per-draw cache of
// their positions and ranges. The render service holds a reference to it.
// Local lights are not switched on on the device for good: the render queue
// switches on, per drawn item, the few whose range reaches it.

#include "kernel/base/Maths.h"
#include "platform/graphics/D3D8Types.h"

#include <cstdint>
#include <vector>

class CQVLightItem;
class CQVLibraryItem;

// Position and range of one local light, as the device holds it.
struct LightCacheEntry {
    float x, y, z, range;
};

struct LightState {
    std::vector<CQVLightItem*> lights;       // in creation order
    uint32_t nextLightIndex = 0;             // device light index of the next light; never reused
    std::vector<CQVLightItem*> localLights;  // in order of switching on
    std::vector<LightCacheEntry> lightCache; // refilled at the start of every bucket draw
    // Device indices of the local lights switched on for the item drawn
    // last, so the next item switches only the lights that differ.
    std::vector<uint32_t> itemLights;
};

extern LightState g_LightState;

// Back to the state after start-up: no lights, index 0. The lights
// themselves belong to their owners, who destroy them through the render service.
void Lights_Reset();

class PlatformDevice;

// The start of a bucket draw: the cache takes every local light's position
// and range as the device holds them, and every local light is off.
void Lights_BeginDraw(PlatformDevice* device, LightState& lights);
// Switches on, in list order, the first lights (at most the render queue's
// per-item limit) whose range reaches the sphere, and every other local
// light off; the number switched on.
uint32_t Lights_SelectForItem(PlatformDevice* device, LightState& lights, const Vector3& centre, float radius);
// The end of a bucket draw: no local light stays on.
void Lights_EndDraw(PlatformDevice* device, LightState& lights);

// Sends the light's record to the device under its index; null ignored.
void Light_Apply(const CQVLightItem* light);
// The light's colour at a point: diffuse over the attenuation at the
// point's distance, and 1; 0 for a null light or a point at or beyond the range.
int Light_GetColorAt(const CQVLightItem* light, float color[4], const Vector3& point);
// Deletes the item unless someone was handed it (its shared flag).
void LibraryItem_DeleteIfUnused(CQVLibraryItem* item);

// Accessors of the stored record; a null light is ignored (getters give
// zeros). New values reach the device with the next Light_Apply.
void Light_SetType(CQVLightItem* light, uint32_t type);
uint32_t Light_GetType(const CQVLightItem* light);
void Light_SetDiffuse(CQVLightItem* light, const D3DCOLORVALUE& color);
D3DCOLORVALUE Light_GetDiffuse(const CQVLightItem* light);
void Light_SetAmbient(CQVLightItem* light, const D3DCOLORVALUE& color);
D3DCOLORVALUE Light_GetAmbient(const CQVLightItem* light);
void Light_SetSpecular(CQVLightItem* light, const D3DCOLORVALUE& color);
D3DCOLORVALUE Light_GetSpecular(const CQVLightItem* light);
void Light_SetRange(CQVLightItem* light, float range);
float Light_GetRange(const CQVLightItem* light);
void Light_SetAttenuation0(CQVLightItem* light, float value);
void Light_SetAttenuation1(CQVLightItem* light, float value);
void Light_SetAttenuation2(CQVLightItem* light, float value);
void Light_SetFalloff(CQVLightItem* light, float value);
float Light_GetFalloff(const CQVLightItem* light);
void Light_SetTheta(CQVLightItem* light, float radians);
float Light_GetTheta(const CQVLightItem* light);
void Light_SetPhi(CQVLightItem* light, float radians);
float Light_GetPhi(const CQVLightItem* light);
void Light_SetPosition(CQVLightItem* light, const Vector3& position);
Vector3 Light_GetPosition(const CQVLightItem* light);
void Light_SetDirection(CQVLightItem* light, const Vector3& direction);
