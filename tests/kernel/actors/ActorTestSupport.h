#pragma once
// A fresh actor system per test, built on a small class table of its own:
// the kernel tests need no class of the scene, character or gameplay
// libraries, only actors that record what reaches them.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// One message as an actor saw it: the id and the first word of its block.
struct SeenMessage {
    uint32_t actorId;
    uint32_t id;
    uint32_t word;
    float real;
};

inline std::vector<SeenMessage> g_Seen;

// What a command spy receives: {id, block, spied actor}.

// Records every message it receives, then handles it as a base actor does.
class RecordingActor : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        SeenMessage seen{m_Id, id, 0, 0.0f};
        if (id >= MSG_CALLBACK_CHILD_ADDED && id <= MSG_CALLBACK_RELCHILD_REMOVED) {
            // The tree notifications carry {actor, parent}: note the actor.
            if (CQVActor* actor = Args_Pointer<CQVActor>(id, args)) seen.word = actor->m_Id;
        } else if (args && (id == MSG_COMMAND_SPY || GetCommandDesc(id).argSize != 0)) {
            seen.word = Args_Get<uint32_t>(args);
            seen.real = Args_Get<float>(args);
        }
        g_Seen.push_back(seen);
        return CQVActor::HandleMessage(id, args);
    }
    static void RegisterProperties() {}
};

template <uint32_t Type>
class TestClass : public RecordingActor {
public:
    TestClass() { m_ClassType = Type; }
    static void RegisterProperties() {
        g_ClassRecords[Type].Define(("Test " + std::to_string(Type)).c_str(), "", {CLASS_BASE, Type});
    }
};

template <typename T>
CQVActor* CreateTestActor() {
    return new T;
}

inline std::vector<std::string> g_FileRanges;

inline void RecordFileRange(CQVActor* actor, uint32_t first, uint32_t last, const char* file) {
    g_FileRanges.push_back(actor->m_Name + " " + std::to_string(first) + "-" + std::to_string(last) + " " + file);
}

// The FileIO, Environment and Inventory types that start-up creates, and a
// recording class for the tests' own actors.
constexpr uint32_t TEST_TYPE = CLASS_DOOR;
inline const ActorClassInfo TEST_CLASSES[] = {
    {CLASS_FILEIO, &CreateTestActor<TestClass<CLASS_FILEIO>>, &TestClass<CLASS_FILEIO>::RegisterProperties},
    {CLASS_ENVIRONMENT, &CreateTestActor<TestClass<CLASS_ENVIRONMENT>>,
     &TestClass<CLASS_ENVIRONMENT>::RegisterProperties},
    {CLASS_INVENTORY, &CreateTestActor<TestClass<CLASS_INVENTORY>>, &TestClass<CLASS_INVENTORY>::RegisterProperties},
    {TEST_TYPE, &CreateTestActor<TestClass<TEST_TYPE>>, &TestClass<TEST_TYPE>::RegisterProperties},
};

// Fires a pending timed message as the timed-message pass would.
inline int Fire(TimedMessage* record) { return record->actor->HandleMessage(record->messageId, record->args); }

class ActorSystemFixture : public testing::Test {
protected:
    void SetUp() override {
        g_Seen.clear();
        g_FileRanges.clear();
        ResetGlobals();
        ActorClasses_SetTable(TEST_CLASSES, std::size(TEST_CLASSES), &RecordFileRange);
        ASSERT_EQ(RegisterActorClasses(), 1);
        system = g_ActorSystem;
        global = system->GetActorById(ACTOR_ID_GLOBAL);
        g_Seen.clear();
    }

    void TearDown() override {
        delete g_ActorSystem;
        EXPECT_EQ(g_ActorSystem, nullptr);
        ResetGlobals();
    }

    // A recording actor under the given parent (Global when none), with a free id.
    CQVActor* Make(const char* name, CQVActor* parent = nullptr, uint32_t id = ACTOR_ID_ANY) {
        return system->CreateActor(TEST_TYPE, name, nullptr, parent ? parent : global, id, 1, 0);
    }

    // The ids of the messages an actor saw, in order, from the given list.
    std::vector<uint32_t> SeenBy(const CQVActor* actor) const {
        std::vector<uint32_t> ids;
        for (const SeenMessage& seen : g_Seen) {
            if (seen.actorId == actor->m_Id) ids.push_back(seen.id);
        }
        return ids;
    }

    CQVActorSystem* system = nullptr;
    CQVActor* global = nullptr;
};
