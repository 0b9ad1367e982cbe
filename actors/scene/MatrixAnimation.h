#pragma once
// A procedural transform animation: moves, turns and scales its own actor
// every drawn frame from a base position, a constant spin and layers of
// sine waves and smooth noise; the children follow through the tree.

#include "kernel/actors/Actor.h"

#include <cstdint>
#include <vector>

// One animated quantity of a layer, each value three floats for x, y and z.
struct MatrixAnimTerm {
    Vector3 sinOffset{0.0f, 0.0f, 0.0f};     // phase, radians
    Vector3 sinMul{0.0f, 0.0f, 0.0f};        // amplitude
    Vector3 sinFreq{1.0f, 1.0f, 1.0f};       // radians per second of animation time
    Vector3 noiseMul{0.0f, 0.0f, 0.0f};      // amplitude
    Vector3 noiseFreq{1.0f, 1.0f, 1.0f};     // noise coordinate per second
};

// Which terms a layer adds, in this order.
enum : uint32_t {
    MATRIX_ANIM_POSITION_SINE,
    MATRIX_ANIM_POSITION_NOISE,
    MATRIX_ANIM_ROTATION_SINE,
    MATRIX_ANIM_ROTATION_NOISE,
    MATRIX_ANIM_SCALE_SINE,
    MATRIX_ANIM_SCALE_NOISE,
    MATRIX_ANIM_TERM_COUNT,
};

struct MatrixAnimLayer {
    MatrixAnimTerm position;
    MatrixAnimTerm rotation;
    MatrixAnimTerm scale;
    uint32_t enabled[MATRIX_ANIM_TERM_COUNT] = {1, 1, 1, 1, 1, 1};
};
static_assert(sizeof(MatrixAnimLayer) == 51 * 4);

// m_AnimFlags bits.
constexpr uint32_t MATRIX_ANIM_DIR_BY_MOV = 0x1;
constexpr uint32_t MATRIX_ANIM_DIR_BY_WS_MOV = 0x2;
constexpr uint32_t MATRIX_ANIM_STORED_ON = 0x4;  // the on-state as older files kept it

// Layers a record may hold; a count above it marks a damaged file.
constexpr uint32_t kMatrixAnimMaxLayers = 1024;

class CQVMatrixAnimation : public CQVActor {
public:
    CQVMatrixAnimation();

    int HandleMessage(uint32_t id, MessageArgs args) override;
    int Serialize(CQVActorArchive* archive, uint32_t flags) override;
    void Process() override { ProcessDefault(); }
    void Update() override;
    static void RegisterProperties();

    bool IsOn() const { return (m_Activity & ACTIVITY_ENABLED) != 0; }
    // The transform at animation time t.
    void Evaluate(float t, Vector3* position, Quaternion* rotation, Vector3* scale) const;
    // The layer the term rows edit; null when none is selected.
    MatrixAnimLayer* CurrentLayer();

    Vector3 m_BasePosition{0.0f, 0.0f, 0.0f};
    Vector3 m_Spin{0.0f, 0.0f, 0.0f};  // radians per second about x, y and z
    float m_Speed = 1.0f;
    uint32_t m_AnimFlags = 0;
    std::vector<MatrixAnimLayer> m_Layers;
    int32_t m_CurrentLayer = -1;
    float m_AnimTime = 0.0f;

private:
    void OnInitLoad();
};
