// The launcher's menu window run headless on the offscreen driver: events
// pushed as a player's pointer and keys would make them, the window's
// pixels read back, the programs it starts recorded by a stand-in.

#include "frontends/common/Registry.h"
#include "frontends/launcher/LauncherApp.h"
#include "frontends/launcher/SettingsDlg.h"
#include "frontends/launcher/ShellContext.h"
#include "frontends/launcher/ShellDlg.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/shell/Canvas.h"
#include "platform/shell/Cursor.h"
#include "platform/shell/ShellSound.h"
#include "tests/frontends/launcher/LauncherFixture.h"
#include "tools/content/IconWriter.h"
#include "tools/content/MovieWriter.h"
#include "tools/content/WavWriter.h"

#include <SDL2/SDL.h>

namespace {

constexpr uint32_t kBackground = 0x204060;
constexpr uint32_t kPlayNormal = 0x00C000;
constexpr uint32_t kPlayHover = 0x00FF80;
constexpr uint32_t kPlayBubble = 0xFFFF00;
constexpr uint32_t kExitNormal = 0xC00000;
const char* const kDefaultArguments[] = {"-adapter=0", "-tq=0", "-tf=0", "-aa=0", "-lg=1", "-lt=1",
                                         "-pd=1",      "-s=1",  "-w=800", "-h=600", "-d=32"};

void PushMotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

void PushClick(int x, int y) {
    PushMotion(x, y);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
        SDL_Event e{};
        e.type = type;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
}

void PushKey(SDL_Scancode code) {
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event e{};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&e);
    }
}

// The cursor's show count: the cursor shows while it is 0 or more.
int CursorCount() {
    const int count = Platform_ShowCursor(true) - 1;
    Platform_ShowCursor(false);
    return count;
}

class Shell : public LauncherFolderTest {
protected:
    void SetUp() override {
        LauncherFolderTest::SetUp();
        ASSERT_TRUE(Platform_Init()) << Platform_GetError();
        WindowMessage m;
        while (Platform_PeekMessage(&m, true)) {
        }
        WritePicture("menu.bmp", 640, 480, kBackground);
        WritePicture("play_lo.bmp", 200, 40, kPlayNormal);
        WritePicture("play_hi.bmp", 200, 40, kPlayHover);
        WritePicture("play_bubble.bmp", 300, 40, kPlayBubble);
        WritePicture("exit_lo.bmp", 200, 40, kExitNormal);
        WavFormat format;
        ASSERT_TRUE(Wav_Write((root / "shellmedia" / "click.wav").string(), format, Wav_Sine(format, 440.0f, 0.3f, 22050)));
        play.imageNormal = "play_lo.bmp";
        play.imageHover = "play_hi.bmp";
        play.imageBubble = "play_bubble.bmp";
        SetPlace(&play, 100, 100);
        play.command = StandIn();
        play.shutdown = "true";
        leave.imageNormal = "exit_lo.bmp";
        SetPlace(&leave, 100, 300);
        leave.soundClick = "click.wav";
        leave.command = "exit";
        menu.name = "Corvane";
        menu.background = "menu.bmp";
        menu.buttons = {"play.btn", "leave.btn"};
    }
    void TearDown() override {
        shell.reset();
        g_ShellContext = nullptr;
        Platform_CloseSound();
        LauncherFolderTest::TearDown();
    }
    static void SetPlace(LauncherButton* button, int x, int y) {
        button->posX = button->rectLeft = x;
        button->posY = button->rectTop = y;
        button->rectRight = x + 200;
        button->rectBottom = y + 40;
    }
    // Writes the folder, reads the description and opens the menu window.
    void Start() {
        WriteButton("play.btn", play);
        WriteButton("leave.btn", leave);
        WriteMenu(menu);
        testing::internal::CaptureStderr();
        context = ShellContext{};
        ASSERT_TRUE(context.Parse());
        g_ShellContext = &context;
        shell = std::make_unique<CQVShellDlg>();
        const bool created = shell->Create();
        messages = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(created);
        Pump();
    }
    // Handles what is waiting; false once the window has closed.
    bool Pump() { return shell->PumpMessages(); }
    // Pumps for a while, as the window's own loop would.
    void PumpFor(int milliseconds) {
        const uint32_t end = Platform_GetTickCount() + static_cast<uint32_t>(milliseconds);
        while (static_cast<int32_t>(end - Platform_GetTickCount()) > 0 && Pump()) Platform_Sleep(5);
    }
    // Pumps until the window closes; false when it did not in time.
    bool PumpUntilClosed(int milliseconds = 10000) {
        const uint32_t end = Platform_GetTickCount() + static_cast<uint32_t>(milliseconds);
        while (Pump()) {
            if (static_cast<int32_t>(end - Platform_GetTickCount()) <= 0) return false;
            Platform_Sleep(5);
        }
        return true;
    }
    uint32_t Pixel(int x, int y) {
        std::vector<uint32_t> pixels;
        int width = 0, height = 0;
        if (!shell->GetCanvas()->ReadBack(&pixels, &width, &height) || x >= width || y >= height) return 0xDEADBEEF;
        return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    }
    void ExpectGameStartedWithTheDefaults() {
        StandInRecord record;
        ASSERT_TRUE(WaitForRecord(&record));
        EXPECT_EQ(record.folder, root.string());
        EXPECT_EQ(record.arguments, std::vector<std::string>(std::begin(kDefaultArguments), std::end(kDefaultArguments)));
    }
    // Movies of blue frames, 25 a second.
    void WriteMovies(const std::vector<std::string>& files, size_t frames = 25) {
        MovieClip clip;
        clip.settings.width = 64;
        clip.settings.height = 48;
        clip.frameColours.assign(frames, 0xFF0000FFu);
        std::string error;
        for (const std::string& file : files)
            ASSERT_TRUE(MovieWriter_WriteClip((root / "shellmedia" / file).string(), clip, &error)) << error;
    }

