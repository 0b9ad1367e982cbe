// Light selection for a frame of 2,000 items in a level of 64 local lights
// (an 8 x 8 grid 200 units apart, each reaching 350), where every item is
// reached by more than seven and so gets the first seven: the draw's start,
// one selection per item in queue order (scattered over the level) and its
// end, on the offscreen device. Beside it the same selection switching every
// local light off before each item, as a plain per-item loop would.
//
// Target: under 0.5 ms per frame.

#include "services/render/Lights.h"
#include "services/render/Render.h"
#include "services/render/RenderQueue.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int kGrid = 8;
constexpr int kItems = 2000;
constexpr float kSpacing = 200.0f;
constexpr float kRange = 350.0f;
constexpr float kItemRadius = 10.0f;

struct Level {
    std::vector<CQVLightItem*> lights;
    std::vector<Vector3> items;
    bool ready = false;
};

Level& TheLevel() {
    static Level level;
    if (level.ready) return level;
    std::string error;
    if (!RenderScene_StartEngine(64, 64, &error)) {
        std::fprintf(stderr, "no device: %s\n", error.c_str());
        std::exit(1);
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    for (int z = 0; z < kGrid; ++z) {
        for (int x = 0; x < kGrid; ++x) {
            CQVLightItem* light = engine->CreateLight();
            Light_SetPosition(light, Vector3(x * kSpacing, 100.0f, z * kSpacing));
            Light_SetRange(light, kRange);
            Light_Apply(light);
            engine->EnableLight(light, 1);
            level.lights.push_back(light);
        }
    }
    // Items inside the grid, in no order: the queue sorts by material, not place.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(kSpacing, (kGrid - 2) * kSpacing);
    std::uniform_real_distribution<float> height(0.0f, 200.0f);
    for (int i = 0; i < kItems; ++i) level.items.push_back(Vector3(across(random), height(random), across(random)));
    level.ready = true;
    return level;
}

void BM_LightSelectionPerFrame(benchmark::State& state) {
    Level& level = TheLevel();
    PlatformDevice* device = RenderScene_Device();
    LightState& lights = CQVRender::Get().Lights();
    uint64_t selected = 0;
    for (auto _ : state) {
        Lights_BeginDraw(device, lights);
        for (const Vector3& centre : level.items) selected += Lights_SelectForItem(device, lights, centre, kItemRadius);
        Lights_EndDraw(device, lights);
    }
    state.counters["lights_per_item"] =
        static_cast<double>(selected) / (static_cast<double>(state.iterations()) * kItems);
    state.counters["items"] = kItems;
}
BENCHMARK(BM_LightSelectionPerFrame)->Unit(benchmark::kMillisecond);

// The reference: every local light off, then the reaching ones on, per item.
void BM_LightSelectionAllOffPerItem(benchmark::State& state) {
    Level& level = TheLevel();
    PlatformDevice* device = RenderScene_Device();
    LightState& lights = CQVRender::Get().Lights();
    for (auto _ : state) {
        Lights_BeginDraw(device, lights);
        for (const Vector3& centre : level.items) {
            for (const CQVLightItem* light : lights.localLights) device->LightEnable(light->lightNumber, 0);
            uint32_t used = 0;
            for (size_t i = 0; i < lights.localLights.size() && used < kMaxItemLights; ++i) {
                const LightCacheEntry& c = lights.lightCache[i];
                const float dx = c.x - centre.x, dy = c.y - centre.y, dz = c.z - centre.z;
                const float reach = c.range + kItemRadius;
                if (reach * reach > dx * dx + dy * dy + dz * dz) {
                    device->LightEnable(lights.localLights[i]->lightNumber, 1);
                    ++used;
                }
            }
            benchmark::DoNotOptimize(used);
        }
        Lights_EndDraw(device, lights);
    }
}
BENCHMARK(BM_LightSelectionAllOffPerItem)->Unit(benchmark::kMillisecond);

}  // namespace
