#pragma once
// The Character on the game's own class table: its skin is the SkinObject
// the Character makes for itself, given the jointed figure and still motions
// of the names a test asks for (a walk carries the figure by its root
// displacement). A spy records the messages the Character handles, and the
// payload helpers read and write its actor-file record at a version.

#include "actors/characters/Character.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"
#include "tests/actors/characters/SkinObjectTestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

// What the Character handled: the id, its text argument where its first
// argument is a text, else its first word.
struct HandledMessage {
    uint32_t id;
    std::string text;
    uint32_t word;
};

class CharacterSpy : public CQVActor {
public:
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id != MSG_COMMAND_SPY) return CQVActor::HandleMessage(id, args);
        const CommandSpyArgs spied = Args_Get<CommandSpyArgs>(args);
        const MessageArgs& block = *spied.args;
        const std::vector<uint32_t>& types = MessageArgs_Signature(spied.id);
        const bool text = !types.empty() && types[0] == VT_STRING;
        seen.push_back({spied.id, text ? Args_TextOr(block) : "", text ? 0u : Args_Get<uint32_t>(block)});
        return 1;
    }
    // How often the id was handled.
    size_t Count(uint32_t id) const {
        return static_cast<size_t>(std::count_if(seen.begin(), seen.end(), [id](const HandledMessage& m) { return m.id == id; }));
    }
    // The texts of the id, in order.
    std::vector<std::string> Texts(uint32_t id) const {
        std::vector<std::string> texts;
        for (const HandledMessage& m : seen) {
            if (m.id == id) texts.push_back(m.text);
        }
        return texts;
    }
    std::vector<HandledMessage> seen;
};

// One row of a property sheet as a class registers it.
struct SheetRowCase {
    const char* label;
    uint32_t kind, set, get;
    float scale = 1.0f;
};

// The class's sheet holds these rows in this order, and its table's pairs
// carry the argument types of their messages.
inline void ExpectSheet(const ClassRecord& record, const std::vector<SheetRowCase>& rows) {
    ASSERT_EQ(record.properties.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const PropertyDesc& row = record.properties[i];
        EXPECT_EQ(row.label, rows[i].label) << i;
        EXPECT_EQ(row.kind, rows[i].kind) << i;
        EXPECT_EQ(row.setMessage, rows[i].set) << i;
        EXPECT_EQ(row.getMessage, rows[i].get) << i;
        EXPECT_EQ(row.scale, rows[i].scale) << i;
    }
    EXPECT_EQ(MessageRows_CheckTypes(record.messageRows, record.messageRowCount), "");
}

// The motion of a name for the Character's skin: its length, and how far
// its root carries the figure over that length (forward is -z, the way a
// body faces).
struct CharacterMotion {
    std::string name;
    float length = 1.0f;
    Vector3 displacement = Vector3(0.0f, 0.0f, 0.0f);
};

inline const std::vector<CharacterMotion>& DefaultCharacterMotions() {
    static const std::vector<CharacterMotion> motions = {
        {"N_Neutral", 1.0f},
        {"N_Forward", 1.0f, Vector3(0.0f, 0.0f, -120.0f)},
        {"R_Forward", 0.6f, Vector3(0.0f, 0.0f, -216.0f)},
        {"J_Neutral", 0.8f},
        {"J_Forward", 0.8f, Vector3(0.0f, 0.0f, -96.0f)},
        {"F_Neutral", 1.0f},
        {"N_Die0", 1.0f},
        {"N_Die2", 1.0f},
        {"N_Dead0", 1.0f},
        {"N_Dead2", 1.0f},
        {"N_Gethit0", 0.5f},
        {"N_Damage0", 0.5f},
        {"N_Action", 0.5f},
    };
    return motions;
}

constexpr uint32_t kCharacterPhysique = 7;

class CharacterFixture : public SkinObjectFixture {
protected:
    void SetUp() override {
        SkinObjectFixture::SetUp();
        if (HasFatalFailure()) return;
        // The skin's material gives the body the physics material of characters: no bounce, no friction.
        AddMaterial(4, "Fallback Material", kCharacterPhysique);
    }
    void TearDown() override {
        characterSpy.reset();
        SkinObjectFixture::TearDown();
    }

    // A Character with its own skin and the motions given; bound again once
    // the skin has them, as a loaded level binds it.
    CQVCharacter* MakeCharacter(const char* name = "Hero",
                                const std::vector<CharacterMotion>& motions = DefaultCharacterMotions(),
                                CQVActor* parent = nullptr) {
        auto* character = static_cast<CQVCharacter*>(Make(CLASS_CHARACTER, name, parent));
        if (character == nullptr) return nullptr;
        auto* skin = dynamic_cast<CQVSkinObject*>(character->Skin());
        EXPECT_NE(skin, nullptr);
        if (skin == nullptr) return character;
        CQVMeshItem* mesh = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh));
        skin->HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
        GiveCharacterMotions(skin, motions);
        character->HandleMessage(MSG_PRECALCULATE, nullptr);
        return character;
    }

    void GiveCharacterMotions(CQVSkinObject* skin, const std::vector<CharacterMotion>& motions) {
        for (const CharacterMotion& motion : motions) {
            const uint32_t id = nextMotionId++;
            CQVMotionItem* item = AddMotion(id, "Tst_" + motion.name, StillMotion(motion.length, motion.displacement));
            item->shared = 1;
            SkinMotion entry;
            entry.item = item;
            entry.itemId = static_cast<int32_t>(id);
            entry.length = motion.length;
            entry.name = motion.name;
            skin->m_Motions.push_back(entry);
        }
    }

    static CQVSkinObject* SkinOf(CQVCharacter* character) {
        return dynamic_cast<CQVSkinObject*>(character->Skin());
    }

    CharacterSpy& Spy(CQVActor* actor) {
        characterSpy = std::make_unique<CharacterSpy>();
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(characterSpy.get());
        actor->m_CommandSpies.push_back(std::move(link));
        return *characterSpy;
    }

    static void Tell(CQVActor* actor, uint32_t id) { actor->HandleMessage(id, nullptr); }
    static int Text(CQVActor* actor, uint32_t id, const char* text) { return actor->HandleMessage(id, Args_Of(text)); }
    template <typename T>
    static std::string AskText(CQVActor* actor, uint32_t id) {
        char text[64] = {};
        actor->HandleMessage(id, Args_Of(text));
        return text;
    }

    std::unique_ptr<CharacterSpy> characterSpy;
};

