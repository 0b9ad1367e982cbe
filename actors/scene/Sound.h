#pragma once
// A sound emitter placed in a level: a private copy of a library sound,
// played once or looped, beside the listener (2D) or at the actor's world
// position (3D). Every start varies volume and frequency at random, the
// playback rate follows the actor's clock, and the sound fades in and out
// as the draw group above it starts and stops being drawn.

#include "kernel/actors/Actor.h"

#include <cstdint>

class CQVSoundItem;

enum : uint32_t { SOUND_TYPE_2D = 0, SOUND_TYPE_3D = 1 };
// Loop Times plays as Once; its count is only kept.
enum : uint32_t { SOUND_PLAY_ONCE = 0, SOUND_PLAY_LOOP = 1, SOUND_PLAY_LOOP_TIMES = 2 };

class CQVSound : public CQVActor {
public:
    CQVSound();
    ~CQVSound() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // The one start routine: draws the random variation, plays (looped or
    // once) and sends volume and playback rate. A start is heard at its own
    // volume (value and fade factors back at 1), unless a visibility fade is
    // under way, which keeps its factor.
    void Start(bool loop);
    // What the sound is heard at: current volume x the value, fade and
    // restart factors. Every volume the actor sends is this product, so no
    // message or frame drops a factor another one set.
    float HeardVolume() const { return m_ActionValue * m_Fade * m_RestartFade * m_CurrentVolume; }
    // Current frequency x the clock's effective scale x its simulation multiplier.
    float PlaybackRate();
    bool AppliesTo3D() const { return m_SoundType != SOUND_TYPE_2D; }
    bool AppliesTo2D() const { return !AppliesTo3D(); }
    // A value just set: "Play On Start Game" plays at once; the others are
    // held to their ranges, and the volume and frequency become current.
    void StartIfPlaying();
    void KeepRangePositive();
    void KeepMinInRange();
    void TakeVolume();
    void KeepPanInRange();
    void TakeFrequency();

    CQVSoundItem* m_Item = nullptr;  // private copy, owned
    uint32_t m_SoundId = 1;
    uint32_t m_SoundType = SOUND_TYPE_3D;
    float m_Volume = 1.0f;          // 0 to 1
    float m_Pan = 0.0f;             // -1 to 1; kept and saved, the sound has no pan
    float m_Frequency = 1.0f;       // factor of the file's rate
    float m_VolumeVariation = 0.0f; // random reduction per start, fraction
    float m_PanVariation = 0.0f;    // kept and saved
    float m_FrequencyVariation = 0.0f;
    float m_CurrentVolume = 1.0f;   // after the last start's variation
    float m_CurrentFrequency = 1.0f;
    float m_MinRadius = 200.0f;     // full volume inside it (3D)
    float m_Range = 600.0f;         // 3D maximum distance
    float m_3DEffect = 0.2f;        // kept and saved
    uint32_t m_StartPlaying = 0;    // play when the draw group becomes visible
    uint32_t m_PlayStyle = SOUND_PLAY_ONCE;
    uint32_t m_LoopCount = 0;       // kept and saved
    uint32_t m_Reserved = 0;
    uint32_t m_Loaded = 0;          // "Load Resources" loaded the item
    uint32_t m_Playing = 0;
    float m_LastFrequency = 1.0f;   // last rate Update sent
    float m_ActionValue = 1.0f;     // volume factor of the value messages
    float m_Fade = 1.0f;            // volume factor of "Sound" (the visibility fades)
    float m_RestartFade = 1.0f;     // volume factor of a restart at slow time
    uint32_t m_RestartPending = 0;

private:
    void RefreshClock();
    // Frees the held copy and acquires one of the item id (3D flag by the
    // sound type); false when none could be had.
    bool AcquireCopy(uint32_t itemId);
    void FreeItem();
    void SendVolume(float volume);
    void SendParams();  // the heard volume and the rate
    void CancelFades();
    bool FadeRunning() const;
    // A new play is heard at its own volume: no value or finished fade of an earlier play.
    void ResetPlayFactors();
    void ScheduleFade(float from, float to);
    int OnSetSound(CQVSoundItem* item);
    int OnPlayByName(const char* name);
};
