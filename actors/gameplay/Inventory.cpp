#include "actors/gameplay/Inventory.h"

#include "actors/characters/Character.h"
#include "actors/characters/CharactersState.h"
#include "actors/characters/Player.h"
#include "actors/gameplay/GameplayState.h"
#include "actors/gameplay/UISupport.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/actors/TimedMessage.h"
#include "kernel/base/Archive.h"
#include "kernel/base/FrameTime.h"
#include "kernel/base/TextTable.h"
#include "services/engine/Engine.h"
#include "services/input/Input.h"
#include "services/library/Library.h"
#include "services/library/LibraryItem.h"
#include "services/render/View.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace {

constexpr MessageRow kInventoryRows[] = {
    SheetRow("Inventory Properties", PROP_TITLE),
};

constexpr MessageTable kInventoryMessages{kInventoryRows};

// "Inventory Hack" codes of the HUD and the option rows; the mission codes
// are the mission flow's.
enum : uint32_t {
    HACK_HIDE_MISSION_TIME = 10,
    HACK_SHOW_MISSION_TIME = 11,
    HACK_HIDE_SOULS = 12,
    HACK_SHOW_SOULS = 13,
    HACK_NEXT_MUSIC_VOLUME = 52,
    HACK_SHOW_MUSIC_VOLUME = 53,
    HACK_NEXT_EFFECT_VOLUME = 54,
    HACK_SHOW_EFFECT_VOLUME = 55,
};

constexpr uint32_t kMusicGroup = 1;
constexpr uint32_t kEffectGroup = 0;
// The HUD is laid out in 800 x 600 reference units.
constexpr float kReferenceScaleX = 0.00125f;
constexpr float kReferenceScaleY = 0.0016667f;
// A movie fade this short starts from black.
constexpr float kInstantMovieFade = 0.01f;
constexpr float kInputStep = 1.0f / 30.0f;

// The text table's text of a key ("" without a table).
std::string Translate(const char* key) {
    CQVTextTable* table = CQVTextTable::GetInstance();
    return table ? table->GetText(key) : std::string();
}

CQVMaterialItem* FindMaterial(CQVEngine* engine, const char* name) {
    CQVLibraryItem* item = engine ? engine->FindItem(name, LIBRARY_MATERIAL) : nullptr;
    if (item == nullptr || item->kind != LIBRARY_MATERIAL) return nullptr;
    // Its textures are made now, not on the frame that first draws them.
    Library_LoadItem(item);
    return static_cast<CQVMaterialItem*>(item);
}

// Every playing sound of every actor gets the message.
void SendToAllSounds(uint32_t id) {
    if (!g_ActorSystem) return;
    const MessageArgs none;
    RecursiveCommandArgs recursive{id, &none};
    g_ActorSystem->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(&recursive));
}

void StopPlayerActions() {
    CQVActor* character = Script_GetGAVariable(1);
    UI_Send(character, MSG_CC_RACTION1_STOP);
    UI_Send(character, MSG_CC_RACTION2_STOP);
    UI_Send(character, MSG_CC_LACTION1_STOP);
}

// The first ammunition group of a bit set (from 0); 32 when none is set.
uint32_t LowestGroup(uint32_t groups) { return groups ? static_cast<uint32_t>(std::countr_zero(groups)) : 32u; }

}  // namespace

CQVInventory::CQVInventory() {
    m_ClassType = CLASS_INVENTORY;
    g_ShowSaveContinueMenu = 0;
    for (ActorLink* link : {&m_MasterCharacter, &m_ItemsActor, &m_LeftHand, &m_RightHand, &m_MissionTimeActor,
                            &m_SoulAmountActor})
        link->SetOwner(this);
}

CQVCharacter* CQVInventory::MasterCharacter() const {
    return dynamic_cast<CQVCharacter*>(m_MasterCharacter.target);
}

CQVActor* CQVInventory::SelectorItem(int32_t index) const {
    if (index < 0 || static_cast<uint32_t>(index) >= m_SelectorCount) return nullptr;
    CQVActor* item = CQVActorSystem::GetActorById(m_SelectorItems[index]);
    return item && item->m_ClassType == CLASS_GAME_OBJECT ? item : nullptr;
}

