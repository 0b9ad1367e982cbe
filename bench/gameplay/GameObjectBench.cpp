// The items of a level on the engine's frame step: 500 Game Objects of
// mixed kinds in one room (lying in the scene and spinning, lights burning
// in a character's hand, armed bombs, traps in containers, items in the
// inventory) and a weapon in the player's hand firing 20 rays a frame at a
// wall. Reports the engine's CPU time per frame (the frame step without
// drawing: timed messages, collision, per-frame and update steps). Target:
// under 1 ms.

#include "actors/gameplay/GameObject.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "apps/game/ActorClasses.h"
#include "apps/game/FrameLoop.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/mesh/Mesh.h"
#include "tools/content/WavWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kItems = 500;
constexpr uint32_t kRays = 20;

double FixedFrame() { return 1.0 / 60.0; }

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}
void Send(CQVActor* actor, uint32_t id) { actor->HandleMessage(id, nullptr); }

CQVActor* Make(uint32_t type, const char* name, CQVActor* parent) {
    return g_ActorSystem->CreateActor(type, name, nullptr, parent, ACTOR_ID_ANY, 1, 0);
}

CQVGameObject* Item(uint32_t kind, const char* name, CQVActor* parent) {
    auto* item = static_cast<CQVGameObject*>(Make(CLASS_GAME_OBJECT, name, parent));
    Send(item, MSG_SET_GAMEOBJECT_TYPE_25A, kind);
    return item;
}

struct Level {
    CQVActor* hero = nullptr;
    CQVGameObject* gun = nullptr;
};

void AddLibraryDefaults(const std::filesystem::path& folder) {
    auto* mesh = new CQVMeshItem;
    mesh->name = "Fallback Mesh";
    mesh->frameWord = 1;
    mesh->loaded = 1;
    mesh->subsetInfos.resize(1);
    mesh->subsetInfos[0].box = Box{Vector3(-5.0f, 0.0f, -5.0f), Vector3(5.0f, 30.0f, 5.0f)};
    g_Library.SetItem(3, mesh);
    auto* material = new CQVMaterialItem;
    material->name = "Fallback Material";
    material->loaded = 1;
    g_Library.SetItem(4, material);
    const WavFormat mono{1, 22050, 16};
    auto* sound = new CQVSoundItem;
    sound->name = "Default";
    sound->path = (folder / "Default.wav").string();
    Wav_Write(sound->path, mono, Wav_Sine(mono, 441.0f, 0.5f, 22050));
    g_Library.SetItem(1, sound);
}

