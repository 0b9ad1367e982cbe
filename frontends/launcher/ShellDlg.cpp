#include "frontends/launcher/ShellDlg.h"

#include "frontends/common/Paths.h"
#include "frontends/launcher/LauncherApp.h"
#include "frontends/launcher/SettingsDlg.h"
#include "frontends/launcher/ShellContext.h"
#include "platform/Time.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"
#include "platform/shell/Canvas.h"
#include "platform/shell/Cursor.h"
#include "platform/shell/Timer.h"
#include "platform/shell/WindowMovie.h"
#include "platform/shell/WindowStyle.h"

#include <algorithm>
#include <new>

namespace {

constexpr const char* kShellClass = "AmbrelShell";
// Cursors and the icon are loaded at this size.
constexpr int kCursorSize = 32;
// How long the window waits for input between passes, with and without a movie.
constexpr uint32_t kMovieWaitMs = 5;
constexpr uint32_t kIdleWaitMs = 100;

CQVShellDlg* g_Shell = nullptr;

LRESULT ShellProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (g_Shell == nullptr || g_Shell->GetWindow() != window) return Platform_DefWindowProc(window, message, wParam, lParam);
    return g_Shell->WindowProc(message, wParam, lParam);
}

int LoWordSigned(LPARAM value) { return static_cast<int16_t>(LoWord(static_cast<uintptr_t>(value))); }
int HiWordSigned(LPARAM value) { return static_cast<int16_t>(HiWord(static_cast<uintptr_t>(value))); }

}  // namespace

CQVShellDlg::CQVShellDlg() {
    if (g_ShellContext != nullptr && !g_ShellContext->iconFile.empty())
        m_Icon = Platform_LoadIconFile(Frontend_DiskPath(kShellMediaPrefix + g_ShellContext->iconFile), kCursorSize);
}

CQVShellDlg::~CQVShellDlg() {
    Destroy();
    Platform_DestroyIcon(m_Icon);
}

int CQVShellDlg::DoModal() {
    if (!Create()) return -1;
    while (PumpMessages()) Platform_WaitMessage(m_MovieRunning ? kMovieWaitMs : kIdleWaitMs);
    Destroy();
    return 2;
}

bool CQVShellDlg::Create() {
    if (g_ShellContext == nullptr || !Platform_RegisterClass(PlatformWindowClass{kShellClass, ShellProc})) return false;
    m_Window = Platform_CreateWindow(kShellClass, "", 0, 0, kMenuWidth, kMenuHeight);
    if (m_Window == nullptr) return false;
    std::string error;
    m_Canvas = PlatformCanvas::Create(m_Window, &error);
    if (!m_Canvas) {
        Platform_DestroyWindow(m_Window);
        m_Window = nullptr;
        return false;
    }
    g_Shell = this;
    m_Ended = false;
    OnInitDialog();
    if (!m_Ended) {
        Platform_ShowWindow(m_Window);
        Invalidate(true);
    }
    return true;
}

void CQVShellDlg::Destroy() {
    StopMovie();
    m_Buttons.clear();
    g_Offscreen = nullptr;
    m_Offscreen.reset();
    m_Background.reset();
    if (m_Window != nullptr) {
        Platform_KillWindowTimers(m_Window);
        if (g_ShellWindow == m_Window) g_ShellWindow = nullptr;
        // The standard arrow comes back before the cursors go.
        Platform_SetCursor(nullptr);
        m_Canvas.reset();
        Platform_DestroyWindow(m_Window);
        m_Window = nullptr;
    }
    Platform_DestroyCursor(m_NormalCursor);
    Platform_DestroyCursor(m_HoverCursor);
    m_NormalCursor = m_HoverCursor = nullptr;
    if (g_Shell == this) g_Shell = nullptr;
}

void CQVShellDlg::FailStartUp(const char* message) {
    Launcher_Message(message);
    // The message says the launcher exits: it does.
    OnCancel();
}

void CQVShellDlg::OnInitDialog() {
    const ShellContext& context = *g_ShellContext;
    Platform_SetWindowIcon(m_Window, m_Icon);

    if (!context.normalCursorFile.empty() && !context.hoverCursorFile.empty()) {
        m_NormalCursor = Platform_LoadCursorFile(Frontend_DiskPath(kShellMediaPrefix + context.normalCursorFile), kCursorSize);
        if (m_NormalCursor == nullptr) Launcher_Message("Failed cursor 1");
        m_HoverCursor = Platform_LoadCursorFile(Frontend_DiskPath(kShellMediaPrefix + context.hoverCursorFile), kCursorSize);
        if (m_HoverCursor == nullptr) Launcher_Message("Failed cursor 2");
        // A cursor that did not load leaves the standard arrow.
        Platform_SetCursor(m_NormalCursor);
    }

    Platform_SetWindowText(m_Window, context.applicationName);
    const int screenWidth = Platform_GetScreenWidth(), screenHeight = Platform_GetScreenHeight();
    if (context.fullScreen != 0 && screenWidth > 0 && screenHeight > 0) {
        Platform_SetWindowBorderless(m_Window, true);
        Platform_SetWindowPos(m_Window, 0, 0, screenWidth, screenHeight);
    } else {
        Platform_SetWindowPos(m_Window, std::max(0, (screenWidth - kMenuWidth) / 2),
                              std::max(0, (screenHeight - kMenuHeight) / 2), kMenuWidth, kMenuHeight);
    }
    // The menu picture sits in the middle of the client area.
    int clientWidth = 0, clientHeight = 0;
    Platform_GetClientSize(m_Window, &clientWidth, &clientHeight);
    m_PictureX = (clientWidth - kMenuWidth) / 2;
    m_PictureY = (clientHeight - kMenuHeight) / 2;

    m_Background.reset(new (std::nothrow) CQVBitmap());
    if (!m_Background) return FailStartUp("Error allocating memory for background! exiting...");
    m_Background->LoadFromFile(kShellMediaPrefix + context.backgroundImage);
    m_Offscreen.reset(new (std::nothrow) CQVBitmap());
    if (!m_Offscreen) return FailStartUp("Error allocating memory for offscreen! exiting...");
    if (!m_Offscreen->CreateFrom(m_Background.get())) return FailStartUp("Error creating offscreen! exiting...");

    // One button for each file the description lists ("null" entries list none).
    g_MediaPrefix = kShellMediaPrefix;
    g_ShellWindow = m_Window;
    for (const std::string& file : context.buttonFiles) {
        std::unique_ptr<CQVMenuButton> button(new (std::nothrow) CQVMenuButton());
        if (!button) return FailStartUp("Error allocating memory for buttons! exiting...");
        if (!button->Load(kShellMediaPrefix + file)) {
            Launcher_Message("Error loading button!");
            return;
        }
        m_Buttons.push_back(std::move(button));
    }

    g_Offscreen = m_Offscreen.get();
    if (context.playMovie != 0 && !context.movieFiles.empty()) {
        Platform_ShowCursor(false);
        PlayMovie(kShellMediaPrefix + context.movieFiles[0], 0);
    }
    m_PictureVisible = true;
    LoadSettings();
}

