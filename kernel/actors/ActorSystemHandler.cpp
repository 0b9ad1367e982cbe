#include "kernel/actors/ActorSystemHandler.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Maths.h"
#include "kernel/base/Path.h"

#include <algorithm>
#include <cstring>
#include <utility>

ActorSystemServices g_ActorSystemServices;
float g_AIPlayerHitEffectMultiplier = 1.0f;
// Gains 1 and no offset: the camera multiplies its own gains by these.
float g_GlobalGamma[6] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};

namespace {

// The places where the player starts, in the order they are looked for.
constexpr const char* START_ACTOR_NAMES[] = {"PlayerStart", "PlayerLocalStart", "PlayerStart0", "PlayerStart1"};

// A character that does not answer "Get Character Type" counts as this type.
constexpr uint32_t CHARACTER_TYPE_DEFAULT = 3;

const ActorSystemServices& Services() { return g_ActorSystemServices; }

CQVLibraryItem* FindItem(const char* name, int32_t kind) {
    return Services().findItem && name ? Services().findItem(name, kind) : nullptr;
}

// A block whose bytes are the actor itself: the messages that hand an actor
// over this way read it as the block.
MessageArgs ActorBlock(CQVActor* actor) { return MessageArgs(actor, sizeof(CQVActor)); }

void SendRecursiveToChildren(CQVActorSystem* system, uint32_t id) {
    for (size_t i = 0; i < system->m_Children.size(); ++i) {
        if (CQVActor* child = system->m_Children[i]) Actor_SendRecursive(child, id, nullptr);
    }
}

CQVActor* MakeCamera(CQVActorSystem* system, CQVActor* scenery, float fov) {
    CQVActor* camera = system->CreateActor(CLASS_CAMERA, "Camera", nullptr, scenery, ACTOR_ID_ANY, 1, 1);
    if (camera == nullptr) return nullptr;
    const Vector3 position(0.0f, 50.0f, 0.0f);
    camera->HandleMessage(MSG_SET_POSITION, Args_Of(&position));
    camera->HandleMessage(MSG_SET_FOV, Args_Of(&fov));
    return camera;
}

void StartGame(CQVActorSystem* system) {
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* player = system->CreateActor(CLASS_PLAYER, "Player", nullptr, scenery, ACTOR_ID_ANY, 1, 1);
    if (player) {
        player->m_Flags |= ACTOR_MASTER;
        player->HandleMessage(MSG_SET_NAME, Args_Of("MASTERPLAYER"));
    }

    CQVActor* source = CQVActorSystem::FindActorByName("PlayerCharacter", ACTOR_ID_ANY);
    CQVActor* character = source && scenery ? system->CloneActor(source, scenery, 1) : nullptr;
    if (character) {
        character->HandleMessage(MSG_SET_NAME, Args_Of("GA1_Player"));
        if (player) player->HandleMessage(MSG_SET_CHARACTER, ActorBlock(character));
        for (const char* name : START_ACTOR_NAMES) {
            if (CQVActor* start = CQVActorSystem::FindActorByName(name, ACTOR_ID_ANY)) {
                uint8_t block[sizeof(CQVActor*)];
                std::memcpy(block, &start, sizeof start);
                character->HandleMessage(MSG_SET_ORIENTATION, Args_Of(block));
                break;
            }
        }
        const uint32_t master = 1;
        character->HandleMessage(MSG_SET_MASTER, Args_Of(&master));
        uint32_t type = CHARACTER_TYPE_DEFAULT;
        character->HandleMessage(MSG_GET_CHARACTER_TYPE, Args_Of(&type));

        CQVActor* camera = nullptr;
        uint32_t cameraType = 0;
        if (type == 4) {
            camera = MakeCamera(system, scenery, 1.45f);
            // Only the first argument is given; the second stays 0.
            const float health[2] = {-1.0f, 0.0f};
            character->HandleMessage(MSG_CHANGE_CPHEALTH, Args_Of(&health));
            cameraType = 5;
        } else if (type == 3) {
            camera = MakeCamera(system, scenery, 1.4f);
            cameraType = 1;
        }
        if (camera) {
            camera->HandleMessage(MSG_SET_CAMERA_TYPE, Args_Of(&cameraType));
            camera->HandleMessage(MSG_SET_CAMERATARGET1_4C6, ActorBlock(character));
            const uint32_t active = 1;
            camera->HandleMessage(MSG_SET_CAMERA_ACTIVE, Args_Of(&active));
            character->HandleMessage(MSG_SET_NOTIFYCAMERA, ActorBlock(camera));
        }
    }

    // The set-up time is not the first game frame's.
    FrameClock_TakeDelta();
    SendRecursiveToChildren(system, MSG_START_GAME);
    switch (system->m_DifficultyLevel) {
    case 1: SendRecursiveToChildren(system, MSG_ON_DIFFICULTY_LEVEL_1); break;
    case 2: SendRecursiveToChildren(system, MSG_ON_DIFFICULTY_LEVEL_2); break;
    case 3: SendRecursiveToChildren(system, MSG_ON_DIFFICULTY_LEVEL_3); break;
    default: break;
    }
}

// Names that scripts give saves, loads and captures are relative to the
// base folder and stay in it: an absolute name or a ".." part is refused,
// as the actor files refuse them for the data folder. An empty name names
// the folder itself, which no load reads and no save writes.
bool StaysInBase(const char* name) { return name != nullptr && (*name == 0 || Path_StaysInside(name)); }

// The save goes from id 10 to the end of the table, with every actor of the
// tree marked to be saved first. 1 when the file was written.
int SaveGame(CQVActorSystem* system, const char* name) {
    if (!StaysInBase(name)) return system->SetError("Error - Saving Actors");
    const std::string file = system->m_BaseDirectory + "\\" + name;
    const uint32_t saved = 1;
    system->HandleMessage(MSG_SET_SAVED_RECURSIVE, Args_Of(&saved));
    return system->SaveActors(file.c_str(), ACTOR_ID_SYSTEM_LIMIT, static_cast<uint32_t>(g_ActorTable.size()), 2);
}

// 0, with nothing asked for, when a name leaves the base folder.
int RequestLoad(CQVActorSystem* system, uint32_t newGame, const char* levelA, const char* levelB) {
    if (!StaysInBase(levelA) || (levelB != nullptr && !StaysInBase(levelB)))
        return system->SetError("Error - Loading Actors");
    system->m_PendingLoad = 1;
    system->m_NewGame = newGame;
    system->m_LoadFileA = system->m_BaseDirectory + "\\" + levelA;
    if (levelB) system->m_LoadFileB = system->m_BaseDirectory + "\\" + levelB;
    return 1;
}

// A capture's side in whole pixels; a value no back buffer has (below 1,
// beyond what a TGA holds, not a number) becomes 0, which is refused.
int32_t CaptureSide(float value) { return value >= 1.0f && value < 65536.0f ? static_cast<int32_t>(value) : 0; }

// Draw groups ordered by size, smallest first from index 2, so that the
// first group found around a point is the smallest that holds it.
void AssignDrawGroupIds() {
    std::vector<std::pair<float, CQVDrawGroupBase*>> bySize;
    for (size_t i = DRAWGROUP_FIRST_LEVEL; i < g_DrawGroups.size(); ++i) {
        CQVDrawGroupBase* group = g_DrawGroups[i];
        const float size = group ? Vec3_Length(group->m_BoxMax - group->m_BoxMin) : 0.0f;
        bySize.emplace_back(size, group);
    }
    std::stable_sort(bySize.begin(), bySize.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < bySize.size(); ++i) {
        const uint32_t index = static_cast<uint32_t>(DRAWGROUP_FIRST_LEVEL + i);
        CQVDrawGroupBase* group = bySize[i].second;
        g_DrawGroups[index] = group;
        if (group) {
            group->m_DrawGroupId = index;
            group->m_Slot = index;
        }
    }
}

void SetListenerEffect(uint32_t effect) {
    if (Services().setListenerEffect) Services().setListenerEffect(effect);
}

// The editor's sheet, then the pairs; a position keeps its value when a
// block does not hold a whole one.
constexpr MessageRow kActorSystemRows[] = {
    SheetRow("Actor System", PROP_TITLE),
    SheetRow("Set Grid Snap Unit.", PROP_SEPARATOR),
    SheetRow("Meter:|4.0 m|0|3.0 m|1|2.0 m|2|1.5 m|3|1.0 m|4|0.5 m|5|0.25 m|6|0.1 m|7|0.05 m|8|", PROP_CHOICE,
             MSG_SET_SNAP_SETTING, MSG_GET_SNAP_SETTING),
    SheetRow("Set Grid Space.", PROP_SEPARATOR),
    SheetRow("Meter:|4.0 m|0|3.0 m|1|1.0 m|2|", PROP_CHOICE, MSG_SET_GRID_SETTING, MSG_GET_GRID_SETTING),
    SheetRow("Load/Unload File Actors", PROP_SEPARATOR),
    SheetRow("Load All File Actors:|Load|", PROP_BUTTON, MSG_LOAD_ALL_FILEOBJECTS),
    SheetRow("Unload All File Actors:|Unload|", PROP_BUTTON, MSG_UNLOAD_ALL_FILEOBJECTS),
    FieldRow<&CQVActorSystem::m_CollectResources>(MSG_SET_RESOURCE_COLLECTING, MSG_GET_RESOURCE_COLLECTING),
    FieldRow<&CQVActorSystem::m_DifficultyLevel>(MSG_SET_DIFFICULTY_LEVEL, MSG_GET_DIFFICULTY_LEVEL),
    FieldRow<&CQVActorSystem::m_LoadBarColor>(MSG_SET_LOAD_BAR_COLOR, MSG_GET_LOAD_BAR_COLOR),
    FieldRow<&CQVActorSystem::m_LoadBarPosition>(MSG_SET_LOAD_BAR_POSITION, MSG_GET_LOAD_BAR_POSITION).WholeValue(),
    FieldRow<&CQVActorSystem::m_LoadBarTextColor>(MSG_SET_LOAD_BAR_TEXT_COLOR, MSG_GET_LOAD_BAR_TEXT_COLOR),
    FieldRow<&CQVActorSystem::m_LoadBarTextPosition>(MSG_SET_LOAD_BAR_TEXT_POSITION, MSG_GET_LOAD_BAR_TEXT_POSITION)
        .WholeValue(),
    FieldRow<&CQVActorSystem::m_GlobalSpeedMultiplier>(MSG_SET_GLOBAL_SPEED_MULTIPLIER,
                                                       MSG_GET_GLOBAL_SPEED_MULTIPLIER),
};
constexpr MessageTable kActorSystemMessages{kActorSystemRows};

}  // namespace

