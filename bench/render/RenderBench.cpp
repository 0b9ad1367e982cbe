// The render queue at 800x600 on the offscreen device: 2,000 queued items of
// 200 triangles each (textured, lit by up to 7 of 10 local lights, fog on)
// against the same draws issued straight to the device; the queue's own CPU
// time per item; sphere culling of 10,000 items; and the frame with 20
// shadow casters of 500 triangles against the same frame without shadows.
//
// Run with LP_NUM_THREADS=1 for figures that compare across machines.

#include "bench/support/OffscreenBench.h"
#include "services/render/Render.h"
#include "services/render/View.h"
#include "services/render/Lights.h"
#include "services/render/RenderQueue.h"
#include "tools/fixtures/RenderScene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kWidth = 800, kHeight = 600;
constexpr int kItems = 2000;
constexpr int kLights = 10;

// A 10 x 10 patch of 200 triangles, 20 units square, facing the camera.
MeshGeometry Patch() {
    MeshGeometry g;
    for (int y = 0; y <= 10; ++y)
        for (int x = 0; x <= 10; ++x)
            g.vertices.push_back({Vector3(2.0f * x - 10.0f, 2.0f * y - 10.0f, 0.0f), Vector3(0, 0, -1),
                                  Vector2{x / 10.0f, y / 10.0f}, Vector2{0, 0}});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * 11 + x), b = static_cast<uint16_t>(a + 1);
            const uint16_t c = static_cast<uint16_t>(a + 11), d = static_cast<uint16_t>(c + 1);
            g.indices.insert(g.indices.end(), {a, c, b, b, c, d});
        }
    return g;
}

struct Scene {
    std::unique_ptr<CQVMeshItem> patch;
    std::vector<std::unique_ptr<CQVMaterialItem>> materials;
    std::vector<Matrix> worlds;
    std::vector<RenderItem*> items;
    std::vector<CQVLightItem*> lights;
    bool ready = false;
};

Scene& TheScene() {
    static Scene scene;
    if (scene.ready) return scene;
    std::string error;
    if (!RenderScene_StartEngine(kWidth, kHeight, &error)) {
        std::fprintf(stderr, "no device: %s\n", error.c_str());
        std::exit(1);
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    engine->SetFarPlane(35000.0f);
    engine->SetNearPlane(1.5f);
    engine->SetCameraPositionRotation(Vector3(0, 0, 0), Quaternion{0, 0, 0, 1});
    engine->SetFogColor(0xFF808080);
    engine->SetFogNear(100.0f);
    engine->SetFogFar(3000.0f);
    engine->SetFogEnable(1);
    RenderScene_AddTextureItem(1, 64, 64);
    scene.patch.reset(RenderScene_MakeMesh(Patch()));
    for (int m = 0; m < 8; ++m) {
        scene.materials.emplace_back(RenderScene_MakeMaterial(8, 0.5f + m * 0.06f, 0.8f, 1.0f - m * 0.06f, true));
        scene.materials.back()->textureIds = {1};
    }
    // A wall of patches 40 wide and 50 high, each 25 apart, 600 to 2000 away.
    scene.worlds.resize(kItems);
    for (int i = 0; i < kItems; ++i) {
        const float x = (i % 40 - 19.5f) * 25.0f, y = (i / 40 % 50 - 24.5f) * 25.0f;
        Mat4_Translation(&scene.worlds[i], x * 1.2f, y * 0.9f, 1200.0f + (i % 7) * 100.0f);
    }
    for (int i = 0; i < kItems; ++i)
        scene.items.push_back(engine->CreateRenderItem(scene.patch.get(), 0, scene.materials[i % 8].get(),
                                                       &scene.worlds[i], 8000 + i, 0.0f));
    // Ten lights spread over the wall, each reaching well over a third of it.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-500.0f, 500.0f);
    for (int l = 0; l < kLights; ++l) {
        CQVLightItem* light = engine->CreateLight();
        Light_SetPosition(light, Vector3(spread(random), spread(random), 1000.0f));
        Light_SetRange(light, 900.0f);
        Light_SetDiffuse(light, D3DCOLORVALUE{0.3f, 0.3f, 0.3f, 1.0f});
        Light_Apply(light);
        engine->EnableLight(light, 1);
        scene.lights.push_back(light);
    }
    scene.ready = true;
    return scene;
}

// The lights the queue would switch on for an item, found once.
std::vector<std::vector<uint32_t>> ItemLights(const Scene& scene) {
    std::vector<std::vector<uint32_t>> result;
    const float radius = scene.patch->subsetInfos[0].sphere.radius;
    for (const Matrix& world : scene.worlds) {
        std::vector<uint32_t> on;
        for (const CQVLightItem* light : scene.lights) {
            const float dx = light->light.Position.x - world.m[3][0], dy = light->light.Position.y - world.m[3][1];
            const float dz = light->light.Position.z - world.m[3][2], reach = light->light.Range + radius;
            if (on.size() < 7 && reach * reach > dx * dx + dy * dy + dz * dz) on.push_back(light->lightNumber);
        }
        result.push_back(on);
    }
    return result;
}

void QueueAll(const Scene& scene) {
    CQVEngine* engine = CQVEngine::GetInstance();
    for (RenderItem* item : scene.items) engine->QueueRenderItem(item, 0.0f, 1.0f);
}

// The frame through the queue: queue, draw the buckets, present.
void BM_QueuedFrame(benchmark::State& state) {
    Scene& scene = TheScene();
    CQVEngine* engine = CQVEngine::GetInstance();
    for (auto _ : state) {
        QueueAll(scene);
        engine->BeginFrame(1, 1);
        engine->DrawRenderBuckets();
        engine->EndFrame(1);
    }
    state.counters["triangles"] = kItems * 200.0;
}
BENCHMARK(BM_QueuedFrame)->Unit(benchmark::kMillisecond);

// The same device work without the queue: the lights each item would get,
// its world matrix, its material and its draw, in the queue's order.
void BM_DirectFrame(benchmark::State& state) {
    Scene& scene = TheScene();
    CQVEngine* engine = CQVEngine::GetInstance();
    PlatformDevice* device = RenderScene_Device();
    const std::vector<std::vector<uint32_t>> lights = ItemLights(scene);
    const MeshSubset& subset = scene.patch->subsets[0];
    for (auto _ : state) {
        engine->BeginFrame(1, 1);
        for (size_t i = 0; i < scene.items.size(); ++i) {
            for (const CQVLightItem* light : scene.lights) device->LightEnable(light->lightNumber, 0);
            for (uint32_t index : lights[i]) device->LightEnable(index, 1);
            device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&scene.worlds[i]));
            engine->ApplyMaterial(scene.items[i]->material, 1.0f, -1);
            device->SetStreamSource(0, subset.vertexBuffer, subset.stride);
            device->SetVertexShader(subset.vertexFormat);
            device->SetIndices(subset.indexBuffer, 0);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, subset.vertexCount, 0, subset.triangleCount);
        }
        for (const CQVLightItem* light : scene.lights) device->LightEnable(light->lightNumber, 0);
        engine->EndFrame(1);
    }
}
BENCHMARK(BM_DirectFrame)->Unit(benchmark::kMillisecond);

