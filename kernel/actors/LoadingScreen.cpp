#include "kernel/actors/LoadingScreen.h"

#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ActorSystemHandler.h"

#include <algorithm>
#include <cmath>
#include <string>

LoadingScreenState g_LoadingScreen;

namespace {

// Half the bar's width either side of the screen's centre, and how far its
// top and the text stand above the screen's bottom.
constexpr int32_t BAR_HALF_WIDTH = 200;
constexpr int32_t BAR_RAISE = 80;
constexpr int32_t BAR_HEIGHT = 8;
constexpr int32_t TEXT_RAISE = 130;
constexpr float BAR_SPAN = 400.0f;
constexpr uint32_t TEXT_FLAGS = 1;

const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float LOGO_COLOR[4] = {1.0f, 1.0f, 1.0f, 0.5f};
const float BLACK[4] = {0.0f, 0.0f, 0.0f, 1.0f};

std::string g_Title;

// The bar's place is any float a level sets, and its progress grows without
// end when a load has no records: both are held to a range in which the
// bar's sums stay exact and within ints.
float OnScreen(float value) {
    constexpr float LIMIT = 1.0e6f;
    if (std::isnan(value)) return 0.0f;
    return std::clamp(value, -LIMIT, LIMIT);
}

void Viewport(int32_t* width, int32_t* height) {
    *width = 0;
    *height = 0;
    if (g_ActorSystemServices.getViewport) g_ActorSystemServices.getViewport(width, height);
}

void LoadCallback(int) {
    if (g_ActorSystem) g_ActorSystem->UpdateLoadingScreen(nullptr);
}

void Fill(const LoadRect& rect, const float color[4]) {
    g_ActorSystemServices.fillScreenRect(rect.left, rect.top, rect.right, rect.bottom, color);
}

}  // namespace

const char* LoadingScreen_Title() {
    g_Title = g_ActorSystemServices.lookupText ? g_ActorSystemServices.lookupText("LOADING") : "LOADING";
    return g_Title.c_str();
}

void CQVActorSystem::StartLoadingScreen(uint32_t count) {
    LoadingScreenState& screen = g_LoadingScreen;
    m_LoadingText = LoadingScreen_Title();
    screen.tick = 0;
    screen.progress = 0.0f;
    screen.step = BAR_SPAN / (static_cast<float>(count) * 0.01f);
    screen.redraws = 0;
    int32_t width, height;
    Viewport(&width, &height);
    const float px = OnScreen(m_LoadBarPosition.x), py = OnScreen(m_LoadBarPosition.y);
    LoadRect& bar = screen.bar;
    bar.left = static_cast<int32_t>(static_cast<float>(width / 2) + px - BAR_HALF_WIDTH);
    bar.top = static_cast<int32_t>(static_cast<float>(height) + py - BAR_RAISE);
    bar.right = static_cast<int32_t>(static_cast<float>(width / 2) + px + BAR_HALF_WIDTH);
    bar.bottom = bar.top + BAR_HEIGHT;
    screen.border = LoadRect{bar.left - 2, bar.top - 2, bar.right + 2, bar.bottom + 2};
    screen.fill = LoadRect{bar.left + 2, bar.top + 2, bar.left + 2, bar.bottom - 2};
    screen.barWidth = static_cast<float>(bar.right - bar.left);
    auto find = g_ActorSystemServices.findItem;
    screen.background = find ? find("Menu_Back", LIBRARY_KIND_MATERIAL) : nullptr;
    screen.logo = find ? find("Menu_MarnLogo", LIBRARY_KIND_MATERIAL) : nullptr;
    m_LoadCallback = &LoadCallback;
}

void CQVActorSystem::UpdateLoadingScreen(const char* text) {
    LoadingScreenState& screen = g_LoadingScreen;
    screen.tick += 1;
    if (screen.tick < screen.interval) return;
    screen.tick = 0;
    screen.progress += screen.step;
    // The fill never grows past the bar's inner edge.
    const int32_t progress = static_cast<int32_t>(OnScreen(screen.progress));
    screen.fill.right = std::min(screen.bar.left + 2 + progress, screen.bar.right - 2);

    const ActorSystemServices& services = g_ActorSystemServices;
    int32_t width, height;
    Viewport(&width, &height);
    if (services.addQuad) {
        if (screen.logo) services.addQuad(0.0f, 0.0f, 1.0f, 1.0f, LOGO_COLOR, screen.logo);
        if (screen.background) {
            services.addQuad(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), WHITE,
                             screen.background);
        }
    }
    if (services.addText) {
        const float x = static_cast<float>(width / 2) + m_LoadBarTextPosition.x - BAR_HALF_WIDTH;
        const float y = static_cast<float>(height) + m_LoadBarTextPosition.y - TEXT_RAISE;
        services.addText(x, y, m_LoadBarTextColor, text ? text : m_LoadingText.c_str(), TEXT_FLAGS);
    }
    if (services.beginFrame == nullptr || !services.beginFrame()) return;
    if (services.drawOverlays) services.drawOverlays();
    if (services.fillScreenRect) {
        Fill(screen.border, m_LoadBarColor);
        Fill(screen.bar, BLACK);
        Fill(screen.fill, m_LoadBarColor);
    }
    if (services.endFrame) services.endFrame();
    screen.redraws += 1;
}

void CQVActorSystem::EndLoadingScreen() {
    m_LoadCallback = nullptr;
    g_LoadingScreen.background = nullptr;
}

void LoadingScreen_Reset() { g_LoadingScreen = LoadingScreenState{}; }
