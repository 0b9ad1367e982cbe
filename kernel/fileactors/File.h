#pragma once
// A placeholder inside a level: it holds actor files with weights and
// per-scene maximum counts, picks one at random when it is read from its
// level, and imports the chosen file's actors beneath itself.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <string>
#include <vector>

class CQVFile : public CQVActor {
public:
    CQVFile();
    ~CQVFile() override;
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    // Draws the file to load by weight, minding the per-scene maximums and
    // the no-file percentage; 1 when a file was selected.
    int ChooseFile();
    // Imports the selected file beneath this actor; 1 on success.
    int LoadSelected();
    // Writes the loaded actors to the data file of that name; 1 on success.
    int SaveLoaded(const std::string& name);

    bool HasSelection() const { return m_Selected >= 0 && static_cast<size_t>(m_Selected) < m_Files.size(); }
    // The selected file's name, weight and maximum count; null without a selection.
    std::string* SelectedFile();
    uint32_t* SelectedWeight();
    uint32_t* SelectedMaxCount();
    // A weight is 1 to 100, the no-file share at most 100 percent.
    void KeepWeightInRange();
    void KeepPercentInRange();
    // Appends a file with weight 1 and no maximum.
    void AddFile(const char* name);

    uint32_t m_Unnamed = 0;
    std::vector<std::string> m_Files; // relative to the data directory
    std::vector<uint32_t> m_Weights;  // 1 to 100
    std::vector<uint32_t> m_MaxCounts; // 0: no limit
    int32_t m_Selected = -1;
    uint32_t m_Loaded = 0;
    uint32_t m_AlwaysReload = 0;
    uint32_t m_AutoLoad = 1;
    uint32_t m_NoFilePercent = 0;
    uint32_t m_Words[4] = {0, 0, 0, 0}; // copied with the actor; no behaviour here

private:
    // The selected file is already being imported by a File actor above
    // this one, or File actors nest too deep: a file that includes itself,
    // directly or through others, would import without end.
    bool IncludesItself() const;
    void Unload();
    int LoadFileObject();
};

// How many File actors are alive.
extern uint32_t g_FileActorCount;

// One file that has a per-scene maximum and has been chosen in this scene.
struct FileCountEntry {
    std::string name;
    uint32_t maximum = 0;
    uint32_t count = 0;
};
extern std::vector<FileCountEntry> g_FileCountTable;
// Emptied when a new scene starts loading.
void FileCountTable_Clear();

// The file actors' globals back to their start: an empty count table and no
// import under way.
void FileActors_Reset();
