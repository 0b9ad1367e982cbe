#include "kernel/actors/SimulationMessages.h"

#include "kernel/actors/Actor.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
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

ColObj* Selected(CQVActor* actor) {
    const int32_t index = actor->m_SelectedColObj;
    if (index < 0 || static_cast<size_t>(index) >= actor->m_ColObjs.size()) return nullptr;
    return &actor->m_ColObjs[static_cast<size_t>(index)];
}

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

// The selected object's word, or null when no object is selected.
uint32_t* SelectedWord(CQVActor* actor, uint32_t id) {
    ColObj* object = Selected(actor);
    if (object == nullptr) return nullptr;
    switch (id) {
    case MSG_SET_COLLISION_TYPE:
    case MSG_GET_COLLISION_TYPE:
        return &object->type;
    case MSG_SET_COLLISION_FILL:
    case MSG_GET_COLLISION_FILL:
        return &object->fill;
    case MSG_SET_COLLISION_PHYSIQUE:
    case MSG_GET_COLLISION_PHYSIQUE:
        return &object->physique;
    case MSG_SET_COLLISION_GROUPS:
    case MSG_GET_COLLISION_GROUPS:
        return &object->groups;
    case MSG_SET_COLLISION_GROUPS_RECEIVE:
    case MSG_GET_COLLISION_GROUPS_RECEIVE:
        return &object->groupsReceive;
    case MSG_SET_COLLISION_GROUPS_EXCLUDE:
    case MSG_GET_COLLISION_GROUPS_EXCLUDE:
        return &object->groupsExclude;
    default:
        return &object->hitEffectGroup;
    }
}

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
        if (Selected(actor)) {
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
    case MSG_SET_COLLISION_NAME:
        if (ColObj* object = Selected(actor); object && Args_Text(args)) object->name = Args_Text(args);
        return true;
    case MSG_GET_COLLISION_NAME:
        if (ColObj* object = Selected(actor)) Args_AnswerText(args, 0, object->name);
        return true;
    case MSG_SET_COLLISION_ACTIVE:
        if (ColObj* object = Selected(actor)) SetBit(&object->flags, COLOBJ_ACTIVE, Args_Get<uint32_t>(args) != 0);
        return true;
    case MSG_GET_COLLISION_ACTIVE:
        if (ColObj* object = Selected(actor)) Args_Answer<uint32_t>(args, object->flags & COLOBJ_ACTIVE);
        return true;
    case MSG_SET_COLLISION_SYNC_FROM_MESH:
        if (ColObj* object = Selected(actor)) SetBit(&object->flags, COLOBJ_GENERATED, Args_Get<uint32_t>(args) != 0);
        return true;
    case MSG_GET_COLLISION_SYNC_FROM_MESH:
        if (ColObj* object = Selected(actor)) Args_Answer<uint32_t>(args, (object->flags & COLOBJ_GENERATED) ? 1 : 0);
        return true;
    case MSG_SET_COLLISION_SUBTYPE:
        if (ColObj* object = Selected(actor)) {
            object->flags = (object->flags & ~SUBTYPE_BITS) | SubtypeBits(Args_Get<uint32_t>(args));
        }
        return true;
    case MSG_GET_COLLISION_SUBTYPE:
        if (ColObj* object = Selected(actor)) Args_Answer<uint32_t>(args, Subtype(object->flags));
        return true;
    case MSG_SET_COLLISION_TYPE:
    case MSG_SET_COLLISION_FILL:
    case MSG_SET_COLLISION_PHYSIQUE:
    case MSG_SET_COLLISION_GROUPS:
    case MSG_SET_COLLISION_GROUPS_RECEIVE:
    case MSG_SET_COLLISION_GROUPS_EXCLUDE:
    case MSG_SET_COLLISION_GHE_82:
        if (uint32_t* word = SelectedWord(actor, id)) *word = Args_Get<uint32_t>(args);
        return true;
    case MSG_GET_COLLISION_TYPE:
    case MSG_GET_COLLISION_FILL:
    case MSG_GET_COLLISION_PHYSIQUE:
    case MSG_GET_COLLISION_GROUPS:
    case MSG_GET_COLLISION_GROUPS_RECEIVE:
    case MSG_GET_COLLISION_GROUPS_EXCLUDE:
    case MSG_GET_COLLISION_GHE:
        if (uint32_t* word = SelectedWord(actor, id)) Args_Answer(args, *word);
        return true;
    case MSG_SET_BOX_MIN:
        if (ColObj* object = Selected(actor)) object->boxMin = Args_Get<Vector3>(args);
        return true;
    case MSG_GET_BOX_MIN:
        if (ColObj* object = Selected(actor)) Args_Answer(args, object->boxMin);
        return true;
    case MSG_SET_BOX_MAX:
        if (ColObj* object = Selected(actor)) object->boxMax = Args_Get<Vector3>(args);
        return true;
    case MSG_GET_BOX_MAX:
        if (ColObj* object = Selected(actor)) Args_Answer(args, object->boxMax);
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
    case MSG_SET_COLLISION_ENABLE: {
        const bool on = Args_Get<uint32_t>(args) != 0;
        if (on == ((actor->m_Flags & ACTOR_COLLISION_ENABLED) != 0)) return true;
        DrawGroupLeave leave(actor);
        SetBit(&actor->m_Flags, ACTOR_COLLISION_ENABLED, on);
        for (ColObj& object : actor->m_ColObjs) SetBit(&object.flags, COLOBJ_ACTIVE, on);
        return true;
    }
    case MSG_GET_COLLISION_ENABLE:
        Args_Answer<uint32_t>(args, (actor->m_Flags & ACTOR_COLLISION_ENABLED) ? 1 : 0);
        return true;
    default:
        return false;
    }
}

