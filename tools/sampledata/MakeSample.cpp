// Writes the sample data folder that `make run` starts the game on: the
// start file, the resource library, and the globals and start scene built
// by the engine's own actor system and saved by its FileIO actors.
// Usage: qv_make_sample <folder>

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/app/ActorClasses.h"
#include "tools/content/LibraryFile.h"
#include "tools/content/MovieWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "qv_make_sample: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

CQVActor* Make(uint32_t type, const char* name, CQVActor* parent, uint32_t id) {
    return g_ActorSystem->CreateActor(type, name, nullptr, parent, id, 1, 0);
}

template <typename T>
void Send(CQVActor* actor, uint32_t message, const T* value) {
    actor->HandleMessage(message, Args_Of(value));
}

// A box-shaped collision volume from min to max.
void AddBox(CQVActor* actor, const Vector3& min, const Vector3& max) {
    actor->HandleMessage(MSG_CREATE_COLLISION, nullptr);
    Send(actor, MSG_SET_BOX_MIN, &min);
    Send(actor, MSG_SET_BOX_MAX, &max);
}

// The start scene: a level root with a floor, a platform above it and a
// class manager, at the first ids of the "Scenery" range.
void BuildStartScene(CQVActor* scenery) {
    CQVActor* level = Make(CLASS_BASE, "Start Level", scenery, 3000);
    CQVActor* floor = Make(CLASS_BASE, "Floor", level, 3001);
    AddBox(floor, Vector3(-2000.0f, -10.0f, -2000.0f), Vector3(2000.0f, 0.0f, 2000.0f));
    CQVActor* platform = Make(CLASS_BASE, "Platform", level, 3002);
    const Vector3 position(0.0f, 150.0f, 400.0f);
    Send(platform, MSG_SET_POSITION, &position);
    AddBox(platform, Vector3(-100.0f, -10.0f, -100.0f), Vector3(100.0f, 10.0f, 100.0f));
    Make(CLASS_CLASS, "Classes", level, 3003);
}

// The resource library: the materials of the start scene, a light and the
// text font. Textures, meshes, sounds and motions join it as the writers of
// their files do.
bool WriteLibrary(const std::filesystem::path& root) {
    LibraryFile library;
    const auto material = [&](uint32_t id, const char* name, float r, float g, float b) {
        CQVMaterialItem* item = library.AddMaterial(id, name, {});
        item->material.Diffuse = {r, g, b, 1.0f};
        item->material.Ambient = {r, g, b, 1.0f};
    };
    material(100, "Floor", 0.45f, 0.42f, 0.38f);
    material(101, "Platform", 0.30f, 0.45f, 0.70f);
    library.AddLight(200, "Sun");
    library.AddFont(300, "Text", "Lucida Console", 10);
    if (library.Write((root / LIBRARY_FILE_NAME).string())) return true;
    std::fprintf(stderr, "qv_make_sample: cannot write %s\n", (root / LIBRARY_FILE_NAME).c_str());
    return false;
}

bool SaveThrough(uint32_t fileIOId, const char* fileName) {
    if (CQVActorSystem::SendMessage(fileIOId, MSG_SAVE_FILE, Args_Of(fileName))) return true;
    std::fprintf(stderr, "qv_make_sample: %s: %s\n", fileName, g_ActorSystem->GetError());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_make_sample <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::error_code error;
    std::filesystem::create_directories(root / "Data", error);
    if (error) {
        std::fprintf(stderr, "qv_make_sample: cannot create %s: %s\n", root.c_str(), error.message().c_str());
        return 1;
    }
    // Base folder "." (the sample folder itself), start scene, globals file, window title.
    if (!WriteFile(root / "init.txt", ".\r\nStart.qva\r\nGlobals.qva\r\nQV Engine Sample\r\n")) return 1;
    if (!WriteLibrary(root)) return 1;
    // The logo movie the start-up plays.
    std::string movieError;
    if (!MovieWriter_WriteLogo((root / "Data" / "logo_01.mpg").string(), &movieError)) {
        std::fprintf(stderr, "qv_make_sample: logo_01.mpg: %s\n", movieError.c_str());
        return 1;
    }

    ActorClasses_Install();
    if (!RegisterActorClasses()) return 1;
    g_ActorSystem->m_BaseDirectory = root.string();
    // The globals hold the system actors "Environment" and "Inventory" that
    // start-up made below "Global".
    bool saved = SaveThrough(ACTOR_ID_GLOBAL, "Globals.qva");
    BuildStartScene(CQVActorSystem::GetActorById(ACTOR_ID_SCENERY));
    saved = SaveThrough(ACTOR_ID_SCENERY, "Start.qva") && saved;
    delete g_ActorSystem;
    return saved ? 0 : 1;
}
