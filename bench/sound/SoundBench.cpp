// The game thread's sound work per frame with 32 placed sounds and 4 streams
// playing while the listener moves, and the streaming thread's refill of a
// one-second half. The mix renders on a loopback device outside the timing,
// as the device's own thread would mix it.

#include "services/sound/Sound.h"
#include "services/sound/SoundStreams.h"
#include "tools/content/WavWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;

struct Scene {
    std::filesystem::path dir;
    std::vector<CQVSoundBuffer*> placed;
    std::vector<CQVSoundBuffer*> streams;

    bool Open() {
        setenv("ALSOFT_DRIVERS", "null", 0);
        Sound_CloseDevice();
        if (!Sound_CreateLoopbackDevice(2, kRate, 16)) return false;
        dir = std::filesystem::temp_directory_path() / ("qv_sound_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return true;
    }
    std::string Write(const char* name, const WavFormat& format, float seconds) {
        const std::string path = (dir / name).string();
        Wav_Write(path, format, Wav_Sine(format, 330.0f, 0.3f, static_cast<uint32_t>(seconds * format.sampleRate)));
        return path;
    }
    ~Scene() {
        for (CQVSoundBuffer* sound : placed) Sound_Release(sound);
        for (CQVSoundBuffer* sound : streams) Sound_Release(sound);
        Sound_CloseDevice();
        std::filesystem::remove_all(dir);
    }
};

void Mix(uint32_t frames) {
    static std::vector<int16_t> out;
    out.resize(static_cast<size_t>(frames) * 2);
    Sound_RenderMix(out.data(), frames);
}

void BM_GameThreadSoundFrame(benchmark::State& state) {
    Scene scene;
    if (!scene.Open()) {
        state.SkipWithError("no loopback device");
        return;
    }
    const std::string mono = scene.Write("placed.wav", WavFormat{1, 22050, 16}, 2.0f);
    const std::string music = scene.Write("music.wav", WavFormat{2, kRate, 16}, 12.0f);
    for (int i = 0; i < 32; ++i) {
        CQVSoundBuffer* sound = Sound_CreateStatic3D(mono.c_str(), 0);
        Sound_SetDistances(sound, 100.0f, 3000.0f);
        Sound_SetVolume(sound, 0.8f);
        Sound_Play(sound, 1);
        scene.placed.push_back(sound);
    }
    for (int i = 0; i < 4; ++i) {
        CQVSoundBuffer* stream = Sound_CreateStream(music.c_str(), 0);
        Sound_Play(stream, 1);
        scene.streams.push_back(stream);
    }
    float t = 0.0f;
    Vector3 previous(0.0f, 0.0f, 0.0f);
    for (auto _ : state) {
        // What the actors and the frame do: place every sound, move and
        // turn the listener, commit once, ask which sounds still play.
        t += 1.0f / 60.0f;
        for (size_t i = 0; i < scene.placed.size(); ++i) {
            const float angle = t + static_cast<float>(i) * 0.2f;
            Sound_SetPosition(scene.placed[i], Vector3(std::cos(angle) * 800.0f, 0.0f, std::sin(angle) * 800.0f));
        }
        const Vector3 position(std::sin(t) * 500.0f, 170.0f, std::cos(t) * 500.0f);
        Sound_SetListenerPosition(position);
        Sound_SetListenerFront(Vector3(std::cos(t), 0.0f, -std::sin(t)));
        Sound_SetListenerTop(Vector3(0.0f, 1.0f, 0.0f));
        Sound_SetListenerVelocity(Vector3(previous.x - position.x, previous.y - position.y, previous.z - position.z));
        Sound_CommitListener();
        previous = position;
        int playing = 0;
        for (CQVSoundBuffer* sound : scene.placed) playing += Sound_IsPlaying(sound);
        for (CQVSoundBuffer* sound : scene.streams) playing += Sound_IsPlaying(sound);
        benchmark::DoNotOptimize(playing);
        state.PauseTiming();
        Mix(kRate / 60);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GameThreadSoundFrame)->Unit(benchmark::kMicrosecond);

// One pass of the streaming thread that refills a one-second half of a
// 16-bit stereo stream (176,400 bytes) and hands the half rewritten before
// it to the mix.
void BM_StreamRefillOfAOneSecondHalf(benchmark::State& state) {
    Scene scene;
    if (!scene.Open()) {
        state.SkipWithError("no loopback device");
        return;
    }
    const std::string music = scene.Write("music.wav", WavFormat{2, kRate, 16}, 30.0f);
    // Every refill is this loop's own.
    Sound_StopStreamThread();
    CQVSoundBuffer* stream = Sound_CreateStream(music.c_str(), 0);
    scene.streams.push_back(stream);
    Sound_Play(stream, 1);
    // Half a second in, each second of mix moves the cursor into the other half.
    Mix(kRate / 2);
    auto* ring = static_cast<CQVStreamSoundBuffer*>(stream);
    int64_t refills = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mix(kRate);
        const uint32_t half = ring->currentHalf;
        state.ResumeTiming();
        Sound_RunStreams();
        refills += ring->currentHalf != half;
    }
    // Every pass refilled a half.
    state.counters["refills_per_pass"] = static_cast<double>(refills) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kRate) * 4);
}
BENCHMARK(BM_StreamRefillOfAOneSecondHalf)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
