#include "apps/game/FrameLoop.h"
#include "apps/game/GameMain.h"
#include "kernel/base/TextTable.h"
#include "platform/Window.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/input/Input.h"
#include "services/render/Render.h"
#include "tests/support/ResetGlobals.h"
#include "tools/fixtures/EmptyActorFile.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

// Drains the queue and returns the messages in order.
std::vector<WindowMessage> TakeMessages() {
    std::vector<WindowMessage> messages;
    WindowMessage m;
    while (Platform_PeekMessage(&m, true)) messages.push_back(m);
    return messages;
}

class WindowProcedure : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        TakeMessages();
    }
    // The keys the procedure passed to input, and the window's active state.
    void TearDown() override { ResetGlobals(); }
};

TEST_F(WindowProcedure, SystemCommandsThatMoveOrSizeAreSwallowed) {
    for (uint32_t command : {SC_SIZE, SC_MOVE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER}) {
        EXPECT_EQ(QVEngineWindowProc(nullptr, WM_SYSCOMMAND, command, 0), 1) << std::hex << command;
    }
    // The whole wParam is compared: a masked variant passes on.
    EXPECT_EQ(QVEngineWindowProc(nullptr, WM_SYSCOMMAND, SC_MOVE | 2, 0), 0);
    EXPECT_EQ(QVEngineWindowProc(nullptr, WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
}

TEST_F(WindowProcedure, EveryMessageReachesInputFirst) {
    Input_Init(nullptr, nullptr);
    QVEngineWindowProc(nullptr, WM_KEYDOWN, 'Q', 0x00100001);
    QVEngineWindowProc(nullptr, WM_SYSKEYDOWN, 0x12, 0x01380001);  // right Alt
    Input_Update(0.01f);
    EXPECT_TRUE(Input_WasKeyPressed('Q'));
    EXPECT_TRUE(Input_WasKeyPressed(QVI_RALT));
}

TEST_F(WindowProcedure, ActivationAndDestroy) {
    QVEngineWindowProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(g_WindowActive, 0u);
    QVEngineWindowProc(nullptr, WM_ACTIVATE, WA_CLICKACTIVE | (1u << 16), 0);
    EXPECT_EQ(g_WindowActive, 1u);

    EXPECT_EQ(QVEngineWindowProc(nullptr, WM_DESTROY, 0, 0), 0);
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, static_cast<uint32_t>(WM_QUIT));
    EXPECT_EQ(messages[0].wParam, 0u);
}

TEST_F(WindowProcedure, PumpTurnsEventsIntoWindowMessages) {
    ASSERT_TRUE(Platform_RegisterClass(PlatformWindowClass{"PumpTest", QVEngineWindowProc}));
    HWND window = Platform_CreateWindow("PumpTest", "PumpTest", 0, 0, 320, 200);
    ASSERT_NE(window, nullptr) << Platform_GetError();
    TakeMessages();

    auto pushKey = [](SDL_Scancode code, bool down, Uint16 mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    };
    pushKey(SDL_SCANCODE_W, true);
    pushKey(SDL_SCANCODE_W, true);  // held: previous-state bit set
    pushKey(SDL_SCANCODE_W, false);
    pushKey(SDL_SCANCODE_RCTRL, true);
    pushKey(SDL_SCANCODE_SPACE, true, KMOD_LALT);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    SDL_PushEvent(&wheel);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);

    const auto m = TakeMessages();
    ASSERT_EQ(m.size(), 8u);
    EXPECT_EQ(m[0].message, static_cast<uint32_t>(WM_KEYDOWN));
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>('W'));
    EXPECT_EQ(static_cast<uint32_t>(m[0].lParam), 0x00110001u);
    EXPECT_EQ(static_cast<uint32_t>(m[1].lParam), 0x40110001u);
    EXPECT_EQ(m[2].message, static_cast<uint32_t>(WM_KEYUP));
    EXPECT_EQ(static_cast<uint32_t>(m[2].lParam), 0xC0110001u);
    EXPECT_EQ(m[3].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(static_cast<uint32_t>(m[3].lParam), 0x011D0001u);  // right Ctrl: extended flag
    EXPECT_EQ(m[4].message, static_cast<uint32_t>(WM_SYSKEYDOWN));
    EXPECT_EQ(m[5].message, static_cast<uint32_t>(WM_SYSCOMMAND));
    EXPECT_EQ(m[5].wParam, static_cast<WPARAM>(SC_KEYMENU));
    EXPECT_EQ(m[6].message, static_cast<uint32_t>(WM_MOUSEWHEEL));
    EXPECT_EQ(static_cast<int16_t>(HiWord(m[6].wParam)), -WHEEL_DELTA);
    EXPECT_EQ(m[7].message, static_cast<uint32_t>(WM_CLOSE));
    EXPECT_EQ(m[7].window, window);

    // Closing destroys the window, whose procedure then posts quit 0.
    Platform_DispatchMessage(m[7]);
    const auto after = TakeMessages();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].message, static_cast<uint32_t>(WM_QUIT));
    EXPECT_FALSE(Platform_IsWindowVisible(window));

    // The keys still held go up again, so no later test finds them down.
    pushKey(SDL_SCANCODE_RCTRL, false);
    pushKey(SDL_SCANCODE_SPACE, false);
    TakeMessages();
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_CONTROL) & 0x8000, 0);
    EXPECT_EQ(Platform_GetAsyncKeyState(VK_SPACE) & 0x8000, 0);
}

