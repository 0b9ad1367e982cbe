#include "actors/scene/AmbientSound.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t VERSION_ENTRIES = 41;
constexpr uint32_t DROPPED_WORDS = 8;
// A stored entry takes at least its name's length word and eight words.
constexpr uint32_t STORED_ENTRY_MIN_SIZE = 36;
// Slots and fade list together: a fade list longer than this is no level's.
constexpr uint32_t MAX_STORED_ENTRIES = 1024;
constexpr uint32_t NAME_SIZE = 128;  // a String128 argument
constexpr uint32_t FLAGS_EVERY_FRAME = 0x100;
constexpr uint8_t PROCESS_CHANNEL = 2;
// Keeps a fade rate finite when the fade time is 0.
constexpr float FADE_OUT_EPSILON = 0.001f;

CQVEngine* Engine() { return CQVEngine::GetInstance(); }

// The name of a String128 argument: the text up to its zero byte, never
// past its 128 bytes or the block.
std::string Name128(MessageArgs args) {
    if (!args.Holds(0, 1)) return {};
    const size_t room = args.Size() < NAME_SIZE ? args.Size() : NAME_SIZE;
    const char* bytes = reinterpret_cast<const char*>(args.Data());
    const void* end = std::memchr(bytes, 0, room);
    return std::string(bytes, end ? static_cast<const char*>(end) - bytes : room);
}

// A negative fade time fades over its magnitude, like a positive one.
float FadeTime(float time) { return std::fabs(time); }

void Empty(AmbientSoundEntry& entry) {
    entry.item = nullptr;
    entry.name.clear();
    entry.state = AMBIENT_EMPTY;
}

constexpr MessageRow kAmbientSoundRows[] = {
    SheetRow("Ambient Sound Properties", PROP_TITLE),
};
constexpr MessageTable kAmbientSoundMessages{kAmbientSoundRows};

}  // namespace

CQVAmbientSound::CQVAmbientSound() : m_Entries(kSlotCount) { m_ClassType = CLASS_AMBIENT_SOUND; }

CQVAmbientSound::~CQVAmbientSound() {
    CQVEngine* engine = Engine();
    for (AmbientSoundEntry& entry : m_Entries) {
        if (entry.item == nullptr) continue;
        if (engine) engine->StopSound(entry.item);
        Library_UnloadItem(entry.item);
    }
}

AmbientSoundEntry* CQVAmbientSound::Slot(uint32_t slot) {
    if (slot < 1 || slot > m_SlotCount || slot > m_Entries.size()) return nullptr;
    return &m_Entries[slot - 1];
}

void CQVAmbientSound::SendVolume(AmbientSoundEntry& entry) {
    if (CQVEngine* engine = Engine()) engine->SetSoundVolume(entry.item, entry.volume * entry.level);
}

int CQVAmbientSound::Play(const char* name, uint32_t slot, float fadeTime, bool loop) {
    AmbientSoundEntry* entry = Slot(slot);
    CQVEngine* engine = Engine();
    if (entry == nullptr || engine == nullptr || name == nullptr) return 0;
    auto* item = static_cast<CQVSoundItem*>(engine->FindItem(name, LIBRARY_SOUND));
    if (item == nullptr) return 0;
    // A sound still fading out is not taken back into a slot.
    for (size_t i = m_SlotCount; i < m_Entries.size(); ++i) {
        if (m_Entries[i].item == item) return 1;
    }
    entry = Slot(slot);
    if (entry->counting) ++entry->references;
    const float time = FadeTime(fadeTime);
    if (entry->item != nullptr) {
        if (Library_GetItemId(entry->item) == Library_GetItemId(item)) return 1;
        engine->StopSound(entry->item);
        entry->frequency = 1.0f;
        entry->slot = slot - 1;
    }
    entry->item = item;
    entry->name = name;
    if (time > 0.0f) {
        entry->level = 0.0f;
        entry->fadeRate = 1.0f / time;
        entry->state = AMBIENT_FADING_IN;
    } else {
        entry->level = 1.0f;
        entry->state = AMBIENT_PLAYING;
    }
    SendVolume(*entry);
    if (loop) {
        engine->PlaySoundLooped(item);
    } else {
        engine->PlaySound(item);
    }
    entry->looping = loop ? 1 : 0;
    return 1;
}

