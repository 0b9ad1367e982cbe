#pragma once
// An actor system with stand-ins for the classes the game-level commands
// make and talk to (Player, Character, Camera, Object), and the services
// the commands and the loading screen call, each noting what reached it.

#include "kernel/actors/ActorSystemHandler.h"
#include "tests/kernel/actors/ActorTestSupport.h"
#include "tests/kernel/actors/AdoptActor.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// The actor a message hands over as its block itself.
inline CQVActor* BlockActor(MessageArgs args) { return reinterpret_cast<CQVActor*>(args.Data()); }

class TestPlayer : public TestClass<CLASS_PLAYER> {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_SET_CHARACTER) m_Character = BlockActor(args);
        return TestClass::HandleMessage(id, args);
    }
    CQVActor* m_Character = nullptr;
};

class TestCharacter : public TestClass<CLASS_CHARACTER> {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_CREATE:
            // A copy keeps the type it was made from.
            if (auto* source = dynamic_cast<TestCharacter*>(Args_Pointer<CQVActor>(id, args))) m_Type = source->m_Type;
            break;
        case MSG_GET_CHARACTER_TYPE:
            if (m_Type) Args_Answer(args, m_Type);
            break;
        case MSG_SET_ORIENTATION:
            m_Orientation = Args_Pointer<CQVActor>(id, args);
            break;
        case MSG_CHANGE_CPHEALTH:
            m_HealthChange = Args_Get<float>(args);
            break;
        case MSG_SET_NOTIFYCAMERA:
            m_NotifyCamera = BlockActor(args);
            break;
        default:
            break;
        }
        return TestClass::HandleMessage(id, args);
    }
    uint32_t m_Type = 0;  // 0: does not answer
    CQVActor* m_Orientation = nullptr;
    float m_HealthChange = 0.0f;
    CQVActor* m_NotifyCamera = nullptr;
};

class TestCamera : public TestClass<CLASS_CAMERA> {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        switch (id) {
        case MSG_SET_FOV: m_Fov = Args_Get<float>(args); break;
        case MSG_SET_CAMERA_TYPE: m_CameraType = Args_Get<uint32_t>(args); break;
        case MSG_SET_CAMERATARGET1_4C6: m_Target = BlockActor(args); break;
        case MSG_SET_CAMERA_ACTIVE: m_Active = Args_Get<uint32_t>(args); break;
        default: break;
        }
        return TestClass::HandleMessage(id, args);
    }
    float m_Fov = 0.0f;
    uint32_t m_CameraType = 0;
    CQVActor* m_Target = nullptr;
    uint32_t m_Active = 0;
};

// Loading its resources, the Object of the first id deletes the actor of
// the second (as a level's object may); 0: none does.
inline uint32_t g_LoadDeletes[2] = {0, 0};

// An Object asks for its resources when the level loads them.
class TestObject : public TestClass<CLASS_OBJECT> {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id == MSG_INIT_PRELOAD && !m_Resource.empty()) {
            g_ActorSystem->HandleMessage(MSG_LOAD_RESOURCE, Args_Of(m_Resource.c_str()));
        }
        if (id == MSG_LOAD_RESOURCES && g_LoadDeletes[0] != 0 && m_Id == g_LoadDeletes[0]) {
            g_ActorSystem->DeleteActor(CQVActorSystem::GetActorById(g_LoadDeletes[1]));
        }
        return TestClass::HandleMessage(id, args);
    }
    std::string m_Resource = "Texture_Wall";
};

inline const ActorClassInfo GAME_TEST_CLASSES[] = {
    {CLASS_FILEIO, &CreateTestActor<TestClass<CLASS_FILEIO>>, &TestClass<CLASS_FILEIO>::RegisterProperties},
    {CLASS_ENVIRONMENT, &CreateTestActor<TestClass<CLASS_ENVIRONMENT>>,
     &TestClass<CLASS_ENVIRONMENT>::RegisterProperties},
    {CLASS_INVENTORY, &CreateTestActor<TestClass<CLASS_INVENTORY>>, &TestClass<CLASS_INVENTORY>::RegisterProperties},
    {TEST_TYPE, &CreateTestActor<TestClass<TEST_TYPE>>, &TestClass<TEST_TYPE>::RegisterProperties},
    {CLASS_PLAYER, &CreateTestActor<TestPlayer>, &TestPlayer::RegisterProperties},
    {CLASS_CHARACTER, &CreateTestActor<TestCharacter>, &TestCharacter::RegisterProperties},
    {CLASS_CAMERA, &CreateTestActor<TestCamera>, &TestCamera::RegisterProperties},
    {CLASS_OBJECT, &CreateTestActor<TestObject>, &TestObject::RegisterProperties},
};

