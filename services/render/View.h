#pragma once
// Transforms on the device and the projection of world points to the
// screen. The camera itself (position, rotation, view, projection, culling
// frames and fog) is the render service's view (Render.h, View.cpp).

#include "kernel/base/Maths.h"

#include <cstdint>

void Graphics_SetWorldMatrix(const Matrix& world);
void Camera_SetViewMatrix(const Matrix& view);
void Camera_GetViewMatrix(Matrix* view);
// Replaces a world point by its screen position: x and y in pixels of the
// current viewport, z in its depth range.
void Camera_ProjectToScreen(Vector3* point);
uint32_t Graphics_GetViewportWidth();
uint32_t Graphics_GetViewportHeight();
