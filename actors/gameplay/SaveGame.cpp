#include "actors/gameplay/SaveGame.h"

#include "actors/gameplay/UISupport.h"
#include "actors/gameplay/UIText.h"
#include "actors/gameplay/UIWindow.h"
#include "kernel/actors/ActorSystem.h"
#include "kernel/actors/ClassMessages.h"
#include "kernel/actors/ClassTypes.h"
#include "kernel/actors/MessageArgs.h"
#include "kernel/actors/MessageIds.h"
#include "kernel/actors/Registries.h"
#include "kernel/base/Archive.h"
#include "services/engine/Engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

uint32_t g_SaveBuffer[SAVE_BLOCK_WORDS] = {0, 6};

namespace {

constexpr MessageRow kSaveGameRows[] = {
    SheetRow("Save Game Properties", PROP_TITLE),
    FieldRow<&CQVSaveGame::m_Type>(MSG_SET_SAVE_GAME_TYPE, MSG_GET_SAVE_GAME_TYPE, "Type:|Type0|0|", PROP_CHOICE),
};

// The links to the menu's windows are not copied: a copy finds its own at "Precalculate".
constexpr MessageTable kSaveGameMessages{
    kSaveGameRows, CopiedFields<&CQVSaveGame::m_State, &CQVSaveGame::m_MenuActive, &CQVSaveGame::m_Devices,
                                &CQVSaveGame::m_SelectedDevice, &CQVSaveGame::m_SelectedSlot>()};

constexpr uint32_t DEVICE_FULL = 1;
constexpr uint32_t DEVICE_UNUSABLE = 2;
// The device count that names a memory unit rather than the hard disk.
constexpr uint32_t MEMORY_UNIT_COUNT = 2;
// Buffer words before the slots' missions.
constexpr uint32_t SLOT_WORDS_START = 2;
constexpr uint32_t DEFAULT_SLOT_COUNT = 6;
constexpr float EMPTY_SLOT_ALPHA = 0.7f;
constexpr float SAVED_SLOT_ALPHA = 0.9f;

void SetText(CQVActor* text, const char* value) { UI_SendText(text, MSG_SET_UI_TEXT_TEXT, value); }

// The listed save named as the one save file, or false.
bool FindSaveFile(uint32_t device, uint32_t* index) {
    uint32_t count = 0;
    CQVEngine::ListSaves(device, &count);
    return CQVEngine::FindSave(device, CQVSaveGame::SAVE_FILE, index) != 0;
}

}  // namespace

void SaveGame_Reset() {
    std::fill(std::begin(g_SaveBuffer), std::end(g_SaveBuffer), 0u);
    g_SaveBuffer[1] = DEFAULT_SLOT_COUNT;
}

CQVSaveGame::CQVSaveGame() { m_ClassType = CLASS_SAVE_GAME; }

void CQVSaveGame::FindMenuActors() {
    m_GameList.SetTarget(UI_Find(this, "SavedGameSlots"));
    if (CQVActor* list = m_GameList.target) {
        uint32_t count = 0;
        while (count < MAX_SLOTS) {
            char name[32];
            std::snprintf(name, sizeof name, "SaveSlot_%02u", count + 1);
            if (UI_Find(list, name) == nullptr) break;
            ++count;
        }
        m_Slots.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "SaveSlot_%02u", i + 1);
            CQVActor* button = UI_Find(list, name);
            m_Slots[i].button.SetTarget(button);
            m_Slots[i].image.SetTarget(UI_Find(button, "Img"));
        }
    }
    m_DeviceWindow.SetTarget(UI_Find(this, "Device"));
    m_InfoDialog.SetTarget(UI_Find(this, "InfoDialog"));
    m_InfoText.SetTarget(UI_Find(m_InfoDialog.target, "Text"));
    m_InfoOkDialog.SetTarget(UI_Find(this, "InfoOkDialog"));
    m_InfoOkText.SetTarget(UI_Find(m_InfoOkDialog.target, "Text"));
    m_YesNoDialog.SetTarget(UI_Find(this, "YesNoDialog"));
    m_YesNoText.SetTarget(UI_Find(m_YesNoDialog.target, "Text"));
    m_Devices.assign(1, SaveDeviceRecord{});
    m_SelectedDevice = 0;
}

