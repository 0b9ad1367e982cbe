#include "services/engine/Engine.h"
#include "services/sound/Sound.h"

void CQVEngine::SetSoundGroupVolume(uint32_t group, float volume) {
    if (group >= kSoundGroupCount) return;
    // Below 0 or not a number is silence.
    if (!(volume > 0.0f)) volume = 0.0f;
    sound.groupVolumes[group] = volume > 1.0f ? 1.0f : volume;
}

void CQVEngine::SetListenerEffect(uint32_t effect) { sound.listenerEffect = effect; }