    LauncherButton play, leave;
    LauncherMenu menu;
    ShellContext context;
    std::unique_ptr<CQVShellDlg> shell;
    std::string messages;
};

TEST_F(Shell, TheMenuShowsItsPicturesAndFollowsThePointer) {
    Start();
    EXPECT_EQ(messages, "");
    EXPECT_EQ(Pixel(50, 50), kBackground);
    EXPECT_EQ(Pixel(150, 120), kPlayNormal);
    EXPECT_EQ(Pixel(150, 320), kExitNormal);

    PushMotion(150, 120);
    Pump();
    EXPECT_EQ(Pixel(150, 120), kPlayHover);
    EXPECT_EQ(shell->GetHoveredIndex(), 0);
    EXPECT_EQ(shell->GetButtons()[0]->GetState(), BUTTON_HOVER);
    // Resting 500 ms shows the bubble; moving within the button keeps it.
    PumpFor(kBubbleDelayMs + 100);
    EXPECT_EQ(Pixel(150, 120), kPlayBubble);
    EXPECT_EQ(Pixel(350, 120), kPlayBubble);
    PushMotion(160, 125);
    PumpFor(50);
    EXPECT_EQ(Pixel(150, 120), kPlayBubble);
    // Leaving shows the normal picture (the bubble's copy stays until the
    // background is drawn again); coming back starts over with the hover picture.
    PushMotion(50, 50);
    Pump();
    EXPECT_EQ(Pixel(150, 120), kPlayNormal);
    EXPECT_EQ(shell->GetButtons()[0]->GetState(), BUTTON_NORMAL);
    PushMotion(150, 120);
    PumpFor(100);
    EXPECT_EQ(Pixel(150, 120), kPlayHover);
}

TEST_F(Shell, AClickOnTheGamesButtonStartsItWithTheStoredSettings) {
    Start();
    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    ExpectGameStartedWithTheDefaults();
}

