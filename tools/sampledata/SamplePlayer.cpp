#include "tools/sampledata/SamplePlayer.h"

#include "actors/characters/Character.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"

namespace {

// Its place: the first room's corner beside the door it is entered by,
// standing on the floor (the body's sphere centre this far above it).
constexpr float kInset = 60.0f;
constexpr float kBodyRadius = 23.0f;

}  // namespace

void SamplePlayer_AddActors(SampleLevel& level) {
    if (level.root == nullptr || level.root->m_Parent == nullptr || level.rooms.empty()) return;
    // Under the scenery, as a simulated body must be.
    auto* body = static_cast<CQVCharacter*>(level.Make(CLASS_CHARACTER, "PlayerCharacter", level.root->m_Parent));
    if (body == nullptr) return;
    // The skin it made for itself has a run-time id and no mesh: it goes, so nothing shows.
    if (CQVActor* made = body->Skin()) g_ActorSystem->DeleteActor(made);
    // A FirstPerson character gets no camera of its own at the game's start.
    Sample_Send<uint32_t>(body, MSG_SET_CHARACTER_TYPE, CHARACTER_FIRST_PERSON);
    const SampleRoom& room = level.rooms.front();
    Sample_Send(body, MSG_SET_POSITION, Vector3(room.min.x + kInset, kBodyRadius, room.min.z + kInset));
}
