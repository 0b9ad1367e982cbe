// The Inventory's update step: the HUD, drawn every frame after the visible
// draw groups (and while the Inventory is the pause actor), as overlays in
// viewport pixels.

#include "actors/characters/Character.h"
#include "actors/gameplay/GameplayState.h"
#include "actors/gameplay/Inventory.h"
#include "actors/gameplay/UISupport.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Random.h"
#include "services/engine/Engine.h"
#include "services/library/LibraryItem.h"
#include "services/overlay/Overlay.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace {

// Text flags of the hand and gauge numbers, and of the mission clock.
constexpr uint32_t kNumberTextFlags = 0x12;
constexpr uint32_t kClockTextFlags = 8;
// A count above this is shown as no count at all.
constexpr uint32_t kShownCountLimit = 10000;
constexpr float kFlashFallPerSecond = 4.0f;
constexpr float kIconSize = 96.0f;
constexpr float kFlashSize = 64.0f;
constexpr float kGaugeColumn = 70.0f;
constexpr float kGrainPeriod = 1.0f / 15.0f;
constexpr float kGrainRepeat = 1.5625f;
constexpr float kSensorSize = 111.0f;
constexpr uint32_t kEnduranceMarks = 16;

CQVMaterialItem* MaterialById(uint32_t id) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || id == LIBRARY_NO_ITEM || !engine->IsValidItemId(id)) return nullptr;
    CQVLibraryItem* item = engine->GetItem(id);
    return item && item->kind == LIBRARY_MATERIAL ? static_cast<CQVMaterialItem*>(item) : nullptr;
}

// The item's icon set by the message's Set pair; null when it has none.
CQVMaterialItem* Icon(CQVActor* item, uint32_t getMessage) {
    return MaterialById(UI_Ask<uint32_t>(item, getMessage, LIBRARY_NO_ITEM));
}

// A quad of the whole texture, mirrored left to right when asked.
void Quad(CQVEngine* engine, float x, float y, float w, float h, bool mirrored, float r, float g, float b, float a,
          CQVMaterialItem* material) {
    if (material == nullptr) return;
    engine->AddQuadUV(x, y, w, h, mirrored ? 1.0f : 0.0f, 0.0f, mirrored ? 0.0f : 1.0f, 1.0f, r, g, b, a, material);
}

float WholePart(float value) { return std::floor(value); }

}  // namespace

void CQVInventory::Update() {
    if (!IsOperational()) return;
    CQVActor::Update();
    const float dt = m_Clock ? m_Clock->dt : 0.0f;
    if (m_Mission.hudShown) DrawHud(dt);
    if (m_CharacterNotify) UI_Send(m_MasterCharacter.target, MSG_UNNAMED_419);
    if (m_FilmGrain) DrawFilmGrain(dt);
    if (m_LightSensor) DrawLightSensor(dt);
    if (m_EnduranceShown) DrawEndurance();
    DrawFade();
}

void CQVInventory::DrawHand(CQVActor* hand, bool right, float dt) {
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVActor* item = hand && !hand->m_Children.empty() ? hand->m_Children.front() : nullptr;
    if (item == nullptr || item->m_ClassType != CLASS_GAME_OBJECT) return;
    CQVActor* ammo = item->FindChild("Ammo");
    if (!right && ammo == nullptr) return;
    const float ax = static_cast<float>(m_ViewW) - 250.0f + 128.0f;
    const float ay = static_cast<float>(m_ViewH) - 120.0f;
    // The right hand's pictures face the other way.
    const float side = right ? 0.0f : -60.0f;
    float& flash = right ? m_RightFlash : m_LeftFlash;
    uint32_t& shown = right ? m_RightAmmoValue : m_LeftAmmoValue;
    if (ammo && (!right || UI_Ask<uint32_t>(ammo, MSG_GET_AMMO_UNLIMITED) == 0)) {
        if (flash > 0.0f) {
            flash -= kFlashFallPerSecond * dt;
            Quad(engine, ax + side, ay + 50.0f, kFlashSize, kFlashSize, right, 1.0f, 1.0f, 1.0f, flash, m_AmmoFlare);
        }
        const uint32_t bullets = UI_Ask<uint32_t>(ammo, MSG_GET_AMMO_BULLETS);
        char text[32];
        if (right) {
            // The character's stock of the ammunition's first group; a
            // missing answer counts as none.
            uint32_t ask[2] = {0, 0};
            const uint32_t group = UI_Ask<uint32_t>(ammo, MSG_GET_AMMO_AMMOGROUPS);
            ask[0] = (group ? static_cast<uint32_t>(std::countr_zero(group)) : 32u) + 1;
            if (CQVCharacter* character = MasterCharacter()) character->HandleMessage(MSG_GET_AMMO_COUNT, Args_Of(&ask));
            if (ask[1] > kShownCountLimit) std::snprintf(text, sizeof text, "%d", static_cast<int>(bullets));
            else std::snprintf(text, sizeof text, "%d/%d", static_cast<int>(bullets), static_cast<int>(ask[1]));
            engine->AddText(ax + 22.0f, ay + 80.0f, 1.0f, 1.0f, 1.0f, 1.0f, text, kNumberTextFlags);
        } else {
            std::snprintf(text, sizeof text, "%d", static_cast<int>(bullets));
            engine->AddText(ax - 38.0f, ay + 80.0f, 1.0f, 1.0f, 1.0f, 1.0f, text, kNumberTextFlags);
        }
        // A change of the clip (a shot, a reload) flashes, but not the first showing.
        if (bullets != shown && shown != 0) flash = 1.0f;
        shown = bullets;
    }
    Quad(engine, right ? ax + 8.0f : ax - 104.0f, ay + 18.0f, kIconSize, kIconSize, right, 1.0f, 1.0f, 1.0f, 1.0f,
         Icon(item, MSG_GET_ICON2_MATERIAL_LIBID));
}

