// Writes the seed files of the library reader's fuzz target with the
// content tools: make_library_seeds <folder>. Every kind of item, older
// versions for their gates, and a font carrying stored glyph metrics.

#include "tools/content/ImageWriter.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"

#include <cstdio>
#include <string>

namespace {

void AddEveryKind(LibraryFile* file) {
    file->items.groups = {{"Level", "Walls"}, {}};
    file->AddTexture(1, "Wall", "wall.tga", 64, 32)->mipLevels = 2;
    CQVMeshItem* mesh = file->AddMesh(2, "Crate", "crate.qvm");
    SubsetInfo info;
    info.lightMapId = 1;
    info.box.max = Vector3(1.0f, 2.0f, 3.0f);
    mesh->subsetInfos = {info, SubsetInfo()};
    mesh->frameWord = 3;
    mesh->scale = 2.0f;
    CQVSoundItem* sound = file->AddSound(3, "Door", "door.wav");
    sound->flags = 3;
    sound->volume = 0.5f;
    sound->group = 7;
    CQVMaterialItem* material = file->AddMaterial(4, "Brick", {1, 9});
    material->blendIndex = 2;
    material->bucketMask = 0;
    file->AddLight(5, "Lamp");
    // Two of the walk's tracks stored in the library itself, keys and all.
    CQVMotionItem* walk = file->AddMotion(6, "Walk", "walk.mot");
    const MotFile motion = MotBuild_Walk(MeshBuild_Figure(2).bones);
    for (const KeyTrack& track : motion.tracks) {
        if (walk->tracks.size() == 2) break;
        walk->tracks.push_back(KeyTrack_Copy(&track));
    }
    walk->trackCount = static_cast<uint32_t>(walk->tracks.size());
    file->AddFont(7, "Plain", "Lucida Console", 10)->characterSet = "ABC";
}

void AddStoredFont(LibraryFile* file) {
    file->AddTexture(1, "Glyphs", "glyphs.tga", 64, 64);
    CQVFontItem* font = file->AddFont(2, "Drawn", "Arial", 12);
    font->textureId = 1;
    font->spacing = 1;
    FontMetrics& metrics = font->metrics;
    metrics.spacing = 1.0f;
    metrics.textureWidth = metrics.textureHeight = 64;
    metrics.characterCount = 4;
    for (uint32_t i = 0; i < 4; ++i) {
        metrics.characterSet[i] = static_cast<uint8_t>('0' + i);
        const float u = 0.25f * static_cast<float>(i);
        metrics.glyphs.push_back({u, 0.0f, u + 0.25f, 0.5f});
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_library_seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    LibraryFile every;
    every.worldScale = 50.0f;
    AddEveryKind(&every);
    LibraryFile stored;
    AddStoredFont(&stored);
    LibraryFile empty;
    // Written as plain files: a seed folder keeps no library backups.
    bool written = ImageWriter_Save(folder + "/stored_font.edo", stored.Bytes()) &&
                   ImageWriter_Save(folder + "/empty.edo", empty.Bytes());
    for (uint32_t version : {1u, 3u, 5u, 7u}) {
        const std::string name = folder + "/every_kind_v" + std::to_string(version) + ".edo";
        written = ImageWriter_Save(name, every.Bytes(version)) && written;
    }
    return written ? 0 : 1;
}
