#include "services/render/Lights.h"

#include "services/graphics/Graphics.h"
#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

LightState g_LightState;

namespace {

PlatformDevice* Device() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

bool IsLocal(const CQVLightItem* light) {
    return light->light.Type == D3DLIGHT_POINT || light->light.Type == D3DLIGHT_SPOT;
}

void RemoveByIndex(std::vector<CQVLightItem*>& list, uint32_t index) {
    std::erase_if(list, [index](const CQVLightItem* entry) { return entry->lightNumber == index; });
}

}  // namespace

void Lights_Reset() { g_LightState = LightState{}; }

void Lights_BeginDraw(PlatformDevice* device, LightState& lights) {
    const size_t count = lights.localLights.size();
    if (lights.lightCache.size() != count) lights.lightCache.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t number = lights.localLights[i]->lightNumber;
        D3DLIGHT8 held{};
        device->GetLight(number, &held);
        lights.lightCache[i] = LightCacheEntry{held.Position.x, held.Position.y, held.Position.z, held.Range};
        device->LightEnable(number, 0);
    }
    lights.itemLights.clear();
}

uint32_t Lights_SelectForItem(PlatformDevice* device, LightState& lights, const Vector3& centre, float radius) {
    uint32_t chosen[kMaxItemLights];
    uint32_t used = 0;
    const size_t count = std::min(lights.localLights.size(), lights.lightCache.size());
    const LightCacheEntry* cache = lights.lightCache.data();
    // Sixty-four lights at a time are tested without a branch, then the
    // first reaching ones taken in list order.
    for (size_t first = 0; first < count && used < kMaxItemLights; first += 64) {
        const size_t n = std::min<size_t>(64, count - first);
        uint64_t reaching = 0;
        for (size_t j = 0; j < n; ++j) {
            const LightCacheEntry& c = cache[first + j];
            const float dx = c.x - centre.x, dy = c.y - centre.y, dz = c.z - centre.z;
            const float reach = c.range + radius;
            reaching |= static_cast<uint64_t>(reach * reach > dx * dx + dy * dy + dz * dz) << j;
        }
        for (; reaching != 0 && used < kMaxItemLights; reaching &= reaching - 1) {
            chosen[used++] = lights.localLights[first + static_cast<size_t>(std::countr_zero(reaching))]->lightNumber;
        }
    }
    // Neighbouring items mostly share their lights: only the differences
    // reach the device.
    std::vector<uint32_t>& on = lights.itemLights;
    for (size_t i = 0; i < on.size();) {
        if (std::find(chosen, chosen + used, on[i]) == chosen + used) {
            device->LightEnable(on[i], 0);
            on[i] = on.back();
            on.pop_back();
        } else {
            ++i;
        }
    }
    for (uint32_t k = 0; k < used; ++k) {
        if (std::find(on.begin(), on.end(), chosen[k]) != on.end()) continue;
        device->LightEnable(chosen[k], 1);
        on.push_back(chosen[k]);
    }
    return used;
}

void Lights_EndDraw(PlatformDevice* device, LightState& lights) {
    for (const CQVLightItem* light : lights.localLights) device->LightEnable(light->lightNumber, 0);
    lights.itemLights.clear();
}

CQVLightItem* CQVRender::CreateLight() {
    CQVLightItem* light = new (std::nothrow) CQVLightItem;
    if (light == nullptr) return nullptr;
    light->lightNumber = lights.nextLightIndex++;
    lights.lights.push_back(light);
    return light;
}

void CQVRender::DestroyLight(CQVLightItem* light) {
    if (light == nullptr) return;
    if (PlatformDevice* device = Device()) device->LightEnable(light->lightNumber, 0);
    RemoveByIndex(lights.localLights, light->lightNumber);
    std::erase(lights.itemLights, light->lightNumber);
    std::erase(lights.lights, light);
    delete light;
}

void CQVRender::EnableLight(CQVLightItem* light, uint32_t on) {
    if (light == nullptr) return;
    if (!IsLocal(light)) {
        if (PlatformDevice* device = Device()) device->LightEnable(light->lightNumber, static_cast<int32_t>(on));
        return;
    }
    if (on == 1 && !light->enabled) {
        lights.localLights.push_back(light);
        light->enabled = 1;
    } else if (on == 0 && light->enabled) {
        RemoveByIndex(lights.localLights, light->lightNumber);
        std::erase(lights.itemLights, light->lightNumber);
        if (PlatformDevice* device = Device()) device->LightEnable(light->lightNumber, 0);
        light->enabled = 0;
    }
}

void Light_Apply(const CQVLightItem* light) {
    if (light == nullptr) return;
    if (PlatformDevice* device = Device()) device->SetLight(light->lightNumber, &light->light);
}

