#pragma once
// A marker in a level. As a spawner it clones template actors, drawn by
// weight from a list of paths, at itself, at a child or at a random point of
// a box around it, gated by an interval, total counts and a percentage; as
// a warp it moves a touching player character to itself and hurts it.

#include "kernel/actors/Actor.h"

#include <string>
#include <vector>

struct SpawnEntry {
    std::string legacyName;   // kept and saved only
    uint32_t legacyWord = 0;  // kept and saved only
    std::string name;         // path of the template, from the root
    uint32_t weight = 1;      // tickets in the draw, up to 100
    uint32_t maxCount = 1000000;
    uint32_t spawnedCount = 0;
    uint32_t type = 0;        // 0 Spawn, 1 Only Set Position; kept only
};

constexpr uint32_t SPAWN_POINT_PLACEHOLDER = 0;
constexpr uint32_t SPAWN_POINT_PLAYER_START = 1;
constexpr uint32_t SPAWN_POINT_SPAWN = 2;
constexpr uint32_t SPAWN_POINT_WARP = 3;

class CQVSpawnPoint : public CQVActor {
public:
    CQVSpawnPoint();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    static void RegisterProperties();

    // The entry the sheet's per-entry rows address, null when none is selected.
    SpawnEntry* SelectedEntry() { return m_Selected < m_Entries.size() ? &m_Entries[m_Selected] : nullptr; }
    void SetSelectedWeight(uint32_t weight);
    void SetNonSpawnPercent(uint32_t percent);
    // Type 3 adds the warp's box; any other type removes every collision object.
    void ApplyType();
    void ForgetExternUnlessUsed();

    // One spawn attempt through every gate; the clone, or null.
    CQVActor* PlaceSpawned();
    // Draws a template from this Spawn Point's list, advancing its counters.
    CQVActor* SpawnOne();

    uint32_t m_Type = SPAWN_POINT_SPAWN;
    uint32_t m_UseSpawnBox = 0;
    Vector3 m_SpawnBox = Vector3(50.0f, 0.0f, 50.0f);  // full extents around the placement
    uint32_t m_SpawnOnStartGame = 0;
    float m_MinInterval = 0.0f;   // least clock seconds between two spawns
    float m_LastSpawnTime = 0.0f; // clock time of the last spawn
    uint32_t m_SpawnCounter = 0;
    uint32_t m_MaxCount = 1000000;
    std::vector<SpawnEntry> m_Entries;
    uint32_t m_Selected = 0;
    uint32_t m_NonSpawnPercent = 0; // chance that a spawn past every gate is given up
    uint32_t m_Reserved = 0xFFFFFFFF;
    std::string m_ExternPath;       // a Spawn Point whose list is used instead
    uint32_t m_UseExtern = 0;

private:
    CQVActor* PlacementReference(const CQVActor* chosen);
    void Warp(CQVActor* character);
    int SerializeEntries(CQVActorArchive* archive);
};
