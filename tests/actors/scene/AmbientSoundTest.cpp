// The Ambient Sound actor: eight slots by library name, fades in and out on
// its clock, the fade list behind the slots, reference counting, pause and
// resume, and its stored entries.

#include "tests/actors/scene/SoundActorSupport.h"

#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/Registries.h"
#include "kernel/script/Script.h"

#include <cstring>

namespace {

struct PlayBlock {
    char name[128];
    uint32_t slot;
    float fade;
};
static_assert(sizeof(PlayBlock) == 136);

struct SlotBlock {
    uint32_t slot;
    float fade;
};

struct VolumeBlock {
    uint32_t slot;
    int32_t percent;
    float time;
};

struct RefcountBlock {
    uint32_t slot;
    uint32_t on;
};

constexpr float kFrame = 0.1f;

class AmbientSoundTest : public SoundActorTest {
protected:
    void SetUp() override {
        SoundActorTest::SetUp();
        wind = AddSound(10, "Wind", 0.3f, 441.0f);
        rain = AddSound(11, "Rain", 0.3f, 882.0f);
        drip = AddSound(12, "Drip", 0.05f, 1764.0f);
        ambient = MakeAmbient();
        ASSERT_NE(ambient, nullptr);
        Send(ambient, MSG_PRECALCULATE);
    }
    void TearDown() override {
        // A test that started the script interpreter leaves it uninstalled.
        g_ScriptExecute = nullptr;
        SoundActorTest::TearDown();
    }

    int Play(const char* name, uint32_t slot, float fade, bool loop = true) {
        PlayBlock block{};
        std::strncpy(block.name, name, sizeof block.name - 1);
        block.slot = slot;
        block.fade = fade;
        return ambient->HandleMessage(loop ? MSG_ASOUND_PLAY_LOOPING : MSG_ASOUND_PLAY, Args_Of(&block));
    }
    void Stop(uint32_t slot, float fade) { Send(ambient, MSG_ASOUND_STOP, SlotBlock{slot, fade}); }
    void Counting(uint32_t slot) { Send(ambient, MSG_ASOUND_USE_REFCOUNT, RefcountBlock{slot, 1}); }
    AmbientSoundEntry& SlotEntry(uint32_t slot) { return ambient->m_Entries[slot - 1]; }
    int Playing(CQVSoundItem* item) { return engine->IsSoundPlaying(item); }
    static void Frames(int count) {
        for (int i = 0; i < count; ++i) Frame(kFrame);
    }

    CQVSoundItem* wind = nullptr;
    CQVSoundItem* rain = nullptr;
    CQVSoundItem* drip = nullptr;
    CQVAmbientSound* ambient = nullptr;
};

TEST_F(AmbientSoundTest, StartsWithEightEmptySlots) {
    ASSERT_EQ(ambient->m_Entries.size(), 8u);
    for (const AmbientSoundEntry& entry : ambient->m_Entries) {
        EXPECT_EQ(entry.item, nullptr);
        EXPECT_EQ(entry.state, static_cast<uint32_t>(AMBIENT_EMPTY));
    }
    EXPECT_EQ(g_ClassRecords[CLASS_AMBIENT_SOUND].properties.size(), 1u);
}

// Replacing a slot's sound with a fade of 0.5 s stops the old one at once
// and raises the new one from silence to full in 0.5 s of clock time.
TEST_F(AmbientSoundTest, ReplacedSoundStopsAndTheNewOneFadesIn) {
    ASSERT_EQ(Play("Wind", 1, 0.0f), 1);
    EXPECT_EQ(SlotEntry(1).item, wind);
    EXPECT_EQ(SlotEntry(1).state, static_cast<uint32_t>(AMBIENT_PLAYING));
    EXPECT_FLOAT_EQ(SlotEntry(1).level, 1.0f);
    EXPECT_EQ(Playing(wind), 1);
    EXPECT_EQ(Hundredths(wind), 0);

    ASSERT_EQ(Play("rain", 1, 0.5f), 1);
    EXPECT_EQ(Playing(wind), 0);
    EXPECT_EQ(Playing(rain), 1);
    EXPECT_EQ(SlotEntry(1).name, "rain");
    EXPECT_EQ(SlotEntry(1).state, static_cast<uint32_t>(AMBIENT_FADING_IN));
    EXPECT_EQ(Hundredths(rain), -5000);
    Frames(2);
    EXPECT_NEAR(SlotEntry(1).level, 0.4f, 1e-5f);
    EXPECT_EQ(Hundredths(rain), Sound_VolumeToHundredthsDb(SlotEntry(1).level));
    Frames(4);
    EXPECT_EQ(SlotEntry(1).state, static_cast<uint32_t>(AMBIENT_PLAYING));
    EXPECT_FLOAT_EQ(SlotEntry(1).level, 1.0f);
    EXPECT_EQ(Hundredths(rain), 0);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);  // a sound stopped at once leaves no fade entry
}

