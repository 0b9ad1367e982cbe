#pragma once
// The gameplay actors on a fresh actor system per test, with the game's own
// classes except two stand-ins: a Game Object (class 12) that answers as an
// item of the kind a test gives it, and a Character (class 16) that notes
// what it is told; both are the real classes' message contracts, before the
// real classes exist. Frames run through the game's own frame step on a
// fixed clock of 1/32 s, so times add up exactly. Scripts run through a
// recording hook that notes which script ran and with which caller.

#include "apps/game/ActorClasses.h"
#include "apps/game/FrameLoop.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "tests/support/ResetGlobals.h"
#include "tests/support/TestFolder.h"
#include "tools/content/WavWriter.h"
#include "tools/fixtures/KernelActorClasses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace gameplay_test {

// One frame of the fixed clock, exact in binary.
constexpr float kFrame = 1.0f / 32.0f;

// A message as a stand-in or a spy noted it: when (the frame number), who
// handled it, the id, and its first word, float, vector and text.
struct Heard {
    uint32_t frame = 0;
    std::string who;
    uint32_t id = 0;
    uint32_t word = 0;
    float real = 0.0f;
    Vector3 vector = Vector3(0.0f, 0.0f, 0.0f);
    std::string text;
    uintptr_t pointer = 0;      // the block's first value taken as a pointer
    uint32_t afterPointer = 0;  // the word after it
};

inline std::vector<Heard> g_Heard;

inline Heard Hear(const CQVActor& actor, uint32_t id, MessageArgs args) {
    Heard heard;
    heard.frame = g_FrameNumber;
    heard.who = actor.m_Name;
    heard.id = id;
    heard.word = Args_Get<uint32_t>(args);
    heard.real = Args_Get<float>(args);
    heard.vector = Args_Get<Vector3>(args);
    if (const char* text = Args_Text(args)) heard.text = text;
    heard.pointer = Args_Get<uintptr_t>(args);
    heard.afterPointer = Args_Get<uint32_t>(args, sizeof(uintptr_t));
    return heard;
}

// The messages of the ids given that actors of that name handled, in order.
inline std::vector<Heard> HeardBy(const std::string& who, std::vector<uint32_t> ids = {}) {
    std::vector<Heard> found;
    for (const Heard& heard : g_Heard) {
        if (heard.who != who) continue;
        if (!ids.empty() && std::find(ids.begin(), ids.end(), heard.id) == ids.end()) continue;
        found.push_back(heard);
    }
    return found;
}

// An item: answers its kind, key groups and key time, its state, its trap
// setup times, hold time and effects, and notes the state messages.
class StandInItem : public CQVActor {
public:
    struct Effect {
        float value;
        float time;
    };
    StandInItem() { m_ClassType = CLASS_GAME_OBJECT; }
    static void RegisterProperties() {
        g_ClassRecords[CLASS_GAME_OBJECT].Define("Game Object", "", {CLASS_BASE, CLASS_GAME_OBJECT});
    }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_GET_GAMEOBJECT_TYPE_25B: Args_Answer(args, kind); return 1;
        case MSG_GET_KEYGROUP: Args_Answer(args, keyGroups); return 1;
        case MSG_GET_KEY_TIME: Args_Answer(args, keyTime); return 1;
        case MSG_GET_STATE_265: Args_Answer(args, state); return 1;
        case MSG_GET_TRAP_SETUP_TIME_MIN: Args_Answer(args, setupMin); return 1;
        case MSG_GET_TRAP_SETUP_TIME_MAX: Args_Answer(args, setupMax); return 1;
        case MSG_GET_TRAP_CHARACTER_HOLD_TIME: Args_Answer(args, holdTime); return 1;
        case MSG_SET_TRAP_CHARACTER_HOLD_TIME: holdTime = Args_Get<float>(args); return 1;
        case MSG_GET_POWERUP_LIST:
            if (auto* names = Args_Pointer<std::vector<std::string>>(id, args)) {
                names->clear();
                for (size_t i = 0; i < effects.size(); ++i) names->push_back("Power Up " + std::to_string(i));
            }
            return 1;
        case MSG_SET_POWERUP_LIST: {
            const std::string name = Args_TextOr(args);
            for (size_t i = 0; i < effects.size(); ++i) {
                if (name == "Power Up " + std::to_string(i)) selected = static_cast<int>(i);
            }
            return 1;
        }
        case MSG_GET_POWERUP_VALUE:
            if (selected >= 0) Args_Answer(args, effects[static_cast<size_t>(selected)].value);
            return 1;
        case MSG_GET_POWERUP_TIME:
            if (selected >= 0) Args_Answer(args, effects[static_cast<size_t>(selected)].time);
            return 1;
        case MSG_SET_POWERUP: {
            const uint32_t index = Args_Get<uint32_t>(args);
            if (index < effects.size()) effects[index] = {Args_Get<float>(args, 4), Args_Get<float>(args, 8)};
            return 1;
        }
        case MSG_SET_STATE_CONTAINER:
            state = 0;
            g_Heard.push_back(Hear(*this, id, args));
            break;
        case MSG_SET_STATE_ACTIVATE:
        case MSG_PERFORM_ACTION:
            g_Heard.push_back(Hear(*this, id, args));
            break;
        default:
            break;
        }
        return CQVActor::HandleMessage(id, args);
    }

    uint32_t kind = 0xFFFFFFFF;
    uint32_t keyGroups = 0;
    float keyTime = 0.0f;
    uint32_t state = 2;
    float setupMin = 0.0f;
    float setupMax = 0.0f;
    float holdTime = 10.0f;
    std::vector<Effect> effects;
    int selected = -1;
};

