#include "platform/shell/ShellSound.h"

#include "platform/sound/MovieSound.h"
#include "platform/sound/SoundDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

constexpr uint32_t kWaveBuffer = SOUND_CAPS_STATIC | SOUND_CAPS_VOLUME;
constexpr uint32_t kStreamBuffer = SOUND_CAPS_VOLUME;
// Button sounds are short; a longer file is not a button sound.
constexpr long kLongestWave = 64L << 20;

// The output and the one wave sound; movie workers reach the device too.
std::recursive_mutex g_SoundMutex;
std::unique_ptr<PlatformSoundDevice> g_Device;
bool g_DeviceTried = false;
PlatformSoundBuffer* g_Wave = nullptr;
// Files read ahead of their first play, by name.
std::map<std::string, std::vector<uint8_t>> g_Loaded;

PlatformSoundDevice* Device() {
    if (!g_Device && !g_DeviceTried) {
        g_DeviceTried = true;
        SoundOpenResult result = SOUND_OPEN_OK;
        g_Device = PlatformSoundDevice::Open(2, 44100, 16, &result);
    }
    return g_Device.get();
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && size <= kLongestWave && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    }
    std::fclose(f);
    return ok;
}

// The format and samples of a RIFF wave file; every chunk is checked
// against the bytes that remain.
bool ParseWave(const std::vector<uint8_t>& file, PlatformSoundFormat* format, const uint8_t** samples,
               uint32_t* bytes) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    size_t at = 12;
    while (file.size() - at >= 8) {
        const uint8_t* chunk = file.data() + at;
        const uint32_t size = U32(chunk + 4);
        const size_t remaining = file.size() - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > remaining) return false;
            format->formatTag = U16(chunk + 8);
            format->channels = U16(chunk + 10);
            format->sampleRate = U32(chunk + 12);
            format->bitsPerSample = U16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            *samples = chunk + 8;
            // A data chunk that claims more than the file holds plays what is there.
            *bytes = static_cast<uint32_t>(std::min<size_t>(size, remaining));
            const uint32_t align = format->BlockAlign();
            if (align == 0) return false;
            *bytes -= *bytes % align;
            return *bytes > 0;
        }
        if (size > remaining) return false;
        at += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace

bool Platform_LoadSound(const std::string& path) {
    std::vector<uint8_t> file;
    PlatformSoundFormat format;
    const uint8_t* samples = nullptr;
    uint32_t bytes = 0;
    if (path.empty() || !ReadFile(path, &file) || !ParseWave(file, &format, &samples, &bytes)) return false;
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    Device();
    g_Loaded[path] = std::move(file);
    return true;
}

bool Platform_PlaySound(const std::string& path) {
    if (path.empty()) return false;
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    std::vector<uint8_t> read;
    const auto loaded = g_Loaded.find(path);
    if (loaded == g_Loaded.end() && !ReadFile(path, &read)) return false;
    const std::vector<uint8_t>& file = loaded != g_Loaded.end() ? loaded->second : read;
    PlatformSoundFormat format;
    const uint8_t* samples = nullptr;
    uint32_t bytes = 0;
    if (!ParseWave(file, &format, &samples, &bytes)) return false;
    PlatformSoundDevice* device = Device();
    if (device == nullptr) return false;
    PlatformSoundBuffer* buffer = device->CreateBuffer(format, bytes, kWaveBuffer, false);
    if (buffer == nullptr) return false;
    void* target = buffer->Lock(0, bytes);
    const bool ok = target != nullptr && (std::memcpy(target, samples, bytes), buffer->Unlock(0, bytes));
    if (!ok) {
        delete buffer;
        return false;
    }
    delete g_Wave;
    g_Wave = buffer;
    return g_Wave->Play(false);
}

void Platform_StopSound() {
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    delete g_Wave;
    g_Wave = nullptr;
}

bool Platform_IsSoundPlaying() {
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    return g_Wave != nullptr && g_Wave->IsPlaying();
}

std::unique_ptr<MovieAudioSink> Platform_CreateMovieSound(const MovieInfo& info) {
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    return PlatformMovieSound::Create(Device(), info, kStreamBuffer, &g_SoundMutex);
}

void Platform_CloseSound() {
    std::lock_guard<std::recursive_mutex> lock(g_SoundMutex);
    delete g_Wave;
    g_Wave = nullptr;
    g_Loaded.clear();
    g_Device.reset();
    g_DeviceTried = false;
}