TEST_F(AmbientSoundTest, SameSoundCountsAReferenceAndChangesNothingElse) {
    Counting(2);
    ASSERT_EQ(Play("Wind", 2, 0.0f), 1);
    Frames(1);
    ASSERT_EQ(Play("Wind", 2, 1.0f), 1);  // no fade-in: it is already playing
    EXPECT_EQ(SlotEntry(2).references, 2);
    EXPECT_EQ(SlotEntry(2).state, static_cast<uint32_t>(AMBIENT_PLAYING));
    EXPECT_FLOAT_EQ(SlotEntry(2).level, 1.0f);
    Stop(2, 0.0f);
    EXPECT_EQ(SlotEntry(2).references, 1);
    EXPECT_EQ(SlotEntry(2).item, wind);
    EXPECT_EQ(Playing(wind), 1);
    Stop(2, 0.0f);
    EXPECT_EQ(SlotEntry(2).item, nullptr);
    EXPECT_EQ(SlotEntry(2).name, "");
    EXPECT_EQ(Playing(wind), 0);
    // Without counting the first stop stops it.
    Play("Wind", 3, 0.0f);
    Play("Wind", 3, 0.0f);
    Stop(3, 0.0f);
    EXPECT_EQ(Playing(wind), 0);
}

// A fading-out sound lives on behind the slots, loses 1/(t + 0.001) of its
// level per second and goes once silent; meanwhile no slot takes it back.
TEST_F(AmbientSoundTest, StoppedSoundFadesOutInTheFadeList) {
    Play("Wind", 3, 0.0f);
    Stop(3, 2.0f);
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    EXPECT_EQ(SlotEntry(3).item, nullptr);
    EXPECT_EQ(SlotEntry(3).state, static_cast<uint32_t>(AMBIENT_EMPTY));
    const AmbientSoundEntry& fading = ambient->m_Entries[8];
    EXPECT_EQ(fading.item, wind);
    EXPECT_EQ(fading.state, static_cast<uint32_t>(AMBIENT_FADING_OUT));
    EXPECT_FLOAT_EQ(fading.fadeRate, 1.0f / 2.001f);
    EXPECT_EQ(Playing(wind), 1);

    EXPECT_EQ(Play("Wind", 4, 0.0f), 1);  // refused, though it answers 1
    EXPECT_EQ(SlotEntry(4).item, nullptr);

    Frames(10);
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    EXPECT_NEAR(ambient->m_Entries[8].level, 1.0f - 1.0f / 2.001f, 1e-4f);
    EXPECT_EQ(Hundredths(wind), Sound_VolumeToHundredthsDb(ambient->m_Entries[8].level));
    Frames(10);  // 2.0 s: not yet below zero
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    Frames(1);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);
    EXPECT_EQ(Playing(wind), 0);

    EXPECT_EQ(Play("Wind", 4, 0.0f), 1);
    EXPECT_EQ(SlotEntry(4).item, wind);
}

// Two entries leaving in the same frame: the one moving up into the freed
// place is handled in the next frame.
TEST_F(AmbientSoundTest, FadeListEntryMovingUpWaitsAFrame) {
    Play("Wind", 1, 0.0f);
    Play("Rain", 2, 0.0f);
    Stop(1, 0.0001f);
    Stop(2, 0.0001f);
    ASSERT_EQ(ambient->m_Entries.size(), 10u);
    Frames(1);
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    EXPECT_EQ(ambient->m_Entries[8].item, rain);
    Frames(1);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);
    EXPECT_EQ(Playing(rain), 0);
}

// Negative fade times fade over their magnitude.
TEST_F(AmbientSoundTest, NegativeFadeTimeCountsAsItsMagnitude) {
    Play("Wind", 1, -0.5f);
    EXPECT_EQ(SlotEntry(1).state, static_cast<uint32_t>(AMBIENT_FADING_IN));
    EXPECT_FLOAT_EQ(SlotEntry(1).fadeRate, 2.0f);
    Frames(6);
    Stop(1, -1.0f);
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    EXPECT_FLOAT_EQ(ambient->m_Entries[8].fadeRate, 1.0f / 1.001f);
    Frames(11);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);
}