// A character: notes the messages that move, turn, hurt or tell it, and
// answers its camera and look direction.
class StandInCharacter : public CQVActor {
public:
    StandInCharacter() { m_ClassType = CLASS_CHARACTER; }
    static void RegisterProperties() {
        g_ClassRecords[CLASS_CHARACTER].Define("Character", "", {CLASS_BASE, CLASS_CHARACTER});
    }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_GET_NOTIFYCAMERA: Args_Set(args, 0, camera); return 1;
        case MSG_GET_LOOKDIRECTION: Args_Answer(args, look); return 1;
        case MSG_SET_POSITION:
        case MSG_SET_DELTA_POSITION:
        case MSG_INVALIDATE_OLDPOSITION:
        case MSG_SET_ROT_Y_3D0:
        case MSG_SET_MOVEMENT_34D:
        case MSG_SET_NEXT_MOVEMENT:
        case MSG_CHANGE_CPGAMMARADD:
        case MSG_CHANGE_CPHEALTH:
        case MSG_ON_SPAWNED:
        case MSG_SPAWN_NOTIFY:
        case MSG_LOAD_RESOURCES:
        case MSG_AI_PLAYER2_VOICE_COMMAND:
            g_Heard.push_back(Hear(*this, id, args));
            break;
        default:
            break;
        }
        return CQVActor::HandleMessage(id, args);
    }

    CQVActor* camera = nullptr;
    Vector3 look = Vector3(0.0f, 0.0f, 1.0f);
};

// Notes the messages of the watched ids that the actors it spies on handle.
class Spy : public CQVActor {
public:
    explicit Spy(std::vector<uint32_t> watched) : m_Watched(std::move(watched)) {}
    void Attach(CQVActor* actor) {
        if (actor == nullptr) return;
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(this);
        actor->m_CommandSpies.push_back(std::move(link));
    }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id != MSG_COMMAND_SPY) return CQVActor::HandleMessage(id, args);
        const CommandSpyArgs spied = Args_Get<CommandSpyArgs>(args);
        if (std::find(m_Watched.begin(), m_Watched.end(), spied.id) != m_Watched.end()) {
            g_Heard.push_back(Hear(*spied.actor, spied.id, *spied.args));
        }
        return 1;
    }

private:
    std::vector<uint32_t> m_Watched;
};

// A script that ran: its owner, the message it is bound to, its name and the caller.
struct ScriptRun {
    std::string owner;
    uint32_t bound = 0;
    std::string name;
    std::string caller;
    uint32_t frame = 0;
    bool operator==(const ScriptRun& other) const {
        return owner == other.owner && bound == other.bound && name == other.name && caller == other.caller;
    }
};

inline std::ostream& operator<<(std::ostream& out, const ScriptRun& run) {
    return out << "{" << run.owner << ", " << run.bound << ", " << run.name << ", " << run.caller << " @"
               << run.frame << "}";
}

inline std::vector<ScriptRun> g_ScriptRuns;

inline int RecordScriptRun(CQVScript* script, CQVActor* caller) {
    g_ScriptRuns.push_back({script->owner ? script->owner->m_Name : std::string(), script->boundMessage, script->name,
                            caller ? caller->m_Name : std::string("-"), g_FrameNumber});
    return 1;
}

inline double FixedFrame() { return kFrame; }

