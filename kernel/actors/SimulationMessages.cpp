#include "kernel/actors/SimulationMessages.h"

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/SimState.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t COLOBJ_TYPE_BOX = 2;
constexpr uint32_t SUBTYPE_BITS = 0x7E; // bits 1 to 6
constexpr uint32_t FLAGS_DRAWGROUP_INHERITED_AND_OPTION2 = ACTOR_DRAWGROUP_INHERITED | ACTOR_DRAWGROUP_OPTION2;

void SetBit(uint32_t* word, uint32_t mask, bool on) { *word = on ? (*word | mask) : (*word & ~mask); }

uint32_t SubtypeBits(uint32_t subtype) {
    switch (subtype) {
    case 0: return 0x40;
    case 1: return 0x06;
    case 2: return 0x66;
    case 3: return 0x16;
    default: return 0;
    }
}

uint32_t Subtype(uint32_t flags) {
    if (flags & 0x10) return 3;
    if (flags & 0x20) return 2;
    if (flags & 0x40) return 0;
    return 1;
}

// The draw group files static actors' collision objects by address: an
// actor leaves it while its objects change and enters it again afterwards.
class DrawGroupLeave {
public:
    explicit DrawGroupLeave(CQVActor* actor) : m_Actor(actor) {
        if (g_ActorSystem) g_ActorSystem->RemoveFromDrawGroup(actor, 0);
    }
    ~DrawGroupLeave() {
        if (g_ActorSystem) g_ActorSystem->AddToDrawGroup(m_Actor, 0);
    }
    DrawGroupLeave(const DrawGroupLeave&) = delete;
    DrawGroupLeave& operator=(const DrawGroupLeave&) = delete;

private:
    CQVActor* m_Actor;
};

// "Set Collision Group" and its kin: bit n - 1 (groups count from 1) of one
// word of every object.
void SetGroupBitOfAll(CQVActor* actor, uint32_t ColObj::*word, MessageArgs args) {
    const uint32_t group = Args_Get<uint32_t>(args);
    if (group < 1 || group > 32) return;
    const bool on = Args_Get<uint32_t>(args, 4) != 0;
    for (ColObj& object : actor->m_ColObjs) SetBit(&(object.*word), 1u << (group - 1), on);
}

void SetRadius(CQVActor* actor, float radius) {
    for (ColObj& object : actor->m_ColObjs) {
        if (object.type == COLOBJ_TYPE_BOX) {
            Vector3 centre = object.boxMin;
            centre += object.boxMax;
            centre = centre * 0.5f;
            const Vector3 half(radius, radius, radius);
            object.boxMin = centre - half;
            object.boxMax = centre;
            object.boxMax += half;
        } else {
            object.boxMax.x = radius;
        }
    }
}

bool HandleCollision(CQVActor* actor, uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_CREATE_COLLISION: {
        ColObj object;
        char name[32];
        std::snprintf(name, sizeof name, "Object %u", static_cast<unsigned>(actor->m_ColObjs.size() + 1));
        object.name = name;
        object.owner = actor;
        // Growing the vector moves the objects the draw group lists.
        DrawGroupLeave leave(actor);
        actor->m_ColObjs.push_back(object);
        actor->m_SelectedColObj = static_cast<int32_t>(actor->m_ColObjs.size() - 1);
        return true;
    }
    case MSG_DELETE_COLLISION:
        if (actor->SelectedColObj()) {
            DrawGroupLeave leave(actor);
            actor->m_ColObjs.erase(actor->m_ColObjs.begin() + actor->m_SelectedColObj);
        }
        return true;
    case MSG_SET_COLLISION_STRINGLIST: {
        const char* text = Args_Text(args);
        if (text == nullptr) return true;
        for (size_t i = actor->m_ColObjs.size(); i-- > 0;) {
            if (actor->m_ColObjs[i].name == text) {
                actor->m_SelectedColObj = static_cast<int32_t>(i);
                break;
            }
        }
        return true;
    }
    case MSG_GET_COLLISION_STRINGLIST:
        if (auto* names = Args_Pointer<std::vector<std::string>>(id, args)) {
            names->clear();
            for (const ColObj& object : actor->m_ColObjs) names->push_back(object.name);
        }
        return true;
    case MSG_SET_COLLISION_SUBTYPE:
        if (ColObj* object = actor->SelectedColObj()) {
            object->flags = (object->flags & ~SUBTYPE_BITS) | SubtypeBits(Args_Get<uint32_t>(args));
        }
        return true;
    case MSG_GET_COLLISION_SUBTYPE:
        if (ColObj* object = actor->SelectedColObj()) Args_Answer<uint32_t>(args, Subtype(object->flags));
        return true;
    case MSG_SET_COLLISION_GROUP:
        SetGroupBitOfAll(actor, &ColObj::groups, args);
        return true;
    case MSG_SET_COLLISION_RECEIVE:
        SetGroupBitOfAll(actor, &ColObj::groupsReceive, args);
        return true;
    case MSG_SET_COLLISION_EXCLUDE:
        SetGroupBitOfAll(actor, &ColObj::groupsExclude, args);
        return true;
    case MSG_SET_COLLISION_GHE_89:
        SetGroupBitOfAll(actor, &ColObj::hitEffectGroup, args);
        return true;
    case MSG_SET_COLLISION_RADIUS:
        SetRadius(actor, Args_Get<float>(args));
        return true;
    default:
        return false;
    }
}

