#include "kernel/fileactors/StartContent.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageIds.h"

bool FileActors_LoadStartContent(const std::string& globalsFile, const std::string& startScene, bool* menuFound,
                                 std::string* failedFile) {
    *menuFound = false;
    if (g_ActorSystem == nullptr) return false;
    const std::string globals = globalsFile.empty() ? std::string("Globals.qva") : globalsFile;
    if (!CQVActorSystem::SendMessage(ACTOR_ID_GLOBAL, MSG_OPEN_FILE, Args_Of(globals.c_str()))) {
        if (failedFile) *failedFile = globals;
        return false;
    }

    ActorSearchByName search{"Menu", nullptr};
    g_ActorSystem->HandleMessage(MSG_FIND_DESCENDANT_BY_NAME, Args_Of(&search));
    *menuFound = search.result != nullptr;
    // A menu drives the game from the globals; otherwise the start scene opens.
    if (!*menuFound && !CQVActorSystem::SendMessage(ACTOR_ID_SCENERY, MSG_OPEN_FILE, Args_Of(startScene.c_str()))) {
        if (failedFile) *failedFile = startScene;
        return false;
    }

    uint32_t time = 0;
    CQVActorSystem::SendMessage(0, MSG_SET_GLOBAL_TIME, Args_Of(&time));
    CQVActorSystem::SendMessage(0, MSG_PRECALCULATE_RECURSIVE, nullptr);
    return true;
}