// The queue's own CPU work per item: culling and insertion, then the walk of
// the buckets with the light choice, with every device call of the draw
// left out (no material, no transform, no mesh draw).
void BM_QueueCpuPerItem(benchmark::State& state) {
    Scene& scene = TheScene();
    CQVEngine* engine = CQVEngine::GetInstance();
    RenderBucket& opaque = CQVRender::Get().Queue().buckets[3];
    const RenderBucket saved = opaque;
    opaque.noMaterial = opaque.noWorldTransform = opaque.noMeshDraw = 1;
    for (auto _ : state) {
        QueueAll(scene);
        engine->DrawRenderBuckets();
    }
    opaque = saved;
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_QueueCpuPerItem)->Unit(benchmark::kMicrosecond);

void BM_SphereCulling(benchmark::State& state) {
    TheScene();
    CQVEngine* engine = CQVEngine::GetInstance();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> spread(-3000.0f, 3000.0f);
    std::vector<Vector3> centres(10000);
    for (Vector3& c : centres) c = Vector3(spread(random), spread(random), spread(random));
    for (auto _ : state) {
        int visible = 0;
        for (const Vector3& c : centres) visible += engine->IsSphereVisible(c, 20.0f, nullptr, 1);
        benchmark::DoNotOptimize(visible);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_SphereCulling)->Unit(benchmark::kMicrosecond);

// Twenty spheres of 500 triangles over a floor, casting shadows or not.
void BM_ShadowCasters(benchmark::State& state) {
    TheScene();
    CQVEngine* engine = CQVEngine::GetInstance();
    const bool shadows = state.range(0) != 0;
    std::unique_ptr<CQVMeshItem> ball(RenderScene_MakeMesh(MeshBuild_Sphere(Vector3(0, 0, 0), 30.0f, 11, 25)));
    std::unique_ptr<CQVMaterialItem> material(RenderScene_MakeMaterial(shadows ? 8 | 16 : 8, 1, 1, 1, true));
    std::vector<Matrix> worlds(20);
    std::vector<RenderItem*> casters;
    for (int i = 0; i < 20; ++i) {
        Mat4_Translation(&worlds[i], (i % 5 - 2) * 150.0f, (i / 5 - 1.5f) * 150.0f, 900.0f);
        casters.push_back(engine->CreateRenderItem(ball.get(), 0, material.get(), &worlds[i], 9000 + i, 0.0f));
    }
    for (auto _ : state) {
        for (RenderItem* item : casters) engine->QueueRenderItem(item, 0.0f, 1.0f);
        engine->BeginFrame(1, 1);
        engine->DrawRenderBuckets();
        engine->EndFrame(1);
    }
    for (RenderItem* item : casters) engine->DestroyRenderItem(item);
    state.counters["caster_triangles"] = ball->subsets[0].triangleCount;
}
BENCHMARK(BM_ShadowCasters)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return Bench_OffscreenMain(argc, argv); }
