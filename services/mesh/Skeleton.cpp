#include "services/mesh/Skeleton.h"

#include "kernel/base/NameTable.h"
#include "services/library/LibraryItem.h"

#include <cstring>

namespace {

bool LoadMesh(CQVMeshItem* mesh) { return mesh != nullptr && (mesh->loaded || mesh->Load() == 1); }

const Matrix& Identity() {
    static const Matrix identity = [] {
        Matrix m;
        Mat4_Identity(&m);
        return m;
    }();
    return identity;
}

// A bone's parent within the list, or -1 (a root, or a parent index that names no bone).
int32_t ParentOf(const Skeleton& skeleton, size_t index) {
    const int32_t parent = skeleton.bones[index]->parent;
    return parent >= 0 && static_cast<size_t>(parent) < skeleton.bones.size() ? parent : -1;
}

// The layer's rotation at a share of its angle about its own axis.
Quaternion ScaledRotation(const Quaternion& q, float weight) {
    if (weight == 1.0f) return q;
    Vector3 axis;
    float angle;
    Quat_ToAxisAngle(q, &axis, &angle);
    Quaternion scaled;
    Quat_FromAxisAngle(&scaled, axis, weight * angle);
    return scaled;
}

void ApplyLayer(const BoneLayer& layer, Quaternion* r, Vector3* p) {
    const float w = layer.weight;
    switch (layer.blendMode) {
        case BONE_LAYER_BEFORE:
            Quat_Multiply(r, ScaledRotation(layer.rotation, w), *r);
            *p += layer.translation * w;
            break;
        case BONE_LAYER_TOWARDS:
            Quat_Slerp(r, *r, layer.rotation, w);
            *p += (layer.translation - *p) * w;
            break;
        case BONE_LAYER_AFTER:
            Quat_Multiply(r, *r, ScaledRotation(layer.rotation, w));
            *p += layer.translation * w;
            break;
        default:
            break;
    }
}

// The bone's local matrix from its track and its layers.
void PoseBone(Bone* bone, const KeyTrack& track, float time) {
    Vector3 p;
    Quaternion r;
    KeyTrack_EvalPosition(&p, &track, time);
    KeyTrack_EvalRotation(&r, &track, time);
    for (uint32_t l = 0; l < kBoneLayerCount && (bone->activeLayers >> l) != 0; ++l) {
        if (bone->activeLayers & (1u << l)) ApplyLayer(bone->layers[l], &r, &p);
    }
    Mat4_FromQuaternion(&bone->local, r);
    bone->local.m[3][0] = p.x;
    bone->local.m[3][1] = p.y;
    bone->local.m[3][2] = p.z;
}

}  // namespace

Skeleton* Mesh_CreateSkeleton(CQVMeshItem* mesh) {
    if (!LoadMesh(mesh) || mesh->bones.empty()) return nullptr;
    Skeleton* skeleton = new Skeleton;
    skeleton->bones.reserve(mesh->bones.size());
    for (const Bone* source : mesh->bones) {
        Bone* bone = new Bone;
        bone->parent = source->parent;
        bone->nameId = source->nameId;
        bone->local = source->local;
        bone->offset = source->offset;
        bone->world = source->world;
        bone->activeLayers = source->activeLayers;
        std::memcpy(bone->layers, source->layers, sizeof bone->layers);
        skeleton->bones.push_back(bone);
    }
    for (size_t i = 0; i < skeleton->bones.size(); ++i) {
        const int32_t parent = ParentOf(*skeleton, i);
        if (parent >= 0) skeleton->bones[parent]->children.push_back(skeleton->bones[i]);
    }
    return skeleton;
}

void Skeleton_Destroy(Skeleton* skeleton) {
    if (skeleton == nullptr) return;
    for (Bone* bone : skeleton->bones) delete bone;
    delete skeleton;
}

Bone* Skeleton_GetBone(const Skeleton* skeleton, uint32_t index) {
    return skeleton != nullptr && index < skeleton->bones.size() ? skeleton->bones[index] : nullptr;
}

