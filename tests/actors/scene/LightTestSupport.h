#pragma once
// A fresh actor system of the game's own classes per test, with the engine
// object (no device unless a test opens one), frames run on an injected
// clock, and the engine lights read back as the device would get them.

#include "actors/scene/Light.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/render/Render.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

// One frame of dt seconds: the global clock advances and the timed
// messages due run, as the frame loop does.
inline void LightTest_Frame(float dt) {
    g_FrameTime = dt;
    ++g_FrameNumber;
    g_ActorSystem->UpdateClock(&g_GlobalClock);
    g_ActorSystem->RunTimedMessagePass();
}

// Sends a message with one value as its argument block.
template <typename T>
int LightTest_Send(CQVActor* actor, uint32_t id, const T& value) {
    T copy = value;
    return actor->HandleMessage(id, Args_Of(&copy));
}

class LightActorTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_EQ(CQVEngine::Create(), 1);
        engine = CQVEngine::GetInstance();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    }
    void TearDown() override {
        ResetGlobals();
        g_FrameTime = 0.0f;
    }

    template <typename T = CQVActor>
    T* Make(uint32_t type, const char* name, CQVActor* parent = nullptr) {
        CQVActor* actor = g_ActorSystem->CreateActor(type, name, nullptr, parent ? parent : scenery, ACTOR_ID_ANY, 1, 0);
        EXPECT_NE(actor, nullptr);
        return static_cast<T*>(actor);
    }

    static void Frame(float dt) { LightTest_Frame(dt); }
    template <typename T>
    static int Send(CQVActor* actor, uint32_t id, const T& value) {
        return LightTest_Send(actor, id, value);
    }
    template <typename T>
    static T Ask(CQVActor* actor, uint32_t id, int* result = nullptr) {
        T value{};
        const int r = actor->HandleMessage(id, Args_Of(&value));
        if (result) *result = r;
        return value;
    }

    // The engine light's record as the next apply hands it to the device.
    static const D3DLIGHT8& Record(const CQVLight* light) { return light->m_RendererLight->light; }
    bool IsLocalLightOn(const CQVLight* light) const {
        for (const CQVLightItem* item : CQVRender::Get().Lights().localLights) {
            if (item == light->m_RendererLight) return true;
        }
        return false;
    }

    CQVEngine* engine = nullptr;
    CQVActor* scenery = nullptr;
};

#include "kernel/base/Archive.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// An actor's Serialize payload at a file version, as bytes, and back.
inline std::filesystem::path LightTest_PayloadPath() {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return std::filesystem::temp_directory_path() / ("qv_payload_" + std::to_string(::getpid()) + "_" + name);
}

inline std::string LightTest_WritePayload(CQVActor* actor, uint32_t version) {
    const std::filesystem::path path = LightTest_PayloadPath();
    {
        CQVActorArchive archive;
        archive.version = version;
        EXPECT_TRUE(archive.Open(path.c_str(), "wb"));
        EXPECT_EQ(actor->Serialize(&archive, 0), 1);
        archive.Close();
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(path);
    return bytes;
}

// The actor's result of reading the bytes as the loader hands them over,
// after the record's class type and id; the whole payload must be taken.
inline int LightTest_ReadPayload(CQVActor* actor, const std::string& bytes, uint32_t version) {
    const std::filesystem::path path = LightTest_PayloadPath();
    std::ofstream(path, std::ios::binary) << bytes.substr(8);
    CQVActorArchive archive;
    archive.version = version;
    EXPECT_TRUE(archive.Open(path.c_str(), "rb"));
    const int result = actor->Serialize(&archive, 0);
    EXPECT_EQ(archive.GetRemaining(), 0u);
    archive.Close();
    std::filesystem::remove(path);
    return result;
}
