#include "actors/gameplay/Developer2.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"

namespace {

// Facing: the touching object lies within 60 degrees of the look direction.
constexpr float kFacingCosine = 0.5f;

#pragma pack(push, 1)
struct VoiceCommandArgs {
    CQVActor* speaker;
    uint32_t command;
};
#pragma pack(pop)

// Where the collision pass keeps an object's centre: a sphere's in its
// minimum, a box's between its corners.
Vector3 WorldCentre(const ColObj& object) {
    if (object.type == COLOBJ_SPHERE) return object.worldMin;
    return (object.worldMin + object.worldMax) * 0.5f;
}

}  // namespace

CQVDeveloper2::CQVDeveloper2() {
    m_ClassType = CLASS_DEVELOPER_2;
    m_Facing.SetOwner(this);
}

int CQVDeveloper2::SerializeTestActor(CQVActor& actor, CQVActorArchive* archive, uint32_t flags) {
    if (!actor.CQVActor::Serialize(archive, flags)) return 0;
    if (archive->version >= 1) {
        uint32_t reserved[8] = {};
        archive->SerializeDwords(reserved, 8);
    }
    return archive->HasFailed() ? 0 : 1;
}

int CQVDeveloper2::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return SerializeTestActor(*this, archive, flags);
}

void CQVDeveloper2::Update() {
    if (!IsOperational()) return;
    // Known for the frame of the touch and the next only.
    if (++m_FramesSinceSeen > 1 && m_Facing.target) m_Facing.SetTarget(nullptr);
    CQVActor::Update();
}

int CQVDeveloper2::HandleMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_COLLISION_EVENT: {
        const ColObj* partner = Args_Pointer<ColObj>(id, args);
        if (partner == nullptr || m_Parent == nullptr) break;
        const Vector3 look = m_Parent->AskValue<Vector3>(MSG_GET_LOOKDIRECTION);
        UpdateWorldMatrix();
        Vector3 toPartner;
        Vec3_Normalize(&toPartner, WorldCentre(*partner) - GetWorldPosition());
        if (Vec3_Dot(toPartner, look) > kFacingCosine) {
            if (m_Facing.target != partner->owner) m_Facing.SetTarget(partner->owner);
            m_FramesSinceSeen = 0;
        }
        break;
    }
    case MSG_SEND_AI_PLAYER2_VOICE_COMMAND: {
        CQVActor* facing = m_Facing.target;
        if (facing == nullptr) break;
        ActorSearchByName search{"AI", nullptr};
        facing->HandleMessage(MSG_FIND_DESCENDANT_BY_NAME, Args_Of(&search));
        if (search.result) {
            VoiceCommandArgs voice{m_Parent, Args_Get<uint32_t>(args)};
            search.result->HandleMessage(MSG_AI_PLAYER2_VOICE_COMMAND, Args_Of(&voice));
        }
        break;
    }
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVDeveloper2::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER_2].Define("Developer 2", "Temp Send Voice Command", {CLASS_BASE, CLASS_DEVELOPER_2});
}
