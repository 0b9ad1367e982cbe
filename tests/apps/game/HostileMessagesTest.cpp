// Messages made to hurt the game: a timed message stored in an actor file
// and a script may name any id with any bytes. Whatever they hold, no
// handler of any class reads or writes outside the block, takes the bytes
// for a pointer, or answers a text longer than the block.

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/script/Script.h"
#include "tests/support/ResetGlobals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Hostile {
    uint32_t id;
    std::string bytes;
};

class HostileMessages : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ActorClasses_Install();
        ASSERT_EQ(RegisterActorClasses(), 1);
        Script_Init();
    }
    void TearDown() override { ResetGlobals(); }

    // Every class's actor, with a name (and a file name) longer than any block below.
    std::vector<CQVActor*> MakeOneOfEach(size_t fileNameLength) {
        CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
        std::vector<CQVActor*> actors{g_ActorSystem};
        const std::string name(400, 'N');
        const std::string fileName(fileNameLength, 'F');
        for (uint32_t type = 0; type < CLASS_TYPE_COUNT; ++type) {
            if (type == CLASS_ACTOR_SYSTEM || type == CLASS_NONE) continue;
            CQVActor* actor = g_ActorSystem->CreateActor(type, name.c_str(), nullptr, scenery, ACTOR_ID_ANY, 1, 0);
            if (actor == nullptr) continue;
            if (type == CLASS_FILE || type == CLASS_FILEIO) {
                actor->HandleMessage(MSG_SET_FILENAME, Args_Of(fileName.c_str()));
            }
            actors.push_back(actor);
        }
        return actors;
    }

    // As a timed message read from a file delivers it (the stored form), and
    // as the bytes stand.
    static void Deliver(CQVActor* actor, const Hostile& message) {
        std::vector<uint8_t> bytes(message.bytes.begin(), message.bytes.end());
        if (MessageArgs_AcceptsData(message.id, bytes.data(), bytes.size(), ArgSource::Stored)) {
            ArgBlock block;
            if (MessageArgs_Import(actor, block, message.id, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
                std::vector<uint8_t> imported(static_cast<const uint8_t*>(block.data),
                                              static_cast<const uint8_t*>(block.data) + block.size);
                actor->HandleMessage(message.id, MessageArgs(imported.data(), imported.size()));
            }
        }
        if (MessageArgs_AcceptsData(message.id, bytes.data(), bytes.size(), ArgSource::Raw)) {
            actor->HandleMessage(message.id, MessageArgs(bytes.data(), bytes.size()));
        }
    }
};

TEST_F(HostileMessages, NoHandlerOfAnyClassTakesFileOrScriptBytesBeyondTheirBlock) {
    const std::string eight(8, 'A'), sixteen(16, 'A'), many(300, 'A');
    const Hostile messages[] = {
        {MSG_GET_NAME, "AB"},          {MSG_GET_NAME, std::string("\2\0\0\0AB", 6)},
        {MSG_CREATE, eight},           {MSG_COLLECT_DESCENDANTS, sixteen},
        {MSG_RECURSIVE_COMMAND, sixteen}, {MSG_GET_FILE_STRINGLIST, sixteen},
        {MSG_GET_FILENAME, "AB"},      {MSG_GET_FILENAME, std::string("\2\0\0\0AB", 6)},
        {MSG_SET_LOCAL_MATRIX, many},  {MSG_FIND_CHILD_BY_NAME, many},
        {MSG_FIND_DESCENDANT_BY_NAME, many},
        // An actor argument: by path from a file, never as the bytes stand.
        {MSG_ADDFORCEINDIRECTIONOF, sixteen}, {MSG_SET_ORIENTATION, eight},
        {MSG_COPY_ACTOR, sixteen},
    };
    for (CQVActor* actor : MakeOneOfEach(304)) {
        for (const Hostile& message : messages) Deliver(actor, message);
    }
    // A raw pointer never comes from such bytes, nor do the engine's own messages.
    EXPECT_FALSE(MessageArgs_AcceptsData(MSG_GET_FILE_STRINGLIST, sixteen.data(), sixteen.size(), ArgSource::Raw));
    EXPECT_FALSE(MessageArgs_AcceptsData(MSG_RECURSIVE_COMMAND, sixteen.data(), sixteen.size(), ArgSource::Raw));
    EXPECT_FALSE(MessageArgs_AcceptsData(MSG_COLLECT_DESCENDANTS, sixteen.data(), sixteen.size(), ArgSource::Raw));
    EXPECT_FALSE(MessageArgs_AcceptsData(MSG_SET_LOCAL_MATRIX, many.data(), many.size(), ArgSource::Stored));
}

