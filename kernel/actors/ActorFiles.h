#pragma once
// Actor files (*.qva): a 16-byte header {version, count, first id, id span}
// and the actors' records back to back. Writing goes to a temporary file
// beside the target, which replaces the target only once it is complete,
// so a failed save never leaves a damaged file where a good one was.

#include "kernel/base/Archive.h"

#include <cstdint>
#include <string>

constexpr uint32_t ACTOR_FILE_VERSION = 70;
constexpr uint32_t ACTOR_FILE_HEADER_SIZE = 16;
// A record's class type and id: the fewest bytes a record takes.
constexpr uint32_t ACTOR_RECORD_MIN_SIZE = 8;

// Asked before every record a load reads; when it answers true the load ends
// as a failed one and changes nothing. The program installs its quit request
// here, so that a quit during a long load is served at once.
extern bool (*g_ActorLoadStop)();

// What one load may create: a level with every import its File actors make,
// or one import with the imports inside it. Files made to hurt the game
// (File actors that import files of File actors, fan-out upon fan-out)
// would otherwise keep it loading for minutes; past either count the load
// ends as a failed one with its error text saying so.
// A tree deeper than `depth` levels is refused too: every message that goes
// down the tree recurses once per level, and a chain of actors thousands
// deep would exhaust the stack.
struct ActorLoadLimits {
    uint32_t actors = 250000;
    uint32_t imports = 4096;
    uint32_t depth = 1000;
};
extern ActorLoadLimits g_ActorLoadLimits;

class ActorFileWriter {
public:
    ActorFileWriter() = default;
    ActorFileWriter(const ActorFileWriter&) = delete;
    ActorFileWriter& operator=(const ActorFileWriter&) = delete;
    // Drops the temporary file unless Commit succeeded.
    ~ActorFileWriter();

    // Opens the temporary file, sets the archive's version and writes the header.
    bool Open(const char* fileName, uint32_t count, uint32_t first, uint32_t span);
    // Closes the archive and puts the file in place; false when a write
    // failed or the file could not be replaced.
    bool Commit();

    CQVActorArchive archive;

private:
    std::string m_FileName;
    std::string m_TempName;
    bool m_Renames = false; // the file system writes to the disk, where the temporary file can be renamed
    bool m_Open = false;
};
