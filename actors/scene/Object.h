#pragma once
// The mesh actor: puts a mesh item of the resource library into the level,
// one sub-mesh entry per subset (material, depth bias, render item), queues
// them in the draw pass, plays the mesh's vertex animation in six styles and
// can make its collision objects from the shapes stored in the mesh. The
// particle emitter and the skinned mesh derive from it and keep its entries.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <vector>

class CQVMaterialItem;
class CQVMeshItem;
struct RenderItem;

// Library ids used when an id does not resolve.
constexpr uint32_t kObjectFallbackMesh = 3;
constexpr uint32_t kObjectFallbackMaterial = 4;

// One subset of the mesh as the actor draws it. An entry owns its render
// item and its hold on the material: both go when the entry goes, so an
// entry moves but is never copied (a copy would free them twice).
struct SubMeshEntry {
    CQVMaterialItem* material = nullptr;  // acquired; run time only
    uint32_t materialId = kObjectFallbackMaterial;  // saved
    float zOffset = 0.0f;                 // saved; the render item's depth bias
    RenderItem* renderItem = nullptr;     // run time only

    SubMeshEntry() = default;
    SubMeshEntry(const SubMeshEntry&) = delete;
    SubMeshEntry& operator=(const SubMeshEntry&) = delete;
    SubMeshEntry(SubMeshEntry&& other) noexcept;
    SubMeshEntry& operator=(SubMeshEntry&& other) noexcept;
    ~SubMeshEntry();

    // Hands the material back (a private copy that nobody uses is deleted).
    void ReleaseMaterial();
    void ReleaseRenderItem();
};

// m_ObjectFlags bits.
constexpr uint32_t OBJECT_SYNC_COLLISION = 0x1;   // collision objects made from the mesh
constexpr uint32_t OBJECT_LOADED = 0x4;           // mesh and materials loaded
constexpr uint32_t OBJECT_PLAYING = 0x8;
constexpr uint32_t OBJECT_INITIAL_PLAYING = 0x10; // plays from "Start Game"
constexpr uint32_t OBJECT_SYNC_MATERIAL = 0x20;   // materials follow the mesh's own
constexpr uint32_t OBJECT_FLAGS_INITIAL = OBJECT_SYNC_COLLISION | OBJECT_SYNC_MATERIAL;

// A bit of the base actor's flag word: the world scale is set by someone
// else and the mesh actor leaves it alone.
constexpr uint32_t ACTOR_WORLD_SCALE_FIXED = 0x8;

// Animation styles.
enum : uint32_t {
    OBJECT_STYLE_FORWARD_ONCE = 0,
    OBJECT_STYLE_BACKWARD_ONCE = 1,
    OBJECT_STYLE_PING_PONG_ONCE = 2,
    OBJECT_STYLE_FORWARD_LOOP = 3,
    OBJECT_STYLE_BACKWARD_LOOP = 4,
    OBJECT_STYLE_PING_PONG_LOOP = 5,
};

// Entries a stored record may hold; a count above it marks a damaged file.
constexpr uint32_t kObjectMaxEntries = 4096;

class CQVObject : public CQVActor {
public:
    CQVObject();
    ~CQVObject() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    // The draw pass: advances the animation, queues every entry's render
    // item, then the base step (clock, children).
    void Update() override;
    // Makes the render items that are missing and hands them the actor's
    // world scale as their radius scale.
    virtual void UpdateRenderItems();
    // Destroys every render item; the next update step makes them again.
    virtual void ReleaseRenderItems();

    static void RegisterProperties();

    // Advances the animation time by dt of the actor's clock, with the
    // style's turn, loop and end (and their events).
    void AdvanceAnimation(float dt);
    // Positions the animation at its style's start.
    void ResetAnimation();
    // The change of mesh of "Set Mesh": 1, or 0 when there is no mesh.
    int SetMesh(CQVMeshItem* mesh);
    // Appends the collision objects made from the mesh's shapes (message 464).
    void BuildMeshColObjs();
    // Takes out the collision objects made from the mesh, keeping the others in order.
    void RemoveMeshColObjs();
    // Acquires entry i's material by its id (with the fallback), or by the
    // subset's own id when useMeshMaterial.
    void AcquireEntryMaterial(uint32_t i, bool useMeshMaterial);
    bool IsVisible() const { return (m_Activity & ACTIVITY_ENABLED) != 0; }
    // The load fix-ups of "Init Load" and the copy or first set-up of "Create".
    void OnInitLoad();
    int OnCreate(CQVActor* source);
    // The entry the Z-offset rows edit; null past the entries.
    SubMeshEntry* ActiveEntry();
    bool SetActiveSubset(uint32_t index);
    uint32_t SubsetCount() const { return static_cast<uint32_t>(m_Entries.size()); }
    // A time at or past the length goes just below it.
    void KeepTimeInside();
    float NormalizedTime() const;
    void SetNormalizedTime(float t);

    CQVMeshItem* m_Mesh = nullptr;  // run time only
    uint32_t m_MeshId = kObjectFallbackMesh;
    std::vector<SubMeshEntry> m_Entries;
    uint32_t m_ActiveSubset = 0;
    float m_Length = 0.0f;     // seconds: (frames - 1) / 30
    float m_Time = 0.0f;       // seconds
    uint32_t m_Style = OBJECT_STYLE_FORWARD_LOOP;
    uint32_t m_Direction = 0;  // 0 forward, 1 backward
    float m_Speed = 1.0f;
    float m_Alpha = 1.0f;
    uint32_t m_ObjectFlags = OBJECT_FLAGS_INITIAL;
    // The largest axis scale of the world matrix: the render items' radius scale.
    float m_WorldScale = 1.0f;
};
