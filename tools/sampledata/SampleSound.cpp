#include "tools/sampledata/SampleSound.h"

#include "actors/scene/AmbientSound.h"
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
constexpr uint32_t FIRST_AMBIENCE_ID = 1501;
// Seconds an ambience takes to fade in or out, as the scripts write it.
constexpr char AMBIENCE_FADE_TIME[] = "2.0";
constexpr char AMBIENCE_ACTOR[] = "Ambience";
const WavFormat kMono{1, 22050, 16};

// One air per room, each in its own slot. The items are added before the
// rooms are built, so the count comes from the layout, not from level.rooms.
constexpr uint32_t kAmbienceCount = std::min<uint32_t>(kSampleRoomCount, CQVAmbientSound::kSlotCount);

std::string AmbienceName(uint32_t room) { return "Room Air " + std::to_string(room + 1); }

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

    for (uint32_t room = 0; room < kAmbienceCount; ++room) {
        const std::string file = "air" + std::to_string(room + 1) + ".wav";
        library.AddSound(FIRST_AMBIENCE_ID + room, AmbienceName(room), file)->volume = 0.6f;
        Write(level, file.c_str(), Air(room, 4.0f));
    }
}

void SampleSound_AddActors(SampleLevel& level) {
    if (level.rooms.empty()) return;
    std::vector<uint32_t> ids = {DEFAULT_SOUND_ID, TORCH_SOUND_ID};
    for (uint32_t room = 0; room < kAmbienceCount; ++room) ids.push_back(FIRST_AMBIENCE_ID + room);
    ShareSoundItems(level, ids);

    // The torch: a looping 3D crackle high on the first room's far wall,
    // heard from 1 m at full volume and out to 9 m.
    const SampleRoom& first = level.rooms.front();
    if (CQVActor* torch = level.Make(CLASS_SOUND, "Torch Sound", first.group)) {
        torch->HandleMessage(MSG_SET_RESOURCE, Args_Of("Torch Crackle"));
        Sample_Send(torch, MSG_SET_SOUND_TYPE, uint32_t{SOUND_TYPE_3D});
        Sample_Send(torch, MSG_SET_SOUND_PLAY_STYLE, uint32_t{SOUND_PLAY_LOOP});
        Sample_Send(torch, MSG_SET_SOUND_RADIUS, 900.0f);
        Sample_Send(torch, MSG_SET_SOUND_MIN_RADIUS, 100.0f);
        Sample_Send(torch, MSG_SET_VOLUME, 0.9f);
        Sample_Send(torch, MSG_SET_FREQUENCY_V, 0.05f);
        // Plays as the room comes into view (set directly: the sheet's
        // check box would start it here and now).
        static_cast<CQVSound*>(torch)->m_StartPlaying = 1;
        const Vector3 place(first.max.x - 40.0f, 180.0f, 0.5f * (first.min.z + first.max.z));
        Sample_Send(torch, MSG_SET_WSPOSITION, place);
    }

    // The ambience layer, and in each room a cue that plays the room's own
    // air in the room's slot while the room is drawn.
    CQVActor* root = first.group->m_Parent;
    if (root == nullptr || level.Make(CLASS_AMBIENT_SOUND, AMBIENCE_ACTOR, root) == nullptr) return;
    for (uint32_t room = 0; room < kAmbienceCount; ++room) {
        CQVActor* cue = level.Make(CLASS_BASE, "Ambience Cue", level.rooms[room].group);
        if (cue == nullptr) continue;
        const std::string target = std::string("parent/parent/") + AMBIENCE_ACTOR;
        const std::string slot = std::to_string(room + 1);
        Sample_AddScript(cue, "Room Air In", MSG_ON_DRAW_START,
                  target + ".asound_play_looping(\"" + AmbienceName(room) + "\", " + slot + ", " + AMBIENCE_FADE_TIME + ");");
        Sample_AddScript(cue, "Room Air Out", MSG_ON_DRAW_STOP, target + ".asound_stop(" + slot + ", " + AMBIENCE_FADE_TIME + ");");
    }
}
