#include "kernel/app/GameMain.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/app/ActorClasses.h"
#include "kernel/app/CommandLine.h"
#include "kernel/app/FrameLoop.h"
#include "kernel/app/StartFile.h"
#include "kernel/app/Trace.h"
#include "kernel/base/Clock.h"
#include "kernel/base/PackFileSystem.h"
#include "kernel/base/Random.h"
#include "kernel/base/TextTable.h"
#include "platform/Time.h"
#include "services/input/Input.h"

#include <cstdlib>

PlatformWindowClass g_WindowClass;
HWND g_MainWindow = nullptr;
uint32_t g_WindowActive = 1;
uint32_t g_KeyPollEnabled = 1;

namespace {

// Settings the start-up takes from the command line.
struct StartSettings {
    int textureQuality = 0;   // "tq"
    int textureFilter = 0;    // "tf"
    int levelTextures = 0;    // "lt"
    int width = 800;          // "w"
    int height = 600;         // "h"
    int depth = 32;           // "d"
    uint32_t startFlags = 0;  // bit 0: no sound, bit 1: windowed
};

StartSettings ReadStartSettings(const CommandLineOptions& options) {
    auto value = [&](GameOption option) { return std::atoi(options.GetValue(option).c_str()); };
    StartSettings settings;
    settings.textureQuality = value(OPT_TQ);
    settings.textureFilter = value(OPT_TF);
    settings.levelTextures = value(OPT_LT);
    settings.width = value(OPT_W);
    settings.height = value(OPT_H);
    settings.depth = value(OPT_D);
    if (value(OPT_S) == 0) settings.startFlags |= 1;
    if (value(OPT_WIN) != 0) settings.startFlags |= 2;
    return settings;
}

// "pack.csa" in the working folder, when it opens, serves every read it
// holds; otherwise every file comes from the disk.
void StartPackArchive() {
    g_PackFileSystem = CQVPackFileSystem::Open("pack.csa");
    if (g_PackFileSystem != nullptr) g_CurrentFileSystem = g_PackFileSystem;
}

// Released when WinMain returns, at shutdown or after a failed start-up step.
struct PackArchiveRelease {
    ~PackArchiveRelease() {
        if (g_PackFileSystem == nullptr) return;
        if (g_CurrentFileSystem == g_PackFileSystem) g_CurrentFileSystem = nullptr;
        delete g_PackFileSystem;
        g_PackFileSystem = nullptr;
    }
};

// The engine object and its device: without them the wall clock is the only
// engine service, created here so that frames can measure their time.
bool StartEngine(const StartSettings& settings, const std::string& baseDirectory) {
    (void)settings;
    (void)baseDirectory;
    if (!CQVClock::Create()) return false;
    g_Clock->EnsureInitialized();
    return true;
}

// The logo movie and the resource library join the start-up as their
// services land.
void StartLogoMovie(const std::string& dataDirectory) { (void)dataDirectory; }

// Without "text.txt" every text shows as its key, so a failed load is ignored.
void StartTextTable(const std::string& dataDirectory) {
    if (!CQVTextTable::Create()) return;
    CQVTextTable::GetInstance()->Load((dataDirectory + "\\text.txt").c_str());
}

// Registers every actor class and creates the actor system with its system
// actors, which then keeps the base directory.
bool StartActorSystem(const std::string& baseDirectory) {
    ActorClasses_Install();
    if (!RegisterActorClasses()) return false;
    g_ActorSystem->m_BaseDirectory = baseDirectory;
    return true;
}
bool LoadResourceLibrary() { return true; }
void SetViewPlanes() {}

// Loads the globals file into "Global" and, unless it defines "Menu", the
// start scene into "Scenery"; menuFound tells which happened.
bool LoadStartContent(const StartFile& start, bool* menuFound) {
    (void)start;
    *menuFound = false;
    return true;
}
void PlayLogoMovie() {}
void SendStartGame() {}

int RunMessageLoop() {
    WindowMessage message;
    // The first message is taken and not dispatched.
    Platform_PeekMessage(&message, true);
    while (message.message != WM_QUIT) {
        if (Platform_PeekMessage(&message, false)) {
            if (Platform_GetMessage(&message)) {
                Platform_TranslateMessage(message);
                Platform_DispatchMessage(message);
            }
        } else if (!g_WindowActive) {
            Platform_Sleep(10);
        } else {
            FrameStep(nullptr);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WinMain(void* instance, void* previousInstance, const char* commandLine, int showCommand) {
    (void)previousInstance;
    (void)showCommand;

    CommandLineOptions options(commandLine ? commandLine : "");
    CommandLine_DeclareGameOptions(options);
    options.Parse();
    const StartSettings settings = ReadStartSettings(options);

    g_WindowClass = PlatformWindowClass{"QVEngine", QVEngineWindowProc};
    if (!Platform_RegisterClass(g_WindowClass)) return 0;
    g_MainWindow = Platform_CreateWindow("QVEngine", "QVEngine", 0, 0, Platform_GetScreenWidth(),
                                         Platform_GetScreenHeight());
    if (g_MainWindow == nullptr) return 0;
    Platform_ShowWindow(g_MainWindow);
    Platform_SetFocus(g_MainWindow);
    Platform_ShowCursor(false);

    TraceChannels();
    StartPackArchive();
    const PackArchiveRelease packArchiveRelease;
    Input_Init(g_MainWindow, instance);
    Input_BindDefaultKeys();

    StartFile start;
    if (!StartFile_Read("init.txt", &start)) return 0;
    Platform_SetWindowText(g_MainWindow, start.windowTitle);
    const std::string dataDirectory = start.baseDirectory + "\\Data";

    if (!StartEngine(settings, start.baseDirectory)) return 0;
    StartLogoMovie(dataDirectory);
    StartTextTable(dataDirectory);
    if (!StartActorSystem(start.baseDirectory)) return 0;
    if (!LoadResourceLibrary()) return 0;
    Random_Seed(Platform_GetTickCount());
    SetViewPlanes();

    if (start.globalsFile.empty()) start.globalsFile = "Globals.qva";
    bool menuFound = false;
    if (!LoadStartContent(start, &menuFound)) return 0;
    PlayLogoMovie();
    if (!menuFound) SendStartGame();

    return RunMessageLoop();
}

LRESULT QVEngineWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Input_HandleWindowMessage(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        Platform_PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        g_WindowActive = LoWord(wParam) != 0 ? 1 : 0;
        break;
    case WM_SYSCOMMAND:
        // The window is neither moved, sized nor maximised by the user, the
        // window menu stays shut and the monitor is kept on. The whole
        // wParam is compared, not masked.
        if (wParam == SC_SIZE || wParam == SC_MOVE || wParam == SC_MAXIMIZE || wParam == SC_KEYMENU ||
            wParam == SC_MONITORPOWER) {
            return 1;
        }
        break;
    default:
        break;
    }
    return Platform_DefWindowProc(window, message, wParam, lParam);
}

int Input_GetAsyncKeyState(int virtualKey) {
    return g_KeyPollEnabled ? Platform_GetAsyncKeyState(virtualKey) : 0;
}