int Light_GetColorAt(const CQVLightItem* light, float color[4], const Vector3& point) {
    if (light == nullptr) return 0;
    const D3DLIGHT8& l = light->light;
    const float dx = point.x - l.Position.x, dy = point.y - l.Position.y, dz = point.z - l.Position.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (d >= l.Range) return 0;
    const float attenuation = 1.0f / (l.Attenuation0 + l.Attenuation1 * d + l.Attenuation2 * d * d);
    color[0] = l.Diffuse.r * attenuation;
    color[1] = l.Diffuse.g * attenuation;
    color[2] = l.Diffuse.b * attenuation;
    color[3] = l.Diffuse.a * attenuation;
    return 1;
}

void LibraryItem_DeleteIfUnused(CQVLibraryItem* item) {
    if (item != nullptr && !item->shared) delete item;
}

// A light switched on keeps shining when its type crosses between local
// and directional: a local light leaves the per-item list and goes on on
// the device, a directional one on the device joins the list instead.
void Light_SetType(CQVLightItem* light, uint32_t type) {
    if (light == nullptr) return;
    const bool wasLocal = IsLocal(light);
    light->light.Type = type;
    const bool local = IsLocal(light);
    PlatformDevice* device = Device();
    if (wasLocal && !local && light->enabled) {
        RemoveByIndex(g_LightState.localLights, light->lightNumber);
        std::erase(g_LightState.itemLights, light->lightNumber);
        light->enabled = 0;
        if (device) device->LightEnable(light->lightNumber, 1);
    } else if (!wasLocal && local && device) {
        int32_t on = 0;
        device->GetLightEnable(light->lightNumber, &on);
        if (on) {
            device->LightEnable(light->lightNumber, 0);
            g_LightState.localLights.push_back(light);
            light->enabled = 1;
        }
    }
}
uint32_t Light_GetType(const CQVLightItem* light) { return light != nullptr ? light->light.Type : 0; }
void Light_SetDiffuse(CQVLightItem* light, const D3DCOLORVALUE& color) {
    if (light != nullptr) light->light.Diffuse = color;
}
D3DCOLORVALUE Light_GetDiffuse(const CQVLightItem* light) {
    return light != nullptr ? light->light.Diffuse : D3DCOLORVALUE{};
}
void Light_SetAmbient(CQVLightItem* light, const D3DCOLORVALUE& color) {
    if (light != nullptr) light->light.Ambient = color;
}
D3DCOLORVALUE Light_GetAmbient(const CQVLightItem* light) {
    return light != nullptr ? light->light.Ambient : D3DCOLORVALUE{};
}
void Light_SetSpecular(CQVLightItem* light, const D3DCOLORVALUE& color) {
    if (light != nullptr) light->light.Specular = color;
}
D3DCOLORVALUE Light_GetSpecular(const CQVLightItem* light) {
    return light != nullptr ? light->light.Specular : D3DCOLORVALUE{};
}
void Light_SetRange(CQVLightItem* light, float range) {
    if (light != nullptr) light->light.Range = range;
}
float Light_GetRange(const CQVLightItem* light) { return light != nullptr ? light->light.Range : 0.0f; }
void Light_SetAttenuation0(CQVLightItem* light, float value) {
    if (light != nullptr) light->light.Attenuation0 = value;
}
void Light_SetAttenuation1(CQVLightItem* light, float value) {
    if (light != nullptr) light->light.Attenuation1 = value;
}
void Light_SetAttenuation2(CQVLightItem* light, float value) {
    if (light != nullptr) light->light.Attenuation2 = value;
}
void Light_SetFalloff(CQVLightItem* light, float value) {
    if (light != nullptr) light->light.Falloff = value;
}
float Light_GetFalloff(const CQVLightItem* light) { return light != nullptr ? light->light.Falloff : 0.0f; }
void Light_SetTheta(CQVLightItem* light, float radians) {
    if (light != nullptr) light->light.Theta = radians;
}
float Light_GetTheta(const CQVLightItem* light) { return light != nullptr ? light->light.Theta : 0.0f; }
void Light_SetPhi(CQVLightItem* light, float radians) {
    if (light != nullptr) light->light.Phi = radians;
}
float Light_GetPhi(const CQVLightItem* light) { return light != nullptr ? light->light.Phi : 0.0f; }
void Light_SetPosition(CQVLightItem* light, const Vector3& position) {
    if (light != nullptr) light->light.Position = {position.x, position.y, position.z};
}
Vector3 Light_GetPosition(const CQVLightItem* light) {
    return light != nullptr ? Vector3(light->light.Position.x, light->light.Position.y, light->light.Position.z)
                            : Vector3(0.0f, 0.0f, 0.0f);
}
void Light_SetDirection(CQVLightItem* light, const Vector3& direction) {
    if (light != nullptr) light->light.Direction = {direction.x, direction.y, direction.z};
}
