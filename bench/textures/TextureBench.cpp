// Still textures: 100 TGA files of 256 x 256 made into textures with their
// full mip chains, against reading and decoding the same files alone (the
// loader should cost at most twice the decoding). Video textures: the game
// thread's work per frame while a 640 x 480 movie at 30 frames a second
// plays into a texture (its worker decodes), against the same frame drawn
// with a still texture of the same size; the target is under 1 ms a frame.
//
// Run it with the release build on the offscreen driver:
//   bench_textures

#include "kernel/base/Archive.h"
#include "platform/Window.h"
#include "platform/image/Image.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "services/graphics/VideoTexturePlayback.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/MovieWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kTextureCount = 100;
constexpr uint32_t kSide = 256;
constexpr int kScreenWidth = 640, kScreenHeight = 480;

std::filesystem::path g_Folder;
std::vector<std::string> g_TgaPaths;
std::string g_MoviePath;

LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }

bool OpenDevice() {
    if (CQVGraphics::GetInstance() != nullptr && CQVGraphics::GetInstance()->GetDevice() != nullptr) return true;
    if (!CQVGraphics::Create()) return false;
    Platform_RegisterClass(PlatformWindowClass{"TextureBench", NoProcedure});
    HWND window = Platform_CreateWindow("TextureBench", "TextureBench", 0, 0, kScreenWidth, kScreenHeight);
    return window != nullptr && CQVGraphics::GetInstance()->CreateWindowDevice(window) == 1;
}

// A picture that changes everywhere, as painted textures do (no long runs).
std::vector<uint32_t> Painting(uint32_t seed) {
    std::vector<uint32_t> pixels(size_t{kSide} * kSide);
    uint32_t state = seed * 2654435761u + 1;
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x) {
            state = state * 1664525u + 1013904223u;
            const uint32_t noise = state >> 28;
            pixels[size_t{y} * kSide + x] = 0xFF000000u | ((x + seed * 7 + noise) & 0xFF) << 16 |
                                            ((y * 2 + noise) & 0xFF) << 8 | ((x ^ y) + seed) % 256;
        }
    return pixels;
}

