#include "actors/gameplay/MissionFlow.h"

#include "actors/characters/CharactersState.h"
#include "actors/gameplay/UISupport.h"
#include "kernel/actors/ActorLink.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/EngineMessages.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/TimedMessage.h"
#include "platform/Time.h"
#include "services/engine/Engine.h"
#include "services/graphics/Graphics.h"
#include "services/input/Input.h"

#include <cstdio>
#include <cstring>

namespace {

// "Level Completed" with an index from 1 to 99, except this one, shows the
// save-or-continue menu first.
constexpr uint32_t kMissionWithoutMenu = 25;
constexpr uint32_t kLastMenuMission = 99;
// The index that starts mission 3 again.
constexpr uint32_t kReplayMissionThree = 201;
constexpr uint32_t kMissionThree = 3;
// "Inventory Hack" codes of the mission sequence.
constexpr uint32_t HACK_RESTART_OR_GARDEN = 5;
constexpr uint32_t HACK_REPLAY = 6;
constexpr uint32_t HACK_RESTART = 255;
// Missions from this one on go to the garden level instead of restarting.
constexpr uint32_t kFirstGardenMission = 5;
constexpr const char* kGardenLevel = "data\\SereneGarden.qva";

constexpr float kMenuFadeTime = 0.3f;
constexpr float kMenuLeaveFadeTime = 0.5f;
constexpr float kStartFadeTime = 3.0f;
constexpr float kHoldTime = 2000.0f;
constexpr float kMixerStopTime = 1.8f;
constexpr uint32_t kMixerChannels = 8;
constexpr float kInputStep = 1.0f / 30.0f;

// "New Game 2": {globals file, level file, new-game flag, unused}.
struct NewGameArgs {
    char globals[128];
    char level[128];
    uint32_t flag;
    uint32_t unused;
};

CQVActor* PlayerCharacter() { return Script_GetGAVariable(1); }

// The character lets go of whatever it was doing.
void StopCharacterActions() {
    CQVActor* character = PlayerCharacter();
    UI_Send(character, MSG_CC_RACTION1_STOP);
    UI_Send(character, MSG_CC_RACTION2_STOP);
    UI_Send(character, MSG_CC_LACTION1_STOP);
}

void SettleCharacter() {
    CQVActor* character = PlayerCharacter();
    if (character == nullptr) return;
    UI_SendText(character, MSG_SET_MOTION, "N_Neutral");
    StopCharacterActions();
    UI_SendValue(character, MSG_SET_HOLD_TIME, kHoldTime);
}

CQVActor* SoundMixer() { return CQVActorSystem::FindActorByName("SoundMixer", ACTOR_ID_ANY); }

// Every playing sound of every actor pauses.
void PauseAllSounds() {
    if (!g_ActorSystem) return;
    const MessageArgs none;
    RecursiveCommandArgs recursive{MSG_SOUND_PAUSE_PLAYING_SOUND, &none};
    g_ActorSystem->HandleMessage(MSG_RECURSIVE_COMMAND, Args_Of(&recursive));
}

void RequestNewGame(const char* level, uint32_t flag) {
    if (!g_ActorSystem) return;
    NewGameArgs args{};
    std::snprintf(args.globals, sizeof args.globals, "%s", kMissionGlobalsFile);
    std::snprintf(args.level, sizeof args.level, "%s", level);
    args.flag = flag;
    g_ActorSystem->HandleMessage(MSG_NEW_GAME_2, Args_Of(&args));
}

// The index that starts the current mission again.
uint32_t CurrentMissionIndex() { return g_CurrentMission > 0 ? g_CurrentMission - 1 : 0; }

// One black frame presented outside the frame loop.
void PresentBlackFrame() {
    CQVGraphics* graphics = CQVGraphics::GetInstance();
    if (graphics == nullptr || graphics->GetDevice() == nullptr || !graphics->BeginScene()) return;
    graphics->Clear(0xFF000000u);
    graphics->EndScene();
    graphics->Present();
}

}  // namespace