void CQVShellDlg::Invalidate(bool erase) {
    m_NeedPaint = true;
    m_NeedErase = m_NeedErase || erase;
}

bool CQVShellDlg::PumpMessages() {
    while (!m_Ended) {
        WindowMessage message;
        if (Platform_PeekMessage(&message, true)) {
            if (message.message == WM_QUIT) {
                OnCancel();
                break;
            }
            Platform_DispatchMessage(message);
            continue;
        }
        if (Platform_PeekTimer(&message)) {
            Platform_DispatchMessage(message);
            continue;
        }
        ServiceMovie();
        if (m_NeedPaint && !m_Ended) {
            if (m_NeedErase) OnEraseBackground();
            OnPaint();
        }
        break;
    }
    return !m_Ended;
}

LRESULT CQVShellDlg::WindowProc(uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE: OnMouseMove(LoWordSigned(lParam), HiWordSigned(lParam)); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(LoWordSigned(lParam), HiWordSigned(lParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_KEYDOWN:
        // Escape cancels; Enter (OK) does nothing.
        if (wParam == VK_ESCAPE) OnCancel();
        return 0;
    case WM_GRAPH_NOTIFY: OnGraphNotify(lParam); return 0;
    case WM_LAUNCH_BUTTON: OnLaunchButton(wParam); return 0;
    case WM_OPEN_SETTINGS: OnOpenSettings(); return 0;
    case WM_DESTROY: return 0;
    default: return Platform_DefWindowProc(m_Window, message, wParam, lParam);
    }
}

void CQVShellDlg::OnEraseBackground() {
    m_Canvas->Fill(0, 0, m_Canvas->GetWidth(), m_Canvas->GetHeight(), 0x000000);
    m_NeedErase = false;
}

void CQVShellDlg::OnPaint() {
    m_NeedPaint = false;
    // While a movie runs its frames are the picture.
    if (!m_MovieRunning && m_PictureVisible && m_Offscreen) {
        m_Background->DrawTo(m_Offscreen.get(), 0, 0);
        for (const auto& button : m_Buttons) button->Draw();
        m_Offscreen->Draw(m_Canvas.get(), m_PictureX, m_PictureY);
        if (g_ShellContext->drawRects != 0) {
            for (const auto& button : m_Buttons) {
                m_Canvas->FrameRect(m_PictureX + button->GetRectLeft(), m_PictureY + button->GetRectTop(),
                                    m_PictureX + button->GetRectRight(), m_PictureY + button->GetRectBottom(), 0xFFFFFF);
            }
        }
    }
    m_Canvas->Present();
}

void CQVShellDlg::OnMouseMove(int x, int y) {
    m_LastMouseX = x;
    m_LastMouseY = y;
    if (!m_MovieRunning) {
        for (size_t i = 0; i < m_Buttons.size(); ++i) {
            if (m_Buttons[i]->OnMouseMove(x - m_PictureX, y - m_PictureY) != 0) m_HoveredIndex = static_cast<int>(i);
        }
    }
    Invalidate(false);
}

void CQVShellDlg::OnLButtonDown(int x, int y) {
    if (m_MovieRunning) {
        if (m_PendingLaunchId != 0) {
            StopMovie();
            Platform_Sleep(kAfterMovieMs);
            LaunchPending();
        } else {
            StopMovie();
        }
        return;
    }
    // A click may close the window: nothing of the loop is touched after it.
    for (size_t i = 0; i < m_Buttons.size(); ++i) {
        if (m_Buttons[i]->OnLButtonDown(x - m_PictureX, y - m_PictureY) != 0) {
            Invalidate(true);
            return;
        }
    }
}

void CQVShellDlg::OnTimer(uintptr_t id) {
    for (const auto& button : m_Buttons) {
        if (button->OnTimer(id) != 0) Invalidate(false);
    }
}

void CQVShellDlg::OnClose() { OnCancel(); }

// Cancel stops any movie and ends the window; the buttons and pictures go
// with the window when the loop has ended, so a button's own click may close it.
void CQVShellDlg::OnCancel() {
    StopMovie();
    m_Ended = true;
}

void CQVShellDlg::OnOpenSettings() {
    LoadSettings();
    CQVSettingsDlg dialog(m_Settings);
    if (dialog.DoModal() == IDOK) {
        m_Settings = dialog.GetSettings();
        SaveSettings();
    }
    Invalidate(true);
}
