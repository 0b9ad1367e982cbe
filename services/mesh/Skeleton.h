#pragma once
// Skeleton poses: an actor's own copy of a skinned mesh's bones, posed each
// frame from a motion plus up to four animation layers per bone, turned into
// one skin matrix per bone for the software skinning of the mesh. Body-part
// bindings drive a set of bones (the upper body, one arm, the tail ...)
// through one layer with one weight.

#include "services/mesh/KeyTrack.h"
#include "services/mesh/Mesh.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CQVMeshItem;
class CQVMotionItem;

// Layer blend modes. Any other value leaves the layer out.
enum : uint32_t {
    BONE_LAYER_BEFORE = 0,   // the layer's rotation before the pose's (layer x pose), its translation added
    BONE_LAYER_TOWARDS = 1,  // the pose moves towards the layer's rotation and translation by the weight
    BONE_LAYER_AFTER = 2,    // the layer's rotation after the pose's (pose x layer), its translation added
};

struct Skeleton {
    std::vector<Bone*> bones;  // the mesh's bone order, each owned by the skeleton
};

// One skin matrix (offset x world) per mesh bone, as skinning reads them.
struct BoneMatrices {
    uint32_t count = 0;
    std::unique_ptr<Matrix[]> matrices;
};

// Body parts: 255 binds every bone of the skeleton; 1 to 9 a fixed list of
// bone names (the upper body, the head and spine, one arm, the tail ...).
constexpr uint32_t kBodyPartAll = 255;
constexpr uint32_t kBodyPartCount = 10;

struct BoneLayerEntry {
    Bone* bone;
    float factor;  // share of the binding's weight this bone takes
    std::string boneName;
};

struct BoneLayerBinding {
    uint32_t entryCount = 0;
    std::unique_ptr<BoneLayerEntry[]> entries;
    uint32_t layer = 0;  // 0 to 3; 0xFFFFFFFF leaves the bones' layers alone when destroyed
    uint32_t blendMode = 0;
};

// Loads the mesh when needed; null for a null mesh or one without bones.
// Bones start with the mesh's own matrices, until the first pose.
Skeleton* Mesh_CreateSkeleton(CQVMeshItem* mesh);
void Skeleton_Destroy(Skeleton* skeleton);
Bone* Skeleton_GetBone(const Skeleton* skeleton, uint32_t index);
uint32_t Skeleton_GetBoneCount(const Skeleton* skeleton);
// The first bone of that name (byte comparison), else null.
Bone* Skeleton_FindBone(const Skeleton* skeleton, const char* name);

// Null for a null bone.
const char* Bone_GetName(const Bone* bone);
// Copies the world matrix; 0 for a null bone.
int Bone_GetMatrix(const Bone* bone, Matrix* out);
// The layer setters return 0 for a null bone or a layer outside 0 to 3. A
// weight other than 0 switches the layer on, 0 switches it off.
int Bone_SetLayerRotation(Bone* bone, const Quaternion& rotation, uint32_t layer);
int Bone_SetLayerPosition(Bone* bone, const Vector3& translation, uint32_t layer);
int Bone_SetLayerBlendMode(Bone* bone, uint32_t mode, uint32_t layer);
int Bone_SetLayerWeight(Bone* bone, float weight, uint32_t layer);

// Loads the mesh when needed; null without bones.
BoneMatrices* Mesh_AllocBoneMatrices(CQVMeshItem* mesh);
void Skeleton_FreeBoneMatrices(BoneMatrices* matrices);

// Poses every bone from its track in the motion at the time (loading the
// motion when needed) with its layers on top, then the world matrices down
// the hierarchy and the skin matrices. A bone the motion has no track for
// takes the identity as its local matrix, whatever its layers hold.
// Nothing when any argument is null.
void Skeleton_UpdatePose(Skeleton* skeleton, CQVMotionItem* motion, BoneMatrices* matrices, float time);

// Rewrites the positions and normals of a skinned mesh's vertices from the
// skin records and the matrices. The subset's culling sphere becomes the
// sphere when one is given; otherwise the first pass measures the posed
// subset. Subsets without skin records are left as they are.
void Mesh_ApplySkin(CQVMeshItem* mesh, const BoneMatrices* matrices, uint32_t unused, const Sphere* sphere);

// Null for a null skeleton and for parts other than 1 to 9 and 255; bones
// the skeleton lacks are left out.
BoneLayerBinding* Skeleton_CreateBodyPartBinding(Skeleton* skeleton, uint32_t part, uint32_t layer, uint32_t mode);
// Each bound bone's layer weight = weight x its factor; the binding's mode is set again.
void BoneLayerBinding_SetWeight(BoneLayerBinding* binding, float weight);
void BoneLayerBinding_SetBlendMode(BoneLayerBinding* binding, uint32_t mode);
// Each bound bone with a track in the motion takes the track's rotation and
// position at the time into the binding's layer. Does not load the motion.
void BoneLayerBinding_ApplyMotion(BoneLayerBinding* binding, CQVMotionItem* motion, float time);
// Switches the layer off on every bound bone, then deletes the binding.
void BoneLayerBinding_Destroy(BoneLayerBinding* binding);
