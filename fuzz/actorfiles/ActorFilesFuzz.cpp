// Any bytes as an actor file: a load or import either succeeds or leaves
// the actor table exactly as it was; nothing reads outside the file. Then
// frames run: the file's timed messages fire and its scripts run on their
// events, whatever ids and bytes they hold.

#include "fuzz/files/FuzzCheck.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "kernel/script/Script.h"
#include "tools/fixtures/KernelActorClasses.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <vector>

namespace {

FixedMemoryFileSystem g_Files;

std::vector<CQVActor*> LiveActors() {
    std::vector<CQVActor*> live;
    for (CQVActor* actor : g_ActorTable) {
        if (actor) live.push_back(actor);
    }
    return live;
}

// Everything the file made goes, then the actor system itself.
void StopSystem() {
    g_ActorSystem->RunPendingDeletes();
    for (size_t id = ACTOR_ID_SYSTEM_LIMIT; id < g_ActorTable.size(); ++id) {
        CQVActor* actor = g_ActorTable[id];
        if (actor && actor->m_Parent == nullptr) g_ActorSystem->DeleteActor(actor);
    }
    delete g_ActorSystem;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool scripts = (Script_Init(), true);
    (void)scripts;
    g_Files.bytes.assign(data, data + size);
    g_CurrentFileSystem = &g_Files;
    Check(KernelActorClasses_Start() == 1);
    g_ActorSystem->m_BaseDirectory = ".";

    const std::vector<CQVActor*> before = LiveActors();
    if (g_ActorSystem->LoadActors("level.qva", 0) == 0) {
        Check(LiveActors() == before);
    }
    CQVActor* holder = g_ActorSystem->CreateActor(0, "Holder", nullptr,
                                                  CQVActorSystem::GetActorById(ACTOR_ID_GLOBAL), ACTOR_ID_ANY, 1, 0);
    const std::vector<CQVActor*> beforeImport = LiveActors();
    if (g_ActorSystem->ImportActors("part.qva", holder) == 0) {
        Check(LiveActors() == beforeImport);
    }
    // The loaded actors take their place in the frame's own steps.
    CQVActorSystem::SendMessage(0, MSG_PRECALCULATE_RECURSIVE, nullptr);
    CQVActorSystem::BroadcastMessage(MSG_ACTION_START, nullptr);
    for (int frame = 0; frame < 8; ++frame) {
        g_FrameTime = 0.1f;
        ++g_FrameNumber;
        g_ActorSystem->UpdateClock(&g_GlobalClock);
        g_ActorSystem->Process();
        g_ActorSystem->RunTimedMessagePass();
    }

    StopSystem();
    g_CurrentFileSystem = nullptr;
    return 0;
}
