#pragma once
// One whole actor file and its id range.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <string>

class CQVFileIO : public CQVActor {
public:
    CQVFileIO();
    static void RegisterProperties();

    std::string m_FileName; // relative to the data directory
    uint32_t m_FirstId = 0; // the id range; 0 for FileIO actors made at run time
    uint32_t m_LastId = 0;
};
