#pragma once
// The Sound and Ambient Sound actors on the real actor system, the real
// library and a loopback sound device: each test adds the library sounds it
// needs (WAV files in a folder of its own), drives frames on a clock it
// sets itself and hears the mix.

#include "actors/scene/AmbientSound.h"
#include "actors/scene/Sound.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "platform/sound/SoundDevice.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/sound/Sound.h"
#include "tests/platform/sound/MixMeasure.h"
#include "tests/support/ResetGlobals.h"
#include "tests/support/TestFolder.h"
#include "tools/content/WavWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

constexpr uint32_t kActorMixRate = 44100;

class SoundActorTest : public testing::Test {
public:
    // One frame as the frame loop runs it: the global clock advances by dt
    // and the timed messages fire (the fades, the per-frame "Process").
    static void Frame(float dt) {
        g_FrameTime = dt;
        ++g_FrameNumber;
        g_ActorSystem->UpdateClock(&g_GlobalClock);
        g_ActorSystem->RunTimedMessagePass();
    }

protected:
    static void SetUpTestSuite() {
        Sound_CloseDevice();
        ASSERT_EQ(Sound_CreateLoopbackDevice(2, kActorMixRate, 16), 1) << Sound_GetLastError();
    }
    static void TearDownTestSuite() { Sound_CloseDevice(); }

    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        engine = CQVEngine::GetInstance();
        engine->soundEnabled = 1;
        Sound_SetListenerPosition(Vector3(0.0f, 0.0f, 0.0f));
        Sound_SetListenerFront(Vector3(0.0f, 0.0f, 1.0f));
        Sound_SetListenerTop(Vector3(0.0f, 1.0f, 0.0f));
        Sound_CommitListener();
        Random_Seed(1);
        g_FrameTime = 0.0f;
        m_Dir = TestFolder_Path("qv_sound_actor_");
        std::filesystem::create_directories(m_Dir);
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        // The library's first sound: every Sound starts on it.
        AddSound(1, "Default", 0.2f, 441.0f);
    }
    void TearDown() override {
        // Actors give their sounds back before the library and the device go.
        ResetGlobals();
        std::filesystem::remove_all(m_Dir);
    }

    // A library sound at id over a mono tone (3D sounds need one channel);
    // the item's file name is empty, so its path is the full path.
    CQVSoundItem* AddSound(uint32_t id, const std::string& name, float seconds, float hz = 441.0f,
                           float volume = 1.0f) {
        const WavFormat mono{1, kActorMixRate, 16};
        auto* item = new CQVSoundItem();
        item->name = name;
        item->path = (m_Dir / (name + ".wav")).string();
        EXPECT_TRUE(Wav_Write(item->path, mono, Wav_Sine(mono, hz, 0.5f, static_cast<uint32_t>(seconds * kActorMixRate))));
        item->volume = volume;
        EXPECT_TRUE(g_Library.SetItem(id, item));
        return item;
    }

    CQVSound* MakeSound(const char* name = "sound") {
        return static_cast<CQVSound*>(
            g_ActorSystem->CreateActor(CLASS_SOUND, name, nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    }
    CQVAmbientSound* MakeAmbient(const char* name = "ambience") {
        return static_cast<CQVAmbientSound*>(
            g_ActorSystem->CreateActor(CLASS_AMBIENT_SOUND, name, nullptr, scenery, ACTOR_ID_ANY, 1, 0));
    }

    template <typename T>
    static int Send(CQVActor* actor, uint32_t id, T value) {
        return actor->HandleMessage(id, Args_Of(&value));
    }
    static int Send(CQVActor* actor, uint32_t id) { return actor->HandleMessage(id, nullptr); }
    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id, int* result = nullptr) {
        T value{};
        const int answer = actor->HandleMessage(id, Args_Of(&value));
        if (result) *result = answer;
        return value;
    }

    // The voice of a sound item on the device.
    static PlatformSoundBuffer* Voice(const CQVSoundItem* item) {
        return item && item->buffer ? item->buffer->buffer : nullptr;
    }
    static int32_t Hundredths(const CQVSoundItem* item) {
        PlatformSoundBuffer* voice = Voice(item);
        return voice ? voice->GetVolume() : 1;
    }
    static StereoMix Render(uint32_t frames) {
        StereoMix mix;
        mix.samples.resize(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(Sound_RenderMix(mix.samples.data(), frames), 1);
        return mix;
    }

    // An actor file of one actor of a class at a version, written by hand:
    // the base fields as the kernel stores them at that version, then the
    // class's own words from the callback.
    std::string HandMadeFile(uint32_t version, uint32_t classType,
                             const std::function<void(CQVActorArchive&)>& payload) {
        const std::string path = (m_Dir / ("actor_v" + std::to_string(version) + ".qva")).string();
        CQVActorArchive archive;
        EXPECT_TRUE(archive.Open(path.c_str(), "wb"));
        archive.version = version;
        uint32_t header[4] = {version, 1, 3000, 1};
        archive.SerializeDwords(header, 4);
        CQVActor base;
        base.m_ClassType = classType;
        base.m_Id = 3000;
        base.m_ParentId = ACTOR_ID_SCENERY;
        base.m_Name = "loaded";
        EXPECT_EQ(base.CQVActor::Serialize(&archive, 0), 1);
        payload(archive);
        archive.Close();
        return path;
    }
    // The actor the file brings in below the scenery, or null.
    CQVActor* Import(const std::string& path) {
        const size_t before = scenery->m_Children.size();
        if (!g_ActorSystem->ImportActors(path.c_str(), scenery)) return nullptr;
        return scenery->m_Children.size() > before ? scenery->m_Children.back() : nullptr;
    }

    CQVEngine* engine = nullptr;
    CQVActor* scenery = nullptr;
    std::filesystem::path m_Dir;
};

// Stored words for the hand-made files.
inline void PutWord(CQVActorArchive& archive, uint32_t value) { archive.SerializeDword(&value); }
inline void PutReal(CQVActorArchive& archive, float value) { archive.SerializeDword(&value); }
inline void PutText(CQVActorArchive& archive, std::string text) { archive.SerializeString(text); }
