#include "kernel/actors/Collision.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/SimState.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Random.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <list>
#include <vector>

CollisionMeshCalls g_CollisionMeshCalls;
float g_CollisionWorldUnit = 100.0f;
CollisionQueue g_CollisionQueue;
CollisionStats g_CollisionStats;

namespace {

// Entries of the deferred queue: {target pointer, target id, message id}.
constexpr uint32_t QUEUE_HEADER = sizeof(CQVActor*) + 8;
constexpr uint32_t QUEUE_MIN_CAPACITY = 16;
constexpr uint32_t QUEUE_MAX_STEP = 1024;

constexpr float SPHERE_PUSH_MARGIN = 1.00001f;
constexpr float GROUND_LIFT = 0.0001f;
constexpr float GROUND_DEPTH = 0.4f;         // world units below the ground that still count
constexpr float GROUND_ESCAPE = 6.0f;
constexpr float GROUND_ESCAPE_SPEED = 1.5f;
constexpr float GRAVITY_SCALE = 1.8f;
constexpr float DRAG_SCALE = 0.0005f;
constexpr float TUMBLE_SPEED = 330.0f;

// The parameter words the pass reads (the rest are stored for the classes).
constexpr int SIM_WORD_STYLE = 0;
constexpr int SIM_WORD_MASS = 1;
constexpr int SIM_WORD_DRAG = 5;  // three words, one per axis
constexpr int SIM_WORD_GRAVITY = 9;
constexpr int SIM_WORD_REST = 11;  // squared bounce below which a body starts to slide
constexpr int SIM_WORD_STOP = 12;  // squared speed below which a sliding body stops
constexpr int SIM_WORD_ROTATION = 16;
constexpr int SIM_WORD_SPIN_AXIS = 20;
constexpr int SIM_WORD_SPIN = 23;
constexpr uint32_t SIM_FLAG_FACE_MOTION = 0x1;
constexpr uint32_t SIM_STATE_RESTARTING = 2;
constexpr uint32_t SIM_STATE_STARTING = 4;
constexpr uint32_t SIM_STATE_STARTED = 5;
constexpr uint32_t SIM_STYLE_TUMBLE_A = 3;
constexpr uint32_t SIM_STYLE_TUMBLE_B = 4;
constexpr uint32_t SIM_STYLE_OWN_ROTATION = 5;

// Scheduling a message for the next frame.
constexpr uint32_t NEXT_FRAME_FLAGS = uint32_t(TIMED_MODE_NEXT_FRAME) << 8;

const SimParams g_DefaultParams;

float Word(const SimParams& p, int word) {
    float value;
    std::memcpy(&value, &p.words[word], 4);
    return value;
}
void SetWord(SimParams& p, int word, float value) { std::memcpy(&p.words[word], &value, 4); }
Vector3 WordVector(const SimParams& p, int word) {
    return Vector3(Word(p, word), Word(p, word + 1), Word(p, word + 2));
}
void SetWordVector(SimParams& p, int word, const Vector3& v) {
    SetWord(p, word, v.x);
    SetWord(p, word + 1, v.y);
    SetWord(p, word + 2, v.z);
}
Quaternion WordQuaternion(const SimParams& p) {
    Quaternion q{Word(p, SIM_WORD_ROTATION), Word(p, SIM_WORD_ROTATION + 1), Word(p, SIM_WORD_ROTATION + 2),
                 Word(p, SIM_WORD_ROTATION + 3)};
    // A block that never turned holds zeros: no rotation.
    if (q.x == 0.0f && q.y == 0.0f && q.z == 0.0f && q.w == 0.0f) q.w = 1.0f;
    return q;
}
void SetWordQuaternion(SimParams& p, const Quaternion& q) {
    SetWord(p, SIM_WORD_ROTATION, q.x);
    SetWord(p, SIM_WORD_ROTATION + 1, q.y);
    SetWord(p, SIM_WORD_ROTATION + 2, q.z);
    SetWord(p, SIM_WORD_ROTATION + 3, q.w);
}

const SimParams& ParamsOf(const CQVActor* actor) { return actor->m_SimParams ? *actor->m_SimParams : g_DefaultParams; }

float Mass(const CQVActor* actor) { return Word(ParamsOf(actor), SIM_WORD_MASS); }

const PhysicsMaterial* MaterialOf(const ColObj* object) {
    return object->physique < g_PhysicsMaterials.size() ? &g_PhysicsMaterials[object->physique] : nullptr;
}
float Bounce(const ColObj* object) {
    const PhysicsMaterial* material = MaterialOf(object);
    return material ? material->Bounce : 0.0f;
}
float Friction(const ColObj* object) {
    const PhysicsMaterial* material = MaterialOf(object);
    return material ? material->Friction : 0.0f;
}

bool IsMeshKind(uint32_t kind) {
    return kind == COLOBJ_GROUND || (kind >= COLOBJ_TRIANGLE_TEST && kind <= COLOBJ_MESH_LAST && kind != COLOBJ_RAY_POINT);
}
bool IsGroundKind(uint32_t kind) { return kind == COLOBJ_GROUND || kind == COLOBJ_GROUND_ALIKE; }

Vector3 Negated(const Vector3& v) { return Vector3(-v.x, -v.y, -v.z); }

// ---------------------------------------------------------------------------
// The contacted actors of the pass and their contacts.

// Each contacted actor once, in the order it was first contacted, with its
// contacts chained through one shared pool; both are reused frame after
// frame. An actor's place in the list is kept in its contact record.
struct ContactedActor {
    CQVActor* actor;
    uint32_t first;  // the first of its contacts in the pool
    uint32_t last;
    uint32_t count;
};

struct PooledContact {
    Contact contact;
    uint32_t next;
};

constexpr uint32_t NO_CONTACT = 0xFFFFFFFF;

std::vector<ContactedActor> g_Contacted;
std::vector<PooledContact> g_ContactPool;
std::vector<ContactedActor> g_Resolving;
std::vector<PooledContact> g_ResolvingPool;

void AddContact(CQVActor* actor, const Contact& contact) {
    if (actor->m_SimState == nullptr) actor->m_SimState = new SimState;
    SimState* state = actor->m_SimState;
    if (!(actor->m_Flags & ACTOR_CONTACTED)) {
        actor->m_Flags |= ACTOR_CONTACTED;
        state->passIndex = static_cast<uint32_t>(g_Contacted.size());
        g_Contacted.push_back(ContactedActor{actor, NO_CONTACT, NO_CONTACT, 0});
    }
    ContactedActor& entry = g_Contacted[state->passIndex];
    const uint32_t index = static_cast<uint32_t>(g_ContactPool.size());
    g_ContactPool.push_back(PooledContact{contact, NO_CONTACT});
    if (entry.last == NO_CONTACT) {
        entry.first = index;
    } else {
        g_ContactPool[entry.last].next = index;
    }
    entry.last = index;
    entry.count += 1;
}

void ClearContacted() {
    for (ContactedActor& entry : g_Contacted) entry.actor->m_Flags &= ~ACTOR_CONTACTED;
    g_Contacted.clear();
    g_ContactPool.clear();
}

// ---------------------------------------------------------------------------
// The deferred queue.

void QueueCommand(CQVActor* target, const std::vector<uint8_t>& command) {
    if (target == nullptr || command.size() < 4) return;
    uint32_t id;
    std::memcpy(&id, command.data(), 4);
    const int32_t size = GetCommandDesc(id).argSize;
    // Only messages of a fixed size can be queued; the command must hold its arguments.
    if (size < 0 || command.size() - 4 < static_cast<size_t>(size)) return;
    CollisionQueue_Append(target, id, command.data() + 4, static_cast<uint32_t>(size));
}

// The two collision objects of a queued "Collision Event", each known by
// its owner and its place in the owner's list: a delivery before it may have
// deleted either owner (or changed its list), and the event then no longer
// names objects that exist.
struct ColObjPlace {
    CQVActor* owner;
    uint32_t ownerId;
    uint32_t index;
};
struct QueuedEvent {
    uint32_t position;  // of the entry in the queue
    ColObjPlace objects[2];
};
std::vector<QueuedEvent> g_QueuedEvents;

// Counts the passes, so an actor's contacts can tell which pass recorded them.
uint32_t g_PassNumber = 0;

ColObjPlace PlaceOf(const ColObj* object) {
    CQVActor* owner = object->owner;
    if (owner == nullptr) return ColObjPlace{nullptr, 0, 0};
    const std::vector<ColObj>& list = owner->m_ColObjs;
    const bool inList = !list.empty() && object >= list.data() && object < list.data() + list.size();
    return ColObjPlace{inList ? owner : nullptr, owner->m_Id, inList ? uint32_t(object - list.data()) : 0};
}

ColObj* ObjectAt(const ColObjPlace& place) {
    if (place.owner == nullptr || CQVActorSystem::GetTableSlot(place.ownerId) != place.owner) return nullptr;
    std::vector<ColObj>& list = place.owner->m_ColObjs;
    return place.index < list.size() ? &list[place.index] : nullptr;
}

void QueueCollisionEvent(ColObj* i, ColObj* o) {
    const uint32_t position = g_CollisionQueue.used;
    ColObj* pair[2] = {i, o};
    CollisionQueue_Append(o->owner, MSG_COLLISION_EVENT, pair, sizeof pair);
    if (g_CollisionQueue.used != position) g_QueuedEvents.push_back(QueuedEvent{position, {PlaceOf(i), PlaceOf(o)}});
}

void DeliverQueue() {
    CollisionQueue& queue = g_CollisionQueue;
    uint32_t position = 0;
    size_t nextEvent = 0;
    while (position + QUEUE_HEADER <= queue.used) {
        const uint32_t entry = position;
        CQVActor* target;
        uint32_t targetId, messageId;
        std::memcpy(&target, queue.data + position, sizeof target);
        std::memcpy(&targetId, queue.data + position + sizeof target, 4);
        std::memcpy(&messageId, queue.data + position + sizeof target + 4, 4);
        position += QUEUE_HEADER;
        const int32_t fixed = GetCommandDesc(messageId).argSize;
        const uint32_t room = queue.used - position;
        const uint32_t size = fixed >= 0 ? static_cast<uint32_t>(fixed)
                                         : MessageArgs_GetBlockSize(messageId, MessageArgs(queue.data + position, room));
        if (size > room) break;
        // A message delivered earlier may have deleted the target: only an
        // actor still in its table slot is reached.
        bool deliver = CQVActorSystem::GetTableSlot(targetId) == target;
        // The handler may queue nothing (the pass is over), but its block
        // is copied so that a later growth cannot move it.
        std::vector<uint8_t> block(queue.data + position, queue.data + position + size);
        while (nextEvent < g_QueuedEvents.size() && g_QueuedEvents[nextEvent].position < entry) ++nextEvent;
        if (nextEvent < g_QueuedEvents.size() && g_QueuedEvents[nextEvent].position == entry) {
            // The event's objects, found again where they are now.
            ColObj* pair[2] = {ObjectAt(g_QueuedEvents[nextEvent].objects[0]),
                               ObjectAt(g_QueuedEvents[nextEvent].objects[1])};
            if (pair[0] == nullptr || pair[1] == nullptr || block.size() < sizeof pair) {
                deliver = false;
            } else {
                std::memcpy(block.data(), pair, sizeof pair);
            }
        }
        if (deliver) {
            target->HandleMessage(messageId, size ? MessageArgs(block.data(), size) : MessageArgs());
            ++g_CollisionStats.delivered;
        }
        position += size;
    }
    queue.used = 0;
    g_QueuedEvents.clear();
}

// ---------------------------------------------------------------------------
// The broad phase: each candidate pair whose world bounds overlap, tested in
// the order a plain walk over the lists would meet them.

struct BroadEntry {
    Box bounds;
    ColObj* object;
    uint32_t category;  // 0 the walked movers, 1 the passive movers, 2 static colliders
    uint32_t index;     // the actor's place in its list, or the object's in its group's list
    uint32_t objectIndex;
    uint32_t group;     // static colliders: their group
    int32_t cellX, cellZ;  // the first grid cell it covers
    uint32_t large;        // covers too many cells for the grid
};

struct GridCell {
    uint64_t key;
    int32_t x, z;
    uint32_t entry;
};

constexpr float GRID_MAX_CELLS = 64.0f;

struct CandidatePair {
    uint32_t a, b;  // entries, a of category 0
    uint64_t key0, key1;
};

std::vector<BroadEntry> g_Entries;
std::vector<GridCell> g_Cells;
std::vector<uint32_t> g_Large;
std::vector<CandidatePair> g_Pairs;

bool Bounds(const ColObj& object, Box* box) {
    if (!(object.flags & COLOBJ_ACTIVE)) return false;
    switch (ColObj_TestKind(object)) {
    case COLOBJ_SPHERE: {
        const float r = object.worldMax.x;
        box->min = Vector3(object.worldMin.x - r, object.worldMin.y - r, object.worldMin.z - r);
        box->max = Vector3(object.worldMin.x + r, object.worldMin.y + r, object.worldMin.z + r);
        return true;
    }
    case COLOBJ_RAY_POINT: {
        if (!object.rayActive) return false;
        Vector3 end = object.worldMin;
        end += object.worldMax;
        Vec3_Minimize(&box->min, object.worldMin, end);
        Vec3_Maximize(&box->max, object.worldMin, end);
        return true;
    }
    case COLOBJ_BOX:
    case COLOBJ_BOX_RECOMPUTE:
        box->min = object.worldMin;
        box->max = object.worldMax;
        return true;
    default:
        if (!IsMeshKind(object.type)) return false;
        box->min = object.worldMin;
        box->max = object.worldMax;
        return true;
    }
}

void AddEntries(CQVActor* actor, uint32_t category, uint32_t index) {
    for (size_t j = 0; j < actor->m_ColObjs.size(); ++j) {
        BroadEntry entry{};
        if (!Bounds(actor->m_ColObjs[j], &entry.bounds)) continue;
        entry.object = &actor->m_ColObjs[j];
        entry.category = category;
        entry.index = index;
        entry.objectIndex = static_cast<uint32_t>(j);
        g_Entries.push_back(entry);
    }
}

bool OverlapAll(const Box& a, const Box& b) {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
}

void AddCandidate(uint32_t first, uint32_t second) {
    const BroadEntry* a = &g_Entries[first];
    const BroadEntry* b = &g_Entries[second];
    if (a->category != 0 && b->category != 0) return;
    if (a->category == 0 && b->category == 0) {
        // Each pair of walked movers once, from the earlier one.
        if (a->index == b->index) return;
        if (b->index < a->index) std::swap(first, second);
    } else if (a->category != 0) {
        std::swap(first, second);
    }
    a = &g_Entries[first];
    b = &g_Entries[second];
    // Static colliders meet only the movers of their own group.
    if (b->category == 2 && b->group != a->object->owner->m_DrawGroupId) return;
    CandidatePair pair;
    pair.a = first;
    pair.b = second;
    pair.key0 = uint64_t(a->index) << 32 | a->objectIndex;
    pair.key1 = uint64_t(b->category) << 62 | uint64_t(b->index) << 24 | b->objectIndex;
    g_Pairs.push_back(pair);
}

// ---------------------------------------------------------------------------
// Pair tests. push is how far b must move to leave a.

struct Hit {
    Vector3 push;
    Vector3 normal;  // from a toward b
    Vector3 point;
};

bool SphereSphere(const ColObj& a, const ColObj& b, Hit* hit) {
    const Vector3 d = b.worldMin - a.worldMin;
    const float sum = a.worldMax.x + b.worldMax.x;
    const float distanceSq = Vec3_LengthSq(d);
    if (distanceSq >= sum * sum) return false;
    const float distance = std::sqrt(distanceSq);
    if (distance > 0.0f) {
        hit->push = d * ((sum - distance) / distance * SPHERE_PUSH_MARGIN);
        hit->point = a.worldMin;
        hit->point += d * (a.worldMax.x / distance);
    } else {
        hit->push = Vector3(sum, 0.0f, 0.0f);
        hit->point = a.worldMin;
    }
    hit->normal = Vec3_Normalized(hit->push);
    return true;
}

bool SphereBox(const ColObj& a, const ColObj& b, Hit* hit) {
    if (!Box_IntersectSphere(b.worldMin, b.worldMax, a.worldMin, a.worldMax.x, &hit->push, &hit->point)) return false;
    hit->normal = Vec3_Normalized(hit->push);
    return true;
}

bool SphereGround(const ColObj& a, ColObj& b, Hit* hit) {
    if (!Box_IntersectSphere(b.worldMin, b.worldMax, a.worldMin, a.worldMax.x, nullptr, nullptr)) return false;
    if (g_CollisionMeshCalls.findGround == nullptr || b.owner == nullptr) return false;
    const Matrix& world = b.owner->GetWorldMatrix();
    Vector3 local;
    Vec3_TransformPoint(&local, a.worldMin, b.owner->GetInverseWorldMatrix());
    Vector3 ground, normal(0.0f, 1.0f, 0.0f);
    if (!g_CollisionMeshCalls.findGround(b.meshItem, b.meshSubset, local, &ground, &normal, &b.runtimeWord)) {
        return false;
    }
    const float r = a.worldMax.x;
    if (local.y - r > ground.y) return false;                          // wholly above
    if (ground.y - local.y > GROUND_DEPTH * g_CollisionWorldUnit) return false;  // fallen through
    if (local.y >= ground.y) {
        // Lifted to rest just above the surface.
        Vector3 lift;
        Vec3_TransformNormal(&lift, Vector3(0.0f, ground.y + r + GROUND_LIFT - local.y, 0.0f), world);
        hit->push = Negated(lift);
    } else {
        // Below the surface: back along the way it came, or up.
        const Vector3 velocity = a.owner ? a.owner->m_DeltaPosition : Vector3(0.0f, 0.0f, 0.0f);
        const bool moving = std::fabs(velocity.x) >= GROUND_ESCAPE_SPEED || std::fabs(velocity.y) >= GROUND_ESCAPE_SPEED ||
                            std::fabs(velocity.z) >= GROUND_ESCAPE_SPEED;
        hit->push = moving ? Vec3_Normalized(velocity) * GROUND_ESCAPE : Vector3(0.0f, -GROUND_ESCAPE, 0.0f);
    }
    Vector3 worldNormal;
    Vec3_TransformNormal(&worldNormal, normal, world);
    hit->normal = Negated(Vec3_Normalized(worldNormal));
    Vec3_TransformPoint(&hit->point, ground, world);
    return true;
}

bool SphereMesh(const ColObj& a, const ColObj& b, Hit* hit) {
    if (g_CollisionMeshCalls.sweepSphere == nullptr || b.owner == nullptr) return false;
    Vector3 local;
    Vec3_TransformPoint(&local, a.worldMin, b.owner->GetInverseWorldMatrix());
    Vector3 push;
    if (!g_CollisionMeshCalls.sweepSphere(b.meshItem, b.meshSubset, local, a.worldMax.x, &push)) return false;
    Vec3_TransformNormal(&hit->push, push, b.owner->GetWorldMatrix());
    hit->normal = Vec3_Normalized(hit->push);
    hit->point = a.worldMin;
    return true;
}

// The ray point's segment, start to end, against a sphere or a box.
bool OnSegment(const ColObj& ray, const Vector3& point) {
    const Vector3 offset = point - ray.worldMin;
    const float along = Vec3_Dot(offset, ray.worldMax);
    return along >= 0.0f && along <= Vec3_LengthSq(ray.worldMax);
}

bool SphereRay(const ColObj& a, const ColObj& ray, Hit* hit) {
    if (!ray.rayActive) return false;
    const Vector3 direction = Vec3_Normalized(ray.worldMax);
    if (!Ray_IntersectSphere(ray.worldMin, direction, a.worldMin, a.worldMax.x, &hit->point, &hit->normal)) {
        return false;
    }
    if (!OnSegment(ray, hit->point)) return false;
    hit->push = Vector3(0.0f, 0.0f, 0.0f);
    return true;
}

bool BoxRay(const ColObj& box, const ColObj& ray, Hit* hit) {
    if (!ray.rayActive || box.owner == nullptr) return false;
    const Vector3 direction = Vec3_Normalized(ray.worldMax);
    if (!Ray_IntersectBox(ray.worldMin, direction, box.worldMin, box.worldMax, nullptr, nullptr)) return false;
    if (!Ray_IntersectTransformedBox(ray.worldMin, direction, box.boxMin, box.boxMax, box.owner->GetWorldMatrix(),
                                     box.owner->GetInverseWorldMatrix(), &hit->point, &hit->normal)) {
        return false;
    }
    if (!OnSegment(ray, hit->point)) return false;
    hit->push = Vector3(0.0f, 0.0f, 0.0f);
    return true;
}

bool ShapeTest(ColObj& a, ColObj& b, Hit* hit) {
    const auto kind = [](const ColObj& object) {
        const uint32_t k = ColObj_TestKind(object);
        return k == COLOBJ_BOX_RECOMPUTE ? COLOBJ_BOX : k;
    };
    const uint32_t ka = kind(a), kb = kind(b);
    if (ka == COLOBJ_SPHERE) {
        if (kb == COLOBJ_SPHERE) return SphereSphere(a, b, hit);
        if (kb == COLOBJ_BOX) return SphereBox(a, b, hit);
        if (IsGroundKind(kb)) return SphereGround(a, b, hit);
        if (kb == COLOBJ_RAY_POINT) return SphereRay(a, b, hit);
        if (IsMeshKind(kb)) return SphereMesh(a, b, hit);
        return false;
    }
    if (ka == COLOBJ_BOX && kb == COLOBJ_RAY_POINT) return BoxRay(a, b, hit);
    return false;
}

bool Meets(const ColObj& a, const ColObj& b) {
    if (!(a.flags & COLOBJ_ACTIVE) || !(b.flags & COLOBJ_ACTIVE)) return false;
    if (a.owner == b.owner) return false;
    if (!((b.groups & a.groupsReceive) || (b.groupsReceive & a.groups))) return false;
    return !(a.groupsExclude & b.groups) && !(b.groupsExclude & a.groups);
}

bool Reports(const ColObj& a, const ColObj& b) {
    const uint32_t tell = COLOBJ_TRIGGER | COLOBJ_TRIGGERED;
    if ((a.flags & tell) || (b.flags & tell)) return true;
    return ((a.flags & COLOBJ_RECEIVES) && (b.flags & COLOBJ_SENDS)) ||
           ((b.flags & COLOBJ_RECEIVES) && (a.flags & COLOBJ_SENDS));
}

void QueueEvents(ColObj* i, ColObj* o) {
    const bool trigger = (i->flags & COLOBJ_TRIGGER) || (o->flags & COLOBJ_TRIGGERED);
    if (!(o->flags & COLOBJ_RECEIVES) && !trigger) return;
    if ((i->flags & COLOBJ_SENDS) || trigger) QueueCollisionEvent(i, o);
    QueueCommand(o->owner, i->commandToOther);
    QueueCommand(i->owner, i->commandToSelf);
}

// ---------------------------------------------------------------------------
// Simulation.

float EnvironmentValue(uint32_t message, float fallback) {
    float value = fallback;
    if (CQVActor* environment = CQVActorSystem::GetActorById(ACTOR_ID_ENVIRONMENT)) {
        environment->HandleMessage(message, Args_Of(&value));
    }
    return value;
}

struct PassEnvironment {
    float gravity = 9.81f;
    float airResistance = 1.0f;
};
PassEnvironment g_PassEnvironment;

SimParams& EnsureParams(CQVActor* actor) {
    if (actor->m_SimParams == nullptr) actor->m_SimParams = new SimParams;
    return *actor->m_SimParams;
}

void SendEvent(CQVActor* actor, const SimParams& params, uint32_t message) {
    if (params.words[SIM_WORD_FLAGS] & SIM_FLAG_EVENTS) actor->HandleMessage(message, nullptr);
}

void MoveBy(CQVActor* actor, const Vector3& offset) {
    Matrix world = actor->GetWorldMatrix();
    world.m[3][0] += offset.x;
    world.m[3][1] += offset.y;
    world.m[3][2] += offset.z;
    actor->SetWorldMatrix(world);
}

void Tumble(SimParams& params, const Vector3& velocity) {
    const float speed = std::fabs(velocity.x) + std::fabs(velocity.y) + std::fabs(velocity.z);
    Vector3 axis;
    if (speed > TUMBLE_SPEED) {
        const float k = std::clamp((speed - TUMBLE_SPEED) * 0.05f, 0.0f, 1.0f);
        axis = WordVector(params, SIM_WORD_SPIN_AXIS);
        axis.x += static_cast<float>(Random_Next() % 400 - 200) * k * 0.05f;
        axis.y += static_cast<float>(Random_Next() % 400 - 200) * k * 0.05f;
        axis.z += static_cast<float>(Random_Next() % 400 - 200) * k * 0.05f;
        SetWord(params, SIM_WORD_SPIN, static_cast<float>(100 - Random_Next() % 200) * k * 0.2f);
    } else {
        Quaternion rotation = WordQuaternion(params);
        float angle;
        Quat_ToAxisAngle(rotation, &axis, &angle);
        axis.y = axis.y <= 0.0f ? axis.y - (0.15f - 0.9f * axis.y) : 1.9f * axis.y + 0.15f;
        axis = Vec3_Normalized(axis);
        Quat_FromAxisAngle(&rotation, axis, angle);
        SetWordQuaternion(params, rotation);
        const float spin = Word(params, SIM_WORD_SPIN);
        SetWord(params, SIM_WORD_SPIN,
                static_cast<float>(Random_Next() & 1023) * std::max(0.95f - std::fabs(axis.y), 0.0f) * 0.005f -
                    0.7f * spin);
    }
    SetWordVector(params, SIM_WORD_SPIN_AXIS, Vec3_Normalized(axis));
}

// The velocity after a contact, by the body's style and motion state.
void Respond(CQVActor* actor, const Contact& contact, size_t contactCount) {
    Vector3& velocity = actor->m_DeltaPosition;
    const uint32_t style = ParamsOf(actor).words[SIM_WORD_STYLE];
    const float bounce = Bounce(contact.self);
    const float friction = Friction(contact.self) * Friction(contact.other);
    auto applyFriction = [&]() {
        if (friction == 1.0f) {
            velocity = Vector3(0.0f, 0.0f, 0.0f);
        } else {
            velocity = velocity * (1.0f - friction);
        }
    };
    Vector3 removed;
    if (style == 0) {
        Vec3_ClipAgainstPlane(&velocity, velocity, contact.normal, &removed);
        velocity = velocity - removed * bounce;
        applyFriction();
        // A solid resting on one moving thing rides along with it.
        if (contactCount == 1 && (contact.self->flags & COLOBJ_SOLID) && !(contact.other->flags & COLOBJ_SOLID) &&
            contact.other->owner) {
            MoveBy(actor, contact.other->owner->m_DeltaPosition);
        }
        return;
    }
    SimParams& params = EnsureParams(actor);
    if (style == SIM_STYLE_TUMBLE_A || style == SIM_STYLE_TUMBLE_B) Tumble(params, velocity);
    Vec3_ClipAgainstPlane(&velocity, velocity, contact.normal, &removed);
    uint32_t& state = params.words[SIM_WORD_STATE];
    switch (state) {
    case SIM_STATE_FREE:
        if (Vec3_LengthSq(removed * bounce) <= Word(params, SIM_WORD_REST)) {
            state = SIM_STATE_SLIDING;
            SendEvent(actor, params, MSG_ON_SIM_FREE_STOP);
            SendEvent(actor, params, MSG_ON_SIM_SLIDE_START);
        } else {
            velocity = velocity - removed * bounce;
            if ((params.words[SIM_WORD_FLAGS] & SIM_FLAG_EVENTS) && g_ScriptExecute && contact.other->owner) {
                for (CQVScript& script : actor->m_Scripts) {
                    if (script.boundMessage == MSG_ON_SIM_BOUNCE) g_ScriptExecute(&script, contact.other->owner);
                }
            }
        }
        break;
    case SIM_STATE_SLIDING:
        applyFriction();
        if (Vec3_LengthSq(velocity) < Word(params, SIM_WORD_STOP)) {
            actor->ScheduleMessage(MSG_STOP_SIMULATE, nullptr, NEXT_FRAME_FLAGS, 0.0f, 0.0f, 0.0f);
        }
        break;
    case SIM_STATE_RESTARTING:
        actor->ScheduleMessage(MSG_START_SIMULATE, nullptr, NEXT_FRAME_FLAGS, 0.0f, 0.0f, 0.0f);
        state = SIM_STATE_STARTING;
        SendEvent(actor, params, MSG_ON_SIM_REST_STOP);
        break;
    case SIM_STATE_STARTED:
        state = SIM_STATE_SLIDING;
        SendEvent(actor, params, MSG_ON_SIM_SLIDE_START);
        break;
    default:
        break;
    }
}

void ResolveContacts(CQVActorSystem* system) {
    std::list<CQVActor*> iterationSet;
    uint32_t iterations = 0;
    while (!g_Contacted.empty() && iterations < COLLISION_MAX_ITERATIONS) {
        ++iterations;
        iterationSet.clear();
        // Moving one actor never adds contacts to this list: the broad phase
        // runs again only after the whole list is handled.
        g_Resolving.swap(g_Contacted);
        g_ResolvingPool.swap(g_ContactPool);
        g_Contacted.clear();
        g_ContactPool.clear();
        for (ContactedActor& entry : g_Resolving) {
            CQVActor* actor = entry.actor;
            const Contact* best = &g_ResolvingPool[entry.first].contact;
            for (uint32_t i = entry.first; i != NO_CONTACT; i = g_ResolvingPool[i].next) {
                const Contact& contact = g_ResolvingPool[i].contact;
                if (Vec3_LengthSq(contact.push) < Vec3_LengthSq(best->push)) best = &contact;
            }
            MoveBy(actor, best->push);
            if (SimState* state = actor->m_SimState) {
                if (state->contactsPass != g_PassNumber) {
                    // Contacts of an earlier pass that no base step cleared.
                    state->contacts.clear();
                    state->contactCount = 0;
                    state->contactsPass = g_PassNumber;
                }
                state->word0 |= 1;
                SimContact record{};
                std::memcpy(record.words, &best->push, sizeof(Vector3));
                std::memcpy(record.words + 3, &best->normal, sizeof(Vector3));
                std::memcpy(record.words + 6, &best->point, sizeof(Vector3));
                state->contacts.push_back(record);
                state->contactCount += 1;
            }
            Respond(actor, *best, entry.count);
            actor->m_Flags &= ~ACTOR_CONTACTED;
            system->UpdateColObjVolumes(actor);
            if (entry.count > 1) iterationSet.push_back(actor);
        }
        if (iterationSet.empty()) break;
        system->FindContacts(iterationSet, COLLISION_MODE_CONTACTS);
    }
    g_CollisionStats.iterations = iterations;
    // Still wedged after every iteration: back to where the frame found them.
    for (ContactedActor& entry : g_Contacted) {
        CQVActor* actor = entry.actor;
        actor->m_Position = actor->m_PrevPosition;
        actor->m_Rotation = actor->m_PrevRotation;
        actor->InvalidateTransform();
        actor->m_DeltaPosition = Vector3(0.0f, 0.0f, 0.0f);
        actor->HandleMessage(MSG_COLLISION_STUCK, nullptr);
        system->UpdateColObjVolumes(actor);
    }
    ClearContacted();
}

}  // namespace

