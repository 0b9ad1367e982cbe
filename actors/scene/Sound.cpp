#include "actors/scene/Sound.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"

#include <cstddef>
#include <cstring>

namespace {

// Versions that changed the stored layout.
constexpr uint32_t VERSION_VOLUMES = 36;     // volume, pan, frequency and the variations
constexpr uint32_t VERSION_3D_EFFECT = 41;
constexpr uint32_t VERSION_NAME = 58;        // a name that is read and dropped

// Old sound types of files before the volumes came.
constexpr uint32_t OLD_TYPE_3D = 1;
constexpr uint32_t OLD_TYPE_AMBIENT = 2;
constexpr float OLD_3D_RANGE = 4000.0f;

// Below this clock speed a restart fades the old sound out first, so the
// slowed sound does not cut off hard.
constexpr float SLOW_RESTART_SCALE = 0.5f;
constexpr float RESTART_FADE_RATE = 10.0f;  // per second: a 0.1 s fade
constexpr float VISIBILITY_FADE_TIME = 1.0f;
constexpr float FADE_PERIOD = 1.0f / 30.0f;
constexpr uint32_t FLAGS_LERP = 0xD00;
constexpr uint32_t FLAGS_ONCE = 0x200;
constexpr uint32_t SOUND_FLAGS_3D_COPY = CQVSoundItem::SOUND_3D;
constexpr uint32_t FALLBACK_SOUND_ID = 1;

float Clamp(float value, float low, float high) {
    // Not a number counts as the low end.
    if (!(value > low)) return low;
    return value < high ? value : high;
}

CQVEngine* Engine() { return CQVEngine::GetInstance(); }

// A "Command Lerp" record that fades the volume through "Sound".
bool FadesTheSound(const TimedMessage* record) {
    return Args_Get<uint32_t>(record->args, offsetof(CommandLerpBlock, fromId)) == MSG_SOUND;
}

constexpr MessageRow kSoundRows[] = {
    SheetRow("Sound Properties", PROP_TITLE),
    SheetRow("Set Sound:", PROP_SOUND, MSG_SET_SOUND, MSG_GET_SOUND),
    FieldRow<&CQVSound::m_SoundType>(MSG_SET_SOUND_TYPE, MSG_GET_SOUND_TYPE, "Type:|2D Sound|0|3D Sound|1|",
                                     PROP_CHOICE),
    FieldRow<&CQVSound::m_PlayStyle>(MSG_SET_SOUND_PLAY_STYLE, MSG_GET_SOUND_PLAY_STYLE,
                                     "Play:|Once|0|Loop|1|Loop Times|2|", PROP_CHOICE),
    FieldRow<&CQVSound::m_LoopCount>(MSG_SET_LOOP_COUNT, MSG_GET_LOOP_COUNT, "Loop Count:", PROP_UINT),
    BoolRow<&CQVSound::m_StartPlaying>(MSG_SET_START_PLAYING, MSG_GET_START_PLAYING, "Play On Start Game",
                                       PROP_CHECK)
        .Then<&CQVSound::StartIfPlaying>(),
    // The radii apply to a 3D sound only.
    FieldRow<&CQVSound::m_Range>(MSG_SET_SOUND_RADIUS, MSG_GET_SOUND_RADIUS, "Range:", PROP_REAL)
        .Then<&CQVSound::KeepRangePositive>()
        .AppliesWhen<&CQVSound::AppliesTo3D>(0),
    FieldRow<&CQVSound::m_MinRadius>(MSG_SET_SOUND_MIN_RADIUS, MSG_GET_SOUND_MIN_RADIUS, "Min:", PROP_REAL)
        .Then<&CQVSound::KeepMinInRange>()
        .AppliesWhen<&CQVSound::AppliesTo3D>(0),
    FieldRow<&CQVSound::m_3DEffect>(MSG_SET_3DPOS_EFFECT, MSG_GET_3DPOS_EFFECT, "3D Effect:", PROP_REAL),
    SheetRow("Sound Volume, Pan, Frequency", PROP_TITLE),
    FieldRow<&CQVSound::m_Volume>(MSG_SET_VOLUME, MSG_GET_VOLUME, "Volume:", PROP_VARIANCE)
        .Then<&CQVSound::TakeVolume>(),
    // A 3D sound takes its direction from its place.
    FieldRow<&CQVSound::m_Pan>(MSG_SET_PAN, MSG_GET_PAN, "Pan:", PROP_REAL)
        .Then<&CQVSound::KeepPanInRange>()
        .AppliesWhen<&CQVSound::AppliesTo2D>(0),
    FieldRow<&CQVSound::m_Frequency>(MSG_SET_FREQUENCY, MSG_GET_FREQUENCY, "Frequency:|%|", PROP_REAL)
        .Then<&CQVSound::TakeFrequency>(),
    SheetRow("Random Variation", PROP_SEPARATOR),
    FieldRow<&CQVSound::m_VolumeVariation>(MSG_SET_VOLUME_V, MSG_GET_VOLUME_V, "Volume:", PROP_VARIANCE),
    FieldRow<&CQVSound::m_PanVariation>(MSG_SET_PAN_V, MSG_GET_PAN_V, "Pan:", PROP_VARIANCE),
    FieldRow<&CQVSound::m_FrequencyVariation>(MSG_SET_FREQUENCY_V, MSG_GET_FREQUENCY_V, "Frequency:",
                                              PROP_VARIANCE),
    SheetRow("Sound Control", PROP_TITLE),
    SheetRow("Play:", PROP_BUTTON, MSG_PLAY_SOUND),
    SheetRow("Pause:", PROP_BUTTON, MSG_PAUSE_SOUND),
    SheetRow("Stop:", PROP_BUTTON, MSG_STOP_SOUND),
};
// The copy plays a sound of its own, never the source's item.
constexpr MessageTable kSoundMessages{
    kSoundRows, CopiedFields<&CQVSound::m_SoundId, &CQVSound::m_CurrentVolume, &CQVSound::m_CurrentFrequency,
                             &CQVSound::m_Reserved, &CQVSound::m_Loaded, &CQVSound::m_Playing,
                             &CQVSound::m_LastFrequency, &CQVSound::m_ActionValue, &CQVSound::m_Fade,
                             &CQVSound::m_RestartFade, &CQVSound::m_RestartPending>()};

// Sheet rows (in table order) that carry limits or a display scale.
constexpr size_t PAN_ROW = 11;
constexpr size_t FREQUENCY_ROW = 12;

}  // namespace

