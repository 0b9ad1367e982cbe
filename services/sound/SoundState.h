#pragma once
// The sound service's state, held once for the process: the device and its
// listener vectors, the list of playing streams, the layer's error text and
// the volumes of the 32 sound groups. The engine object refers to it.

#include "kernel/base/Maths.h"

#include <cstdint>
#include <memory>
#include <mutex>

class PlatformSoundDevice;
class CQVStreamSoundBuffer;

constexpr uint32_t kSoundGroupCount = 32;
// The listener effect the game starts with and returns to when its stack empties.
constexpr uint32_t kDefaultListenerEffect = 25;

struct SoundState {
    std::unique_ptr<PlatformSoundDevice> device;
    // Positions and distances in world units times this: 1.0 until the
    // device exists, then 0.01 (the world's centimetres as metres).
    float distanceScale = 1.0f;
    Vector3 listenerFront = Vector3(0.0f, 0.0f, 1.0f);
    Vector3 listenerTop = Vector3(0.0f, 1.0f, 0.0f);
    // Playing streams, newest first; guarded by g_SoundLock.
    CQVStreamSoundBuffer* streamList = nullptr;
    uint32_t streamCount = 0;
    uint32_t maxStreams = 4;
    char errorText[512] = {};
    float groupVolumes[kSoundGroupCount];
    // The environment effect last asked for; the mix has no environment
    // effects, so nothing else reads it.
    uint32_t listenerEffect = kDefaultListenerEffect;

    SoundState();
    ~SoundState();
};

extern SoundState g_SoundState;
// Guards the stream list and every change of a listed stream's buffer; the
// streaming thread holds it while it refills. Recursive, so a stream may be
// stopped from inside the refill.
extern std::recursive_mutex g_SoundLock;

// Back to the state of a fresh start, for tests: group volumes 1.0, no
// listed streams (their owners still hold them), the default listener
// vectors and effect, no error text. The device stays open.
void Sound_Reset();