// A game folder with "init.txt", the text table and empty start content.
void WriteGameFolder(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir / "Data");
    std::FILE* f = std::fopen((dir / "init.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(".\r\nStart.qva\r\n\r\nSample Game\r\n", f);
    std::fclose(f);
    f = std::fopen((dir / "Data" / "text.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("1\r\nSTART_GAME }\r\nStart game }\r\n", f);
    std::fclose(f);
    ASSERT_TRUE(EmptyActorFile_WriteStartContent(dir));
}

// The whole game in this process: start-up from a working folder, frames
// until the platform is asked to quit.
TEST(GameMain, RunsFramesWithTitleUntilQuit) {
    const auto oldDir = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_game_" + std::to_string(::getpid()));
    ASSERT_NO_FATAL_FAILURE(WriteGameFolder(dir));
    std::filesystem::current_path(dir);

    const uint32_t firstFrame = g_FrameNumber;
    std::atomic<bool> stop{false};
    std::thread quitter([&] {
        for (int i = 0; i < 3000 && !stop; ++i) {
            if (g_FrameNumber >= firstFrame + 5) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=800 -h=600 -tf=1 -lt=1 -tq=16", 1);
    stop = true;
    quitter.join();
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(dir);

    EXPECT_EQ(result, 0);
    EXPECT_FALSE(App_StartupFailed());
    EXPECT_GE(g_FrameNumber, firstFrame + 5);
    ASSERT_NE(g_MainWindow, nullptr);
    EXPECT_EQ(Platform_GetWindowText(g_MainWindow), "Sample Game");
    ASSERT_NE(CQVTextTable::GetInstance(), nullptr);
    EXPECT_EQ(CQVTextTable::GetInstance()->GetText("START_GAME"), "Start game");
    // Input started with the default bindings.
    EXPECT_EQ(Input_GetBinding(QVDI_BUTTONFORWARD, 0), QVI_UP);
    EXPECT_EQ(Input_GetBinding(QVDI_BUTTONFORWARD, 1), static_cast<uint32_t>('W'));
    EXPECT_GT(g_FrameTime, 0.0f);
    EXPECT_LE(g_FrameTime, 0.06f);

    // The engine opened an 800 x 600 device in the window's client area and
    // presented the two black frames of the start-up (the window is gone by
    // now, so its pixels are no longer there to read).
    PlatformDevice* device = CQVGraphics::GetInstance()->GetDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetPresentParameters().BackBufferWidth, 800u);
    EXPECT_EQ(device->GetPresentParameters().BackBufferHeight, 600u);
    EXPECT_TRUE(device->GetPresentParameters().Windowed);
    EXPECT_GE(device->GetPresentCount(), 2u);
    // Options: trilinear filtering on every stage, no dithering at 32 bits,
    // 16-bit textures at half size, and the game's view planes.
    uint32_t value = 0;
    device->GetTextureStageState(7, D3DTSS_MIPFILTER, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTEXF_LINEAR));
    device->GetTextureStageState(7, D3DTSS_MINFILTER, &value);
    EXPECT_EQ(value, static_cast<uint32_t>(D3DTEXF_LINEAR));
    device->GetRenderState(D3DRS_DITHERENABLE, &value);
    EXPECT_EQ(value, 0u);
    CQVEngine* engine = CQVEngine::GetInstance();
    EXPECT_EQ(engine->textureFormat, 2u);
    EXPECT_EQ(engine->textureDivisor, 2u);
    EXPECT_EQ(engine->baseFolder, ".");
    EXPECT_EQ(CQVRender::Get().View().farPlane, 35000.0f);
    EXPECT_EQ(CQVRender::Get().View().nearPlane, 1.5f);
}

// Start-up ends with result 0 whatever failed, marked as failed for the
// exit status, and one line on standard error names what failed and the file.
TEST(GameMain, StartUpFailuresSayWhatFailed) {
    const auto oldDir = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_game_fail_" + std::to_string(::getpid()));
    struct Case {
        const char* missing;  // removed from the game folder; null: the whole folder is empty
        const char* line;
    };
    const Case cases[] = {
        {nullptr, "game: start-up failed: cannot read the start file \"init.txt\": cannot be opened\n"},
        {"Data/Start.qva", "game: start-up failed: cannot load the actor file \".\\Data\\Start.qva\""},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(dir);
        if (c.missing != nullptr) {
            ASSERT_NO_FATAL_FAILURE(WriteGameFolder(dir));
            std::filesystem::remove(dir / c.missing);
        }
        std::filesystem::current_path(dir);
        testing::internal::CaptureStderr();
        const int result = WinMain(nullptr, nullptr, "-win=1 -w=800 -h=600", 1);
        const std::string said = testing::internal::GetCapturedStderr();
        std::filesystem::current_path(oldDir);
        std::filesystem::remove_all(dir);
        TakeMessages();
        EXPECT_EQ(result, 0);
        // The program's exit status says it failed.
        EXPECT_TRUE(App_StartupFailed());
        EXPECT_NE(said.find(c.line), std::string::npos) << said;
    }
}

// A quit asked for before the message loop starts (here: before start-up)
// is the first message the loop takes; it is served, not dropped, so no
// frame runs.
TEST(GameMain, QuitAskedForDuringStartUpIsServed) {
    const auto oldDir = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / ("qv_game_quit_" + std::to_string(::getpid()));
    ASSERT_NO_FATAL_FAILURE(WriteGameFolder(dir));
    std::filesystem::current_path(dir);
    ASSERT_TRUE(Platform_Init());
    TakeMessages();
    Platform_RequestQuit();

    const uint32_t firstFrame = g_FrameNumber;
    // Should the request be lost, a second one after some frames ends the run.
    std::atomic<bool> stop{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 3000 && !stop; ++i) {
            if (g_FrameNumber >= firstFrame + 20) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!stop) Platform_RequestQuit();
    });
    const int result = WinMain(nullptr, nullptr, "-win=1 -w=800 -h=600", 1);
    stop = true;
    watchdog.join();
    std::filesystem::current_path(oldDir);
    std::filesystem::remove_all(dir);
    TakeMessages();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_FrameNumber, firstFrame);
}

TEST(FrameTime, ClampCases) {
    int which = -1;
    EXPECT_FLOAT_EQ(FrameTime_Clamp(0.016, &which), 0.016f);
    EXPECT_EQ(which, 0);
    EXPECT_FLOAT_EQ(FrameTime_Clamp(0.06, &which), 0.06f);
    EXPECT_EQ(which, 0);
    EXPECT_FLOAT_EQ(FrameTime_Clamp(0.1, &which), 0.06f);
    EXPECT_EQ(which, 1);
    EXPECT_FLOAT_EQ(FrameTime_Clamp(0.2, &which), 0.06f);
    EXPECT_FLOAT_EQ(FrameTime_Clamp(0.5, &which), 1.0f / 120.0f);
    EXPECT_EQ(which, 2);
}

}  // namespace