uint32_t ColObj_TestKind(const ColObj& object) {
    if (object.type == COLOBJ_CAMERA_VOLUME && object.owner && object.owner->m_ClassType == CLASS_CAMERA)
        return COLOBJ_SPHERE;
    return object.type;
}

void Collision_Substeps(float dt, uint32_t* steps, float* fraction) {
    uint32_t count = 1 + static_cast<uint32_t>(COLLISION_SUBSTEPS_PER_SECOND * dt);
    *fraction = 1.0f / static_cast<float>(count);
    // Long frames get at most two substeps, each still the short fraction.
    *steps = std::min(count, COLLISION_MAX_SUBSTEPS);
}

int CollisionQueue_Reserve(uint32_t size) {
    CollisionQueue& queue = g_CollisionQueue;
    if (size <= queue.capacity - queue.used) return 1;
    const uint64_t needed = uint64_t(queue.used) + size;
    const uint64_t step = std::max<uint64_t>(QUEUE_MIN_CAPACITY, queue.capacity + std::min(queue.capacity, QUEUE_MAX_STEP));
    const uint64_t capacity = std::max(needed, step);
    if (capacity > UINT32_MAX) return 0;
    auto* data = static_cast<uint8_t*>(std::malloc(capacity));
    if (data == nullptr) return 0;
    if (queue.used) std::memcpy(data, queue.data, queue.used);
    if (queue.owns) std::free(queue.data);
    queue.data = data;
    queue.capacity = static_cast<uint32_t>(capacity);
    queue.owns = 1;
    return 1;
}