TEST_F(AmbientSoundTest, SlotsOutsideOneToEightAreIgnored) {
    for (uint32_t slot : {0u, 9u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Play("Wind", slot, 0.0f), 1) << slot;  // the base call's answer
        Stop(slot, 1.0f);
        Send(ambient, MSG_ASOUND_VOLUME, VolumeBlock{slot, 10, 0.0f});
        Counting(slot);
    }
    EXPECT_EQ(Playing(wind), 0);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);
    EXPECT_EQ(ambient->Play("Wind", 9, 0.0f, true), 0);
    EXPECT_EQ(ambient->Play("Nothing", 1, 0.0f, true), 0);
}

TEST_F(AmbientSoundTest, VolumeAppliesOnlyWithoutATime) {
    Play("Wind", 5, 0.0f);
    Send(ambient, MSG_ASOUND_VOLUME, VolumeBlock{5, 50, 1.0f});
    EXPECT_FLOAT_EQ(SlotEntry(5).volume, 1.0f);
    EXPECT_EQ(Hundredths(wind), 0);
    Send(ambient, MSG_ASOUND_VOLUME, VolumeBlock{5, 50, 0.0f});
    EXPECT_FLOAT_EQ(SlotEntry(5).volume, 0.5f);
    EXPECT_EQ(Hundredths(wind), -2500);
    // Pan and frequency are taken and ignored.
    Send(ambient, MSG_ASOUND_PAN, VolumeBlock{5, -100, 0.0f});
    Send(ambient, MSG_ASOUND_FREQUENCY, VolumeBlock{5, 200, 0.0f});
    EXPECT_EQ(Hundredths(wind), -2500);
    EXPECT_FLOAT_EQ(SlotEntry(5).frequency, 1.0f);
    // Someone changed the item's volume: the update sends every entry's again.
    wind->volume = 0.5f;
    Send(ambient, MSG_ASOUND_UPDATE_VOLUMES);
    EXPECT_EQ(Hundredths(wind), Sound_VolumeToHundredthsDb(0.25f));
}

TEST_F(AmbientSoundTest, OncePlayedSoundEmptiesItsSlotWhenItEnds) {
    Play("Drip", 6, 0.0f, false);
    Play("Wind", 7, 0.0f, true);
    Frames(1);
    EXPECT_EQ(SlotEntry(6).item, drip);
    Render(kActorMixRate / 2);
    Frames(1);
    EXPECT_EQ(SlotEntry(6).item, nullptr);
    EXPECT_EQ(SlotEntry(6).state, static_cast<uint32_t>(AMBIENT_EMPTY));
    EXPECT_EQ(SlotEntry(7).item, wind);  // a looped one goes on
    EXPECT_EQ(Playing(wind), 1);
}

// Pause silences every entry and stops the fades; resume plays them again,
// looped ones looped.
TEST_F(AmbientSoundTest, PauseAndResume) {
    Play("Wind", 1, 0.0f, true);
    Play("Rain", 2, 1.0f, true);
    Frames(2);
    const float level = SlotEntry(2).level;
    Send(ambient, MSG_ASOUND_PAUSE);
    EXPECT_EQ(Playing(wind), 0);
    EXPECT_EQ(Playing(rain), 0);
    Frames(3);
    EXPECT_FLOAT_EQ(SlotEntry(2).level, level);
    Send(ambient, MSG_ASOUND_RESUME);
    EXPECT_EQ(Playing(wind), 1);
    Render(kActorMixRate / 2);  // longer than both sounds
    EXPECT_EQ(Playing(wind), 1);
    EXPECT_EQ(Playing(rain), 1);
    Frames(1);
    EXPECT_GT(SlotEntry(2).level, level);
}

TEST_F(AmbientSoundTest, RateFollowsTheClock) {
    Play("Wind", 1, 0.0f, true);
    ActorClock clock;
    clock.flags = CLOCK_MANUAL;
    clock.effectiveScale = 0.5f;
    ActorClock* own = ambient->m_Clock;
    ambient->m_Clock = &clock;
    ambient->Process();
    EXPECT_EQ(Voice(wind)->GetFrequency(), kActorMixRate / 2);
    ambient->m_Clock = own;
}