void CQVInventory::FadeDown(float seconds) { m_Mission.fade.Down(seconds); }
void CQVInventory::FadeUp(float seconds) { m_Mission.fade.Up(seconds); }

void CQVInventory::Precalculate() {
    m_MusicLabel = Translate("MUSIC_VOLUME");
    m_EffectLabel = Translate("SOUND_EFFECT_VOLUME");
    CQVEngine* engine = CQVEngine::GetInstance();
    CQVLibraryItem* font = engine ? engine->FindItem("GameFont", LIBRARY_FONT) : nullptr;
    m_GameFont = font && font->kind == LIBRARY_FONT ? static_cast<CQVFontItem*>(font) : nullptr;
    // The font's glyphs are made now, not on the first frame of the HUD.
    if (m_GameFont) Library_LoadItem(m_GameFont);
    m_Black = FindMaterial(engine, "Black");
    m_AmmoFlare = FindMaterial(engine, "AmmoFlare");
    m_SoulIcon = FindMaterial(engine, "SoulIcon");
    m_SoulIcon02 = FindMaterial(engine, "SoulIcon02");
    m_SoulIconFill = FindMaterial(engine, "SoulIconFill");
    m_EnduranceBack = FindMaterial(engine, "endurance_back");
    m_EnduranceMark = FindMaterial(engine, "endurance_mark");
    m_EnduranceShown = m_EnduranceBack ? 1 : 0;
    m_Mission.pendingMission = -1;
    m_MissionTimeActor.SetTarget(UI_Find(this, "MissionTime"));
    m_SoulAmountActor.SetTarget(CQVActorSystem::FindActorByPath("/Global/ScriptSoul/Amount", nullptr));
    m_FilmGrain = FindMaterial(engine, "FilmGrain");
    m_LightSensor = FindMaterial(engine, "LightSensor");
    m_LightSensor2 = FindMaterial(engine, "LightSensor2");

    const uint32_t width = Graphics_GetViewportWidth(), height = Graphics_GetViewportHeight();
    if (width && height) {
        m_ViewW = m_ViewW2 = width;
        m_ViewH = m_ViewH2 = height;
    }
    m_HalfW = m_ViewW2 / 2;
    m_HalfH = m_ViewH2 / 2;
    m_ViewX = m_ViewY = 0;
    m_Scale.x = static_cast<float>(m_ViewW) * kReferenceScaleX;
    m_Scale.y = static_cast<float>(m_ViewH) * kReferenceScaleY;
    InvalidateTransform();
    m_Mission.hudShown = 0;
    UI_ScheduleProcess(this);
}

void CQVInventory::FindMasterCharacter() {
    auto* player = dynamic_cast<CQVPlayer*>(CQVActorSystem::FindActorByName("MASTERPLAYER", CLASS_PLAYER));
    if (player == nullptr) return;
    CQVActor* character = player->m_CharacterPath.empty()
                              ? player->Character()
                              : CQVActorSystem::FindActorByPath(player->m_CharacterPath.c_str(), player);
    if (character == nullptr) return;
    m_MasterCharacter.SetTarget(character);
    m_LeftHand.SetTarget(UI_Find(character, "LeftHand"));
    m_RightHand.SetTarget(UI_Find(character, "RightHand"));
    m_ItemsActor.SetTarget(UI_Find(character, "Items"));
}

void CQVInventory::StartGame() {
    if (m_MasterCharacter.target == nullptr) FindMasterCharacter();
    // The clock scales, the slow motion, the HUD, the mission map and the fade from black.
    m_Mission.StartGame(*this);
    if (g_CurrentMission == kMissionWithoutHud) {
        m_CharacterNotify = 0;
        m_LightSensor = nullptr;
    }
    // The icons of what the character carries are made now, not when first shown.
    CQVEngine* engine = CQVEngine::GetInstance();
    for (CQVActor* group : {m_ItemsActor.target, m_LeftHand.target, m_RightHand.target}) {
        if (group == nullptr || engine == nullptr) continue;
        for (CQVActor* item : group->m_Children) {
            if (item == nullptr || item->m_ClassType != CLASS_GAME_OBJECT) continue;
            for (uint32_t message : {MSG_GET_ICON_MATERIAL_LIBID, MSG_GET_ICON2_MATERIAL_LIBID}) {
                const uint32_t id = UI_Ask<uint32_t>(item, message, LIBRARY_NO_ITEM);
                if (id != LIBRARY_NO_ITEM && engine->IsValidItemId(id)) Library_LoadItem(engine->GetItem(id));
            }
        }
    }
}