void CQVSaveGame::ShowInfo(const char* key) {
    if (!m_InfoDialog.target || !m_InfoText.target) return;
    SetText(m_InfoText.target, key);
    UI_SendText(m_InfoText.target, MSG_UI_TEXT_NEWLINE_ADD_TEXT, "DONT_TURN_OFF_COMPUTER");
    UI_Send(m_InfoDialog.target, MSG_ACTION_START);
}

void CQVSaveGame::ShowInfoOk(const char* text) {
    if (!m_InfoOkDialog.target || !m_InfoOkText.target) return;
    SetText(m_InfoOkText.target, text);
    UI_Send(m_InfoOkDialog.target, MSG_ACTION_START);
}

void CQVSaveGame::ShowDeviceRemoved(const char* operation) {
    const bool listed = m_SelectedDevice >= 0 && static_cast<size_t>(m_SelectedDevice) < m_Devices.size();
    const std::string device = listed ? m_Devices[static_cast<size_t>(m_SelectedDevice)].name : std::string();
    ShowInfoOk(UI_FillText(UI_Translate("MU_REMOVED_DURING_USE"), {device, UI_Translate(operation)}).c_str());
}

void CQVSaveGame::DropPending() {
    m_SavePending = m_LoadPending = 0;
    m_Delay = 0.0f;
    m_LoadWaiting = 0;
    m_InfoClosing = 0;
}

void CQVSaveGame::ShowDeviceChoice() {
    UI_Send(m_InfoDialog.target, MSG_ACTION_STOP);
    UI_Send(m_InfoOkDialog.target, MSG_ACTION_STOP);
    UI_Send(m_YesNoDialog.target, MSG_ACTION_STOP);
    UI_Send(m_GameList.target, MSG_ACTION_STOP);
    DropPending();
    UI_Send(m_DeviceWindow.target, MSG_ACTION_START);
    if (m_State == STATE_LOAD) UI_Send(UI_Find(m_DeviceWindow.target, "Back"), MSG_ACTION_START);
}

void CQVSaveGame::SelectDevice(int32_t device) {
    // The device is one of the list's, whatever number the script sent.
    const int32_t last = std::max(static_cast<int32_t>(m_Devices.size()) - 1, 0);
    m_SelectedDevice = std::clamp(device, 0, last);
    const uint32_t selected = static_cast<uint32_t>(m_SelectedDevice);
    const uint32_t state = CQVEngine::GetStorageDeviceState(selected);
    bool listFailed = false;
    if (m_State == STATE_LOAD) {
        uint32_t count = 0;
        listFailed = !CQVEngine::ListSaves(selected, &count);
    }
    if (state == 0 && (m_State == STATE_SAVE || listFailed)) {
        ShowDeviceChoice();
    } else if (state == DEVICE_FULL) {
        ShowInfoOk("THIS_MU_IS_FULL");
    } else if (state == DEVICE_UNUSABLE) {
        ShowInfoOk("THIS_MU_IS_UNUSABLE");
    } else {
        BuildGameList();
        UI_Send(m_DeviceWindow.target, MSG_ACTION_STOP);
    }
}

