// The sample data folder: the start file, the resource library with the
// files its items name, the logo movie, the globals and the start scene (the
// sample level: rooms joined by portals, with the pieces of every scene class
// standing in them), built by the engine's own actor system and saved by its
// FileIO actors.

#include "tools/sampledata/SampleData.h"

#include "apps/game/ActorClasses.h"
#include "kernel/actors/ActorScript.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/fileactors/File.h"
#include "services/library/Library.h"
#include "tools/content/HudPictures.h"
#include "tools/content/ImageWriter.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MeshBuild.h"
#include "tools/content/MotBuild.h"
#include "tools/content/MovieWriter.h"
#include "tools/content/WavWriter.h"
#include "tools/sampledata/SampleCamera.h"
#include "tools/sampledata/SampleCharacter.h"
#include "tools/sampledata/SampleFigure.h"
#include "tools/sampledata/SampleGuard.h"
#include "tools/sampledata/SampleLevel.h"
#include "tools/sampledata/SampleLight.h"
#include "tools/sampledata/SampleObject.h"
#include "tools/sampledata/SampleParticle.h"
#include "tools/sampledata/SamplePlayer.h"
#include "tools/sampledata/SampleRooms.h"
#include "tools/sampledata/SampleSound.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFirstLevelId = 3000;

// The first thing that failed, for the caller; every failure also goes to
// standard error, where a user of the tool sees it.
std::string g_FirstError;

bool Fail(const std::string& what) {
    std::fprintf(stderr, "qv_make_sample: %s\n", what.c_str());
    if (g_FirstError.empty()) g_FirstError = what;
    return false;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return Fail("cannot write " + path.string());
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && ok) || Fail("cannot write " + path.string());
}

// The pieces of the level: the items of each first, then the actors.
void AddItems(SampleLevel& level) {
    SampleRooms_AddItems(level);
    SampleObject_AddItems(level);
    SampleLight_AddItems(level);
    SampleParticle_AddItems(level);
    SampleSound_AddItems(level);
    SampleCamera_AddItems(level);
    SampleFigure_AddItems(level);
}

// One actor for each capture, its script fired by a timed message kept with
// it in the scene file; the last one ends the game.
void AddCaptures(SampleLevel& level, CQVActor* scenery, const SampleOptions& options) {
    std::vector<SampleCapture> captures = options.captures;
    std::stable_sort(captures.begin(), captures.end(),
                     [](const SampleCapture& a, const SampleCapture& b) { return a.seconds < b.seconds; });
    for (size_t i = 0; i < captures.size(); ++i) {
        CQVActor* capturer = level.Make(CLASS_BASE, ("Capture " + std::to_string(i + 1)).c_str(), scenery);
        if (capturer == nullptr) return;
        CQVScript script;
        script.name = "Capture";
        script.boundMessage = MSG_ACTION_START;
        script.source = "sys.capture_backbuffer((" + std::to_string(options.captureWidth) + ", " +
                        std::to_string(options.captureHeight) + "));\nsys.capture_save(\"" + captures[i].file +
                        "\");" + (i + 1 == captures.size() ? "\nsys.exit_engine();" : "");
        script.owner = capturer;
        capturer->m_Scripts.push_back(std::move(script));
        capturer->ScheduleMessage(MSG_ACTION_START, nullptr, TIMED_SAVED_FLAG | (TIMED_MODE_ONCE << 8),
                                  captures[i].seconds, 0.0f, 0.0f);
    }
}

// The level: the rooms and what stands in them, and a class manager, in the
// "Scenery" range.
void BuildLevel(SampleLevel& level, CQVActor* scenery, const SampleOptions& options) {
    SampleRooms_Build(level, scenery);
    if (level.root == nullptr) return;
    SampleObject_AddActors(level);
    // The draw pass updates only what stands in a room it reaches: the rig
    // rides in the first room, which every room sees through the open
    // doorways, and carries the camera wherever it goes.
    if (level.cameraRig && !level.rooms.empty()) g_ActorSystem->MoveActor(level.cameraRig, level.rooms.front().group);
    SampleLight_AddActors(level);
    SampleParticle_AddActors(level);
    SampleSound_AddActors(level);
    SampleCamera_AddActors(level);
    SampleFigure_AddActors(level);
    SampleCharacter_AddActors(level);
    SampleGuard_AddActors(level);
    SamplePlayer_AddActors(level);
    level.Make(CLASS_CLASS, "Classes", level.root);
    AddCaptures(level, scenery, options);
}

// ARGB pixels of a side x side pattern: two-colour checks of cell texels.
std::vector<uint32_t> Checks(uint32_t side, uint32_t cell, uint32_t a, uint32_t b) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) pixels[y * side + x] = ((x / cell + y / cell) % 2 == 0) ? a : b;
    }
    return pixels;
}

