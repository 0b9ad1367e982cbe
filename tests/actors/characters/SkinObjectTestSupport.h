#pragma once
// The SkinObject on the game's own class table (the mesh actor's fixture),
// with the jointed figure of the content tools put straight into the
// library: a mesh item holding only the figure's bones (no device needed)
// and motion items holding their tracks. The global clock is held by hand,
// one step per frame.

#include "actors/characters/SkinObject.h"
#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/NameTable.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tests/actors/scene/ObjectTestSupport.h"
#include "tests/support/ResetGlobals.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// A message an actor handled, as its command spy saw it: who handled it,
// the id, a text argument (for the messages that carry one) and the first word.
struct SpiedMessage {
    std::string who;
    uint32_t id;
    std::string text;
    uint32_t word;
    bool operator==(const SpiedMessage&) const = default;
};

inline void PrintTo(const SpiedMessage& m, std::ostream* out) {
    *out << "{" << m.who << ", " << m.id << ", \"" << m.text << "\", " << m.word << "}";
}

// Watches what the actors it is attached to handle; keeps the messages of
// the ids it is asked to watch, in order.
class MessageSpy : public CQVActor {
public:
    explicit MessageSpy(std::vector<uint32_t> watched) : m_Watched(std::move(watched)) {}
    void Attach(CQVActor* actor) {
        auto link = std::make_unique<ActorLink>();
        link->SetOwner(actor);
        link->SetTarget(this);
        actor->m_CommandSpies.push_back(std::move(link));
    }
    int HandleMessage(uint32_t id, MessageArgs args) override {
        if (id != MSG_COMMAND_SPY) return CQVActor::HandleMessage(id, args);
        const CommandSpyArgs spied = Args_Get<CommandSpyArgs>(args);
        if (std::find(m_Watched.begin(), m_Watched.end(), spied.id) == m_Watched.end()) return 1;
        const MessageArgs& block = *spied.args;
        const bool text = spied.id == MSG_CALLBACK_MOTION_SET;
        seen.push_back({spied.actor->m_Name, spied.id, text ? Args_TextOr(block) : "",
                        text ? 0u : Args_Get<uint32_t>(block)});
        return 1;
    }
    std::vector<SpiedMessage> seen;

private:
    std::vector<uint32_t> m_Watched;
};

constexpr uint32_t kFigureMesh = 10;

class SkinObjectFixture : public ObjectSceneFixture {
protected:
    void SetUp() override {
        ObjectSceneFixture::SetUp();
        if (HasFatalFailure()) return;
        figure = MeshBuild_Figure(2);
        AddBoneMesh(kFigureMesh, "Figure", figure.bones);
        g_GlobalClock.flags |= CLOCK_MANUAL;
    }
    void TearDown() override {
        ObjectSceneFixture::TearDown();
        spy.reset();
    }

    // A loaded skinned mesh item of one subset record and the bones, without geometry.
    static CQVMeshItem* AddBoneMesh(uint32_t id, const char* name, const std::vector<QvmBone>& bones) {
        auto* mesh = new CQVMeshItem;
        mesh->name = name;
        mesh->loaded = 1;
        mesh->skinned = bones.empty() ? 0 : 1;
        mesh->subsetInfos.resize(1);
        for (const QvmBone& from : bones) {
            Bone* bone = new Bone;
            bone->parent = from.parent;
            bone->nameId = g_NameTable.FindOrAdd(from.name.c_str());
            bone->offset = from.offset;
            mesh->bones.push_back(bone);
        }
        g_Library.SetItem(id, mesh);
        return mesh;
    }

    // A loaded motion item of the file's tracks.
    static CQVMotionItem* AddMotion(uint32_t id, const std::string& name, const MotFile& file) {
        auto* motion = new CQVMotionItem;
        motion->name = name;
        motion->loaded = 1;
        for (const KeyTrack& track : file.tracks) motion->tracks.push_back(KeyTrack_Copy(&track));
        motion->trackCount = static_cast<uint32_t>(motion->tracks.size());
        motion->rootDisplacement = file.rootDisplacement;
        g_Library.SetItem(id, motion);
        return motion;
    }