Vector3 WorldAxisZ(CQVActor* actor) {
    const Matrix& world = actor->GetWorldMatrix();
    return Vector3(world.m[2][0], world.m[2][1], world.m[2][2]);
}

// (SignedUnit x 2 x jitter) per component, drawn x, y, z.
Vector3 RandomJitter(float jitter) {
    const float x = Random_SignedUnit() * 2.0f * jitter;
    const float y = Random_SignedUnit() * 2.0f * jitter;
    const float z = Random_SignedUnit() * 2.0f * jitter;
    return Vector3(x, y, z);
}

void AddForceAlong(CQVActor* actor, Vector3 direction, float strength, float strengthJitter, float directionJitter) {
    direction += RandomJitter(directionJitter);
    Vec3_Normalize(&direction, direction);
    actor->m_DeltaPosition += direction * (strength * (1.0f - Random_Unit() * strengthJitter));
}

void AddForceTowards(CQVActor* actor, MessageArgs args) {
    CQVActor* target = Args_Pointer<CQVActor>(MSG_ADDFORCETOWARDS, args);
    if (target == nullptr) return;
    const size_t at = sizeof(CQVActor*);
    const float falloff = Args_Get<float>(args, at);
    const float strength = Args_Get<float>(args, at + 4);
    const float strengthJitter = Args_Get<float>(args, at + 8);
    const float directionJitter = Args_Get<float>(args, at + 12);
    Vector3 centre(0.0f, 0.0f, 0.0f);
    target->HandleMessage(MSG_GET_CENTER_POINT, Args_Of(&centre));
    Vector3 d = (centre - actor->GetWorldPosition()) * 0.01f;
    const float length = std::max(Vec3_Length(d), 1.0f);
    d += RandomJitter(directionJitter);
    Vec3_Normalize(&d, d);
    d /= (length - 1.0f) * falloff + 1.0f;
    actor->m_DeltaPosition += d * (strength * (1.0f - Random_Unit() * strengthJitter));
}

void StartSimulate(CQVActor* actor) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    if (actor->m_Parent != scenery && scenery && g_ActorSystem) {
        actor->HandleMessage(MSG_GET_WSPOSITION, Args_Of(&actor->m_Position));
        actor->HandleMessage(MSG_GET_WSQUATERNION, Args_Of(&actor->m_Rotation));
        g_ActorSystem->MoveActor(actor, scenery);
    }
    actor->m_Flags &= ~FLAGS_DRAWGROUP_INHERITED_AND_OPTION2;
    actor->m_Flags |= ACTOR_SIMULATED;
    if (actor->m_SimState == nullptr) actor->m_SimState = new SimState;
    actor->SimParamsBlock();
    actor->InvalidateTransform();
}

void StopSimulate(CQVActor* actor) {
    if (const SimParams* params = actor->m_SimParams) {
        const uint32_t state = params->words[SIM_WORD_STATE];
        if (state < SIM_STATE_RESTING && (params->words[SIM_WORD_FLAGS] & SIM_FLAG_EVENTS)) {
            actor->HandleMessage(state == SIM_STATE_FREE ? MSG_ON_SIM_FREE_STOP : MSG_ON_SIM_SLIDE_STOP, nullptr);
            actor->HandleMessage(MSG_ON_SIM_REST_START, nullptr);
        }
    }
    actor->m_Flags &= ~ACTOR_SIMULATED;
}

bool HandleSimulation(CQVActor* actor, uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_START_SIMULATE:
        StartSimulate(actor);
        return true;
    case MSG_STOP_SIMULATE:
        StopSimulate(actor);
        return true;
    case MSG_ADDFORCE:
        actor->m_DeltaPosition += Args_Get<Vector3>(args);
        return true;
    case MSG_ADDFORCEINDIRECTION:
        if (args) {
            AddForceAlong(actor, WorldAxisZ(actor), Args_Get<float>(args), Args_Get<float>(args, 4), Args_Get<float>(args, 8));
        }
        return true;
    case MSG_ADDFORCEINDIRECTIONOF:
        if (CQVActor* other = Args_Pointer<CQVActor>(id, args)) {
            const size_t at = sizeof(CQVActor*);
            AddForceAlong(actor, WorldAxisZ(other), Args_Get<float>(args, at), Args_Get<float>(args, at + 4),
                          Args_Get<float>(args, at + 8));
        }
        return true;
    case MSG_ADDFORCETOWARDS:
        AddForceTowards(actor, args);
        return true;
    default:
        return false;
    }
}

}  // namespace

ColObj* CQVActor::SelectedColObj() {
    if (m_SelectedColObj < 0 || static_cast<size_t>(m_SelectedColObj) >= m_ColObjs.size()) return nullptr;
    return &m_ColObjs[static_cast<size_t>(m_SelectedColObj)];
}

void CQVActor::SetCollisionEnabled(bool on) {
    if (on == ((m_Flags & ACTOR_COLLISION_ENABLED) != 0)) return;
    DrawGroupLeave leave(this);
    SetBit(&m_Flags, ACTOR_COLLISION_ENABLED, on);
    for (ColObj& object : m_ColObjs) SetBit(&object.flags, COLOBJ_ACTIVE, on);
}

SimParams* CQVActor::SimParamsBlock() {
    if (m_SimParams == nullptr) m_SimParams = new SimParams;
    return m_SimParams;
}

bool Actor_HandleCollisionMessage(CQVActor* actor, uint32_t id, MessageArgs args) {
    if (kCollisionMessages.Apply(*actor, id, args)) return true;
    return HandleCollision(actor, id, args) || HandleSimulation(actor, id, args);
}
