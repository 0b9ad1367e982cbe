#include "DeviceFixture.h"

#include <cstdlib>

PlatformGraphicsSystem* DeviceTest::s_System = nullptr;
PlatformDevice* DeviceTest::s_Device = nullptr;
HWND DeviceTest::s_Window = nullptr;
bool DeviceTest::s_Direct = true;

namespace {
LRESULT NoProcedure(HWND, uint32_t, WPARAM, LPARAM) { return 0; }
}  // namespace

void DeviceTest::SetUpTestSuite() {
    if (s_Device) return;
    std::string error;
    s_System = PlatformGraphicsSystem::Create(&error);
    ASSERT_NE(s_System, nullptr) << error;
    ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"DeviceTest", NoProcedure}));
    s_Window = Platform_CreateWindow("DeviceTest", "DeviceTest", 0, 0, kWidth, kHeight);
    ASSERT_NE(s_Window, nullptr) << Platform_GetError();
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    parameters.EnableAutoDepthStencil = 1;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    ASSERT_EQ(s_System->CreateDevice(0, D3DDEVTYPE_HAL, s_Window, 0x24, &parameters, &s_Device), D3D_OK)
        << s_System->GetLastError();
    EXPECT_EQ(parameters.BackBufferWidth, static_cast<uint32_t>(kWidth));
    EXPECT_EQ(parameters.BackBufferHeight, static_cast<uint32_t>(kHeight));
    // The window can hold the back buffer; the second run of every test
    // draws into the device's own.
    s_Direct = std::getenv("QV_DEVICE_OWN_BACK_BUFFER") == nullptr;
    s_Device->SetDirectPresent(s_Direct);
    EXPECT_EQ(s_Device->IsPresentingDirectly(), s_Direct);
}

void DeviceTest::TearDownTestSuite() {}

void DeviceTest::SetUp() {
    ASSERT_NE(s_Device, nullptr);
    D3DPRESENT_PARAMETERS parameters = s_Device->GetPresentParameters();
    ASSERT_EQ(s_Device->Reset(&parameters), D3D_OK);
    s_Device->SetDirectPresent(s_Direct);
    s_Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
}

std::vector<uint32_t> DeviceTest::Pixels() {
    std::vector<uint32_t> pixels;
    EXPECT_TRUE(s_Device->ReadBackBuffer(&pixels));
    return pixels;
}

uint32_t DeviceTest::Pixel(int x, int y) { return Pixels()[static_cast<size_t>(y) * kWidth + x]; }

void DeviceTest::DrawScreenQuad(float x0, float y0, float x1, float y1, float z, D3DCOLOR color) {
    const ScreenVertex quad[4] = {{x0, y0, z, 1.0f, color, 0, 0},
                                  {x1, y0, z, 1.0f, color, 1, 0},
                                  {x0, y1, z, 1.0f, color, 0, 1},
                                  {x1, y1, z, 1.0f, color, 1, 1}};
    s_Device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(s_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
}