// Courses of bricks with lighter mortar between them.
std::vector<uint32_t> Bricks(uint32_t side) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        const uint32_t shift = (y / 8) % 2 == 0 ? 0 : 8;
        for (uint32_t x = 0; x < side; ++x) {
            const bool mortar = y % 8 == 0 || (x + shift) % 16 == 0;
            pixels[y * side + x] = mortar ? 0xFFC8C0B0u : 0xFF8C3A28u + ((x * 7 + y * 3) % 16) * 0x10000u;
        }
    }
    return pixels;
}

// From dark at the top to light at the bottom.
std::vector<uint32_t> Gradient(uint32_t side, uint32_t top, uint32_t bottom) {
    std::vector<uint32_t> pixels(side * side);
    for (uint32_t y = 0; y < side; ++y) {
        uint32_t argb = 0xFF000000u;
        for (uint32_t shift : {0u, 8u, 16u}) {
            const uint32_t from = (top >> shift) & 0xFF, to = (bottom >> shift) & 0xFF;
            argb |= ((from * (side - 1 - y) + to * y) / (side - 1)) << shift;
        }
        for (uint32_t x = 0; x < side; ++x) pixels[y * side + x] = argb;
    }
    return pixels;
}

std::vector<uint32_t> LoadingBack(uint32_t side) {
    std::vector<uint32_t> pixels = Gradient(side, 0xFF28406Eu, 0xFF080C18u);
    const std::vector<uint32_t> bricks = Bricks(side);
    for (size_t i = 0; i < pixels.size(); ++i) {
        // Mortar lines a little lighter than the blue.
        if ((bricks[i] & 0xFF) == 0xB0) pixels[i] += 0x00101418u;
    }
    return pixels;
}

bool Report(bool written, const std::filesystem::path& path) {
    return written || Fail("cannot write " + path.string());
}

// The files the library's items name, in the data folder: an image of each
// format still textures load from, meshes made in code, sounds and the
// figure's walk.
bool WriteItemFiles(const std::filesystem::path& data) {
    bool ok = true;
    const auto save = [&](const char* name, const std::vector<uint8_t>& bytes) {
        ok = Report(!bytes.empty() && ImageWriter_Save((data / name).string(), bytes), data / name) && ok;
    };
    const std::vector<uint32_t> floor = Checks(64, 8, 0xFF6E6A60u, 0xFF8C877Au);
    save("floor.tga", ImageWriter_Tga(floor.data(), 64, 64, {}));
    const std::vector<uint32_t> bricks = Bricks(64);
    save("brick.bmp", ImageWriter_Bmp(bricks.data(), 64, 64, {}));
    const std::vector<uint32_t> metal = Checks(32, 4, 0xFF8090A0u, 0xFF708090u);
    save("metal.png", ImageWriter_Png(metal.data(), 32, 32, PNG_LAYOUT_RGB));
    // Behind the loading screen's bar: the bricks of the rooms, faint in a
    // deep blue that darkens toward the bottom, where the bar stands.
    const std::vector<uint32_t> back = LoadingBack(128);
    save("loading.tga", ImageWriter_Tga(back.data(), 128, 128, {}));
    const std::vector<uint32_t> sky = Gradient(64, 0xFF203C78u, 0xFFA0C0E8u);
    save("sky.jpg", ImageWriter_Jpeg(sky.data(), 64, 64, 90));

    const auto mesh = [&](const char* name, const QvmFile& file) {
        ok = Report(Qvm_WriteFile((data / name).string(), file), data / name) && ok;
    };
    const auto rigid = [](const MeshGeometry& geometry) {
        return MeshBuild_RigidFile({MeshBuild_ToSubset(geometry, false)});
    };
    mesh("room.qvm", rigid(MeshBuild_Room(Vector3(-400, 0, -400), Vector3(400, 300, 400),
                                          {{0, 340, 120, 0, 220}, {2, 100, 120, 0, 220}})));
    mesh("crate.qvm", rigid(MeshBuild_Box(Vector3(-30, 0, -30), Vector3(30, 60, 30))));
    mesh("column.qvm", rigid(MeshBuild_Column(Vector3(0, 0, 0), 25, 300, 12)));
    mesh("stairs.qvm", rigid(MeshBuild_Stairs(Vector3(-60, 0, 0), 6, 120, 25, 40)));
    mesh("ball.qvm", rigid(MeshBuild_Sphere(Vector3(0, 20, 0), 20, 8, 12)));
    mesh("terrain.qvm", rigid(MeshBuild_Terrain(Vector3(-1000, 0, -1000), 2000, 16, MeshBuild_Hills(40, 1))));
    const QvmFile figure = MeshBuild_Figure(2);
    mesh("figure.qvm", figure);
    ok = Report(Anb_WriteFile((data / "flag.anb").string(), MeshBuild_WavingFlag(80, 50, 4, 8)), data / "flag.anb") && ok;
    ok = Report(MotWriter_Write((data / "walk.mot").c_str(), MotBuild_Walk(figure.bones)) == 1, data / "walk.mot") && ok;

    const auto sound = [&](const char* name, const WavFormat& format, float hz, uint32_t frames) {
        ok = Report(Wav_Write((data / name).string(), format, Wav_Sine(format, hz, 0.4f, frames)), data / name) && ok;
    };
    sound("hum.wav", WavFormat{1, 22050, 16}, 110.0f, 22050);
    sound("click.wav", WavFormat{1, 11025, 8}, 1760.0f, 441);
    sound("wind.wav", WavFormat{2, 44100, 16}, 220.0f, 88200);
    return ok;
}

