#include "services/mesh/KeyTrack.h"

#include "kernel/base/Archive.h"
#include "kernel/base/NameTable.h"

#include <algorithm>
#include <string>

namespace {

// Stored key sizes in words: the time first, then the value.
constexpr uint32_t kRotationKeyWords = 5;
constexpr uint32_t kVectorKeyWords = 4;
constexpr uint32_t kMatrixKeyWords = 17;

void Unpack(const float* words, RotationKey* key) {
    key->time = words[0];
    key->rotation = Quaternion{words[1], words[2], words[3], words[4]};
    key->interpolate = 0;
}
void Unpack(const float* words, VectorKey* key) {
    key->time = words[0];
    key->value = Vector3(words[1], words[2], words[3]);
    key->interpolate = 0;
}
void Unpack(const float* words, MatrixKey* key) {
    key->time = words[0];
    std::memcpy(key->matrix.m, words + 1, sizeof key->matrix.m);
}

void Pack(const RotationKey& key, float* words) {
    words[0] = key.time;
    words[1] = key.rotation.x;
    words[2] = key.rotation.y;
    words[3] = key.rotation.z;
    words[4] = key.rotation.w;
}
void Pack(const VectorKey& key, float* words) {
    words[0] = key.time;
    words[1] = key.value.x;
    words[2] = key.value.y;
    words[3] = key.value.z;
}
void Pack(const MatrixKey& key, float* words) {
    words[0] = key.time;
    std::memcpy(words + 1, key.matrix.m, sizeof key.matrix.m);
}

// A count, then count keys of `words` words each. The count is checked
// against the bytes left before anything is allocated.
template <typename Key>
bool ReadKeys(CQVArchive* archive, uint32_t words, std::vector<Key>* keys) {
    uint32_t count = 0;
    if (!archive->SerializeCount(&count, words * 4)) return false;
    if (count == 0) return true;
    std::vector<float> stored(static_cast<size_t>(count) * words);
    if (archive->SerializeDwords(stored.data(), count * words) != count * words) return false;
    keys->resize(count);
    for (uint32_t i = 0; i < count; ++i) Unpack(&stored[static_cast<size_t>(i) * words], &(*keys)[i]);
    return true;
}

template <typename Key>
bool WriteKeys(CQVArchive* archive, uint32_t words, const std::vector<Key>& keys) {
    uint32_t count = static_cast<uint32_t>(keys.size());
    if (!archive->SerializeCount(&count, words * 4)) return false;
    if (count == 0) return true;
    std::vector<float> stored(static_cast<size_t>(count) * words);
    for (uint32_t i = 0; i < count; ++i) Pack(keys[i], &stored[static_cast<size_t>(i) * words]);
    return archive->SerializeDwords(stored.data(), count * words) == count * words;
}

bool SameValue(const Quaternion& a, const Quaternion& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
bool SameValue(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
const Quaternion& KeyValue(const RotationKey& key) { return key.rotation; }
const Vector3& KeyValue(const VectorKey& key) { return key.value; }

template <typename Key>
void FlagKeys(std::vector<Key>* keys, bool interpolates) {
    for (size_t i = 0; i < keys->size(); ++i) {
        const bool moves =
            interpolates && i + 1 < keys->size() && !SameValue(KeyValue((*keys)[i]), KeyValue((*keys)[i + 1]));
        (*keys)[i].interpolate = moves ? 1 : 0;
    }
}

// The key that holds at the time and how far the value has moved from it
// towards the next key (0 when it holds). Keys are chosen among the later
// ones by the first key after the time; a fraction is only given for a key
// that interpolates towards a strictly later key, so equal times, a time
// before the first key and times out of order all hold a key's value.
template <typename Key>
size_t ChooseKey(const std::vector<Key>& keys, float time, float* fraction) {
    if (time < 0.0f) time = 0.0f;
    const auto later = std::upper_bound(keys.begin() + 1, keys.end(), time,
                                        [](float t, const Key& key) { return t < key.time; });
    const size_t index = static_cast<size_t>(later - keys.begin()) - 1;
    const Key& key = keys[index];
    *fraction = 0.0f;
    if (key.interpolate && index + 1 < keys.size()) {
        const float span = keys[index + 1].time - key.time;
        const float f = (time - key.time) / span;
        if (span > 0.0f && f > 0.0f) *fraction = std::min(f, 1.0f);
    }
    return index;
}

Vector3* EvalVector(Vector3* out, const std::vector<VectorKey>& keys, float time, const Vector3& none) {
    if (keys.empty()) {
        *out = none;
        return out;
    }
    float f;
    const size_t i = ChooseKey(keys, time, &f);
    if (f > 0.0f) return Vec3_Lerp(out, keys[i].value, keys[i + 1].value, f);
    *out = keys[i].value;
    return out;
}

}  // namespace

int KeyTrack::Serialize(CQVArchive* archive, uint32_t mode, uint32_t version) {
    (void)version;  // every version stores a track alike
    if (archive == nullptr) return 0;
    if (mode == SERIALIZE_WRITE) {
        std::string name = g_NameTable.GetName(nameId);
        return archive->SerializeDword(&length) && archive->SerializeString(name) &&
                       WriteKeys(archive, kRotationKeyWords, rotationKeys) &&
                       WriteKeys(archive, kVectorKeyWords, positionKeys) &&
                       WriteKeys(archive, kVectorKeyWords, scaleKeys) &&
                       WriteKeys(archive, kMatrixKeyWords, matrixKeys)
                   ? 1
                   : 0;
    }
    float storedLength = 0.0f;
    char name[kMaxTrackNameLength + 1];
    KeyTrack read;
    if (!archive->SerializeDword(&storedLength) || !archive->SerializeCString(name, sizeof name) ||
        !ReadKeys(archive, kRotationKeyWords, &read.rotationKeys) ||
        !ReadKeys(archive, kVectorKeyWords, &read.positionKeys) ||
        !ReadKeys(archive, kVectorKeyWords, &read.scaleKeys) ||
        !ReadKeys(archive, kMatrixKeyWords, &read.matrixKeys)) {
        return 0;
    }
    length = storedLength;
    nameId = g_NameTable.FindOrAdd(name);
    rotationKeys.insert(rotationKeys.end(), read.rotationKeys.begin(), read.rotationKeys.end());
    positionKeys.insert(positionKeys.end(), read.positionKeys.begin(), read.positionKeys.end());
    scaleKeys.insert(scaleKeys.end(), read.scaleKeys.begin(), read.scaleKeys.end());
    matrixKeys.insert(matrixKeys.end(), read.matrixKeys.begin(), read.matrixKeys.end());
    KeyTrack_ComputeInterpolation(this);
    return 1;
}

KeyTrack* KeyTrack_Read(CQVArchive* archive, uint32_t mode, uint32_t version) {
    KeyTrack* track = new KeyTrack;
    if (track->Serialize(archive, mode, version)) return track;
    delete track;
    return nullptr;
}

KeyTrack* KeyTrack_Copy(const KeyTrack* track) { return track != nullptr ? new KeyTrack(*track) : nullptr; }

KeyTrack* KeyTrack_FindById(const MotionTracks& tracks, uint32_t nameId) {
    for (KeyTrack* track : tracks) {
        if (track->nameId == nameId) return track;
    }
    return nullptr;
}

void KeyTrack_FreeAll(MotionTracks* tracks) {
    for (KeyTrack* track : *tracks) delete track;
    tracks->clear();
}

void KeyTrack_ComputeInterpolation(KeyTrack* track) {
    const bool interpolates = !track->rotationKeys.empty();
    FlagKeys(&track->rotationKeys, interpolates);
    FlagKeys(&track->positionKeys, interpolates);
    FlagKeys(&track->scaleKeys, interpolates);
}

Quaternion* KeyTrack_EvalRotation(Quaternion* out, const KeyTrack* track, float time) {
    if (track->rotationKeys.empty()) return Quat_Identity(out);
    const std::vector<RotationKey>& keys = track->rotationKeys;
    float f;
    const size_t i = ChooseKey(keys, time, &f);
    if (f > 0.0f) return Quat_Slerp(out, keys[i].rotation, keys[i + 1].rotation, f);
    *out = keys[i].rotation;
    return out;
}

Vector3* KeyTrack_EvalPosition(Vector3* out, const KeyTrack* track, float time) {
    return EvalVector(out, track->positionKeys, time, Vector3(0.0f, 0.0f, 0.0f));
}

Vector3* KeyTrack_EvalScale(Vector3* out, const KeyTrack* track, float time) {
    return EvalVector(out, track->scaleKeys, time, Vector3(1.0f, 1.0f, 1.0f));
}

const char* KeyTrack_GetName(const KeyTrack* track) {
    return track != nullptr ? g_NameTable.GetName(track->nameId) : "";
}