void CQVSaveGame::BuildGameList() {
    const uint32_t device = static_cast<uint32_t>(std::max(m_SelectedDevice, 0));
    uint32_t count = 0;
    CQVEngine::ListSaves(device, &count);
    CQVActor* list = m_GameList.target;
    if (list == nullptr) return;
    const bool loading = m_State == STATE_LOAD;
    UI_Send(list, MSG_ACTION_START);
    SetText(UI_Find(list, "Info"), loading ? "LOAD_GAME_MENU" : "SAVE_GAME_MENU");
    UI_Send(UI_Find(list, "Back"), loading ? MSG_ACTION_START : MSG_ACTION_STOP);
    UI_Send(UI_Find(list, "Continue"), loading ? MSG_ACTION_STOP : MSG_ACTION_START);
    for (SaveSlotRecord& slot : m_Slots) {
        slot.empty = 1;
        UI_SendText(slot.image.target, MSG_SET_RESOURCE, "Menu_SaveSlot");
        UI_SendValue(slot.image.target, MSG_SET_UI_SPRITE_COLOR, ColorValue{1.0f, 1.0f, 1.0f, EMPTY_SLOT_ALPHA});
        // Empty slots cannot be picked for loading.
        UI_SendValue<uint32_t>(slot.button.target, MSG_SET_UI_BUTTON_STATIC, loading ? 1 : 0);
    }
    uint32_t index = 0;
    if (count > 0 && FindSaveFile(device, &index)) {
        // Read aside first: a short or vanished file leaves the buffer as it was.
        auto read = std::make_unique<uint32_t[]>(SAVE_BLOCK_WORDS);
        if (!CQVEngine::IsStorageDeviceReady(device)) {
            ShowDeviceRemoved("LOAD");
            return;
        }
        if (!CQVEngine::ReadSave(device, index, read.get(), SAVE_BLOCK_SIZE)) {
            ShowDeviceChoice();
            ShowInfoOk("UNABLE_TO_LOAD_GAME");
            return;
        }
        std::memcpy(g_SaveBuffer, read.get(), SAVE_BLOCK_SIZE);
        const uint32_t used = g_SaveBuffer[1];
        if (used > m_Slots.size()) return;
        for (uint32_t i = 0; i < used; ++i) {
            const uint32_t mission = g_SaveBuffer[SLOT_WORDS_START + i];
            if (mission == 0) continue;
            SaveSlotRecord& slot = m_Slots[i];
            slot.empty = 0;
            char image[32];
            std::snprintf(image, sizeof image, "Menu_SaveSlot_%02u", mission);
            UI_SendText(slot.image.target, MSG_SET_RESOURCE, image);
            UI_SendValue(slot.image.target, MSG_SET_UI_SPRITE_COLOR, ColorValue{1.0f, 1.0f, 1.0f, SAVED_SLOT_ALPHA});
            if (loading) UI_SendValue<uint32_t>(slot.button.target, MSG_SET_UI_BUTTON_STATIC, 0);
            slot.mission = mission;
        }
    }
    UI_Send(list, MSG_ACTION_START);
}

void CQVSaveGame::SelectSlot(uint32_t slot) {
    m_SelectedSlot = -1;
    m_SavePending = m_LoadPending = 0;
    uint32_t deviceCount = 0;
    if (!CQVEngine::GetStorageDeviceCount(&deviceCount)) {
        ShowDeviceChoice();
        return;
    }
    // A slot number from a script names one of the slot windows, and so a
    // word of the buffer.
    if (slot == 0 || slot > m_Slots.size() || SLOT_WORDS_START + slot > SAVE_BLOCK_WORDS) return;
    m_SelectedSlot = static_cast<int32_t>(slot - 1);
    const SaveSlotRecord& record = m_Slots[slot - 1];
    if (m_State == STATE_LOAD) {
        if (!m_YesNoDialog.target || !m_YesNoText.target) return;
        CQVActor* resume = UI_Find(m_Parent, "Resume");
        if (resume && UI_Ask<uint32_t>(resume, MSG_GET_UI_BUTTON_STATIC)) {
            m_LoadPending = 1;
            m_Delay = PENDING_DELAY;
            ShowInfo("LOADING_GAME");
        } else {
            SetText(m_YesNoText.target, "QUIT_CURRENT_GAME");
            UI_Send(m_YesNoDialog.target, MSG_ACTION_START);
            m_QuitQuestion = 1;
        }
        return;
    }
    m_OverwriteQuestion = 0;
    if (m_GameList.target && !record.empty && m_YesNoDialog.target && m_YesNoText.target) {
        SetText(m_YesNoText.target, "OVERWRITE_SAVED_GAME");
        UI_Send(m_YesNoDialog.target, MSG_ACTION_START);
        m_OverwriteQuestion = 1;
        return;
    }
    uint32_t freeBytes = 0, totalBytes = 0;
    CQVEngine::GetStorageDeviceSize(static_cast<uint32_t>(m_SelectedDevice), &freeBytes, &totalBytes);
    if (totalBytes < MIN_FREE_BYTES) {
        ShowInfoOk(deviceCount == MEMORY_UNIT_COUNT ? "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME"
                                                    : "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME");
        return;
    }
    m_SavePending = 1;
    m_Delay = PENDING_DELAY;
    ShowInfo("SAVING_GAME");
}

