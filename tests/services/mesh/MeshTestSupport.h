#pragma once
// The engine with a small windowed device for every mesh test of the binary,
// and a fresh temporary folder per test for the files the tools write.

#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/mesh/Mesh.h"
#include "tests/kernel/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

class MeshDeviceTest : public TempFolderTest {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(CQVEngine::Create(), 1);
        if (CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
        Platform_RegisterClass(PlatformWindowClass{"MeshTest", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
        HWND window = Platform_CreateWindow("MeshTest", "MeshTest", 0, 0, 64, 48);
        ASSERT_EQ(CQVEngine::GetInstance()->Init(64, 48, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND, window), 1)
            << CQVEngine::GetInstance()->GetErrorText();
    }
    void SetUp() override {
        TempFolderTest::SetUp();
        CQVEngine::SetError("%s", "");
    }
    static const char* ErrorText() { return CQVEngine::GetInstance()->GetErrorText(); }
    static PlatformDevice* Device() { return CQVGraphics::GetInstance()->GetDevice(); }
};

// The bytes a buffer holds (its CPU copy).
inline std::vector<uint8_t> BufferBytes(PlatformBuffer* buffer) {
    return buffer != nullptr ? buffer->bytes : std::vector<uint8_t>{};
}

template <typename T>
std::vector<uint8_t> AsBytes(const std::vector<T>& values) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(values.data());
    return std::vector<uint8_t>(p, p + values.size() * sizeof(T));
}