    // Every bone of the figure still at its joint for the length; the root
    // carries the figure `displacement` over the length and its track moves
    // from its joint by `rootTravel`.
    MotFile StillMotion(float length, const Vector3& displacement = Vector3(0, 0, 0),
                        const Vector3& rootTravel = Vector3(0, 0, 0)) const {
        MotFile file;
        file.rootDisplacement = displacement;
        for (const QvmBone& bone : figure.bones) {
            Vector3 joint(-bone.offset.m[3][0], -bone.offset.m[3][1], -bone.offset.m[3][2]);
            if (bone.parent >= 0) {
                const Matrix& parent = figure.bones[static_cast<size_t>(bone.parent)].offset;
                joint += Vector3(parent.m[3][0], parent.m[3][1], parent.m[3][2]);
            }
            KeyTrack* track = MotWriter_AddTrack(&file, bone.name.c_str(), length);
            const Vector3 end = bone.parent < 0 ? joint + rootTravel : joint;
            track->rotationKeys.push_back({Quaternion{0, 0, 0, 1}, 0.0f, 0});
            track->positionKeys.push_back({joint, 0.0f, 0});
            track->positionKeys.push_back({end, length, 0});
            KeyTrack_ComputeInterpolation(track);
        }
        return file;
    }

    // Motion entries of the given names and lengths, in order, each on its
    // own library item (ids from 100); the entries keep their defaults.
    void GiveMotions(CQVSkinObject* skin, const std::vector<std::pair<std::string, float>>& motions) {
        for (const auto& [name, length] : motions) {
            const uint32_t id = nextMotionId++;
            CQVMotionItem* item = AddMotion(id, "Tst_" + name, StillMotion(length));
            item->shared = 1;  // as acquired
            SkinMotion entry;
            entry.item = item;
            entry.itemId = static_cast<int32_t>(id);
            entry.length = length;
            entry.name = name;
            skin->m_Motions.push_back(entry);
        }
    }

    CQVSkinObject* MakeSkin(const char* name, CQVActor* parent = nullptr) {
        auto* skin = dynamic_cast<CQVSkinObject*>(Make(CLASS_SKINOBJECT, name, parent));
        if (skin == nullptr) return nullptr;
        CQVMeshItem* mesh = static_cast<CQVMeshItem*>(g_Library.At(kFigureMesh));
        skin->HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
        return skin;
    }
    CQVActor* MakeBase(const char* name, CQVActor* parent = nullptr) { return Make(CLASS_BASE, name, parent); }

    // The next frame, dt seconds on.
    static void Advance(float dt) {
        g_GlobalClock.dt = dt;
        g_GlobalClock.previousTime = g_GlobalClock.time;
        g_GlobalClock.time += dt;
        ++g_FrameNumber;
    }
    // The next frame, and the motion step as a character sends it.
    static void Step(CQVActor* skin, float dt) {
        Advance(dt);
        skin->HandleMessage(MSG_UPDATE, nullptr);
    }
    static int SetMotion(CQVActor* actor, const char* name) {
        return actor->HandleMessage(MSG_SET_MOTION, Args_Of(name));
    }
    // The name of the motion a layer plays, "" for none.
    static std::string Playing(CQVSkinObject* skin, uint32_t layer = 0) {
        const SkinMotion* motion = skin->MotionOf(skin->m_Layers[layer]);
        return motion ? motion->name : "";
    }

    // Watches what the actors handle.
    MessageSpy& Watch(std::vector<CQVActor*> actors, std::vector<uint32_t> ids) {
        spy = std::make_unique<MessageSpy>(std::move(ids));
        for (CQVActor* actor : actors) spy->Attach(actor);
        return *spy;
    }

    QvmFile figure;
    uint32_t nextMotionId = 100;
    std::unique_ptr<MessageSpy> spy;
};