struct DrawnText {
    std::string text;
    float x, y;
};

struct FilledRect {
    int32_t left, top, right, bottom;
    float color[4];
};

// What reached the services.
struct ServiceLog {
    std::vector<std::string> loaded, unloaded, found;
    std::vector<uint32_t> listenerEffects;
    int closes = 0;
    int presents = 0;
    std::vector<DrawnText> texts;
    std::vector<FilledRect> rects;
    std::vector<std::string> quads;  // the material of each quad
};
inline ServiceLog g_ServiceLog;

// Library items stand for names; the kernel only hands them on.
inline std::vector<std::string> g_ItemNames = {"Texture_Wall", "Rock", "Tree", "Menu_Back", "Menu_MarnLogo"};
inline char g_ItemSlots[16];

inline CQVLibraryItem* TestFindItem(const char* name, int32_t) {
    auto it = std::find(g_ItemNames.begin(), g_ItemNames.end(), name);
    if (it == g_ItemNames.end()) return nullptr;
    g_ServiceLog.found.push_back(name);
    return reinterpret_cast<CQVLibraryItem*>(&g_ItemSlots[it - g_ItemNames.begin()]);
}

inline std::string TestItemName(CQVLibraryItem* item) {
    return g_ItemNames[static_cast<size_t>(reinterpret_cast<char*>(item) - g_ItemSlots)];
}

inline void InstallTestServices() {
    ActorSystemServices& s = g_ActorSystemServices;
    s = ActorSystemServices{};
    s.findItem = &TestFindItem;
    s.loadItem = [](CQVLibraryItem* item) {
        g_ServiceLog.loaded.push_back(TestItemName(item));
        return 1;
    };
    s.unloadItem = [](CQVLibraryItem* item) {
        g_ServiceLog.unloaded.push_back(TestItemName(item));
        return 1;
    };
    s.setListenerEffect = [](uint32_t effect) { g_ServiceLog.listenerEffects.push_back(effect); };
    s.closeWindow = [] { ++g_ServiceLog.closes; };
    s.lookupText = [](const char* key) { return std::string(key) == "LOADING" ? std::string("Laden") : std::string(key); };
    s.getViewport = [](int32_t* w, int32_t* h) {
        *w = 800;
        *h = 600;
    };
    s.beginFrame = [] { return 1; };
    s.endFrame = [] { ++g_ServiceLog.presents; };
    s.addQuad = [](float, float, float, float, const float*, CQVLibraryItem* material) {
        g_ServiceLog.quads.push_back(material ? TestItemName(material) : "");
    };
    s.addText = [](float x, float y, const float*, const char* text, uint32_t) {
        g_ServiceLog.texts.push_back(DrawnText{text, x, y});
    };
    s.fillScreenRect = [](int32_t l, int32_t t, int32_t r, int32_t b, const float* color) {
        g_ServiceLog.rects.push_back(FilledRect{l, t, r, b, {color[0], color[1], color[2], color[3]}});
    };
}

class ActorSystemGameFixture : public testing::Test {
protected:
    void SetUp() override {
        g_Seen.clear();
        ResetGlobals();
        g_ServiceLog = ServiceLog{};
        g_LoadDeletes[0] = g_LoadDeletes[1] = 0;
        InstallTestServices();
        ActorClasses_SetTable(GAME_TEST_CLASSES, std::size(GAME_TEST_CLASSES), &RecordFileRange);
        ASSERT_EQ(RegisterActorClasses(), 1);
        system = g_ActorSystem;
        global = system->GetActorById(ACTOR_ID_GLOBAL);
        scenery = system->GetActorById(ACTOR_ID_SCENERY);
        g_Seen.clear();
    }
    void TearDown() override {
        ResetGlobals();
        g_ActorSystemServices = ActorSystemServices{};
    }
    CQVActor* Make(const char* name, CQVActor* parent, uint32_t id = ACTOR_ID_ANY, uint32_t type = TEST_TYPE) {
        return system->CreateActor(type, name, nullptr, parent, id, 1, 0);
    }
    void SetUint(uint32_t message, uint32_t value) { system->HandleMessage(message, Args_Of(&value)); }

    CQVActorSystem* system = nullptr;
    CQVActor* global = nullptr;
    CQVActor* scenery = nullptr;
};
