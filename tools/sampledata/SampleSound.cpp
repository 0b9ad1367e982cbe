#include "tools/sampledata/SampleSound.h"

#include "actors/scene/Sound.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/WavWriter.h"
#include "tools/sampledata/SampleLevel.h"
#include "tools/sampledata/SampleRooms.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint32_t DEFAULT_SOUND_ID = 1;
constexpr uint32_t TORCH_SOUND_ID = 1500;
constexpr uint32_t FIRST_AIR_ID = 1501;
const WavFormat kMono{1, 22050, 16};

// A room's air is at full level about the middle of its room and reaches
// the middle of the next one at a quarter of it; further off it stays at an
// eighth (beyond its range a sound keeps the level it has there), so each
// room sounds of its own air.
constexpr float kAirFullRadius = 200.0f;
constexpr float kAirRange = 2.0f * kSampleRoomSize;
constexpr float kAirVolume = 0.8f;
constexpr float kAirHeight = 150.0f;

std::string AirName(uint32_t room) { return "Room Air " + std::to_string(room + 1); }

// 16-bit mono samples from a function of time in seconds (-1 to 1).
template <typename Wave>
std::vector<uint8_t> Samples(float seconds, Wave wave) {
    const uint32_t frames = static_cast<uint32_t>(seconds * static_cast<float>(kMono.sampleRate));
    std::vector<uint8_t> bytes(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(kMono.sampleRate);
        const float value = std::clamp(wave(t, i), -1.0f, 1.0f);
        const auto sample = static_cast<int16_t>(value * 32000.0f);
        bytes[2 * i] = static_cast<uint8_t>(sample & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(sample) >> 8) & 0xFF);
    }
    return bytes;
}

// A fire: quiet rushing noise with short bright pops at uneven times.
std::vector<uint8_t> Crackle(float seconds) {
    uint32_t state = 12345;
    auto noise = [&state]() {
        state = state * 1103515245u + 12345u;
        return static_cast<float>((state >> 16) & 0x7FFF) / 16384.0f - 1.0f;
    };
    float pop = 0.0f;
    return Samples(seconds, [&](float, uint32_t i) {
        if (i % 1500 == 0 && noise() > 0.2f) pop = 1.0f;
        pop *= 0.995f;
        return noise() * (0.08f + 0.6f * pop);
    });
}

// A room's air: a low chord of its own, slowly swelling, ending where it
// began so that it loops without a click.
std::vector<uint8_t> Air(uint32_t room, float seconds) {
    const float root = 70.0f + 15.0f * static_cast<float>(room);
    return Samples(seconds, [root, seconds](float t, uint32_t) {
        constexpr float kTau = 6.2831853f;
        const float swell = 0.75f + 0.25f * std::sin(kTau * t / seconds);
        const float chord = std::sin(kTau * root * t) + 0.6f * std::sin(kTau * root * 1.5f * t) +
                            0.3f * std::sin(kTau * root * 2.0f * t);
        return 0.18f * swell * chord;
    });
}

bool Write(SampleLevel& level, const char* name, const std::vector<uint8_t>& samples) {
    const bool written = Wav_Write((level.data / name).string(), kMono, samples);
    if (!written) level.ok = false;
    return written;
}

// A new Sound takes its library sound when it is made, and the tool has no
// library loaded: the sample's sound items go into the engine's table here,
// as the game will find them.
void ShareSoundItems(const SampleLevel& level, const std::vector<uint32_t>& ids) {
    if (CQVEngine::GetInstance() == nullptr) CQVEngine::Create();
    for (uint32_t id : ids) {
        const CQVLibraryItem* made = level.library->items.At(id);
        if (made == nullptr || made->kind != LIBRARY_SOUND || g_Library.At(id) != nullptr) continue;
        const auto* sound = static_cast<const CQVSoundItem*>(made);
        auto* item = new CQVSoundItem();
        item->name = sound->name;
        item->fileName = sound->fileName;
        item->flags = sound->flags;
        item->volume = sound->volume;
        item->group = sound->group;
        if (!g_Library.SetItem(id, item)) delete item;
    }
}

}  // namespace

void SampleSound_AddItems(SampleLevel& level) {
    LibraryFile& library = *level.library;
    library.AddSound(DEFAULT_SOUND_ID, "Default Sound", "default.wav");
    Write(level, "default.wav", Samples(0.05f, [](float t, uint32_t) { return 0.3f * std::sin(6.2831853f * 880.0f * t); }));

    CQVSoundItem* torch = library.AddSound(TORCH_SOUND_ID, "Torch Crackle", "torch.wav");
    torch->flags = CQVSoundItem::SOUND_WHOLE_FILE | CQVSoundItem::SOUND_3D;
    Write(level, "torch.wav", Crackle(3.0f));

    for (uint32_t room = 0; room < kSampleRoomCount; ++room) {
        const std::string file = "air" + std::to_string(room + 1) + ".wav";
        CQVSoundItem* air = library.AddSound(FIRST_AIR_ID + room, AirName(room), file);
        air->flags = CQVSoundItem::SOUND_WHOLE_FILE | CQVSoundItem::SOUND_3D;
        Write(level, file.c_str(), Air(room, 4.0f));
    }
}

void SampleSound_AddActors(SampleLevel& level) {
    if (level.rooms.empty()) return;
    std::vector<uint32_t> ids = {DEFAULT_SOUND_ID, TORCH_SOUND_ID};
    for (uint32_t room = 0; room < kSampleRoomCount; ++room) ids.push_back(FIRST_AIR_ID + room);
    ShareSoundItems(level, ids);

    // A looping 3D sound that plays as its room comes into view (set
    // directly: the sheet's check box would start it here and now).
    const auto loop = [&level](const char* name, const std::string& sound, CQVActor* room, float fullRadius,
                               float range, float volume, const Vector3& place) {
        CQVActor* actor = level.Make(CLASS_SOUND, name, room);
        if (actor == nullptr) return static_cast<CQVActor*>(nullptr);
        actor->HandleMessage(MSG_SET_RESOURCE, Args_Of(sound.c_str()));
        Sample_Send(actor, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_3D});
        Sample_Send(actor, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
        Sample_Send(actor, MSG_SET_SOUND_RADIUS, range);
        Sample_Send(actor, MSG_SET_SOUND_MIN_RADIUS, fullRadius);
        Sample_Send(actor, MSG_SET_VOLUME, volume);
        static_cast<CQVSound*>(actor)->m_StartPlaying = 1;
        // The rooms stand at the origin: the place in the room is the place in the world.
        Sample_Send(actor, MSG_SET_POSITION, place);
        return actor;
    };

    // The torch: a crackle high on the first room's far wall, heard from 1 m
    // at full volume and out to 9 m, its pitch a little different each time.
    const SampleRoom& first = level.rooms.front();
    const Vector3 torchPlace(first.max.x - 40.0f, 180.0f, 0.5f * (first.min.z + first.max.z));
    if (CQVActor* torch = loop("Torch Sound", "Torch Crackle", first.group, 100.0f, 900.0f, 0.9f, torchPlace))
        Sample_Send(torch, MSG_SET_FREQUENCY_V, 0.05f);

    // Each room's air, from the middle of the room.
    for (uint32_t i = 0; i < level.rooms.size() && i < kSampleRoomCount; ++i) {
        const SampleRoom& room = level.rooms[i];
        const Vector3 middle(0.5f * (room.min.x + room.max.x), kAirHeight, 0.5f * (room.min.z + room.max.z));
        loop("Room Air", AirName(i), room.group, kAirFullRadius, kAirRange, kAirVolume, middle);
    }
}
