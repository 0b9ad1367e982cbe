#pragma once
// What the benchmarks that draw share: the engine on a window of the
// offscreen driver, made once per process, and a main that chooses the
// offscreen driver and software GL unless the caller's environment did.

#include "platform/Window.h"
#include "services/engine/Engine.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

// The engine on a windowed device of the size (the first size asked for
// holds); false when there is no device.
inline bool Bench_StartEngine(int width = 800, int height = 600) {
    static int started = -1;
    if (started >= 0) return started == 1;
    started = 0;
    if (CQVEngine::Create() != 1) return false;
    Platform_RegisterClass(PlatformWindowClass{"OffscreenBench", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
    HWND window = Platform_CreateWindow("OffscreenBench", "OffscreenBench", 0, 0, width, height);
    if (window == nullptr) return false;
    started = CQVEngine::GetInstance()->Init(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32, 32,
                                             ENGINE_WINDOWED | ENGINE_NO_SOUND, window) == 1;
    return started == 1;
}

inline int Bench_OffscreenMain(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
