#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/Collision.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"

#include <algorithm>

#include <vector>

namespace {

struct RayBest {
    float distanceSq;
    Vector3 point;
    Vector3 normal;
    ColObj* object = nullptr;
};

bool Matches(const ColObj& object, const RayFilter& filter) {
    if (!((object.groups & filter.receive) || (filter.groups & object.groupsReceive))) return false;
    return !(filter.exclude & object.groups) && !(object.groupsExclude & filter.groups);
}

// One object against the segment: spheres and boxes only. A hit behind the
// start or past the end of the segment is no hit.
void TestObject(ColObj& object, const RayFilter& filter, const Vector3& from, const Vector3& direction,
                RayBest* best) {
    if (!(object.flags & COLOBJ_ACTIVE) || !Matches(object, filter)) return;
    Vector3 point, normal;
    switch (ColObj_TestKind(object)) {
    case COLOBJ_SPHERE:
        if (!Ray_IntersectSphere(from, direction, object.worldMin, object.worldMax.x, &point, &normal)) return;
        break;
    case COLOBJ_BOX:
        if (!Ray_IntersectBox(from, direction, object.worldMin, object.worldMax, nullptr, nullptr)) return;
        if (object.owner == nullptr ||
            !Ray_IntersectTransformedBox(from, direction, object.boxMin, object.boxMax, object.owner->GetWorldMatrix(),
                                         object.owner->GetInverseWorldMatrix(), &point, &normal)) {
            return;
        }
        break;
    case COLOBJ_BOX_RECOMPUTE:
        if (!Ray_IntersectBox(from, direction, object.worldMin, object.worldMax, &point, &normal)) return;
        break;
    default:
        return;
    }
    const Vector3 offset = point - from;
    if (Vec3_Dot(offset, direction) < 0.0f) return;
    const float distanceSq = Vec3_LengthSq(offset);
    if (distanceSq >= best->distanceSq) return;
    best->distanceSq = distanceSq;
    best->point = point;
    best->normal = normal;
    best->object = &object;
}

void TestMovers(const std::list<CQVActor*>& movers, const RayFilter& filter, const Vector3& from,
                const Vector3& direction, RayBest* best) {
    for (CQVActor* actor : movers) {
        if (!(actor->m_Flags & ACTOR_COLLISION_ENABLED)) continue;
        for (ColObj& object : actor->m_ColObjs) TestObject(object, filter, from, direction, best);
    }
}

void TestGroup(uint32_t group, const RayFilter& filter, const Vector3& from, const Vector3& direction,
               RayBest* best) {
    if (group >= DRAWGROUP_LIST_COUNT) return;
    for (ColObj* object : g_DrawGroupColObjs[group]) {
        if (object->owner && (object->owner->m_Flags & ACTOR_COLLISION_ENABLED)) {
            TestObject(*object, filter, from, direction, best);
        }
    }
}

// The segment from -> to meets the box (the whole segment may lie inside).
bool SegmentCrossesBox(const Vector3& from, const Vector3& to, const Vector3& min, const Vector3& max) {
    float enter = 0.0f, leave = 1.0f;
    const float start[3] = {from.x, from.y, from.z};
    const float end[3] = {to.x, to.y, to.z};
    const float low[3] = {min.x, min.y, min.z};
    const float high[3] = {max.x, max.y, max.z};
    for (int axis = 0; axis < 3; ++axis) {
        const float d = end[axis] - start[axis];
        if (d == 0.0f) {
            if (start[axis] < low[axis] || start[axis] > high[axis]) return false;
            continue;
        }
        float t0 = (low[axis] - start[axis]) / d, t1 = (high[axis] - start[axis]) / d;
        if (t0 > t1) std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave) return false;
    }
    return true;
}

}  // namespace

ColObj* CQVActorSystem::RayCast(const RayFilter& filter, const Vector3& from, const Vector3& to, Vector3* hitPoint,
                                Vector3* hitNormal) {
    Vector3 direction;
    Vec3_Normalize(&direction, to - from);
    RayBest best;
    best.distanceSq = Vec3_LengthSq(to - from);
    best.point = to;
    best.normal = Vector3(0.0f, 0.0f, 0.0f);

    TestMovers(g_ActiveMovers, filter, from, direction, &best);
    TestMovers(g_PassiveMovers, filter, from, direction, &best);
    const uint32_t start = FindDrawGroupAt(from, DRAWGROUP_FIRST_LEVEL);
    if (start != DRAWGROUP_NONE) {
        TestGroup(start, filter, from, direction, &best);
        if (best.object == nullptr) {
            // Through the open connectors of the start group, each group once,
            // until one of them holds what the ray hits.
            std::vector<uint32_t> visited{start};
            const CQVDrawGroupBase* group = DrawGroups_Get(start);
            for (uint32_t connectorId : group ? group->m_Connectors : std::vector<uint32_t>{}) {
                const auto* connector = dynamic_cast<CQVDrawGroupConnectorBase*>(GetActorById(connectorId));
                if (connector == nullptr || !connector->m_Open) continue;
                // The connector answers its box in world space as a group does.
                Vector3 box[2] = {Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 0.0f, 0.0f)};
                const_cast<CQVDrawGroupConnectorBase*>(connector)->HandleMessage(MSG_GET_DRAWGROUP_AABOX,
                                                                               Args_Of(box));
                if (!SegmentCrossesBox(from, to, box[0], box[1])) continue;
                for (uint32_t other : connector->m_GroupIds) {
                    if (std::find(visited.begin(), visited.end(), other) != visited.end()) continue;
                    visited.push_back(other);
                    TestGroup(other, filter, from, direction, &best);
                    if (best.object) break;
                }
                if (best.object) break;
            }
        }
    }
    if (hitPoint) *hitPoint = best.point;
    if (hitNormal) *hitNormal = best.normal;
    return best.object;
}