void CQVInventory::DrawHud(float dt) {
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    Font_SetCurrent(m_GameFont);
    DrawHand(m_RightHand.target, true, dt);
    DrawHand(m_LeftHand.target, false, dt);
    if (m_SelectorOpen && m_SelectorIndex >= 0 && m_SelectorCount > 0) {
        const float ax = static_cast<float>(m_ViewW) - 250.0f + 128.0f;
        const float ay = static_cast<float>(m_ViewH) - 120.0f;
        if (CQVActor* item = SelectorItem(m_SelectorIndex)) {
            Quad(engine, ax - 48.0f, ay - 70.0f, kIconSize, kIconSize, false, 1.0f, 1.0f, 1.0f, m_SelectorAlpha,
                 Icon(item, MSG_GET_ICON_MATERIAL_LIBID));
        }
    }
    if (m_ShowSouls) DrawGauges();
    if (m_ShowMissionTime) DrawMissionClock();
}

void CQVInventory::DrawGauges() {
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVActor* character = m_MasterCharacter.target;
    const float bx = static_cast<float>(m_ViewX) + 20.0f;
    const float by = static_cast<float>(m_ViewH) - 120.0f;
    const float health = UI_Ask<float>(character, MSG_GET_HEALTH);
    const float amount = UI_Ask<float>(m_SoulAmountActor.target, MSG_GET_CURRENT_NORMALIZED_TIME);
    const float height = amount * kGaugeColumn;
    // The fill rises from the column's foot, its texture cut to match.
    if (m_SoulIconFill) {
        engine->AddQuadUV(bx + 28.0f, by + 7.0f + kGaugeColumn - height, kGaugeColumn, height, 0.0f,
                          1.0f - height / kGaugeColumn, 1.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.8f, m_SoulIconFill);
    }
    Quad(engine, bx, by, 128.0f, 96.0f, false, 1.0f, 1.0f, 1.0f, 1.0f, m_SoulIcon);
    // Health above 100 blinks four times a second.
    const float time = m_Clock ? m_Clock->time : 0.0f;
    if (static_cast<int64_t>(WholePart(time * 8.0f)) % 2 != 0 &&
        UI_Ask<uint32_t>(character, MSG_CHARACTER_HEALTH_IS_ABOVE_100) != 0)
        Quad(engine, bx, by, 128.0f, 96.0f, false, 1.0f, 1.0f, 1.0f, 1.0f, m_SoulIcon02);
    char text[32];
    std::snprintf(text, sizeof text, "%d", UI_Truncate(health));
    engine->AddText(bx + 56.0f, by + 80.0f, 1.0f, 1.0f, 1.0f, 1.0f, text, kNumberTextFlags);
}

void CQVInventory::DrawMissionClock() {
    CQVActor* clock = m_MissionTimeActor.target;
    if (clock == nullptr) return;
    float t = UI_Ask<float>(clock, MSG_GET_CURRENT_TIME);
    if (!(t > 0.0f)) t = 0.0f;
    const float minutes = WholePart(t / 60.0f);
    const float rest = t - minutes * 60.0f;
    const float seconds = WholePart(rest);
    const float hundredths = WholePart((rest - seconds) * 100.0f);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", UI_Truncate(minutes), UI_Truncate(seconds));
    // The last minute blinks red, once a second.
    const bool red = minutes == 0.0f && hundredths < 50.0f;
    CQVEngine::GetInstance()->AddText(static_cast<float>(m_ViewW) - 90.0f, static_cast<float>(m_ViewY) + 20.0f, 1.0f,
                                      red ? 0.0f : 1.0f, red ? 0.0f : 1.0f, red ? 0.8f : 1.0f, text, kClockTextFlags);
}

