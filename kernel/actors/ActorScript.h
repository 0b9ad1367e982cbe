#pragma once
// An actor's script record: a named block of script text bound to a message
// id. Compiling and running it belong to the script interpreter, which
// installs itself through g_ScriptExecute so that the actors need not know it.

#include <cstdint>
#include <string>
#include <vector>

class CQVActor;

struct CQVScript {
    std::string name;
    uint32_t boundMessage = 0;
    std::string source;
    CQVActor* owner = nullptr;
    std::vector<uint8_t> code; // compiled code; empty until the first run compiles it
};

// Runs a script with the given caller (null: none); null until the script
// interpreter is started, and then scripts do not run.
extern int (*g_ScriptExecute)(CQVScript* script, CQVActor* caller);