TEST_F(AmbientSoundTest, PrecalculateKeepsOneProcess) {
    Send(ambient, MSG_PRECALCULATE);
    size_t processes = 0;
    for (const TimedMessage* record : ambient->m_TimedMessages) processes += record->messageId == MSG_PROCESS;
    EXPECT_EQ(processes, 1u);
}

TEST_F(AmbientSoundTest, DeletedActorStopsItsSounds) {
    Play("Wind", 1, 0.0f, true);
    Play("Rain", 2, 0.0f, true);
    Stop(2, 1.0f);
    g_ActorSystem->DeleteActor(ambient);
    EXPECT_EQ(Playing(wind), 0);
    EXPECT_EQ(Playing(rain), 0);
}

// A room's ambience played by the scripts of a cue in the room's subtree,
// as the room starts and stops being drawn: the level's way of fading the
// ambience from room to room.
TEST_F(AmbientSoundTest, ScriptsOfARoomCueFadeItsAmbienceInAndOut) {
    Script_Init();
    ambient->m_Name = "Ambience";
    CQVActor* room = g_ActorSystem->CreateActor(CLASS_BASE, "Room", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    CQVActor* cue = g_ActorSystem->CreateActor(CLASS_BASE, "Cue", nullptr, room, ACTOR_ID_ANY, 1, 0);
    const auto bind = [cue](uint32_t message, const char* source) {
        CQVScript script;
        script.name = "cue";
        script.boundMessage = message;
        script.source = source;
        script.owner = cue;
        cue->m_Scripts.push_back(std::move(script));
    };
    bind(MSG_ON_DRAW_START, "parent/parent/Ambience.asound_play_looping(\"Wind\", 3, 0.5);");
    bind(MSG_ON_DRAW_STOP, "parent/parent/Ambience.asound_stop(3, 0.5);");
    Send(cue, MSG_ON_DRAW_START);
    EXPECT_EQ(SlotEntry(3).item, wind);
    EXPECT_EQ(SlotEntry(3).state, static_cast<uint32_t>(AMBIENT_FADING_IN));
    EXPECT_EQ(SlotEntry(3).looping, 1u);
    Frames(6);
    EXPECT_FLOAT_EQ(SlotEntry(3).level, 1.0f);
    Send(cue, MSG_ON_DRAW_STOP);
    EXPECT_EQ(SlotEntry(3).item, nullptr);
    ASSERT_EQ(ambient->m_Entries.size(), 9u);
    Frames(6);
    EXPECT_EQ(ambient->m_Entries.size(), 8u);
    EXPECT_EQ(Playing(wind), 0);
}

// The stored entries: name, level, rate, frequency, state, looping,
// references, counting and slot.
void PutEntry(CQVActorArchive& archive, const char* name, float level, float rate, uint32_t state, uint32_t looping) {
    PutText(archive, name);
    PutReal(archive, level);
    PutReal(archive, rate);
    PutReal(archive, 1.0f);
    PutWord(archive, state);
    PutWord(archive, looping);
    PutWord(archive, 0);
    PutWord(archive, 0);
    PutWord(archive, 0);
}

void PutDropped(CQVActorArchive& archive) {
    for (int i = 0; i < 8; ++i) PutWord(archive, 0);
}

TEST_F(AmbientSoundTest, FileWithoutEntriesLoadsEightEmptySlots) {
    auto* loaded = static_cast<CQVAmbientSound*>(
        Import(HandMadeFile(40, CLASS_AMBIENT_SOUND, [](CQVActorArchive& archive) { PutDropped(archive); })));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->m_Entries.size(), 8u);
    for (const AmbientSoundEntry& entry : loaded->m_Entries) EXPECT_EQ(entry.state, 0u);
}

