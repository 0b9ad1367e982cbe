#pragma once
// The Player on the game's class table, its Character a stand-in (class 16)
// that answers its type and camera and notes what it is sent, and an
// Inventory stand-in (class 10) whose weapon selector a test opens. Input
// arrives as toolkit events pushed through the platform pump into the real
// input layer; the frame loop runs one fixed frame of 1/50 s at a time, on
// the engine's small windowed device, so a test can read the screen.

#include "actors/characters/Character.h"
#include "actors/characters/CharactersState.h"
#include "actors/characters/Player.h"
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
#include "kernel/fileactors/FileIO.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/input/Input.h"
#include "services/overlay/Overlay.h"
#include "services/render/Render.h"
#include "tests/kernel/actors/AdoptActor.h"
#include "tests/services/input/InputTestSupport.h"
#include "tests/support/ResetGlobals.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace playertest {

constexpr double kFrameStep = 1.0 / 50.0;
constexpr uint32_t kScreenWidth = 320, kScreenHeight = 240;

// One message an actor was sent, with its first value read as a float, a
// vector and a text.
struct Heard {
    std::string who;
    uint32_t id;
    float value;
    Vector3 vector;
    std::string text;
};

inline std::vector<Heard> g_Heard;

inline void Note(const CQVActor& actor, uint32_t id, MessageArgs args) {
    Heard heard{actor.m_Name, id, Args_Get<float>(args), Args_Get<Vector3>(args), ""};
    if (id == MSG_SET_MOTION) heard.text = Args_TextOr(args);
    g_Heard.push_back(heard);
}

// The ids an actor was sent, in order, of those the list names.
inline std::vector<uint32_t> HeardBy(const std::string& who, const std::vector<uint32_t>& ids) {
    std::vector<uint32_t> out;
    for (const Heard& h : g_Heard) {
        if (h.who == who && std::find(ids.begin(), ids.end(), h.id) != ids.end()) out.push_back(h.id);
    }
    return out;
}

// The last message of that id the actor was sent, or null.
inline const Heard* LastHeard(const std::string& who, uint32_t id) {
    for (auto it = g_Heard.rbegin(); it != g_Heard.rend(); ++it) {
        if (it->who == who && it->id == id) return &*it;
    }
    return nullptr;
}

inline const std::vector<uint32_t> kCommands = {
    MSG_CC_STATE_CROUCH,  MSG_CC_STATE_NEUTRAL,  MSG_CC_STATE_RUN,      MSG_CC_JUMP,         MSG_CC_JUMP_STOP,
    MSG_CC_RACTION1,      MSG_CC_RACTION1_START, MSG_CC_RACTION1_STOP,  MSG_CC_RACTION2,     MSG_CC_RACTION2_START,
    MSG_CC_RACTION2_STOP, MSG_CC_LACTION1,       MSG_CC_LACTION1_START, MSG_CC_LACTION1_STOP};
inline const std::vector<uint32_t> kLook = {MSG_SET_RELATIVE_LOOK_ROT_Y, MSG_SET_RELATIVE_LOOK_ROT_X,
                                            MSG_CHAR_ADD_LOOK_ROT2_Y, MSG_CHAR_ADD_LOOK_ROT2_X};
inline const std::vector<uint32_t> kKeyActions = {MSG_ACTION_START_PRE, MSG_ACTION_STOP_PRE};

// The type the next stand-in Character answers.
inline uint32_t g_StandInType = CHARACTER_FIRST_PERSON;

class StandInCharacter : public CQVCharacter {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        const int result = CQVCharacter::HandleMessage(id, args);
        switch (id) {
        case MSG_GET_CHARACTER_TYPE:
            Args_Answer(args, m_Type);
            break;
        case MSG_GET_NOTIFYCAMERA:
            if (args.Holds(0, sizeof(CQVActor*))) Args_Set(args, 0, m_Camera.target);
            break;
        default:
            break;
        }
        Note(*this, id, args);
        return result;
    }
    uint32_t m_Type = g_StandInType;
    ActorLink m_Camera;
};

// The Inventory's weapon selector: open while this is set.
inline uint32_t g_InventoryVisible = 0;

class StandInInventory : public CQVActor {
public:
    StandInInventory() { m_ClassType = CLASS_INVENTORY; }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_GET_VISIBLE_223) Args_Answer(args, g_InventoryVisible);
        return CQVActor::HandleMessage(id, args);
    }
    static void RegisterProperties() { g_ClassRecords[CLASS_INVENTORY].Define("Inventory", "", {0, CLASS_INVENTORY}); }
};

// Notes what it is sent and keeps a current time, as the timers under
// "/Global/ScriptSoul" and the menu's key actors are asked.
class ListeningActor : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_SET_CURRENT_TIME) m_Time = Args_Get<float>(args);
        if (id == MSG_GET_CURRENT_TIME) Args_Answer(args, m_Time);
        Note(*this, id, args);
        return CQVActor::HandleMessage(id, args);
    }
    float m_Time = 0.0f;
};

inline void SetFileRange(CQVActor* actor, uint32_t firstId, uint32_t lastId, const char* fileName) {
    auto* fileIO = actor && actor->m_ClassType == CLASS_FILEIO ? static_cast<CQVFileIO*>(actor) : nullptr;
    if (fileIO == nullptr) return;
    fileIO->m_FirstId = firstId;
    fileIO->m_LastId = lastId;
    fileIO->m_FileName = fileName;
}

template <typename T>
CQVActor* Create() {
    return new T;
}