int CQVAmbientSound::Stop(uint32_t slot, float fadeTime) {
    AmbientSoundEntry* entry = Slot(slot);
    if (entry == nullptr) return 0;
    if (entry->counting) {
        --entry->references;
        if (entry->references > 0) return 1;
    }
    const float time = FadeTime(fadeTime);
    if (time == 0.0f) {
        if (CQVEngine* engine = Engine()) engine->StopSound(entry->item);
        Empty(*entry);
        return 1;
    }
    AmbientSoundEntry fading;
    fading.item = entry->item;
    fading.name = entry->name;
    fading.volume = entry->volume;
    fading.looping = entry->looping;
    fading.level = 1.0f;
    fading.fadeRate = 1.0f / (time + FADE_OUT_EPSILON);
    fading.state = AMBIENT_FADING_OUT;
    Empty(*entry);
    // The sound plays on in the fade list.
    m_Entries.push_back(std::move(fading));
    return 1;
}

void CQVAmbientSound::Restart() {
    CQVEngine* engine = Engine();
    for (AmbientSoundEntry& entry : m_Entries) {
        if (entry.name.empty()) continue;
        entry.item = engine ? static_cast<CQVSoundItem*>(engine->FindItem(entry.name.c_str(), LIBRARY_SOUND)) : nullptr;
        if (entry.item == nullptr) {
            entry = AmbientSoundEntry();
        } else if (entry.looping) {
            engine->PlaySoundLooped(entry.item);
        } else {
            engine->PlaySound(entry.item);
        }
    }
    const TimedMessage* held = FindTimedMessage(MSG_PROCESS);
    if ((held == nullptr || (held->state & TIMED_STATE_CANCELLED)) && g_ActorSystem) {
        g_ActorSystem->ScheduleMessage(this, MSG_PROCESS, nullptr, FLAGS_EVERY_FRAME, 0.0f, 0.0f, 0.0f, nullptr,
                                       PROCESS_CHANNEL);
    }
}