// The resource library: textures of every image format (and the logo movie
// as a video texture), materials on them, the meshes, sounds, the sun, the
// text font and the figure's walk. Ids group by kind.
void AddBaseItems(LibraryFile& library) {
    library.AddTexture(10, "Floor Tiles", "floor.tga", 64, 64)->mipLevels = 0;
    library.AddTexture(11, "Brick Wall", "brick.bmp", 64, 64);
    library.AddTexture(12, "Metal Plate", "metal.png", 32, 32);
    library.AddTexture(13, "Sky", "sky.jpg", 64, 64)->textureType = 3;
    library.AddTexture(14, "Logo Screen", "logo_01.mpg", 256, 256);
    library.AddTexture(15, "Loading Back", "loading.tga", 128, 128);

    const auto material = [&](uint32_t id, const char* name, std::vector<uint32_t> textures, float r, float g, float b) {
        CQVMaterialItem* item = library.AddMaterial(id, name, std::move(textures));
        item->material.Diffuse = {r, g, b, 1.0f};
        item->material.Ambient = {r, g, b, 1.0f};
        return item;
    };
    material(100, "Floor", {10}, 0.45f, 0.42f, 0.38f);
    material(101, "Platform", {12}, 0.30f, 0.45f, 0.70f);
    material(102, "Wall", {11}, 1.0f, 1.0f, 1.0f);
    material(103, "Sky", {13}, 1.0f, 1.0f, 1.0f)->fogFlag = 0;
    // The loading screen draws the material of this name over the whole screen.
    material(105, "Menu_Back", {15}, 1.0f, 1.0f, 1.0f)->stateFlagB = 1;
    CQVMaterialItem* glass = material(104, "Glass", {}, 0.6f, 0.8f, 1.0f);
    glass->material.Diffuse.a = 0.4f;
    glass->useAlpha = 1;
    glass->bucketMask = 0;  // blended: the reader gives it the blended bucket

    const struct {
        uint32_t id;
        const char* name;
        const char* file;
    } meshes[] = {
        {200, "Room", "room.qvm"},     {201, "Crate", "crate.qvm"},     {202, "Column", "column.qvm"},
        {203, "Stairs", "stairs.qvm"}, {204, "Ball", "ball.qvm"},       {205, "Terrain", "terrain.qvm"},
        {206, "Figure", "figure.qvm"}, {207, "Flag", "flag.anb"},
    };
    for (const auto& m : meshes) library.AddMesh(m.id, m.name, m.file)->subsetInfos.resize(1);
    // What a mesh actor shows when its own mesh or material is missing.
    library.AddMesh(3, "Fallback Mesh", "crate.qvm")->subsetInfos.resize(1);
    material(4, "Fallback Material", {}, 0.6f, 0.6f, 0.6f);
    static_cast<CQVMeshItem*>(library.items.At(206))->skinned = 1;
    // The library is read without loading its items: the flag's animation
    // length comes from the frame count stored with it.
    static_cast<CQVMeshItem*>(library.items.At(207))->frameWord = 8;

    library.AddSound(300, "Hum", "hum.wav")->flags = CQVSoundItem::SOUND_WHOLE_FILE | CQVSoundItem::SOUND_3D;
    library.AddSound(301, "Click", "click.wav")->group = 1;
    CQVSoundItem* wind = library.AddSound(302, "Wind", "wind.wav");
    wind->flags = 0;  // streamed
    wind->volume = 0.5f;
    wind->group = 2;

    library.AddLight(400, "Sun");
    library.AddMotion(500, "Walk", "walk.mot");
    library.AddFont(600, "Text", "Lucida Console", 10);
}

bool SaveThrough(uint32_t fileIOId, const char* fileName) {
    if (CQVActorSystem::SendMessage(fileIOId, MSG_SAVE_FILE, Args_Of(fileName))) return true;
    return Fail(std::string(fileName) + ": " + g_ActorSystem->GetError());
}

