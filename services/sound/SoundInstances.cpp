#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/sound/Sound.h"

namespace {

// The volume of the item's group; a group outside 0 to 31 plays in group 0.
float GroupVolume(const SoundState& sound, const CQVSoundItem* item) {
    return sound.groupVolumes[item->group < kSoundGroupCount ? item->group : 0];
}

}  // namespace

CQVSoundBuffer* CQVEngine::LoadedSound(CQVSoundItem* item) {
    if (item == nullptr || !soundEnabled) return nullptr;
    if (!item->loaded) item->Load();
    return item->buffer;
}

void CQVEngine::PlaySound(CQVSoundItem* item) { Sound_Play(LoadedSound(item), 0); }
void CQVEngine::PlaySoundLooped(CQVSoundItem* item) { Sound_Play(LoadedSound(item), 1); }

// Stopping or pausing a sound that never played loads nothing.
void CQVEngine::StopSound(CQVSoundItem* item) {
    if (item != nullptr && soundEnabled) Sound_Stop(item->buffer);
}

void CQVEngine::PauseSound(CQVSoundItem* item) {
    if (item != nullptr && soundEnabled) Sound_Pause(item->buffer);
}

int CQVEngine::IsSoundPlaying(CQVSoundItem* item) {
    return item != nullptr && soundEnabled ? Sound_IsPlaying(item->buffer) : 0;
}

float CQVEngine::GetSoundLength(CQVSoundItem* item) { return Sound_GetLength(LoadedSound(item)); }

void CQVEngine::SetSoundVolume(CQVSoundItem* item, float volume) {
    CQVSoundBuffer* buffer = LoadedSound(item);
    if (buffer != nullptr) Sound_SetVolume(buffer, GroupVolume(sound, item) * item->volume * volume);
}

void CQVEngine::SetSoundFrequency(CQVSoundItem* item, float factor) { Sound_SetFrequency(LoadedSound(item), factor); }

void CQVEngine::SetSoundPosition(CQVSoundItem* item, const Vector3& position) {
    Sound_SetPosition(LoadedSound(item), position);
}

void CQVEngine::SetSoundDistances(CQVSoundItem* item, float minimum, float maximum) {
    Sound_SetDistances(LoadedSound(item), minimum, maximum);
}

void CQVEngine::FreeSound(CQVSoundItem* item) {
    // Only a private copy goes, with its buffer. A shared item belongs to
    // the library's table, and so does an item with no source, even one
    // reached without a lookup (which would have marked it shared): the
    // table still holds it.
    // Unlike the other operations, this one works with sound switched off:
    // the copies are made all the same (acquiring does not ask), and a copy
    // not freed here is lost (a level change with sound off dropped every
    // Sound actor's copy). With sound off a copy never got a buffer.
    if (item != nullptr && !item->shared && item->sourceId != LIBRARY_NO_ITEM) delete item;
}

void CQVEngine::SetSoundGroupVolume(uint32_t group, float volume) {
    if (group >= kSoundGroupCount) return;
    // Below 0 or not a number is silence.
    if (!(volume > 0.0f)) volume = 0.0f;
    sound.groupVolumes[group] = volume > 1.0f ? 1.0f : volume;
}

void CQVEngine::SetListenerEffect(uint32_t effect) { sound.listenerEffect = effect; }
