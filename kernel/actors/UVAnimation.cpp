#include "kernel/actors/UVAnimation.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"


namespace {

// No pair of its own: its behaviour is all in the handler.
constexpr MessageRow kUVAnimationRows[] = {
    SheetRow("UVAnimation Properties", PROP_TITLE),
};

constexpr MessageTable kUVAnimationMessages{kUVAnimationRows};

}  // namespace

CQVUVAnimation::CQVUVAnimation() { m_ClassType = CLASS_UVANIMATION; }

void CQVUVAnimation::SwitchCollision(bool on) {
    if (on == ((m_Flags & ACTOR_COLLISION_ENABLED) != 0)) return;
    if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(this, 0);
    uint32_t value = on ? 1 : 0;
    HandleMessage(MSG_SET_COLLISION_ENABLE, Args_Of(&value));
    if (g_ActorSystem) g_ActorSystem->AddToDrawGroup(this, 0);
}

int CQVUVAnimation::HandleMessage(uint32_t id, MessageArgs args) {
    kUVAnimationMessages.Apply(*this, id, args);
    switch (id) {
    case MSG_CREATE:
        // A copy keeps what the factory gave it; a new actor (the block
        // holds a null source) is initialised by the base.
        if (Args_Pointer<CQVActor>(id, args) != nullptr) return 1;
        break;
    case MSG_ACTION_START:
    case MSG_KILL:
        SwitchCollision(true);
        break;
    case MSG_ACTION_STOP:
        SwitchCollision(false);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVUVAnimation::Serialize(CQVActorArchive* archive, uint32_t flags) {
    // The record's class type and id, so that the file's count matches the
    // records it holds; nothing else is kept.
    if (archive->direction == ARCHIVE_WRITING && archive->version >= 1) {
        archive->SerializeDword(&m_ClassType);
        archive->SerializeDword(&m_Id);
    }
    return 1;
}

void CQVUVAnimation::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_UVANIMATION];
    record.Define("UVAnimation", "UVAnimation", {CLASS_BASE, CLASS_UVANIMATION});
    kUVAnimationMessages.AddSheet(record);
}