bool WriteFiles() {
    g_Folder = std::filesystem::temp_directory_path() / ("qv_texture_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_Folder);
    for (uint32_t i = 0; i < kTextureCount; ++i) {
        const std::vector<uint32_t> pixels = Painting(i);
        const std::string path = (g_Folder / ("wall" + std::to_string(i) + ".tga")).string();
        if (!ImageWriter_Save(path, ImageWriter_Tga(pixels.data(), kSide, kSide, {}))) return false;
        g_TgaPaths.push_back(path);
    }
    // Three seconds of 640 x 480 at 30 frames a second: a bar moving over a
    // gradient, so every frame differs everywhere a little.
    MovieWriteSettings settings;
    settings.width = kScreenWidth;
    settings.height = kScreenHeight;
    settings.frameRate = 30;
    settings.withAudio = false;
    std::vector<std::vector<uint32_t>> frames;
    for (uint32_t f = 0; f < 90; ++f) {
        std::vector<uint32_t> frame(size_t{kScreenWidth} * kScreenHeight);
        for (uint32_t y = 0; y < kScreenHeight; ++y)
            for (uint32_t x = 0; x < kScreenWidth; ++x) {
                const bool bar = (x + 640 - f * 7) % 640 < 40;
                frame[size_t{y} * kScreenWidth + x] =
                    bar ? 0xFFFFFFFFu : 0xFF000000u | (x * 255 / 640) << 16 | (y * 255 / 480) << 8 | (f * 2);
            }
        frames.push_back(std::move(frame));
    }
    g_MoviePath = (g_Folder / "screen.mpg").string();
    std::string error;
    if (!MovieWriter_WriteFrames(g_MoviePath, settings, frames, 0.0, &error)) {
        std::fprintf(stderr, "bench_textures: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Reads a file whole, as the texture loader does.
std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::vector<uint8_t> bytes;
    CQVArchive archive;
    if (!archive.Open(path.c_str(), "rb")) return bytes;
    bytes.resize(archive.GetSize());
    if (!bytes.empty()) archive.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    archive.Close();
    return bytes;
}

void BM_TgaDecodeAlone(benchmark::State& state) {
    for (auto _ : state) {
        for (const std::string& path : g_TgaPaths) {
            const std::vector<uint8_t> bytes = ReadWhole(path);
            ImageData image;
            std::string error;
            if (!Image_Decode(bytes.data(), bytes.size(), &image, &error)) {
                state.SkipWithError(error.c_str());
                return;
            }
            benchmark::DoNotOptimize(image.levels[0].pixels.data());
        }
    }
    state.counters["files"] = kTextureCount;
}
BENCHMARK(BM_TgaDecodeAlone)->Unit(benchmark::kMillisecond);

void BM_TgaTexturesWithFullMipChains(benchmark::State& state) {
    if (!OpenDevice()) {
        state.SkipWithError("no graphics device");
        return;
    }
    std::vector<CQVVideoTexture*> textures;
    for (auto _ : state) {
        for (const std::string& path : g_TgaPaths) {
            CQVVideoTexture* texture = Texture_CreateFromFile(path.c_str(), kSide, kSide, D3DFMT_UNKNOWN, 0);
            if (texture == nullptr) {
                state.SkipWithError(Texture_GetLastError());
                return;
            }
            textures.push_back(texture);
        }
        state.PauseTiming();
        for (CQVVideoTexture* texture : textures) Texture_Release(texture);
        textures.clear();
        state.ResumeTiming();
    }
    state.counters["files"] = kTextureCount;
}
BENCHMARK(BM_TgaTexturesWithFullMipChains)->Unit(benchmark::kMillisecond);

struct ScreenVertex {
    float x, y, z, rhw, u, v;
};

// One game frame that draws a texture over the screen: the scene begins
// (uploading what the movie's worker wrote since the last frame), the
// texture is bound and drawn, the scene ends. The present, which is the
// renderer's work, stays outside the timing, as does the wait for the next
// sixtieth of a second.
void GameFrames(benchmark::State& state, CQVVideoTexture* texture, bool video) {
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    const ScreenVertex quad[4] = {{0, 0, 0.5f, 1, 0, 0},
                                  {kScreenWidth, 0, 0.5f, 1, 0.625f, 0},
                                  {0, kScreenHeight, 0.5f, 1, 0, 0.9375f},
                                  {kScreenWidth, kScreenHeight, 0.5f, 1, 0.625f, 0.9375f}};
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    MoviePlayer* player = video ? VideoTexturePlayback_GetPlayer(texture->playback) : nullptr;
    int64_t newFrames = 0;
    auto next = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (texture->texture->HasPendingUpload()) ++newFrames;
        CQVGraphics::GetInstance()->BeginScene();
        Texture_Bind(texture, 0);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
        Texture_Bind(nullptr, 0);
        CQVGraphics::GetInstance()->EndScene();
        state.PauseTiming();
        CQVGraphics::GetInstance()->Present();
        if (player != nullptr && player->GetState() == MOVIE_ENDED) {
            VideoTexture_Rewind(texture);
            VideoTexture_Play(texture);
        }
        next += std::chrono::microseconds(16667);
        std::this_thread::sleep_until(next);
        state.ResumeTiming();
    }
    state.counters["frames_with_new_video"] =
        benchmark::Counter(static_cast<double>(newFrames), benchmark::Counter::kAvgIterations);
}

void BM_GameFrameWithVideoTexture640x480(benchmark::State& state) {
    if (!OpenDevice()) {
        state.SkipWithError("no graphics device");
        return;
    }
    CQVVideoTexture* video = VideoTexture_Create(g_MoviePath.c_str());
    if (video == nullptr) {
        state.SkipWithError(Texture_GetLastError());
        return;
    }
    VideoTexture_Play(video);
    GameFrames(state, video, true);
    Texture_Release(video);
}
BENCHMARK(BM_GameFrameWithVideoTexture640x480)->Unit(benchmark::kMicrosecond)->Iterations(300)->UseRealTime();

void BM_GameFrameWithStillTexture(benchmark::State& state) {
    if (!OpenDevice()) {
        state.SkipWithError("no graphics device");
        return;
    }
    std::vector<uint32_t> pixels(1024 * 512, 0xFF406080u);
    const std::string path = (g_Folder / "still.tga").string();
    ImageWriter_Save(path, ImageWriter_Tga(pixels.data(), 1024, 512, {}));
    CQVVideoTexture* still = Texture_CreateFromFile(path.c_str(), 0, 0, D3DFMT_A8R8G8B8, 1);
    if (still == nullptr) {
        state.SkipWithError(Texture_GetLastError());
        return;
    }
    GameFrames(state, still, false);
    Texture_Release(still);
}
BENCHMARK(BM_GameFrameWithStillTexture)->Unit(benchmark::kMicrosecond)->Iterations(300)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    benchmark::Initialize(&argc, argv);
    if (!WriteFiles()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_Folder);
    return 0;
}
