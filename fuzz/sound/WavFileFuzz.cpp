// Any bytes as a sound item's WAV file, read whole and streamed, in 2D and
// 3D, played looping into a loopback mix while the streaming pass refills
// the streams: a file the layer cannot play is refused with its error
// text, and none reads or writes past what the file and its buffer hold or
// asks for more memory than the file's samples take.

#include "fuzz/files/FuzzCheck.h"
#include "kernel/base/FileSystem.h"
#include "services/sound/Sound.h"
#include "services/sound/SoundState.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace {

constexpr uint32_t kMixFrames = 2048;

CQVSoundBuffer* (*const kCreators[])(const char*, uint32_t) = {Sound_CreateStatic, Sound_CreateStatic3D,
                                                               Sound_CreateStream, Sound_CreateStream3D};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Check(Sound_CreateLoopbackDevice(2, 44100, 16) == 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    g_CurrentFileSystem = &file;
    std::vector<int16_t> mix(kMixFrames * 2);
    for (auto create : kCreators) {
        CQVSoundBuffer* sound = create("fuzz.wav", 0);
        if (sound == nullptr) {
            Check(Sound_GetLastError()[0] != 0);
            continue;
        }
        Check(Sound_GetLength(sound) >= 0.0f);
        Sound_Play(sound, 1);
        Sound_SetFrequency(sound, 1.5f);
        for (int pass = 0; pass < 3; ++pass) {
            Sound_RenderMix(mix.data(), kMixFrames);
            std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
            Sound_RunStreams();
        }
        CQVSoundBuffer* copy = Sound_Duplicate(sound, 0);
        Sound_Play(copy, 0);
        Sound_RenderMix(mix.data(), kMixFrames);
        Sound_Release(copy);
        Sound_Release(sound);
    }
    g_CurrentFileSystem = nullptr;
    return 0;
}