// The launcher as its program runs it: the click is waiting before it starts.
TEST_F(Shell, TheLauncherRunsUntilItsGameStarts) {
    ASSERT_TRUE(LauncherData_Install("Corvane", root.string(), nullptr));
    CQVRegistry registry;
    ASSERT_TRUE(registry.WriteString("Corvane", "Width", "1024"));
    ASSERT_TRUE(registry.WriteString("Corvane", "Height", "768"));
    ASSERT_TRUE(registry.WriteString("Corvane", "SoundEnabled", "0"));
    WriteButton("play.btn", play);
    WriteButton("leave.btn", leave);
    WriteMenu(menu);
    PushClick(150, 120);
    CQVLauncherApp app;
    EXPECT_FALSE(app.InitInstance());
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.folder, root.string());
    EXPECT_EQ(record.arguments, (std::vector<std::string>{"-adapter=0", "-tq=0", "-tf=0", "-aa=0", "-lg=1", "-lt=1",
                                                          "-pd=1", "-s=0", "-w=1024", "-h=768", "-d=32"}));
}

TEST_F(Shell, TheStartUpAndLaunchMoviesPlayUntilAClick) {
    WriteMovies({"intro.mpg", "launch.mpg"});
    menu.movies = {"intro.mpg", "launch.mpg"};
    menu.playMovie = "true";
    const int cursor = CursorCount();
    Start();
    EXPECT_TRUE(shell->IsMovieRunning());
    EXPECT_EQ(CursorCount(), cursor - 1);
    PumpFor(150);
    const uint32_t frame = Pixel(320, 240);
    EXPECT_LT(frame & 0xFFFF00, 0x202000u) << std::hex << frame;
    EXPECT_GT(frame & 0xFF, 0xC0u) << std::hex << frame;

    // A click ends the start-up movie and shows the menu.
    PushClick(10, 10);
    Pump();
    EXPECT_FALSE(shell->IsMovieRunning());
    EXPECT_EQ(CursorCount(), cursor);
    EXPECT_EQ(Pixel(150, 120), kPlayNormal);

    PushClick(150, 120);
    Pump();
    EXPECT_TRUE(shell->IsMovieRunning());
    EXPECT_TRUE(NothingStarted(100));
    // A click during the launch movie starts the game at once.
    PushClick(10, 10);
    EXPECT_TRUE(PumpUntilClosed(3000));
    ExpectGameStartedWithTheDefaults();
    EXPECT_EQ(CursorCount(), cursor);
}

TEST_F(Shell, TheGameStartsWhenTheLaunchMovieEnds) {
    WriteMovies({"launch.mpg"}, 10);
    menu.movies = {"null", "launch.mpg", "launch.mpg"};  // a null entry lists nothing
    menu.playMovie = "true";
    Start();
    // The list's first file plays at start-up: wait for its end.
    PumpFor(2000);
    EXPECT_FALSE(shell->IsMovieRunning());
    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    ExpectGameStartedWithTheDefaults();
}

// Without a launch movie to play, a launch button starts the game at once.
TEST_F(Shell, WithoutALaunchMovieTheGameStartsAtOnce) {
    menu.playMovie = "false";
    WriteMovies({"intro.mpg", "launch.mpg"});
    menu.movies = {"intro.mpg", "launch.mpg"};
    Start();
    EXPECT_FALSE(shell->IsMovieRunning());
    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    ExpectGameStartedWithTheDefaults();
}

TEST_F(Shell, WithOnlyAStartUpMovieTheGameStartsAtOnce) {
    WriteMovies({"intro.mpg"});
    menu.movies = {"intro.mpg"};
    menu.playMovie = "true";
    Start();
    PushClick(10, 10);
    Pump();
    ASSERT_FALSE(shell->IsMovieRunning());
    PushClick(150, 120);
    Pump();
    EXPECT_FALSE(shell->IsMovieRunning());
    EXPECT_TRUE(PumpUntilClosed());
    ExpectGameStartedWithTheDefaults();
}

TEST_F(Shell, AMovieThatCannotBeReadIsReportedAndPassedOver) {
    menu.movies = {"gone.mpg", "gone.mpg"};
    menu.playMovie = "true";
    Start();
    EXPECT_EQ(messages, "Error: IDS_CANT_RENDER_FILE -> shellmedia\\gone.mpg\n");
    PumpFor(kAfterMovieMs + 200);
    EXPECT_FALSE(shell->IsMovieRunning());
    EXPECT_EQ(Pixel(150, 120), kPlayNormal);
    testing::internal::CaptureStderr();
    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: IDS_CANT_RENDER_FILE -> shellmedia\\gone.mpg\n");
    ExpectGameStartedWithTheDefaults();
}

