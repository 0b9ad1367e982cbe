#include "tools/sampledata/SampleGuard.h"

#include "actors/characters/Character.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"

#include <cstdint>

namespace {

constexpr float kBodyRadius = 23.0f;
// In the fourth room's corner behind the doorway, out of the views of the level.
constexpr float kTemplateX = 370.0f;
constexpr float kTemplateZ = 2030.0f;

}  // namespace

void SampleGuard_AddActors(SampleLevel& level) {
    if (level.root == nullptr || level.root->m_Parent == nullptr || level.rooms.size() < 4) return;
    CQVActor* scenery = level.root->m_Parent;
    auto* body = static_cast<CQVCharacter*>(level.Make(CLASS_CHARACTER, "Guard Template", scenery));
    if (body == nullptr) return;
    // The skin it made for itself has a run-time id; the level's own one is saved with it.
    if (CQVActor* made = body->Skin()) g_ActorSystem->DeleteActor(made);
    CQVActor* skin = level.Make(CLASS_SKINOBJECT, "Skin", body);
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
    Sample_Send(body, MSG_SET_POSITION, Vector3(kTemplateX, kBodyRadius, kTemplateZ));
    Sample_Send(body, MSG_SET_HEALTH, 99.0f);

    CQVActor* guard = level.Make(CLASS_GUARD, "Guard", level.rooms[3].group);
    if (guard == nullptr) return;
    Sample_Send(guard, MSG_SET_POSITION, Vector3(kSampleGuardX, 0.0f, kSampleGuardZ));
    // The nodes are the level's own actors, saved with it: made before the
    // type, which then makes no node of its own.
    CQVActor* first = level.Make(CLASS_PATH_NODE, "Node", guard);
    if (first == nullptr) return;
    Sample_Send(first, MSG_SET_POSITION, Vector3(0.0f, 0.0f, kSampleGuardLeg));
    Sample_Send<uint32_t>(guard, MSG_SET_GUARD_TYPE, 1);  // a Path Guard
    CQVActor* second = level.Make(CLASS_PATH_NODE, "Node", first);
    if (second == nullptr) return;
    Sample_Send(second, MSG_SET_POSITION, Vector3(-kSampleGuardLeg, 0.0f, 0.0f));
    Sample_Send<uint32_t>(guard, MSG_SET_GUARD_CHARACTER, body->m_Id);
}
