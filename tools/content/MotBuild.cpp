#include "tools/content/MotBuild.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;

float Radians(float degrees) { return degrees * kPi / 180.0f; }

// The shape of a change over a motion, s running from 0 to 1 over its length.
enum class Wave {
    Cycle,  // sin(2 pi s + phase): one swing back and forth per length
    Hump,   // sin(pi s): out and back once
    Fall,   // s squared: slow, then faster, to the end
};

float WaveAt(Wave wave, float s, float phase) {
    switch (wave) {
    case Wave::Cycle: return std::sin(2.0f * kPi * s + phase);
    case Wave::Hump: return std::sin(kPi * s);
    case Wave::Fall: return s * s;
    }
    return 0.0f;
}

// How a bone turns over a motion: about an axis by bias + amplitude x the
// wave, after a fixed angle about a second axis (the arms come down from
// the bind pose's spread).
struct BoneSwing {
    const char* name;
    Vector3 axis;
    float amplitude, phase, bias;  // degrees, radians, degrees
    Vector3 restAxis;
    float restAngle;  // degrees
    Wave wave = Wave::Cycle;
};

// The figure faces -z with its left side at +x, so its right side lies
// along -x and its front along -z: turns are given about the figure's own
// axes, the same whichever way the mesh is laid out.
const Vector3 kX{-1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, -1};

struct MotionRecipe {
    float length;
    int keys;  // evenly spaced, the last at the end
    Vector3 rootDisplacement;
    std::vector<BoneSwing> swings;
    // The root: a bob of this height twice per length, a lift by the wave,
    // and a turn about x by the wave.
    float bob = 0.0f;
    float lift = 0.0f;
    float pitch = 0.0f;  // degrees
    Wave rootWave = Wave::Hump;
    bool hold = false;  // every key shows the end of the waves (a pose held)
};

// Positive angles about X (the figure's right side) swing a hanging limb
// backwards and lean an upright one forward; the root moves along -z.
const MotionRecipe kWalk{
    kWalkLength,
    17,
    {0.0f, 0.0f, -kWalkStride},
    {
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
    },
    2.0f,
};

const MotionRecipe kIdle{
    2.0f,
    17,
    {0.0f, 0.0f, 0.0f},
    {
        {"L_UpperArm", kX, 3, kPi, 0, kZ, 78},
        {"R_UpperArm", kX, 3, 0.0f, 0, kZ, -78},
        {"L_Forearm", kX, 2, 0.0f, -10, kX, 0},
        {"R_Forearm", kX, 2, kPi, -10, kX, 0},
        {"Spine2", kX, 2, 0.0f, 0, kX, 0},
        {"Head", kY, 8, 0.0f, 0, kY, 0},
    },
    0.6f,
};

const MotionRecipe kRun{
    kRunLength,
    13,
    {0.0f, 0.0f, -kRunSpeed * kRunLength},
    {
        {"L_Thigh", kX, 45, 0.0f, -10, kX, 0},
        {"R_Thigh", kX, 45, kPi, -10, kX, 0},
        {"L_Calf", kX, 40, 0.5f * kPi, 50, kX, 0},
        {"R_Calf", kX, 40, 1.5f * kPi, 50, kX, 0},
        {"L_Foot", kX, 15, 0.0f, 0, kX, 0},
        {"R_Foot", kX, 15, kPi, 0, kX, 0},
        {"L_UpperArm", kX, 40, kPi, 0, kZ, 70},
        {"R_UpperArm", kX, 40, 0.0f, 0, kZ, -70},
        {"L_Forearm", kX, 15, kPi, -70, kX, 0},
        {"R_Forearm", kX, 15, 0.0f, -70, kX, 0},
        {"Spine1", kX, 0, 0.0f, 12, kX, 0},
        {"Spine2", kY, 8, 0.0f, 0, kY, 0},
    },
    4.0f,
};

const MotionRecipe kJump{
    0.9f,
    13,
    {0.0f, 0.0f, 0.0f},
    {
        {"L_Thigh", kX, -50, 0.0f, 0, kX, 0, Wave::Hump},
        {"R_Thigh", kX, -50, 0.0f, 0, kX, 0, Wave::Hump},
        {"L_Calf", kX, 80, 0.0f, 0, kX, 0, Wave::Hump},
        {"R_Calf", kX, 80, 0.0f, 0, kX, 0, Wave::Hump},
        {"L_UpperArm", kX, -60, 0.0f, 0, kZ, 75, Wave::Hump},
        {"R_UpperArm", kX, -60, 0.0f, 0, kZ, -75, Wave::Hump},
        {"Spine1", kX, 10, 0.0f, 0, kX, 0, Wave::Hump},
    },
    0.0f,
    45.0f,
};

// Falling onto the back: the root turns a quarter about x and comes down
// to lie at the floor, arms flung up, head back, knees bent a little.
const std::vector<BoneSwing> kFallSwings{
    {"L_UpperArm", kX, -50, 0.0f, 0, kZ, 75, Wave::Fall},
    {"R_UpperArm", kX, -50, 0.0f, 0, kZ, -75, Wave::Fall},
    {"Head", kX, -20, 0.0f, 0, kX, 0, Wave::Fall},
    {"L_Thigh", kX, -20, 0.0f, 0, kX, 0, Wave::Fall},
    {"R_Thigh", kX, -20, 0.0f, 0, kX, 0, Wave::Fall},
    {"L_Calf", kX, 30, 0.0f, 0, kX, 0, Wave::Fall},
    {"R_Calf", kX, 30, 0.0f, 0, kX, 0, Wave::Fall},
};

