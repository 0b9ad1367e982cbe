// Any message id with any bytes, as a timed message in an actor file or a
// script would deliver it, to an actor of any class: the bytes pass the
// gate for file and script data or are refused, and no handler reads or
// writes outside them or takes them for a pointer.

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/script/Script.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The actors start-up made; everything else an input made goes again.
std::vector<const CQVActor*> g_StartActors;

bool IsStartActor(const CQVActor* actor) {
    return std::find(g_StartActors.begin(), g_StartActors.end(), actor) != g_StartActors.end();
}

bool Start() {
    ActorClasses_Install();
    if (!RegisterActorClasses()) return false;
    Script_Init();
    // Saves and captures that the messages ask for land in a folder of the
    // run's own, never in the folder the fuzzer was started from.
    static char folder[] = "/tmp/qv_hostile_XXXXXX";
    if (mkdtemp(folder) == nullptr) return false;
    g_ActorSystem->m_BaseDirectory = folder;
    for (const CQVActor* actor : g_ActorTable) {
        if (actor) g_StartActors.push_back(actor);
    }
    return true;
}

void Deliver(CQVActor* actor, uint32_t id, std::vector<uint8_t> bytes, bool stored) {
    if (!MessageArgs_AcceptsData(id, bytes.data(), bytes.size(), stored ? ArgSource::Stored : ArgSource::Raw)) return;
    if (!stored) {
        actor->HandleMessage(id, MessageArgs(bytes.data(), bytes.size()));
        return;
    }
    ArgBlock block;
    if (!MessageArgs_Import(actor, block, id, bytes.data(), static_cast<uint32_t>(bytes.size()))) return;
    std::vector<uint8_t> imported(static_cast<const uint8_t*>(block.data),
                                  static_cast<const uint8_t*>(block.data) + block.size);
    actor->HandleMessage(id, MessageArgs(imported.data(), imported.size()));
}

}  // namespace

// Input: class type, flags (bit 0: the stored form, else the bytes as they
// came), message id (2 bytes), then the block.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = Start();
    if (!started || size < 4) return 0;
    const uint32_t type = data[0] % CLASS_TYPE_COUNT;
    const bool stored = data[1] & 1;
    uint16_t id16;
    std::memcpy(&id16, data + 2, 2);
    const uint32_t id = id16 % static_cast<uint32_t>(g_CommandDescs.size() + 16);
    std::vector<uint8_t> bytes(data + 4, data + size);

    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* target = g_ActorSystem;
    if (type != CLASS_ACTOR_SYSTEM) {
        const std::string name(300, 'N');
        target = g_ActorSystem->CreateActor(type, name.c_str(), nullptr, scenery, ACTOR_ID_ANY, 1, 0);
        if (target == nullptr) return 0;
        target->HandleMessage(MSG_SET_FILENAME, Args_Of(name.c_str()));
    }
    Deliver(target, id, std::move(bytes), stored);
    // What the message made, loaded or queued goes again (each subtree from
    // its top), so each input starts alike and the world does not grow.
    for (size_t i = ACTOR_ID_SYSTEM_LIMIT; i < g_ActorTable.size(); ++i) {
        CQVActor* actor = g_ActorTable[i];
        if (actor == nullptr || IsStartActor(actor)) continue;
        if (actor->m_Parent == nullptr || IsStartActor(actor->m_Parent)) g_ActorSystem->DeleteActor(actor);
    }
    g_ActorSystem->RunPendingDeletes();
    return 0;
}