void CollisionQueue_Append(CQVActor* target, uint32_t messageId, const void* args, uint32_t size) {
    if (target == nullptr || !CollisionQueue_Reserve(QUEUE_HEADER + size)) return;
    CollisionQueue& queue = g_CollisionQueue;
    uint8_t* out = queue.data + queue.used;
    std::memcpy(out, &target, sizeof target);
    std::memcpy(out + sizeof target, &target->m_Id, 4);
    std::memcpy(out + sizeof target + 4, &messageId, 4);
    if (size) std::memcpy(out + QUEUE_HEADER, args, size);
    queue.used += QUEUE_HEADER + size;
}

void CQVActorSystem::UpdateColObjVolumes(CQVActor* actor) {
    if (actor == nullptr || actor->m_ColObjs.empty()) return;
    const Matrix& world = actor->GetWorldMatrix();
    for (ColObj& object : actor->m_ColObjs) {
        object.owner = actor;
        switch (ColObj_TestKind(object)) {
        case COLOBJ_SPHERE:
            Vec3_TransformPoint(&object.worldMin, object.boxMin, world);
            object.worldMax = Vector3(object.boxMax.x, 0.0f, 0.0f);
            break;
        case COLOBJ_BOX_RECOMPUTE:
            object.type = COLOBJ_BOX;
            [[fallthrough]];
        case COLOBJ_BOX:
            Box_Transform(&object.worldMin, &object.worldMax, object.boxMin, object.boxMax, world);
            break;
        case COLOBJ_RAY_POINT: {
            const Vector3 position(world.m[3][0], world.m[3][1], world.m[3][2]);
            object.worldMin = actor->m_PrevWorldPosition;
            Vector3 movement = position - object.worldMin;
            const float length = Vec3_Length(movement);
            object.rayActive = length > object.boxMax.y ? 1 : 0;
            if (object.rayActive) movement += movement * (object.boxMax.x / length);
            object.worldMax = movement;
            break;
        }
        default:
            if (IsMeshKind(object.type)) {
                Vector3 min(0.0f, 0.0f, 0.0f), max(0.0f, 0.0f, 0.0f);
                if (g_CollisionMeshCalls.getBounds) g_CollisionMeshCalls.getBounds(object.meshItem, &min, &max);
                Box_Transform(&object.worldMin, &object.worldMax, min, max, world);
            }
            break;
        }
    }
}

