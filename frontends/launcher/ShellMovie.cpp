// The menu window's movies and the start of the game.

#include "frontends/common/Paths.h"
#include "frontends/launcher/ShellContext.h"
#include "frontends/launcher/ShellDlg.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "platform/shell/Canvas.h"
#include "platform/shell/MessageBox.h"
#include "platform/shell/WindowMovie.h"

bool CQVShellDlg::PlayMovie(const std::string& path, int32_t launchId) {
    if (!m_MovieRunning) {
        std::string error;
        m_Movie = PlatformWindowMovie::Open(Frontend_DiskPath(path), &error);
        if (!m_Movie) Platform_MessageBox(m_Window, "IDS_CANT_RENDER_FILE -> " + path, "Error");
        m_PendingLaunchId = launchId;
        m_MovieRunning = true;
        m_MovieEndSeen = false;
        m_MovieEvents.clear();
    }
    if (m_Movie) m_Movie->Run();
    Invalidate(true);
    return true;
}

void CQVShellDlg::StopMovie() {
    if (!m_MovieRunning) return;
    m_Movie.reset();
    m_MovieRunning = false;
    m_MovieEvents.clear();
    Platform_ShowCursor(true);
    // The menu shows again where the movie was.
    Invalidate(true);
}

// Frames go to the top-left 640 x 480 of the window as they come due; the
// end is reported as a movie event. A movie that could not be read ends at
// once, so what follows it is not held up.
void CQVShellDlg::ServiceMovie() {
    if (!m_MovieRunning || m_MovieEndSeen) return;
    if (m_Movie) {
        MovieVideoFrame frame;
        if (m_Movie->TakeFrame(&frame)) {
            m_Canvas->DrawStretched(0, 0, kMenuWidth, kMenuHeight, frame.pixels.data(), static_cast<int>(frame.width),
                                    static_cast<int>(frame.height));
            m_Canvas->Present();
        }
        if (!m_Movie->HasEnded()) return;
    }
    m_MovieEndSeen = true;
    m_MovieEvents.push_back(MOVIE_EVENT_COMPLETE);
    Platform_PostMessage(m_Window, WM_GRAPH_NOTIFY, 0, static_cast<LPARAM>(m_PendingLaunchId & 0xFFFF));
}

void CQVShellDlg::OnGraphNotify(LPARAM launchId) {
    while (!m_MovieEvents.empty()) {
        const int32_t event = m_MovieEvents.front();
        m_MovieEvents.pop_front();
        if (event != MOVIE_EVENT_COMPLETE && event != MOVIE_EVENT_USER_ABORT) {
            Invalidate(true);
            continue;
        }
        StopMovie();
        Platform_Sleep(kAfterMovieMs);
        if ((launchId & 0xFFFF) != 0) {
            LaunchPending();
        } else {
            Invalidate(true);
        }
        return;
    }
}

// A button that starts the game: the launch movie first when there is one
// to play; without one the game starts at once.
void CQVShellDlg::OnLaunchButton(WPARAM buttonId) {
    int found = -1;
    for (size_t i = 0; i < m_Buttons.size(); ++i) {
        if (static_cast<WPARAM>(m_Buttons[i]->GetId()) == buttonId) found = static_cast<int>(i);
    }
    if (found < 0) return;
    m_PendingButton = found;
    const ShellContext& context = *g_ShellContext;
    if (context.playMovie != 0 && context.movieFiles.size() >= 2) {
        Platform_ShowCursor(false);
        PlayMovie(kShellMediaPrefix + context.movieFiles[1], static_cast<int32_t>(buttonId));
        return;
    }
    LaunchPending();
}

void CQVShellDlg::LaunchPending() {
    if (m_PendingButton >= 0 && static_cast<size_t>(m_PendingButton) < m_Buttons.size())
        m_Buttons[static_cast<size_t>(m_PendingButton)]->Launch(BuildCommandLine());
    Platform_DispatchMessage(WindowMessage{m_Window, WM_CLOSE, 0, 0});
}
