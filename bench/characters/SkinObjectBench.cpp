// One frame of 50 SkinObjects of 30 bones and 3,000 vertices as the draw
// pass prepares them: each plays a walk on layer 0 with two layers over
// every bone on top (a wave added at half weight, a sway at 0.3), and its
// preparation runs the motion step, the pose with its three layers and the
// skinning. Against it, the skinning share alone (the SkinObjects' own
// palettes skinned by the engine) and the hand-inlined palette loop over
// the same palettes. One core; the vertex buffers have no device behind them.

#include "actors/characters/SkinObject.h"
#include "apps/game/ActorClasses.h"
#include "bench/support/SkinnedCrowd.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/FrameTime.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/mesh/Skeleton.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kFirstMesh = 100;
constexpr uint32_t kFirstMotion = 10;

template <typename T>
void Send(CQVActor* actor, uint32_t id, T value) {
    actor->HandleMessage(id, Args_Of(&value));
}

// A layer over every bone into its own bone layer, playing a motion at a weight.
void PlayLayer(CQVActor* skin, uint32_t layer, const char* motion, float weight) {
    Send(skin, MSG_SET_CURRENT_LAYER, layer);
    Send<uint32_t>(skin, MSG_SET_LAYER_MASK, 255);
    Send(skin, MSG_SET_LAYER_DEST_BONE_LAYER, layer);
    Send(skin, MSG_SET_LAYER_BLEND_VALUE, weight);
    skin->HandleMessage(MSG_SET_MOTION, Args_Of(motion));
}

std::vector<CQVSkinObject*>& Crowd() {
    static std::vector<CQVSkinObject*> skins;
    if (!skins.empty()) return skins;
    if (CQVEngine::Create() != 1) std::exit(1);
    ActorClasses_Install();
    if (!RegisterActorClasses()) std::exit(1);
    // What a new mesh actor starts with.
    auto* fallback = new CQVMeshItem;
    fallback->loaded = 1;
    fallback->subsetInfos.resize(1);
    g_Library.SetItem(3, fallback);
    auto* material = new CQVMaterialItem;
    material->loaded = 1;
    g_Library.SetItem(4, material);
    const struct {
        const char* name;
        float amplitude, phase;
    } motions[] = {{"Ben_Walk", 0.4f, 0.0f}, {"Ben_Wave", 0.8f, 1.0f}, {"Ben_Sway", 0.2f, 2.0f}};
    for (uint32_t i = 0; i < std::size(motions); ++i) {
        CQVMotionItem* motion = Crowd_MakeMotion(motions[i].amplitude, motions[i].phase);
        motion->name = motions[i].name;
        g_Library.SetItem(kFirstMotion + i, motion);
    }
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    g_GlobalClock.flags |= CLOCK_MANUAL;
    for (int c = 0; c < kCrowdCharacters; ++c) {
        CQVMeshItem* mesh = Crowd_MakeMesh();
        g_Library.SetItem(kFirstMesh + static_cast<uint32_t>(c), mesh);
        auto* skin = static_cast<CQVSkinObject*>(
            g_ActorSystem->CreateActor(CLASS_SKINOBJECT, "Skin", nullptr, scenery, ACTOR_ID_ANY, 1, 0));
        if (skin == nullptr) std::exit(1);
        skin->HandleMessage(MSG_SET_MESH, Args_Of(&mesh));
        skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of("Ben"));
        skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr);
        skin->HandleMessage(MSG_PRECALCULATE, nullptr);
        skin->HandleMessage(MSG_SET_MOTION, Args_Of("Walk"));
        PlayLayer(skin, 1, "Wave", 0.5f);
        PlayLayer(skin, 2, "Sway", 0.3f);
        Send<uint32_t>(skin, MSG_SET_CURRENT_LAYER, 0);
        Send(skin, MSG_SET_CURRENT_TIME, 0.01f * static_cast<float>(c));
        skins.push_back(skin);
    }
    return skins;
}

void NextFrame() {
    g_GlobalClock.dt = 1.0f / 30.0f;
    g_GlobalClock.previousTime = g_GlobalClock.time;
    g_GlobalClock.time += g_GlobalClock.dt;
    ++g_FrameNumber;
}

void BM_SkinObjectFrame(benchmark::State& state) {
    std::vector<CQVSkinObject*>& skins = Crowd();
    for (auto _ : state) {
        NextFrame();
        for (CQVSkinObject* skin : skins) skin->PrepareRender();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCrowdCharacters * kCrowdVertices);
}
BENCHMARK(BM_SkinObjectFrame)->Unit(benchmark::kMillisecond);

// The skinning share of a frame: each SkinObject's mesh skinned with its
// own palette by the engine's skinning.
void BM_SkinObjectSkinning(benchmark::State& state) {
    std::vector<CQVSkinObject*>& skins = Crowd();
    NextFrame();
    for (CQVSkinObject* skin : skins) skin->PrepareRender();
    for (auto _ : state) {
        for (CQVSkinObject* skin : skins)
            Mesh_ApplySkin(skin->m_Mesh, skin->GetBoneMatrices(), 0, skin->ClippingSphere());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCrowdCharacters * kCrowdVertices);
}
BENCHMARK(BM_SkinObjectSkinning)->Unit(benchmark::kMillisecond);

// The same palettes skinned by the hand-inlined loop.
void BM_InlinePaletteSkinning(benchmark::State& state) {
    std::vector<CQVSkinObject*>& skins = Crowd();
    NextFrame();
    for (CQVSkinObject* skin : skins) skin->PrepareRender();
    for (auto _ : state) {
        for (CQVSkinObject* skin : skins)
            Crowd_SkinInline(skin->GetBoneMatrices()->matrices.get(), skin->m_Mesh->subsets[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCrowdCharacters * kCrowdVertices);
}
BENCHMARK(BM_InlinePaletteSkinning)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