void CQVActorSystem::SimulateBody(CQVActor* actor, float fraction) {
    if (actor == nullptr) return;
    const ActorClock* clock = actor->m_Clock;
    float simulationScale;
    std::memcpy(&simulationScale, &clock->unused, 4);
    const float h = simulationScale * clock->dt * fraction;
    SimParams& params = EnsureParams(actor);
    Vector3& velocity = actor->m_DeltaPosition;

    velocity.y -= g_CollisionWorldUnit * Word(params, SIM_WORD_GRAVITY) * g_PassEnvironment.gravity * h * GRAVITY_SCALE;
    const float speed = Vec3_Length(velocity);
    const Vector3 drag = WordVector(params, SIM_WORD_DRAG);
    const float k = h * g_PassEnvironment.airResistance * DRAG_SCALE * speed;
    velocity = Vector3(velocity.x - k * velocity.x * drag.x, velocity.y - k * velocity.y * drag.y,
                       velocity.z - k * velocity.z * drag.z);
    actor->m_Position += velocity * h;

    uint32_t& state = params.words[SIM_WORD_STATE];
    if (state == SIM_STATE_STARTING) {
        state = SIM_STATE_STARTED;
    } else if (state == SIM_STATE_STARTED) {
        SendEvent(actor, params, MSG_ON_SIM_FREE_START);
        state = SIM_STATE_FREE;
    }

    const uint32_t style = params.words[SIM_WORD_STYLE];
    if (style == SIM_STYLE_TUMBLE_A || style == SIM_STYLE_TUMBLE_B) {
        Quaternion turn;
        Quat_FromAxisAngle(&turn, WordVector(params, SIM_WORD_SPIN_AXIS), h * Word(params, SIM_WORD_SPIN));
        SetWordQuaternion(params, turn);
        Quat_Multiply(&actor->m_Rotation, actor->m_Rotation, turn);
    } else if (style == SIM_STYLE_OWN_ROTATION) {
        Quaternion own = WordQuaternion(params);
        Quat_Normalize(&own, own);
        Quat_Multiply(&actor->m_Rotation, actor->m_Rotation, own);
    } else if (style != 0 && (params.words[SIM_WORD_FLAGS] & SIM_FLAG_FACE_MOTION) && Vec3_LengthSq(velocity) > 0.0f) {
        Quat_FromDirection(&actor->m_Rotation, velocity, Vector3(0.0f, 1.0f, 0.0f));
    }
    actor->InvalidateTransform();
}

