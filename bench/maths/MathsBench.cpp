// The maths routines against the same arithmetic written inline in the loop:
// actor transforms, skinning and collision run these products in bulk, so a
// call must cost no more than the arithmetic itself.

#include "kernel/base/Maths.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kCount = 1024;

struct Data {
    std::vector<Vector3> vectors, others, out;
    std::vector<Matrix> matrices, matrixOut;
    std::vector<Quaternion> quats, otherQuats, quatOut;
    Matrix transform;

    Data()
        : vectors(kCount), others(kCount), out(kCount), matrices(kCount), matrixOut(kCount), quats(kCount),
          otherQuats(kCount), quatOut(kCount) {
        for (int i = 0; i < kCount; ++i) {
            const float f = static_cast<float>(i);
            vectors[i] = Vector3(std::sin(f), std::cos(f * 0.7f), f * 0.01f);
            others[i] = Vector3(std::cos(f * 1.3f), f * 0.02f, std::sin(f * 0.3f));
            Mat4_RotationYawPitchRoll(&matrices[i], f * 0.1f, f * 0.2f, f * 0.3f);
            matrices[i].m[3][0] = f;
            Quat_FromYawPitchRoll(&quats[i], f * 0.3f, f * 0.1f, f * 0.2f);
            Quat_FromYawPitchRoll(&otherQuats[i], f * 0.5f, f * 0.4f, f * 0.7f);
        }
        Mat4_RotationYawPitchRoll(&transform, 0.3f, 0.2f, 0.1f);
        transform.m[3][1] = 5.0f;
    }
};

Data& Inputs() {
    static Data data;
    return data;
}

// Runs body(i) over every element; the body is inlined either way, so the
// loop costs the same for the call and the inline arithmetic.
template <typename Body>
void RunOverAll(benchmark::State& state, void* out, Body body) {
    for (auto _ : state) {
        for (int i = 0; i < kCount; ++i) body(i);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}

void BM_TransformPoint_Call(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.out.data(), [&](int i) { Vec3_TransformPoint(&d.out[i], d.vectors[i], d.transform); });
}

void BM_TransformPoint_Inline(benchmark::State& state) {
    Data& d = Inputs();
    const Matrix& m = d.transform;
    RunOverAll(state, d.out.data(), [&](int i) {
        const Vector3& v = d.vectors[i];
        const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0];
        const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1];
        const float z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2];
        d.out[i] = Vector3(x, y, z);
    });
}

void BM_Cross_Call(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.out.data(), [&](int i) { Vec3_Cross(&d.out[i], d.vectors[i], d.others[i]); });
}

void BM_Cross_Inline(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.out.data(), [&](int i) {
        const Vector3& a = d.vectors[i];
        const Vector3& b = d.others[i];
        d.out[i] = Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    });
}

void BM_MatrixMultiply_Call(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.matrixOut.data(),
               [&](int i) { Mat4_Multiply(&d.matrixOut[i], d.matrices[i], d.transform); });
}

void BM_MatrixMultiply_Inline(benchmark::State& state) {
    Data& d = Inputs();
    const Matrix& b = d.transform;
    RunOverAll(state, d.matrixOut.data(), [&](int i) {
        const Matrix& a = d.matrices[i];
        Matrix r;
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 4; ++col) {
                r.m[row][col] = a.m[row][0] * b.m[0][col] + a.m[row][1] * b.m[1][col] + a.m[row][2] * b.m[2][col] +
                                a.m[row][3] * b.m[3][col];
            }
        }
        d.matrixOut[i] = r;
    });
}

void BM_QuatMultiply_Call(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.quatOut.data(), [&](int i) { Quat_Multiply(&d.quatOut[i], d.quats[i], d.otherQuats[i]); });
}

void BM_QuatMultiply_Inline(benchmark::State& state) {
    Data& d = Inputs();
    RunOverAll(state, d.quatOut.data(), [&](int i) {
        const Quaternion& a = d.quats[i];
        const Quaternion& b = d.otherQuats[i];
        d.quatOut[i] = Quaternion{a.x * b.w + a.w * b.x + a.z * b.y - a.y * b.z,
                                  a.y * b.w + a.w * b.y + a.x * b.z - a.z * b.x,
                                  a.z * b.w + a.w * b.z + a.y * b.x - a.x * b.y,
                                  a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
    });
}

BENCHMARK(BM_TransformPoint_Call);
BENCHMARK(BM_TransformPoint_Inline);
BENCHMARK(BM_Cross_Call);
BENCHMARK(BM_Cross_Inline);
BENCHMARK(BM_MatrixMultiply_Call);
BENCHMARK(BM_MatrixMultiply_Inline);
BENCHMARK(BM_QuatMultiply_Call);
BENCHMARK(BM_QuatMultiply_Inline);

}  // namespace

BENCHMARK_MAIN();
