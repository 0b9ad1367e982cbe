#include "apps/game/GameMain.h"

#include "apps/game/ActorClasses.h"
#include "apps/game/ActorSystemServices.h"
#include "apps/game/CommandLine.h"
#include "apps/game/FrameLoop.h"
#include "apps/game/StartFile.h"
#include "apps/game/Trace.h"
#include "kernel/actors/ActorFiles.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/DrawGroups.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/base/Clock.h"
#include "kernel/base/PackFileSystem.h"
#include "kernel/base/Random.h"
#include "kernel/base/TextTable.h"
#include "kernel/fileactors/StartContent.h"
#include "kernel/script/Script.h"
#include "platform/Time.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/graphics/Texture.h"
#include "services/input/Input.h"
#include "services/library/Library.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

PlatformWindowClass g_WindowClass;
HWND g_MainWindow = nullptr;
uint32_t g_WindowActive = 1;

namespace {

// Settings the start-up takes from the command line.
struct StartSettings {
    int textureQuality = 0;   // "tq"
    int textureFilter = 0;    // "tf"
    int levelTextures = 0;    // "lt"
    int width = 800;          // "w"
    int height = 600;         // "h"
    int depth = 32;           // "d"
    uint32_t startFlags = 0;  // ENGINE_NO_SOUND, ENGINE_WINDOWED
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
    if (value(OPT_S) == 0) settings.startFlags |= ENGINE_NO_SOUND;
    if (value(OPT_WIN) != 0) settings.startFlags |= ENGINE_WINDOWED;
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

// Texture filtering from "tf": 0 bilinear with the nearest mip level, 1
// trilinear, 2 anisotropic with linear mips (other values as 0); a filter
// the device lacks falls back to point mips and linear sampling.
void SetTextureFilters(PlatformDevice* device, int option) {
    uint32_t sampling = D3DTEXF_LINEAR, mip = D3DTEXF_POINT;
    if (option == 1) {
        mip = D3DTEXF_LINEAR;
    } else if (option == 2) {
        sampling = D3DTEXF_ANISOTROPIC;
        mip = D3DTEXF_LINEAR;
    }
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    const uint32_t mipCap = mip == D3DTEXF_LINEAR ? D3DPTFILTERCAPS_MIPFLINEAR : D3DPTFILTERCAPS_MIPFPOINT;
    if (!(caps.TextureFilterCaps & mipCap)) mip = D3DTEXF_POINT;
    const uint32_t samplingCaps = sampling == D3DTEXF_ANISOTROPIC
                                      ? D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC
                                      : D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
    if ((caps.TextureFilterCaps & samplingCaps) != samplingCaps) sampling = D3DTEXF_LINEAR;
    for (uint32_t stage = 0; stage < 8; ++stage) {
        device->SetTextureStageState(stage, D3DTSS_MINFILTER, sampling);
        device->SetTextureStageState(stage, D3DTSS_MAGFILTER, sampling);
        device->SetTextureStageState(stage, D3DTSS_MIPFILTER, mip);
    }
}

bool g_StartupFailed = false;

// Start-up ends with result 0 whatever failed; one line on standard error,
// the one place a player starting the game by hand can see, says what
// failed and with which file.
void StartupFailed(const char* what, const std::string& file, const char* detail) {
    g_StartupFailed = true;
    std::fprintf(stderr, "game: start-up failed: %s", what);
    if (!file.empty()) std::fprintf(stderr, " \"%s\"", file.c_str());
    if (detail != nullptr && *detail != 0) std::fprintf(stderr, ": %s", detail);
    std::fputc('\n', stderr);
}

// Texture format code from "tq": 3 for 0, 2 for 16, else 0 (32-bit).
uint32_t TextureFormatCode(int quality) { return quality == 0 ? 3 : quality == 16 ? 2 : 0; }
// Texture size divisor from "lt": 4 for 0, 2 for 1, else 1.
uint32_t TextureSizeDivisor(int levelTextures) { return levelTextures == 0 ? 4 : levelTextures == 1 ? 2 : 1; }

// The engine object and its device (windowed or full screen), then the
// base folder, dithering for 16-bit colour, texture filters and texture
// options, and two black frames before anything else shows.
bool StartEngine(const StartSettings& settings, const std::string& baseDirectory) {
    if (!CQVEngine::Create()) return false;
    CQVEngine* engine = CQVEngine::GetInstance();
    if (!engine->Init(static_cast<uint32_t>(settings.width), static_cast<uint32_t>(settings.height),
                      static_cast<uint32_t>(settings.depth), 32, settings.startFlags, g_MainWindow))
        return false;
    engine->SetBaseFolder(baseDirectory);
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    PlatformDevice* device = graphics->GetDevice();
    device->SetRenderState(D3DRS_DITHERENABLE, settings.depth == 16 ? 1 : 0);
    SetTextureFilters(device, settings.textureFilter);
    engine->SetTextureOptions(TextureFormatCode(settings.textureQuality), TextureSizeDivisor(settings.levelTextures));
    for (int frame = 0; frame < 2; ++frame) {
        graphics->Clear(0);
        graphics->BeginScene();
        graphics->EndScene();
        graphics->Present();
    }
    return true;
}

// The logo movie runs while the rest of the start-up loads; a movie that
// does not open is simply not shown.
void StartLogoMovie(const std::string& dataDirectory) { Movie_Open((dataDirectory + "\\logo_01.mpg").c_str()); }

// Without "text.txt" every text shows as its key, so a failed load is ignored.
void StartTextTable(const std::string& dataDirectory) {
    if (!CQVTextTable::Create()) return;
    CQVTextTable::GetInstance()->Load((dataDirectory + "\\text.txt").c_str());
}

// Registers every actor class and creates the actor system with its system
// actors, which then keeps the base directory.
bool StartActorSystem(const std::string& baseDirectory) {
    ActorClasses_Install();
    Script_Init();
    g_FastDebugApply = &FastDebug_Apply;
    g_ActorLoadStop = &Platform_QuitRequested;
    if (!RegisterActorClasses()) return false;
    g_ActorSystem->m_BaseDirectory = baseDirectory;
    return true;
}
// The resource library "DARarezev.edo" in the base folder, read without
// loading its items. A game without it cannot run: its error text goes to
// standard error, the one place a player starting it by hand can see it.
bool LoadResourceLibrary() {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine->SerializeLibrary(SERIALIZE_READ)) return true;
    StartupFailed("cannot read the resource library", engine->baseFolder + "\\" + LIBRARY_FILE_NAME,
                  engine->GetErrorText());
    return false;
}

// A run with QV_FRAME_STEP set (seconds per frame, as scenario tests and
// captures use) steps every frame by that time and seeds the random numbers
// the same way each run, so two runs on the same data draw the same frames.
// Otherwise frames take the wall clock's time and the seed varies.
double g_FixedFrameStep = 0.0;
double FixedFrameStep() { return g_FixedFrameStep; }

void SeedAndClock() {
    const char* step = std::getenv("QV_FRAME_STEP");
    const double seconds = step ? std::strtod(step, nullptr) : 0.0;
    if (seconds > 0.0 && seconds <= 1.0) {
        g_FixedFrameStep = seconds;
        FrameClock_SetSource(&FixedFrameStep);
        Random_Seed(1);
        return;
    }
    if (step) std::fprintf(stderr, "game: QV_FRAME_STEP=\"%s\" ignored: give seconds per frame above 0 and at most 1\n", step);
    Random_Seed(Platform_GetTickCount());
}

// The far and near planes of the game's camera projection.
void SetViewPlanes() {
    CQVEngine::GetInstance()->SetFarPlane(35000.0f);
    CQVEngine::GetInstance()->SetNearPlane(1.5f);
}

// Loads the globals file into "Global" and, unless it defines "Menu", the
// start scene into "Scenery"; menuFound tells which happened.
bool LoadStartContent(const StartFile& start, bool* menuFound) {
    std::string failed;
    if (FileActors_LoadStartContent(start.globalsFile, start.startScene, menuFound, &failed)) return true;
    // A quit asked for while the start scene ran a level of its own (its
    // script changed the level during the load) ends a game that ran: it is
    // no failed start.
    if (Platform_QuitRequested()) return false;
    StartupFailed("cannot load the actor file", start.baseDirectory + "\\Data\\" + failed,
                  g_ActorSystem ? g_ActorSystem->GetError() : "");
    return false;
}
// The logo plays until it ends; Action or Jump ends it at once, and so
// does closing the window, whose request then waits for the message loop.
void PlayLogoMovie() {
    while (Movie_Update()) {
        Input_FeedWindowInput();
        if (Platform_QuitRequested()) {
            Movie_Close();
            return;
        }
        CQVEngine::UpdateInput(0.0333f, 1);
        if (CQVEngine::IsActionDown(QVDI_BUTTONB, 0) || CQVEngine::IsActionDown(QVDI_BUTTONA, 0)) Movie_Close();
    }
}
void SendStartGame() { CQVActorSystem::SendMessage(0, MSG_START_GAME, nullptr); }

int RunMessageLoop() {
    WindowMessage message;
    // The first message is taken and not dispatched, unless it is a close
    // request: a quit asked for during start-up is still served.
    Platform_PeekMessage(&message, true);
    if (message.message == WM_CLOSE) Platform_DispatchMessage(message);
    while (message.message != WM_QUIT) {
        if (Platform_PeekMessage(&message, false)) {
            if (Platform_GetMessage(&message)) {
                Platform_TranslateMessage(message);
                Platform_DispatchMessage(message);
            }
        } else if (!CQVGraphics::GetInstance()->HandleDeviceLost()) {
            Platform_Sleep(10);
        } else if (!g_WindowActive) {
            Platform_Sleep(10);
        } else {
            FrameStep(g_ActorSystem);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WinMain(void* instance, void* previousInstance, const char* commandLine, int showCommand) {
    (void)previousInstance;
    (void)showCommand;
    g_StartupFailed = false;

    CommandLineOptions options(commandLine ? commandLine : "");
    CommandLine_DeclareGameOptions(options);
    options.Parse();
    const StartSettings settings = ReadStartSettings(options);

    g_WindowClass = PlatformWindowClass{"QVEngine", QVEngineWindowProc};
    if (!Platform_RegisterClass(g_WindowClass)) {
        StartupFailed("cannot register the window class", "", Platform_GetError());
        return 0;
    }
    g_MainWindow = Platform_CreateWindow("QVEngine", "QVEngine", 0, 0, Platform_GetScreenWidth(),
                                         Platform_GetScreenHeight());
    if (g_MainWindow == nullptr) {
        StartupFailed("cannot create the window", "", Platform_GetError());
        return 0;
    }
    Platform_ShowWindow(g_MainWindow);
    // The window's style has a sizing frame and a caption around its client area.
    Platform_SetWindowFrame(g_MainWindow, 5, 35, 5, 5);
    Platform_SetFocus(g_MainWindow);
    Platform_ShowCursor(false);

    TraceChannels();
    StartPackArchive();
    const PackArchiveRelease packArchiveRelease;
    Input_Init(g_MainWindow, instance);
    Input_BindDefaultKeys();

    StartFile start;
    std::string problem;
    if (!StartFile_Read("init.txt", &start, &problem)) {
        StartupFailed("cannot read the start file", "init.txt", problem.c_str());
        return 0;
    }
    Platform_SetWindowText(g_MainWindow, start.windowTitle);
    const std::string dataDirectory = start.baseDirectory + "\\Data";

    if (!StartEngine(settings, start.baseDirectory)) {
        const CQVEngine* engine = CQVEngine::GetInstance();
        StartupFailed("cannot open the graphics device", "", engine ? engine->GetErrorText() : "");
        return 0;
    }
    StartLogoMovie(dataDirectory);
    StartTextTable(dataDirectory);
    if (!StartActorSystem(start.baseDirectory)) {
        StartupFailed("cannot create the actor system", "", g_ActorSystem ? g_ActorSystem->GetError() : "");
        return 0;
    }
    if (!LoadResourceLibrary()) return 0;
    ActorSystemServices_Install();
    SeedAndClock();
    SetViewPlanes();

    if (start.globalsFile.empty()) start.globalsFile = "Globals.qva";
    bool menuFound = false;
    if (!LoadStartContent(start, &menuFound)) return 0;
    PlayLogoMovie();
    // A player who closed the window during the start-up gets no level
    // started: the message loop serves the close before any frame.
    if (!menuFound && !Platform_QuitRequested()) SendStartGame();

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

void FastDebug_Apply(uint32_t mode, uint32_t a, uint32_t b, uint32_t c) {
    if (mode != 1 || g_CurrentCamera == nullptr) return;
    const auto channel = [](uint32_t value, float unset) {
        return value == 0xFFFFFFFF ? unset : static_cast<float>(value);
    };
    float gamma[6] = {1.0f, 1.0f, 1.0f, channel(a, 60.0f), channel(b, 140.0f), channel(c, 200.0f)};
    g_CurrentCamera->HandleMessage(MSG_SET_GAMMA, Args_Of(gamma));
}

bool App_StartupFailed() { return g_StartupFailed; }

void App_Reset() {
    g_WindowActive = 1;
    g_StartupFailed = false;
    FrameLoop_Reset();
}