void CQVActorSystem::FindContacts(const std::list<CQVActor*>& movers, uint32_t mode) {
    g_Entries.clear();
    g_Pairs.clear();
    uint32_t index = 0;
    static std::vector<uint32_t> groups;
    groups.clear();
    for (CQVActor* actor : movers) {
        if (actor->m_Flags & ACTOR_COLLISION_ENABLED) {
            AddEntries(actor, 0, index);
            if (actor->m_DrawGroupId < DRAWGROUP_LIST_COUNT) groups.push_back(actor->m_DrawGroupId);
        }
        ++index;
    }
    if (g_Entries.empty()) return;
    index = 0;
    for (CQVActor* actor : g_PassiveMovers) {
        if (actor->m_Flags & ACTOR_COLLISION_ENABLED) AddEntries(actor, 1, index);
        ++index;
    }
    std::sort(groups.begin(), groups.end());
    groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
    for (uint32_t group : groups) {
        const std::vector<ColObj*>& list = g_DrawGroupColObjs[group];
        for (size_t k = 0; k < list.size(); ++k) {
            ColObj* object = list[k];
            if (object->owner == nullptr || !(object->owner->m_Flags & ACTOR_COLLISION_ENABLED)) continue;
            BroadEntry entry{};
            if (!Bounds(*object, &entry.bounds)) continue;
            entry.object = object;
            entry.category = 2;
            entry.index = static_cast<uint32_t>(k);
            entry.group = group;
            g_Entries.push_back(entry);
        }
    }

    // Every pair whose bounds overlap on all three axes, found through a
    // grid over x and z whose cells are about two objects wide; objects that
    // cover many cells (level-sized boxes) are tested against all others.
    float extent = 0.0f;
    for (const BroadEntry& entry : g_Entries) {
        extent += std::max(entry.bounds.max.x - entry.bounds.min.x, entry.bounds.max.z - entry.bounds.min.z);
    }
    extent /= static_cast<float>(g_Entries.size());
    const float inverse = 1.0f / std::max(2.0f * extent, 1e-3f);
    g_Cells.clear();
    g_Large.clear();
    for (uint32_t i = 0; i < g_Entries.size(); ++i) {
        BroadEntry& entry = g_Entries[i];
        const float x0 = std::floor(entry.bounds.min.x * inverse), x1 = std::floor(entry.bounds.max.x * inverse);
        const float z0 = std::floor(entry.bounds.min.z * inverse), z1 = std::floor(entry.bounds.max.z * inverse);
        const float cells = (x1 - x0 + 1.0f) * (z1 - z0 + 1.0f);
        if (!(cells <= GRID_MAX_CELLS) || !(std::fabs(x0) < 1e9f) || !(std::fabs(z0) < 1e9f)) {
            entry.large = 1;
            g_Large.push_back(i);
            continue;
        }
        entry.large = 0;
        entry.cellX = static_cast<int32_t>(x0);
        entry.cellZ = static_cast<int32_t>(z0);
        for (int32_t x = entry.cellX; x <= static_cast<int32_t>(x1); ++x) {
            for (int32_t z = entry.cellZ; z <= static_cast<int32_t>(z1); ++z) {
                g_Cells.push_back(GridCell{uint64_t(uint32_t(x)) << 32 | uint32_t(z), x, z, i});
            }
        }
    }
    std::sort(g_Cells.begin(), g_Cells.end(), [](const GridCell& a, const GridCell& b) {
        return a.key != b.key ? a.key < b.key : a.entry < b.entry;
    });
    for (size_t start = 0; start < g_Cells.size();) {
        size_t end = start + 1;
        while (end < g_Cells.size() && g_Cells[end].key == g_Cells[start].key) ++end;
        for (size_t i = start; i < end; ++i) {
            const BroadEntry& a = g_Entries[g_Cells[i].entry];
            for (size_t j = i + 1; j < end; ++j) {
                const BroadEntry& b = g_Entries[g_Cells[j].entry];
                if (a.category != 0 && b.category != 0) continue;
                // A pair is found once: in the first cell the two share.
                if (std::max(a.cellX, b.cellX) != g_Cells[i].x || std::max(a.cellZ, b.cellZ) != g_Cells[i].z) continue;
                if (OverlapAll(a.bounds, b.bounds)) AddCandidate(g_Cells[i].entry, g_Cells[j].entry);
            }
        }
        start = end;
    }
    for (size_t k = 0; k < g_Large.size(); ++k) {
        const uint32_t large = g_Large[k];
        for (uint32_t other = 0; other < g_Entries.size(); ++other) {
            if (other == large || (g_Entries[other].large && other < large)) continue;
            if (OverlapAll(g_Entries[large].bounds, g_Entries[other].bounds)) AddCandidate(large, other);
        }
    }

    std::sort(g_Pairs.begin(), g_Pairs.end(), [](const CandidatePair& a, const CandidatePair& b) {
        return a.key0 != b.key0 ? a.key0 < b.key0 : a.key1 < b.key1;
    });
    for (const CandidatePair& pair : g_Pairs) {
        ++g_CollisionStats.pairTests;
        TestColObjPair(g_Entries[pair.a].object, g_Entries[pair.b].object, mode);
    }
}