uint32_t Skeleton_GetBoneCount(const Skeleton* skeleton) {
    return skeleton != nullptr ? static_cast<uint32_t>(skeleton->bones.size()) : 0;
}

Bone* Skeleton_FindBone(const Skeleton* skeleton, const char* name) {
    if (skeleton == nullptr || name == nullptr) return nullptr;
    for (Bone* bone : skeleton->bones) {
        if (std::strcmp(g_NameTable.GetName(bone->nameId), name) == 0) return bone;
    }
    return nullptr;
}

const char* Bone_GetName(const Bone* bone) { return bone != nullptr ? g_NameTable.GetName(bone->nameId) : nullptr; }

int Bone_GetMatrix(const Bone* bone, Matrix* out) {
    if (bone == nullptr) return 0;
    *out = bone->world;
    return 1;
}

int Bone_SetLayerRotation(Bone* bone, const Quaternion& rotation, uint32_t layer) {
    if (bone == nullptr || layer >= kBoneLayerCount) return 0;
    bone->layers[layer].rotation = rotation;
    return 1;
}

int Bone_SetLayerPosition(Bone* bone, const Vector3& translation, uint32_t layer) {
    if (bone == nullptr || layer >= kBoneLayerCount) return 0;
    bone->layers[layer].translation = translation;
    return 1;
}

int Bone_SetLayerBlendMode(Bone* bone, uint32_t mode, uint32_t layer) {
    if (bone == nullptr || layer >= kBoneLayerCount) return 0;
    bone->layers[layer].blendMode = mode;
    return 1;
}

int Bone_SetLayerWeight(Bone* bone, float weight, uint32_t layer) {
    if (bone == nullptr || layer >= kBoneLayerCount) return 0;
    bone->layers[layer].weight = weight;
    if (weight != 0.0f) {
        bone->activeLayers |= 1u << layer;
    } else {
        bone->activeLayers &= ~(1u << layer);
    }
    return 1;
}

BoneMatrices* Mesh_AllocBoneMatrices(CQVMeshItem* mesh) {
    if (!LoadMesh(mesh) || mesh->bones.empty()) return nullptr;
    BoneMatrices* matrices = new BoneMatrices;
    matrices->count = static_cast<uint32_t>(mesh->bones.size());
    matrices->matrices = std::make_unique<Matrix[]>(matrices->count);
    for (uint32_t i = 0; i < matrices->count; ++i) matrices->matrices[i] = Identity();
    return matrices;
}

void Skeleton_FreeBoneMatrices(BoneMatrices* matrices) { delete matrices; }

void Skeleton_UpdatePose(Skeleton* skeleton, CQVMotionItem* motion, BoneMatrices* matrices, float time) {
    if (skeleton == nullptr || motion == nullptr || matrices == nullptr) return;
    if (!motion->loaded) motion->Load();
    const size_t count = skeleton->bones.size();
    for (size_t i = 0; i < count; ++i) {
        Bone* bone = skeleton->bones[i];
        const KeyTrack* track = KeyTrack_FindById(motion->tracks, bone->nameId);
        if (track != nullptr) {
            PoseBone(bone, *track, time);
        } else {
            bone->local = Identity();  // layers need a track to act on
        }
    }
    for (size_t i = 0; i < count; ++i) {
        Bone* bone = skeleton->bones[i];
        const int32_t parent = ParentOf(*skeleton, i);
        if (parent < 0) {
            bone->world = bone->local;
        } else {
            Mat4_Multiply(&bone->world, bone->local, skeleton->bones[parent]->world);
        }
    }
    const size_t filled = std::min<size_t>(count, matrices->count);
    for (size_t i = 0; i < filled; ++i) {
        const Bone* bone = skeleton->bones[i];
        Mat4_Multiply(&matrices->matrices[i], bone->offset, bone->world);
    }
}