// The game's classes with the two stand-ins in their places.
inline const std::vector<ActorClassInfo>& StandInClasses() {
    static std::vector<ActorClassInfo> classes = [] {
        size_t count = 0;
        const ActorClassInfo* list = ActorClasses_GetList(&count);
        std::vector<ActorClassInfo> out(list, list + count);
        for (ActorClassInfo& info : out) {
            if (info.type == CLASS_CHARACTER) info.create = &Create<StandInCharacter>;
            if (info.type == CLASS_INVENTORY) info = {CLASS_INVENTORY, &Create<StandInInventory>, &StandInInventory::RegisterProperties};
        }
        return out;
    }();
    return classes;
}

inline double FixedStep() { return kFrameStep; }

using inputtest::InputWindowProc;
using inputtest::Pump;
using inputtest::PushButton;
using inputtest::PushKey;
using inputtest::PushMotion;

class PlayerFixture : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        if (s_Window != nullptr) return;
        ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"PlayerTest", InputWindowProc}));
        s_Window = Platform_CreateWindow("PlayerTest", "PlayerTest", 0, 0, kScreenWidth, kScreenHeight);
        ASSERT_NE(s_Window, nullptr) << Platform_GetError();
        ASSERT_EQ(CQVEngine::Create(), 1);
        CQVEngine* engine = CQVEngine::GetInstance();
        ASSERT_EQ(engine->Init(kScreenWidth, kScreenHeight, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, s_Window), 1)
            << engine->GetErrorText();
    }
    void SetUp() override {
        ResetGlobals();
        Pump();
        g_Heard.clear();
        g_StandInType = CHARACTER_FIRST_PERSON;
        g_InventoryVisible = 0;
        ASSERT_EQ(CQVEngine::Create(), 1);
        Font_CreateDefault();
        if (m_StandIns) {
            ActorClasses_SetTable(StandInClasses().data(), StandInClasses().size(), &SetFileRange);
        } else {
            ActorClasses_Install();
        }
        ASSERT_EQ(RegisterActorClasses(), 1);
        ASSERT_EQ(Input_Init(s_Window, nullptr), 1);
        Input_BindDefaultKeys();
        Input_CenterCursor();
        FrameClock_SetSource(&FixedStep);
        LookAlong(Vector3(0.0f, 0.0f, 1.0f));
        global = CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    }
    void TearDown() override {
        ReleaseAll();
        FrameClock_SetSource(nullptr);
        delete g_ActorSystem;
        g_ActorSystem = nullptr;
        ResetGlobals();
        g_Heard.clear();
    }

    // The pushed events reach input, then the frame loop runs n frames.
    static void Frames(int n = 1) {
        for (int i = 0; i < n; ++i) {
            Pump();
            ASSERT_EQ(FrameStep(g_ActorSystem), 1);
        }
    }
    // Every key and button up again, in one frame.
    static void ReleaseAll() {
        for (int code = SDL_SCANCODE_A; code < SDL_NUM_SCANCODES; ++code) {
            if (SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(code)) != SDLK_UNKNOWN) {
                PushKey(static_cast<SDL_Scancode>(code), false);
            }
        }
        for (uint8_t button : {SDL_BUTTON_LEFT, SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT}) PushButton(button, false);
        Pump();
    }
    // The view matrix of a camera at the origin looking along the direction (on the ground).
    static void LookAlong(const Vector3& forward) {
        Matrix& view = CQVRender::Get().View().viewMatrix;
        view = Matrix{};
        const Vector3 right(forward.z, 0.0f, -forward.x);
        const float columns[3][3] = {{right.x, 0.0f, forward.x}, {right.y, 1.0f, forward.y}, {right.z, 0.0f, forward.z}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) view.m[r][c] = columns[r][c];
        view.m[3][3] = 1.0f;
    }

    // A Player holding a new stand-in Character of the type.
    CQVPlayer* MakePlayer(uint32_t type, bool master = true) {
        g_StandInType = type;
        character = static_cast<StandInCharacter*>(
            g_ActorSystem->CreateActor(CLASS_CHARACTER, "Body", nullptr, scenery, ACTOR_ID_ANY, 1, 1));
        auto* player = static_cast<CQVPlayer*>(
            g_ActorSystem->CreateActor(CLASS_PLAYER, "Player", nullptr, scenery, ACTOR_ID_ANY, 1, 1));
        if (character == nullptr || player == nullptr) return nullptr;
        if (master) player->m_Flags |= ACTOR_MASTER;
        CQVActor* block = character;
        player->HandleMessage(MSG_SET_CHARACTER, Args_Of(&block));
        return player;
    }
    // The Player's first 0.4 s pass, in which it sends nothing.
    static void WarmUp() { Frames(21); }

    // An actor of the path from "/Global", with every missing actor on the way made.
    CQVActor* MakeAt(const std::string& path) {
        CQVActor* parent = global;
        size_t start = 0;
        while (start < path.size()) {
            const size_t slash = path.find('/', start);
            const std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            CQVActor* child = CQVActor::FindChildByName(parent, name.c_str());
            if (child == nullptr) {
                auto* made = new ListeningActor;
                made->m_Name = name;
                child = AdoptActor(made, g_ActorSystem->FindFreeActorId(1), parent);
            }
            parent = child;
            start = slash == std::string::npos ? path.size() : slash + 1;
        }
        return parent;
    }

    static inline HWND s_Window = nullptr;
    bool m_StandIns = true;  // false: the game's own Character and Inventory
    CQVActor* global = nullptr;
    CQVActor* scenery = nullptr;
    CQVActor* inventory = nullptr;
    StandInCharacter* character = nullptr;
};

}  // namespace playertest