void CQVSaveGame::Answer(uint32_t answer) {
    uint32_t deviceCount = 0;
    if (m_OverwriteQuestion) {
        m_OverwriteQuestion = 0;
        if (answer != 1) return;
        if (CQVEngine::GetStorageDeviceCount(&deviceCount) &&
            CQVEngine::IsStorageDeviceReady(static_cast<uint32_t>(std::max(m_SelectedDevice, 0)))) {
            m_SavePending = 1;
            m_Delay = PENDING_DELAY;
            ShowInfo("SAVING_GAME");
        } else {
            ShowDeviceChoice();
            ShowDeviceRemoved("SAVE");
        }
    } else if (m_QuitQuestion) {
        m_QuitQuestion = 0;
        if (answer != 1) return;
        if (CQVEngine::GetStorageDeviceCount(&deviceCount)) {
            m_LoadPending = 1;
            m_Delay = PENDING_DELAY;
            ShowInfo("LOADING_GAME");
        } else {
            ShowDeviceChoice();
        }
    }
}

void CQVSaveGame::Back() {
    UI_Send(m_DeviceWindow.target, MSG_ACTION_STOP);
    UI_Send(m_GameList.target, MSG_ACTION_STOP);
    UI_Send(UI_Find(m_Parent, m_State == STATE_LOAD ? "MainMenu" : "SaveContinueMenu"), MSG_ACTION_START);
}

int CQVSaveGame::SaveGame() {
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    if (m_SelectedDevice < 0 || m_SelectedSlot < 0 || inventory == nullptr) return 0;
    SaveRecord record{};
    inventory->HandleMessage(MSG_DESCRIBE_SAVE_BLOCK, Args_Of(&record));
    // The block's first two words are all a save takes from it.
    if (record.data == nullptr || record.size < 2 * sizeof(uint32_t)) return 0;
    uint32_t words[2];
    std::memcpy(words, record.data, sizeof words);
    g_SaveBuffer[SLOT_WORDS_START + static_cast<uint32_t>(m_SelectedSlot)] = words[0];
    g_SaveBuffer[0] = words[0];
    g_SaveBuffer[1] = words[1];
    record.title[sizeof record.title - 1] = '\0';
    const char* name = m_GameList.target ? SAVE_FILE : record.title;
    const uint32_t device = static_cast<uint32_t>(m_SelectedDevice);
    const int written = CQVEngine::WriteSave(device, name, g_SaveBuffer, SAVE_BLOCK_SIZE);
    if (!CQVEngine::IsStorageDeviceReady(device)) {
        ShowDeviceChoice();
        ShowDeviceRemoved("SAVE");
        return 0;
    }
    if (!written) {
        UI_Send(m_InfoDialog.target, MSG_ACTION_STOP);
        ShowDeviceChoice();
        ShowInfoOk("UNABLE_TO_SAVE_GAME");
        return 0;
    }
    UI_Send(this, MSG_ON_POST_SAVE_GAME);
    // The dialog stays a while; the frames go on meanwhile.
    m_InfoClosing = 1;
    m_InfoCloseWait = DIALOG_HOLD_TIME;
    return 1;
}

int CQVSaveGame::LoadGame() {
    if (m_SelectedDevice < 0 || m_SelectedSlot < 0 || static_cast<size_t>(m_SelectedSlot) >= m_Slots.size()) return 0;
    m_LoadMission = m_Slots[static_cast<size_t>(m_SelectedSlot)].mission;
    m_LoadWaiting = 1;
    m_LoadWait = DIALOG_HOLD_TIME;
    return 1;
}