// The game's class table with the two stand-ins in place of the real classes.
inline const ActorClassInfo* GameplayClasses(size_t* count) {
    static std::vector<ActorClassInfo> classes;
    if (classes.empty()) {
        size_t n = 0;
        const ActorClassInfo* game = ActorClasses_GetList(&n);
        classes.assign(game, game + n);
        for (ActorClassInfo& info : classes) {
            if (info.type == CLASS_GAME_OBJECT) {
                info = {CLASS_GAME_OBJECT, [] { return static_cast<CQVActor*>(new StandInItem); },
                        &StandInItem::RegisterProperties};
            } else if (info.type == CLASS_CHARACTER) {
                info = {CLASS_CHARACTER, [] { return static_cast<CQVActor*>(new StandInCharacter); },
                        &StandInCharacter::RegisterProperties};
            }
        }
    }
    *count = classes.size();
    return classes.data();
}

class GameplayTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        folder = TestFolder_Path("qv_gameplay_");
        std::filesystem::create_directories(folder);
        AddLibraryDefaults();
        size_t count = 0;
        const ActorClassInfo* classes = GameplayClasses(&count);
        ActorClasses_SetTable(classes, count, &KernelActorClasses_SetFileRange);
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        ASSERT_NE(scenery, nullptr);
        FrameClock_SetSource(&FixedFrame);
        Random_Seed(1);
        g_Heard.clear();
        g_ScriptRuns.clear();
        g_ScriptExecute = &RecordScriptRun;
    }
    void TearDown() override {
        ResetGlobals();
        spies.clear();
        g_ScriptExecute = nullptr;
        FrameClock_SetSource(nullptr);
        g_Heard.clear();
        g_ScriptRuns.clear();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    // What a level's library always holds: the mesh and material every new
    // Object starts on, and the sound every new Sound starts on.
    void AddLibraryDefaults() {
        auto* mesh = new CQVMeshItem;
        mesh->name = "Fallback Mesh";
        mesh->frameWord = 1;
        mesh->loaded = 1;
        mesh->subsetInfos.resize(1);
        mesh->subsetInfos[0].box = Box{Vector3(-5.0f, 0.0f, -5.0f), Vector3(5.0f, 30.0f, 5.0f)};
        g_Library.SetItem(3, mesh);
        auto* material = new CQVMaterialItem;
        material->name = "Fallback Material";
        material->loaded = 1;
        g_Library.SetItem(4, material);
        const WavFormat mono{1, 22050, 16};
        auto* sound = new CQVSoundItem;
        sound->name = "Default";
        sound->path = (folder / "Default.wav").string();
        ASSERT_TRUE(Wav_Write(sound->path, mono, Wav_Sine(mono, 441.0f, 0.5f, 4 * 22050)));
        g_Library.SetItem(1, sound);
    }

    template <typename T = CQVActor>
    T* Make(uint32_t type, const char* name, CQVActor* parent = nullptr) {
        CQVActor* actor =
            g_ActorSystem->CreateActor(type, name, nullptr, parent ? parent : scenery, ACTOR_ID_ANY, 1, 0);
        EXPECT_NE(actor, nullptr);
        return static_cast<T*>(actor);
    }

    // A room around the origin, where the camera is: its actors are drawn
    // (their update steps run) and collide.
    CQVActor* Room() {
        if (room) return room;
        room = Make(CLASS_DRAW_GROUP, "Room");
        room->SendValue(MSG_SET_BOX_MIN, Vector3(-5000.0f, -5000.0f, -5000.0f));
        room->SendValue(MSG_SET_BOX_MAX, Vector3(5000.0f, 5000.0f, 5000.0f));
        return room;
    }
    void PutInRoom(CQVActor* actor) {
        uint32_t group = static_cast<CQVDrawGroupBase*>(Room())->m_DrawGroupId;
        actor->SendValue(MSG_SET_DRAWGROUP, group);
    }

    Spy* Watch(std::vector<uint32_t> ids, std::vector<CQVActor*> actors) {
        spies.push_back(std::make_unique<Spy>(std::move(ids)));
        for (CQVActor* actor : actors) spies.back()->Attach(actor);
        return spies.back().get();
    }

    static void Frames(int count) {
        for (int i = 0; i < count; ++i) ASSERT_EQ(FrameStep(g_ActorSystem), 1);
    }
    template <typename T>
    static int Send(CQVActor* actor, uint32_t id, T value) {
        return actor->HandleMessage(id, Args_Of(&value));
    }
    static int Send(CQVActor* actor, uint32_t id) { return actor->HandleMessage(id, nullptr); }
    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id, T initial = T{}) {
        actor->HandleMessage(id, Args_Of(&initial));
        return initial;
    }

    std::filesystem::path folder;
    CQVActor* scenery = nullptr;
    CQVActor* room = nullptr;
    std::vector<std::unique_ptr<Spy>> spies;
};

}  // namespace gameplay_test
