#pragma once
// The skinned mesh actor: a mesh actor whose skinned mesh is posed each
// frame from a list of named motions played on eleven motion layers. Layer
// 0 carries the full-body motion; layers 1 to 10 blend motions over a body
// part with a weight and serve as the fading copies of cross-fades. The
// pose is computed once per frame and the mesh skinned just before it is
// drawn; bone actors can follow the skeleton's bones, an output actor the
// root bone's track, and a slaved SkinObject takes its master's pose. A
// character's body is a SkinObject child driven by "Set Motion", the layer
// messages and "Update"; it reports to its parent with "Callback Motion Set"
// and "Callback SkinLooping".

#include "actors/scene/Object.h"
#include "services/mesh/Mesh.h"

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

class CQVLibraryItem;
class CQVMotionItem;
struct BoneLayerBinding;
struct BoneMatrices;
struct Skeleton;

constexpr uint32_t kSkinLayerCount = 11;
constexpr uint8_t kSkinNoLayer = 255;

// Play styles of a motion.
enum : uint8_t {
    SKIN_PLAY_LOOP = 0,
    SKIN_PLAY_ONCE = 1,
    SKIN_PLAY_ONCE_THEN_HOLD = 2,
};

// m_SkinFlags bits.
constexpr uint32_t SKIN_UPPER_LAYERS = 0x1;     // a layer above 0 is in use: layers 1 to 10 are stepped and applied
constexpr uint32_t SKIN_RESOURCES_LOADED = 0x2;
constexpr uint32_t SKIN_BONE_SYNC = 0x4;        // bone-sync entries exist
constexpr uint32_t SKIN_EVENT_CONTAINERS = 0x8; // "Activate%d" children exist

// SkinMotionLayer::flags bits.
constexpr uint32_t LAYER_DEST_BONE_LAYER_MASK = 0xFF;   // skeleton animation layer the binding writes into
constexpr uint32_t LAYER_INDEX_SHIFT = 8;               // the layer's own index, 4 bits
constexpr uint32_t LAYER_INDEX_MASK = 0xF00;
constexpr uint32_t LAYER_TRANSITION = 1u << 12;         // a transition plays; the requested motion waits
constexpr uint32_t LAYER_BLENDING = 1u << 13;           // the blend value moves towards its target
constexpr uint32_t LAYER_FADING_OUT = 1u << 14;         // the fading copy of a cross-fade
constexpr uint32_t LAYER_WEIGHT_APPLIED = 1u << 15;     // the binding's weights match the blend value
constexpr uint32_t LAYER_AUTOMATIC_SET = 1u << 16;      // the motion step starts a motion: no cross-fade
constexpr uint32_t LAYER_BLEND_MODE_SHIFT = 17;         // the binding's blend mode, 6 bits
constexpr uint32_t LAYER_BLEND_MODE_MASK = 0x3Fu << LAYER_BLEND_MODE_SHIFT;

// One entry of the motion list.
struct SkinMotion {
    CQVMotionItem* item = nullptr;  // shared library item; run time only
    int32_t itemId = -1;
    float length = 0.0f;  // in layer time
    std::string name;
    float blendTime = 0.0f;  // cross-fade duration factor; 0 switches at once
    // Saved as one word, lowest byte first.
    uint8_t priority = 0;  // kept for the editor; nothing consults it
    uint8_t layer = kSkinNoLayer;  // whose "Activate%d" holds the motion's event actor
    uint8_t playStyle = SKIN_PLAY_LOOP;
    uint8_t spare = 0;
};

struct BindingDeleter {
    void operator()(BoneLayerBinding* binding) const;
};
using OwnedBinding = std::unique_ptr<BoneLayerBinding, BindingDeleter>;

struct SkinMotionLayer {
    uint32_t flags = 0;
    uint32_t bodyPart = 0;  // 255 every bone, 1 to 9 a body part; 0 on layers 1 to 10: none
    int32_t motion = -1;    // into the motion list
    std::string motionName = "N_Neutral";  // the name last asked for, not the variant picked
    std::string nextMotion;  // waits behind a transition
    float speed = 1.0f;
    float time = 999.0f;  // clock seconds times speed
    float blend = 1.0f;
    float blendTarget = 0.0f;
    float blendRate = 0.0f;  // per second
    OwnedBinding binding;    // made on demand

    uint32_t Index() const { return (flags & LAYER_INDEX_MASK) >> LAYER_INDEX_SHIFT; }
    uint32_t DestBoneLayer() const { return flags & LAYER_DEST_BONE_LAYER_MASK; }
    uint32_t BlendMode() const { return (flags & LAYER_BLEND_MODE_MASK) >> LAYER_BLEND_MODE_SHIFT; }
    void SetBlendMode(uint32_t mode) {
        flags = (flags & ~LAYER_BLEND_MODE_MASK) | ((mode << LAYER_BLEND_MODE_SHIFT) & LAYER_BLEND_MODE_MASK);
    }
    // Every field but the binding.
    void CopyFieldsFrom(const SkinMotionLayer& other);
};

// A bone actor that follows a bone of the skeleton. The bone is kept by its
// place in the skeleton, so a copy of the actor finds it in its own skeleton.
struct BoneSyncEntry {
    ActorLink link;
    int32_t bone = -1;  // -1: no bone of that name
};

// One per layer: the "Activate%d" child and its child named after the
// layer's motion.
struct SkinEventSlot {
    ActorLink container;
    ActorLink eventActor;
};

