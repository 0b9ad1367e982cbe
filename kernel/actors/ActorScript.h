#pragma once
// An actor's script record: a named block of script text bound to a message
// id. Compiling and running it belong to the script interpreter, which
// installs itself through g_ScriptExecute so that the actors need not know it.

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/actors/ScriptBuffer.h"

class CQVActor;

struct CQVScript {
    CQVScript();

    // Compiles on the first run; 1 when the code ran to its end.
    int Execute(CQVActor* local);
    // 1 on success; the outputs, when given, receive the error text and the
    // source offset at which it arose.
    int Compile(CQVActor* compileOwner, const char** errorText, uint32_t* errorPosition);

    std::string name;
    uint32_t boundMessage = 0;
    std::string source;
    CQVActor* owner = nullptr;
    ScriptBuffer code;  // empty until the first run compiles it; emptied when the source changes
    // Compiled calls of a block of the owner name the record by this number,
    // never by its address: the owner's vector of scripts moves its records.
    // Copies keep it, so a copied actor's code calls its own copy.
    uint32_t serial = 0;
};

// Runs a script with the given caller (null: none); null until the script
// interpreter is started, and then scripts do not run.
extern int (*g_ScriptExecute)(CQVScript* script, CQVActor* caller);
