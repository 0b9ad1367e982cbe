#include "kernel/base/Archive.h"
#include "kernel/base/FileSystem.h"
#include "services/engine/Engine.h"
#include "services/library/Library.h"
#include "services/mesh/Motion.h"

#include <cmath>
#include <cstring>

namespace {

CQVMotionItem* Loaded(CQVMotionItem* motion) {
    if (motion != nullptr && !motion->loaded) motion->Load();
    return motion;
}

}  // namespace

int CQVEngine::ReadMotionFile(CQVMotionItem* item, const char* path, uint32_t unused) {
    (void)unused;
    if (item == nullptr) return SetError("%s", "Error Can't Load Motion");
    CQVArchive archive;
    if (!archive.Open(path, "rb")) return SetError("%s", "Error - Saving Motion");
    const int read =
        Motion_ReadFile(&archive, &item->tracks, &item->trackCount, &item->firstTriple, &item->rootDisplacement);
    archive.Close();
    return read;
}

int CQVEngine::LoadMotion(CQVMotionItem* item) {
    if (item == nullptr) return SetError("%s", "Error: Load Motion From File");
    const std::string path = item->GetFullPath();
    // Other extensions read nothing: the motion plays the tracks it holds.
    if (Library_NamesEqual(File_GetExtension(path.c_str()), ".mot")) {
        KeyTrack_FreeAll(&item->tracks);
        item->trackCount = 0;
        if (!ReadMotionFile(item, path.c_str(), 0)) return 0;
    }
    std::string companionName;
    if (!Motion_GetCompanionName(item->name, &companionName)) return 1;
    // Only a motion can be a companion, whatever else shares its name.
    CQVMotionItem* companion = static_cast<CQVMotionItem*>(FindItem(companionName.c_str(), LIBRARY_MOTION));
    if (companion == nullptr || companion == item) return 1;
    Loaded(companion);
    Motion_Rebase(item->tracks, companion->tracks);
    return 1;
}

float Motion_GetLength(CQVMotionItem* motion) {
    if (Loaded(motion) == nullptr || motion->tracks.empty()) return 0.0f;
    return motion->tracks.front()->length;
}

void Motion_GetVelocity(CQVMotionItem* motion, Vector3* out) {
    if (motion == nullptr) return;
    const float length = motion->tracks.empty() ? 0.0f : motion->tracks.front()->length;
    // A motion without length carries the character nowhere.
    if (!(std::fabs(length) > 0.0f)) {
        *out = Vector3(0.0f, 0.0f, 0.0f);
        return;
    }
    *out = motion->rootDisplacement * (1.0f / length);
}

float Motion_GetFrameRate(CQVMotionItem* motion) {
    (void)motion;
    return kMotionFrameRate;
}

uint32_t Motion_GetTrackCount(CQVMotionItem* motion) {
    return Loaded(motion) != nullptr ? static_cast<uint32_t>(motion->tracks.size()) : 0;
}

void Motion_GetTracks(CQVMotionItem* motion, KeyTrack** out) {
    if (Loaded(motion) == nullptr) return;
    for (KeyTrack* track : motion->tracks) *out++ = track;
}

KeyTrack* Motion_FindTrack(CQVMotionItem* motion, const char* bone) {
    if (Loaded(motion) == nullptr || bone == nullptr) return nullptr;
    for (KeyTrack* track : motion->tracks) {
        if (std::strcmp(KeyTrack_GetName(track), bone) == 0) return track;
    }
    return nullptr;
}
