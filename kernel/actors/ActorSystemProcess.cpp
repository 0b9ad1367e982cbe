#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ActorSystemHandler.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/LoadingScreen.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/PackFileSystem.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The first redraws of a load come after this many actors are read.
constexpr uint32_t ACTOR_LOAD_INTERVAL = 1500;
constexpr uint32_t EXPECTED_ACTOR_COUNT = 1000;
// Resources load four to a redraw.
constexpr uint32_t RESOURCE_INTERVAL = 4;

// Every actor from id 10 on goes without callbacks or events: first all but
// the draw groups, whose lists the others leave on their way out, then the
// draw groups.
void DestroyWorld() {
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t id = ACTOR_ID_SYSTEM_LIMIT; id < g_ActorTable.size(); ++id) {
            CQVActor* actor = g_ActorTable[id];
            if (actor == nullptr || (pass == 0 && actor->m_ClassType == CLASS_DRAW_GROUP)) continue;
            actor->m_Children.clear();
            actor->m_Parent = nullptr;
            CQVActorSystem::ClearTableSlot(static_cast<uint32_t>(id));
            delete actor;
        }
    }
    g_PendingDeletes.clear();
}

void ResetLevelLists() {
    g_DrawGroups.resize(DRAWGROUP_FIRST_LEVEL, nullptr);
    for (std::vector<ColObj*>& list : g_DrawGroupColObjs) list.clear();
    for (uint32_t id : {ACTOR_ID_GLOBAL, ACTOR_ID_SCENERY, ACTOR_ID_CLIPBOARD}) {
        if (CQVActor* actor = CQVActorSystem::GetActorById(id)) actor->m_Children.clear();
    }
    if (g_ActorSystemServices.clearFileCounts) g_ActorSystemServices.clearFileCounts();
}

// A quit asked for during a load ends its resource loading: the rest is not
// loaded, and the quit is served as soon as the load returns.
bool LoadStopped() { return g_ActorLoadStop != nullptr && g_ActorLoadStop(); }

void SetGlobalTimeZero(CQVActorSystem* system) {
    const uint32_t zero = 0;
    system->HandleMessage(MSG_SET_GLOBAL_TIME, Args_Of(&zero));
}

}  // namespace

void CQVActorSystem::Process() {
    RunPendingDeletes();
    if (m_PendingLoad == 0) return;

    const std::string title = LoadingScreen_Title();
    BroadcastMessage(MSG_INVALIDATE_DRAWGROUPID, nullptr);
    DestroyWorld();
    ResetLevelLists();

    LoadingScreenState& screen = g_LoadingScreen;
    screen.interval = ACTOR_LOAD_INTERVAL;
    StartLoadingScreen(EXPECTED_ACTOR_COUNT);
    m_LoadingText = title + ".";
    SetGlobalTimeZero(this);
    if (m_NewGame == 1) LoadActors(m_LoadFileB.c_str(), 0);
    m_LoadingText = title + "..";
    // A file that cannot be read leaves its error text; the load goes on
    // with what was read.
    LoadActors(m_LoadFileA.c_str(), 0);
    if (CQVActor* definition = FindActorByPath("/Global/Definition", nullptr)) {
        const uint32_t off = 0;
        definition->HandleMessage(MSG_SET_OPERATIONAL, Args_Of(&off));
    }
    SetGlobalTimeZero(this);
    HandleMessage(MSG_PRECALCULATE_RECURSIVE, nullptr);

    std::string text = title + "...";
    UpdateLoadingScreen(text.c_str());
    std::vector<CQVActor*> objects;
    if (CQVActor* scenery = GetActorById(ACTOR_ID_SCENERY)) {
        CollectDescendantsArgs collect{CLASS_OBJECT, 0xFFFFFFFF, &objects};
        scenery->HandleMessage(MSG_COLLECT_DESCENDANTS, Args_Of(&collect));
    }
    const float base = (screen.barWidth - screen.progress) * 0.45f;
    if (!objects.empty()) {
        const uint32_t n = static_cast<uint32_t>(objects.size());
        screen.interval = n / 10;
        screen.step = static_cast<float>(n / 10) * base / static_cast<float>(n);
        screen.tick = 0;
        // An object's resources may delete actors: each is known by its id
        // as well, taken while all are alive, and only those still in the
        // table under it load.
        std::vector<uint32_t> ids;
        ids.reserve(objects.size());
        for (const CQVActor* object : objects) ids.push_back(object->m_Id);
        for (size_t i = 0; i < objects.size(); ++i) {
            if (GetTableSlot(ids[i]) != objects[i]) continue;
            if (LoadStopped()) break;
            objects[i]->HandleMessage(MSG_LOAD_RESOURCES, nullptr);
            UpdateLoadingScreen(text.c_str());
        }
    }

    screen.tick = 1;
    screen.interval = 0;
    text = title + "....";
    UpdateLoadingScreen(text.c_str());

    uint32_t collecting = 1;
    HandleMessage(MSG_SET_RESOURCE_COLLECTING, Args_Of(&collecting));
    Actor_SendRecursive(this, MSG_INIT_PRELOAD, nullptr);
    collecting = 0;
    HandleMessage(MSG_SET_RESOURCE_COLLECTING, Args_Of(&collecting));
    if (!m_CollectedResources.empty()) {
        const size_t count = m_CollectedResources.size();
        screen.tick = 0;
        screen.interval = RESOURCE_INTERVAL;
        screen.step = static_cast<float>(RESOURCE_INTERVAL) * base / static_cast<float>(count);
        for (CQVLibraryItem* item : m_CollectedResources) {
            UpdateLoadingScreen(text.c_str());
            if (LoadStopped()) break;
            if (item && g_ActorSystemServices.loadItem) g_ActorSystemServices.loadItem(item);
        }
        m_CollectedResources.clear();
    }
    if (g_ActorSystemServices.prepareDraws) g_ActorSystemServices.prepareDraws();

    // The last redraw shows the load done: the bar full, whatever the
    // phases before left of it.
    text = title + ".....";
    screen.tick = 1;
    screen.interval = 0;
    screen.step = std::max(0.0f, screen.barWidth - screen.progress);
    UpdateLoadingScreen(text.c_str());
    if (m_NewGame == 1) HandleMessage(MSG_START_GAME, nullptr);

    EndLoadingScreen();
    if (g_PackFileSystem) g_PackFileSystem->ReleaseCache();
    m_ListenerEffects.clear();
    if (g_ActorSystemServices.setListenerEffect) g_ActorSystemServices.setListenerEffect(LISTENER_EFFECT_DEFAULT);

    m_PendingLoad = 0;
    m_NewGame = 0;
    m_LoadFileA.clear();
    m_LoadFileB.clear();
    m_PauseWord = 0;
    m_PauseActor = nullptr;
}