int CQVActorSystem::TestColObjPair(ColObj* a, ColObj* b, uint32_t mode) {
    if (!Meets(*a, *b)) return 0;
    const bool blocking = ((a->flags & COLOBJ_SOLID) && (b->flags & COLOBJ_BLOCKS)) ||
                          ((b->flags & COLOBJ_SOLID) && (a->flags & COLOBJ_BLOCKS));
    if (!blocking && (!(mode & COLLISION_MODE_EVENTS) || !Reports(*a, *b))) return 0;
    if (ColObj_TestKind(*a) > ColObj_TestKind(*b)) std::swap(a, b);
    Hit hit{};
    if (!ShapeTest(*a, *b, &hit)) return 0;
    ++g_CollisionStats.hits;

    for (int side = 0; side < 2; ++side) {
        ColObj* i = side == 0 ? a : b;
        ColObj* o = side == 0 ? b : a;
        if (mode & COLLISION_MODE_EVENTS) QueueEvents(i, o);
        if ((mode & COLLISION_MODE_CONTACTS) && (i->flags & COLOBJ_SOLID) && (o->flags & COLOBJ_BLOCKS) &&
            !(o->flags & COLOBJ_SOLID)) {
            const Contact contact{i, o, side == 0 ? Negated(hit.push) : hit.push,
                                  side == 0 ? Negated(hit.normal) : hit.normal, hit.point};
            AddContact(i->owner, contact);
        }
    }
    const uint32_t both = COLOBJ_SOLID | COLOBJ_BLOCKS;
    if ((mode & COLLISION_MODE_CONTACTS) && (a->flags & both) == both && (b->flags & both) == both) {
        // Two solids share the way out by mass: the lighter moves more.
        const float massA = Mass(a->owner), massB = Mass(b->owner);
        const float sum = massA + massB;
        const float shareA = sum > 0.0f ? massB / sum : 0.5f;
        const float shareB = sum > 0.0f ? massA / sum : 0.5f;
        AddContact(a->owner, Contact{a, b, Negated(hit.push) * shareA, Negated(hit.normal), hit.point});
        AddContact(b->owner, Contact{b, a, hit.push * shareB, hit.normal, hit.point});
    }
    return 0;
}

