#pragma once
// One picture button of the launcher's menu, described by a button file:
// three pictures (normal, hover, and the bubble shown after the pointer has
// rested 500 ms), where they go, the hot rectangle, two sounds and what a
// click does.

#include "frontends/launcher/Bitmap.h"
#include "platform/Messages.h"

#include <cstdint>
#include <memory>
#include <string>

// Messages a click sends the shell window.
enum : uint32_t {
    WM_GRAPH_NOTIFY = 0x8001,   // a movie event; lParam: the movie's launch id (0: the start-up movie)
    WM_LAUNCH_BUTTON = 0x8002,  // wParam: the id of a button that starts the game
    WM_OPEN_SETTINGS = 0x8003,
};

enum MenuButtonState { BUTTON_NORMAL = 0, BUTTON_HOVER = 1, BUTTON_BUBBLE = 2 };

// How long the pointer rests on a button before its bubble shows.
constexpr uint32_t kBubbleDelayMs = 500;

// What the buttons share, set by the shell at start-up.
extern std::string g_MediaPrefix;  // a blank until the shell sets "shellmedia\"
extern HWND g_ShellWindow;         // the window the buttons' messages and timers go to
extern CQVBitmap* g_Offscreen;     // the picture the buttons draw into
extern int32_t g_NextButtonId;     // 1 at program start

class CQVMenuButton {
public:
    CQVMenuButton();

    // Reads a button file (a name as the launcher's files write it); false
    // when it can't be read, a key is out of order or a picture can't be loaded.
    bool Load(const std::string& path);
    // Draws the picture of the current state into g_Offscreen.
    void Draw() const;
    // A point in menu-picture coordinates. 1 when it lies on the hot rectangle.
    int OnMouseMove(int x, int y);
    int OnLButtonDown(int x, int y);
    // 1 when the timer was this button's.
    int OnTimer(uintptr_t timerId);
    void HoverEnter();
    void Click();
    // Opens the command (a program or document) with these parameters.
    void Launch(const std::string& parameters = std::string()) const;

    int32_t GetId() const { return m_Id; }
    int GetState() const { return m_State; }
    bool HasNormalImage() const { return m_NormalImage != nullptr; }
    int32_t GetRectLeft() const { return m_RectLeft; }
    int32_t GetRectTop() const { return m_RectTop; }
    int32_t GetRectRight() const { return m_RectRight; }
    int32_t GetRectBottom() const { return m_RectBottom; }
    const std::string& GetCommand() const { return m_Command; }
    bool IsShutdown() const { return m_Shutdown != 0; }

private:
    friend struct ButtonKeys;
    bool HitTest(int x, int y) const;

    std::unique_ptr<CQVBitmap> m_NormalImage;
    std::unique_ptr<CQVBitmap> m_HoverImage;
    std::unique_ptr<CQVBitmap> m_BubbleImage;
    int32_t m_PosX = 0;
    int32_t m_PosY = 0;
    int32_t m_RectLeft = 0;
    int32_t m_RectTop = 0;
    int32_t m_RectRight = 0;
    int32_t m_RectBottom = 0;
    int32_t m_Id;
    bool m_TimerRunning = false;
    std::string m_HoverSound;
    std::string m_ClickSound;
    std::string m_Command;
    int32_t m_Shutdown = 0;
    int m_State = BUTTON_NORMAL;
    bool m_HoverSoundPlayed = false;
};