// Loaded entries find their sounds again by name and go on from their
// stored level; a name the library lacks empties its entry.
TEST_F(AmbientSoundTest, LoadedEntriesRestartAndFadeOn) {
    auto* loaded = static_cast<CQVAmbientSound*>(
        Import(HandMadeFile(70, CLASS_AMBIENT_SOUND, [](CQVActorArchive& archive) {
            PutDropped(archive);
            PutWord(archive, 9);
            PutEntry(archive, "Wind", 1.0f, 0.0f, AMBIENT_PLAYING, 1);
            PutEntry(archive, "Gone", 1.0f, 0.0f, AMBIENT_PLAYING, 1);
            for (int i = 2; i < 8; ++i) PutEntry(archive, "", 0.0f, 0.0f, AMBIENT_EMPTY, 0);
            PutEntry(archive, "Rain", 0.5f, 1.0f, AMBIENT_FADING_OUT, 1);
        })));
    ASSERT_NE(loaded, nullptr);
    Send(loaded, MSG_PRECALCULATE);  // as a level load sends it
    ASSERT_EQ(loaded->m_Entries.size(), 9u);
    EXPECT_EQ(loaded->m_Entries[0].item, wind);
    EXPECT_EQ(Playing(wind), 1);
    EXPECT_EQ(loaded->m_Entries[1].name, "");
    EXPECT_EQ(loaded->m_Entries[1].state, 0u);
    EXPECT_EQ(loaded->m_Entries[8].item, rain);
    EXPECT_EQ(Playing(rain), 1);
    Frames(1);
    EXPECT_NEAR(loaded->m_Entries[8].level, 0.4f, 1e-5f);
    Frames(5);
    EXPECT_EQ(loaded->m_Entries.size(), 8u);
    EXPECT_EQ(Playing(rain), 0);
}

// A slot stored as fading out is emptied in place when silent: the slots
// keep their numbers and there are always eight of them.
TEST_F(AmbientSoundTest, SlotStoredFadingOutIsEmptiedInPlace) {
    auto* loaded = static_cast<CQVAmbientSound*>(
        Import(HandMadeFile(70, CLASS_AMBIENT_SOUND, [](CQVActorArchive& archive) {
            PutDropped(archive);
            PutWord(archive, 8);
            PutEntry(archive, "Wind", 0.1f, 10.0f, AMBIENT_FADING_OUT, 1);
            PutEntry(archive, "Rain", 1.0f, 0.0f, AMBIENT_PLAYING, 1);
            for (int i = 2; i < 8; ++i) PutEntry(archive, "", 0.0f, 0.0f, AMBIENT_EMPTY, 0);
        })));
    ASSERT_NE(loaded, nullptr);
    Send(loaded, MSG_PRECALCULATE);
    Frames(2);
    ASSERT_EQ(loaded->m_Entries.size(), 8u);
    EXPECT_EQ(loaded->m_Entries[0].item, nullptr);
    EXPECT_EQ(loaded->m_Entries[1].item, rain);
    EXPECT_EQ(Playing(wind), 0);
    loaded->Stop(2, 0.0f);
    EXPECT_EQ(Playing(rain), 0);
}

TEST_F(AmbientSoundTest, EntryCountBeyondTheFileFailsTheLoad) {
    for (uint32_t count : {2u, 100000u, 0xFFFFFFFFu}) {
        const std::string path = HandMadeFile(70, CLASS_AMBIENT_SOUND, [&](CQVActorArchive& archive) {
            PutDropped(archive);
            PutWord(archive, count);
            PutEntry(archive, "Wind", 1.0f, 0.0f, AMBIENT_PLAYING, 1);
        });
        EXPECT_EQ(Import(path), nullptr) << count;
    }
}

TEST_F(AmbientSoundTest, SavedEntriesComeBack) {
    Counting(2);
    Play("Wind", 2, 0.0f, true);
    Play("Rain", 3, 1.0f, false);
    Play("Drip", 4, 0.0f, true);
    Stop(4, 3.0f);
    const std::string path = (m_Dir / "ambient.qva").string();
    {
        ActorFileWriter writer;
        ASSERT_TRUE(writer.Open(path.c_str(), 1, ambient->m_Id, 1));
        ASSERT_EQ(ambient->Serialize(&writer.archive, 0), 1);
        ASSERT_TRUE(writer.Commit());
    }
    auto* loaded = static_cast<CQVAmbientSound*>(Import(path));
    ASSERT_NE(loaded, nullptr);
    Send(loaded, MSG_PRECALCULATE);
    ASSERT_EQ(loaded->m_Entries.size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        const AmbientSoundEntry& a = ambient->m_Entries[i];
        const AmbientSoundEntry& b = loaded->m_Entries[i];
        EXPECT_EQ(b.name, a.name) << i;
        EXPECT_EQ(b.level, a.level) << i;
        EXPECT_EQ(b.fadeRate, a.fadeRate) << i;
        EXPECT_EQ(b.state, a.state) << i;
        EXPECT_EQ(b.looping, a.looping) << i;
        EXPECT_EQ(b.references, a.references) << i;
        EXPECT_EQ(b.counting, a.counting) << i;
        EXPECT_EQ(b.item, a.item) << i;  // found again by name
    }
}

}  // namespace