Level BuildLevel(const std::filesystem::path& folder) {
    CQVEngine::Create();
    AddLibraryDefaults(folder);
    ActorClasses_Install();
    RegisterActorClasses();
    FrameClock_SetSource(&FixedFrame);
    Random_Seed(1);
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* room = Make(CLASS_DRAW_GROUP, "Room", scenery);
    room->SendValue(MSG_SET_BOX_MIN, Vector3(-5000.0f, -5000.0f, -5000.0f));
    room->SendValue(MSG_SET_BOX_MAX, Vector3(5000.0f, 5000.0f, 5000.0f));
    const uint32_t group = static_cast<CQVDrawGroupBase*>(room)->m_DrawGroupId;

    Level level;
    level.hero = Make(CLASS_CHARACTER, "Hero", scenery);
    Send(level.hero, MSG_SET_MASTER, 1u);
    Make(CLASS_BASE, "Items", level.hero);
    Make(CLASS_BASE, "LeftHand", level.hero);
    Make(CLASS_BASE, "RightHand", level.hero);
    Send(level.hero, MSG_SET_DRAWGROUP, group);
    Send(level.hero, MSG_PRECALCULATE);
    CQVActor* chest = Make(CLASS_BASE, "Chest", scenery);

    // The wall the rays hit.
    CQVActor* wall = Make(CLASS_BASE, "Wall", scenery);
    Send(wall, MSG_SET_DRAWGROUP, group);
    {
        DrawGroupLeave leave(wall);
        ColObj box;
        box.type = COLOBJ_BOX;
        box.boxMin = Vector3(-2000.0f, -2000.0f, -10.0f);
        box.boxMax = Vector3(2000.0f, 2000.0f, 10.0f);
        box.flags = COLOBJ_ACTIVE | COLOBJ_BLOCKS;
        box.owner = wall;
        box.UpdateDerivedGroups(wall->m_ClassType);
        wall->m_ColObjs.push_back(box);
    }
    wall->m_Position = Vector3(0.0f, 0.0f, 1000.0f);
    wall->InvalidateTransform();

    const uint32_t kinds[] = {ITEM_VALUABLE, ITEM_KEY, ITEM_POWER_UP, ITEM_AMMO, ITEM_LIGHT,
                              ITEM_BOMB,     ITEM_TRAP, ITEM_THROW_OBJECT, ITEM_TRIGGER, ITEM_WEAPON};
    for (uint32_t i = 0; i < kItems; ++i) {
        const uint32_t kind = kinds[i % std::size(kinds)];
        const std::string name = "Item" + std::to_string(i);
        CQVGameObject* item = Item(kind, name.c_str(), scenery);
        item->m_Position = Vector3(static_cast<float>(i % 25) * 150.0f - 1800.0f, 0.0f,
                                   static_cast<float>(i / 25) * 150.0f - 1500.0f);
        Send(item, MSG_SET_DRAWGROUP, group);
        Send(item, MSG_PRECALCULATE);
        const uint32_t holder = level.hero->m_Id;
        switch (i % 5) {
        case 0:
        case 1: Send(item, MSG_SET_STATE_SCENE, ACTOR_ID_NONE); break;
        case 2:
            if (kind == ITEM_LIGHT) {
                Send(item, MSG_SET_LIGHT_TIME, 1.0e6f);
                const uint32_t hand[2] = {holder, 0};
                item->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
            } else {
                Send(item, MSG_SET_STATE_SCENE, ACTOR_ID_NONE);
            }
            break;
        case 3: Send(item, MSG_SET_STATE_CONTAINER, chest->m_Id); break;
        default: Send(item, MSG_SET_STATE_INVENTORY, holder); break;
        }
        if (kind == ITEM_BOMB) {
            item->m_BombArmed = 1;
            item->m_BombTimer = 1.0e6f;
        }
    }

    level.gun = Item(ITEM_WEAPON, "Gun", scenery);
    CQVGameObject* ammo = Item(ITEM_AMMO, "Ammo", level.gun);
    Send(ammo, MSG_SET_AMMO_UNLIMITED, 1u);
    Send(ammo, MSG_SET_AMMO_RAY_COUNT, kRays);
    Send(ammo, MSG_SET_AMMO_RAYCOLLISION_GROUP_EXCLUDE, 0x4040000u);
    Make(CLASS_BASE, "Impact", ammo);
    Make(CLASS_BASE, "FlashPos", level.gun);
    Send(ammo, MSG_PRECALCULATE);
    Send(level.gun, MSG_PRECALCULATE);
    const uint32_t hand[2] = {level.hero->m_Id, 2};
    level.gun->HandleMessage(MSG_SET_STATE_HAND_C, Args_Of(hand));
    {
        DrawGroupLeave leave(level.hero);
        for (ColObj& object : level.hero->m_ColObjs) object.UpdateDerivedGroups(CLASS_CHARACTER);
    }
    for (int i = 0; i < 10; ++i) FrameStep(g_ActorSystem);
    return level;
}

void BM_ItemsAndWeaponFrame(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv_bench_gameobject";
    std::filesystem::create_directories(folder);
    Level level = BuildLevel(folder);
    for (auto _ : state) {
        // Ready again and fire: one shot of 20 rays every frame.
        level.gun->CancelTimedMessages(MSG_SET_WEAPON_STATE);
        level.gun->m_WeaponState = WEAPON_READY;
        Send(level.gun, MSG_SET_WEAPON_STATE, 5u);
        FrameStep(g_ActorSystem);
    }
    state.counters["items"] = kItems;
    state.counters["rays_per_frame"] = kRays;
    delete g_ActorSystem;
    g_ActorSystem = nullptr;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}
BENCHMARK(BM_ItemsAndWeaponFrame)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
