// Any bytes as a ".mot" file: the reader keeps only whole tracks, takes no
// more keys than the file holds, and every track it keeps evaluates and
// rebases without reading outside its keys.

#include "fuzz/files/FuzzCheck.h"
#include "kernel/base/Archive.h"
#include "services/mesh/Motion.h"
#include "tools/fixtures/MemoryFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedMemoryFileSystem file;
    file.bytes.assign(data, data + size);
    g_CurrentFileSystem = &file;
    MotionTracks tracks;
    uint32_t count = 0;
    Vector3 first{0, 0, 0}, root{0, 0, 0};
    CQVArchive archive;
    Check(archive.Open("walk.mot", "rb"));
    const int read = Motion_ReadFile(&archive, &tracks, &count, &first, &root);
    archive.Close();
    g_CurrentFileSystem = nullptr;
    Check(read == 0 || read == 1);
    Check(count == tracks.size());

    size_t stored = 0;
    for (const KeyTrack* track : tracks) {
        stored += 24 + track->rotationKeys.size() * 20 + (track->positionKeys.size() + track->scaleKeys.size()) * 16 +
                  track->matrixKeys.size() * 68 + std::char_traits<char>::length(KeyTrack_GetName(track));
        for (float time : {-1.0f, 0.0f, 0.5f * track->length, track->length, 1e30f}) {
            Quaternion q;
            Vector3 v;
            KeyTrack_EvalRotation(&q, track, time);
            KeyTrack_EvalPosition(&v, track, time);
            KeyTrack_EvalScale(&v, track, time);
        }
        Check(track->rotationKeys.empty() || track->rotationKeys.back().interpolate == 0);
    }
    Check(stored + 32 <= size || tracks.empty());

    MotionTracks companion;
    for (const KeyTrack* track : tracks) companion.push_back(KeyTrack_Copy(track));
    Motion_Rebase(tracks, companion);
    KeyTrack_FreeAll(&companion);
    KeyTrack_FreeAll(&tracks);
    std::string name(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
    std::string companionName;
    if (Motion_GetCompanionName(name, &companionName)) Check(companionName.size() <= name.size());
    return 0;
}
