#pragma once
// The launcher's menu window: the 640 x 480 menu picture with its picture
// buttons, in a window or on a black full screen; the start-up and launch
// movies; the settings dialog; and the start of the game.

#include "frontends/launcher/Bitmap.h"
#include "frontends/launcher/LauncherSettings.h"
#include "frontends/launcher/MenuButton.h"
#include "platform/Messages.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class PlatformCanvas;
class PlatformWindowMovie;
struct PlatformCursor;
struct PlatformIcon;

// The menu picture's size.
constexpr int kMenuWidth = 640;
constexpr int kMenuHeight = 480;
// The pause between the end of a movie and what follows it.
constexpr uint32_t kAfterMovieMs = 500;

// Movie events, as the movie reports them.
enum : int32_t { MOVIE_EVENT_COMPLETE = 1, MOVIE_EVENT_USER_ABORT = 2 };

class CQVShellDlg {
public:
    // Default settings; the icon loaded from the menu description.
    CQVShellDlg();
    ~CQVShellDlg();
    CQVShellDlg(const CQVShellDlg&) = delete;
    CQVShellDlg& operator=(const CQVShellDlg&) = delete;

    // Creates the window, runs its start-up and handles its messages until
    // it closes; IDCANCEL-like 2, or -1 when no window could be made.
    int DoModal();
    // The steps of DoModal, for callers that run the window themselves:
    // the window and its start-up (false when no window could be made);
    // one pass over waiting messages, due timers, movie frames and painting
    // (false once the window has closed); the end.
    bool Create();
    bool PumpMessages();
    void Destroy();

    LRESULT WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam);

    bool PlayMovie(const std::string& path, int32_t launchId);
    void StopMovie();
    std::string BuildCommandLine() const { return LauncherSettings_CommandLine(m_Settings); }
    void LoadSettings() { LauncherSettings_Load(&m_Settings); }
    void SaveSettings() const { LauncherSettings_Save(m_Settings); }

    HWND GetWindow() const { return m_Window; }
    PlatformCanvas* GetCanvas() const { return m_Canvas.get(); }
    const LauncherSettings& GetSettings() const { return m_Settings; }
    const std::vector<std::unique_ptr<CQVMenuButton>>& GetButtons() const { return m_Buttons; }
    bool IsMovieRunning() const { return m_MovieRunning; }
    bool IsEnded() const { return m_Ended; }
    int GetHoveredIndex() const { return m_HoveredIndex; }
    // Where the menu picture lies in the window.
    int GetPictureX() const { return m_PictureX; }
    int GetPictureY() const { return m_PictureY; }
    PlatformCursor* GetNormalCursor() const { return m_NormalCursor; }

private:
    void OnInitDialog();
    // A start-up failure that ends the launcher.
    void FailStartUp(const char* message);
    void OnPaint();
    void OnEraseBackground();
    void OnMouseMove(int x, int y);
    void OnLButtonDown(int x, int y);
    void OnTimer(uintptr_t id);
    void OnClose();
    void OnCancel();
    void OnGraphNotify(LPARAM launchId);
    void OnLaunchButton(WPARAM buttonId);
    void OnOpenSettings();
    // Starts the pending button's program with the game's command line and closes.
    void LaunchPending();
    void ServiceMovie();
    void Invalidate(bool erase);

    LauncherSettings m_Settings;
    PlatformIcon* m_Icon = nullptr;
    HWND m_Window = nullptr;
    std::unique_ptr<PlatformCanvas> m_Canvas;
    bool m_PictureVisible = false;
    int m_PictureX = 0;
    int m_PictureY = 0;
    std::unique_ptr<CQVBitmap> m_Offscreen;
    std::unique_ptr<CQVBitmap> m_Background;
    PlatformCursor* m_NormalCursor = nullptr;
    PlatformCursor* m_HoverCursor = nullptr;
    int32_t m_PendingLaunchId = 0;
    int m_PendingButton = -1;
    std::vector<std::unique_ptr<CQVMenuButton>> m_Buttons;
    int m_HoveredIndex = -1;
    // The movie on show: running from PlayMovie to StopMovie; a movie whose
    // file could not be read runs without a player and ends at once.
    bool m_MovieRunning = false;
    std::unique_ptr<PlatformWindowMovie> m_Movie;
    std::deque<int32_t> m_MovieEvents;
    bool m_MovieEndSeen = false;
    int m_LastMouseX = 0;
    int m_LastMouseY = 0;
    bool m_NeedPaint = false;
    bool m_NeedErase = false;
    bool m_Ended = false;
};
