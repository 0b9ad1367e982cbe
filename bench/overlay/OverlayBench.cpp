// Text as the HUD and menus draw it: 2,000 characters in 40 strings a frame
// at 800x600 through the overlay text list, with the draw calls it takes
// (batches of 50 glyphs); and the default font's glyph texture built at
// start-up. Offscreen on llvmpipe, so "frame" includes the rasterising;
// "submit" is the CPU cost of queueing and issuing the text alone.

#include "bench/support/OffscreenBench.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/overlay/Overlay.h"
#include "services/overlay/FontRasterizer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// 40 strings of 50 characters down the screen.
void QueueText(CQVEngine* engine, const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i)
        engine->AddText(10.0f, 10.0f + 14.0f * static_cast<float>(i), 1.0f, 1.0f, 0.5f, 1.0f, lines[i].c_str(), 0);
}

std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) {
        std::string line;
        for (int c = 0; c < 50; ++c) line += static_cast<char>(0x21 + (i * 7 + c) % 94);
        lines.push_back(line);
    }
    return lines;
}

void BM_Text2000Frame(benchmark::State& state) {
    if (!Bench_StartEngine()) return state.SkipWithError("no device");
    CQVEngine* engine = CQVEngine::GetInstance();
    const std::vector<std::string> lines = Lines();
    std::vector<uint32_t> batches;
    g_FontBatchLog = &batches;
    for (auto _ : state) {
        batches.clear();
        engine->BeginFrame(1, 0);
        QueueText(engine, lines);
        engine->DrawTexts(1);
        engine->EndFrame(1);
    }
    g_FontBatchLog = nullptr;
    state.counters["draw_calls"] = static_cast<double>(batches.size());
}
BENCHMARK(BM_Text2000Frame)->Unit(benchmark::kMillisecond);

void BM_Text2000Submit(benchmark::State& state) {
    if (!Bench_StartEngine()) return state.SkipWithError("no device");
    CQVEngine* engine = CQVEngine::GetInstance();
    const std::vector<std::string> lines = Lines();
    std::vector<uint32_t> batches;
    g_FontBatchLog = &batches;
    for (auto _ : state) {
        state.PauseTiming();
        batches.clear();
        engine->BeginFrame(1, 0);
        state.ResumeTiming();
        QueueText(engine, lines);
        engine->DrawTexts(1);
        state.PauseTiming();
        engine->EndFrame(1);
        state.ResumeTiming();
    }
    g_FontBatchLog = nullptr;
    state.counters["draw_calls"] = static_cast<double>(batches.size());
}
BENCHMARK(BM_Text2000Submit)->Unit(benchmark::kMillisecond);

void BM_DefaultFontAtlas(benchmark::State& state) {
    if (!Bench_StartEngine()) return state.SkipWithError("no device");
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    for (auto _ : state) {
        FontRasterizer font;
        benchmark::DoNotOptimize(
            FontRasterizer_Create(&font, kDefaultFontFace, DEFAULT_FONT_SIZE, 0, device, nullptr, nullptr, 0.0f));
    }
}
BENCHMARK(BM_DefaultFontAtlas)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return Bench_OffscreenMain(argc, argv); }