TEST_F(Shell, EscapeAndTheExitButtonCloseEnterDoesNot) {
    Start();
    PushKey(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(Pump());
    PushKey(SDL_SCANCODE_ESCAPE);
    EXPECT_FALSE(Pump());

    shell.reset();
    Start();
    PushClick(150, 320);
    EXPECT_FALSE(Pump());
    EXPECT_TRUE(Platform_IsSoundPlaying());  // its click sound
    EXPECT_TRUE(NothingStarted());
}

// A button without a click sound plays nothing; one without a normal
// picture never reacts; of two buttons on one place the first takes the click.
TEST_F(Shell, ButtonsReactAsTheirFilesSay) {
    LauncherButton document;
    document.imageNormal = "exit_lo.bmp";
    SetPlace(&document, 100, 200);
    WriteText(root / "readme.txt", "read me");
    document.command = "README.TXT";
    WriteButton("document.btn", document);
    LauncherButton hidden = play;
    hidden.imageNormal = "null";
    SetPlace(&hidden, 100, 400);
    WriteButton("hidden.btn", hidden);
    LauncherButton under = play;
    under.command = (root / "other").string();
    std::filesystem::create_symlink(StandIn(), root / "other");
    WriteButton("under.btn", under);
    menu.buttons = {"play.btn", "null", "leave.btn", "document.btn", "hidden.btn", "under.btn"};
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_symlink(StandIn(), root / "bin" / "xdg-open");
    setenv("PATH", ((root / "bin").string() + ":" + savedPath).c_str(), 1);
    Start();
    EXPECT_EQ(shell->GetButtons().size(), 5u);

    PushClick(150, 420);
    Pump();
    EXPECT_TRUE(NothingStarted());
    PushClick(150, 220);
    Pump();
    EXPECT_FALSE(Platform_IsSoundPlaying());
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.program, "xdg-open");
    EXPECT_EQ(record.arguments, std::vector<std::string>{(root / "readme.txt").string()});
    std::filesystem::remove(RecordPath());

    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    ASSERT_TRUE(WaitForRecord(&(record = StandInRecord{})));
    EXPECT_EQ(record.program, "qv_record_args");
    std::filesystem::remove(RecordPath());
    EXPECT_TRUE(NothingStarted());
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(Shell, StartUpFailuresThatSayExitingEndTheLauncher) {
    menu.background = "missing.bmp";
    Start();
    EXPECT_EQ(messages, "Ambrel: Error creating offscreen! exiting...\n");
    EXPECT_TRUE(shell->IsEnded());
}

TEST_F(Shell, AButtonThatCannotBeLoadedStopsTheStartUp) {
    play.imageHover = "missing.bmp";
    Start();
    EXPECT_EQ(messages, "Ambrel: Error loading button!\n");
    EXPECT_FALSE(shell->IsEnded());
    EXPECT_EQ(Pixel(150, 120), 0x000000u);
}

// A cursor file that cannot be read leaves the standard arrow.
TEST_F(Shell, CursorsComeFromTheirFilesOrStayTheArrow) {
    std::vector<uint32_t> arrow(32 * 32, 0xFFFFFFFFu);
    const std::vector<uint8_t> bytes = IconWriter_Encode(arrow.data(), 32, 32, true, 0, 0);
    WriteText(root / "shellmedia" / "arrow.cur", std::string(bytes.begin(), bytes.end()));
    WriteText(root / "shellmedia" / "broken.cur", std::string(bytes.begin(), bytes.begin() + 30));
    menu.cursorNormal = "broken.cur";
    menu.cursorHover = "arrow.cur";
    Start();
    EXPECT_EQ(messages, "Ambrel: Failed cursor 1\n");
    EXPECT_EQ(Platform_GetCursor(), nullptr);

    shell.reset();
    menu.cursorNormal = "arrow.cur";
    menu.cursorHover = "broken.cur";
    Start();
    EXPECT_EQ(messages, "Ambrel: Failed cursor 2\n");
    EXPECT_NE(shell->GetNormalCursor(), nullptr);
    EXPECT_EQ(Platform_GetCursor(), shell->GetNormalCursor());
}

TEST_F(Shell, FullScreenCentresTheMenuOnBlack) {
    menu.fullScreen = "true";
    menu.drawRects = "true";
    Start();
    const int left = (Platform_GetScreenWidth() - 640) / 2, top = (Platform_GetScreenHeight() - 480) / 2;
    ASSERT_GT(left, 0);
    EXPECT_EQ(shell->GetPictureX(), left);
    EXPECT_EQ(shell->GetPictureY(), top);
    EXPECT_EQ(Pixel(left - 1, top - 1), 0x000000u);
    EXPECT_EQ(Pixel(left, top), kBackground);
    EXPECT_EQ(Pixel(left + 150, top + 120), kPlayNormal);
    // The hot rectangles are framed.
    EXPECT_EQ(Pixel(left + 100, top + 100), 0xFFFFFFu);
    EXPECT_EQ(Pixel(left + 299, top + 139), 0xFFFFFFu);
    PushClick(left + 150, top + 120);
    EXPECT_TRUE(PumpUntilClosed());
    ExpectGameStartedWithTheDefaults();
}

// The settings button opens the dialog; its Medium and OK buttons, pressed
// as a player would, store the settings; Cancel stores nothing.
TEST_F(Shell, TheSettingsDialogStoresWhatOkTakes) {
    ASSERT_TRUE(LauncherData_Install("Corvane", root.string(), nullptr));
    LauncherButton settings = leave;
    settings.command = "SPECIAL_1";
    settings.soundClick = "null";
    WriteButton("settings.btn", settings);
    menu.buttons = {"play.btn", "settings.btn"};
    Start();

    auto clickControl = [](PlatformDialog& dialog, int id) {
        int x = 0, y = 0, width = 0, height = 0;
        ASSERT_TRUE(dialog.GetItemRect(id, &x, &y, &width, &height));
        PushClick(x + width / 2, y + height / 2);
    };
    std::vector<int> presses;
    int frame = 0;
    PlatformDialog::SetFrameHook([&](PlatformDialog& dialog) {
        ++frame;
        if (frame == 3 && !presses.empty()) clickControl(dialog, presses[0]);
        if (frame == 8 && presses.size() > 1) clickControl(dialog, presses[1]);
        if (frame > 40) dialog.EndDialog(IDCANCEL);
    });
    presses = {IDC_PRESET_MEDIUM, IDCANCEL};
    PushClick(150, 320);
    EXPECT_TRUE(Pump());
    CQVRegistry registry;
    std::string text;
    EXPECT_FALSE(registry.ReadString("Corvane", "TextureFiltering", &text));
    EXPECT_LT(frame, 40);

    frame = 0;
    presses = {IDC_PRESET_HIGH, IDOK};
    PushClick(150, 320);
    EXPECT_TRUE(Pump());
    PlatformDialog::SetFrameHook(nullptr);
    const struct {
        const char* name;
        const char* value;
    } stored[] = {{"Adapter", "0"},      {"TextureQuality", "0"}, {"TextureFiltering", "2"}, {"AntiAlias", "4"},
                  {"LevelGeometry", "2"}, {"LevelTextures", "2"},  {"ParticleDetail", "2"},   {"SoundEnabled", "1"},
                  {"Width", "800"},       {"Height", "600"},       {"Depth", "32"}};
    for (const auto& value : stored) {
        ASSERT_TRUE(registry.ReadString("Corvane", value.name, &text)) << value.name;
        EXPECT_EQ(text, value.value) << value.name;
    }
    EXPECT_EQ(shell->GetSettings().antiAlias, 4);
    // The game starts with what was stored.
    PushClick(150, 120);
    EXPECT_TRUE(PumpUntilClosed());
    StandInRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.arguments[3], "-aa=4");
}

}  // namespace
