// The HUD's own CPU per frame: the Inventory's update step with every part
// shown (both hands, the selector, gauges, clock, film grain, light sensor,
// a half-spent endurance row and a running fade), queueing its overlays;
// the queues are emptied outside the timing, the drawing is the overlay
// benchmark's.

#include "actors/characters/Character.h"
#include "actors/characters/Player.h"
#include "actors/gameplay/Inventory.h"
#include "bench/support/OffscreenBench.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "apps/game/ActorClasses.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"

#include <benchmark/benchmark.h>

namespace {

// Materials of the HUD's names, without textures, as the library would hold them.
void AddHudMaterials() {
    const char* names[] = {"Black",        "AmmoFlare",  "SoulIcon",     "SoulIcon02",     "SoulIconFill",
                           "FilmGrain",    "LightSensor", "LightSensor2", "endurance_back", "endurance_mark",
                           "Icon_Pistol"};
    uint32_t id = 900;
    for (const char* name : names) {
        auto* material = new CQVMaterialItem;
        material->name = name;
        material->loaded = 1;
        g_Library.SetItem(id++, material);
    }
}

CQVInventory* MakeHudScene() {
    AddHudMaterials();
    ActorClasses_Install();
    if (RegisterActorClasses() != 1) return nullptr;
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    const auto make = [](uint32_t type, const char* name, CQVActor* parent) {
        return g_ActorSystem->CreateActor(type, name, nullptr, parent, ACTOR_ID_ANY, 1, 0);
    };
    CQVActor* character = make(CLASS_CHARACTER, "Hero", scenery);
    CQVActor* items = make(CLASS_BASE, "Items", character);
    for (CQVActor* hand : {make(CLASS_BASE, "RightHand", character), make(CLASS_BASE, "LeftHand", character)})
        make(CLASS_BASE, "Ammo", make(CLASS_GAME_OBJECT, "Pistol", hand));
    for (int i = 0; i < 8; ++i) make(CLASS_BASE, "Ammo", make(CLASS_GAME_OBJECT, "Spare", items));
    auto* player = static_cast<CQVPlayer*>(make(CLASS_PLAYER, "MASTERPLAYER", scenery));
    player->m_Character.SetTarget(character);
    auto* inventory = static_cast<CQVInventory*>(CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY));
    inventory->HandleMessage(MSG_PRECALCULATE, nullptr);
    inventory->HandleMessage(MSG_START_GAME, nullptr);
    make(CLASS_TIMER, "MissionTime", inventory);
    inventory->m_MissionTimeActor.SetTarget(CQVActor::FindDescendantByName(inventory, "MissionTime"));
    static_cast<CQVCharacter*>(character)->m_Capacity = 0.5f;
    inventory->m_SelectorOpen = 1;
    inventory->m_SelectorAlpha = 1.0f;
    return inventory;
}

void BM_InventoryHudUpdate(benchmark::State& state) {
    if (!Bench_StartEngine()) return state.SkipWithError("no device");
    CQVInventory* inventory = MakeHudScene();
    if (inventory == nullptr) return state.SkipWithError("no actor system");
    CQVEngine* engine = CQVEngine::GetInstance();
    size_t queued = 0;
    for (auto _ : state) {
        inventory->Update();
        state.PauseTiming();
        queued = engine->overlayQuads.size() + engine->overlayTexts.size();
        engine->overlayQuads.clear();
        engine->overlayTexts.clear();
        state.ResumeTiming();
    }
    state.counters["overlays"] = static_cast<double>(queued);
}
BENCHMARK(BM_InventoryHudUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return Bench_OffscreenMain(argc, argv); }