// The actor system and every actor in it go; the next scene starts afresh.
void ResetActors() {
    Actors_Reset();
    g_ActorSystem = nullptr;
    FileActors_Reset();
}

bool WriteSample(const std::filesystem::path& root, const SampleOptions& options) {
    std::error_code error;
    std::filesystem::create_directories(root / "Data", error);
    if (error) return Fail("cannot create " + root.string() + ": " + error.message());
    // Base folder "." (the sample folder itself), start scene, globals file, window title.
    if (!WriteFile(root / "init.txt", ".\r\nStart.qva\r\nGlobals.qva\r\nQV Engine Sample\r\n")) return false;
    LibraryFile library;
    AddBaseItems(library);
    SampleLevel level;
    level.library = &library;
    level.data = root / "Data";
    if (options.fixedCamera) level.shot = &options.shot;
    AddItems(level);
    if (!WriteItemFiles(root / "Data") || !level.ok) return Fail(level.error.empty() ? "a piece of the level could not be made" : level.error);
    // The Inventory's HUD: its gauges, icons and font, and the "Black" its
    // fades draw, under the names it looks them up by.
    if (!HudPictures_Add(library, root / "Data")) return Fail("cannot write the HUD pictures into " + (root / "Data").string());
    if (!Report(library.Write((root / LIBRARY_FILE_NAME).string()), root / LIBRARY_FILE_NAME)) return false;
    // The logo movie the start-up plays.
    std::string movieError;
    if (!MovieWriter_WriteLogo((root / "Data" / "logo_01.mpg").string(), &movieError))
        return Fail("logo_01.mpg: " + movieError);

    if (!SampleLevel_StartEngine()) return Fail("cannot start the engine");
    ActorClasses_Install();
    if (!RegisterActorClasses()) return Fail("cannot register the actor classes");
    g_ActorSystem->m_BaseDirectory = root.string();
    // The globals hold the system actors "Environment" and "Inventory" that
    // start-up made below "Global".
    if (!SaveThrough(ACTOR_ID_GLOBAL, kSampleGlobalsFile)) return false;
    BuildLevel(level, CQVActorSystem::GetActorById(ACTOR_ID_SCENERY), options);
    if (!level.ok) return Fail(level.error.empty() ? "a piece of the level could not be made" : level.error);
    if (!SaveThrough(ACTOR_ID_SCENERY, kSampleLevelFile)) return false;

    // The start scene only starts a new game on the level, so that the level
    // loads behind the loading screen and its bar, as every later level would.
    ResetActors();
    ActorClasses_Install();
    if (!RegisterActorClasses()) return Fail("cannot register the actor classes");
    g_ActorSystem->m_BaseDirectory = root.string();
    CQVActor* scenery = CQVActorSystem::GetActorById(ACTOR_ID_SCENERY);
    CQVActor* start = g_ActorSystem->CreateActor(CLASS_BASE, "Sample Start", nullptr, scenery, kFirstLevelId, 1, 0);
    if (start == nullptr) return Fail("cannot make the start scene");
    CQVScript newGame;
    newGame.name = "Sample New Game";
    newGame.boundMessage = MSG_START_GAME;
    // "New Game" loads its second file over its first: the globals, then the level.
    newGame.source = std::string("sys.new_game(\"Data\\") + kSampleGlobalsFile + "\", \"Data\\" + kSampleLevelFile + "\");";
    newGame.owner = start;
    start->m_Scripts.push_back(std::move(newGame));
    return SaveThrough(ACTOR_ID_SCENERY, "Start.qva");
}

}  // namespace

bool SampleData_Write(const std::filesystem::path& root, const SampleOptions& options, std::string* error) {
    g_FirstError.clear();
    const bool written = WriteSample(root, options);
    if (!written && error != nullptr) *error = g_FirstError.empty() ? "the sample level could not be made" : g_FirstError;
    // What the build left behind: the actor system and the items the level's
    // actors took from the library while they were made.
    ResetActors();
    Library_Reset();
    return written;
}

SampleShot SampleShot_Shadows() { return SampleShot{Vector3(-50.0f, 200.0f, 380.0f), 2.37f, 0.56f}; }
SampleShot SampleShot_Fountain() { return SampleShot{Vector3(-70.0f, 150.0f, -120.0f), 0.0f, 0.35f}; }
SampleShot SampleShot_LightMap() { return SampleShot{Vector3(0.0f, 200.0f, -380.0f), 0.0f, 0.3f}; }
SampleShot SampleShot_Flag() { return SampleShot{Vector3(300.0f, 180.0f, -250.0f), 0.0f, 0.1f}; }
SampleShot SampleShot_Fog() { return SampleShot{Vector3(0.0f, 160.0f, -380.0f), 0.0f, 0.05f}; }