CQVSound::CQVSound() { m_ClassType = CLASS_SOUND; }

CQVSound::~CQVSound() { FreeItem(); }

void CQVSound::FreeItem() {
    if (m_Item != nullptr) {
        if (CQVEngine* engine = Engine()) engine->FreeSound(m_Item);
    }
    m_Item = nullptr;
}

bool CQVSound::AcquireCopy(uint32_t itemId) {
    FreeItem();
    CQVEngine* engine = Engine();
    if (engine == nullptr) return false;
    const uint32_t flags = AppliesTo3D() ? SOUND_FLAGS_3D_COPY : 0;
    m_Item = static_cast<CQVSoundItem*>(engine->AcquireItem(itemId, LIBRARY_SOUND, 1, flags));
    return m_Item != nullptr;
}

void CQVSound::RefreshClock() {
    if (!(m_Clock->flags & CLOCK_MANUAL) && m_Clock->frameStamp != g_FrameNumber) UpdateClock(m_Clock);
}

float CQVSound::PlaybackRate() {
    RefreshClock();
    // The word after the own scale is the clock's simulation multiplier.
    float simulation;
    std::memcpy(&simulation, &m_Clock->unused, sizeof simulation);
    return m_CurrentFrequency * m_Clock->effectiveScale * simulation;
}

void CQVSound::SendVolume(float volume) {
    if (CQVEngine* engine = Engine()) engine->SetSoundVolume(m_Item, volume);
}

void CQVSound::SendParams() {
    SendVolume(HeardVolume());
    if (CQVEngine* engine = Engine()) engine->SetSoundFrequency(m_Item, PlaybackRate());
}

void CQVSound::Start(bool loop) {
    m_Playing = 1;
    // The frequency factor lies between 1 - variation and 1 + variation;
    // the volume only goes down, by up to its variation. A third number is
    // drawn for the pan, which the sound does not use.
    m_CurrentFrequency = m_Frequency * (1.0f - Random_SignedUnit() * m_FrequencyVariation);
    m_CurrentVolume = m_Volume * (1.0f - Random_Unit() * m_VolumeVariation);
    Random_Next();
    // Factors left by an earlier play (a faded-out room, a stopped action)
    // would keep a fresh start silent.
    ResetPlayFactors();
    if (CQVEngine* engine = Engine()) {
        if (loop) {
            engine->PlaySoundLooped(m_Item);
        } else {
            engine->PlaySound(m_Item);
        }
    }
    SendParams();
}

