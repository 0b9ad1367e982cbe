#pragma once
// One whole actor file and its id range: the system actors "Global",
// "Scenery" and "Clipboard" open, save and unload their files through it.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <string>

class CQVFileIO : public CQVActor {
public:
    CQVFileIO();
    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override { UpdateDefault(); }
    static void RegisterProperties();

    std::string m_FileName; // relative to the data directory
    uint32_t m_FirstId = 0; // the id range; 0 for FileIO actors made at run time
    uint32_t m_LastId = 0;

private:
    // Deletes every actor of the file and leaves only the built-in draw groups.
    void UnloadActors();
};

// Where the game keeps its actor files: base directory + "\Data\" + name;
// empty, which no file system opens, for a name that would leave that
// folder (absolute, or with a ".." part): file and script bytes name files.
std::string FileActors_DataPath(const std::string& name);

// Deletes every child of an actor, the last first, and empties its list.
void FileActors_DeleteChildren(CQVActor* actor);
