#include "actors/scene/MatrixAnimation.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVMatrixAnimation::CQVMatrixAnimation() { m_ClassType = CLASS_MATRIX_ANIMATION; }

void CQVMatrixAnimation::RegisterProperties() {
    g_ClassRecords[CLASS_MATRIX_ANIMATION].Define("Matrix Animation", "Matrix Animation", {CLASS_BASE, CLASS_MATRIX_ANIMATION});
}