void CQVActorSystem::RunCollisionPass(float dt) {
    g_CollisionQueue.used = 0;
    g_QueuedEvents.clear();
    ++g_PassNumber;
    g_CollisionStats = CollisionStats{};
    uint32_t steps;
    float fraction;
    Collision_Substeps(dt, &steps, &fraction);
    g_CollisionStats.substeps = steps;
    g_PassEnvironment.gravity = EnvironmentValue(MSG_GET_GRAVITY, 9.81f);
    g_PassEnvironment.airResistance = EnvironmentValue(MSG_GET_AIR_RESISTANCE, 1.0f);

    for (const std::list<CQVActor*>* list : {&g_PassiveMovers, &g_ActiveMovers}) {
        for (CQVActor* actor : *list) {
            if (!(actor->m_Flags & ACTOR_SIMULATED)) UpdateColObjVolumes(actor);
        }
    }
    for (uint32_t s = 0; s < steps; ++s) {
        for (const std::list<CQVActor*>* list : {&g_PassiveMovers, &g_ActiveMovers}) {
            for (CQVActor* actor : *list) {
                if (!(actor->m_Flags & ACTOR_SIMULATED)) continue;
                SimulateBody(actor, fraction);
                UpdateColObjVolumes(actor);
            }
        }
        const bool last = s + 1 == steps;
        FindContacts(g_ActiveMovers, last ? (COLLISION_MODE_EVENTS | COLLISION_MODE_CONTACTS) : COLLISION_MODE_CONTACTS);
        ResolveContacts(this);
    }
    DeliverQueue();
}

void Collision_Reset() {
    CollisionQueue& queue = g_CollisionQueue;
    if (queue.owns) std::free(queue.data);
    queue = CollisionQueue{};
    g_CollisionStats = CollisionStats{};
    g_QueuedEvents.clear();
    g_Contacted.clear();
    g_ContactPool.clear();
    g_Resolving.clear();
    g_ResolvingPool.clear();
    g_Entries.clear();
    g_Pairs.clear();
    g_Cells.clear();
    g_Large.clear();
}
