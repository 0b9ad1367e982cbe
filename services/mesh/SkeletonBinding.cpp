#include "services/library/LibraryItem.h"
#include "services/mesh/Skeleton.h"

#include <vector>

namespace {

#define QV_SPINE_TO_HEAD "Spine1", "Spine2", "Spine3", "Neck", "Head", "HeadNub"
#define QV_ARM(side) side "_Clavicle", side "_UpperArm", side "_Forearm", side "_Hand"
#define QV_FINGERS(side)                                                                                              \
    side "_Finger0", side "_Finger01", side "_Finger02", side "_Finger1", side "_Finger11", side "_Finger12",         \
        side "_Finger2", side "_Finger21", side "_Finger22", side "_Finger3", side "_Finger31", side "_Finger32",     \
        side "_Finger4", side "_Finger41", side "_Finger42"
#define QV_TAIL(prefix) prefix "Tail", prefix "Tail1", prefix "Tail2", prefix "Tail3", prefix "Tail4"

// The bones of each body part, every one with factor 1.0. Part 0 binds
// nothing and part 9 is an empty list.
const std::vector<const char*> kBodyParts[kBodyPartCount] = {
    {},
    {QV_SPINE_TO_HEAD, QV_ARM("L"), QV_ARM("R")},
    {QV_SPINE_TO_HEAD},
    {QV_ARM("L"), QV_FINGERS("L")},
    {QV_ARM("R"), QV_FINGERS("R")},
    {QV_SPINE_TO_HEAD, QV_ARM("R"), QV_FINGERS("R")},
    {QV_TAIL(""), QV_TAIL("R_"), QV_TAIL("L_")},
    {"Spine1", "Spine2", "Spine3", "Neck", QV_ARM("L"), QV_ARM("R")},
    {QV_SPINE_TO_HEAD, QV_ARM("R"), QV_FINGERS("R"), QV_ARM("L"), QV_FINGERS("L")},
    {},
};
constexpr float kBodyPartFactor = 1.0f;

#undef QV_SPINE_TO_HEAD
#undef QV_ARM
#undef QV_FINGERS
#undef QV_TAIL

}  // namespace

BoneLayerBinding* Skeleton_CreateBodyPartBinding(Skeleton* skeleton, uint32_t part, uint32_t layer, uint32_t mode) {
    if (skeleton == nullptr || part == 0 || (part >= kBodyPartCount && part != kBodyPartAll)) return nullptr;
    std::vector<BoneLayerEntry> found;
    if (part == kBodyPartAll) {
        for (Bone* bone : skeleton->bones) found.push_back({bone, 1.0f, Bone_GetName(bone)});
    } else {
        for (const char* name : kBodyParts[part]) {
            Bone* bone = Skeleton_FindBone(skeleton, name);
            if (bone != nullptr) found.push_back({bone, kBodyPartFactor, name});
        }
    }
    BoneLayerBinding* binding = new BoneLayerBinding;
    binding->layer = layer;
    binding->blendMode = mode;
    binding->entryCount = static_cast<uint32_t>(found.size());
    binding->entries = std::make_unique<BoneLayerEntry[]>(found.size());
    std::move(found.begin(), found.end(), binding->entries.get());
    return binding;
}

void BoneLayerBinding_SetWeight(BoneLayerBinding* binding, float weight) {
    if (binding == nullptr) return;
    for (uint32_t i = 0; i < binding->entryCount; ++i) {
        const BoneLayerEntry& entry = binding->entries[i];
        Bone_SetLayerWeight(entry.bone, weight * entry.factor, binding->layer);
        Bone_SetLayerBlendMode(entry.bone, binding->blendMode, binding->layer);
    }
}

void BoneLayerBinding_SetBlendMode(BoneLayerBinding* binding, uint32_t mode) {
    if (binding == nullptr) return;
    binding->blendMode = mode;
    for (uint32_t i = 0; i < binding->entryCount; ++i) {
        Bone_SetLayerBlendMode(binding->entries[i].bone, mode, binding->layer);
    }
}

void BoneLayerBinding_ApplyMotion(BoneLayerBinding* binding, CQVMotionItem* motion, float time) {
    if (binding == nullptr || motion == nullptr) return;
    for (uint32_t i = 0; i < binding->entryCount; ++i) {
        Bone* bone = binding->entries[i].bone;
        const KeyTrack* track = KeyTrack_FindById(motion->tracks, bone->nameId);
        if (track == nullptr) continue;
        Quaternion rotation;
        Vector3 position;
        Bone_SetLayerRotation(bone, *KeyTrack_EvalRotation(&rotation, track, time), binding->layer);
        Bone_SetLayerPosition(bone, *KeyTrack_EvalPosition(&position, track, time), binding->layer);
    }
}

void BoneLayerBinding_Destroy(BoneLayerBinding* binding) {
    if (binding == nullptr) return;
    if (binding->layer != 0xFFFFFFFFu) {
        for (uint32_t i = 0; i < binding->entryCount; ++i)
            Bone_SetLayerWeight(binding->entries[i].bone, 0.0f, binding->layer);
    }
    delete binding;
}
