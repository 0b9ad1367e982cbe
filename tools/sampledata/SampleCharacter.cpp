#include "tools/sampledata/SampleCharacter.h"

#include "actors/characters/Character.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"

#include <cstdint>

namespace {

// The body's sphere: its centre, the Character's place, stands this far above the floor.
constexpr float kBodyRadius = 23.0f;
constexpr float kFloorDepth = 50.0f;
constexpr float kPi = 3.1415927f;
constexpr uint32_t kEveryFrame = TIMED_SAVED_FLAG | (uint32_t(TIMED_MODE_EVERY_FRAME) << 8);
constexpr uint32_t kEachRound = TIMED_SAVED_FLAG | (3u << 8);
// The walk starts a moment after the level does, once the body stands.
constexpr float kStart = 0.5f;

// A box the bodies stand on, the room's floor: its top at y = 0.
void AddFloor(SampleLevel& level, const SampleRoom& room, uint32_t number) {
    CQVActor* floor = level.Make(CLASS_BASE, ("Floor " + std::to_string(number)).c_str(), room.group);
    if (floor == nullptr) return;
    ColObj volume;
    volume.name = "Floor";
    volume.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
    volume.boxMin = Vector3(room.min.x, -kFloorDepth, room.min.z);
    volume.boxMax = Vector3(room.max.x, 0.0f, room.max.z);
    floor->m_ColObjs.push_back(volume);
}

template <typename T>
void Every(CQVActor* actor, uint32_t message, T value, float at) {
    actor->ScheduleMessage(message, Args_Of(&value), kEachRound, at, 0.0f, kSampleCharacterRound);
}

}  // namespace

void SampleCharacter_AddActors(SampleLevel& level) {
    for (uint32_t i = 0; i < level.rooms.size(); ++i) AddFloor(level, level.rooms[i], i + 1);
    if (level.root == nullptr || level.root->m_Parent == nullptr) return;
    // Under the scenery: a simulated body leaves any other parent for it.
    auto* walker = static_cast<CQVCharacter*>(level.Make(CLASS_CHARACTER, "Walker", level.root->m_Parent));
    if (walker == nullptr) return;
    // The skin it made for itself has a run-time id; the level's own one is saved with it.
    if (CQVActor* made = walker->Skin()) g_ActorSystem->DeleteActor(made);
    CQVActor* skin = level.Make(CLASS_SKINOBJECT, "Skin", walker);
    CQVEngine* engine = CQVEngine::GetInstance();
    auto* mesh = engine ? static_cast<CQVMeshItem*>(engine->FindItem("Fig Figure", LIBRARY_MESH)) : nullptr;
    if (skin == nullptr || mesh == nullptr) {
        level.ok = false;
        return;
    }
    Sample_Send(skin, MSG_SET_MESH, mesh);
    Sample_Send(skin, MSG_SET_POSITION, Vector3(0.0f, -kBodyRadius, 0.0f));
    skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("Fig"));
    if (skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr) != 1) level.ok = false;

    Sample_Send<uint32_t>(walker, MSG_SET_MASTER, 1);
    Sample_Send(walker, MSG_SET_POSITION, Vector3(kSampleCharacterX, kBodyRadius, kSampleCharacterZ));
    Sample_Send(walker, MSG_SET_HEALTH, 99.0f);
    // No push in the air: a leap keeps the walk's speed.
    Sample_Send(walker, MSG_SET_CPMOVEONJUMP, 0.0f);
    walker->HandleMessage(MSG_PRECALCULATE, nullptr);

    walker->ScheduleMessage(MSG_CC_FORWARD, nullptr, kEveryFrame, kStart, 0.0f, 0.0f);
    const float leg = kSampleCharacterRound / 4.0f;
    // A body faces its -z, so these headings walk the square along +z, +x,
    // -z and -x, each a quarter turn on from the one before.
    const float headings[4] = {kPi, -kPi / 2.0f, 0.0f, kPi / 2.0f};
    for (int corner = 0; corner < 4; ++corner)
        Every(walker, MSG_SET_ROT_Y_3D0, headings[corner], kStart + corner * leg);
    Every(walker, MSG_CC_JUMP, 0u, kSampleCharacterJump);
    Every(walker, MSG_CC_JUMP_STOP, 0u, kSampleCharacterJump + 0.2f);
}