const MotionRecipe kDie{1.2f, 13, {0.0f, 0.0f, 0.0f}, kFallSwings, 0.0f, -80.0f, -90.0f, Wave::Fall};
const MotionRecipe kDead{1.0f, 2, {0.0f, 0.0f, 0.0f}, kFallSwings, 0.0f, -80.0f, -90.0f, Wave::Fall, true};

const BoneSwing* SwingOf(const MotionRecipe& recipe, const std::string& name) {
    for (const BoneSwing& swing : recipe.swings) {
        if (name == swing.name) return &swing;
    }
    return nullptr;
}

Vector3 Translation(const Matrix& m) { return Vector3(m.m[3][0], m.m[3][1], m.m[3][2]); }

// The bone's joint relative to its parent's at the bind pose: the offset
// moves the joint to the origin, so the joint is minus its translation.
Vector3 JointOf(const std::vector<QvmBone>& bones, const QvmBone& bone) {
    Vector3 joint = Translation(bone.offset) * -1.0f;
    if (bone.parent >= 0 && static_cast<size_t>(bone.parent) < bones.size())
        joint += Translation(bones[static_cast<size_t>(bone.parent)].offset);
    return joint;
}

struct BonePose {
    Quaternion rotation;
    Vector3 position;
};

BonePose PoseAt(const MotionRecipe& recipe, const QvmBone& bone, const Vector3& joint, float t) {
    const float s = recipe.hold ? 1.0f : t / recipe.length;
    BonePose pose{{0, 0, 0, 1}, joint};
    if (const BoneSwing* swing = SwingOf(recipe, bone.name)) {
        Quaternion rest, turn;
        Quat_FromAxisAngle(&rest, swing->restAxis, Radians(swing->restAngle));
        Quat_FromAxisAngle(&turn, swing->axis,
                           Radians(swing->bias + swing->amplitude * WaveAt(swing->wave, s, swing->phase)));
        Quat_Multiply(&pose.rotation, rest, turn);
    }
    if (bone.parent < 0) {
        const float wave = WaveAt(recipe.rootWave, s, 0.0f);
        pose.position.y += recipe.bob * std::sin(4.0f * kPi * s) + recipe.lift * wave;
        if (recipe.pitch != 0.0f) {
            Quaternion pitch;
            Quat_FromAxisAngle(&pitch, kX, Radians(recipe.pitch * wave));
            Quat_Multiply(&pose.rotation, pose.rotation, pitch);
        }
    }
    return pose;
}

bool Moves(const MotionRecipe& recipe, const QvmBone& bone) {
    return bone.parent < 0 || SwingOf(recipe, bone.name) != nullptr;
}

MotFile Build(const std::vector<QvmBone>& bones, const MotionRecipe& recipe) {
    MotFile file;
    file.rootDisplacement = recipe.rootDisplacement;
    for (const QvmBone& bone : bones) {
        const Vector3 joint = JointOf(bones, bone);
        KeyTrack* track = MotWriter_AddTrack(&file, bone.name.c_str(), recipe.length);
        const bool moves = Moves(recipe, bone);
        for (int k = 0; k < recipe.keys; ++k) {
            const float t = recipe.length * static_cast<float>(k) / static_cast<float>(recipe.keys - 1);
            const BonePose pose = PoseAt(recipe, bone, joint, t);
            track->rotationKeys.push_back({pose.rotation, t, 0});
            if (bone.parent < 0 || k == 0) track->positionKeys.push_back({pose.position, t, 0});
            if (!moves) break;  // a still bone needs one key
        }
        KeyTrack_ComputeInterpolation(track);
    }
    return file;
}

// From the first pose of one motion to the first of another, over a length.
MotFile BuildTransition(const std::vector<QvmBone>& bones, const MotionRecipe& from, const MotionRecipe& to,
                        float length, int keys) {
    MotFile file;
    for (const QvmBone& bone : bones) {
        const Vector3 joint = JointOf(bones, bone);
        const BonePose a = PoseAt(from, bone, joint, 0.0f), b = PoseAt(to, bone, joint, 0.0f);
        KeyTrack* track = MotWriter_AddTrack(&file, bone.name.c_str(), length);
        for (int k = 0; k < keys; ++k) {
            const float f = static_cast<float>(k) / static_cast<float>(keys - 1);
            Quaternion rotation;
            Quat_Slerp(&rotation, a.rotation, b.rotation, f);
            track->rotationKeys.push_back({rotation, length * f, 0});
            track->positionKeys.push_back({a.position + (b.position - a.position) * f, length * f, 0});
        }
        KeyTrack_ComputeInterpolation(track);
    }
    return file;
}

}  // namespace

MotFile MotBuild_Walk(const std::vector<QvmBone>& bones) { return Build(bones, kWalk); }

std::vector<NamedMotion> MotBuild_FigureMotions(const std::vector<QvmBone>& bones) {
    std::vector<NamedMotion> motions;
    motions.push_back({"N_Neutral", Build(bones, kIdle)});
    motions.push_back({"N_Forward", Build(bones, kWalk)});
    motions.push_back({"R_Forward", Build(bones, kRun)});
    motions.push_back({"J_Neutral", Build(bones, kJump)});
    motions.push_back({"N_Die0", Build(bones, kDie)});
    motions.push_back({"N_Dead0", Build(bones, kDead)});
    motions.push_back({"N_Neutral_2_N_Forward", BuildTransition(bones, kIdle, kWalk, 0.25f, 5)});
    // A jump out of a walk: the same leap; the body keeps its speed through the air.
    motions.push_back({"J_Forward", Build(bones, kJump)});
    return motions;
}