void ScreenFade::Down(float seconds) {
    if (active) return;
    active = 1;
    time = seconds;
    level = 0.0f;
    speed = 1.0f / seconds;
    // No time at all is black at once, not a division by zero.
    if (!(seconds > 0.0f)) {
        time = 0.0f;
        level = 1.0f;
        speed = 0.0f;
    }
}

void ScreenFade::Up(float seconds) {
    if (active) return;
    active = 1;
    time = seconds;
    level = 1.0f;
    speed = -1.0f / seconds;
    if (!(seconds > 0.0f)) {
        time = 0.0f;
        level = 0.0f;
        speed = 0.0f;
    }
}

void ScreenFade::Restart(float seconds) {
    active = 0;
    Down(seconds);
    level = 0.999999f;
}

bool ScreenFade::Advance(float dt) {
    if (!active) return false;
    time -= dt;
    level += dt * speed;
    if (level < 0.0f) level = 0.0f;
    if (level > 1.0f) level = 1.0f;
    if (time >= 0.0f) return false;
    active = 0;
    return true;
}

int CQVMissionFlow::LevelCompleted(CQVActor& inventory, uint32_t index) {
    SlowMotion_Reset();
    SettleCharacter();
    if (CQVActor* mixer = SoundMixer()) {
        for (uint32_t channel = 1; channel <= kMixerChannels; ++channel) {
            struct {
                uint32_t channel;
                float time;
            } stop{channel, kMixerStopTime};
            mixer->HandleMessage(MSG_ASOUND_STOP, Args_Of(&stop));
        }
    }
    PauseAllSounds();
    hudShown = 0;
    pendingMission = static_cast<int32_t>(index);
    saveBlock.mission = index + 1;
    UI_Send(&inventory, MSG_ON_LEVEL_COMPLETED);
    if (index > 0 && index <= kLastMenuMission && index != kMissionWithoutMenu) {
        g_ShowSaveContinueMenu = 1;
        fade.Restart(kMenuFadeTime);
        PauseAllSounds();
        return 1;
    }
    StartMission(index, 1);
    pendingMission = -1;
    PauseAllSounds();
    UI_Send(SoundMixer(), MSG_ASOUND_PAUSE);
    return -1;
}

int CQVMissionFlow::HandleMessage(CQVActor& inventory, uint32_t id, MessageArgs args) {
    switch (id) {
    case MSG_LEVEL_COMPLETED:
        return LevelCompleted(inventory, Args_Get<uint32_t>(args));
    case MSG_TAKE_SAVE_BLOCK: {
        if (!args.Holds(0, sizeof(SaveRecord))) return 0;
        const auto* data = Args_Pointer<const uint8_t>(id, args, offsetof(SaveRecord, data));
        if (data == nullptr) return 1;
        // Only a whole block is taken: its size is the record's word, not ours.
        if (Args_Get<uint32_t>(args, offsetof(SaveRecord, size)) != SAVE_BLOCK_SIZE) return 0;
        std::memcpy(&saveBlock, data, SAVE_BLOCK_SIZE);
        uint32_t index = saveBlock.mission > 0 ? saveBlock.mission - 1 : 0;
        if (inventory.HandleMessage(MSG_LEVEL_COMPLETED, Args_Of(&index)) == 0) return 0;
        g_ShowSaveContinueMenu = 0;
        fade.Restart(kMenuFadeTime);
        return 1;
    }
    case MSG_DESCRIBE_SAVE_BLOCK: {
        if (!args.Holds(0, sizeof(SaveRecord))) break;
        SaveRecord record{};
        std::snprintf(record.title, sizeof record.title, "Mission %u", saveBlock.mission);
        record.mission = saveBlock.mission;
        record.data = &saveBlock;
        record.size = SAVE_BLOCK_SIZE;
        std::memcpy(args.Data(), &record, sizeof record);
        break;
    }
    case MSG_INVENTORY_HACK:
        switch (Args_Get<uint32_t>(args)) {
        case HACK_RESTART_OR_GARDEN:
            SettleCharacter();
            if (g_CurrentMission < kFirstGardenMission) {
                StartMission(CurrentMissionIndex(), 0);
                pendingMission = -1;
            } else {
                RequestNewGame(kGardenLevel, 0);
            }
            break;
        case HACK_RESTART:
            StartMission(CurrentMissionIndex(), 0);
            pendingMission = -1;
            break;
        case HACK_REPLAY: {
            uint32_t index = CurrentMissionIndex();
            inventory.HandleMessage(MSG_LEVEL_COMPLETED, Args_Of(&index));
            g_ShowSaveContinueMenu = 0;
            fade.Restart(kMenuFadeTime);
            break;
        }
        default:
            break;
        }
        break;
    default:
        break;
    }
    return -1;
}

