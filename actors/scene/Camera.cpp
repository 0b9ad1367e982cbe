#include "actors/scene/Camera.h"

#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/Registries.h"

CQVCamera::CQVCamera() { m_ClassType = CLASS_CAMERA; }

void CQVCamera::RegisterProperties() {
    g_ClassRecords[CLASS_CAMERA].Define("Camera", "", {CLASS_BASE, CLASS_CAMERA});
}
