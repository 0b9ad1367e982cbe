#include "services/mesh/Motion.h"

#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"

#include <cstring>

namespace {

// The smallest stored track: length, an empty name and four empty key lists.
constexpr uint32_t kMinStoredTrackSize = 24;

// The companion's first position and rotation are the origin of the track.
// A companion track without keys of a kind leaves that kind as it is.
void RebaseTrack(KeyTrack* track, const KeyTrack& base) {
    if (!base.positionKeys.empty()) {
        const Vector3 origin = base.positionKeys[0].value;
        for (VectorKey& key : track->positionKeys) key.value = key.value - origin;
    }
    if (base.rotationKeys.empty()) return;
    Matrix start, inverse;
    Mat4_FromQuaternion(&start, base.rotationKeys[0].rotation);
    if (Mat4_Inverse(&inverse, start) == nullptr) return;
    for (RotationKey& key : track->rotationKeys) {
        Matrix rotation;
        Mat4_FromQuaternion(&rotation, key.rotation);
        Mat4_Multiply(&rotation, rotation, inverse);
        Quat_FromMatrix(&key.rotation, rotation);
    }
}

}  // namespace

int Motion_ReadFile(CQVArchive* archive, MotionTracks* tracks, uint32_t* trackCount, Vector3* firstTriple,
                    Vector3* rootDisplacement) {
    static const char kTrackError[] = "Error - Saving Loading motion data.";
    uint32_t version = 0, count = 0;
    Vector3 triples[2];
    if (!archive->SerializeDword(&version) || archive->SerializeDwords(triples, 6) != 6) {
        return CQVEngine::SetError("%s", kTrackError);
    }
    *firstTriple = triples[0];
    *rootDisplacement = triples[1];
    if (!archive->SerializeCount(&count, kMinStoredTrackSize)) return CQVEngine::SetError("%s", kTrackError);
    for (uint32_t i = 0; i < count; ++i) {
        KeyTrack* track = KeyTrack_Read(archive, SERIALIZE_READ_LOAD, version);
        if (track == nullptr) return CQVEngine::SetError("%s", kTrackError);
        tracks->push_back(track);
        ++*trackCount;
    }
    return 1;
}

bool Motion_GetCompanionName(std::string_view name, std::string* companion) {
    if (name.size() < 9 || name[6] != 'B' || name[7] != 'L' || name[8] != '_') return false;
    const size_t cut = name.find('_', 9);
    companion->assign(name.substr(0, cut));
    (*companion)[7] = 'K';
    return true;
}

void Motion_Rebase(const MotionTracks& tracks, const MotionTracks& companion) {
    auto cursor = tracks.begin();
    for (const KeyTrack* base : companion) {
        if (cursor == tracks.end()) return;
        if (std::strcmp(KeyTrack_GetName(*cursor), KeyTrack_GetName(base)) != 0) continue;
        RebaseTrack(*cursor, *base);
        ++cursor;
    }
}
