#pragma once
// The frame's collision and simulation pass: simulated bodies under gravity
// and drag, the collision objects of moving actors tested against each
// other and against the static colliders of their draw group, solids
// pushed out of what blocks them, bounce, slide and rest, and the "Collision
// Event" messages and collision commands, queued during the pass and
// delivered in the order found once all substeps are done.

#include "kernel/actors/ColObj.h"
#include "kernel/base/Maths.h"

#include <cstdint>

class CQVActor;

// One contact of a moving actor: how far it must move to leave the other
// object, the normal pointing away from the other, and where they touch.
struct Contact {
    ColObj* self;
    ColObj* other;
    Vector3 push;
    Vector3 normal;
    Vector3 point;
};

// Which collision objects a ray may hit, as a collision object's masks.
struct RayFilter {
    uint32_t groups;
    uint32_t receive;
    uint32_t exclude;
};

// The actor's flag while it is in the pass's list of contacted actors.
constexpr uint32_t ACTOR_CONTACTED = 0x200;

constexpr uint32_t COLLISION_MAX_SUBSTEPS = 2;
constexpr uint32_t COLLISION_MAX_ITERATIONS = 10;
constexpr float COLLISION_SUBSTEPS_PER_SECOND = 35.0f;

// Broad phase modes: bit 0 the last substep (events and triggers), bit 1 contacts.
constexpr uint32_t COLLISION_MODE_EVENTS = 0x1;
constexpr uint32_t COLLISION_MODE_CONTACTS = 0x2;

// What the pass needs of the owners' meshes, installed by the program (the
// kernel links no mesh code); a call not installed finds nothing.
struct CollisionMeshCalls {
    // The mesh item's bounds in its own space; 0 when it has none.
    int (*getBounds)(uint32_t meshItem, Vector3* min, Vector3* max) = nullptr;
    // Moves a sphere (mesh space) out of the subset's shape: 1 when it
    // touched, with push pointing from the sphere toward the shape.
    int (*sweepSphere)(uint32_t meshItem, uint32_t subset, const Vector3& centre, float radius,
                       Vector3* push) = nullptr;
    // The walkable surface under a point (mesh space): 1 when found, with
    // the point on the surface and its normal; the triangle found is kept
    // in the cache and tried first next time.
    int (*findGround)(uint32_t meshItem, uint32_t subset, const Vector3& p, Vector3* point, Vector3* normal,
                      uint32_t* cachedTriangle) = nullptr;
};
extern CollisionMeshCalls g_CollisionMeshCalls;
// The world's unit of length (the library's world scale).
extern float g_CollisionWorldUnit;

// The deferred messages of one pass: entries of {target, target id,
// message id, arguments} back to back in one reused buffer.
struct CollisionQueue {
    uint32_t capacity = 0;
    uint8_t* data = nullptr;
    uint32_t used = 0;
    uint32_t owns = 1;
};
extern CollisionQueue g_CollisionQueue;

// Makes room for size more bytes; 0 when the buffer cannot grow.
int CollisionQueue_Reserve(uint32_t size);
// Queues a message for the end of the pass.
void CollisionQueue_Append(CQVActor* target, uint32_t messageId, const void* args, uint32_t size);

// Counters of the last pass, for tests and benchmarks.
struct CollisionStats {
    uint32_t substeps = 0;
    uint32_t pairTests = 0;
    uint32_t hits = 0;
    uint32_t iterations = 0;
    uint32_t delivered = 0;
};
extern CollisionStats g_CollisionStats;

// The kind a volume is tested as: its own, except that a camera's kind-9
// volume is the sphere it stands for.
uint32_t ColObj_TestKind(const ColObj& object);

// The fraction of the frame one substep covers, and how many substeps run.
void Collision_Substeps(float dt, uint32_t* steps, float* fraction);

// Frees the queue and the pass's lists (a fresh run in one process); the
// installed mesh calls stay.
void Collision_Reset();