void CQVMissionFlow::StartGame(CQVActor& inventory) {
    SlowMotion_Reset();
    hudShown = 1;
    if (g_MissionMapPending && g_CurrentMission != kMissionWithoutHud) {
        g_MissionMapPending = 0;
        char name[32];
        std::snprintf(name, sizeof name, kMissionMapFormat, g_CurrentMission);
        saveBlock.mission = g_CurrentMission;
        if (CQVActor* map = UI_Find(&inventory, name)) {
            UI_SendText(map, MSG_SET_UI_SPRITE_MATERIAL, name);
            UI_Send(map, MSG_ACTION_START);
            UI_Send(map, MSG_ACTION_STOP);
        }
    }
    fade.Up(kStartFadeTime);
    if (g_CurrentMission == kMissionWithoutHud) hudShown = 0;
}

void CQVMissionFlow::ChangeMission(CQVActor&) {
    if (pendingMission == -1) return;
    CQVActor* menu = CQVActorSystem::FindActorByName("Menu", ACTOR_ID_ANY);
    CQVActor* saveContinue = UI_Find(menu, "SaveContinueMenu");
    if (g_ShowSaveContinueMenu && saveContinue) {
        UI_Send(saveContinue, MSG_ACTION_START);
        UI_Send(menu, MSG_UI_SYSTEM_ACTIVATE);
        // The menu pauses the game; once it is left, this fade's end starts the mission.
        fade.time = kMenuLeaveFadeTime;
        fade.active = 1;
        g_ShowSaveContinueMenu = 0;
        StopCharacterActions();
        return;
    }
    StartMission(static_cast<uint32_t>(pendingMission), 1);
    pendingMission = -1;
}

void CQVMissionFlow::StartMission(uint32_t index, uint32_t newGameFlag) {
    uint32_t mission = index + 1;
    if (mission == kReplayMissionThree) mission = kMissionThree;
    StopCharacterActions();
    UI_Send(SoundMixer(), MSG_ASOUND_PAUSE);
    PauseAllSounds();
    // The sounds come to rest before the movie takes the screen.
    Platform_Sleep(50);
    Platform_Sleep(50);
    CQVEngine::UpdateInput(kInputStep, 1);
    CQVEngine::UpdateInput(kInputStep, 1);
    if (CQVEngine* engine = CQVEngine::GetInstance()) {
        engine->SetClearColor(0xFF000000u);
        PresentBlackFrame();
        char movie[32];
        std::snprintf(movie, sizeof movie, kMissionMovieFormat, mission);
        engine->PlayMovie(movie);
        Platform_Sleep(200);
        while (engine->UpdateMovie()) {
            Input_FeedWindowInput();
            CQVEngine::UpdateInput(kInputStep, 1);
            if (CQVEngine::WasActionPressed(QVDI_BUTTONA, 0) || CQVEngine::WasActionPressed(QVDI_BUTTONSTART, 0) ||
                CQVEngine::IsActionDown(QVDI_BUTTONA, 0))
                engine->StopMovie();
        }
    }
    Platform_Sleep(50);
    char level[128];
    std::snprintf(level, sizeof level, kMissionLevelFormat, mission);
    RequestNewGame(level, newGameFlag);
    g_CurrentMission = mission;
    g_MissionMapPending = 1;
}

void MissionFlow_Reset() { Gameplay_Reset(); }