void CQVInventory::Pause(float seconds) {
    m_PauseTime = seconds;
    // The third word keeps the frame on its normal path: only the clocks stand.
    if (seconds > 0.0f && g_ActorSystem) g_ActorSystem->SetPaused(1, this, 1);
}

void CQVInventory::ZoomQuad(MessageArgs args) {
    const float alpha = Args_Get<float>(args, 4);
    const float size = Args_Get<float>(args, 8);
    const uint32_t materialId = Args_Get<uint32_t>(args, 12);
    CQVEngine* engine = CQVEngine::GetInstance();
    if (engine == nullptr || !engine->IsValidItemId(materialId)) return;
    CQVLibraryItem* item = engine->UseItem(materialId);
    if (item == nullptr || item->kind != LIBRARY_MATERIAL) return;
    auto* material = static_cast<CQVMaterialItem*>(item);
    CQVLibraryItem* texture = engine->GetMaterialTexture(material, 0);
    const float height = texture && texture->kind == LIBRARY_TEXTURE
                             ? static_cast<float>(engine->GetTextureHeight(static_cast<CQVTextureItem*>(texture)))
                             : 0.0f;
    const float side = (size + 1.0f) * height;
    const float x = static_cast<float>(UI_Truncate(static_cast<float>(m_HalfW) - side / 2.0f));
    const float y = static_cast<float>(UI_Truncate(static_cast<float>(m_HalfH) - side / 2.0f));
    const float width = static_cast<float>(UI_Truncate(side));
    const float opacity = alpha - std::min(0.1f * size, alpha);
    engine->AddQuad(x, y, width, width, 1.0f, 1.0f, 1.0f, opacity, material);
}

void CQVInventory::VolumeOption(uint32_t code) {
    const bool music = code == HACK_NEXT_MUSIC_VOLUME || code == HACK_SHOW_MUSIC_VOLUME;
    const bool advance = code == HACK_NEXT_MUSIC_VOLUME || code == HACK_NEXT_EFFECT_VOLUME;
    CQVActor* option = CQVActorSystem::FindActorByName(music ? "MusicVolume" : "SoundEffectVolume", ACTOR_ID_ANY);
    CQVActor* text = UI_Find(option, "Text");
    if (text == nullptr) return;
    uint32_t& step = music ? g_MusicVolumeStep : g_EffectVolumeStep;
    float& volume = music ? g_MusicVolume : g_EffectVolume;
    if (advance) {
        step = (step + 1) % kVolumeStepCount;
        volume = static_cast<float>(step + 1) * 0.1f + 0.5f;
    }
    char number[16];
    std::snprintf(number, sizeof number, ": %u", step + 1);
    const std::string shown = (music ? m_MusicLabel : m_EffectLabel) + number;
    UI_SendText(text, MSG_SET_UI_TEXT_TEXT, shown.c_str());
    if (!advance) return;
    if (CQVEngine* engine = CQVEngine::GetInstance()) engine->SetSoundGroupVolume(music ? kMusicGroup : kEffectGroup, volume);
    SendToAllSounds(MSG_SOUND_UPDATE_PLAYING_SOUND_PARAMS);
}

