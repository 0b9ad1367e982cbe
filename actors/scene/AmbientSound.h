#pragma once
// A level's background sound layer: eight numbered slots, each playing one
// library sound by name, once or looped, fading in when started and out when
// stopped or replaced. A sound fading out leaves its slot for the fade list
// behind the slots and plays on there until it is silent.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <string>
#include <vector>

class CQVSoundItem;

enum : uint32_t {
    AMBIENT_EMPTY = 0,
    AMBIENT_PLAYING = 1,
    AMBIENT_FADING_IN = 2,
    AMBIENT_FADING_OUT = 3,
};

struct AmbientSoundEntry {
    CQVSoundItem* item = nullptr;  // the library's shared item; null when empty
    std::string name;              // its library name
    float level = 0.0f;            // fade level, 0 to 1
    float volume = 1.0f;           // the sound plays at volume x level
    float fadeRate = 0.0f;         // level change per second while fading
    float frequency = 1.0f;
    uint32_t state = AMBIENT_EMPTY;
    uint32_t looping = 0;
    int32_t references = 0;        // starts minus stops while counting
    uint32_t counting = 0;
    uint32_t slot = 0;             // slot number - 1 it was started on
};

class CQVAmbientSound : public CQVActor {
public:
    static constexpr uint32_t kSlotCount = 8;

    CQVAmbientSound();
    ~CQVAmbientSound() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override;  // the fades, once a frame
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // Slots count from 1; 1 when the slot took the sound or already had it.
    int Play(const char* name, uint32_t slot, float fadeTime, bool loop);
    int Stop(uint32_t slot, float fadeTime);

    // Slots first (0 to slot count - 1), then the fade list.
    std::vector<AmbientSoundEntry> m_Entries;
    uint32_t m_SlotCount = kSlotCount;

private:
    AmbientSoundEntry* Slot(uint32_t slot);
    void SendVolume(AmbientSoundEntry& entry);
    void Restart();
};