void CQVInventory::DrawFilmGrain(float dt) {
    if (m_FilmGrainColor[3] == 0.0f) return;
    m_GrainTimer += dt;
    if (m_GrainTimer > kGrainPeriod) {
        g_GameplayState.grainU = static_cast<float>(Random_Next() % 1000) * 0.001f;
        g_GameplayState.grainV = static_cast<float>(Random_Next() % 1000) * 0.001f;
        m_GrainTimer = 0.0f;
    }
    const float u = g_GameplayState.grainU, v = g_GameplayState.grainV;
    CQVEngine::GetInstance()->AddQuadUV(0.0f, 0.0f, static_cast<float>(m_ViewW), static_cast<float>(m_ViewH), u, v,
                                        u + kGrainRepeat, v + kGrainRepeat * 0.75f, m_FilmGrainColor[0],
                                        m_FilmGrainColor[1], m_FilmGrainColor[2], m_FilmGrainColor[3], m_FilmGrain);
}

void CQVInventory::DrawLightSensor(float dt) {
    CQVActor* character = m_MasterCharacter.target;
    float target[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (character) character->HandleMessage(MSG_GET_COLOR, Args_Of(&target));
    const float mean = (target[0] + target[1] + target[2]) / 3.0f;
    if (mean > 0.0f) {
        // The light's hue at the character's own brightness.
        for (float& c : target) c /= mean;
        const float factor = 3.0f * UI_Ask<float>(character, MSG_CHAR_VISIBILITY);
        for (int i = 0; i < 3; ++i) target[i] *= factor;
    }
    float* shown = g_GameplayState.sensorColor;
    float distance = 0.0f;
    for (int i = 0; i < 4; ++i) distance += (target[i] - shown[i]) * (target[i] - shown[i]);
    distance = std::sqrt(distance);
    // It moves at most the frame time each frame, so a flash of light eases in.
    if (distance <= dt || distance <= 0.0f) {
        for (int i = 0; i < 4; ++i) shown[i] = target[i];
    } else {
        const float step = dt / distance;
        for (int i = 0; i < 4; ++i) shown[i] += (target[i] - shown[i]) * step;
    }
    CQVEngine* engine = CQVEngine::GetInstance();
    const float x = static_cast<float>(m_ViewX) + 20.0f, y = static_cast<float>(m_ViewH) - 120.0f;
    if (m_LightSensor2) engine->AddQuad(x, y, kSensorSize, kSensorSize, 0.4f, 0.4f, 0.4f, 1.0f, m_LightSensor2);
    engine->AddQuad(x, y, kSensorSize, kSensorSize, shown[0], shown[1], shown[2], shown[3], m_LightSensor);
}

void CQVInventory::DrawEndurance() {
    CQVCharacter* character = MasterCharacter();
    if (character == nullptr) return;
    if (character->m_Capacity < 0.0f) character->m_Capacity = 0.0f;
    const float e = 1.0f - UI_Ask<float>(character, MSG_GET_CAPACITY);
    const float marks = 16.0f * e;
    const float whole = WholePart(marks);
    const int count = 1 + UI_Truncate(whole);
    CQVEngine* engine = CQVEngine::GetInstance();
    const float x = static_cast<float>(m_ViewX), bottom = static_cast<float>(m_ViewH);
    // Grey through orange to red along the row; the last mark shows the fraction.
    for (int i = 0; i < count && i <= static_cast<int>(kEnduranceMarks); ++i) {
        const float k = 0.6f - 0.05f * static_cast<float>(i + 1);
        const float r = 0.3125f * (k + 1.0f);
        const float g = i >= 7 ? 1.0f : 1.6f * (0.6f - k);
        const float alpha = static_cast<float>(i) == whole ? marks - whole : 1.0f;
        engine->AddSprite(x + 138.0f + 4.0f * static_cast<float>(i), bottom - 25.0f, r + (1.0f - r) * g,
                          r + (k - r) * g, r * (1.0f - g), alpha, m_EnduranceMark);
    }
    engine->AddSprite(x + 143.0f, bottom - 26.0f, 1.0f, 1.0f, 1.0f, 1.0f, m_EnduranceBack);
}

void CQVInventory::DrawFade() {
    const ScreenFade& fade = m_Mission.fade;
    if (!fade.active && fade.level != 1.0f) return;
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr) return;
    engine->SetScreenQuad(0.0f, 0.0f, static_cast<float>(m_ViewW2), static_cast<float>(m_ViewH2), 0.0f, 0.0f, 0.0f,
                          fade.level, m_Black);
}
