// Any text as a script: the compiler either refuses it with a message and no
// code, or writes code that ends in "_End" and that the interpreter walks to
// its end. The owner ignores every message, so only the language is tested.

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/Registries.h"
#include "kernel/script/Script.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (RegisterBaseClass(), Script_Init(), true);
    (void)ready;
    static NullActor owner;
    CQVScript script;
    script.owner = &owner;
    script.source.assign(reinterpret_cast<const char*>(data), size);
    const char* error = nullptr;
    uint32_t position = 0;
    const int compiled = script.Compile(&owner, &error, &position);
    g_ScriptAbort = 0;
    if (position > size) std::abort();
    if (!compiled) {
        if (!error || script.code.length != 0) std::abort();
        return 0;
    }
    uint32_t last;
    if (script.code.length < 4) std::abort();
    std::memcpy(&last, script.code.data + script.code.length - 4, 4);
    if (last != SCRIPT_END) std::abort();
    // Compiled code always runs to its end.
    if (script.Execute(nullptr) != 1) std::abort();
    if (g_ScriptArgs.length != 0 || g_ScriptThis || g_ScriptLocal) std::abort();
    return 0;
}
