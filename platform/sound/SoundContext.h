#pragma once
// What a sound device and its buffers share: the OpenAL device and mixing
// context, the listener and the list of 3D buffers that the commit walks.
// Included only by the sound backend.

#include "platform/sound/SoundDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <vector>

struct SoundListenerState {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float velocity[3] = {0.0f, 0.0f, 0.0f};
    float orientation[6] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f};  // front, then top
};

struct SoundDeviceContext {
    ~SoundDeviceContext();
    // Destroys the mixing context and closes the device; buffers still held
    // (actors the program never deleted) find no context and free nothing.
    void Close();

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    // AL_SOFT_deferred_updates: a commit reaches the mix all at once.
    LPALDEFERUPDATESSOFT deferUpdates = nullptr;
    LPALPROCESSUPDATESSOFT processUpdates = nullptr;
    bool directChannels = false;   // AL_SOFT_direct_channels: stereo buffers play as they are
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    LPALCRENDERSAMPLESSOFT renderSamples = nullptr;
    SoundListenerState pendingListener;
    SoundListenerState listener;
    std::vector<PlatformSoundBuffer*> buffers3D;
};

// A left-handed vector as OpenAL's right-handed one.
inline void Sound_ToRightHanded(const float in[3], float out[3]) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = -in[2];
}