// A level for the Character to move in: one draw group holding a floor box
// whose top is at y = 0 (and walls where a test adds them), frames run as
// the frame loop runs them: the timed messages, then the collision pass.
class CharacterLevelFixture : public CharacterFixture {
protected:
    void SetUp() override {
        CharacterFixture::SetUp();
        if (HasFatalFailure()) return;
        g_GlobalClock.flags &= ~CLOCK_MANUAL;
        group = Make(CLASS_DRAW_GROUP, "Level");
        ASSERT_NE(group, nullptr);
        const Vector3 min(-5000.0f, -3000.0f, -5000.0f), max(5000.0f, 5000.0f, 5000.0f);
        Send(group, MSG_SET_BOX_MIN, min);
        Send(group, MSG_SET_BOX_MAX, max);
        g_ActorSystem->BroadcastMessage(MSG_GET_ASSIGN_DRAWGROUPID, nullptr);
        floor = AddBlock("Floor", Vector3(-4000.0f, -100.0f, -4000.0f), Vector3(4000.0f, 0.0f, 4000.0f));
    }

    // A static box of the level that blocks the body.
    CQVActor* AddBlock(const char* name, const Vector3& min, const Vector3& max) {
        CQVActor* block = Make(CLASS_BASE, name);
        ColObj volume;
        volume.name = name;
        volume.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        volume.boxMin = min;
        volume.boxMax = max;
        block->m_ColObjs.push_back(volume);
        block->m_DrawGroupId = group->m_DrawGroupId;
        g_ActorSystem->AddToDrawGroup(block, 0);
        return block;
    }

    // A Character of the level, driven here (local control), standing at the place.
    CQVCharacter* MakeLevelCharacter(const Vector3& at, int32_t type = CHARACTER_CUSTOM,
                                     const std::vector<CharacterMotion>& motions = DefaultCharacterMotions()) {
        CQVCharacter* character = MakeCharacter("Hero", motions);
        if (character == nullptr) return nullptr;
        Send<uint32_t>(character, MSG_SET_MASTER, 1);
        Send<uint32_t>(character, MSG_SET_CHARACTER_TYPE, static_cast<uint32_t>(type));
        Send(character, MSG_SET_POSITION, at);
        Send(character, MSG_SET_HEALTH, 99.0f);
        return character;
    }

    // One frame of dt seconds.
    static void Frame(float dt = kFrame) {
        g_FrameTime = dt;
        ++g_FrameNumber;
        g_ActorSystem->UpdateClock(&g_GlobalClock);
        g_ActorSystem->RunTimedMessagePass();
        g_ActorSystem->RunCollisionPass(dt);
    }
    static void Frames(int count, float dt = kFrame) {
        for (int i = 0; i < count; ++i) Frame(dt);
    }
    static constexpr float kFrame = 1.0f / 60.0f;

    CQVActor* group = nullptr;
    CQVActor* floor = nullptr;
};

// The record of an actor at a file version, as bytes: the base fields
// alone, or the whole record.
inline std::string Character_PayloadPath() {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return (std::filesystem::temp_directory_path() / ("qv_character_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

inline std::string Character_Write(CQVActor* actor, uint32_t version, bool baseOnly = false) {
    const std::string path = Character_PayloadPath();
    {
        CQVActorArchive archive;
        archive.version = version;
        EXPECT_TRUE(archive.Open(path.c_str(), "wb"));
        EXPECT_EQ(baseOnly ? actor->CQVActor::Serialize(&archive, 0) : actor->Serialize(&archive, 0), 1);
        archive.Close();
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    in.close();
    std::filesystem::remove(path);
    return bytes;
}

// Reads the record as the loader hands it over (after the class type and
// id); the actor's result, and how many bytes it left unread.
inline int Character_Read(CQVActor* actor, const std::string& bytes, uint32_t version, uint32_t* left = nullptr) {
    const std::string path = Character_PayloadPath();
    std::ofstream(path, std::ios::binary) << bytes.substr(8);
    CQVActorArchive archive;
    archive.version = version;
    EXPECT_TRUE(archive.Open(path.c_str(), "rb"));
    const int result = actor->Serialize(&archive, 0);
    if (left) *left = archive.GetRemaining();
    archive.Close();
    std::filesystem::remove(path);
    return result;
}

// The words after the base fields.
inline std::vector<uint32_t> Character_Words(const std::string& record, const std::string& base) {
    std::vector<uint32_t> words((record.size() - base.size()) / 4);
    if (!words.empty()) std::memcpy(words.data(), record.data() + base.size(), words.size() * 4);
    return words;
}

inline float Character_Float(uint32_t word) {
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}