class CQVSkinObject : public CQVObject {
public:
    CQVSkinObject();
    ~CQVSkinObject() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    // The root output, then the mesh actor's step.
    void Update() override;
    // Pose and skinning, at most once per frame, just before a render item is drawn.
    void PrepareRender() override;
    // The mesh actor's, then each render item draws through this actor.
    void UpdateRenderItems() override;

    static void RegisterProperties();

    // The first motion of exactly that name, or -1.
    int32_t FindMotion(const std::string& name) const;
    // The motion a layer plays, or null for none (an index outside the list included).
    SkinMotion* MotionOf(const SkinMotionLayer& layer);
    SkinMotionLayer& CurrentLayer() { return m_Layers[m_CurrentLayer]; }
    SkinMotionLayer* CurrentLayerBlock() { return &m_Layers[m_CurrentLayer]; }
    Skeleton* GetSkeleton() const { return m_Skeleton.get(); }
    const BoneMatrices* GetBoneMatrices() const { return m_BoneMatrices.get(); }
    CQVSkinObject* GetMaster() const;
    const Sphere* ClippingSphere() const { return m_HasClippingSphere ? &m_ClippingSphere : nullptr; }

    std::vector<SkinMotion> m_Motions;
    uint32_t m_SkinFlags = 0;
    std::array<SkinMotionLayer, kSkinLayerCount> m_Layers;
    uint32_t m_CurrentLayer = 0;
    float m_MotionUpdateTime = 0.0f;  // clock time of the last motion step
    int32_t m_BonesStamp = -1;        // frame of the last pose
    int32_t m_SkinStamp = -1;         // frame of the last skinning
    std::string m_AutoAssignName;
    int32_t m_SelectedMotion = -1;    // the motion the sheet edits
    uint32_t m_Slave = 0;
    Sphere m_ClippingSphere{};
    bool m_HasClippingSphere = false;
    ActorLink m_RootOutput;  // receives the root bone's track
    ActorLink m_Master;      // the nearest SkinObject ancestor, when slaved
    std::list<BoneSyncEntry> m_BoneSync;  // a list: the links must stay where they are
    std::array<SkinEventSlot, kSkinLayerCount> m_EventSlots;

    // Shared by every SkinObject: cleared while the motion step restarts a
    // looping motion, so the parent hears no "Callback Motion Set" for it.
    static bool s_NotifyParent;

    // Members the message table calls: the current layer's time over its
    // motion's length, and the fields of the motion the sheet edits.
    float NormalizedLayerTime();
    void SetNormalizedLayerTime(float t);
    bool HasSelectedMotion() { return SelectedMotion() != nullptr; }
    std::string SelectedName();
    void SetSelectedName(const std::string& name);
    float SelectedBlendTime();
    void SetSelectedBlendTime(float time);
    void SetSelectedLayer(uint32_t layer);
    template <uint8_t SkinMotion::*Field>
    uint32_t SelectedByte() {
        const SkinMotion* motion = SelectedMotion();
        return motion ? motion->*Field : 0;
    }
    // Only the lowest byte of the word is kept.
    template <uint8_t SkinMotion::*Field>
    void SetSelectedByte(uint32_t value) {
        if (SkinMotion* motion = SelectedMotion()) motion->*Field = static_cast<uint8_t>(value & 0xFF);
    }

private:
    struct SkeletonDeleter {
        void operator()(Skeleton* skeleton) const;
    };
    struct MatricesDeleter {
        void operator()(BoneMatrices* matrices) const;
    };

    void InitCommon();
    void InitCopy();
    void CopySkinFields(const CQVSkinObject& source);
    void SetOwners();
    Skeleton* MakeSkeleton();
    float ClockTime() const;
    SkinMotion* SelectedMotion();

    // The layer messages and the motion step.
    int SetMotion(const char* name);
    void CrossFade(SkinMotionLayer& layer, const SkinMotion& motion, int32_t found, float* start);
    void ClearLayerMotion(SkinMotionLayer& layer);
    void SetLayerBlendValue(SkinMotionLayer& layer, float value);
    void LerpLayerBlendValue(SkinMotionLayer& layer, float time, float value);
    void SetLayerMask(uint32_t part);
    void StepMotions();
    void StepLayer(uint32_t index, float dt);
    void EnsureBaseMotion();
    Vector3 MotionVector(Vector3 v);
    void OnMotionEvent(const char* name);

    // Pose, outputs and bone actors.
    void UpdateBones();
    void SkinMesh();
    void UpdateRootOutput();
    void SetRootOutput(CQVActor* actor);
    void FindMaster();
    int CreateBoneActors(MessageArgs args);
    void CreateEventActors();
    int ResyncBones(uint32_t id, MessageArgs args);

    // The motion list and its editing.
    void AddMotion();
    int DeleteMotion();
    // The current layer's motion takes the library item (which must be a motion).
    int SetMotionItem(const CQVLibraryItem* item);
    int AutoAssignMotions();
    void MendOldMotions(uint32_t version);
    void LoadResources();
    void UnloadResources();
    void Precalculate();

    std::unique_ptr<Skeleton, SkeletonDeleter> m_Skeleton;
    std::unique_ptr<BoneMatrices, MatricesDeleter> m_BoneMatrices;
};

// The name rules of auto-assigned and old motions, by character position:
// "Die" at 2 to 4 blends in 0.1 s, "Dead" at 2 to 5 holds its end, and
// '_', 'B', 'L', '_' at 1 to 4 plays once. Positions past the name match nothing.
void SkinMotion_ApplyNameRules(SkinMotion* motion);