void CQVSound::CancelFades() {
    // The fades reach the sound as "Sound" messages, which the running
    // fade carries inside its interpolation record.
    CancelTimedMessages(MSG_SOUND);
    CancelTimedMessages(MSG_STOP_SOUND);
    for (TimedMessage* record : m_TimedMessages) {
        if (record->messageId == MSG_COMMAND_LERP && FadesTheSound(record)) {
            CancelTimedMessage(record);
        }
    }
}

void CQVSound::ResetPlayFactors() {
    m_ActionValue = 1.0f;
    if (!FadeRunning()) m_Fade = 1.0f;
}

bool CQVSound::FadeRunning() const {
    for (const TimedMessage* record : m_TimedMessages) {
        if (record->messageId == MSG_COMMAND_LERP && !(record->state & TIMED_STATE_CANCELLED) &&
            FadesTheSound(record)) {
            return true;
        }
    }
    return false;
}

void CQVSound::ScheduleFade(float from, float to) {
    const CommandLerpBlock block{0.0f, MSG_SOUND, from, MSG_SOUND, to};
    ScheduleMessage(MSG_COMMAND_LERP, Args_Of(&block), FLAGS_LERP, 0.0f, VISIBILITY_FADE_TIME, FADE_PERIOD);
}

int CQVSound::OnSetSound(CQVSoundItem* item) {
    FreeItem();
    if (item == nullptr) return 0;
    m_SoundId = Library_GetItemId(item);
    if (!AcquireCopy(m_SoundId)) return 0;
    if (m_PlayStyle == SOUND_PLAY_LOOP) {
        // A start of its own, heard like one.
        ResetPlayFactors();
        if (CQVEngine* engine = Engine()) engine->PlaySoundLooped(m_Item);
    }
    SendParams();
    return 1;
}

int CQVSound::OnPlayByName(const char* name) {
    HandleMessage(MSG_STOP_SOUND, nullptr);
    FreeItem();
    CQVEngine* engine = Engine();
    if (name == nullptr || engine == nullptr) return 0;
    const uint32_t flags = AppliesTo3D() ? SOUND_FLAGS_3D_COPY : 0;
    m_Item = static_cast<CQVSoundItem*>(engine->AcquireItemByName(name, LIBRARY_SOUND, 1, flags));
    if (m_Item == nullptr) return 0;
    HandleMessage(MSG_PLAY_SOUND, nullptr);
    return 1;
}

void CQVSound::StartIfPlaying() {
    if (m_StartPlaying) Start(false);
}

void CQVSound::KeepRangePositive() {
    if (m_Range < 0.0f) m_Range = 0.0f;
}

void CQVSound::KeepMinInRange() {
    if (m_MinRadius > m_Range) m_MinRadius = m_Range;
}

void CQVSound::TakeVolume() {
    m_Volume = Clamp(m_Volume, 0.0f, 1.0f);
    m_CurrentVolume = m_Volume;
}

void CQVSound::KeepPanInRange() { m_Pan = Clamp(m_Pan, -1.0f, 1.0f); }

void CQVSound::TakeFrequency() { m_CurrentFrequency = m_Frequency; }

