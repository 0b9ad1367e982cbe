#include "tools/content/MotBuild.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kWalkKeys = 17;  // one every 1/16 s, the last equal to the first

float Radians(float degrees) { return degrees * kPi / 180.0f; }

// How a bone turns over the stride: about an axis, by amplitude x sin(phase
// + 2 pi t) plus a fixed angle, with the fixed angle about a second axis
// first (the arms come down from the bind pose's spread).
struct BoneSwing {
    const char* name;
    Vector3 axis;
    float amplitude, phase, bias;  // degrees, radians, degrees
    Vector3 restAxis;
    float restAngle;  // degrees
};

const Vector3 kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

// Positive angles about X swing a hanging limb backwards (the figure faces +z).
const BoneSwing kSwings[] = {
    {"L_Thigh", kX, 28, 0.0f, 0, kX, 0},
    {"R_Thigh", kX, 28, kPi, 0, kX, 0},
    {"L_Calf", kX, 22, 0.5f * kPi, 22, kX, 0},
    {"R_Calf", kX, 22, 1.5f * kPi, 22, kX, 0},
    {"L_Foot", kX, 10, 0.0f, 0, kX, 0},
    {"R_Foot", kX, 10, kPi, 0, kX, 0},
    {"L_UpperArm", kX, 20, kPi, 0, kZ, 75},
    {"R_UpperArm", kX, 20, 0.0f, 0, kZ, -75},
    {"L_Forearm", kX, 10, kPi, -15, kX, 0},
    {"R_Forearm", kX, 10, 0.0f, -15, kX, 0},
    {"Spine1", kY, 6, 0.0f, 0, kY, 0},
    {"Neck", kY, 6, kPi, 0, kY, 0},
};

const BoneSwing* SwingOf(const std::string& name) {
    for (const BoneSwing& swing : kSwings) {
        if (name == swing.name) return &swing;
    }
    return nullptr;
}

Vector3 Translation(const Matrix& m) { return Vector3(m.m[3][0], m.m[3][1], m.m[3][2]); }

}  // namespace

MotFile MotBuild_Walk(const std::vector<QvmBone>& bones) {
    MotFile file;
    file.rootDisplacement = {0.0f, 0.0f, kWalkStride};
    for (const QvmBone& bone : bones) {
        // The offset moves the joint to the origin, so the joint is minus its translation.
        Vector3 joint = Translation(bone.offset) * -1.0f;
        if (bone.parent >= 0 && static_cast<size_t>(bone.parent) < bones.size()) {
            joint += Translation(bones[static_cast<size_t>(bone.parent)].offset);
        }
        KeyTrack* track = MotWriter_AddTrack(&file, bone.name.c_str(), kWalkLength);
        const BoneSwing* swing = SwingOf(bone.name);
        const bool isRoot = bone.parent < 0;
        for (int k = 0; k < kWalkKeys; ++k) {
            const float t = kWalkLength * static_cast<float>(k) / static_cast<float>(kWalkKeys - 1);
            const float cycle = 2.0f * kPi * t / kWalkLength;
            Quaternion rotation{0, 0, 0, 1};
            if (swing != nullptr) {
                Quaternion rest, turn;
                Quat_FromAxisAngle(&rest, swing->restAxis, Radians(swing->restAngle));
                Quat_FromAxisAngle(&turn, swing->axis,
                                   Radians(swing->bias + swing->amplitude * std::sin(cycle + swing->phase)));
                Quat_Multiply(&rotation, rest, turn);
            }
            Vector3 position = joint;
            if (isRoot) position.y += 2.0f * std::sin(2.0f * cycle);
            track->rotationKeys.push_back({rotation, t, 0});
            if (isRoot || k == 0) track->positionKeys.push_back({position, t, 0});
            if (swing == nullptr && !isRoot) break;  // a still bone needs one key
        }
        KeyTrack_ComputeInterpolation(track);
    }
    return file;
}
