// Mesh costs: loading a 50,000-triangle ".qvm" against reading its bytes,
// a sphere sweep against a triangle surface of about 2,000 triangles, and
// applying a material (already applied, or switching between two).

#include "kernel/base/Archive.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/library/Library.h"
#include "services/render/Material.h"
#include "services/mesh/MeshFile.h"
#include "services/mesh/MeshShapes.h"
#include "tools/content/MeshBuild.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The engine with a small device on the headless driver, made once.
bool StartDevice() {
    static int started = -1;
    if (started >= 0) return started == 1;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    started = 0;
    if (CQVEngine::Create() != 1) return false;
    Platform_RegisterClass(PlatformWindowClass{"MeshBench", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
    HWND window = Platform_CreateWindow("MeshBench", "MeshBench", 0, 0, 32, 32);
    started = CQVEngine::GetInstance()->Init(32, 32, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, window);
    return started == 1;
}

// A terrain of 158 x 158 cells: 49,928 triangles, 25,281 vertices of 32 bytes.
const std::string& LargeMeshPath() {
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "qv_bench_50k.qvm").string();
        const MeshGeometry ground = MeshBuild_Terrain(Vector3(0, 0, 0), 10000, 158, MeshBuild_Hills(300, 5));
        Qvm_WriteFile(file, MeshBuild_RigidFile({MeshBuild_ToSubset(ground, false)}));
        return file;
    }();
    return path;
}

void BM_ReadQvmFile50k(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no graphics device");
    const std::string& path = LargeMeshPath();
    for (auto _ : state) {
        uint32_t skinned = 0;
        std::vector<MeshSubset> subsets;
        std::vector<Bone*> bones;
        if (MeshFile_ReadQvm(path.c_str(), &skinned, &subsets, &bones) != 1) return state.SkipWithError("load failed");
        benchmark::DoNotOptimize(subsets.data());
    }
    state.counters["triangles"] = 49928;
}
BENCHMARK(BM_ReadQvmFile50k)->Unit(benchmark::kMillisecond);

// The floor of the load: the same file's bytes through the engine's stream,
// into memory of their own (range 1) or into one buffer used again (range 0).
void BM_ReadQvmBytes50k(benchmark::State& state) {
    const std::string& path = LargeMeshPath();
    const size_t size = std::filesystem::file_size(path);
    std::unique_ptr<uint8_t[]> kept(new uint8_t[size]);
    for (auto _ : state) {
        CQVArchive archive;
        if (!archive.Open(path.c_str(), "rb")) return state.SkipWithError("open failed");
        std::unique_ptr<uint8_t[]> fresh(state.range(0) ? new uint8_t[size] : nullptr);
        uint8_t* bytes = fresh ? fresh.get() : kept.get();
        archive.SerializeBytes(bytes, static_cast<uint32_t>(size));
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadQvmBytes50k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A sphere swept over a hilly surface of 32 x 32 cells (2,048 triangles),
// at points spread over it, half of them touching the ground.
void BM_SweepSphereSurface2k(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no graphics device");
    const auto hills = MeshBuild_Hills(40, 9);
    const std::string path = (std::filesystem::temp_directory_path() / "qv_bench_surface.qvm").string();
    Qvm_WriteFile(path, MeshBuild_RigidFile({MeshBuild_ToSubset(MeshBuild_Terrain(Vector3(0, 0, 0), 1000, 32, hills), false)}));
    uint32_t skinned = 0;
    std::vector<MeshSubset> subsets;
    std::vector<Bone*> bones;
    if (MeshFile_ReadQvm(path.c_str(), &skinned, &subsets, &bones) != 1) return state.SkipWithError("load failed");
    MeshSubset& ground = subsets[0];
    Shape_Build(&ground, SHAPE_TRIANGLE_SURFACE);
    std::vector<Vector3> centres;
    for (int i = 0; i < 64; ++i) {
        const float x = 15.0f + 970.0f * static_cast<float>((i * 37) % 64) / 64.0f;
        const float z = 15.0f + 970.0f * static_cast<float>((i * 11) % 64) / 64.0f;
        centres.emplace_back(x, hills(x, z) + ((i & 1) ? 10.0f : 30.0f), z);
    }
    size_t next = 0;
    int touched = 0;
    for (auto _ : state) {
        Vector3 push;
        touched += Shape_SweepSphere(&ground, SHAPE_TRIANGLE_SURFACE, centres[next], 20.0f, &push);
        next = (next + 1) % centres.size();
        benchmark::DoNotOptimize(push);
    }
    state.counters["touching"] = benchmark::Counter(touched, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SweepSphereSurface2k)->Unit(benchmark::kMicrosecond);

// Two materials with a texture each (loaded, without a device texture):
// range 0 applies the same one again and again, which must set nothing;
// range 1 switches between them, which sets their states every time.
void BM_ApplyMaterial(benchmark::State& state) {
    if (!StartDevice()) return state.SkipWithError("no graphics device");
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVMaterialItem* materials[2];
    for (uint32_t i = 0; i < 2; ++i) {
        auto* texture = new CQVTextureItem;
        texture->loaded = 1;
        g_Library.SetItem(10 + i, texture);
        materials[i] = new CQVMaterialItem;
        materials[i]->blendIndex = i;
        materials[i]->textureIds = {10 + i};
        g_Library.SetItem(20 + i, materials[i]);
    }
    Material_Reset();
    const uint32_t switching = static_cast<uint32_t>(state.range(0));
    uint32_t next = 0;
    for (auto _ : state) {
        engine->ApplyMaterial(materials[next], 1.0f, -1);
        next ^= switching;
    }
    Library_Reset();
    Material_Reset();
}
BENCHMARK(BM_ApplyMaterial)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

}  // namespace
BENCHMARK_MAIN();
