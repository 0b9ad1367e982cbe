#include "fuzz/files/FuzzDevice.h"

#include "fuzz/files/FuzzCheck.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"

#include <cstdlib>

void Fuzz_StartDevice() {
    if (CQVGraphics::GetInstance() != nullptr && CQVGraphics::GetInstance()->GetDevice() != nullptr) return;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    Check(CQVEngine::Create() == 1);
    Platform_RegisterClass(PlatformWindowClass{"FuzzDevice", [](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; }});
    HWND window = Platform_CreateWindow("FuzzDevice", "FuzzDevice", 0, 0, kFuzzDeviceSide, kFuzzDeviceSide);
    Check(CQVEngine::GetInstance()->Init(kFuzzDeviceSide, kFuzzDeviceSide, 32, 32, ENGINE_WINDOWED | ENGINE_NO_SOUND,
                                         window) == 1);
}
