#pragma once
// One hidden window with a windowed device for every pixel test of the
// binary; each test starts from the device's default state.

#include "platform/Window.h"
#include "platform/graphics/GraphicsDevice.h"

#include <gtest/gtest.h>

#include <vector>

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr uint32_t kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class DeviceTest : public testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    static PlatformGraphicsSystem* s_System;
    static PlatformDevice* s_Device;
    static HWND s_Window;
    static bool s_Direct;  // the window holds the back buffer

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    PlatformDevice* device() { return s_Device; }
    // ARGB of one back-buffer pixel (x right, y down).
    uint32_t Pixel(int x, int y);
    std::vector<uint32_t> Pixels();
    // A rectangle of pre-transformed vertices from (x0, y0) to (x1, y1) as a strip.
    void DrawScreenQuad(float x0, float y0, float x1, float y1, float z, D3DCOLOR color);
};
