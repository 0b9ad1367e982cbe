#include "services/sound/SoundState.h"

#include "platform/sound/SoundDevice.h"
#include "services/sound/Sound.h"
#include "services/sound/SoundStreams.h"

#include <algorithm>

// The lock is made before the state and outlives it: the state's end stops
// the streaming thread, which takes the lock.
std::recursive_mutex g_SoundLock;
SoundState g_SoundState;

SoundState::SoundState() { std::fill(std::begin(groupVolumes), std::end(groupVolumes), 1.0f); }

SoundState::~SoundState() { Sound_StopStreamThread(); }

void Sound_Reset() {
    SoundState& s = g_SoundState;
    {
        const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
        while (s.streamList != nullptr) Sound_UnlistStream(s.streamList);
        s.streamCount = 0;
        s.maxStreams = 4;
    }
    s.listenerFront = Vector3(0.0f, 0.0f, 1.0f);
    s.listenerTop = Vector3(0.0f, 1.0f, 0.0f);
    s.errorText[0] = '\0';
    std::fill(std::begin(s.groupVolumes), std::end(s.groupVolumes), 1.0f);
    s.listenerEffect = kDefaultListenerEffect;
}