int CQVInventory::HandleMessage(uint32_t id, MessageArgs args) {
    if (const int result = m_Mission.HandleMessage(*this, id, args); result != -1) return result;
    switch (id) {
    case MSG_PRECALCULATE:
        Precalculate();
        break;
    case MSG_START_GAME:
        StartGame();
        break;
    case MSG_GET_VISIBLE_1C9:
        Args_Answer<uint32_t>(args, m_SelectorOpen && m_SelectorAlpha > 0.5f ? 1u : 0u);
        break;
    case MSG_FADE_DOWN:
        FadeDown(Args_Get<float>(args));
        break;
    case MSG_FADE_UP:
        FadeUp(Args_Get<float>(args));
        break;
    case MSG_FADE_DOWN_PLAY_MOVIE: {
        // {String128 name, f32 seconds}
        char name[129] = {};
        if (const char* text = Args_Text(args)) std::snprintf(name, sizeof name, "%s", text);
        const float seconds = Args_Get<float>(args, 128);
        m_MovieFadeTime = seconds;
        m_MovieName = name;
        m_Mission.fade.active = 0;
        FadeDown(seconds);
        if (seconds <= kInstantMovieFade) m_Mission.fade.level = 1.0f;
        break;
    }
    case MSG_UNNAMED_233:
        ZoomQuad(args);
        break;
    case MSG_INVENTORY_PAUSE:
        Pause(Args_Get<float>(args));
        break;
    case MSG_ADD_TOTAL_SCORE:
        g_TotalScore += Args_Get<float>(args);
        break;
    case MSG_SUB_TOTAL_SCORE:
        g_TotalScore -= Args_Get<float>(args);
        break;
    case MSG_SET_TOTAL_SCORE:
        g_TotalScore = Args_Get<float>(args);
        break;
    case MSG_GET_TOTAL_SCORE:
        Args_Answer<float>(args, g_TotalScore);
        break;
    case MSG_CLEAR_TOTAL_SCORE:
        g_TotalScore = 0.0f;
        break;
    case MSG_INVENTORY_HACK:
        switch (const uint32_t code = Args_Get<uint32_t>(args)) {
        case HACK_HIDE_MISSION_TIME:
        case HACK_SHOW_MISSION_TIME:
            m_ShowMissionTime = code == HACK_SHOW_MISSION_TIME;
            break;
        case HACK_HIDE_SOULS:
        case HACK_SHOW_SOULS:
            m_ShowSouls = code == HACK_SHOW_SOULS;
            break;
        case HACK_NEXT_MUSIC_VOLUME:
        case HACK_SHOW_MUSIC_VOLUME:
        case HACK_NEXT_EFFECT_VOLUME:
        case HACK_SHOW_EFFECT_VOLUME:
            VolumeOption(code);
            break;
        default:
            break;
        }
        break;
    case MSG_SET_FILMGRAIN_COLOR:
        for (size_t i = 0; i < 4; ++i) m_FilmGrainColor[i] = Args_Get<float>(args, i * sizeof(float));
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

int CQVInventory::Serialize(CQVActorArchive* archive, uint32_t flags) {
    if (!CQVActor::Serialize(archive, flags)) return 0;
    // Words the format keeps room for; written as 0, ignored when read.
    uint32_t unused[7] = {};
    if (archive->version >= 1) archive->SerializeDwords(unused, 4);
    if (archive->version >= 35) archive->SerializeDwords(unused, 7);
    return archive->HasFailed() ? 0 : 1;
}

void CQVInventory::BuildSelectorList() {
    m_SelectorCount = 0;
    CQVActor* items = m_ItemsActor.target;
    CQVCharacter* character = MasterCharacter();
    if (items == nullptr || character == nullptr) return;
    for (CQVActor* item : items->m_Children) {
        if (m_SelectorCount >= kSelectorCapacity) break;
        if (item == nullptr || item->m_ClassType != CLASS_GAME_OBJECT) continue;
        CQVActor* ammo = item->FindChild("Ammo");
        if (ammo == nullptr) continue;
        // Ammunition of no group is no ammunition: nothing to offer.
        const uint32_t group = LowestGroup(UI_Ask<uint32_t>(ammo, MSG_GET_AMMO_AMMOGROUPS));
        if (group >= kAmmoTypeCount || !character->m_HasAmmo[group]) continue;
        m_SelectorItems[m_SelectorCount++] = item->m_Id;
    }
}

void CQVInventory::CloseSelector() {
    m_SelectorTimer = kSelectorFadeTime;
    m_SelectorSpeed = -kSelectorFadeSpeed;
}

void CQVInventory::Choose(uint32_t grabMessage) {
    if (CQVActor* item = SelectorItem(m_SelectorIndex)) {
        m_SelectorIndex = -1;
        if (CQVActor* character = m_MasterCharacter.target) character->HandleMessage(grabMessage, Args_Of(&item));
    }
    CloseSelector();
}

void CQVInventory::StepSelector(float dt) {
    const bool previous = CQVEngine::WasActionPressed(QVDI_BUTTONH, 0) != 0;
    const bool next = CQVEngine::WasActionPressed(QVDI_BUTTONG, 0) != 0;
    if (!m_SelectorOpen && (previous || next)) {
        if (m_SelectorCount > 0) m_SelectorIndex = 0;
        m_SelectorOpen = 1;
        m_SelectorAlpha = 0.0f;
        m_SelectorSpeed = kSelectorFadeSpeed;
        m_SelectorTimer = kSelectorFadeTime;
    }
    if (m_SelectorCount > 0 && m_SelectorTimer < 0.0f) {
        const auto last = static_cast<int32_t>(m_SelectorCount) - 1;
        if (previous) m_SelectorIndex = m_SelectorIndex <= 0 ? last : m_SelectorIndex - 1;
        if (next) m_SelectorIndex = m_SelectorIndex >= last ? 0 : m_SelectorIndex + 1;
    }
    if (m_Mission.hudShown && m_SelectorTimer < 0.0f) {
        const bool fire1 = CQVEngine::WasActionReleased(QVDI_BUTTONK, 0) != 0;
        const bool fire2 = CQVEngine::WasActionReleased(QVDI_BUTTONL, 0) != 0;
        const CQVCharacter* character = MasterCharacter();
        // A character of type 4 holds a weapon in each hand: each fire button chooses for one.
        if (character && character->m_CharacterType == CHARACTER_THIRD_PERSON_SHOOTER) {
            if (fire1) Choose(MSG_LEFT_HAND_GRAB_ITEM);
            else if (fire2) Choose(MSG_RIGHT_HAND_GRAB_ITEM);
        } else if (fire1) {
            Choose(MSG_RIGHT_HAND_GRAB_ITEM);
        } else if (fire2) {
            CloseSelector();
        }
    }
    if (m_SelectorTimer > 0.0f) {
        m_SelectorTimer -= dt;
        m_SelectorAlpha += dt * m_SelectorSpeed;
        if (m_SelectorTimer <= 0.0f) {
            if (m_SelectorAlpha >= 0.5f) {
                m_SelectorAlpha = 1.0f;
            } else {
                m_SelectorAlpha = 0.0f;
                m_SelectorIndex = -1;
                m_SelectorOpen = 0;
            }
        }
    }
}

void CQVInventory::PlayQueuedMovie() {
    if (m_MovieName.empty()) return;
    if (CQVEngine* engine = CQVEngine::GetInstance(); engine && engine->PlayMovie(m_MovieName.c_str())) {
        while (engine->UpdateMovie()) {
            Input_FeedWindowInput();
            CQVEngine::UpdateInput(kInputStep, 1);
            if (CQVEngine::WasActionPressed(QVDI_BUTTONA, 0) || CQVEngine::WasActionPressed(QVDI_BUTTONSTART, 0))
                engine->StopMovie();
        }
    }
    StopPlayerActions();
    FadeUp(m_MovieFadeTime);
    m_MovieName.clear();
}

void CQVInventory::Process() {
    if (!IsOperational()) return;
    const float dt = UI_RefreshClock(this);
    if (m_PauseTime > 0.0f) {
        // The pause stands the clocks, this actor's among them: it counts
        // down on the frame's own time step, or it would never end.
        m_PauseTime -= g_FrameTime;
        if ((m_PauseTime < 0.0f || CQVEngine::WasActionPressed(QVDI_BUTTONA, 0)) && g_ActorSystem)
            g_ActorSystem->SetPaused(0, this, 1);
    }
    BuildSelectorList();
    StepSelector(dt);
    if (!m_Mission.fade.Advance(dt)) return;
    PlayQueuedMovie();
    m_Mission.ChangeMission(*this);
}

void CQVInventory::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_INVENTORY];
    // The only class whose chain does not list the base.
    record.Define("Inventory", "Inventory", {CLASS_INVENTORY});
    kInventoryMessages.AddSheet(record);
}
