#include "actors/gameplay/Developer.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/Random.h"

namespace {

constexpr float kDartSpeed = 400.0f; // units per second

bool IsPlayerCharacter(const CQVActor* actor) {
    return actor && actor->m_ClassType == CLASS_CHARACTER && (actor->m_Flags & ACTOR_MASTER);
}

}  // namespace

CQVDeveloper::CQVDeveloper() {
    m_ClassType = CLASS_DEVELOPER;
    m_Dart.SetOwner(this);
}

void CQVDeveloper::Shoot(uint32_t targetId) {
    CQVActor* target = CQVActorSystem::GetActorById(targetId);
    CQVActor* dart = m_Dart.target;
    if (target == nullptr || dart == nullptr || g_ActorSystem == nullptr) return;
    CQVActor* clone = g_ActorSystem->CloneActor(dart, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), 1);
    if (clone == nullptr) return;
    const Vector3 from = AskValue<Vector3>(MSG_GET_WSPOSITION);
    const Vector3 to = target->AskValue<Vector3>(MSG_GET_WSPOSITION);
    clone->SendValue(MSG_SET_POSITION, from);
    Vector3 direction;
    Vec3_Normalize(&direction, to - from);
    clone->m_DeltaPosition = direction * kDartSpeed;
    clone->InvalidateTransform();
    clone->UpdateWorldMatrix();
    clone->SendValue(MSG_PERFORM_ACTION, m_Id);
    if (target->m_Flags & ACTOR_MASTER) g_ActorSystem->ReplicateMessage(m_Id, MSG_DEVELOPER_SHOOT_DART, Args_Of(&targetId));
}

void CQVDeveloper::Process() {
    if (!IsOperational()) return;
    RefreshClock(this);
    m_DartDelay -= m_Clock->dt;
    CQVActor::Process();
}

int CQVDeveloper::HandleMessage(uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_PRECALCULATE:
        m_Dart.SetTarget(CQVActorSystem::FindActorByName("Dart", 0xFFFFFFFF));
        ScheduleProcess();
        break;
    case MSG_COLLISION_EVENT: {
        const ColObj* partner = Args_Pointer<ColObj>(id, args);
        CQVActor* character = partner ? partner->owner : nullptr;
        if (m_DartDelay <= 0.0f && IsPlayerCharacter(character) && m_Dart.target) {
            uint32_t characterId = character->m_Id;
            HandleMessage(MSG_DEVELOPER_SHOOT_DART, Args_Of(&characterId));
            m_DartDelay = 6.0f + static_cast<float>(Random_Next() % 10);
            if (g_ActorSystem) g_ActorSystem->ReplicateMessage(m_Id, MSG_DEVELOPER_SHOOT_DART, Args_Of(&characterId));
        }
        break;
    }
    case MSG_DEVELOPER_SHOOT_DART:
        Shoot(Args_Get<uint32_t>(args));
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVDeveloper::RegisterProperties() {
    g_ClassRecords[CLASS_DEVELOPER].Define("Developer", "Do Not Use This!!!", {CLASS_BASE, CLASS_DEVELOPER});
}