void CQVAmbientSound::Process() {
    if (!IsOperational()) return;
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
    const float dt = m_Clock->dt;
    CQVEngine* engine = Engine();
    for (size_t i = 0; i < m_Entries.size(); ++i) {
        AmbientSoundEntry& entry = m_Entries[i];
        if (entry.item != nullptr && engine) engine->SetSoundFrequency(entry.item, m_Clock->effectiveScale * entry.frequency);
        switch (entry.state) {
        case AMBIENT_PLAYING:
            if (!entry.looping && !(engine && engine->IsSoundPlaying(entry.item))) {
                if (engine) engine->StopSound(entry.item);
                Empty(entry);
            }
            break;
        case AMBIENT_FADING_IN:
            entry.level += entry.fadeRate * dt;
            if (entry.level > 1.0f) {
                entry.level = 1.0f;
                entry.state = AMBIENT_PLAYING;
            }
            SendVolume(entry);
            break;
        case AMBIENT_FADING_OUT:
            entry.level -= entry.fadeRate * dt;
            SendVolume(entry);
            if (entry.level < 0.0f) {
                if (engine) engine->StopSound(entry.item);
                // Only the fade list shrinks: a slot (a file may store one
                // fading out) is emptied in place, so the slots keep their numbers.
                if (i < m_SlotCount) {
                    Empty(entry);
                } else {
                    // The entry moving up into this place is handled next frame.
                    m_Entries.erase(m_Entries.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            break;
        default:
            break;
        }
    }
    CQVActor::Process();
}

int CQVAmbientSound::HandleMessage(uint32_t id, MessageArgs args) {
    CQVEngine* engine = Engine();
    switch (id) {
    case MSG_PRECALCULATE:
        Restart();
        break;
    case MSG_SOUND_UPDATE_PLAYING_SOUND_PARAMS:
    case MSG_ASOUND_UPDATE_VOLUMES:
        for (AmbientSoundEntry& entry : m_Entries) {
            if (entry.item != nullptr) SendVolume(entry);
        }
        break;
    case MSG_ASOUND_PLAY:
    case MSG_ASOUND_PLAY_LOOPING: {
        const std::string name = Name128(args);
        Play(name.c_str(), Args_Get<uint32_t>(args, NAME_SIZE), Args_Get<float>(args, NAME_SIZE + 4),
             id == MSG_ASOUND_PLAY_LOOPING);
        break;
    }
    case MSG_ASOUND_STOP:
        Stop(Args_Get<uint32_t>(args), Args_Get<float>(args, 4));
        break;
    case MSG_ASOUND_VOLUME: {
        AmbientSoundEntry* entry = Slot(Args_Get<uint32_t>(args));
        // Volume changes over time are not supported: only an immediate one applies.
        if (entry != nullptr && Args_Get<float>(args, 8) == 0.0f) {
            entry->volume = static_cast<float>(Args_Get<int32_t>(args, 4)) * 0.01f;
            if (entry->item != nullptr) SendVolume(*entry);
        }
        break;
    }
    case MSG_ASOUND_PRELOAD:
        if (engine) engine->FindItem(Args_TextOr(args), LIBRARY_SOUND);
        break;
    case MSG_ASOUND_USE_REFCOUNT:
        if (AmbientSoundEntry* entry = Slot(Args_Get<uint32_t>(args))) entry->counting = Args_Get<uint32_t>(args, 4) ? 1 : 0;
        break;
    case MSG_ASOUND_PAUSE:
        m_Activity &= ~ACTIVITY_OPERATIONAL;
        for (AmbientSoundEntry& entry : m_Entries) {
            if (engine) engine->StopSound(entry.item);
        }
        break;
    case MSG_ASOUND_RESUME:
        m_Activity |= ACTIVITY_OPERATIONAL;
        // A looped sound comes back looped, or it would end after one pass
        // and never be noticed.
        for (AmbientSoundEntry& entry : m_Entries) {
            if (engine == nullptr || entry.item == nullptr) continue;
            if (entry.looping) {
                engine->PlaySoundLooped(entry.item);
            } else {
                engine->PlaySound(entry.item);
            }
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVAmbientSound::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) {
        uint32_t dropped[DROPPED_WORDS] = {};
        archive->SerializeDwords(dropped, DROPPED_WORDS);
    }
    uint32_t count = version >= VERSION_ENTRIES ? static_cast<uint32_t>(m_Entries.size()) : 0;
    if (version >= VERSION_ENTRIES) {
        if (!archive->SerializeCount(&count, STORED_ENTRY_MIN_SIZE) || count > MAX_STORED_ENTRIES) return 0;
    }
    if (reading) {
        // Items are found again by name at "Precalculate".
        m_Entries.resize(count);
        for (AmbientSoundEntry& entry : m_Entries) entry.item = nullptr;
    }
    if (version >= VERSION_ENTRIES) {
        for (AmbientSoundEntry& entry : m_Entries) {
            archive->SerializeString(entry.name);
            archive->SerializeDword(&entry.level);
            archive->SerializeDword(&entry.fadeRate);
            archive->SerializeDword(&entry.frequency);
            archive->SerializeDword(&entry.state);
            archive->SerializeDword(&entry.looping);
            archive->SerializeDword(&entry.references);
            archive->SerializeDword(&entry.counting);
            archive->SerializeDword(&entry.slot);
            if (archive->HasFailed()) return 0;
        }
    }
    if (reading && m_Entries.size() < m_SlotCount) m_Entries.resize(m_SlotCount);
    return archive->HasFailed() ? 0 : 1;
}

void CQVAmbientSound::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_AMBIENT_SOUND];
    record.Define("Ambient Sound", "Ambient Sound", {CLASS_BASE, CLASS_AMBIENT_SOUND});
    kAmbientSoundMessages.AddSheet(record);
}