void CQVSaveGame::FinishLoad() {
    if (!CQVEngine::IsStorageDeviceReady(static_cast<uint32_t>(std::max(m_SelectedDevice, 0)))) {
        ShowDeviceChoice();
        ShowDeviceRemoved("LOAD");
        return;
    }
    CQVActor* inventory = CQVActorSystem::GetActorById(ACTOR_ID_INVENTORY);
    if (inventory == nullptr) return;
    // Nothing but the mission number comes from the save.
    auto block = std::make_unique<InventorySaveBlock>();
    block->mission = m_LoadMission;
    block->slotCount = DEFAULT_SLOT_COUNT;
    SaveRecord record{};
    record.mission = m_LoadMission;
    record.data = block.get();
    record.size = SAVE_BLOCK_SIZE;
    if (inventory->HandleMessage(MSG_TAKE_SAVE_BLOCK, Args_Of(&record)) == 1) {
        UI_Send(this, MSG_ON_POST_LOAD_GAME);
        UI_Send(m_InfoDialog.target, MSG_ACTION_STOP);
    }
}

int CQVSaveGame::HandleMessage(uint32_t id, MessageArgs args) {
    if (const RowResult row = kSaveGameMessages.Apply(*this, id, args); row.Ends()) return row.result;
    switch (id) {
    case MSG_SAVE_GAME_SET_STATE_LOAD:
        m_State = STATE_LOAD;
        break;
    case MSG_SAVE_GAME_SET_STATE_SAVE:
        m_State = STATE_SAVE;
        break;
    case MSG_SAVE_GAME_HILITE_DEVICE:
        m_SelectedDevice = std::max(Args_Get<int32_t>(args), 0);
        break;
    case MSG_SAVE_GAME_SELECT_DEVICE:
        SelectDevice(Args_Get<int32_t>(args));
        break;
    case MSG_SAVE_GAME_SELECT_GAME_LIST_ITEM:
        SelectSlot(Args_Get<uint32_t>(args));
        break;
    case MSG_SAVE_GAME_YES_NO_RESPONS:
        Answer(Args_Get<uint32_t>(args));
        break;
    case MSG_SAVE_GAME_BACK:
        Back();
        break;
    case MSG_PRECALCULATE:
        FindMenuActors();
        break;
    case MSG_ACTION_START: {
        const int result = CQVActor::HandleMessage(id, args);
        m_MenuActive = 1;
        m_SelectedDevice = 1;
        int32_t device = 1;
        HandleMessage(MSG_SAVE_GAME_SELECT_DEVICE, Args_Of(&device));
        return result;
    }
    case MSG_ACTION_STOP:
        m_MenuActive = 0;
        break;
    case MSG_CREATE:
        if (auto* source = dynamic_cast<CQVSaveGame*>(Args_Pointer<CQVActor>(id, args)); source && source != this)
            kSaveGameMessages.Copy(*this, *source);
        break;
    default:
        break;
    }
    return CQVActor::HandleMessage(id, args);
}

void CQVSaveGame::Update() {
    if (!IsOperational()) return;
    if (m_MenuActive) {
        const float dt = UI_RefreshClock(this);
        // Each wait counts down while frames go on being drawn; true when it runs out.
        const auto elapsed = [dt](uint32_t& waiting, float& left) {
            if (!waiting) return false;
            left -= dt;
            if (left >= 0.0f) return false;
            waiting = 0;
            return true;
        };
        if (elapsed(m_SavePending, m_Delay)) SaveGame();
        if (elapsed(m_LoadPending, m_Delay)) {
            LoadGame();
        } else if (elapsed(m_LoadWaiting, m_LoadWait)) {
            FinishLoad();
        }
        if (elapsed(m_InfoClosing, m_InfoCloseWait)) UI_Send(m_InfoDialog.target, MSG_ACTION_STOP);
        const uint32_t device = static_cast<uint32_t>(std::max(m_SelectedDevice, 0));
        if (!CQVEngine::IsStorageAvailable() && !CQVEngine::IsStorageDeviceReady(device) && m_InfoOkDialog.target &&
            !UI_Started(*m_InfoOkDialog.target))
            ShowDeviceChoice();
    }
    CQVActor::Update();
}

int CQVSaveGame::Serialize(CQVActorArchive* archive, uint32_t flags) {
    return CQVUIWindow::SerializeWindowFields(this, archive, flags, &m_Type);
}

void CQVSaveGame::RegisterProperties() {
    ClassRecord& record = g_ClassRecords[CLASS_SAVE_GAME];
    record.Define("Save Game", "Save Game", {CLASS_BASE, CLASS_SAVE_GAME});
    kSaveGameMessages.AddSheet(record);
}
