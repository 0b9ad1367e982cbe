#include "frontends/launcher/MenuButton.h"

#include "frontends/common/Paths.h"
#include "frontends/common/Tokenizer.h"
#include "platform/Window.h"
#include "platform/shell/ShellOpen.h"
#include "platform/shell/ShellSound.h"
#include "platform/shell/Timer.h"

#include <cstdio>
#include <cstring>

std::string g_MediaPrefix = " ";
HWND g_ShellWindow = nullptr;
CQVBitmap* g_Offscreen = nullptr;
int32_t g_NextButtonId = 1;

enum class ButtonValue { Image, Number, Text, Flag };

// The keys of a button file in their order.
struct ButtonKeys {
    struct Key {
        const char* key;
        ButtonValue kind;
        std::unique_ptr<CQVBitmap> CQVMenuButton::*image;
        int32_t CQVMenuButton::*number;
        std::string CQVMenuButton::*text;
    };
    static const Key kKeys[13];
};

const ButtonKeys::Key ButtonKeys::kKeys[13] = {
    {"image_lo", ButtonValue::Image, &CQVMenuButton::m_NormalImage, nullptr, nullptr},
    {"image_hi", ButtonValue::Image, &CQVMenuButton::m_HoverImage, nullptr, nullptr},
    {"image_bubble", ButtonValue::Image, &CQVMenuButton::m_BubbleImage, nullptr, nullptr},
    {"pos_x", ButtonValue::Number, nullptr, &CQVMenuButton::m_PosX, nullptr},
    {"pos_y", ButtonValue::Number, nullptr, &CQVMenuButton::m_PosY, nullptr},
    {"rect_l", ButtonValue::Number, nullptr, &CQVMenuButton::m_RectLeft, nullptr},
    {"rect_t", ButtonValue::Number, nullptr, &CQVMenuButton::m_RectTop, nullptr},
    {"rect_r", ButtonValue::Number, nullptr, &CQVMenuButton::m_RectRight, nullptr},
    {"rect_b", ButtonValue::Number, nullptr, &CQVMenuButton::m_RectBottom, nullptr},
    {"sound_hoover", ButtonValue::Text, nullptr, nullptr, &CQVMenuButton::m_HoverSound},
    {"sound_click", ButtonValue::Text, nullptr, nullptr, &CQVMenuButton::m_ClickSound},
    {"execute_cmd", ButtonValue::Text, nullptr, nullptr, &CQVMenuButton::m_Command},
    {"shutdown", ButtonValue::Flag, nullptr, &CQVMenuButton::m_Shutdown, nullptr},
};

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Sends a message to the shell window and returns when it is handled.
void SendToShell(uint32_t message, WPARAM wParam = 0) {
    if (g_ShellWindow != nullptr) Platform_DispatchMessage(WindowMessage{g_ShellWindow, message, wParam, 0});
}

// A sound of the menu, played while the menu goes on; a button without one
// plays nothing.
void PlayMenuSound(const std::string& file) {
    if (!file.empty()) Platform_PlaySound(Frontend_DiskPath(g_MediaPrefix + file));
}

// Sounds are read with their button, not when they first play.
void LoadMenuSound(const std::string& file) {
    if (!file.empty()) Platform_LoadSound(Frontend_DiskPath(g_MediaPrefix + file));
}

}  // namespace

CQVMenuButton::CQVMenuButton() : m_Id(g_NextButtonId++) {}

bool CQVMenuButton::Load(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(Frontend_OpenFile(path));
    if (!file) return false;
    CQVTokenizer tokens;
    if (!tokens.Read(file.get(), " =")) return false;
    for (const ButtonKeys::Key& key : ButtonKeys::kKeys) {
        const char* value = Frontend_ReadKey(tokens, key.key);
        if (value == nullptr) return false;
        if (std::strcmp(value, kFrontendNull) == 0) continue;
        switch (key.kind) {
        case ButtonValue::Image: {
            auto image = std::make_unique<CQVBitmap>();
            if (!image->LoadFromFile(g_MediaPrefix + value)) return false;
            this->*key.image = std::move(image);
            break;
        }
        case ButtonValue::Number: this->*key.number = Frontend_ReadInt(value); break;
        case ButtonValue::Text: this->*key.text = value; break;
        case ButtonValue::Flag: this->*key.number = std::strcmp(value, "true") == 0 ? 1 : 0; break;
        }
    }
    LoadMenuSound(m_HoverSound);
    LoadMenuSound(m_ClickSound);
    return true;
}

void CQVMenuButton::Draw() const {
    const CQVBitmap* images[] = {m_NormalImage.get(), m_HoverImage.get(), m_BubbleImage.get()};
    if (const CQVBitmap* image = images[m_State]) image->DrawTo(g_Offscreen, m_PosX, m_PosY);
}

bool CQVMenuButton::HitTest(int x, int y) const {
    return m_NormalImage != nullptr && x >= m_RectLeft && x < m_RectRight && y >= m_RectTop && y < m_RectBottom;
}

int CQVMenuButton::OnMouseMove(int x, int y) {
    if (m_NormalImage == nullptr) return 0;
    if (HitTest(x, y)) {
        HoverEnter();
        return 1;
    }
    m_State = BUTTON_NORMAL;
    m_HoverSoundPlayed = false;
    Platform_KillTimer(g_ShellWindow, static_cast<uintptr_t>(m_Id));
    m_TimerRunning = false;
    return 0;
}

void CQVMenuButton::HoverEnter() {
    if (m_State != BUTTON_BUBBLE) m_State = BUTTON_HOVER;
    if (!m_TimerRunning) {
        Platform_SetTimer(g_ShellWindow, static_cast<uintptr_t>(m_Id), kBubbleDelayMs);
        m_TimerRunning = true;
    }
    if (!m_HoverSoundPlayed) {
        PlayMenuSound(m_HoverSound);
        m_HoverSoundPlayed = true;
    }
}

int CQVMenuButton::OnTimer(uintptr_t timerId) {
    if (timerId != static_cast<uintptr_t>(m_Id)) return 0;
    m_State = BUTTON_BUBBLE;
    // The running flag stays until the pointer leaves, so the bubble is not
    // started again while the pointer rests.
    Platform_KillTimer(g_ShellWindow, timerId);
    return 1;
}

int CQVMenuButton::OnLButtonDown(int x, int y) {
    if (!HitTest(x, y)) return 0;
    Click();
    return 1;
}

void CQVMenuButton::Click() {
    PlayMenuSound(m_ClickSound);
    if (m_Command == "exit") {
        SendToShell(WM_CLOSE);
    } else if (m_Command == "SPECIAL_1") {
        SendToShell(WM_OPEN_SETTINGS);
    } else if (m_Shutdown != 0) {
        SendToShell(WM_LAUNCH_BUTTON, static_cast<WPARAM>(m_Id));
    } else {
        Launch();
    }
}

void CQVMenuButton::Launch(const std::string& parameters) const {
    Platform_ShellOpen(Frontend_DiskPath(m_Command), parameters, std::string());
}
