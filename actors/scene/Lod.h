#pragma once
// Level of detail: starts the child of the level that fits the camera's
// distance ("Lev_1" to "Lev_4") and stops the one it leaves, choosing at
// most once a second.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <vector>

// One detail level. The child is the tree's; the level only points at it,
// through a link, so a child deleted on its own leaves the level empty
// instead of dangling.
struct LodLevel {
    float distance = 0.0f;  // the level is used while the camera is nearer than this
    float fade = 0.0f;      // kept and saved; the Lod does not use it
    ActorLink child;
};

// Levels a Lod offers (the sheet's list) and that a file may hold.
constexpr uint32_t kLodMaxLevels = 4;

class CQVLod : public CQVActor {
public:
    CQVLod();
    ~CQVLod() override;

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    // "Set Lod Level Count": false when the count is past the levels offered.
    bool SetLevelCount(uint32_t count);
    uint32_t LevelCount() const { return static_cast<uint32_t>(m_Levels.size()); }
    // The level the "Distance:" and "Fade:" rows edit; null when none is selected.
    LodLevel* SelectedLevel();
    // The first level whose distance is greater than d, or -1.
    int32_t ChooseLevel(float d) const;

    std::vector<LodLevel> m_Levels;
    int32_t m_Selected = -1;  // the level the "Distance:" and "Fade:" rows edit
    int32_t m_Current = -1;   // the level whose child is started
    float m_CheckTimer = 0.0f;  // seconds since the last choice
};