SimParams* Params(CQVActor* actor) {
    if (actor->m_SimParams == nullptr) actor->m_SimParams = new SimParams;
    return actor->m_SimParams;
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
    Params(actor);
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

// The parameter pairs 302 to 325: each set id is followed by its get id.
bool HandleSimParams(CQVActor* actor, uint32_t id, MessageArgs args) {
    if (id < MSG_SET_SIM_STYLE || id > SIM_MSG_GET_FLAG_BIT0) return false;
    uint32_t* words = Params(actor)->words;
    const bool set = (id - MSG_SET_SIM_STYLE) % 2 == 0;
    const uint32_t pair = id - (set ? 0 : 1);
    uint32_t first = 0; // the first word of the pair's value
    uint32_t count = 1;
    if (pair == MSG_SET_SIM_STYLE) {
        first = 0;
    } else if (pair == SIM_MSG_SET_WORD1) {
        first = 1;
    } else if (pair == SIM_MSG_SET_WORDS2) {
        first = 2;
        count = 3;
    } else if (pair == SIM_MSG_SET_WORDS5) {
        first = 5;
        count = 3;
    } else if (pair == SIM_MSG_SET_FLAG_BIT0) {
        if (set) {
            SetBit(&words[SIM_WORD_FLAGS], 0x1, Args_Get<uint32_t>(args) != 0);
        } else {
            Args_Answer<uint32_t>(args, words[SIM_WORD_FLAGS] & 0x1);
        }
        return true;
    } else {
        // 310 to 323: words 8 to 14.
        first = 8 + (pair - SIM_MSG_SET_WORD8) / 2;
    }
    if (!args) return true;
    for (uint32_t i = 0; i < count; ++i) {
        if (set) {
            words[first + i] = Args_Get<uint32_t>(args, 4 * i);
        } else {
            Args_Set(args, 4 * i, words[first + i]);
        }
    }
    return true;
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
        return HandleSimParams(actor, id, args);
    }
}

}  // namespace

bool Actor_HandleCollisionMessage(CQVActor* actor, uint32_t id, MessageArgs args) {
    return HandleCollision(actor, id, args) || HandleSimulation(actor, id, args);
}