// An actor argument is an actor only where the engine put it there: by the
// path a file names, or by the script interpreter; the same bytes as they
// stand are refused, at the top of the block and inside a nested command.
TEST_F(HostileMessages, ActorArgumentsComeOnlyFromTheEnginesOwnPacking) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* actor = g_ActorSystem->CreateActor(CLASS_BASE, "Pushed", nullptr, scenery, ACTOR_ID_ANY, 1, 0);
    ASSERT_NE(actor, nullptr);
    struct {
        CQVActor* other;
        float strength, rand, angle;
    } force{actor, 1.0f, 0.0f, 0.0f};
    uint8_t nested[4 + sizeof force];
    const uint32_t nestedId = MSG_ADDFORCEINDIRECTIONOF;
    std::memcpy(nested, &nestedId, 4);
    std::memcpy(nested + 4, &force, sizeof force);
    const struct {
        uint32_t id;
        const void* bytes;
        size_t size;
    } blocks[] = {
        {MSG_ADDFORCEINDIRECTIONOF, &force, sizeof force},
        {MSG_ACTION_COMMAND, nested, sizeof nested},
    };
    for (const auto& block : blocks) {
        SCOPED_TRACE(block.id);
        EXPECT_FALSE(MessageArgs_AcceptsData(block.id, block.bytes, block.size, ArgSource::Raw));
        EXPECT_TRUE(MessageArgs_AcceptsData(block.id, block.bytes, block.size, ArgSource::Packed));
    }
    const char path[] = "/Scenery/Pushed\0\0\0\x80?\0\0\0\0\0\0\0\0";
    EXPECT_TRUE(MessageArgs_AcceptsData(MSG_ADDFORCEINDIRECTIONOF, path, sizeof path - 1, ArgSource::Stored));
}

// The same from scripts, whose texts an actor file carries: calls with
// arguments they cannot hold, and answers longer than the script's own
// argument area.
TEST_F(HostileMessages, ScriptsCannotReachBeyondTheirArguments) {
    const std::vector<CQVActor*> actors = MakeOneOfEach(9000);
    const char* scripts[] = {
        "this.get__file_stringlist(\"AAAAAAAAAAAAAAAA\");",
        "this.get_filename(\"AB\");",
        "this.set_wsposition((1,2,3));",
        "this.on_enter_drawgroup(5);",
    };
    for (CQVActor* actor : actors) {
        for (const char* script : scripts) actor->HandleMessage(MSG_EXECUTE_TEXT, Args_Of(script));
    }
    // An answer is cut to the block, and the FileIO actor's name is whole.
    CQVActor* fileIO = nullptr;
    for (CQVActor* actor : actors) {
        if (actor->m_ClassType == CLASS_FILEIO) fileIO = actor;
    }
    ASSERT_NE(fileIO, nullptr);
    char answer[8] = {};
    fileIO->HandleMessage(MSG_GET_FILENAME, MessageArgs(answer, sizeof answer));
    EXPECT_EQ(std::string(answer), "FFFFFFF");
    std::vector<char> whole(9001);
    fileIO->HandleMessage(MSG_GET_FILENAME, MessageArgs(whole.data(), whole.size()));
    EXPECT_EQ(std::string(whole.data()), std::string(9000, 'F'));
}

}  // namespace
