#include "tools/sampledata/SampleFigure.h"

#include "actors/characters/SkinObject.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "tools/content/FigureContent.h"

#include <string>

namespace {

enum : uint32_t {
    MESH_FIGURE = 1600,
    MATERIAL_FIGURE = 1601,
    MOTION_FIRST = 1610,
};

const FigureItems kItems{MESH_FIGURE, MATERIAL_FIGURE, MOTION_FIRST, "Fig", "sample_figure"};

// The round, in seconds from the level's start, again every kRound seconds.
constexpr float kRound = 14.0f;
const struct {
    float at;
    const char* motion;
} kRoundOfMotions[] = {
    {2.0f, "N_Forward"},  // through "N_Neutral_2_N_Forward"
    {6.0f, "R_Forward"}, {8.5f, "J_Neutral"}, {9.4f, "N_Neutral"}, {10.5f, "N_Die0"}, {11.7f, "N_Dead0"},
    {14.0f, "N_Neutral"},
};

// Cross-fade times and play styles beyond what the name rules give, the
// motion the figure is saved playing last.
const struct {
    const char* motion;
    float blendTime;
    uint8_t playStyle;
} kMotionSettings[] = {
    {"N_Forward", 0.3f, SKIN_PLAY_LOOP},         {"R_Forward", 0.3f, SKIN_PLAY_LOOP},
    {"J_Neutral", 0.15f, SKIN_PLAY_ONCE},        {"N_Die0", 0.1f, SKIN_PLAY_ONCE_THEN_HOLD},
    {"N_Neutral", 0.4f, SKIN_PLAY_LOOP},
};

// The level's own copies of the items the SkinObject takes by id and name
// here, where the library is not loaded.
CQVMeshItem* LevelFigure() {
    auto* mesh = new CQVMeshItem;
    mesh->name = "Fig Figure";
    mesh->loaded = 1;
    mesh->subsetInfos.resize(1);
    mesh->subsetInfos[0].shapeParam = MATERIAL_FIGURE;
    g_Library.SetItem(MESH_FIGURE, mesh);
    auto* material = new CQVMaterialItem;
    material->name = "Sample Figure";
    material->loaded = 1;
    g_Library.SetItem(MATERIAL_FIGURE, material);
    uint32_t id = MOTION_FIRST;
    for (const std::string& name : FigureContent_MotionNames()) {
        auto* item = new CQVMotionItem;
        item->name = kItems.prefix + "_" + name;
        item->loaded = 1;
        g_Library.SetItem(id++, item);
    }
    return mesh;
}

int Select(CQVActor* skin, const char* motion) {
    return skin->HandleMessage(MSG_SET_MOTIONSTRINGLIST_447, Args_Of(motion));
}

}  // namespace

void SampleFigure_AddItems(SampleLevel& level) {
    std::string error;
    if (!FigureContent_Add(level.library, level.data, kItems, &error)) {
        level.Written(false, error);
        return;
    }
    CQVMaterialItem* material = level.library->AddMaterial(MATERIAL_FIGURE, "Sample Figure", {});
    if (material == nullptr) {
        level.ok = false;
        return;
    }
    material->material.Diffuse = {0.85f, 0.45f, 0.2f, 1.0f};
    material->material.Ambient = material->material.Diffuse;
}

void SampleFigure_AddActors(SampleLevel& level) {
    if (level.rooms.size() < 2) return;
    const SampleRoom& room = level.rooms[1];
    CQVActor* skin = level.Make(CLASS_SKINOBJECT, "Figure", room.group);
    if (skin == nullptr) return;
    if (Sample_Send(skin, MSG_SET_MESH, LevelFigure()) != 1) level.ok = false;
    const Vector3 middle((room.min.x + room.max.x) * 0.5f, 0.0f, (room.min.z + room.max.z) * 0.5f);
    Sample_Send(skin, MSG_SET_POSITION, middle + Vector3(kSampleFigureX, 0.0f, kSampleFigureZ));

    skin->HandleMessage(MSG_SET_AUTOASSIGN_NAME, Args_Of(kItems.prefix.c_str()));
    if (skin->HandleMessage(MSG_AUTOASSIGN_MOTIONS, nullptr) != 1) level.ok = false;
    // Selecting a motion starts it: each is selected before its blend time
    // is set, so that no cross-fade is left behind in the saved layers.
    for (const auto& setting : kMotionSettings) {
        Select(skin, setting.motion);
        Sample_Send(skin, MSG_SKIN_SET_BLEND_TIME, setting.blendTime);
        Sample_Send<uint32_t>(skin, MSG_SKIN_SET_PLAY_STYLE, setting.playStyle);
    }
    Sample_Send(skin, MSG_SET_CURRENT_TIME, 0.0f);

    for (const auto& step : kRoundOfMotions) {
        const std::string name = step.motion;
        skin->ScheduleMessage(MSG_SET_MOTION, Args_Of(name.c_str()), TIMED_SAVED_FLAG | (3u << 8), step.at, 0.0f,
                              kRound);
    }
}