int CQVSound::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kSoundMessages.Apply(*this, id, args); row.Ends()) return row.result;
    CQVEngine* engine = Engine();
    switch (id) {
    case MSG_INIT_LOAD:
        if (m_MinRadius > m_Range) m_MinRadius = m_Range - 1.0f;
        break;
    case MSG_SET_RESOURCE: {
        CQVLibraryItem* item = engine ? engine->FindItem(Args_TextOr(args), LIBRARY_SOUND) : nullptr;
        if (item == nullptr) return 0;
        HandleMessage(MSG_SET_SOUND, Args_Of(&item));
        return 1;
    }
    case MSG_CREATE: {
        if (auto* source = dynamic_cast<CQVSound*>(Args_Pointer<CQVActor>(id, args)))
            kSoundMessages.Copy(*this, *source);
        // Without an engine there is no library to take a sound from (tools
        // and headless checks build levels so): the Sound keeps its id and
        // stays silent until it gets one.
        if (engine && !AcquireCopy(m_SoundId)) return 0;
        break;
    }
    case MSG_CALC_ACTION_TIME_CB: {
        if (!args) break;
        // The longest one play can take: at the lowest frequency the variation allows.
        const float divisor = m_Frequency * (1.0f - m_FrequencyVariation);
        if (divisor > 0.0f && engine) {
            const float longest = engine->GetSoundLength(m_Item) / divisor;
            if (longest > Args_Get<float>(args)) Args_Answer(args, longest);
        }
        break;
    }
    case MSG_ACTION_START_VALUE:
    case MSG_ACTION_STOP_VALUE:
    case MSG_KILL_VALUE:
        if (m_PlayStyle == SOUND_PLAY_LOOP) {
            m_ActionValue = Args_Get<float>(args);
            SendVolume(HeardVolume());
        }
        break;
    case MSG_ACTION_START: {
        float simulation;
        RefreshClock();
        std::memcpy(&simulation, &m_Clock->unused, sizeof simulation);
        if (m_Playing && m_Clock->effectiveScale * simulation < SLOW_RESTART_SCALE) {
            m_RestartPending = 1;
            m_RestartFade = 1.0f;
        } else {
            HandleMessage(MSG_STOP_SOUND, nullptr);
            HandleMessage(MSG_PLAY_SOUND, nullptr);
        }
        break;
    }
    case MSG_ACTION_STOP_POST:
        if (m_PlayStyle == SOUND_PLAY_LOOP) HandleMessage(MSG_STOP_SOUND, nullptr);
        break;
    case MSG_LOAD_RESOURCES:
        if (!m_Loaded) {
            Library_LoadItem(m_Item);
            m_Loaded = 1;
        }
        break;
    case MSG_UNLOAD_RESOURCES:
        if (m_Loaded) {
            Library_UnloadItem(m_Item);
            m_Loaded = 0;
        }
        break;
    case MSG_ON_DRAW_START:
        if (m_StartPlaying) {
            CancelFades();
            ScheduleFade(0.0f, 1.0f);
            // The fade-in starts from silence, not from the last fade's end.
            m_Fade = 0.0f;
            Start(m_PlayStyle == SOUND_PLAY_LOOP);
        }
        break;
    case MSG_ON_DRAW_STOP:
        if (m_Playing) {
            CancelFades();
            ScheduleFade(1.0f, 0.0f);
            ScheduleMessage(MSG_STOP_SOUND, nullptr, FLAGS_ONCE, VISIBILITY_FADE_TIME, 0.0f, 0.0f);
        }
        break;
    case MSG_SET_SOUND:
        if (!OnSetSound(Args_Pointer<CQVSoundItem>(id, args))) return 0;
        break;
    case MSG_GET_SOUND:
        // The editor's sound picker reads the item the actor plays.
        Args_Set(args, 0, m_Item);
        break;
    case MSG_PLAY_SOUND_BY_NAME:
    case MSG_PLAY_SOUND_WITH_PRIORITY:
        OnPlayByName(Args_Text(args));
        break;
    case MSG_PLAY_SOUND:
        if (!m_Playing) Start(m_PlayStyle == SOUND_PLAY_LOOP);
        break;
    case MSG_STOP_SOUND:
        if (engine) engine->StopSound(m_Item);
        m_Playing = 0;
        break;
    case MSG_PAUSE_SOUND:
        if (engine) engine->PauseSound(m_Item);
        m_Playing = 0;
        break;
    case MSG_SOUND:
        m_Fade = Args_Get<float>(args);
        SendVolume(HeardVolume());
        break;
    case MSG_SOUND_UPDATE_PLAYING_SOUND_PARAMS:
        if (m_Playing) SendParams();
        break;
    case MSG_SOUND_PAUSE_PLAYING_SOUND:
        // The playing flag stays, so a resume can play it again.
        if (m_Playing && engine) engine->PauseSound(m_Item);
        break;
    case MSG_SOUND_RESUME_PLAYING_SOUND:
        if (m_Playing && engine) {
            if (m_PlayStyle == SOUND_PLAY_LOOP) {
                engine->PlaySoundLooped(m_Item);
            } else {
                engine->PlaySound(m_Item);
            }
            SendParams();
        }
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVSound::Update() {
    if (IsOperational()) {
        CQVEngine* engine = Engine();
        const bool playing3D = AppliesTo3D() && m_Playing;
        if (playing3D) {
            const float rate = PlaybackRate();
            if (rate != m_LastFrequency) {
                if (engine) engine->SetSoundFrequency(m_Item, rate);
                m_LastFrequency = rate;
            }
        }
        if (m_RestartPending) {
            m_RestartFade -= g_FrameTime * RESTART_FADE_RATE;
            if (m_RestartFade < 0.0f) {
                m_RestartFade = 1.0f;
                m_RestartPending = 0;
                HandleMessage(MSG_STOP_SOUND, nullptr);
                HandleMessage(MSG_PLAY_SOUND, nullptr);
            }
            SendVolume(HeardVolume());
        }
        if (AppliesTo3D() && m_Playing) {
            if (engine) {
                engine->SetSoundPosition(m_Item, GetWorldPosition());
                engine->SetSoundDistances(m_Item, m_MinRadius, m_Range);
            }
            // The frame's place and distances keep the fades and values the
            // messages set: resetting to the bare volume here would drown
            // every fade-in while the room is drawn.
            SendVolume(HeardVolume());
            // Loop Times plays as once: a sound played once notices its end.
            if (m_PlayStyle != SOUND_PLAY_LOOP && !(engine && engine->IsSoundPlaying(m_Item))) m_Playing = 0;
        }
    }
    CQVActor::Update();
}

int CQVSound::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    const uint32_t version = archive->version;
    const bool reading = archive->direction == ARCHIVE_READING;
    if (version >= 1) archive->SerializeDword(&m_SoundId);
    if (version >= VERSION_NAME) {
        std::string dropped;
        archive->SerializeString(dropped);
    }
    if (version >= 1) {
        archive->SerializeDword(&m_SoundType);
        archive->SerializeDword(&m_Range);
    }
    if (version < VERSION_VOLUMES) {
        uint32_t oldWord = 0;
        float oldReals[2] = {0.0f, 0.0f};
        archive->SerializeDword(&oldWord);
        archive->SerializeDwords(oldReals, 2);
        m_Volume = m_Frequency = m_CurrentVolume = m_CurrentFrequency = 1.0f;
        m_Pan = 0.0f;
        m_StartPlaying = 0;
        m_PlayStyle = SOUND_PLAY_ONCE;
        m_LoopCount = 0;
        if (m_SoundType == OLD_TYPE_3D) {
            m_Range = OLD_3D_RANGE;
        } else if (m_SoundType == OLD_TYPE_AMBIENT) {
            m_StartPlaying = 1;
            m_PlayStyle = SOUND_PLAY_LOOP;
            m_SoundType = SOUND_TYPE_3D;
        }
    } else {
        archive->SerializeDword(&m_Volume);
        archive->SerializeDword(&m_Pan);
        archive->SerializeDword(&m_Frequency);
        if (reading) {
            m_CurrentVolume = m_Volume;
            m_CurrentFrequency = m_Frequency;
        }
        archive->SerializeDword(&m_MinRadius);
        archive->SerializeDword(&m_VolumeVariation);
        archive->SerializeDword(&m_PanVariation);
        archive->SerializeDword(&m_FrequencyVariation);
        archive->SerializeDword(&m_StartPlaying);
        archive->SerializeDword(&m_PlayStyle);
        archive->SerializeDword(&m_LoopCount);
        archive->SerializeDword(&m_Reserved);
    }
    if (version >= VERSION_3D_EFFECT) archive->SerializeDword(&m_3DEffect);
    if (archive->HasFailed()) return 0;
    if (reading && Engine() && !AcquireCopy(m_SoundId)) {
        // An id the library no longer holds plays its first sound.
        AcquireCopy(FALLBACK_SOUND_ID);
        m_SoundId = FALLBACK_SOUND_ID;
    }
    return 1;
}

void CQVSound::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_SOUND];
    record.Define("Sound", "Sound", {CLASS_BASE, CLASS_SOUND});
    const size_t first = record.properties.size();
    kSoundMessages.AddSheet(record);
    PropertyDesc& pan = record.properties[first + PAN_ROW];
    pan.ranged = 1;
    pan.min = -1.0f;
    pan.max = 1.0f;
    record.properties[first + FREQUENCY_ROW].scale = 100.0f;
}