// The actors made at run time (file actors' imports and copies) go at once.
// Their parents are told, as of any deletion: a class may hold its children.
void CQVActorSystem::DestroyRunTimeActors() {
    for (size_t id = ACTOR_ID_FIRST_FREE; id < g_ActorTable.size(); ++id) {
        CQVActor* actor = g_ActorTable[id];
        if (actor == nullptr) continue;
        if (actor->m_Parent) {
            NotifyRemoved(actor, actor->m_Parent);
            // The parent's handler may have deleted the actor itself.
            if (g_ActorTable[id] != actor) continue;
        }
        if (actor->m_Parent) {
            auto& siblings = actor->m_Parent->m_Children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), actor), siblings.end());
        }
        // Its children have ids of their own and are destroyed in their turn.
        for (CQVActor* child : actor->m_Children) {
            if (child) child->m_Parent = nullptr;
        }
        actor->m_Children.clear();
        actor->m_Parent = nullptr;
        CQVActorSystem::ClearTableSlot(static_cast<uint32_t>(id));
        delete actor;
    }
}

int CQVActorSystem::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kActorSystemMessages.Apply(*this, id, args); row.Ends()) return row.result;
    int result = 1;
    switch (id) {
    case MSG_START_GAME:
        StartGame(this);
        break;
    case MSG_DROP_CLOCK_DELTA:
        FrameClock_TakeDelta();
        break;
    case MSG_INVALIDATE_RESOURCES:
        if (args) {
            CQVLibraryItem* item = FindItem(Args_Text(args), Args_Get<int32_t>(args, 128));
            if (item && Services().unloadItem && Services().loadItem) {
                Services().unloadItem(item);
                Services().loadItem(item);
            }
        }
        break;
    case MSG_LOAD_ALL_FILEOBJECTS:
        BroadcastMessage(MSG_LOAD_FILEOBJECT, nullptr);
        break;
    case MSG_UNLOAD_ALL_FILEOBJECTS:
        BroadcastMessage(MSG_UNLOAD_FILEOBJECT, nullptr);
        DestroyRunTimeActors();
        break;
    case MSG_LOAD_RESOURCE: {
        CQVLibraryItem* item = FindItem(Args_Text(args), LIBRARY_KIND_ANY);
        if (m_CollectResources) {
            m_CollectedResources.push_back(item);
        } else if (item && Services().loadItem) {
            Services().loadItem(item);
        }
        break;
    }
    case MSG_UNLOAD_RESOURCE:
        if (CQVLibraryItem* item = FindItem(Args_Text(args), LIBRARY_KIND_ANY)) {
            if (Services().unloadItem) Services().unloadItem(item);
        }
        break;
    case MSG_SAVE_GAME:
        // A save that could not be written is told to the sender; the
        // actor system's error text says why.
        if (const char* name = Args_Text(args)) result = SaveGame(this, name);
        break;
    case MSG_LOAD_GAME:
        if (const char* name = Args_Text(args)) result = RequestLoad(this, 0, name, nullptr);
        break;
    case MSG_NEW_GAME:
    case MSG_NEW_GAME_2:
        if (args) result = RequestLoad(this, 1, Args_TextOr(args, 128), Args_TextOr(args, 0));
        break;
    case MSG_EXIT_ENGINE:
        if (Services().closeWindow) Services().closeWindow();
        break;
    case MSG_PLAY_TEXTURE_MOVIE:
        if (CQVLibraryItem* item = FindItem(Args_Text(args), LIBRARY_KIND_TEXTURE)) {
            if (Services().restartVideo) Services().restartVideo(item);
        }
        break;
    case MSG_STOP_TEXTURE_MOVIE:
        if (CQVLibraryItem* item = FindItem(Args_Text(args), LIBRARY_KIND_TEXTURE)) {
            if (Services().stopVideo) Services().stopVideo(item);
        }
        break;
    case MSG_GET_CURRENT_CAMERA:
        if (MessageArgs_IsPointerAt(id, args, 0)) Args_Set(args, 0, g_CurrentCamera);
        break;
    case MSG_SET_GLOBAL_TIME: {
        // The word is taken as the bits of a float; the senders pass 0.
        const float time = Args_Get<float>(args);
        g_GlobalClock.time = time;
        g_GlobalClock.previousTime = time - 1.0f / 60.0f;
        g_GlobalClock.olderTime = time - 1.0f / 30.0f;
        break;
    }
    case MSG_CAPTURE_BACKBUFFER:
        if (args && Services().captureBackBuffer) {
            const Vector2 size = Args_Get<Vector2>(args);
            Services().captureBackBuffer(CaptureSide(size.x), CaptureSide(size.y));
        }
        break;
    case MSG_CAPTURE_SAVE:
        if (const char* name = Args_Text(args)) {
            if (!StaysInBase(name)) {
                result = 0;
            } else if (Services().saveCapture) {
                result = Services().saveCapture((m_BaseDirectory + "\\" + name).c_str()) ? 1 : 0;
            }
        }
        break;
    case MSG_SET_GLOBAL_MULTIPLIER_AI_PLAYER_HIT_EFFECT:
        g_AIPlayerHitEffectMultiplier = Args_Get<float>(args);
        break;
    case MSG_COPY_ACTOR: {
        CQVActor* actor = Args_Pointer<CQVActor>(id, args, 0);
        CQVActor* parent = Args_Pointer<CQVActor>(id, args, sizeof(CQVActor*));
        if (actor && parent) CloneActor(actor, parent, 1);
        break;
    }
    case MSG_SLOWMOTION_IS_ACTIVE:
        Args_Answer<uint32_t>(args, m_GlobalSpeedMultiplier < 1.0f ? 1 : 0);
        break;
    case MSG_FREEZEMOTION_IS_ACTIVE:
        Args_Answer<uint32_t>(args, m_GlobalSpeedMultiplier == 0.0f ? 1 : 0);
        break;
    case MSG_PUSH_LISTENER_EFFECT: {
        const uint32_t effect = Args_Get<uint32_t>(args);
        m_ListenerEffects.push_back(effect);
        SetListenerEffect(effect);
        break;
    }
    case MSG_POP_LISTENER_EFFECT:
        if (!m_ListenerEffects.empty()) m_ListenerEffects.pop_back();
        SetListenerEffect(m_ListenerEffects.empty() ? LISTENER_EFFECT_DEFAULT : m_ListenerEffects.back());
        break;
    case MSG_GET_ASSIGN_DRAWGROUPID:
        AssignDrawGroupIds();
        break;
    case MSG_SET_GLOBAL_GAMMA:
        for (int i = 0; i < 6; ++i) g_GlobalGamma[i] = Args_Get<float>(args, 4 * i);
        if (g_CurrentCamera && Services().markCameraGammaChanged) Services().markCameraGammaChanged(g_CurrentCamera);
        break;
    default:
        break;
    }
    const int base = CQVActor::HandleMessage(id, args);
    return result ? base : 0;
}

std::vector<uint32_t> CQVActorSystem::FindActorsByName(const char* name, uint32_t type) {
    std::vector<uint32_t> ids;
    if (name == nullptr) return ids;
    for (size_t id = 1; id < g_ActorTable.size(); ++id) {
        const CQVActor* actor = g_ActorTable[id];
        if (actor && actor->m_ClassType == type && actor->m_Name == name) ids.push_back(static_cast<uint32_t>(id));
    }
    return ids;
}

void ActorSystem_AddSheet(ClassRecord& record) { kActorSystemMessages.AddSheet(record); }

void ActorSystemHandler_Reset() {
    g_AIPlayerHitEffectMultiplier = 1.0f;
    std::fill(std::begin(g_GlobalGamma), std::end(g_GlobalGamma), 0.0f);
    std::fill(g_GlobalGamma, g_GlobalGamma + 3, 1.0f);
}
