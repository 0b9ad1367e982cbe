#pragma once
// Named references between actors and the global actor slots GA1 to GA999.
// A link registers itself with its target, so the target's destruction can
// clear it; nothing else may keep a pointer to an actor across frames.

#include <cstdint>
#include <string>

class CQVActor;
class CQVArchive;

struct ActorLink {
    std::string trace;      // running log of what happened to the link; nothing reads it
    std::string targetName; // name or path of the target as actor files store it; may be ""
    CQVActor* target = nullptr;
    CQVActor* owner = nullptr; // told by "Invalid ActorPointer" when the target dies

    ActorLink() = default;
    ActorLink(const ActorLink& other) { *this = other; }
    ActorLink& operator=(const ActorLink& other);
    ~ActorLink();

    void SetOwner(CQVActor* newOwner);
    void SetTarget(CQVActor* newTarget);
    void Unlink();
    // Looks the target name up from the owner; 0 when the name is "".
    int Resolve();
    // Writes the target name (the bound target's path when it is ""); reads it back into the name.
    int Serialize(CQVArchive* archive);
};

constexpr int GA_SLOT_COUNT = 1000;

extern CQVActor* g_GAVariables[GA_SLOT_COUNT]; // slots 1 to 999; slot 0 is never set

// The slot number a name gives ("GA12_Door" is 12, "GA1234" none), or 0.
int Script_ParseGAIndex(const char* name);
CQVActor* Script_GetGAVariable(int n);
